#include "plot/DrawPass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "OpsSupport.h"
#include "plot/CPlotter.h"
#include "plot/RecordingSurface.h"

namespace zelk {
namespace {

using testing::Lines;
using testing::LinesStartingWith;
using testing::Ticks;
using K = RecordingSurface::OpKind;

// 465 x 360: x from 0 to 10 over 400 columns (0.025 per pixel), y from 0 to 3
// over 300 rows (0.01 per pixel).
std::unique_ptr<PlotState> BaseState() {
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
    s->stackFactor = 1;
    s->stackOffset = 1;
    return s;
}

// Fills a set with n curves over the abscissae 0, 5, 10; curve c holds value.
void Fill(CurveSet& set, int n, float value) {
    set.pointCount = 3;
    set.curveCount = n;
    for (int p = 0; p < 3; ++p) {
        set.x[p] = 5.0f * p;
        for (int c = 0; c < n; ++c) {
            set.y[p * MAX_CURVES + c] = value;
        }
    }
}

RecordingSurface Draw(PlotState& s) {
    RecordingSurface surface;
    DrawPass(s, CPlotter(), surface);
    return surface;
}

// One entry per plotter call after the frame, named by what it draws.
struct Call {
    std::string what;  // squares, line, curve, dotted, text
    Colour colour;
    std::vector<std::pair<int, int>> points;
    std::string text;
};

std::vector<Call> Calls(const RecordingSurface& s) {
    std::vector<Call> calls;
    const auto& ops = s.ops();
    std::size_t i = 0;
    // Skip the frame: everything up to the first marker-pixel fill.
    while (i < ops.size() && !(ops[i].kind == K::Fill && ops[i].a == 61 && ops[i].b == 41)) {
        if (ops[i].kind == K::Text && ops[i].a == 50) {
            break;
        }
        ++i;
    }
    for (; i < ops.size(); ++i) {
        const auto& op = ops[i];
        if (op.kind == K::Text) {
            calls.push_back({"text", 0, {{op.a, op.b}}, s.TextOf(op)});
        } else if (op.kind == K::Fill && op.c == 4) {
            if (calls.empty() || calls.back().what != "squares") {
                calls.push_back({"squares", op.colour, {}, {}});
            }
            calls.back().points.push_back({op.a + 2, op.b + 2});
        } else if (op.kind == K::Pen) {
            Call c{op.b == 2 ? "curve" : (op.a == PS_DOT ? "dotted" : "line"), op.colour, {}, {}};
            for (++i; i < ops.size() && ops[i].kind != K::Unpen; ++i) {
                c.points.push_back({ops[i].a, ops[i].b});
            }
            calls.push_back(c);
        }
    }
    return calls;
}

TEST(DrawPass, ZeroStateDrawsBackgroundAndPlotAreaOnly) {
    auto s = std::make_unique<PlotState>();
    s->clientWidth = 465;
    s->clientHeight = 360;
    const auto lines = Lines(Draw(*s));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"fill 0 0 465 360 0xFFC8C8", "fill 45 20 400 300 0xFFFFFF",
                                        "fill 1 1 1 1 0xFFC8C8"}));
}

// The window and zelk-render make their state without writing its curve
// arrays; their zeros must come from the allocation even where states that
// held curves were freed before.
TEST(DrawPass, AStateMadeForOverwriteStartsAllZeroWhereOldStatesLay) {
    for (int round = 0; round < 4; ++round) {
        auto old = std::make_unique_for_overwrite<PlotState>();
        for (CurveSet* set : {&old->experimental, &old->result, &old->previous}) {
            set->x.fill(1.5f);
            set->y.fill(-2.5f);
            set->pointCount = 3;
        }
        old->plotY.fill(7.0f);
    }
    auto s = std::make_unique_for_overwrite<PlotState>();
    const auto zero = [](float v) { return v == 0.0f; };
    for (const CurveSet* set : {&s->experimental, &s->result, &s->previous}) {
        EXPECT_TRUE(std::all_of(set->x.begin(), set->x.end(), zero));
        EXPECT_TRUE(std::all_of(set->y.begin(), set->y.end(), zero));
        EXPECT_EQ(set->pointCount, 0);
        EXPECT_EQ(set->curveCount, 0);
    }
    EXPECT_TRUE(std::all_of(s->plotY.begin(), s->plotY.end(), zero));
    s->clientWidth = 465;
    s->clientHeight = 360;
    EXPECT_EQ(Lines(Draw(*s)),
              (std::vector<std::string>{"fill 0 0 465 360 0xFFC8C8", "fill 45 20 400 300 0xFFFFFF",
                                        "fill 1 1 1 1 0xFFC8C8"}));
}

