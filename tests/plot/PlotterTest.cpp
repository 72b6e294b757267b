#include "plot/CPlotter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "OpsSupport.h"
#include "plot/PixelMath.h"
#include "plot/RecordingSurface.h"

namespace zelk {
namespace {

using testing::Lines;
using testing::LinesStartingWith;
using testing::Ticks;
using K = RecordingSurface::OpKind;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Split {
    std::vector<testing::Tick> x;
    std::vector<testing::Tick> y;
};

Split FrameTicks(int w, int h, float xmin, float xmax, float ymin, float ymax, float xstep,
                 float ystep) {
    RecordingSurface s;
    CPlotter().DrawFrame(s, w, h, xmin, xmax, ymin, ymax, xstep, ystep);
    Split split;
    for (const auto& t : Ticks(s)) {
        (t.x == 39 ? split.y : split.x).push_back(t);
    }
    return split;
}

TEST(DrawFrame, PaintsBackgroundPlotAreaAndResetsBackgroundColour) {
    RecordingSurface s;
    CPlotter().DrawFrame(s, 465, 360, 0, 10, 0, 1, 2, 0.5f);
    const auto fills = LinesStartingWith(s, "fill");
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0], "fill 0 0 465 360 0xFFC8C8");
    EXPECT_EQ(fills[1], "fill 45 20 400 300 0xFFFFFF");
    EXPECT_EQ(fills[2], "fill 1 1 1 1 0xFFC8C8");
    EXPECT_EQ(Lines(s)[2], fills[2]) << "the labels must come after the background reset";
    EXPECT_EQ(s.background(), kFrameBackground);
    EXPECT_TRUE(LinesStartingWith(s, "pen").empty()) << "ticks use the surface's own pen";
}

TEST(DrawFrame, XTicksAndLabelsAtW465) {
    const auto t = FrameTicks(465, 360, 0, 10, 0, 1, 2, 0.5f).x;
    const std::vector<int> columns{45, 125, 205, 285, 365, 445};
    ASSERT_EQ(t.size(), columns.size()) << "no tick at 12: 10 + 2 > 12 is false";
    for (std::size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].x, columns[i]);
        EXPECT_EQ(t[i].y, 320);  // line from H - 34 to H - 40
        EXPECT_EQ(t[i].labelY, 328);
    }
    EXPECT_EQ(t[0].label, "0.00");
    EXPECT_EQ(t[0].labelX, 31);
    EXPECT_EQ(t[5].label, "10.00");
    EXPECT_EQ(t[5].labelX, 428);

    RecordingSurface s;
    CPlotter().DrawFrame(s, 465, 360, 0, 10, 0, 1, 2, 0.5f);
    const auto lines = Lines(s);
    EXPECT_EQ(lines[3], "move 45 326");
    EXPECT_EQ(lines[4], "line 45 320");
    EXPECT_EQ(lines[5], "text 31 328 0.00");
}

TEST(DrawFrame, YTicksAndLabelsAtH360) {
    const auto t = FrameTicks(465, 360, 0, 10, 0, 1, 2, 0.5f).y;
    ASSERT_EQ(t.size(), 3u);
    const int rows[] = {320, 170, 20};
    const char* labels[] = {"0.00", "0.50", "1.00"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(t[i].y, rows[i]);
        EXPECT_EQ(t[i].label, labels[i]);
        EXPECT_EQ(t[i].labelX, 5);
        EXPECT_EQ(t[i].labelY, rows[i] - 8);
    }
}

TEST(DrawFrame, LastTickMayPassTheUpperLimitByLessThanAStep) {
    const auto t = FrameTicks(465, 360, 0, 1, 0, 1, 0.3f, 1).x;
    std::vector<std::string> labels;
    for (const auto& tick : t) {
        labels.push_back(tick.label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"0.00", "0.30", "0.60", "0.90", "1.20"}));
    EXPECT_GT(t.back().x, 445) << "1.20 lies right of the plot area";
}

