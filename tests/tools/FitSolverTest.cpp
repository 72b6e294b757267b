// The demo fitting program's solver: it must find known parameters, keep
// fixed ones, honour the fit range, and start a second fit where the first
// one ended.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Fitter.h"
#include "Model.h"
#include "Text.h"

namespace zelk::fit {
namespace {

struct Samples {
    std::vector<double> x;
    std::vector<double> y;
};

Samples Sample(const CurveModel& truth, double from, double to, int count) {
    Samples s;
    for (int i = 0; i < count; ++i) {
        const double x = from + (to - from) * i / (count - 1);
        s.x.push_back(x);
        s.y.push_back(Evaluate(truth, x));
    }
    return s;
}

std::vector<double> Values(CurveModel& curve) {
    std::vector<double> out;
    for (Param* p : Parameters(curve)) {
        out.push_back(p->value);
    }
    return out;
}

const char* const kTruth =
    "curve t\nbackground 12 v 0.08 v\ngauss 30 v 150 v 6 v\nlorentz 55 v 90 v 8 v\n"
    "gauss 75 v 60 v 5 v\n";
const char* const kStart =
    "curve t\nbackground 5 v 0 v\ngauss 32 v 110 v 8 v\nlorentz 53 v 70 v 10 v\n"
    "gauss 77 v 45 v 7 v\n";

TEST(FitSolver, RecoversKnownParametersFromNoiseFreeData) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    const Samples s = Sample(truth, 0.0, 100.0, 401);
    CurveModel curve = ParseModel(kStart, "start").curves[0];
    const CurveFitResult r = FitCurve(curve, s.x, s.y, CurveOptions{});
    EXPECT_TRUE(r.converged) << r.note;
    EXPECT_EQ(r.points, 401);
    EXPECT_EQ(r.freeParameters, 11);
    EXPECT_LT(r.chiSquare, 1e-12);
    const auto expected = Values(truth);
    const auto got = Values(curve);
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(got[k], expected[k], 1e-6 * std::max(1.0, std::abs(expected[k]))) << k;
    }
}

TEST(FitSolver, FixedParametersAndTheBackgroundSwitchAreKept) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    const Samples s = Sample(truth, 0.0, 100.0, 401);
    // The first peak's position fixed at a wrong value; the background held
    // fixed through the run's options.
    CurveModel curve =
        ParseModel("curve t\nbackground 5 v 0.5 v\ngauss 31 f 110 v 8 v\n", "m").curves[0];
    CurveOptions options;
    options.backgroundFixed = true;
    const CurveFitResult r = FitCurve(curve, s.x, s.y, options);
    EXPECT_EQ(r.freeParameters, 2);
    EXPECT_EQ(curve.offset.value, 5.0);
    EXPECT_EQ(curve.slope.value, 0.5);
    EXPECT_EQ(curve.peaks[0].position.value, 31.0);
    EXPECT_NE(curve.peaks[0].height.value, 110.0);
    EXPECT_TRUE(curve.offset.vary);  // the model's own flags are untouched
}

TEST(FitSolver, AWidthTheSolverDrivesNegativeComesOutPositive) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    const Samples s = Sample(truth, 0.0, 100.0, 401);
    CurveModel curve = ParseModel(kStart, "start").curves[0];
    // Only the magnitude counts, so the solver may well stay on this side.
    curve.peaks[0].width.value = -8.0;
    const CurveFitResult r = FitCurve(curve, s.x, s.y, CurveOptions{});
    EXPECT_TRUE(r.converged);
    EXPECT_NEAR(curve.peaks[0].width.value, 6.0, 1e-6);
    Model model;
    model.curves.push_back(curve);
    EXPECT_NO_THROW(ParseModel(FormatModel(model, "fitted"), "newmod.res"));
}

TEST(FitSolver, OnlyPointsInTheRangeCount) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    Samples s = Sample(truth, 0.0, 100.0, 401);
    // Spoil everything outside 15..45: a fit over that range must not see it.
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        if (s.x[i] < 15.0 || s.x[i] > 45.0) {
            s.y[i] = 1e4;
        }
    }
    CurveModel curve = ParseModel(
                           "curve t\nbackground 12 f 0.08 f\ngauss 32 v 110 v 8 v\n"
                           "lorentz 55 f 90 f 8 f\ngauss 75 f 60 f 5 f\n",
                           "m")
                           .curves[0];
    CurveOptions options;
    options.wholeRange = false;
    options.from = 15.0;
    options.to = 45.0;
    const CurveFitResult r = FitCurve(curve, s.x, s.y, options);
    EXPECT_EQ(r.points, 121);
    EXPECT_NEAR(curve.peaks[0].position.value, 30.0, 1e-6);
    EXPECT_NEAR(curve.peaks[0].height.value, 150.0, 1e-5);
    EXPECT_NEAR(curve.peaks[0].width.value, 6.0, 1e-6);
}

