#include "plot/TextStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/TempDir.h"

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

namespace zelk {
namespace {

// Decimal text of every shape: ScanFloat must give strtof's value, bit for
// bit, and stop where strtof stops; ScanDatum must read a D exponent as an E.
TEST(TextStream, ScanFloatEqualsStrtofForDecimalText) {
    std::mt19937 random(20261207);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto digits = [&](int n) {
        std::string d;
        for (int i = 0; i < n; ++i) {
            d += static_cast<char>('0' + pick(10));
        }
        return d;
    };
    const auto length = [&] {
        const int kind = pick(10);
        return kind < 6 ? pick(10) : (kind < 9 ? pick(60) : 100 + pick(400));
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        if (pick(3) == 0) {
            text += pick(2) == 0 ? '-' : '+';
        }
        text += std::string(static_cast<std::size_t>(pick(3) == 0 ? pick(300) : 0), '0');
        text += digits(length());
        if (pick(2) == 0) {
            text += '.' + digits(length());
        }
        if (pick(2) == 0) {
            text += pick(2) == 0 ? 'e' : 'E';
            if (pick(2) == 0) {
                text += pick(2) == 0 ? '-' : '+';
            }
            text += digits(pick(4));
        }
        text += pick(2) == 0 ? " 7" : "x";

        char* end = nullptr;
        const float expected = std::strtof(text.c_str(), &end);
        const std::size_t consumed = static_cast<std::size_t>(end - text.c_str());
        TextStream s;
        s.OpenText(text);
        float field = -7.0f;
        const bool ok = s.ScanFloat(field);
        ASSERT_EQ(ok, consumed > 0) << text;
        if (!ok) {
            continue;
        }
        ASSERT_EQ(std::memcmp(&field, &expected, sizeof field), 0)
            << text << ": " << field << " != " << expected;
        std::string rest;
        if (!s.ReadLine(rest)) {
            rest.clear();
        }
        ASSERT_EQ(rest, text.substr(consumed)) << text;

        std::string fortran = text;
        for (char& c : fortran) {
            c = c == 'e' || c == 'E' ? (pick(2) == 0 ? 'd' : 'D') : c;
        }
        TextStream d;
        d.OpenText(fortran);
        float datum = -7.0f;
        ASSERT_TRUE(d.ScanDatum(datum)) << fortran;
        ASSERT_EQ(std::memcmp(&datum, &expected, sizeof datum), 0) << fortran;
    }
}

TEST(TextStream, DatumsTakeNanAndInfinityAsStrtofDoes) {
    const struct {
        const char* text;
        std::size_t rest;  // characters left
    } cases[] = {
        {"nan", 0},     {"NaN", 0},        {"-nan", 0},      {"nan(0x7fc)", 0},
        {"nan(", 1},    {"inf", 0},        {"-Inf", 0},      {"+INFINITY", 0},
        {"infinit", 4}, {"Infinity x", 2}, {"nanometre", 6},
    };
    for (const auto& c : cases) {
        const float expected = std::strtof(c.text, nullptr);
        TextStream s;
        s.OpenText(c.text);
        float field = 0.0f;
        ASSERT_TRUE(s.ScanDatum(field)) << c.text;
        EXPECT_EQ(std::isnan(field), std::isnan(expected)) << c.text;
        if (!std::isnan(expected)) {
            EXPECT_EQ(field, expected) << c.text;
        }
        std::string rest;
        EXPECT_EQ(s.ReadLine(rest) ? rest.size() : 0u, c.rest) << c.text;
        // Not numbers for the task and axis files.
        TextStream plain;
        plain.OpenText(c.text);
        EXPECT_FALSE(plain.ScanFloat(field)) << c.text;
    }
}

// A file read in blocks: numbers, exponents and CR LF line ends that fall
// across the end of the first block read exactly as anywhere else.
TEST(TextStream, BlockBoundariesChangeNothing) {
    testing::TempWorkDir dir;
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    for (std::size_t shift = 0; shift < 10; ++shift) {
        // The experimental layout: counts, then white space up to the point.
        const std::string head = "1 1\n";
        const std::string point = "2.5e+1\r\n-3.25D-1\r\n";
        std::string text = head + std::string(kBlock - head.size() - shift, ' ') + point;
        dir.Write("exp.dat", text);
        TextStream s;
        ASSERT_TRUE(s.Open("exp.dat"));
        std::int32_t n = 0;
        ASSERT_TRUE(s.ScanUnsigned(n));
        ASSERT_TRUE(s.ScanUnsigned(n));
        float x = 0.0f;
        float y = 0.0f;
        ASSERT_TRUE(s.ScanDatum(x)) << shift;
        ASSERT_TRUE(s.ScanDatum(y)) << shift;
        EXPECT_EQ(x, 25.0f) << shift;
        EXPECT_EQ(y, -0.325f) << shift;
        EXPECT_EQ(s.Line(), 3) << shift;
        std::string rest;
        ASSERT_TRUE(s.ReadLine(rest));
        EXPECT_EQ(rest, "") << shift;
        EXPECT_FALSE(s.ReadLine(rest));

        // A header line across the boundary, its CR LF split between blocks.
        const std::string titles(kBlock - 4 - shift, 't');
        dir.Write("res.dat", "1 1" + titles + "\r\n7 8\r");
        TextStream r;
        ASSERT_TRUE(r.Open("res.dat"));
        ASSERT_TRUE(r.ReadLine(rest));
        EXPECT_EQ(rest.size(), TextStream::kMaxLine) << shift;  // the rest is dropped
        ASSERT_TRUE(r.ReadLine(rest));
        EXPECT_EQ(rest, "7 8") << shift;
        EXPECT_FALSE(r.ReadLine(rest));
    }
}

TEST(TextStream, ByteOrderMarkIsSkippedAndUtf16Refused) {
    testing::TempWorkDir dir;
    dir.Write("bom.txt",
              "\xEF\xBB\xBF"
              "12 x\n");
    TextStream s;
    ASSERT_EQ(s.OpenFile("bom.txt").status, TextStream::Status::Opened);
    std::int32_t n = 0;
    ASSERT_TRUE(s.ScanUnsigned(n));
    EXPECT_EQ(n, 12);
    dir.Write("le.txt", std::string("\xFF\xFE"
                                    "1\0002\0",
                                    6));
    EXPECT_EQ(s.OpenFile("le.txt").status, TextStream::Status::NotText);
    EXPECT_FALSE(s.IsOpen());
    dir.Write("plain.txt", "");
    EXPECT_EQ(s.OpenFile("plain.txt").status, TextStream::Status::Opened);
    EXPECT_TRUE(s.AtEnd());
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// What a stream says it read of a file: the digest of the file's own bytes,
// whatever the line ends, a byte-order mark or the window's size; nothing for
// a file it did not read to the end; and nothing stale for a path it could
// not open again.
TEST(TextStream, ReadsOfWholeFilesCarryTheDigestOfTheirBytes) {
    testing::TempWorkDir dir;
    std::string big;  // more than one window's worth
    while (big.size() < 2500000) {
        big += "0.125 1e-3 -2.5D+02 7\r\n";
    }
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"lf.txt", "3 2\n10 1 2\n50 3 4\n"},
        {"crlf.txt", "3 2\r\n10 1 2\r\n50 3 4\r\n"},
        {"bom.txt",
         "\xEF\xBB\xBF"
         "12 x\n"},
        {"cr-at-end.txt", "1 2\r"},
        {"empty.txt", ""},
        {"big.txt", big},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write(c.name, c.bytes);
        TextStream s;
        ASSERT_EQ(s.OpenFile(c.name).status, TextStream::Status::Opened);
        std::string line;
        while (s.ReadLine(line)) {
        }
        s.Close();
        const std::vector<FileRead> reads = s.TakeReads();
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].path, c.name);
        EXPECT_EQ(reads[0].stamp.size, static_cast<std::int64_t>(c.bytes.size()));
        EXPECT_TRUE(reads[0].whole);
        EXPECT_EQ(reads[0].digest, ContentDigest::Of(c.bytes));
        EXPECT_TRUE(s.TakeReads().empty()) << "taken once";
    }

    // A reader that stops after its first line: a small file came whole with
    // the first window, a larger one did not.
    TextStream s;
    std::string line;
    for (const char* name : {"crlf.txt", "big.txt"}) {
        ASSERT_EQ(s.OpenFile(name).status, TextStream::Status::Opened);
        ASSERT_TRUE(s.ReadLine(line));
        s.Close();
    }
    std::vector<FileRead> reads = s.TakeReads();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_TRUE(reads[0].whole);
    EXPECT_EQ(reads[0].digest, ContentDigest::Of(cases[1].bytes));
    EXPECT_FALSE(reads[1].whole);

    // Read, then gone: the next open finds nothing, and the earlier read of
    // that path is dropped with it.
    ASSERT_EQ(s.OpenFile("lf.txt").status, TextStream::Status::Opened);
    s.Close();
    ASSERT_EQ(s.OpenFile("crlf.txt").status, TextStream::Status::Opened);
    s.Close();
    dir.Remove("lf.txt");
    EXPECT_EQ(s.OpenFile("lf.txt").status, TextStream::Status::Missing);
    reads = s.TakeReads();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].path, "crlf.txt");

    // Text that came from no file, and a copy, have read nothing.
    s.OpenText("1 2\n");
    s.Close();
    EXPECT_TRUE(s.TakeReads().empty());
    ASSERT_EQ(s.OpenFile("crlf.txt").status, TextStream::Status::Opened);
    s.Close();
    TextStream copy(s);
    EXPECT_TRUE(copy.TakeReads().empty());
    copy = s;
    EXPECT_TRUE(copy.TakeReads().empty());
    EXPECT_EQ(s.TakeReads().size(), 1u);
}

}  // namespace
}  // namespace zelk