TEST(DrawFrame, RunningValueDriftsInSinglePrecision) {
    const auto t = FrameTicks(465, 360, 0, 3, 0, 1, 0.1f, 1).x;
    ASSERT_EQ(t.size(), 32u);
    EXPECT_EQ(t[30].label, "3.00");
    EXPECT_EQ(t[30].x, 444) << "the running value is 2.9999993, not 3";
    EXPECT_EQ(t[31].label, "3.10");
    EXPECT_EQ(t[31].x, 458);
}

// The loop limit xmax + xstep is a double sum: 0.3f + 0.1f is 0.40000001 in
// double but exactly the running value 0.4f in single precision, which would
// lose the fifth tick.
TEST(DrawFrame, LoopLimitIsSummedInDoublePrecision) {
    const auto split = FrameTicks(465, 360, 0, 0.3f, 0, 0.3f, 0.1f, 0.1f);
    for (const auto* axis : {&split.x, &split.y}) {
        ASSERT_EQ(axis->size(), 5u);
        EXPECT_EQ(axis->back().label, "0.40");
    }
}

// (0.01f - 0) / (0.1f / 400) is 39.9999985 in double and 40 once held in
// single precision: the tick lands in column 85, not 84.
TEST(DrawFrame, TickOffsetIsRoundedToSinglePrecisionBeforeTruncation) {
    const auto t = FrameTicks(465, 360, 0, 0.1f, 0, 1, 0.01f, 1).x;
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[1].label, "0.01");
    EXPECT_EQ(t[1].x, 85);
}

TEST(DrawFrame, NegativeLabelsCarryTheirSign) {
    const auto split = FrameTicks(465, 360, -0.5f, 0.5f, -0.5f, 0.5f, 0.5f, 0.5f);
    ASSERT_FALSE(split.x.empty());
    EXPECT_EQ(split.x[0].label, "-0.50");
    EXPECT_EQ(split.x[0].labelX, 45 - 17);
    EXPECT_EQ(split.y[0].label, "-0.50");
    EXPECT_EQ(split.y[0].labelX, -3);
}

TEST(DrawFrame, LabelsIgnoreTheProcessLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE") == nullptr) {  // the name on Windows
        GTEST_SKIP() << "no German locale installed";
    }
    const auto t = FrameTicks(465, 360, 0, 1, 0, 1, 0.5f, 0.5f).x;
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].label, "0.50");
}

// Steps that would never end the loop, and ranges that would run away.
struct TickCase {
    const char* name;
    float xmin, xmax, xstep;
    std::size_t maxTicks;  // ticks allowed on the x axis
};

class TickGuardTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickGuardTest, EndsWithinTheCap) {
    const TickCase& c = GetParam();
    const auto split = FrameTicks(465, 360, c.xmin, c.xmax, 0, 1, c.xstep, 0.5f);
    EXPECT_LE(split.x.size(), c.maxTicks) << c.name;
    EXPECT_EQ(split.y.size(), 3u) << "the other axis is unaffected: " << c.name;
}

INSTANTIATE_TEST_SUITE_P(Steps, TickGuardTest,
                         ::testing::Values(TickCase{"zero", 0, 10, 0, 0},
                                           TickCase{"negative", 0, 10, -1, 0},
                                           TickCase{"nan", 0, 10, kNaN, 0},
                                           TickCase{"infinite", 0, 10, kInf, 0},
                                           TickCase{"lost in rounding", 1e8f, 2e8f, 1, 0},
                                           TickCase{"stalls midway", 0, 1e9f, 1, kMaxTicksPerAxis},
                                           TickCase{"too many", 0, 1e6f, 1e-3f, kMaxTicksPerAxis},
                                           TickCase{"nan limit", kNaN, 10, 1, 0},
                                           TickCase{"infinite limit", 0, kInf, 1, kMaxTicksPerAxis},
                                           TickCase{"widest range", -3e38f, 3e38f, 1e37f, 62}),
                         [](const ::testing::TestParamInfo<TickCase>& p) {
                             std::string n = p.param.name;
                             for (char& ch : n) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return n;
                         });

