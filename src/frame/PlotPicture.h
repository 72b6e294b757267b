#pragma once
// The plot as a picture: the pixels the view shows, and PNG, SVG and PDF files
// of it. Shared by the window's export and copy and by zelk-render.

#include <QImage>
#include <QString>
#include <string>

class QIODevice;

namespace zelk {

struct PlotState;
struct ViewRanges;
class CPlotter;

// Makes image clientWidth x clientHeight (RGB32) if it is not; false when no
// such image can be made (no size, or no memory for it).
bool SizePlotImage(QImage& image, const PlotState& state);

// One pass into image, made clientWidth x clientHeight first if it is not:
// exactly the pixels of the view at scale 1. A null view draws the axis
// file's ranges.
void PaintPlotImage(QImage& image, PlotState& state, const CPlotter& plotter,
                    const ViewRanges* view);

// One pass as SVG or as a one-page PDF of the plot's size (a pixel is 1/96
// inch), written to device. False, with the reason, when nothing usable came out.
bool WritePlotSvg(PlotState& state, const ViewRanges* view, QIODevice& device, std::string& error);
bool WritePlotPdf(PlotState& state, const ViewRanges* view, QIODevice& device, std::string& error);

// The picture chosen by the extension of path (.png, .svg or .pdf, in any
// case), written to a temporary file beside it and renamed over it only when
// complete. False, with the reason, when it could not be written.
bool SavePlotPicture(PlotState& state, const ViewRanges* view, const QString& path, QString& error);

}  // namespace zelk
