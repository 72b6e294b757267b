#include "plot/RecordingSurface.h"

#include <gtest/gtest.h>

#include <climits>

namespace zelk {
namespace {

// The --ops text is read by tools outside the project: every line exactly.
TEST(RecordingSurface, WritesTheOpsFormat) {
    RecordingSurface s;
    s.FillSolidRect(-3, 4, 0, 0, RGB(200, 200, 255));
    s.MoveTo(INT_MIN, INT_MAX);
    s.LineTo(0, -1);
    s.TextOut(50, 19, " EPS =   0.1234567");
    s.TextOut(1, 2, "");
    s.SelectNewPen(PS_DOT, 1, RGB(0x12, 0xAB, 0x0F));
    s.RestorePen();
    EXPECT_EQ(s.ToText(),
              "fill -3 4 0 0 0xFFC8C8\n"
              "move -2147483648 2147483647\n"
              "line 0 -1\n"
              "text 50 19  EPS =   0.1234567\n"
              "text 1 2 \n"
              "pen 2 1 0x0FAB12\n"
              "unpen\n");
}

TEST(RecordingSurface, TracksBackgroundAndPenDepth) {
    RecordingSurface s;
    EXPECT_EQ(s.background(), 0xFFFFFFu);
    s.FillSolidRect(50, 4, 0, 0, 0x123456);
    EXPECT_EQ(s.background(), 0x123456u) << "a zero-area fill still sets the background";
    s.SelectNewPen(PS_SOLID, 2, 0);
    EXPECT_EQ(s.penDepth(), 1);
    s.RestorePen();
    EXPECT_EQ(s.penDepth(), 0);
}

}  // namespace
}  // namespace zelk
