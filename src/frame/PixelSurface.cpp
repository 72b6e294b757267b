#include "frame/PixelSurface.h"

#include <utility>

namespace zelk {

PixelSurface::PixelSurface(const PixelCanvas& canvas, TextPainter text)
    : canvas_(canvas), text_(std::move(text)), background_(RGB(255, 255, 255)) {
    pens_.push_back({PS_SOLID, 1, RGB(0, 0, 0)});  // a device context's default pen
    UpdatePen();
}

void PixelSurface::UpdatePen() {
    const PenState& current = pens_.back();
    const int width = current.width < 1 ? 1 : current.width;
    // Wider pens are always solid, as with the classic CreatePen.
    pen_ = {ToArgb(current.colour), ToArgb(background_), width,
            current.style == PS_DOT && width == 1};
}

void PixelSurface::FillSolidRect(int x, int y, int cx, int cy, Colour colour) {
    canvas_.Fill(x, y, cx, cy, ToArgb(colour));
    background_ = colour;
    UpdatePen();
}

void PixelSurface::MoveTo(int x, int y) {
    currentX_ = x;
    currentY_ = y;
    dotPhase_ = 0;
}

void PixelSurface::LineTo(int x, int y) {
    canvas_.Line(currentX_, currentY_, x, y, pen_, dotPhase_);
    currentX_ = x;
    currentY_ = y;
}

void PixelSurface::TextOut(int x, int y, std::string_view text) {
    if (text_) {
        text_(canvas_, x, y, text, ToArgb(background_));
    }
}

void PixelSurface::SelectNewPen(int style, int width, Colour colour) {
    pens_.push_back({style, width, colour});
    UpdatePen();
}

void PixelSurface::RestorePen() {
    if (pens_.size() > 1) {
        pens_.pop_back();
    }
    UpdatePen();
}

}  // namespace zelk
