#pragma once
// The view's painter: the framed, labelled plot area and the two ways of
// drawing a point series on it. No data of its own; every operation depends on
// its arguments alone.
//
// Geometry shared by all operations (W, H = client size in pixels): the plot
// area is the white rectangle from (45, 20), W - 65 wide and H - 60 high; xmin
// maps to column 45, ymin to row H - 40, y grows upward.

#include "plot/Surface.h"

namespace zelk {

inline constexpr Colour kFrameBackground = RGB(200, 200, 255);
inline constexpr Colour kWhite = RGB(255, 255, 255);
inline constexpr Colour kBlack = RGB(0, 0, 0);

// Looks of DrawCurve.
inline constexpr int kCurveLine = 0;          // 2-pixel line
inline constexpr int kCurveSquares = 1;       // 4 x 4 square at every point, no line
inline constexpr int kCurveLinedSquares = 2;  // 6 x 6 squares joined by a 2-pixel line

// Most ticks drawn on one axis, whatever the limits and step say.
inline constexpr int kMaxTicksPerAxis = 1000;

class CPlotter {
  public:
    virtual ~CPlotter() = default;

    // Background, white plot area, ticks and "%.2f" labels below and left of
    // the plot area. Ticks use the surface's current pen. A step that is not
    // positive, or too small to move the running value, draws no ticks on its
    // axis; no axis gets more than kMaxTicksPerAxis ticks.
    void DrawFrame(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                   float ymax, float xstep, float ystep) const;

    // A 1-pixel line of the given pen style through the points; dotted gaps are
    // white. Reads point 0 even when count is 0 (not when xs or ys is null).
    void DrawPolyline(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                      float ymax, int count, const float* xs, const float* ys, Colour colour,
                      int penStyle) const;

    // The series in one of the looks kCurveLine, kCurveSquares,
    // kCurveLinedSquares; any other kind draws nothing but the marker pixel.
    void DrawCurve(Surface& dc, int width, int height, float xmin, float xmax, float ymin,
                   float ymax, int count, const float* xs, const float* ys, Colour colour, int kind,
                   int penStyle) const;
};

}  // namespace zelk
