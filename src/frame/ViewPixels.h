#pragma once
// The view's picture at scale 1, as fast as it can be made: every pixel,
// text included, written by the pixel surface. The text comes from the glyph
// table made from the plot font at build time, which draws exactly what Qt
// draws with that font, so the window need not set up Qt's plot font before
// its first picture. A build without the table paints with Qt's text
// (PaintPlotImage): the same pixels.

#include <QImage>
#include <cstdint>

namespace zelk {

struct PlotState;
struct ViewRanges;
class CPlotter;

// One pass into image, made clientWidth x clientHeight (RGB32) first if it is
// not. A null view draws the axis file's ranges.
void PaintViewImage(QImage& image, PlotState& state, const CPlotter& plotter,
                    const ViewRanges* view);

// The same pass straight onto width x height opaque 32-bit pixels that are
// stride pixels apart; nothing is written outside them. False, with nothing
// drawn, in a build without the glyph table.
bool PaintViewPixels(std::uint32_t* bits, int stride, int width, int height, PlotState& state,
                     const CPlotter& plotter, const ViewRanges* view);

}  // namespace zelk
