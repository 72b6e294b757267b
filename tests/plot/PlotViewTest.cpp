#include "plot/PlotView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "OpsSupport.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/NumberFormat.h"
#include "plot/PixelMath.h"
#include "plot/RecordingSurface.h"

namespace zelk {
namespace {

// 465 x 360: x from 0 to 10 over 400 columns (0.025 per pixel), y from 0 to 3
// over 300 rows (0.01 per pixel); three stacked curves one unit apart.
std::unique_ptr<PlotState> LinearState() {
    auto s = std::make_unique<PlotState>();
    s->clientWidth = 465;
    s->clientHeight = 360;
    s->xMin = 0;
    s->xMax = 10;
    s->xStep = 2;
    s->yMin = 0;
    s->yMax = 3;
    s->yStep = 1;
    s->scaleType = 1;
    s->stackFactor = 0.5f;
    s->stackOffset = 1;
    s->experimentFlag = 1;
    s->experimental.pointCount = 2;
    s->experimental.curveCount = 3;
    s->experimental.x[0] = 0;
    s->experimental.x[1] = 10;
    return s;
}

struct ReadoutCase {
    const char* name;
    int column;
    int row;
    const char* expected;
};

TEST(Readout, LinearAxisAtKnownPixels) {
    auto s = LinearState();
    const ReadoutCase cases[] = {
        // Row 320 is H - 40, the drawn 0; row 20 the top, 3.
        {"bottom left corner", 45, 320, "x = 0.00   y = 0.00   curve 3: 0"},
        {"top right corner", 445, 20, "x = 10.00   y = 3.00   curve 1: 2"},
        // y 1.25 lies in the band of curve 2 (base line 1): (1.25 - 1) / 0.5.
        {"middle band", 145, 195, "x = 2.50   y = 1.25   curve 2: 0.5"},
        {"lowest band", 245, 300, "x = 5.00   y = 0.20   curve 3: 0.4"},
    };
    for (const ReadoutCase& c : cases) {
        EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), c.column, c.row), c.expected) << c.name;
    }
}

TEST(Readout, BlankOutsideThePlotArea) {
    auto s = LinearState();
    for (auto [column, row] : {std::pair{44, 100}, {446, 100}, {100, 19}, {100, 321}, {-5, -5}}) {
        EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), column, row), "") << column << "," << row;
    }
    s->clientWidth = 60;  // no plot area at all
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 50, 100), "");
}

TEST(Readout, LogarithmicAxisShowsValuesNotLogarithms) {
    auto s = LinearState();
    // y from 1 to 1000: three decades over 300 rows, 100 rows per decade.
    s->scaleType = 2;
    s->yMin = 1;
    s->yMax = 1000;
    s->stackOffset = 1;
    s->stackFactor = 7;  // not applied on a logarithmic axis
    // Row 220: drawn 1 = log10(10); curve 2's base line is at 1 (value 1), so
    // its own value there is 10^(1 - 1) = 1. Row 170: drawn 1.5.
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 45, 220), "x = 0.00   y = 10   curve 2: 1");
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 45, 320), "x = 0.00   y = 1   curve 3: 1");
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 45, 170), "x = 0.00   y = 31.6   curve 2: 3.162");
}

TEST(Readout, WithoutCurvesOnlyThePosition) {
    auto s = LinearState();
    s->experimentFlag = 0;
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 145, 195), "x = 2.50   y = 1.25");
    s->fitRunCount = 1;
    s->result.curveCount = 1;
    s->result.pointCount = 1;
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 145, 195), "x = 2.50   y = 1.25   curve 1: 2.5");
}

TEST(Readout, ZeroStackOffsetNamesTheNearestCurve) {
    auto s = LinearState();
    s->stackOffset = 0;
    s->stackFactor = 1;
    // Curves 1, 2, 3 hold 2.5, 0.5, 1.5 at both points.
    for (int p = 0; p < 2; ++p) {
        s->experimental.y[p * MAX_CURVES + 0] = 2.5f;
        s->experimental.y[p * MAX_CURVES + 1] = 0.5f;
        s->experimental.y[p * MAX_CURVES + 2] = 1.5f;
    }
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 45, 170), "x = 0.00   y = 1.50   curve 3: 1.5");
    EXPECT_EQ(ReadoutAt(*s, FileRanges(*s), 45, 300), "x = 0.00   y = 0.20   curve 2: 0.2");
}

TEST(Readout, DecimalsFollowThePixelSize) {
    auto s = LinearState();
    ZoomState zoom;
    // 400 columns over 0.4 units: 0.001 per pixel, three decimals.
    ASSERT_TRUE(zoom.ZoomToPixels(*s, 45, 20, 61, 320));
    const std::string text = ReadoutAt(*s, zoom.Current(*s), 45, 320);
    EXPECT_EQ(text.substr(0, 9), "x = 0.000") << text;
}

struct TickCase {
    double lo;
    double hi;
    double step;
    double first;
    int count;
    int decimals;
};

