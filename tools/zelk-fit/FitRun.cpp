#include "FitRun.h"

#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "CurveFile.h"
#include "Fitter.h"
#include "Model.h"
#include "Options.h"
#include "Output.h"
#include "TaskFile.h"
#include "Text.h"

namespace zelk::fit {

int RunFit(std::ostream& out, std::ostream& err) {
    try {
        const TaskNames task = ParseTaskFile(ReadWholeFile("START_A.INP", "task file"));
        if (task.resFile.empty()) {
            throw FitError("START_A.INP names no result file on line 13");
        }
        // Checked before anything is read or fitted: an output that is an
        // input would be lost by the run that needs it.
        RefuseUnsafeOutputs({{task.resFile, "result file (START_A.INP line 13)"},
                             {"EPS.res", "EPS file"},
                             {"newmod.res", "fitted model file"}},
                            {{"START_A.INP", "task file"},
                             {"FIT.INP", "fit input file"},
                             {task.optFile, "options file"},
                             {task.modelFile, "model file"},
                             {task.expFile, "experimental file"}});
        const CalcOptions calc =
            ParseCalcOptions(ReadWholeFile(task.optFile, "options file"), task.optFile);
        const std::vector<FitRecord> records =
            ParseFitInput(ReadWholeFile("FIT.INP", "fit input file"), "FIT.INP");
        Model model = ParseModel(ReadWholeFile(task.modelFile, "model file"), task.modelFile);
        const CurveData data =
            ParseCurveFile(ReadWholeFile(task.expFile, "experimental file"), task.expFile);
        if (model.curves.size() != data.y.size()) {
            throw FitError("the model file \"" + task.modelFile + "\" describes " +
                           std::to_string(model.curves.size()) +
                           " curves, the experimental file \"" + task.expFile + "\" holds " +
                           std::to_string(data.y.size()));
        }

        std::vector<std::string> warnings;
        std::vector<CurveOptions> options = ResolveOptions(records, calc, data.y.size(), warnings);
        if (task.experimentFlag == 0) {
            warnings.push_back(
                "START_A.INP line 6 says the task has no experimental curves: "
                "the model is evaluated on their abscissae, not fitted");
            for (CurveOptions& o : options) {
                o.fit = false;
            }
        }
        for (const std::string& w : warnings) {
            err << "zelk-fit: warning: " << w << '\n';
        }

        double chiSquare = 0.0;
        long points = 0;
        long freeParameters = 0;
        bool allConverged = true;
        CurveData fitted;
        fitted.x = data.x;
        std::vector<std::string> titles;
        std::vector<std::vector<double>> errors;
        for (std::size_t c = 0; c < model.curves.size(); ++c) {
            CurveModel& curve = model.curves[c];
            const CurveFitResult r = FitCurve(curve, data.x, data.y[c], options[c]);
            chiSquare += r.chiSquare;
            points += r.points;
            freeParameters += r.freeParameters;
            allConverged = allConverged && r.converged;
            out << "curve " << c + 1 << " \"" << curve.name << "\": " << r.note << ", " << r.points
                << " points, " << r.freeParameters << " varied parameters, " << r.evaluations
                << " evaluations, chi-square " << FormatShort(r.chiSquare, 8) << '\n';
            if (!r.converged) {
                err << "zelk-fit: warning: curve " << c + 1 << " \"" << curve.name
                    << "\" did not converge (" << r.note << ")\n";
            }
            std::vector<double> values(data.x.size());
            for (std::size_t p = 0; p < data.x.size(); ++p) {
                values[p] = Evaluate(curve, data.x[p]);
            }
            fitted.y.push_back(std::move(values));
            titles.push_back(curve.name);
            errors.push_back(r.errors);
        }

        // Reduced chi-square; with no degrees of freedom left the plain sum.
        const long freedom = points - freeParameters;
        const double eps = freedom > 0 ? chiSquare / static_cast<double>(freedom) : chiSquare;
        if (!std::isfinite(eps)) {
            throw FitError("the chi-square is too large to be a number; check sigma in \"" +
                           task.optFile + "\" and the size of the measured values");
        }
        const std::string summary = "reduced chi-square " + FormatShort(eps, 8) + " = chi-square " +
                                    FormatShort(chiSquare, 10) + " / (" + std::to_string(points) +
                                    " points - " + std::to_string(freeParameters) +
                                    " varied parameters)";

        // All three are written before any of them replaces its file; the
        // result file comes last, since Zelk takes it as the sign of a run
        // that finished.
        StagedOutputs outputs;
        outputs.Stage("newmod.res", FormatModel(model,
                                                "fitted by zelk-fit; EPS = " + FormatShort(eps, 8) +
                                                    "\nmodel of the demo fitting program",
                                                &errors));
        outputs.Stage("EPS.res", FormatShort(eps, 10) + "\n" + summary + "\n");
        outputs.Stage(task.resFile, FormatResultFile(fitted, titles));
        outputs.Commit();
        out << "EPS = " << summary << '\n';
        return allConverged ? kRunOk : kRunNotConverged;
    } catch (const FitError& e) {
        err << "zelk-fit: " << e.what() << '\n';
    } catch (const std::exception& e) {
        err << "zelk-fit: " << e.what() << '\n';
    }
    return kRunBadInput;
}

}  // namespace zelk::fit
