#include "Fitter.h"

#include <Eigen/Core>
#include <Eigen/LU>
#include <algorithm>
#include <cmath>
#include <unsupported/Eigen/NonLinearOptimization>

#include "Text.h"

namespace zelk::fit {
namespace {

struct Point {
    double x;
    double y;
    double weight;  // 1 / sigma
};

// The residuals (model - data) / sigma as a functor for Eigen's solver.
class Residuals {
  public:
    using Scalar = double;
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;
    enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };

    Residuals(CurveModel& curve, std::vector<Param*> free, const std::vector<Point>& points,
              std::vector<std::size_t> freeIndex)
        : curve_(curve),
          free_(std::move(free)),
          freeIndex_(std::move(freeIndex)),
          points_(points) {}

    int inputs() const { return static_cast<int>(free_.size()); }
    int values() const { return static_cast<int>(points_.size()); }

    int operator()(const Eigen::VectorXd& p, Eigen::VectorXd& r) const {
        Apply(p);
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const Point& pt = points_[i];
            r[static_cast<Eigen::Index>(i)] = (Evaluate(curve_, pt.x) - pt.y) * pt.weight;
        }
        return 0;
    }

    int df(const Eigen::VectorXd& p, Eigen::MatrixXd& jacobian) const {
        Apply(p);
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const Point& pt = points_[i];
            EvaluateGradient(curve_, pt.x, gradient_);
            for (std::size_t k = 0; k < freeIndex_.size(); ++k) {
                jacobian(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(k)) =
                    gradient_[freeIndex_[k]] * pt.weight;
            }
        }
        return 0;
    }

    void Apply(const Eigen::VectorXd& p) const {
        for (std::size_t k = 0; k < free_.size(); ++k) {
            free_[k]->value = p[static_cast<Eigen::Index>(k)];
        }
    }

  private:
    CurveModel& curve_;
    std::vector<Param*> free_;
    std::vector<std::size_t> freeIndex_;
    const std::vector<Point>& points_;
    mutable std::vector<double> gradient_;
};

const char* StatusText(int status) {
    using namespace Eigen::LevenbergMarquardtSpace;
    switch (status) {
        case RelativeReductionTooSmall:
        case RelativeErrorTooSmall:
        case RelativeErrorAndReductionTooSmall:
            return "converged";
        case CosinusTooSmall:
            return "converged (gradient vanishes)";
        case TooManyFunctionEvaluation:
            return "stopped: the most model evaluations were used up";
        case FtolTooSmall:
        case XtolTooSmall:
        case GtolTooSmall:
            return "converged (no further improvement possible at this tolerance)";
        default:
            return "stopped by the solver";
    }
}

double ChiSquare(const CurveModel& curve, const std::vector<Point>& points) {
    double sum = 0.0;
    for (const Point& pt : points) {
        const double r = (Evaluate(curve, pt.x) - pt.y) * pt.weight;
        sum += r * r;
    }
    return sum;
}

std::vector<double> StandardErrors(const Residuals& functor, const Eigen::VectorXd& p,
                                   const std::vector<std::size_t>& freeIndex, std::size_t count,
                                   double chiSquare) {
    std::vector<double> errors(count, std::nan(""));
    const Eigen::Index m = functor.values();
    const Eigen::Index n = functor.inputs();
    if (m <= n) {
        return errors;
    }
    Eigen::MatrixXd jacobian(m, n);
    functor.df(p, jacobian);
    const Eigen::MatrixXd normal = jacobian.transpose() * jacobian;
    const Eigen::FullPivLU<Eigen::MatrixXd> lu(normal);
    if (!lu.isInvertible()) {
        return errors;  // a parameter the data do not determine
    }
    const Eigen::MatrixXd covariance = lu.inverse();
    const double scale = chiSquare / static_cast<double>(m - n);
    for (Eigen::Index k = 0; k < n; ++k) {
        const double variance = covariance(k, k) * scale;
        if (variance >= 0.0 && std::isfinite(variance)) {
            errors[freeIndex[static_cast<std::size_t>(k)]] = std::sqrt(variance);
        }
    }
    return errors;
}

}  // namespace

CurveFitResult FitCurve(CurveModel& curve, const std::vector<double>& x,
                        const std::vector<double>& y, const CurveOptions& options) {
    if (!(options.sigma > 0.0) || !std::isfinite(options.sigma)) {
        throw FitError("curve \"" + curve.name + "\": sigma must be a finite number above 0");
    }
    std::vector<Point> points;
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (!options.wholeRange && (x[i] < options.from || x[i] > options.to)) {
            continue;
        }
        double sigma = options.sigma;
        if (options.countingWeights) {
            sigma *= std::sqrt(std::max(std::abs(y[i]), 1.0));
        }
        points.push_back(Point{x[i], y[i], 1.0 / sigma});
    }

    std::vector<Param*> free;
    std::vector<std::size_t> freeIndex;
    const std::vector<Param*> all = Parameters(curve);
    for (std::size_t k = 0; k < all.size(); ++k) {
        const bool background = k < 2;
        if (all[k]->vary && options.fit && !(background && options.backgroundFixed)) {
            free.push_back(all[k]);
            freeIndex.push_back(k);
        }
    }

    CurveFitResult result;
    result.errors.assign(all.size(), std::nan(""));
    result.points = static_cast<int>(points.size());
    result.freeParameters = static_cast<int>(free.size());
    if (free.empty()) {
        result.chiSquare = ChiSquare(curve, points);
        result.note = options.fit ? "nothing to vary" : "not fitted";
        return result;
    }
    if (points.size() < free.size()) {
        throw FitError("curve \"" + curve.name + "\": " + std::to_string(free.size()) +
                       " varied parameters, but only " + std::to_string(points.size()) +
                       " points in the fit range");
    }

    Eigen::VectorXd start(static_cast<Eigen::Index>(free.size()));
    for (std::size_t k = 0; k < free.size(); ++k) {
        start[static_cast<Eigen::Index>(k)] = free[k]->value;
    }
    Residuals functor(curve, free, points, freeIndex);
    Eigen::LevenbergMarquardt<Residuals, double> solver(functor);
    solver.parameters.maxfev = options.maxEvaluations;
    solver.parameters.ftol = options.tolerance;
    solver.parameters.xtol = options.tolerance;
    Eigen::VectorXd p = start;
    const int status = static_cast<int>(solver.minimize(p));
    functor.Apply(p);

    result.chiSquare = ChiSquare(curve, points);
    if (!p.allFinite() || !std::isfinite(result.chiSquare)) {
        functor.Apply(start);
        throw FitError("curve \"" + curve.name +
                       "\": the fit ran into values that are not finite numbers; check the "
                       "starting values of the model");
    }
    // Before the widths are made positive: the Jacobian puts p back in place.
    result.errors = StandardErrors(functor, p, freeIndex, all.size(), result.chiSquare);
    for (Peak& peak : curve.peaks) {
        // The sign of a width carries no meaning; the model file wants it above 0.
        peak.width.value = std::max(std::abs(peak.width.value), 1e-12);
    }
    result.evaluations = static_cast<int>(solver.nfev);
    result.converged = status != Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation &&
                       status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters;
    result.note = StatusText(status);
    return result;
}

}  // namespace zelk::fit