TEST(DrawPass, StacksThreeExperimentalCurves) {
    auto s = BaseState();
    s->experimentFlag = 1;
    Fill(s->experimental, 3, 0.0f);
    const auto calls = Calls(Draw(*s));
    ASSERT_EQ(calls.size(), 9u);
    const Colour colours[] = {RGB(0, 0, 255), RGB(100, 0, 155), RGB(200, 0, 55)};
    const int rows[] = {120, 220, 320};  // raised by 2, 1 and 0
    for (int j = 0; j < 3; ++j) {
        const Call& squares = calls[3 * j];
        const Call& line = calls[3 * j + 1];
        const Call& base = calls[3 * j + 2];
        EXPECT_EQ(squares.what, "squares");
        EXPECT_EQ(squares.colour, colours[j]);
        EXPECT_EQ(squares.points, (std::vector<std::pair<int, int>>{
                                      {45, rows[j]}, {245, rows[j]}, {445, rows[j]}}));
        EXPECT_EQ(line.what, "line");
        EXPECT_EQ(line.colour, colours[j]);
        EXPECT_EQ(line.points.back(), std::make_pair(445, rows[j]));
        EXPECT_EQ(base.what, "dotted");
        EXPECT_EQ(base.colour, kBlack);
        EXPECT_EQ(base.points, (std::vector<std::pair<int, int>>{{45, rows[j]}, {445, rows[j]}}));
    }
}

TEST(DrawPass, ColourSequenceOverTwelveCurves) {
    auto s = BaseState();
    s->fitRunCount = 1;
    s->stackOffset = 0;
    Fill(s->result, 12, 1.0f);
    const int q[] = {255, 155, 55, 45, 55, 45, 55, 45, 55, 45, 55, 45};
    std::vector<Colour> expected;
    for (int v : q) {
        expected.push_back(RGB(v, 0, 255 - v));  // result colour
        expected.push_back(kBlack);              // its base line, experimentFlag 0
    }
    std::vector<Colour> got;
    for (const Call& c : Calls(Draw(*s))) {
        got.push_back(c.colour);
    }
    EXPECT_EQ(got, expected);
}

TEST(DrawPass, StackFactorOnLinearAxisOnly) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->stackFactor = 2;
    s->yMax = 10;  // 300 rows for 10: 30 rows per unit
    Fill(s->experimental, 1, 1.0f);
    EXPECT_EQ(Calls(Draw(*s))[0].points[0], std::make_pair(45, 320 - 60));

    s->scaleType = 2;  // log axis from 10^-9 (yMin 0) to 10^1: 30 rows per decade
    s->experimental.y[0] = 100.0f;
    EXPECT_EQ(Calls(Draw(*s))[0].points[0], std::make_pair(45, 320 - 330));
}

// 0.1 * 2.5 + 5 * 0.3 is 1.75000012 when summed in double and held in single
// precision, but 1.75 when the product or the offset is rounded to single
// first. At 100 rows per unit that is row 244 rather than 245.
TEST(DrawPass, StackedOrdinateIsSummedInDoubleAndHeldInSingle) {
    auto s = BaseState();
    s->clientHeight = 460;
    s->yMax = 4;
    s->experimentFlag = 1;
    s->stackFactor = 2.5f;
    s->stackOffset = 0.3f;
    Fill(s->experimental, 6, 0.1f);
    const float summed = static_cast<float>(0.1f * 2.5 + 5 * static_cast<double>(0.3f));
    ASSERT_NE(summed, static_cast<float>(0.1f * 2.5f) + static_cast<float>(5 * 0.3f));
    const auto calls = Calls(Draw(*s));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].points[0], std::make_pair(45, 244)) << "squares of curve 0";
    EXPECT_EQ(calls[1].points[0], std::make_pair(45, 244)) << "line of curve 0";
}

