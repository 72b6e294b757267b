#include "frame/VectorSurface.h"

namespace zelk {

VectorSurface::VectorSurface() : background_(RGB(255, 255, 255)) {
    pens_.push_back({PS_SOLID, 1, RGB(0, 0, 0)});  // a device context's default pen
}

void VectorSurface::MoveTo(int x, int y) {
    Flush();
    x_ = x;
    y_ = y;
}

void VectorSurface::LineTo(int x, int y) {
    if (x == x_ && y == y_) {
        return;  // a line of no length draws nothing
    }
    if (run_.empty()) {
        run_.push_back(x_);
        run_.push_back(y_);
    }
    run_.push_back(x);
    run_.push_back(y);
    x_ = x;
    y_ = y;
}

void VectorSurface::Flush() {
    if (run_.size() >= 4) {
        const PenState& pen = pens_.back();
        const int width = pen.width < 1 ? 1 : pen.width;
        if (pen.style == PS_DOT && width == 1) {
            StrokeRun(run_, background_, 1, false);  // the gaps, then the dots
            StrokeRun(run_, pen.colour, 1, true);
        } else {
            StrokeRun(run_, pen.colour, width, false);
        }
    }
    run_.clear();
}

void VectorSurface::SelectNewPen(int style, int width, Colour colour) {
    Flush();
    pens_.push_back({style, width, colour});
}

void VectorSurface::RestorePen() {
    Flush();
    if (pens_.size() > 1) {
        pens_.pop_back();
    }
}

}  // namespace zelk
