#include "frame/ViewPixels.h"

#include "frame/PlotPicture.h"
#include "plot/DrawPass.h"
#include "plot/PlotState.h"

#ifdef ZELK_PLOT_GLYPHS
#include "frame/PixelSurface.h"
#include "frame/PlotGlyphs.h"
#endif

namespace zelk {

bool PaintViewPixels(std::uint32_t* bits, int stride, int width, int height, PlotState& state,
                     const CPlotter& plotter, const ViewRanges* view) {
#ifdef ZELK_PLOT_GLYPHS
    PixelSurface surface(PixelCanvas(bits, stride, width, height), glyphs::DrawText);
    DrawPass(state, plotter, surface, view);
    return true;
#else
    (void)bits, (void)stride, (void)width, (void)height, (void)state, (void)plotter, (void)view;
    return false;
#endif
}

void PaintViewImage(QImage& image, PlotState& state, const CPlotter& plotter,
                    const ViewRanges* view) {
    if (!SizePlotImage(image, state)) {
        return;
    }
    if (!PaintViewPixels(reinterpret_cast<std::uint32_t*>(image.bits()),
                         static_cast<int>(image.bytesPerLine() / 4), image.width(), image.height(),
                         state, plotter, view)) {
        PaintPlotImage(image, state, plotter, view);
    }
}

}  // namespace zelk