TEST(DrawFrame, StallingStepStopsAtTheCapWithTicksInOrder) {
    const auto t = FrameTicks(465, 360, 0, 1e9f, 0, 1, 1, 0.5f).x;
    ASSERT_EQ(t.size(), static_cast<std::size_t>(kMaxTicksPerAxis));
    EXPECT_EQ(t[999].label, "999.00");
}

// Sizes and ranges without a plot area of positive size: the background is
// painted, no tick, nothing fails.
TEST(DrawFrame, NoPlotAreaNoTicks) {
    struct Case {
        int w, h;
        float xmin, xmax, ymin, ymax;
        bool xTicks, yTicks;
    };
    const Case cases[] = {
        {65, 360, 0, 10, 0, 1, false, false},
        {465, 60, 0, 10, 0, 1, false, false},
        {0, 0, 0, 10, 0, 1, false, false},
        {-100, -100, 0, 10, 0, 1, false, false},
        {465, 360, 5, 5, 0, 1, false, true},
        {465, 360, 0, 10, 1, 1, true, false},
        {465, 360, 0, 0, 0, 0, false, false},
        {std::numeric_limits<int>::max(), 360, 0, 10, 0, 1, true, true},
        {465, std::numeric_limits<int>::min(), 0, 10, 0, 1, false, false},
    };
    for (const Case& c : cases) {
        RecordingSurface s;
        CPlotter().DrawFrame(s, c.w, c.h, c.xmin, c.xmax, c.ymin, c.ymax, 2, 0.5f);
        std::size_t x = 0, y = 0;
        for (const auto& t : Ticks(s)) {
            ++(t.x == 39 ? y : x);
        }
        EXPECT_EQ(x > 0, c.xTicks) << c.w << "x" << c.h << " " << c.xmin << ".." << c.xmax;
        EXPECT_EQ(y > 0, c.yTicks) << c.w << "x" << c.h << " " << c.ymin << ".." << c.ymax;
        const auto& first = s.ops().front();
        EXPECT_GE(first.c, 0);
        EXPECT_GE(first.d, 0);
    }
}

// --- curves -----------------------------------------------------------------

TEST(DrawPolyline, DrawsThroughPointsWithOwnPen) {
    RecordingSurface s;
    const float xs[] = {0, 2.5f, 10};
    const float ys[] = {0, 0.5f, 1};
    CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 1, 3, xs, ys, RGB(1, 2, 3), PS_DOT);
    EXPECT_EQ(Lines(s), (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "move 45 320",
                                                  "pen 2 1 0x030201", "line 45 320", "line 145 170",
                                                  "line 445 20", "unpen"}));
    EXPECT_EQ(s.background(), kWhite) << "dotted gaps are white";
}

TEST(DrawPolyline, CountZeroMovesToPointZeroOnly) {
    RecordingSurface s;
    const float xs[] = {10};
    const float ys[] = {0};
    CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 1, 0, xs, ys, kBlack, PS_SOLID);
    EXPECT_EQ(Lines(s), (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "move 445 320",
                                                  "pen 0 1 0x000000", "unpen"}));
}

// An empty series may come without arrays: nothing is read, no move is made,
// and the pen is still made and put back.
TEST(Curves, EmptySeriesWithoutArrays) {
    RecordingSurface poly;
    CPlotter().DrawPolyline(poly, 465, 360, 0, 10, 0, 1, 0, nullptr, nullptr, kBlack, PS_DOT);
    EXPECT_EQ(Lines(poly),
              (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "pen 2 1 0x000000", "unpen"}));
    for (int kind : {kCurveLine, kCurveSquares, kCurveLinedSquares}) {
        RecordingSurface curve;
        CPlotter().DrawCurve(curve, 465, 360, 0, 10, 0, 1, 0, nullptr, nullptr, 0xFF, kind,
                             PS_SOLID);
        EXPECT_TRUE(LinesStartingWith(curve, "move").empty()) << kind;
        EXPECT_EQ(curve.penDepth(), 0) << kind;
    }
}