TEST(DrawPass, LogLimitsOfZeroAndHundred) {
    auto s = BaseState();
    s->scaleType = 2;
    s->yMin = 0;
    s->yMax = 100;
    const auto ticks = Ticks(Draw(*s));
    std::vector<std::string> labels;
    for (const auto& t : ticks) {
        if (t.x == 39) {
            labels.push_back(t.label);
        }
    }
    ASSERT_EQ(labels.size(), 12u);
    EXPECT_EQ(labels.front(), "-9.00");
    EXPECT_EQ(labels.back(), "2.00");
    EXPECT_EQ(s->yMin, 0.0f) << "only the local limits change";
}

TEST(DrawPass, ZeroOrdinatesReplacedInPlaceOnLogAxis) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->scaleType = 2;
    s->yMin = 0;
    s->yMax = 100;  // -9 .. 2: 300 rows over 11 decades
    s->stackOffset = 1;
    Fill(s->experimental, 2, 0.0f);
    s->experimental.y[1] = 10.0f;              // curve 1, point 0: unchanged
    s->experimental.y[3 * MAX_CURVES] = 0.0f;  // beyond the point count: untouched
    Fill(s->previous, 1, 0.0f);                // not drawn: untouched
    const auto calls = Calls(Draw(*s));
    EXPECT_EQ(s->experimental.y[0], 1e-9f);
    EXPECT_EQ(s->experimental.y[MAX_CURVES], 1e-9f);
    EXPECT_EQ(s->experimental.y[1], 10.0f);
    EXPECT_EQ(s->experimental.y[3 * MAX_CURVES], 0.0f);
    EXPECT_EQ(s->previous.y[0], 0.0f);
    // curve 0 at -9 + 1 = -8: one decade above the bottom, 300/11 rows per decade
    const int row = static_cast<int>(static_cast<float>(360 - (1.0 * 300 / 11.0) - 40));
    EXPECT_EQ(calls[0].points[0].second, row);
    // its base line at the offset, the level of the data value 1 (10^0)
    const int baseRow = static_cast<int>(static_cast<float>(360 - 10.0 / (11.0 / 300) - 40));
    EXPECT_EQ(calls[2].points.back().second, baseRow);

    // Back on the linear axis the replaced value stays: 1e-9 * factor + offset.
    s->scaleType = 1;
    s->yMin = 0;
    s->yMax = 3;
    s->stackFactor = 2;
    const auto linear = Calls(Draw(*s));
    EXPECT_EQ(linear[0].points[0], std::make_pair(45, 320 - 100));
}

TEST(DrawPass, NonPositiveLogValuesAndLimitsDrawNothingBroken) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->snapshotCount = 1;
    s->scaleType = 2;
    Fill(s->experimental, 2, -1.0f);
    Fill(s->result, 2, std::numeric_limits<float>::infinity());
    Fill(s->previous, 2, std::numeric_limits<float>::quiet_NaN());
    for (float yMin : {-1.0f, 0.0f, 1.0f}) {
        for (float yMax : {-5.0f, 0.0f, 100.0f}) {
            s->yMin = yMin;
            s->yMax = yMax;
            const RecordingSurface r = Draw(*s);
            EXPECT_EQ(r.penDepth(), 0);
            const bool usable = yMin >= 0.0f && yMax > 0.0f;
            std::size_t drawn = 0;
            for (const Call& call : Calls(r)) {
                drawn += call.what == "text" ? 0 : call.points.size();
            }
            // Only the base lines and markers have finite positions, and only
            // with usable limits; the data has no logarithm.
            EXPECT_EQ(drawn, usable ? 2u * 2u + 2u * 2u : 0u) << yMin << " " << yMax;
            EXPECT_EQ(LinesStartingWith(r, "text 50").size(), 2u);
        }
    }
}

