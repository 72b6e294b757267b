#include "frame/PlotPrinting.h"

#include <QPainter>
#include <algorithm>

#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/PlotState.h"

namespace zelk {

void DrawPlotOnPage(PlotState& state, const CPlotter& plotter, QPainter& painter,
                    const QRect& page) {
    if (page.width() <= 0 || page.height() <= 0) {
        return;
    }
    // The drawing pass sizes the plot by the client size; a view that was
    // never shown has none, so the page's shape stands in for it meanwhile.
    struct ClientSize {
        PlotState& s;
        int width, height;
        ~ClientSize() {
            s.clientWidth = width;
            s.clientHeight = height;
        }
    } saved{state, state.clientWidth, state.clientHeight};
    if (state.clientWidth <= 0 || state.clientHeight <= 0) {
        state.clientWidth = kUnsizedPlotWidth;
        state.clientHeight = std::max(1, static_cast<int>(static_cast<double>(kUnsizedPlotWidth) *
                                                          page.height() / page.width()));
    }
    const double scale = std::min(static_cast<double>(page.width()) / state.clientWidth,
                                  static_cast<double>(page.height()) / state.clientHeight);
    const double w = state.clientWidth * scale;
    const double h = state.clientHeight * scale;

    painter.save();
    painter.translate(page.x() + (page.width() - w) / 2.0, page.y() + (page.height() - h) / 2.0);
    painter.scale(scale, scale);
    painter.setClipRect(QRect(0, 0, state.clientWidth, state.clientHeight));
    QPainterSurface surface(painter);
    DrawPass(state, plotter, surface);
    painter.restore();
}

}  // namespace zelk