TEST(DrawCurve, SquaresAreCentredOnTheTruncatedPosition) {
    RecordingSurface s;
    const float xs[] = {2.5f, 0};
    const float ys[] = {0.5f, 0};
    CPlotter().DrawCurve(s, 465, 360, 0, 10, 0, 1, 2, xs, ys, RGB(200, 0, 55), kCurveSquares,
                         PS_DOT);
    EXPECT_EQ(Lines(s),
              (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "fill 61 41 1 1 0x3700C8",
                                        "fill 143 168 4 4 0x3700C8", "fill 43 318 4 4 0x3700C8",
                                        "fill 61 41 1 1 0xFFFFFF"}));
}

TEST(DrawCurve, LineKindsShareTheLineAndKindTwoAddsSquares) {
    const float xs[] = {0, 2.5f, 10};
    const float ys[] = {0, 0.5f, 1};
    RecordingSurface line;
    RecordingSurface lined;
    CPlotter().DrawCurve(line, 465, 360, 0, 10, 0, 1, 3, xs, ys, 0xFF, kCurveLine, PS_SOLID);
    CPlotter().DrawCurve(lined, 465, 360, 0, 10, 0, 1, 3, xs, ys, 0xFF, kCurveLinedSquares,
                         PS_SOLID);
    EXPECT_EQ(Lines(line),
              (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "fill 61 41 1 1 0x0000FF",
                                        "move 45 320", "pen 0 2 0x0000FF", "line 45 320",
                                        "line 145 170", "line 445 20", "unpen"}));
    EXPECT_EQ(LinesStartingWith(line, "line"), LinesStartingWith(lined, "line"));
    const auto all = Lines(lined);
    const auto square = std::find(all.begin(), all.end(), "fill 142 167 6 6 0x0000FF");
    ASSERT_NE(square, all.end());
    EXPECT_EQ(*(square + 1), "line 145 170") << "each square comes before the line reaching it";
}

TEST(DrawCurve, UnknownKindSetsOnlyTheMarkerPixel) {
    RecordingSurface s;
    const float v[] = {1, 2};
    CPlotter().DrawCurve(s, 465, 360, 0, 10, 0, 1, 2, v, v, 0xFF, 3, PS_SOLID);
    EXPECT_EQ(Lines(s),
              (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "fill 61 41 1 1 0x0000FF"}));
}

TEST(Curves, CornersOfTheRangeLandJustOutsideThePlotArea) {
    const float xs[] = {0, 10};
    const float ys[] = {0, 1};
    RecordingSurface poly;
    RecordingSurface curve;
    CPlotter().DrawPolyline(poly, 465, 360, 0, 10, 0, 1, 2, xs, ys, 0, PS_SOLID);
    CPlotter().DrawCurve(curve, 465, 360, 0, 10, 0, 1, 2, xs, ys, 0, kCurveLine, PS_SOLID);
    for (const auto* s : {&poly, &curve}) {
        const auto lines = LinesStartingWith(*s, "line");
        EXPECT_EQ(lines, (std::vector<std::string>{"line 45 320", "line 445 20"}));
    }
}

TEST(Curves, FractionalOffsetLandsOneRowAboveTheTick) {
    // 0.1 of 0.7 over 300 rows is 42.86 rows: the tick truncates the offset
    // (row 278), the curve truncates the final row (277).
    const auto ticks = FrameTicks(465, 360, 0, 10, 0, 0.7f, 2, 0.1f).y;
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].y, 278);
    RecordingSurface s;
    const float xs[] = {0};
    const float ys[] = {0.1f};
    CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 0.7f, 1, xs, ys, 0, PS_SOLID);
    EXPECT_EQ(LinesStartingWith(s, "line"), std::vector<std::string>{"line 45 277"});
}