TEST(FitSolver, WeightsScaleChiSquare) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    const Samples s = Sample(truth, 0.0, 100.0, 101);
    CurveModel off = truth;
    off.offset.value += 2.0;  // every residual is 2
    CurveOptions options;
    options.fit = false;
    options.sigma = 0.5;
    EXPECT_NEAR(FitCurve(off, s.x, s.y, options).chiSquare, 101 * 16.0, 1e-6);
    options.countingWeights = true;
    double expected = 0.0;
    for (double y : s.y) {
        expected += 16.0 / std::max(std::abs(y), 1.0);
    }
    EXPECT_NEAR(FitCurve(off, s.x, s.y, options).chiSquare, expected, 1e-6);
}

TEST(FitSolver, FittingTheFittedModelAgainChangesNothing) {
    CurveModel truth = ParseModel(kTruth, "truth").curves[0];
    Samples s = Sample(truth, 0.0, 100.0, 401);
    // Deterministic wiggle, so the optimum is not the truth itself.
    for (std::size_t i = 0; i < s.y.size(); ++i) {
        s.y[i] += 3.0 * std::sin(1.7 * static_cast<double>(i));
    }
    Model model = ParseModel(kStart, "start");
    const CurveFitResult first = FitCurve(model.curves[0], s.x, s.y, CurveOptions{});
    ASSERT_TRUE(first.converged);

    // newmod.res is the model file's own format; read it as the next model.
    Model next = ParseModel(FormatModel(model, "fitted"), "newmod.res");
    const std::vector<double> before = Values(next.curves[0]);
    const CurveFitResult second = FitCurve(next.curves[0], s.x, s.y, CurveOptions{});
    EXPECT_TRUE(second.converged);
    EXPECT_LE(second.evaluations, 3);
    EXPECT_NEAR(second.chiSquare, first.chiSquare, 1e-9 * first.chiSquare);
    const std::vector<double> after = Values(next.curves[0]);
    for (std::size_t k = 0; k < before.size(); ++k) {
        EXPECT_NEAR(after[k], before[k], 1e-7 * std::max(1.0, std::abs(before[k]))) << k;
    }
}

TEST(FitSolver, StandardErrorsOfAStraightLineAreThoseOfLinearRegression) {
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i < 40; ++i) {
        x.push_back(0.5 * i);
        y.push_back(3.0 + 0.7 * x.back() + std::sin(2.3 * i));
    }
    const double n = static_cast<double>(x.size());
    double mean = 0.0;
    for (double v : x) {
        mean += v / n;
    }
    double sxx = 0.0;
    for (double v : x) {
        sxx += (v - mean) * (v - mean);
    }
    CurveModel curve = ParseModel("curve\nbackground 0 v 0 v\ngauss 5 f 0 f 1 f\n", "m").curves[0];
    CurveOptions options;
    options.sigma = 4.0;  // scaled out by the reduced chi-square
    const CurveFitResult r = FitCurve(curve, x, y, options);
    const double residualVariance = r.chiSquare * 16.0 / (n - 2.0);
    ASSERT_EQ(r.errors.size(), 5u);
    EXPECT_NEAR(r.errors[1], std::sqrt(residualVariance / sxx), 1e-9);
    EXPECT_NEAR(r.errors[0], std::sqrt(residualVariance * (1.0 / n + mean * mean / sxx)), 1e-9);
    for (std::size_t k = 2; k < 5; ++k) {
        EXPECT_TRUE(std::isnan(r.errors[k])) << k;  // fixed
    }
    // newmod.res carries them as comments, and still reads as a model.
    Model model;
    model.curves.push_back(curve);
    const std::vector<std::vector<double>> errors{r.errors};
    const std::string text = FormatModel(model, "fitted", &errors);
    EXPECT_NE(text.find("# +- "), std::string::npos);
    const std::string gaussLine = text.substr(text.find("gauss"));
    EXPECT_EQ(gaussLine.substr(0, gaussLine.find('\n')).find('#'), std::string::npos);
    EXPECT_EQ(ParseModel(text, "newmod.res").curves[0].slope.value, curve.slope.value);
}

TEST(FitSolver, TooFewPointsOrBadSigmaAreInputErrors) {
    CurveModel curve = ParseModel(kStart, "start").curves[0];
    const std::vector<double> x{1, 2, 3};
    EXPECT_THROW(FitCurve(curve, x, x, CurveOptions{}), FitError);
    CurveOptions options;
    options.sigma = std::numeric_limits<double>::infinity();
    curve = ParseModel("curve\nbackground 1 v 1 v\n", "m").curves[0];
    EXPECT_THROW(FitCurve(curve, x, x, options), FitError);
}

TEST(FitSolver, ADegenerateStartEndsWithoutCrashOrNonFiniteValues) {
    // Every point on one abscissa: the Jacobian is rank-deficient.
    const std::vector<double> x(50, 5.0);
    std::vector<double> y(50, 1.0);
    CurveModel curve = ParseModel("curve\nbackground 0 v 0 v\ngauss 5 v 1 v 1 v\n", "m").curves[0];
    try {
        const CurveFitResult r = FitCurve(curve, x, y, CurveOptions{});
        for (double v : Values(curve)) {
            EXPECT_TRUE(std::isfinite(v));
        }
        EXPECT_TRUE(std::isfinite(r.chiSquare));
    } catch (const FitError&) {
        // Reporting the trouble is fine too; crashing is not.
    }
}

}  // namespace
}  // namespace zelk::fit
