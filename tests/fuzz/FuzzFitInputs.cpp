// The demo fitting program's readers from arbitrary bytes: the first byte
// picks the file (model, FIT.INP, options, curve file, task file), the rest is
// its text. Anything may be refused with a FitError; nothing may crash, and
// what is accepted must survive its own round trip.

#include <cmath>
#include <string>
#include <vector>

#include "CurveFile.h"
#include "Fitter.h"
#include "FuzzSupport.h"
#include "Model.h"
#include "Options.h"
#include "TaskFile.h"
#include "Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    using namespace zelk::fit;
    if (size == 0) {
        return 0;
    }
    const std::string text(fuzz::AsText(data + 1, size - 1));
    try {
        switch (data[0] % 5) {
            case 0: {
                const Model model = ParseModel(text, "model");
                Model again = ParseModel(FormatModel(model, text.substr(0, 40)), "again");
                fuzz::Check(again.curves.size() == model.curves.size(), "model round trip");
                // A short fit on a fixed curve: finite parameters or a FitError.
                std::vector<double> x;
                std::vector<double> y;
                for (int i = 0; i < 24; ++i) {
                    x.push_back(i);
                    y.push_back(std::sin(i * 0.7) * 10.0);
                }
                CurveOptions options;
                options.maxEvaluations = 40;
                CurveModel& curve = again.curves[0];
                if (curve.peaks.size() <= 4) {
                    FitCurve(curve, x, y, options);
                    for (const Param* p : Parameters(curve)) {
                        fuzz::Check(std::isfinite(p->value), "non-finite fitted parameter");
                    }
                }
                break;
            }
            case 1: {
                std::vector<std::string> warnings;
                const auto options =
                    ResolveOptions(ParseFitInput(text, "FIT.INP"), CalcOptions{}, 3, warnings);
                fuzz::Check(options.size() == 3, "one option set per curve");
                break;
            }
            case 2:
                ParseCalcOptions(text, "options");
                break;
            case 3: {
                const CurveData curves = ParseCurveFile(text, "curves");
                fuzz::Check(curves.x.size() <= kMaxPoints && curves.y.size() <= kMaxCurves,
                            "curve file beyond the capacities");
                const std::string result = FormatResultFile(curves, {});
                const std::string header = result.substr(0, result.find('\n'));
                const std::string body = result.substr(result.find('\n') + 1);
                const CurveData back =
                    ParseCurveFile(std::to_string(curves.x.size()) + " " +
                                       std::to_string(curves.y.size()) + "\n" + body,
                                   "back");
                fuzz::Check(back.x == curves.x, "result file abscissae changed");
                break;
            }
            default:
                ParseTaskFile(text);
                break;
        }
    } catch (const FitError&) {
    }
    return 0;
}
