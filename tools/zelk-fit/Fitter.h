#pragma once
// Least-squares fit of one curve's model with Eigen's Levenberg-Marquardt
// solver (MINPACK's lmder), with the model's analytic derivatives.

#include <string>
#include <vector>

#include "Model.h"
#include "Options.h"

namespace zelk::fit {

struct CurveFitResult {
    double chiSquare = 0.0;  // sum of ((model - data) / sigma)^2 over the fit range
    int points = 0;          // points in the fit range
    int freeParameters = 0;
    int evaluations = 0;
    bool converged = true;
    // Standard error of every parameter in the order of Parameters(), NaN
    // for those not varied: the square roots of the diagonal of the inverse
    // of J^T J at the solution, scaled by the curve's reduced chi-square.
    std::vector<double> errors;
    std::string note;  // what the solver said, for the summary
};

// Fits `curve` in place to the points (x, y) as `options` say. A curve that
// is not fitted, or has no varied parameter, is only measured. Throws
// FitError when the fit range holds fewer points than varied parameters or
// when the solver ends on a non-finite value (the curve is then left as it
// was).
CurveFitResult FitCurve(CurveModel& curve, const std::vector<double>& x,
                        const std::vector<double>& y, const CurveOptions& options);

}  // namespace zelk::fit
