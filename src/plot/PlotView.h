#pragma once
// Looking at the plot: the window of data the view shows (the axis file's
// ranges, or a zoomed and panned part of them), the mapping between that
// window and the pixels of the plot area, the readout under the mouse and the
// ticks drawn while zoomed. Nothing here changes the PlotState: zooming is a
// way of looking, never an edit of the axis file.

#include <optional>
#include <string>

#include "plot/PlotState.h"
#include "plot/Surface.h"

namespace zelk {

// The shown limits in drawn units: on a logarithmic y axis yLo and yHi are
// logarithms, as the drawing pass uses them.
struct ViewRanges {
    double xMin = 0.0;
    double xMax = 0.0;
    double yLo = 0.0;
    double yHi = 0.0;
};

bool operator==(const ViewRanges& a, const ViewRanges& b);

// The axis file's ranges as the drawing pass draws them (on a logarithmic axis
// the logarithms, a lower limit of 0 read as 1e-9), each held in single
// precision as the pass holds it.
ViewRanges FileRanges(const PlotState& state);

// Pixels of the plot area and the data window they show; the same geometry as
// the frame: column 45 shows xMin, column W - 20 xMax, row H - 40 yLo and row
// 20 yHi.
class PlotGeometry {
  public:
    PlotGeometry(int width, int height, const ViewRanges& ranges);

    // False when the client area has no plot area or the ranges are unusable.
    bool Usable() const;
    // Column 45 to W - 20 and row 20 to H - 40, both ends included.
    bool InPlotArea(double column, double row) const;

    double XAt(double column) const;
    double YAt(double row) const;  // drawn units
    double ColumnOf(double x) const;
    double RowOf(double y) const;

    int width() const { return width_; }
    int height() const { return height_; }
    const ViewRanges& ranges() const { return ranges_; }

  private:
    int width_;
    int height_;
    ViewRanges ranges_;
};

// The zoom of one view. Not zoomed, it shows the axis file's ranges exactly
// (and the drawing is today's); zoomed, a window of its own that never goes
// beyond what the pixel arithmetic can place: at most kMaxZoomIn times
// narrower than the file's ranges on the plot area's pixels, at most
// kMaxZoomOut times wider, and never so narrow that single-precision limits
// could no longer tell neighbouring pixels apart.
class ZoomState {
  public:
    static constexpr double kMaxZoomOut = 1024.0;

    bool zoomed() const { return window_.has_value(); }
    void Reset() { window_.reset(); }

    // The shown window: the zoom, or the file's ranges when not zoomed.
    ViewRanges Current(const PlotState& state) const;

    // Zooms to the rectangle between two pixels (a rubber band). A band less
    // than 3 pixels wide or high is no zoom. Returns true when the view changed.
    bool ZoomToPixels(const PlotState& state, int x0, int y0, int x1, int y1);
    // Scales the window by factor (< 1 zooms in) about a pixel: the data under
    // that pixel stays under it.
    bool ZoomAbout(const PlotState& state, double column, double row, double factor);
    // Moves the window by whole pixels: the data follows the mouse.
    bool Pan(const PlotState& state, double dColumns, double dRows);
    // Brings the window back within the limits after the client size or the
    // file's ranges changed; a window that no longer fits at all is dropped.
    void Refit(const PlotState& state);

  private:
    bool Adopt(const PlotState& state, ViewRanges wanted, double fixedX, double fixedY);

    std::optional<ViewRanges> window_;
};

// Ticks on 1, 2 or 5 times a power of ten, 4 to 10 of them between lo and hi
// (either order), with as many decimals as the step needs.
struct NiceTicks {
    double step = 0.0;
    long long first = 0;  // the first tick is first * step
    int count = 0;
    int decimals = 0;
    double Value(int i) const { return static_cast<double>(first + i) * step; }
};
NiceTicks ChooseTicks(double lo, double hi);

// The ticks and labels of a zoomed view, drawn as the frame draws its own, and
// the margins painted again first so that curves reaching out of the zoomed
// plot area do not cover them.
void DrawViewFrameOverlay(Surface& dc, int width, int height, const ViewRanges& ranges);

// What the status bar shows for the mouse at a pixel: "x = 27.50   y = 5.73",
// then "   curve 1: 157.3" for the stacked curve whose band holds the mouse (its
// own value, stacking offset and factor undone; curves numbered from 1 as
// they stand in the file). Empty outside the plot area.
std::string ReadoutAt(const PlotState& state, const ViewRanges& ranges, int column, int row);

}  // namespace zelk
