#include "Model.h"

#include <algorithm>
#include <cmath>

#include "Text.h"

namespace zelk::fit {
namespace {

// 4 ln 2: turns a full width at half maximum into the Gaussian's exponent.
constexpr double kGaussFactor = 2.772588722239781;
// Widths are used by magnitude; this floor keeps a width that a fit drives
// through zero from dividing by zero.
constexpr double kMinWidth = 1e-12;

std::string Lower(std::string_view word) {
    std::string out(word);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return out;
}

class LineParser {
  public:
    LineParser(const std::string& fileName, std::size_t lineNumber,
               std::vector<std::string_view> words)
        : fileName_(fileName), lineNumber_(lineNumber), words_(std::move(words)) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw FitError(fileName_ + ":" + std::to_string(lineNumber_) + ": " + message);
    }

    // Reads `count` value/flag pairs after the keyword.
    std::vector<Param> Params(std::size_t count, const char* const* names) const {
        if (words_.size() != 1 + 2 * count) {
            Fail("\"" + std::string(words_[0]) + "\" takes " + std::to_string(count) +
                 " values, each followed by v (varied) or f (fixed)");
        }
        std::vector<Param> params;
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = ParseNumber(words_[1 + 2 * i]);
            if (!value) {
                Fail(std::string("the ") + names[i] + " \"" + std::string(words_[1 + 2 * i]) +
                     "\" is not a number");
            }
            const std::string flag = Lower(words_[2 + 2 * i]);
            if (flag != "v" && flag != "f") {
                Fail(std::string("the ") + names[i] + " must be followed by v (varied) or f " +
                     "(fixed), not \"" + std::string(words_[2 + 2 * i]) + "\"");
            }
            params.push_back(Param{*value, flag == "v"});
        }
        return params;
    }

  private:
    const std::string& fileName_;
    std::size_t lineNumber_;
    std::vector<std::string_view> words_;
};

bool IsPrintableName(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c != 127; });
}

void AppendParam(std::string& out, const Param& param) {
    out += "  ";
    out += FormatExact(param.value);
    out += param.vary ? " v" : " f";
}

}  // namespace

Model ParseModel(std::string_view text, const std::string& fileName) {
    static const char* const kBackgroundNames[] = {"offset", "slope"};
    static const char* const kPeakNames[] = {"position", "height", "width"};
    Model model;
    bool haveBackground = false;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto words = SplitWords(lines[i], true);
        if (words.empty()) {
            continue;
        }
        const LineParser line(fileName, i + 1, words);
        const std::string keyword = Lower(words[0]);
        if (keyword == "curve") {
            if (model.curves.size() == kMaxModelCurves) {
                line.Fail("more than " + std::to_string(kMaxModelCurves) + " curves");
            }
            if (words.size() > 2) {
                line.Fail("a curve name is one word");
            }
            CurveModel curve;
            curve.name = words.size() == 2 ? std::string(words[1])
                                           : "curve" + std::to_string(model.curves.size() + 1);
            if (curve.name.size() > kMaxNameLength || !IsPrintableName(curve.name)) {
                line.Fail("a curve name has at most " + std::to_string(kMaxNameLength) +
                          " printable characters");
            }
            model.curves.push_back(std::move(curve));
            haveBackground = false;
            continue;
        }
        if (model.curves.empty()) {
            line.Fail("expected \"curve\" before \"" + std::string(words[0]) + "\"");
        }
        CurveModel& curve = model.curves.back();
        if (keyword == "background") {
            if (haveBackground) {
                line.Fail("a second background for curve \"" + curve.name + "\"");
            }
            const auto params = line.Params(2, kBackgroundNames);
            curve.offset = params[0];
            curve.slope = params[1];
            haveBackground = true;
        } else if (keyword == "gauss" || keyword == "lorentz") {
            if (curve.peaks.size() == kMaxPeaksPerCurve) {
                line.Fail("more than " + std::to_string(kMaxPeaksPerCurve) + " peaks in curve \"" +
                          curve.name + "\"");
            }
            const auto params = line.Params(3, kPeakNames);
            if (params[2].value <= 0.0) {
                line.Fail("the width must be above 0");
            }
            curve.peaks.push_back(Peak{keyword == "gauss" ? PeakShape::kGauss : PeakShape::kLorentz,
                                       params[0], params[1], params[2]});
        } else {
            line.Fail("unknown keyword \"" + std::string(words[0]) +
                      "\" (expected curve, background, gauss or lorentz)");
        }
    }
    if (model.curves.empty()) {
        throw FitError(fileName + ": no \"curve\" block; the model describes no curve");
    }
    return model;
}