TEST(NiceTicksTest, StepsCountsAndDecimals) {
    const TickCase cases[] = {
        {0, 10, 2, 0, 6, 0},        {0, 1, 0.2, 0, 6, 1},
        {0, 3, 1, 0, 4, 0},         {0.1, 0.13, 0.01, 0.1, 4, 2},
        {-7, 7, 2, -6, 7, 0},       {1234.5, 1234.9, 0.1, 1234.5, 5, 1},
        {1e6, 5e6, 1e6, 1e6, 5, 0}, {2.71e-7, 2.79e-7, 2e-9, 2.72e-7, 4, 9},
        {10, 0, 2, 0, 6, 0},  // either order
    };
    for (const TickCase& c : cases) {
        const NiceTicks t = ChooseTicks(c.lo, c.hi);
        EXPECT_DOUBLE_EQ(t.step, c.step) << c.lo << ".." << c.hi;
        EXPECT_NEAR(t.Value(0), c.first, c.step * 1e-6) << c.lo << ".." << c.hi;
        EXPECT_EQ(t.count, c.count) << c.lo << ".." << c.hi;
        EXPECT_EQ(t.decimals, c.decimals) << c.lo << ".." << c.hi;
    }
}

TEST(NiceTicksTest, AlwaysFourToTenOnOneTwoFive) {
    // Spans across many decades and offsets, including awkward ones.
    for (double span = 1e-6; span < 1e9; span *= 1.37) {
        for (double lo : {-span * 0.61, 0.0, span * 3.3, 12345.678}) {
            const NiceTicks t = ChooseTicks(lo, lo + span);
            ASSERT_GE(t.count, 4) << lo << " + " << span;
            ASSERT_LE(t.count, 10) << lo << " + " << span;
            const double mantissa = t.step / std::pow(10.0, std::floor(std::log10(t.step) + 1e-9));
            EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                        std::fabs(mantissa - 5) < 1e-6)
                << t.step;
            const double slack = t.step * 1e-6 + std::fabs(lo) * 1e-12;
            EXPECT_GE(t.Value(0), lo - slack);
            EXPECT_LE(t.Value(t.count - 1), lo + span + slack);
            // The decimals show every tick apart from its neighbours.
            EXPECT_NE(FormatFixed(t.Value(0), 0, t.decimals),
                      FormatFixed(t.Value(1), 0, t.decimals));
        }
    }
    EXPECT_EQ(ChooseTicks(1, 1).count, 0);
    EXPECT_EQ(ChooseTicks(0, INFINITY).count, 0);
    EXPECT_EQ(ChooseTicks(NAN, 1).count, 0);
}

TEST(Zoom, WheelKeepsTheValueUnderTheCursor) {
    auto s = LinearState();
    ZoomState zoom;
    const PlotGeometry before(s->clientWidth, s->clientHeight, zoom.Current(*s));
    const double x = before.XAt(145);
    const double y = before.YAt(195);
    for (double factor : {0.8, 0.8, 0.5, 1.25, 2.0}) {
        ASSERT_TRUE(zoom.ZoomAbout(*s, 145, 195, factor));
        const PlotGeometry after(s->clientWidth, s->clientHeight, zoom.Current(*s));
        // The limits are held in single precision: within a hundredth of a pixel.
        EXPECT_NEAR(after.ColumnOf(x), 145.0, 0.01);
        EXPECT_NEAR(after.RowOf(y), 195.0, 0.01);
    }
}

TEST(Zoom, RubberBandAndPan) {
    auto s = LinearState();
    ZoomState zoom;
    EXPECT_FALSE(zoom.ZoomToPixels(*s, 100, 100, 101, 200)) << "a click is no band";
    EXPECT_FALSE(zoom.zoomed());
    ASSERT_TRUE(zoom.ZoomToPixels(*s, 245, 320, 145, 20));  // dragged up and left
    ViewRanges r = zoom.Current(*s);
    EXPECT_DOUBLE_EQ(r.xMin, 2.5);
    EXPECT_DOUBLE_EQ(r.xMax, 5.0);
    EXPECT_FLOAT_EQ(static_cast<float>(r.yLo), 0.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(r.yHi), 3.0f);
    // Dragging 40 columns to the right and 30 rows down shows what lay left
    // and above: 40 columns are 0.25 units now, 30 rows 0.3.
    ASSERT_TRUE(zoom.Pan(*s, 40, 30));
    r = zoom.Current(*s);
    EXPECT_NEAR(r.xMin, 2.25, 1e-6);
    EXPECT_NEAR(r.yLo, 0.3, 1e-6);
    zoom.Reset();
    EXPECT_EQ(zoom.Current(*s), FileRanges(*s));
}

