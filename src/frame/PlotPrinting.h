#pragma once
// Putting the plot on a page: the whole plot, as the view shows it, scaled to
// fit the page with its aspect ratio kept, drawn by the same drawing pass.

#include <QRect>

class QPainter;

namespace zelk {

struct PlotState;
class CPlotter;

// The plot's size on paper when the view has never been laid out (a print
// from the command line): a screen-like width with the page's aspect ratio.
inline constexpr int kUnsizedPlotWidth = 1024;

// Draws the plot into page (device coordinates of painter), centred.
void DrawPlotOnPage(PlotState& state, const CPlotter& plotter, QPainter& painter,
                    const QRect& page);

}  // namespace zelk
