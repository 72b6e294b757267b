#include "plot/TextStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zelk {
namespace {

struct FloatCase {
    const char* text;
    bool ok;
    float value;
    std::size_t restLength;  // characters left after the conversion
};

class ScanFloatTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(ScanFloatTest, ConvertsLikeFormattedInput) {
    const FloatCase& c = GetParam();
    TextStream s;
    s.OpenText(c.text);
    float field = -7.0f;
    EXPECT_EQ(s.ScanFloat(field), c.ok) << c.text;
    EXPECT_EQ(field, c.ok ? c.value : -7.0f) << c.text;
    std::string rest;
    if (!s.ReadLine(rest)) {
        rest.clear();
    }
    EXPECT_EQ(rest.size(), c.restLength) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ScanFloatTest,
    ::testing::Values(FloatCase{"2.5", true, 2.5f, 0}, FloatCase{"  \n\t-2.5e1 x", true, -25.0f, 2},
                      FloatCase{"+.5", true, 0.5f, 0}, FloatCase{"5.", true, 5.0f, 0},
                      FloatCase{"1e", true, 1.0f, 1}, FloatCase{"1e+", true, 1.0f, 2},
                      FloatCase{"7.25abc", true, 7.25f, 3}, FloatCase{"abc", false, 0.0f, 3},
                      FloatCase{"  -x", false, 0.0f, 2}, FloatCase{".", false, 0.0f, 1},
                      FloatCase{"1e-60", true, 0.0f, 0},
                      FloatCase{"1e60", true, std::numeric_limits<float>::infinity(), 0},
                      FloatCase{"2,5", true, 2.0f, 2}));

// Numbers beyond a float's range, spelt with so many digits that they are
// beyond a double's too: the magnitude, not the digit count, decides.
TEST(TextStream, OutOfRangeNumbersGoToZeroOrInfinityByTheirSize) {
    const std::string zeros(400, '0');
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        std::string text;
        float value;
    } cases[] = {
        {"0." + zeros + "1", 0.0f},            // 1e-401
        {"-0." + zeros + "1", 0.0f},           // -1e-401
        {"1" + zeros + "e-800", 0.0f},         // 1e-400
        {"0." + zeros + "1e500", inf},         // 1e99
        {"1" + zeros, inf},                    // 1e400
        {"-1" + zeros + ".5", -inf},           // -1e400
        {"0.00001e-99999999999999999", 0.0f},  // exponent beyond any integer
        {"1e99999999999999999999", inf},
        {"0.5e39", inf},
        {"50e-48", 0.0f},
    };
    for (const auto& c : cases) {
        TextStream s;
        s.OpenText(c.text + " x");
        float field = -7.0f;
        ASSERT_TRUE(s.ScanFloat(field)) << c.text;
        EXPECT_EQ(field, c.value) << c.text;
        std::string rest;
        ASSERT_TRUE(s.ReadLine(rest));
        EXPECT_EQ(rest, " x") << c.text;
    }
}

TEST(TextStream, UnsignedWrapsAndSaturatesLikeA32BitConversion) {
    TextStream s;
    s.OpenText("5 -1 4294967295 99999999999 +7 x");
    std::int32_t v = 42;
    ASSERT_TRUE(s.ScanUnsigned(v));
    EXPECT_EQ(v, 5);
    ASSERT_TRUE(s.ScanUnsigned(v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(s.ScanUnsigned(v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(s.ScanUnsigned(v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(s.ScanUnsigned(v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(s.ScanUnsigned(v));
    EXPECT_EQ(v, 7);
}

TEST(TextStream, CrLfAndLfGiveTheSameLines) {
    for (const char* text : {"a b \r\nsecond\r\n", "a b \nsecond\n", "a b \nsecond\r"}) {
        TextStream s;
        s.OpenText(text);
        std::string line;
        ASSERT_TRUE(s.ReadLine(line));
        EXPECT_EQ(line, "a b ");
        ASSERT_TRUE(s.ReadLine(line));
        EXPECT_EQ(line, "second");
        EXPECT_FALSE(s.ReadLine(line));
    }
}

TEST(TextStream, LongLinesAreReadWhole) {
    const std::string longName(5000, 'n');
    TextStream s;
    s.OpenText(longName + "\nnext\n");
    std::string line;
    ASSERT_TRUE(s.ReadLine(line));
    EXPECT_EQ(line, longName);
    ASSERT_TRUE(s.ReadLine(line));
    EXPECT_EQ(line, "next");
}

TEST(TextStream, MissingFileStaysClosed) {
    TextStream s;
    EXPECT_FALSE(s.Open("/nonexistent/zelk/file.txt"));
    EXPECT_FALSE(s.IsOpen());
    std::string line;
    EXPECT_FALSE(s.ReadLine(line));
}

}  // namespace
}  // namespace zelk