TEST(Curves, PointWithoutFinitePositionBreaksTheLine) {
    const float xs[] = {0, 1, 2, 3, 4, kInf};
    const float ys[] = {0, kNaN, 0.5f, 1, -kInf, 0};
    for (int kind : {-1, kCurveLine, kCurveLinedSquares}) {
        RecordingSurface s;
        if (kind < 0) {
            CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 1, 6, xs, ys, 0, PS_SOLID);
        } else {
            CPlotter().DrawCurve(s, 465, 360, 0, 10, 0, 1, 6, xs, ys, 0, kind, PS_SOLID);
        }
        std::vector<std::string> path;
        for (const auto& line : Lines(s)) {
            if (line.rfind("move", 0) == 0 || line.rfind("line", 0) == 0) {
                path.push_back(line);
            }
        }
        EXPECT_EQ(path, (std::vector<std::string>{"move 45 320", "line 45 320", "move 125 170",
                                                  "line 165 20"}))
            << "kind " << kind;
    }
    RecordingSurface squares;
    CPlotter().DrawCurve(squares, 465, 360, 0, 10, 0, 1, 6, xs, ys, 0, kCurveSquares, PS_SOLID);
    EXPECT_EQ(LinesStartingWith(squares, "fill").size(), 2u + 3u + 1u);
}

TEST(Curves, FirstPointWithoutPositionStartsWithAMove) {
    const float xs[] = {kNaN, 0, 10};
    const float ys[] = {0, 0, 1};
    RecordingSurface s;
    CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 1, 3, xs, ys, 0, PS_SOLID);
    EXPECT_EQ(Lines(s), (std::vector<std::string>{"fill 61 41 1 1 0xFFFFFF", "pen 0 1 0x000000",
                                                  "move 45 320", "line 445 20", "unpen"}));
}

// Pixel arithmetic of the two operations, at positions within rounding of a
// column boundary (W = 465, so the plot area is 400 columns wide).
TEST(Curves, PositionArithmeticOfEachOperation) {
    struct Case {
        const char* what;
        float xmax;
        float x;
        int polylineColumn;  // divides by units per pixel
        int curveColumn;     // multiplies by pixels per unit
    };
    const Case cases[] = {
        // 252.999985 by division, 253 by multiplication.
        {"divide and multiply differ", 3.5f, 1.81999993f, 252, 253},
        {"divide and multiply differ", 7.0f, 5.52999973f, 360, 361},
        // 84.9999985 in double; 85 once held in single precision.
        {"single precision before truncation", 0.1f, 0.01f, 85, 85},
        {"single precision before truncation", 0.1f, 0.06f, 285, 285},
    };
    for (const Case& c : cases) {
        const float xs[] = {c.x};
        const float ys[] = {0};
        RecordingSurface poly;
        RecordingSurface curve;
        RecordingSurface squares;
        CPlotter().DrawPolyline(poly, 465, 360, 0, c.xmax, 0, 1, 1, xs, ys, 0, PS_SOLID);
        CPlotter().DrawCurve(curve, 465, 360, 0, c.xmax, 0, 1, 1, xs, ys, 0, kCurveLine, PS_SOLID);
        CPlotter().DrawCurve(squares, 465, 360, 0, c.xmax, 0, 1, 1, xs, ys, 0, kCurveSquares,
                             PS_SOLID);
        EXPECT_EQ(LinesStartingWith(poly, "line"),
                  std::vector<std::string>{"line " + std::to_string(c.polylineColumn) + " 320"})
            << c.what << " x=" << c.x;
        EXPECT_EQ(LinesStartingWith(curve, "line"),
                  std::vector<std::string>{"line " + std::to_string(c.curveColumn) + " 320"})
            << c.what << " x=" << c.x;
        // The square's offset is taken from the single-precision position.
        EXPECT_EQ(Lines(squares)[2],
                  "fill " + std::to_string(c.curveColumn - 2) + " 318 4 4 0x000000")
            << c.what << " x=" << c.x;
    }
}

