#include "plot/DrawPass.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "plot/CPlotter.h"
#include "plot/NumberFormat.h"
#include "plot/PixelMath.h"
#include "plot/PlotView.h"

namespace zelk {

namespace {

// What a zero ordinate becomes on a logarithmic axis: 1e-9 in single
// precision, whose logarithm rounds to -9.
constexpr float kLogZero = 1e-9f;

// Colour intensity q runs 255, 155, 55, 45, 55, 45, ... over a set's curves.
int NextIntensity(int q) {
    return std::abs(q - 100);
}
Colour ExperimentalColour(int q) {
    return RGB(255 - q, 0, q);
}
Colour ResultColour(int q) {
    return RGB(q, 0, 255 - q);
}

struct Pass {
    PlotState& s;
    const CPlotter& plotter;
    Surface& dc;
    bool logScale;
    float xLo;
    float xHi;
    float yLo;
    float yHi;
    std::array<float, 2> baseX;

    // Curve j of set lifted by its stacking offset into plotY; on a logarithmic
    // axis zero ordinates are replaced in the set itself first.
    void Transform(CurveSet& set, int j, int n, int points) {
        const double offset = static_cast<double>(n - 1 - j) * static_cast<double>(s.stackOffset);
        float* y = set.y.data() + j;
        if (logScale) {
            for (int i = 0; i < points; ++i, y += MAX_CURVES) {
                if (*y == 0.0f) {
                    *y = kLogZero;
                }
                s.plotY[static_cast<std::size_t>(i)] =
                    ToSingle(std::log10(static_cast<double>(*y)) + offset);
            }
        } else {
            const double factor = s.stackFactor;
            for (int i = 0; i < points; ++i, y += MAX_CURVES) {
                s.plotY[static_cast<std::size_t>(i)] =
                    ToSingle(static_cast<double>(*y) * factor + offset);
            }
        }
    }

    // Dotted black line across the plot at the stacked zero level of curve j.
    void BaseLine(int j, int n) {
        const float level = ToSingle(static_cast<double>(n - 1 - j) * s.stackOffset);
        const std::array<float, 2> ys{level, level};
        Polyline(2, baseX.data(), ys.data(), kBlack, PS_DOT);
    }

    void Polyline(int count, const float* xs, const float* ys, Colour colour, int style) {
        plotter.DrawPolyline(dc, s.clientWidth, s.clientHeight, xLo, xHi, yLo, yHi, count, xs, ys,
                             colour, style);
    }

    void Curve(int count, const float* xs, Colour colour, int kind, int style) {
        plotter.DrawCurve(dc, s.clientWidth, s.clientHeight, xLo, xHi, yLo, yHi, count, xs,
                          s.plotY.data(), colour, kind, style);
    }

    // The EPS texts keep their look of black on white: a zero-area fill makes
    // white the background colour without painting anything.
    void EpsText(int y, const char* prefix, float value, int width) {
        s.scratchText = prefix;
        AppendFixed(s.scratchText, value, width, 7);
        dc.FillSolidRect(50, y, 0, 0, kWhite);
        dc.TextOut(50, y, s.scratchText);
    }

    void Experimental() {
        CurveSet& set = s.experimental;
        const int n = UsableCurves(set);
        const int points = UsablePoints(set);
        int q = 255;
        for (int j = 0; j < n; ++j) {
            Transform(set, j, n, points);
            const Colour colour = ExperimentalColour(q);
            Curve(points, set.x.data(), colour, kCurveSquares, PS_DOT);
            Polyline(points, set.x.data(), s.plotY.data(), colour, PS_SOLID);
            q = NextIntensity(q);
            BaseLine(j, n);
        }
    }

    void Fitted() {
        CurveSet& set = s.result;
        const int n = UsableCurves(set);
        const int points = UsablePoints(set);
        int q = 255;
        for (int j = 0; j < n; ++j) {
            Transform(set, j, n, points);
            Curve(points, set.x.data(), ResultColour(q), kCurveLine, PS_SOLID);
            q = NextIntensity(q);
            if (s.experimentFlag == 0) {
                BaseLine(j, n);
            }
        }
    }