TEST(Zoom, ExtremesStopAtTheLimitsAndNeverHang) {
    auto s = LinearState();
    ZoomState zoom;
    for (int i = 0; i < 400; ++i) {
        zoom.ZoomAbout(*s, 300, 100, 0.5);
    }
    const ViewRanges in = zoom.Current(*s);
    const double zoomIn = 10.0 / (in.xMax - in.xMin);
    EXPECT_GT(zoomIn, 100.0);
    // The file's range stays within reach of the pixel arithmetic.
    EXPECT_LE(zoomIn * 400, kPixelLimit);
    EXPECT_FALSE(zoom.ZoomAbout(*s, 300, 100, 0.5)) << "the limit is a stop";
    RecordingSurface deep;
    DrawPass(*s, CPlotter(), deep, &in);
    EXPECT_GT(deep.ops().size(), 10u);

    for (int i = 0; i < 400; ++i) {
        zoom.ZoomAbout(*s, 300, 100, 2.0);
    }
    const ViewRanges out = zoom.Current(*s);
    EXPECT_LE(out.xMax - out.xMin, 10.0 * ZoomState::kMaxZoomOut * 1.0001);
    for (int i = 0; i < 1000; ++i) {
        zoom.Pan(*s, 1e6, -1e6);
    }
    const ViewRanges far = zoom.Current(*s);
    EXPECT_TRUE(std::isfinite(far.xMin) && std::isfinite(far.yHi));
    const PlotGeometry g(s->clientWidth, s->clientHeight, far);
    EXPECT_LE(std::fabs(g.ColumnOf(0)), kPixelLimit);
    EXPECT_LE(std::fabs(g.RowOf(3)), kPixelLimit);
    RecordingSurface wide;
    DrawPass(*s, CPlotter(), wide, &far);
    EXPECT_LE(testing::LinesStartingWith(wide, "text").size(), 40u);
}

TEST(Zoom, LogarithmicAxisZoomsOutToAHundredDecadesAtMost) {
    auto s = LinearState();
    s->scaleType = 2;
    s->yMin = 1;
    s->yMax = 1000;
    ZoomState zoom;
    for (int i = 0; i < 100; ++i) {
        zoom.ZoomAbout(*s, 245, 170, 2.0);
    }
    const ViewRanges r = zoom.Current(*s);
    EXPECT_LE(r.yHi - r.yLo, 100.0 * 1.0001);
    EXPECT_GT(r.yHi - r.yLo, 50.0);
    EXPECT_LE(r.xMax - r.xMin, 10.0 * ZoomState::kMaxZoomOut * 1.0001);
    EXPECT_GT(r.xMax - r.xMin, 10.0 * ZoomState::kMaxZoomOut * 0.5);
}

TEST(Zoom, AWindowAtItsLimitIsRefittedWhenTheViewGrows) {
    auto s = LinearState();
    ZoomState zoom;
    for (int i = 0; i < 100; ++i) {
        zoom.ZoomAbout(*s, 300, 100, 0.5);
    }
    s->clientWidth = 4000;
    s->clientHeight = 3000;
    zoom.Refit(*s);
    ASSERT_TRUE(zoom.zoomed());
    const PlotGeometry g(s->clientWidth, s->clientHeight, zoom.Current(*s));
    EXPECT_LE(std::fabs(g.ColumnOf(10) - g.ColumnOf(0)), kPixelLimit);
    EXPECT_LE(std::fabs(g.RowOf(3) - g.RowOf(0)), kPixelLimit);
    EXPECT_GT(std::fabs(g.ColumnOf(10) - g.ColumnOf(0)), kPixelLimit / 8);
    // A file's range that became unusable drops the zoom.
    s->xMax = s->xMin;
    zoom.Refit(*s);
    EXPECT_FALSE(zoom.zoomed());
}

TEST(Zoom, UnusableFileRangesDoNotZoom) {
    auto s = LinearState();
    ZoomState zoom;
    s->xMax = s->xMin;
    EXPECT_FALSE(zoom.ZoomAbout(*s, 200, 200, 0.5));
    s->xMax = 10;
    s->scaleType = 2;
    s->yMin = -1;  // no logarithm
    EXPECT_FALSE(zoom.ZoomAbout(*s, 200, 200, 0.5));
    EXPECT_FALSE(zoom.zoomed());
}

TEST(ZoomedPass, NullViewIsTodaysPassAndZoomedLabelsAreNice) {
    auto s = LinearState();
    s->experimental.y.fill(0.5f);
    RecordingSurface plain;
    DrawPass(*s, CPlotter(), plain);
    RecordingSurface viaNull;
    DrawPass(*s, CPlotter(), viaNull, nullptr);
    EXPECT_EQ(plain.ToText(), viaNull.ToText());

    ZoomState zoom;
    ASSERT_TRUE(zoom.ZoomToPixels(*s, 145, 20, 245, 320));
    const ViewRanges r = zoom.Current(*s);
    RecordingSurface zoomed;
    DrawPass(*s, CPlotter(), zoomed, &r);
    // x 2.5 .. 5: ticks every 0.5 with one decimal, at their true columns.
    const auto labels = testing::LinesStartingWith(zoomed, "text");
    ASSERT_FALSE(labels.empty());
    bool sawThree = false;
    for (const std::string& line : labels) {
        if (line == "text 115 328 3.0") {
            sawThree = true;  // 3.0 is 0.5 / 2.5 * 400 = 80 columns in, 125, less 10
        }
    }
    EXPECT_TRUE(sawThree) << zoomed.ToText();
}

}  // namespace
}  // namespace zelk
