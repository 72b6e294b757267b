#pragma once
// The two option files of a fit run.
//
// The calculation options file (line 3 of START_A.INP) holds "keyword value"
// lines for the whole run: max-evaluations, tolerance and sigma.
//
// FIT.INP holds option records, one a line, nine numbers each:
//   1 curve       0 = every curve, k = curve k only (1-based)
//   2 fit         1 = fit, 0 = only evaluate the model as it stands
//   3 from        fit range start  } the whole curve when to <= from,
//   4 weighting   1 = equal, 2 = counting statistics
//   5 to          fit range end    } so 0 and 0 mean the whole curve
//   6 sigma       factor on the options file's sigma (1 = as it is)
//   7 evaluations most model evaluations; 0 = the options file's value
//   8 background  1 = as the model's flags say, 0 = held fixed this run
//   9 tolerance   relative tolerance; 0 = the options file's value
// Records apply in order, a later one overriding an earlier one for the
// curves it selects. So Zelk's placeholder, ten lines of
// " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000 ", means: every curve,
// fitted over its whole range with the run's defaults.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fit {

struct CalcOptions {
    int maxEvaluations = 2000;
    double tolerance = 1e-10;
    double sigma = 1.0;  // uncertainty of one measured ordinate
};

struct FitRecord {
    int curve = 0;
    int fit = 1;
    double from = 0.0;
    int weighting = 1;
    double to = 0.0;
    double sigmaFactor = 1.0;
    int maxEvaluations = 0;
    int background = 1;
    double tolerance = 0.0;
};

// What one curve's fit uses, after the records and the options file.
struct CurveOptions {
    bool fit = true;
    bool wholeRange = true;
    double from = 0.0;
    double to = 0.0;
    bool countingWeights = false;
    double sigma = 1.0;
    int maxEvaluations = 2000;
    bool backgroundFixed = false;
    double tolerance = 1e-10;
};

CalcOptions ParseCalcOptions(std::string_view text, const std::string& fileName);
std::vector<FitRecord> ParseFitInput(std::string_view text, const std::string& fileName);

// Options for curves 1..curveCount. A record that selects a curve beyond
// curveCount is reported in `warnings` and has no effect.
std::vector<CurveOptions> ResolveOptions(const std::vector<FitRecord>& records,
                                         const CalcOptions& calc, std::size_t curveCount,
                                         std::vector<std::string>& warnings);

}  // namespace zelk::fit
