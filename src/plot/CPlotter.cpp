#include "plot/CPlotter.h"

#include <cmath>
#include <limits>
#include <string>

#include "plot/NumberFormat.h"
#include "plot/PixelMath.h"

// Arithmetic follows the painter's historical rounding exactly: limits and
// data arrive as floats, scales are doubles, every position is rounded to a
// float and then truncated toward zero. Changing where a value is rounded moves
// ticks and curve points by a pixel, so keep the casts as they are.

namespace zelk {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The plot area has a positive size only for W > 65 and H > 60.
bool HasPlotArea(int width, int height) {
    return width > 65 && height > 60;
}

// A scale that is zero, infinite or NaN cannot place anything; NaN then makes
// every position non-finite, and non-finite positions are left out.
double Usable(double scale) {
    return std::isfinite(scale) && scale != 0.0 ? scale : kNaN;
}

// Runs draw(v) for v = lo, lo + step, ... while hi + step > v, the running
// value accumulating in single precision.
template <typename Draw>
void ForEachTick(float lo, float hi, float step, Draw&& draw) {
    if (!(step > 0.0f) || !std::isfinite(step) || !std::isfinite(lo)) {
        return;
    }
    float v = lo;
    if (ToSingle(static_cast<double>(v) + step) == v) {
        return;  // the step is lost in rounding: it would never advance
    }
    for (int n = 0; n < kMaxTicksPerAxis; ++n) {
        if (!(static_cast<double>(hi) + static_cast<double>(step) > static_cast<double>(v))) {
            break;
        }
        draw(v);
        const float next = ToSingle(static_cast<double>(v) + static_cast<double>(step));
        if (next == v) {
            break;
        }
        v = next;
    }
}

struct Position {
    float x;
    float y;
};

// DrawPolyline divides by units per pixel.
struct DividingMap {
    DividingMap(int width, int height, float xmin, float xmax, float ymin, float ymax)
        : h(height), x0(xmin), y0(ymin) {
        if (HasPlotArea(width, height)) {
            ux = Usable((static_cast<double>(xmax) - xmin) / (width - 65));
            uy = Usable((static_cast<double>(ymax) - ymin) / (height - 60));
        }
    }
    Position operator()(float x, float y) const {
        return {ToSingle((static_cast<double>(x) - x0) / ux + 45.0),
                ToSingle(h - (static_cast<double>(y) - y0) / uy - 40.0)};
    }
    double h;
    double x0;
    double y0;
    double ux = kNaN;
    double uy = kNaN;
};

// DrawCurve multiplies by pixels per unit, so the two can differ by a pixel.
struct MultiplyingMap {
    MultiplyingMap(int width, int height, float xmin, float xmax, float ymin, float ymax)
        : h(height), x0(xmin), y0(ymin) {
        const double dx = static_cast<double>(xmax) - xmin;
        const double dy = static_cast<double>(ymax) - ymin;
        if (HasPlotArea(width, height) && dx != 0.0 && dy != 0.0) {
            px = Usable((width - 65) / dx);
            py = Usable((height - 60) / dy);
        }
    }
    Position operator()(float x, float y) const {
        return {ToSingle((static_cast<double>(x) - x0) * px + 45.0),
                ToSingle(h - (static_cast<double>(y) - y0) * py - 40.0)};
    }
    double h;
    double x0;
    double y0;
    double px = kNaN;
    double py = kNaN;
};

// Walks the series and hands each finite position to the surface: the first
// one after a gap (or at the start) with MoveTo, the others with LineTo.
// Before the loop the current position is point 0, as the caller moved there.
class Pen {
  public:
    Pen(Surface& dc, bool down) : dc_(dc), down_(down) {}
    template <typename Map>
    void To(const Map& map, float x, float y) {
        const Position p = map(x, y);
        if (!IsFinitePosition(p.x, p.y)) {
            down_ = false;
            return;
        }
        if (down_) {
            dc_.LineTo(ToPixel(p.x), ToPixel(p.y));
        } else {
            dc_.MoveTo(ToPixel(p.x), ToPixel(p.y));
            down_ = true;
        }
    }

