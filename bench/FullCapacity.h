#pragma once
// A plot state at full capacity: three sets of 12 curves x 3500 points,
// experimental data, a fit run and a snapshot, on a 1280 x 960 client area.

#include <cmath>
#include <memory>

#include "plot/PlotState.h"

namespace zelk::bench {

inline void FillSet(CurveSet& set, float phase) {
    set.pointCount = MAX_POINTS;
    set.curveCount = MAX_CURVES;
    for (int p = 0; p < MAX_POINTS; ++p) {
        set.x[p] = static_cast<float>(p);
        for (int c = 0; c < MAX_CURVES; ++c) {
            const double t = p * 0.01 + c * 0.7 + phase;
            set.y[p * MAX_CURVES + c] = static_cast<float>(
                1.0 + std::sin(t) * std::exp(-p / 2000.0) + 0.05 * std::sin(37 * t));
        }
    }
}

inline std::unique_ptr<PlotState> FullCapacityState() {
    auto s = std::make_unique<PlotState>();
    s->clientWidth = 1280;
    s->clientHeight = 960;
    s->xMin = 0;
    s->xMax = MAX_POINTS;
    s->xStep = 250;
    s->yMin = 0;
    s->yMax = 38;
    s->yStep = 2;
    s->scaleType = 1;
    s->stackFactor = 1;
    s->stackOffset = 3;
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->snapshotCount = 1;
    s->markerX1 = 500;
    s->markerX2 = 3000;
    s->eps = 0.0123456f;
    s->epsPrevious = 0.0234567f;
    FillSet(s->experimental, 0.0f);
    FillSet(s->result, 0.05f);
    FillSet(s->previous, 0.1f);
    return s;
}

}  // namespace zelk::bench