TEST(Curves, HugeValuesSaturate) {
    // Far beyond any pixel, yet finite in single precision once mapped.
    const float xs[] = {0, 1e30f, -1e30f, 5};
    const float ys[] = {0, 1, 1e30f, -1e30f};
    for (int kind : {-1, kCurveLine, kCurveSquares, kCurveLinedSquares}) {
        RecordingSurface s;
        if (kind < 0) {
            CPlotter().DrawPolyline(s, 465, 360, 0, 10, 0, 1, 4, xs, ys, 0, PS_SOLID);
        } else {
            CPlotter().DrawCurve(s, 465, 360, 0, 10, 0, 1, 4, xs, ys, 0, kind, PS_SOLID);
        }
        EXPECT_GE(LinesStartingWith(s, kind == kCurveSquares ? "fill" : "line").size(), 3u);
        for (const auto& op : s.ops()) {
            for (int v : {op.a, op.b}) {
                EXPECT_LE(std::abs(v), kPixelLimit + 3) << "kind " << kind;
            }
        }
    }
}

TEST(Curves, DegenerateScalesDrawNoPoints) {
    struct Case {
        int w, h;
        float xmin, xmax, ymin, ymax;
    };
    const Case cases[] = {{65, 360, 0, 10, 0, 1},    {465, 60, 0, 10, 0, 1},
                          {0, 0, 0, 10, 0, 1},       {465, 360, 5, 5, 0, 1},
                          {465, 360, 0, 10, 2, 2},   {465, 360, 0, 10, -kInf, 2},
                          {465, 360, kNaN, 10, 0, 1}};
    const float v[] = {1, 2, 3};
    for (const Case& c : cases) {
        for (int kind : {-1, kCurveLine, kCurveSquares, kCurveLinedSquares}) {
            RecordingSurface s;
            if (kind < 0) {
                CPlotter().DrawPolyline(s, c.w, c.h, c.xmin, c.xmax, c.ymin, c.ymax, 3, v, v, 0,
                                        PS_SOLID);
            } else {
                CPlotter().DrawCurve(s, c.w, c.h, c.xmin, c.xmax, c.ymin, c.ymax, 3, v, v, 0, kind,
                                     PS_SOLID);
            }
            EXPECT_TRUE(LinesStartingWith(s, "line").empty());
            EXPECT_TRUE(LinesStartingWith(s, "move").empty());
            EXPECT_EQ(LinesStartingWith(s, "fill 61 41").size(),
                      s.ops().size() - 2 * LinesStartingWith(s, "pen").size());
            EXPECT_EQ(s.penDepth(), 0);
        }
    }
}

// A surface that fails in the middle of a line.
class ThrowingSurface : public RecordingSurface {
  public:
    void LineTo(int x, int y) override {
        RecordingSurface::LineTo(x, y);
        throw std::runtime_error("device lost");
    }
};

TEST(Curves, PenIsRestoredWhenDrawingFails) {
    const float v[] = {1, 2};
    ThrowingSurface poly;
    EXPECT_THROW(CPlotter().DrawPolyline(poly, 465, 360, 0, 10, 0, 10, 2, v, v, 0, PS_DOT),
                 std::runtime_error);
    EXPECT_EQ(poly.penDepth(), 0);
    ThrowingSurface curve;
    EXPECT_THROW(
        CPlotter().DrawCurve(curve, 465, 360, 0, 10, 0, 10, 2, v, v, 0, kCurveLine, PS_SOLID),
        std::runtime_error);
    EXPECT_EQ(curve.penDepth(), 0);
    EXPECT_EQ(curve.ops().back().kind, K::Unpen);
}

}  // namespace
}  // namespace zelk
