#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "plot/Readers.h"
#include "support/RecordingHost.h"
#include "support/ScopedLocale.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

using testing::RecordingHost;
using testing::TempWorkDir;

// The nine settings in the order the axis file gives them.
struct Axes {
    float xMin, xMax, xStep, yMin, yMax, yStep;
    std::int32_t scaleType;
    float stackFactor, stackOffset;
    bool operator==(const Axes&) const = default;
};

Axes Get(const PlotState& s) {
    return {s.xMin,  s.xMax,      s.xStep,       s.yMin,       s.yMax,
            s.yStep, s.scaleType, s.stackFactor, s.stackOffset};
}

void Set(PlotState& s, const Axes& a) {
    s.xMin = a.xMin;
    s.xMax = a.xMax;
    s.xStep = a.xStep;
    s.yMin = a.yMin;
    s.yMax = a.yMax;
    s.yStep = a.yStep;
    s.scaleType = a.scaleType;
    s.stackFactor = a.stackFactor;
    s.stackOffset = a.stackOffset;
}

std::ostream& operator<<(std::ostream& os, const Axes& a) {
    return os << a.xMin << ' ' << a.xMax << ' ' << a.xStep << ' ' << a.yMin << ' ' << a.yMax << ' '
              << a.yStep << ' ' << a.scaleType << ' ' << a.stackFactor << ' ' << a.stackOffset;
}

const Axes kOld{-1, -2, -3, -4, -5, -6, -7, -8, -9};
const Axes kDefault{0, 100, 10, 0, 1, 0.5f, 1, 1, 0};
const char* const kDefaultText = "0\n100\n10\n0\n1\n0.5\n1\n1\n0\n";

class AxisFileTest : public ::testing::Test {
  protected:
    AxisFileTest() {
        state->axisFile = "axes.inp";
        Set(*state, kOld);
    }
    void Read(const std::string& text) {
        dir.Write("axes.inp", text);
        ReadAxisFile(*state, host);
    }

    TempWorkDir dir;
    RecordingHost host;
    std::unique_ptr<PlotState> state = std::make_unique<PlotState>();
};

TEST_F(AxisFileTest, CompleteFilesAreRead) {
    struct Case {
        const char* name;
        std::string text;
        Axes expected;
    };
    const Case cases[] = {
        {"one value a line", kDefaultText, kDefault},
        {"CR LF", "0\r\n100\r\n10\r\n0\r\n1\r\n0.5\r\n1\r\n1\r\n0\r\n", kDefault},
        {"comments after values",
         "0 x from\n100 x to\n10\tstep\n0\n1\n0.5 y step\n2 log\n1\n0 offset\nmore lines\n",
         {0, 100, 10, 0, 1, 0.5f, 2, 1, 0}},
        {"empty lines between values", "\n0\n\n\n100\n10\n0\n1\n\r\n0.5\n1\n1\n0\n", kDefault},
        {"last value without line end", "0\n100\n10\n0\n1\n0.5\n1\n1\n0", kDefault},
        {"last value with trailing blank", "0\n100\n10\n0\n1\n0.5\n1\n1\n0 ", kDefault},
        {"long comment shifts nothing",
         "0 " + std::string(500, 'c') + "\n100\n10\n0\n1\n0.5\n1\n1\n0\n", kDefault},
        {"exponents and signs",
         "-1e1\n+1E2\n.5\n1e-3\n1e3\n1.\n3\n-2.5\n0.25\n",
         {-10, 100, 0.5f, 0.001f, 1000, 1, 3, -2.5f, 0.25f}},
        // A value line that starts with text keeps its field; the next value is
        // still read from the next line.
        {"text instead of a value",
         "0\nwide\n10\n0\n1\n0.5\n1\n1\n0\n",
         {0, -2, 10, 0, 1, 0.5f, 1, 1, 0}},
        // A comment line of its own is taken as the next value's line: that
        // field keeps its value and every later field gets its predecessor's.
        {"comment line of its own",
         "0\n100\n# y axis\n10\n0\n1\n0.5\n1\n1\n0\n",
         {0, 100, -3, 10, 0, 1, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        Set(*state, kOld);
        Read(c.text);
        EXPECT_EQ(Get(*state), c.expected) << c.name;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(state->curFile.IsOpen());
}

TEST_F(AxisFileTest, ShortFilesAreFatalAndSayHowManyValuesCame) {
    const struct {
        const char* text;
        const char* found;
    } cases[] = {
        {"", "0 values"},
        {"0\n100\n10\n0\n1\n0.5\n1\n1\n", "8 values"},      // eight values
        {"0\n100\n10\n0\n1\n0.5\n1\n1", "8 values"},        // no final line end
        {"0\n100\n10\n0\n1\n0.5\n1\n1\n\n\n", "8 values"},  // blank lines are no value
        {"0\n", "1 value"},
    };
    for (const auto& c : cases) {
        RecordingHost fresh;
        dir.Write("axes.inp", c.text);
        EXPECT_THROW(ReadAxisFile(*state, fresh), FatalError) << c.text;
        EXPECT_EQ(fresh.messages,
                  std::vector<std::string>{"Invalid parameters file\naxes.inp: " +
                                           std::string(c.found) + " found, 9 needed"});
        EXPECT_FALSE(state->curFile.IsOpen());
    }
}

TEST_F(AxisFileTest, LiveReadOfAShortFileKeepsTheAxes) {
    dir.Write("axes.inp", "0\n50\n10\n0\n");
    const ReadReport report = ReadAxisFile(*state, host, ReadMode::Live);
    EXPECT_FALSE(report.complete);
    EXPECT_EQ(Get(*state), kOld);  // not even the four values that came
    EXPECT_EQ(host.fatals, 0);
    EXPECT_TRUE(host.messages.empty());
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0], "Invalid parameters file\naxes.inp: 4 values found, 9 needed");
    dir.Write("axes.inp", kDefaultText);
    EXPECT_TRUE(ReadAxisFile(*state, host, ReadMode::Live).complete);
    EXPECT_EQ(Get(*state), kDefault);
}

TEST_F(AxisFileTest, MissingFileKeepsTheAxes) {
    state->axisFile = "no such axes.inp";
    ReadAxisFile(*state, host);
    EXPECT_EQ(Get(*state), kOld);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(AxisFileTest, ValuesReadTheSameUnderACommaLocale) {
    testing::ScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing (scripts/zelk.sh install)";
    ASSERT_EQ(std::strtod("2,5", nullptr), 2.5);
    Read("0\n2.5\n0.25\n0\n1\n0.5\n1\n1.5\n0.125\n");
    EXPECT_EQ(Get(*state), (Axes{0, 2.5f, 0.25f, 0, 1, 0.5f, 1, 1.5f, 0.125f}));
}

}  // namespace
}  // namespace zelk
