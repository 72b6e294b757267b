#pragma once
// The model of the demo fitting program: for each measured curve a linear
// background a + b*x and any number of Gaussian or Lorentzian peaks. The
// text format (one block per curve, "curve NAME", "background", "gauss",
// "lorentz" lines, every value followed by v or f) is read by ParseModel and
// written back, fitted, by FormatModel, so newmod.res can serve as the next
// model file unchanged.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fit {

struct Param {
    double value = 0.0;
    bool vary = false;
};

enum class PeakShape { kGauss, kLorentz };

// Position and full width at half maximum in abscissa units; the height is
// the peak's value at its position.
struct Peak {
    PeakShape shape = PeakShape::kGauss;
    Param position;
    Param height;
    Param width;
};

struct CurveModel {
    std::string name;
    Param offset;  // a of a + b*x
    Param slope;   // b
    std::vector<Peak> peaks;
};

struct Model {
    std::vector<CurveModel> curves;
};

inline constexpr std::size_t kMaxModelCurves = 12;
inline constexpr std::size_t kMaxPeaksPerCurve = 64;
inline constexpr std::size_t kMaxNameLength = 24;

// Throws FitError with "fileName:line: ..." for anything it cannot take.
Model ParseModel(std::string_view text, const std::string& fileName);

// The model file text; `comment` (may hold several lines) is written as '#'
// lines at the top. `errors`, when given, holds for each curve the standard
// error of every parameter in the order of Parameters() (NaN for one that
// was not varied); they are written as comments after each line.
std::string FormatModel(const Model& model, std::string_view comment,
                        const std::vector<std::vector<double>>* errors = nullptr);

// The model's value at x, and its derivatives with respect to the parameters
// in the order of Parameters().
double Evaluate(const CurveModel& curve, double x);
void EvaluateGradient(const CurveModel& curve, double x, std::vector<double>& gradient);

// Every parameter of a curve in a fixed order: offset, slope, then position,
// height and width of each peak.
std::vector<Param*> Parameters(CurveModel& curve);

}  // namespace zelk::fit