    void Previous() {
        CurveSet& set = s.previous;
        const int n = UsableCurves(set);
        const int points = UsablePoints(set);
        int q = 255;
        for (int j = 0; j < n; ++j) {
            Transform(set, j, n, points);
            Polyline(points, set.x.data(), s.plotY.data(), ResultColour(q), PS_DOT);
            q = NextIntensity(q);
        }
    }

    void Marker(float x) {
        const std::array<float, 2> xs{x, x};
        const std::array<float, 2> ys{yLo, yHi};
        Polyline(2, xs.data(), ys.data(), kBlack, PS_DOT);
    }
};

}  // namespace

void DrawPass(PlotState& state, const CPlotter& plotter, Surface& target) {
    Pass pass{state,      plotter,    target,     state.scaleType == 2,    state.xMin,
              state.xMax, state.yMin, state.yMax, {state.xMin, state.xMax}};
    if (pass.logScale) {
        // A non-positive limit has no logarithm; it gives -inf or NaN, which
        // the plotter treats as a plot without a usable y axis.
        const float yMin = state.yMin == 0.0f ? kLogZero : state.yMin;
        pass.yLo = ToSingle(std::log10(static_cast<double>(yMin)));
        pass.yHi = ToSingle(std::log10(static_cast<double>(state.yMax)));
    }

    plotter.DrawFrame(target, state.clientWidth, state.clientHeight, state.xMin, state.xMax,
                      pass.yLo, pass.yHi, state.xStep, state.yStep);

    if (state.experimentFlag > 0) {
        pass.Experimental();
    }
    // A run that is still going has nothing to show yet.
    if (state.fitRunCount - (state.fitRunning ? 1 : 0) <= 0) {
        return;
    }
    if (state.resultCurrent) {
        pass.Fitted();
    }
    if (state.snapshotCount > 0) {
        pass.Previous();
        if (state.experimentFlag > 0) {
            pass.EpsText(4, " EPSs= ", state.epsPrevious, 10);
        }
    }
    if (state.experimentFlag > 0) {
        if (state.epsCurrent) {
            pass.EpsText(19, " EPS = ", state.eps, 11);
        }
        pass.Marker(state.markerX1);
        pass.Marker(state.markerX2);
    }
}

void DrawPass(PlotState& state, const CPlotter& plotter, Surface& target, const ViewRanges* view) {
    if (view == nullptr) {
        DrawPass(state, plotter, target);
        return;
    }
    const float xLo = ToSingle(view->xMin);
    const float xHi = ToSingle(view->xMax);
    Pass pass{state,
              plotter,
              target,
              state.scaleType == 2,
              xLo,
              xHi,
              ToSingle(view->yLo),
              ToSingle(view->yHi),
              {xLo, xHi}};
    // The frame without ticks: the zoomed view's own ticks and labels are
    // drawn over the margins once the curves are in place.
    plotter.DrawFrame(target, state.clientWidth, state.clientHeight, xLo, xHi, pass.yLo, pass.yHi,
                      0.0f, 0.0f);
    if (state.experimentFlag > 0) {
        pass.Experimental();
    }
    const bool fitted = state.fitRunCount > 0;
    if (fitted) {
        pass.Fitted();
        if (state.snapshotCount > 0) {
            pass.Previous();
        }
        if (state.experimentFlag > 0) {
            pass.Marker(state.markerX1);
            pass.Marker(state.markerX2);
        }
    }
    DrawViewFrameOverlay(target, state.clientWidth, state.clientHeight, *view);
    if (fitted && state.experimentFlag > 0) {
        if (state.snapshotCount > 0) {
            pass.EpsText(4, " EPSs= ", state.epsPrevious, 10);
        }
        pass.EpsText(19, " EPS = ", state.eps, 11);
    }
}

}  // namespace zelk
