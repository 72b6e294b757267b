#include "plot/PlotView.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "plot/CPlotter.h"
#include "plot/NumberFormat.h"
#include "plot/PixelMath.h"

namespace zelk {

namespace {

// The drawn zero of a logarithmic axis, as the drawing pass has it.
constexpr float kLogZero = 1e-9f;

// Zoom stays well inside the saturating pixel arithmetic: the file's ranges
// never map further than this from the plot area.
constexpr double kPixelReach = kPixelLimit / 2.0;
// Single-precision limits tell pixels apart while a pixel spans at least a few
// units in the last place of the largest limit.
constexpr double kFloatResolution = 4.0 / (1 << 23);
// Beyond this the limits no longer fit the single-precision fields.
constexpr double kLargestLimit = 1e30;
// Decades a zoomed-out logarithmic axis shows at most.
constexpr double kWidestLogWindow = 100.0;

bool Finite(const ViewRanges& r) {
    return std::isfinite(r.xMin) && std::isfinite(r.xMax) && std::isfinite(r.yLo) &&
           std::isfinite(r.yHi);
}

// Shortest general form with up to `precision` significant digits, never
// locale dependent.
std::string General(double v, int precision) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                      std::chars_format::general, precision);
    return std::string(buffer.data(), result.ptr);
}

// A value read off the plot with enough decimals to tell neighbouring pixels
// apart (two at least, as the labels have).
std::string PixelValue(double v, double unitsPerPixel) {
    if (!std::isfinite(v)) {
        return General(v, 4);
    }
    if (std::fabs(v) >= 1e9) {
        return General(v, 9);
    }
    int decimals = 2;
    if (unitsPerPixel > 0.0 && std::isfinite(unitsPerPixel)) {
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(unitsPerPixel))), 2, 12);
    }
    return FormatFixed(v, 0, decimals);
}

// One axis of a wanted window brought within the limits of the zoom. The
// window keeps the orientation of the file's range; fixed is the data value
// that must stay where it is when the span has to be cut.
bool FitAxis(double fileLo, double fileHi, double& lo, double& hi, double fixed, int pixels,
             double widestAllowed) {
    const double fileSpan = fileHi - fileLo;
    double span = hi - lo;
    if (!std::isfinite(fileSpan) || fileSpan == 0.0 || pixels <= 0 || !std::isfinite(span) ||
        span == 0.0 || (span > 0.0) != (fileSpan > 0.0)) {
        return false;
    }
    const double largest =
        std::max({std::fabs(lo), std::fabs(hi), std::fabs(fileLo), std::fabs(fileHi)});
    const double narrowest =
        std::max(std::fabs(fileSpan) * pixels / kPixelReach, largest * kFloatResolution * pixels);
    const double widest =
        std::min({std::fabs(fileSpan) * ZoomState::kMaxZoomOut, kLargestLimit, widestAllowed});
    const double wanted = std::fabs(span);
    const double allowed = std::clamp(wanted, std::min(narrowest, widest), widest);
    if (allowed != wanted) {
        if (!std::isfinite(fixed)) {
            fixed = lo + span / 2.0;
        }
        const double r = allowed / wanted;
        lo = fixed - (fixed - lo) * r;
        hi = fixed + (hi - fixed) * r;
        span = hi - lo;
    }
    // The centre stays near enough to the file's range that the range's edges
    // keep within reach of the pixel arithmetic.
    const double unitsPerPixel = std::fabs(span) / pixels;
    const double fileCentre = fileLo + fileSpan / 2.0;
    const double reach = kPixelReach / 2.0 * unitsPerPixel;
    const double centre = lo + span / 2.0;
    const double clamped = std::clamp(centre, fileCentre - reach, fileCentre + reach);
    lo += clamped - centre;
    hi += clamped - centre;
    return std::isfinite(lo) && std::isfinite(hi) && std::fabs(lo) <= kLargestLimit &&
           std::fabs(hi) <= kLargestLimit && lo != hi;
}

// Which curve set the readout names: what is drawn with base lines first.
const CurveSet* ReadoutSet(const PlotState& state) {
    if (state.experimentFlag > 0 && UsableCurves(state.experimental) > 0) {
        return &state.experimental;
    }
    if (state.fitRunCount > 0 && UsableCurves(state.result) > 0) {
        return &state.result;
    }
    return nullptr;
}