  private:
    Surface& dc_;
    bool down_;
};

// Point 0 is read even for an empty series, as long as there is one to read.
template <typename Map>
bool MoveToFirst(Surface& dc, const Map& map, const float* xs, const float* ys) {
    if (xs == nullptr || ys == nullptr) {
        return false;
    }
    const Position p = map(xs[0], ys[0]);
    if (!IsFinitePosition(p.x, p.y)) {
        return false;
    }
    dc.MoveTo(ToPixel(p.x), ToPixel(p.y));
    return true;
}

void Square(Surface& dc, Position p, int half, Colour colour) {
    if (IsFinitePosition(p.x, p.y)) {
        dc.FillSolidRect(ToPixel(static_cast<double>(p.x) - half),
                         ToPixel(static_cast<double>(p.y) - half), 2 * half, 2 * half, colour);
    }
}

}  // namespace

void CPlotter::DrawFrame(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                         float ymax, float xstep, float ystep) const {
    const int w = ClampExtent(width);
    const int h = ClampExtent(height);
    dc.FillSolidRect(0, 0, w > 0 ? w : 0, h > 0 ? h : 0, kFrameBackground);
    dc.FillSolidRect(45, 20, w > 65 ? w - 65 : 0, h > 60 ? h - 60 : 0, kWhite);
    // The pixel already has this colour; the fill makes it the background
    // colour again, so the labels sit on cells of the margin colour.
    dc.FillSolidRect(1, 1, 1, 1, kFrameBackground);
    if (!HasPlotArea(w, h)) {
        return;
    }

    const double ux = (static_cast<double>(xmax) - xmin) / (w - 65);
    const double uy = (static_cast<double>(ymax) - ymin) / (h - 60);
    std::string label;

    if (std::isfinite(ux) && ux != 0.0) {
        ForEachTick(xmin, xmax, xstep, [&](float v) {
            const float p = ToSingle((static_cast<double>(v) - xmin) / ux);
            const int x = ToPixel(p) + 45;
            dc.MoveTo(x, h - 34);
            dc.LineTo(x, h - 40);
            label.clear();
            AppendFixed(label, v, 0, 2);
            const int n = static_cast<int>(label.size());
            dc.TextOut(x - 7 * n / 2, h - 32, label);
        });
    }
    if (std::isfinite(uy) && uy != 0.0) {
        ForEachTick(ymin, ymax, ystep, [&](float v) {
            const float p = ToSingle((static_cast<double>(v) - ymin) / uy);
            const int y = h - ToPixel(p) - 40;
            dc.MoveTo(39, y);
            dc.LineTo(45, y);
            label.clear();
            AppendFixed(label, v, 0, 2);
            const int n = static_cast<int>(label.size());
            dc.TextOut(37 - 8 * n, y - 8, label);
        });
    }
}

void CPlotter::DrawPolyline(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                            float ymax, int count, const float* xs, const float* ys, Colour colour,
                            int penStyle) const {
    // Makes white the background colour: the gaps of a dotted line are white.
    dc.FillSolidRect(61, 41, 1, 1, kWhite);
    const int h = ClampExtent(height);
    const DividingMap map(ClampExtent(width), h, xmin, xmax, ymin, ymax);
    const bool atFirst = MoveToFirst(dc, map, xs, ys);
    PenGuard pen(dc, penStyle, 1, colour);
    Pen walker(dc, atFirst);
    for (int i = 0; i < count; ++i) {
        walker.To(map, xs[i], ys[i]);
    }
}

void CPlotter::DrawCurve(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                         float ymax, int count, const float* xs, const float* ys, Colour colour,
                         int kind, int penStyle) const {
    dc.FillSolidRect(61, 41, 1, 1, kWhite);
    dc.FillSolidRect(61, 41, 1, 1, colour);
    const MultiplyingMap map(ClampExtent(width), ClampExtent(height), xmin, xmax, ymin, ymax);
    if (kind == kCurveLine) {
        const bool atFirst = MoveToFirst(dc, map, xs, ys);
        PenGuard pen(dc, penStyle, 2, colour);
        Pen walker(dc, atFirst);
        for (int i = 0; i < count; ++i) {
            walker.To(map, xs[i], ys[i]);
        }
    }
    if (kind == kCurveSquares) {
        for (int i = 0; i < count; ++i) {
            Square(dc, map(xs[i], ys[i]), 2, colour);
        }
        dc.FillSolidRect(61, 41, 1, 1, kWhite);
    }
    if (kind == kCurveLinedSquares) {
        const bool atFirst = MoveToFirst(dc, map, xs, ys);
        PenGuard pen(dc, penStyle, 2, colour);
        Pen walker(dc, atFirst);
        for (int i = 0; i < count; ++i) {
            Square(dc, map(xs[i], ys[i]), 3, colour);
            walker.To(map, xs[i], ys[i]);
        }
    }
}

}  // namespace zelk