std::string FormatModel(const Model& model, std::string_view comment,
                        const std::vector<std::vector<double>>* errors) {
    std::string out;
    for (const auto line : SplitLines(comment)) {
        out += "# ";
        out += line;
        out += '\n';
    }
    out +=
        "# background: offset slope (a + b*x); gauss / lorentz: position height width (FWHM)\n"
        "# each value is followed by v (varied by the fit) or f (fixed)\n";
    if (errors) {
        out += "# after '# +-': the standard errors of the varied values, '-' for fixed ones\n";
    }
    for (std::size_t c = 0; c < model.curves.size(); ++c) {
        const CurveModel& curve = model.curves[c];
        const std::vector<double>* curveErrors =
            errors && c < errors->size() ? &(*errors)[c] : nullptr;
        std::size_t k = 0;
        // Ends a line: the errors of its `count` parameters, when known.
        auto endLine = [&](std::size_t count) {
            bool any = false;
            std::string note = "    # +-";
            for (std::size_t i = k; i < k + count; ++i) {
                const double e =
                    curveErrors && i < curveErrors->size() ? (*curveErrors)[i] : std::nan("");
                any = any || std::isfinite(e);
                note += ' ';
                note += std::isfinite(e) ? FormatShort(e, 3) : "-";
            }
            if (any) {
                out += note;
            }
            out += '\n';
            k += count;
        };
        out += "\ncurve " + curve.name + "\nbackground";
        AppendParam(out, curve.offset);
        AppendParam(out, curve.slope);
        endLine(2);
        for (const Peak& peak : curve.peaks) {
            out += peak.shape == PeakShape::kGauss ? "gauss     " : "lorentz   ";
            AppendParam(out, peak.position);
            AppendParam(out, peak.height);
            AppendParam(out, peak.width);
            endLine(3);
        }
    }
    return out;
}

double Evaluate(const CurveModel& curve, double x) {
    double sum = curve.offset.value + curve.slope.value * x;
    for (const Peak& peak : curve.peaks) {
        const double width = std::max(std::abs(peak.width.value), kMinWidth);
        const double u = (x - peak.position.value) / width;
        if (peak.shape == PeakShape::kGauss) {
            sum += peak.height.value * std::exp(-kGaussFactor * u * u);
        } else {
            sum += peak.height.value / (1.0 + 4.0 * u * u);
        }
    }
    return sum;
}

void EvaluateGradient(const CurveModel& curve, double x, std::vector<double>& gradient) {
    gradient.assign(2 + 3 * curve.peaks.size(), 0.0);
    gradient[0] = 1.0;
    gradient[1] = x;
    std::size_t k = 2;
    for (const Peak& peak : curve.peaks) {
        const double magnitude = std::abs(peak.width.value);
        const double width = std::max(magnitude, kMinWidth);
        // d|w|/dw; zero where the floor holds the width.
        const double sign = magnitude < kMinWidth ? 0.0 : (peak.width.value < 0.0 ? -1.0 : 1.0);
        const double u = (x - peak.position.value) / width;
        const double h = peak.height.value;
        if (peak.shape == PeakShape::kGauss) {
            const double e = std::exp(-kGaussFactor * u * u);
            gradient[k] = h * e * 2.0 * kGaussFactor * u / width;
            gradient[k + 1] = e;
            gradient[k + 2] = sign * h * e * 2.0 * kGaussFactor * u * u / width;
        } else {
            const double d = 1.0 / (1.0 + 4.0 * u * u);
            gradient[k] = h * d * d * 8.0 * u / width;
            gradient[k + 1] = d;
            gradient[k + 2] = sign * h * d * d * 8.0 * u * u / width;
        }
        k += 3;
    }
}

std::vector<Param*> Parameters(CurveModel& curve) {
    std::vector<Param*> params{&curve.offset, &curve.slope};
    for (Peak& peak : curve.peaks) {
        params.push_back(&peak.position);
        params.push_back(&peak.height);
        params.push_back(&peak.width);
    }
    return params;
}

}  // namespace zelk::fit