// The stacked curve whose band holds drawn ordinate y: curve j sits on its
// base line (n - 1 - j) * stackOffset and reaches up to the next one. Without
// a positive offset the bands are meaningless and the curve nearest at x wins.
int CurveAt(const PlotState& state, const CurveSet& set, double x, double y) {
    const int n = UsableCurves(set);
    const double offset = state.stackOffset;
    if (n == 1) {
        return 0;
    }
    if (offset > 0.0 && std::isfinite(offset)) {
        const double band = std::floor(y / offset);
        const double j = static_cast<double>(n - 1) - std::clamp(band, 0.0, n - 1.0);
        return static_cast<int>(j);
    }
    const int points = UsablePoints(set);
    if (points == 0) {
        return 0;
    }
    int nearest = 0;
    for (int p = 1; p < points; ++p) {
        if (std::fabs(set.x[static_cast<std::size_t>(p)] - x) <
            std::fabs(set.x[static_cast<std::size_t>(nearest)] - x)) {
            nearest = p;
        }
    }
    const bool logScale = state.scaleType == 2;
    int best = 0;
    double bestDistance = INFINITY;
    for (int j = 0; j < n; ++j) {
        const double v = set.y[static_cast<std::size_t>(nearest * MAX_CURVES + j)];
        const double drawn = (logScale ? std::log10(v == 0.0 ? kLogZero : v)
                                       : v * static_cast<double>(state.stackFactor)) +
                             (n - 1 - j) * offset;
        const double distance = std::fabs(drawn - y);
        if (distance < bestDistance) {
            best = j;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

bool operator==(const ViewRanges& a, const ViewRanges& b) {
    return a.xMin == b.xMin && a.xMax == b.xMax && a.yLo == b.yLo && a.yHi == b.yHi;
}

ViewRanges FileRanges(const PlotState& state) {
    ViewRanges r;
    r.xMin = state.xMin;
    r.xMax = state.xMax;
    if (state.scaleType == 2) {
        const float yMin = state.yMin == 0.0f ? kLogZero : state.yMin;
        r.yLo = ToSingle(std::log10(static_cast<double>(yMin)));
        r.yHi = ToSingle(std::log10(static_cast<double>(state.yMax)));
    } else {
        r.yLo = state.yMin;
        r.yHi = state.yMax;
    }
    return r;
}

PlotGeometry::PlotGeometry(int width, int height, const ViewRanges& ranges)
    : width_(ClampExtent(width)), height_(ClampExtent(height)), ranges_(ranges) {}

bool PlotGeometry::Usable() const {
    return width_ > 65 && height_ > 60 && Finite(ranges_) && ranges_.xMax != ranges_.xMin &&
           ranges_.yHi != ranges_.yLo;
}

bool PlotGeometry::InPlotArea(double column, double row) const {
    return column >= 45 && column <= width_ - 20 && row >= 20 && row <= height_ - 40;
}

double PlotGeometry::XAt(double column) const {
    return ranges_.xMin + (column - 45.0) * (ranges_.xMax - ranges_.xMin) / (width_ - 65);
}

double PlotGeometry::YAt(double row) const {
    return ranges_.yLo + (height_ - 40.0 - row) * (ranges_.yHi - ranges_.yLo) / (height_ - 60);
}

double PlotGeometry::ColumnOf(double x) const {
    return 45.0 + (x - ranges_.xMin) * (width_ - 65) / (ranges_.xMax - ranges_.xMin);
}

double PlotGeometry::RowOf(double y) const {
    return height_ - 40.0 - (y - ranges_.yLo) * (height_ - 60) / (ranges_.yHi - ranges_.yLo);
}

ViewRanges ZoomState::Current(const PlotState& state) const {
    return window_ ? *window_ : FileRanges(state);
}

bool ZoomState::Adopt(const PlotState& state, ViewRanges wanted, double fixedX, double fixedY) {
    const ViewRanges file = FileRanges(state);
    const int w = ClampExtent(state.clientWidth) - 65;
    const int h = ClampExtent(state.clientHeight) - 60;
    // On a logarithmic axis the window is in decades: beyond the range of the
    // data's single-precision values there is nothing to see.
    const double widestY = state.scaleType == 2 ? kWidestLogWindow : kLargestLimit;
    if (!FitAxis(file.xMin, file.xMax, wanted.xMin, wanted.xMax, fixedX, w, kLargestLimit) ||
        !FitAxis(file.yLo, file.yHi, wanted.yLo, wanted.yHi, fixedY, h, widestY)) {
        return false;
    }
    // The limits are handed on in single precision: what is kept is what is drawn.
    wanted = {ToSingle(wanted.xMin), ToSingle(wanted.xMax), ToSingle(wanted.yLo),
              ToSingle(wanted.yHi)};
    if (wanted.xMin == wanted.xMax || wanted.yLo == wanted.yHi || wanted == Current(state)) {
        return false;
    }
    window_ = wanted;
    return true;
}

bool ZoomState::ZoomToPixels(const PlotState& state, int x0, int y0, int x1, int y1) {
    if (std::abs(x1 - x0) < 3 || std::abs(y1 - y0) < 3) {
        return false;
    }
    const PlotGeometry g(state.clientWidth, state.clientHeight, Current(state));
    if (!g.Usable()) {
        return false;
    }
    const int left = std::min(x0, x1);
    const int right = std::max(x0, x1);
    const int top = std::min(y0, y1);
    const int bottom = std::max(y0, y1);
    const ViewRanges wanted{g.XAt(left), g.XAt(right), g.YAt(bottom), g.YAt(top)};
    return Adopt(state, wanted, g.XAt((left + right) / 2.0), g.YAt((top + bottom) / 2.0));
}

bool ZoomState::ZoomAbout(const PlotState& state, double column, double row, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) {
        return false;
    }
    const PlotGeometry g(state.clientWidth, state.clientHeight, Current(state));
    if (!g.Usable()) {
        return false;
    }
    const ViewRanges& r = g.ranges();
    const double fx = g.XAt(column);
    const double fy = g.YAt(row);
    const ViewRanges wanted{fx - (fx - r.xMin) * factor, fx + (r.xMax - fx) * factor,
                            fy - (fy - r.yLo) * factor, fy + (r.yHi - fy) * factor};
    return Adopt(state, wanted, fx, fy);
}

bool ZoomState::Pan(const PlotState& state, double dColumns, double dRows) {
    const PlotGeometry g(state.clientWidth, state.clientHeight, Current(state));
    if (!g.Usable()) {
        return false;
    }
    const ViewRanges& r = g.ranges();
    const double dx = g.XAt(45.0 - dColumns) - r.xMin;
    const double dy = g.YAt(state.clientHeight - 40.0 - dRows) - r.yLo;
    return Adopt(state, {r.xMin + dx, r.xMax + dx, r.yLo + dy, r.yHi + dy}, NAN, NAN);
}

void ZoomState::Refit(const PlotState& state) {
    if (!window_) {
        return;
    }
    const ViewRanges shown = *window_;
    const double cx = shown.xMin + (shown.xMax - shown.xMin) / 2.0;
    const double cy = shown.yLo + (shown.yHi - shown.yLo) / 2.0;
    window_.reset();
    // Adopt compares with what is shown; with the window dropped that is the
    // file's ranges, so a window equal to them simply stays dropped.
    Adopt(state, shown, cx, cy);
}

NiceTicks ChooseTicks(double lo, double hi) {
    NiceTicks ticks;
    if (lo > hi) {
        std::swap(lo, hi);
    }
    const double span = hi - lo;
    if (!std::isfinite(span) || !(span > 0.0)) {
        return ticks;
    }
    // From the step that gives at most a few ticks downward: the first of 1,
    // 2, 5 x 10^k that puts at least four on the axis. Each step is at most
    // 2.5 times the next, so that one puts no more than ten.
    int k = static_cast<int>(std::floor(std::log10(span)));
    constexpr std::array<int, 3> kMantissas{5, 2, 1};
    for (int tries = 0; tries < 8; ++tries, --k) {
        for (int m : kMantissas) {
            // 10^k by exact multiplication: the pow of some C runtimes
            // (MinGW's) is off by an ulp, and 0.1 / 0.0100...02 has no
            // whole-number tick where it should.
            double scale = 1.0;
            for (int i = 0; i < (k < 0 ? -k : k); ++i) {
                scale *= 10.0;
            }
            const double step = k < 0 ? m / scale : m * scale;
            const double first = std::ceil(lo / step);
            const double last = std::floor(hi / step);
            const double count = last - first + 1.0;
            if (count >= 4.0 && std::fabs(first) < 1e15) {
                ticks.step = step;
                ticks.first = static_cast<long long>(first);
                ticks.count = static_cast<int>(std::min(count, 10.0));
                ticks.decimals = k < 0 ? -k : 0;
                return ticks;
            }
        }
    }
    return ticks;
}

void DrawViewFrameOverlay(Surface& dc, int width, int height, const ViewRanges& ranges) {
    const int w = ClampExtent(width);
    const int h = ClampExtent(height);
    if (w <= 65 || h <= 60) {
        return;
    }
    // The margins again, over whatever reached out of the plot area; the last
    // fill leaves the margin colour as the background of the labels.
    dc.FillSolidRect(0, 0, w, 20, kFrameBackground);
    dc.FillSolidRect(0, h - 40, w, 40, kFrameBackground);
    dc.FillSolidRect(w - 20, 0, 20, h, kFrameBackground);
    dc.FillSolidRect(0, 0, 45, h, kFrameBackground);

    const float xmin = ToSingle(ranges.xMin);
    const float xmax = ToSingle(ranges.xMax);
    const float ymin = ToSingle(ranges.yLo);
    const float ymax = ToSingle(ranges.yHi);
    const double ux = (static_cast<double>(xmax) - xmin) / (w - 65);
    const double uy = (static_cast<double>(ymax) - ymin) / (h - 60);
    std::string label;
    if (std::isfinite(ux) && ux != 0.0) {
        const NiceTicks t = ChooseTicks(xmin, xmax);
        for (int i = 0; i < t.count; ++i) {
            const double v = t.Value(i);
            const int x = ToPixel(ToSingle((v - xmin) / ux)) + 45;
            dc.MoveTo(x, h - 34);
            dc.LineTo(x, h - 40);
            label.clear();
            AppendFixed(label, v, 0, t.decimals);
            const int n = static_cast<int>(label.size());
            dc.TextOut(x - 7 * n / 2, h - 32, label);
        }
    }
    if (std::isfinite(uy) && uy != 0.0) {
        const NiceTicks t = ChooseTicks(ymin, ymax);
        for (int i = 0; i < t.count; ++i) {
            const double v = t.Value(i);
            const int y = h - ToPixel(ToSingle((v - ymin) / uy)) - 40;
            dc.MoveTo(39, y);
            dc.LineTo(45, y);
            label.clear();
            AppendFixed(label, v, 0, t.decimals);
            const int n = static_cast<int>(label.size());
            // Zoomed labels can be long; they start at the window's edge at most.
            dc.TextOut(std::max(0, 37 - 8 * n), y - 8, label);
        }
    }
}

std::string ReadoutAt(const PlotState& state, const ViewRanges& ranges, int column, int row) {
    const PlotGeometry g(state.clientWidth, state.clientHeight, ranges);
    if (!g.Usable() || !g.InPlotArea(column, row)) {
        return {};
    }
    const double x = g.XAt(column);
    const double drawnY = g.YAt(row);
    const bool logScale = state.scaleType == 2;
    const double xPerPixel = std::fabs(ranges.xMax - ranges.xMin) / (g.width() - 65);
    const double yPerPixel = std::fabs(ranges.yHi - ranges.yLo) / (g.height() - 60);

    std::string text = "x = " + PixelValue(x, xPerPixel) + "   y = ";
    if (logScale) {
        const int digits =
            std::clamp(1 + static_cast<int>(std::ceil(-std::log10(yPerPixel * 2.302585))), 3, 12);
        text += General(std::pow(10.0, drawnY), digits);
    } else {
        text += PixelValue(drawnY, yPerPixel);
    }

    const CurveSet* set = ReadoutSet(state);
    if (set == nullptr) {
        return text;
    }
    const int n = UsableCurves(*set);
    const int j = CurveAt(state, *set, x, drawnY);
    const double offset = static_cast<double>(n - 1 - j) * static_cast<double>(state.stackOffset);
    double own = NAN;
    if (logScale) {
        own = std::pow(10.0, drawnY - offset);
    } else if (state.stackFactor != 0.0f) {
        own = (drawnY - offset) / static_cast<double>(state.stackFactor);
    }
    text += "   curve " + std::to_string(j + 1) + ": ";
    text += std::isfinite(own) ? General(own, 4) : std::string("-");
    return text;
}

}  // namespace zelk