TEST(DrawPass, OrderOfDrawingWithEverything) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->snapshotCount = 1;
    s->markerX1 = 2.5f;
    s->markerX2 = 7.5f;
    s->eps = 0.1234567f;
    s->epsPrevious = 12.3456789f;  // 12.3456793 in single precision
    Fill(s->experimental, 2, 0.5f);
    Fill(s->result, 2, 0.5f);
    Fill(s->previous, 2, 0.25f);
    std::vector<std::string> order;
    for (const Call& c : Calls(Draw(*s))) {
        order.push_back(c.what + (c.what == "text" ? c.text : ""));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"squares", "line", "dotted", "squares", "line",
                                               "dotted", "curve", "curve", "dotted", "dotted",
                                               "text EPSs= 12.3456793", "text EPS =   0.1234567",
                                               "dotted", "dotted"}));
}

TEST(DrawPass, MarkersSpanTheEffectiveLimits) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->markerX1 = 2.5f;
    s->markerX2 = 12.5f;  // outside the range: drawn outside the plot area
    const auto calls = Calls(Draw(*s));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].points, (std::vector<std::pair<int, int>>{{145, 320}, {145, 20}}));
    EXPECT_EQ(calls[2].points, (std::vector<std::pair<int, int>>{{545, 320}, {545, 20}}));
}

// The whole plot, texts included, goes to the one surface; each EPS text is
// written whole on a white cell set by a zero-area fill.
TEST(DrawPass, EpsTextsWholeOnWhiteOnTheOneSurface) {
    struct Case {
        float eps, epsPrevious;
        const char* text;
        const char* textPrevious;
    };
    const Case cases[] = {
        {0.1234567f, 12.3456789f, " EPS =   0.1234567", " EPSs= 12.3456793"},
        {1234.5f, 123.456789f, " EPS = 1234.5000000", " EPSs= 123.4567871"},
        {-0.5f, -10.0f, " EPS =  -0.5000000", " EPSs= -10.0000000"},
    };
    for (const Case& c : cases) {
        auto s = BaseState();
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        s->snapshotCount = 1;
        s->eps = c.eps;
        s->epsPrevious = c.epsPrevious;
        const auto lines = Lines(Draw(*s));
        EXPECT_EQ(lines.front(), "fill 0 0 465 360 0xFFC8C8");
        const auto at = [&](const std::string& text) {
            for (std::size_t i = 1; i < lines.size(); ++i) {
                if (lines[i] == text) {
                    return lines[i - 1];
                }
            }
            return std::string("missing");
        };
        EXPECT_EQ(at(std::string("text 50 4 ") + c.textPrevious), "fill 50 4 0 0 0xFFFFFF");
        EXPECT_EQ(at(std::string("text 50 19 ") + c.text), "fill 50 19 0 0 0xFFFFFF");
        EXPECT_EQ(s->scratchText, c.text);
    }
}

TEST(DrawPass, EpsTextsIgnoreTheProcessLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE") == nullptr) {  // the name on Windows
        GTEST_SKIP() << "no German locale installed";
    }
    auto s = BaseState();
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->eps = 0.5f;
    const auto texts = LinesStartingWith(Draw(*s), "text 50 19");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(texts, std::vector<std::string>{"text 50 19  EPS =   0.5000000"});
}

// What is drawn besides the frame, by experimentFlag, fitRunCount and
// snapshotCount.
struct StateCase {
    int flag, fits, snaps;
    int squares, lines, curves, previous, baseLines, markers;
    bool eps, epsPrevious;
};

class StateTableTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateTableTest, DrawsWhatTheCountersAndFlagCallFor) {
    const StateCase& c = GetParam();
    auto s = BaseState();
    s->experimentFlag = c.flag;
    s->fitRunCount = c.fits;
    s->snapshotCount = c.snaps;
    Fill(s->experimental, 2, 0.5f);
    Fill(s->result, 2, 0.5f);
    Fill(s->previous, 2, 0.5f);
    int squares = 0, lines = 0, curves = 0, previous = 0, baseLines = 0, markers = 0;
    bool eps = false, epsPrevious = false;
    for (const Call& call : Calls(Draw(*s))) {
        if (call.what == "squares") {
            ++squares;
        } else if (call.what == "line") {
            ++lines;
        } else if (call.what == "curve") {
            ++curves;
        } else if (call.what == "dotted" && call.colour != kBlack) {
            ++previous;
        } else if (call.what == "dotted") {
            ++(call.points[0].first == call.points[1].first ? markers : baseLines);
        } else if (call.what == "text") {
            (call.points[0].second == 4 ? epsPrevious : eps) = true;
        }
    }
    EXPECT_EQ(squares, c.squares);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(curves, c.curves);
    EXPECT_EQ(previous, c.previous);
    EXPECT_EQ(baseLines, c.baseLines);
    EXPECT_EQ(markers, c.markers);
    EXPECT_EQ(eps, c.eps);
    EXPECT_EQ(epsPrevious, c.epsPrevious);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StateTableTest,
    ::testing::Values(
        // flag fits snaps | squares lines curves previous baseLines markers eps epsPrevious
        StateCase{0, 0, 1, 0, 0, 0, 0, 0, 0, false, false},
        StateCase{-1, 0, 0, 0, 0, 0, 0, 0, 0, false, false},
        StateCase{1, 0, 1, 2, 2, 0, 0, 2, 0, false, false},
        StateCase{0, 1, 0, 0, 0, 2, 0, 2, 0, false, false},
        StateCase{0, 1, 1, 0, 0, 2, 2, 2, 0, false, false},
        StateCase{1, 1, 0, 2, 2, 2, 0, 2, 2, true, false},
        StateCase{1, 1, 1, 2, 2, 2, 2, 2, 2, true, true},
        StateCase{-1, 1, 1, 0, 0, 2, 2, 0, 0, false, false}));

TEST(DrawPass, TextsAndMarkersDoNotDependOnCurveCounts) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->snapshotCount = 1;
    const auto r = Draw(*s);
    EXPECT_EQ(LinesStartingWith(r, "text 50").size(), 2u);
    EXPECT_EQ(LinesStartingWith(r, "pen 2 1 0x000000").size(), 2u);
}

// Counts beyond the arrays and sizes without a plot area: nothing is read or
// written beyond the sets, nothing hangs.
TEST(DrawPass, DegenerateStatesFinish) {
    const int sizes[][2] = {{0, 0}, {65, 60}, {-10, 500}, {800, 61}, {1 << 30, 1 << 30}};
    for (const auto& size : sizes) {
        auto s = BaseState();
        s->clientWidth = size[0];
        s->clientHeight = size[1];
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        s->snapshotCount = 1;
        Fill(s->experimental, 2, 0.5f);
        s->experimental.pointCount = 100000;
        s->experimental.curveCount = 40;
        s->result.pointCount = -5;
        s->result.curveCount = -1;
        s->previous.pointCount = MAX_POINTS;
        s->previous.curveCount = MAX_CURVES;
        s->xStep = 0;
        s->yStep = -1;
        const RecordingSurface r = Draw(*s);
        EXPECT_EQ(r.penDepth(), 0);
        EXPECT_TRUE(Ticks(r).size() <= 2) << "only the EPS texts follow a move and line";
    }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// Stacked values beyond the float range have no position: left out, the line
// broken there.
TEST(DrawPass, OrdinatesBeyondSinglePrecisionAreLeftOut) {
    auto s = BaseState();
    s->experimentFlag = 1;
    s->stackFactor = 1e10f;
    Fill(s->experimental, 1, 1e-10f);
    s->experimental.y[MAX_CURVES] = 1e30f;  // point 1: 1e40 after the factor
    const auto calls = Calls(Draw(*s));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_TRUE(std::isinf(s->plotY[1]));
    EXPECT_EQ(calls[0].points.size(), 2u) << "two squares";
    EXPECT_EQ(calls[1].points, (std::vector<std::pair<int, int>>{{45, 220}, {445, 220}}));
    auto again = BaseState();
    again->experimentFlag = 1;
    again->stackFactor = 1e10f;
    Fill(again->experimental, 1, 1e-10f);
    again->experimental.y[MAX_CURVES] = 1e30f;
    const auto lines = Lines(Draw(*again));
    const auto pen = std::find(lines.begin(), lines.end(), "pen 0 1 0xFF0000");
    const auto line = std::find(pen, lines.end(), "line 45 220");
    ASSERT_NE(line, lines.end());
    EXPECT_EQ(*(line + 1), "move 445 220") << "the line is broken at the missing point";
}

}  // namespace
}  // namespace zelk
