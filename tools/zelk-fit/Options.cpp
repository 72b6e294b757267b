#include "Options.h"

#include "Text.h"

namespace zelk::fit {
namespace {

[[noreturn]] void Fail(const std::string& fileName, std::size_t line, const std::string& message) {
    throw FitError(fileName + ":" + std::to_string(line) + ": " + message);
}

int IntegerField(std::string_view word, const std::string& fileName, std::size_t line, int field,
                 long minimum, long maximum) {
    const auto value = ParseInteger(word);
    if (!value) {
        Fail(fileName, line,
             "number " + std::to_string(field) + " must be a whole number, not \"" +
                 std::string(word) + "\"");
    }
    if (*value < minimum || *value > maximum) {
        Fail(fileName, line,
             "number " + std::to_string(field) + " must lie between " + std::to_string(minimum) +
                 " and " + std::to_string(maximum));
    }
    return static_cast<int>(*value);
}

double RealField(std::string_view word, const std::string& fileName, std::size_t line, int field) {
    const auto value = ParseNumber(word);
    if (!value) {
        Fail(fileName, line,
             "number " + std::to_string(field) + " is not a number: \"" + std::string(word) + "\"");
    }
    return *value;
}

constexpr long kMaxEvaluations = 1000000;

}  // namespace

CalcOptions ParseCalcOptions(std::string_view text, const std::string& fileName) {
    CalcOptions options;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto words = SplitWords(lines[i], true);
        if (words.empty()) {
            continue;
        }
        if (words.size() != 2) {
            Fail(fileName, i + 1, "expected \"keyword value\"");
        }
        if (words[0] == "max-evaluations") {
            options.maxEvaluations = IntegerField(words[1], fileName, i + 1, 1, 1, kMaxEvaluations);
        } else if (words[0] == "tolerance" || words[0] == "sigma") {
            const double value = RealField(words[1], fileName, i + 1, 1);
            if (words[0] == "tolerance" ? !(value > 0.0 && value < 1.0) : !(value > 0.0)) {
                Fail(fileName, i + 1,
                     words[0] == "tolerance" ? "the tolerance must lie between 0 and 1"
                                             : "sigma must be above 0");
            }
            (words[0] == "tolerance" ? options.tolerance : options.sigma) = value;
        } else {
            Fail(fileName, i + 1,
                 "unknown option \"" + std::string(words[0]) +
                     "\" (expected max-evaluations, tolerance or sigma)");
        }
    }
    return options;
}

std::vector<FitRecord> ParseFitInput(std::string_view text, const std::string& fileName) {
    std::vector<FitRecord> records;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t n = i + 1;
        // Text after the nine numbers is a comment, so only '#' lines and
        // blank lines are skipped whole.
        const auto words = SplitWords(lines[i], true);
        if (words.empty()) {
            continue;
        }
        if (words.size() < 9) {
            Fail(fileName, n,
                 "an option record holds nine numbers, this line has " +
                     std::to_string(words.size()));
        }
        FitRecord r;
        r.curve = IntegerField(words[0], fileName, n, 1, 0, 1000);
        r.fit = IntegerField(words[1], fileName, n, 2, 0, 1);
        r.from = RealField(words[2], fileName, n, 3);
        r.weighting = IntegerField(words[3], fileName, n, 4, 1, 2);
        r.to = RealField(words[4], fileName, n, 5);
        r.sigmaFactor = RealField(words[5], fileName, n, 6);
        if (!(r.sigmaFactor > 0.0)) {
            Fail(fileName, n, "number 6 (the sigma factor) must be above 0");
        }
        r.maxEvaluations = IntegerField(words[6], fileName, n, 7, 0, kMaxEvaluations);
        r.background = IntegerField(words[7], fileName, n, 8, 0, 1);
        r.tolerance = RealField(words[8], fileName, n, 9);
        if (!(r.tolerance >= 0.0 && r.tolerance < 1.0)) {
            Fail(fileName, n, "number 9 (the tolerance) must be 0 or lie between 0 and 1");
        }
        records.push_back(r);
    }
    return records;
}

std::vector<CurveOptions> ResolveOptions(const std::vector<FitRecord>& records,
                                         const CalcOptions& calc, std::size_t curveCount,
                                         std::vector<std::string>& warnings) {
    CurveOptions defaults;
    defaults.sigma = calc.sigma;
    defaults.maxEvaluations = calc.maxEvaluations;
    defaults.tolerance = calc.tolerance;
    std::vector<CurveOptions> options(curveCount, defaults);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FitRecord& r = records[i];
        if (r.curve > 0 && static_cast<std::size_t>(r.curve) > curveCount) {
            warnings.push_back("FIT.INP record " + std::to_string(i + 1) + " names curve " +
                               std::to_string(r.curve) + ", but there are only " +
                               std::to_string(curveCount) + " curves; it is ignored");
            continue;
        }
        CurveOptions o;
        o.fit = r.fit == 1;
        o.wholeRange = !(r.to > r.from);
        o.from = r.from;
        o.to = r.to;
        o.countingWeights = r.weighting == 2;
        o.sigma = calc.sigma * r.sigmaFactor;
        o.maxEvaluations = r.maxEvaluations > 0 ? r.maxEvaluations : calc.maxEvaluations;
        o.backgroundFixed = r.background == 0;
        o.tolerance = r.tolerance > 0.0 ? r.tolerance : calc.tolerance;
        for (std::size_t c = 0; c < curveCount; ++c) {
            if (r.curve == 0 || static_cast<std::size_t>(r.curve) == c + 1) {
                options[c] = o;
            }
        }
    }
    return options;
}

}  // namespace zelk::fit
