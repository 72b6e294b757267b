// What users' own fitting programs write: the number forms, comment lines and
// layouts of curve files, and that every well-formed variant draws exactly as
// the plain file does.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/Readers.h"
#include "plot/RecordingSurface.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

using testing::RecordingHost;
using testing::TempWorkDir;
using Messages = std::vector<std::string>;

// A task with experimental data and one fit run, drawn on 400 x 300.
std::unique_ptr<PlotState> TaskState() {
    auto s = std::make_unique<PlotState>();
    s->expFile = "exp.dat";
    s->resFile = "res.dat";
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->clientWidth = 400;
    s->clientHeight = 300;
    s->xMin = 0;
    s->xMax = 4;
    s->xStep = 1;
    s->yMin = 0;
    s->yMax = 3;
    s->yStep = 1;
    s->scaleType = 1;
    s->stackFactor = 1;
    s->stackOffset = 1;
    return s;
}

std::string Ops(PlotState& s) {
    RecordingSurface surface;
    DrawPass(s, CPlotter(), surface);
    return surface.ToText();
}

const char* const kPlainResult =
    "3 2\n"
    "1 0.25 1.5\n"
    "2 0.125 1.75\n"
    "3 0.0625 1.875\n";

// Every well-formed way of writing the same result: drawn exactly as the
// plain file is, without a word said.
TEST(CurveForms, WellFormedVariantsDrawExactlyAsThePlainFile) {
    const struct {
        const char* name;
        const char* text;
    } variants[] = {
        {"CR LF", "3 2\r\n1 0.25 1.5\r\n2 0.125 1.75\r\n3 0.0625 1.875\r\n"},
        {"column titles", "3 2   x   fit1   fit2\n1 0.25 1.5\n2 0.125 1.75\n3 0.0625 1.875\n"},
        {"e and E", "3 2\n1e0 2.5e-1 1.5E+00\n2.0E0 1.25e-1 17.5e-1\n3 6.25E-2 1.875\n"},
        {"tabs", "3\t2\n1\t0.25\t1.5\n2\t0.125\t1.75\n3\t0.0625\t1.875\n"},
        {"Fortran fixed width",
         "   3   2\n  0.1000000E+01  0.2500000E+00  0.1500000E+01\n"
         "  0.2000000E+01  0.1250000E+00  0.1750000E+01\n"
         "  0.3000000E+01  0.6250000E-01  0.1875000E+01\n"},
        {"Fortran D format",
         "   3   2\n  0.1000000D+01  0.2500000D+00  0.1500000D+01\n"
         "  0.2000000D+01  0.1250000D+00  0.1750000D+01\n"
         "  0.3000000d+01  0.6250000d-01  0.1875000d+01\n"},
        {"one number a line", "3 2\n1\n0.25\n1.5\n2\n0.125\n1.75\n3\n0.0625\n1.875\n"},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF"
         "3 2\n1 0.25 1.5\n2 0.125 1.75\n3 0.0625 1.875\n"},
    };
    TempWorkDir dir;
    dir.Write("exp.dat", "3 2\n1 0.5 1.25\n2 0.5 1.5\n3 0.75 1.5\n");
    dir.Write("EPS.res", "0.0123\n");
    dir.Write("res.dat", kPlainResult);
    auto plain = TaskState();
    RecordingHost host;
    ReadCurveFiles(*plain, host);
    const std::string expected = Ops(*plain);
    ASSERT_NE(expected.find("line"), std::string::npos);
    for (const auto& v : variants) {
        dir.Write("res.dat", v.text);
        auto s = TaskState();
        RecordingHost h;
        ReadCurveFiles(*s, h);
        EXPECT_EQ(s->result.pointCount, 3) << v.name;
        EXPECT_EQ(Ops(*s), expected) << v.name;
        EXPECT_EQ(h.messages, Messages{}) << v.name;
        EXPECT_EQ(h.notices, Messages{}) << v.name;
    }
}

// nan and inf leave their point out of the drawing; the rest of the file is
// read and drawn, and the file says so once.
TEST(CurveForms, NanAndInfAreLeftOutOfTheDrawingAndSaidOnce) {
    TempWorkDir dir;
    dir.Write("exp.dat", "3 2\n1 0.5 1.25\n2 0.5 1.5\n3 0.75 1.5\n");
    dir.Write("EPS.res", "0.0123\n");
    const struct {
        const char* name;
        const char* text;
        int points;  // non-finite points
        int line;
    } cases[] = {
        {"nan ordinate", "3 2\n1 0.25 1.5\n2 nan 1.75\n3 0.0625 1.875\n", 1, 3},
        {"NaN and -Infinity", "3 2\n1 0.25 1.5\n2 NaN -Infinity\n3 -inf 1.875\n", 2, 3},
        {"nan abscissa", "3 2\nnan 0.25 1.5\n2 0.125 1.75\n3 0.0625 1.875\n", 1, 2},
        {"printf's -nan and inf", "3 2\n1 -nan 1.5\n2 0.125 inf\n3 0.0625 +INF\n", 3, 2},
    };
    // Control characters are quoted harmlessly where the read stops.
    {
        dir.Write("res.dat", "2 1\n1 1\n\x1b\x7f 2\n");
        auto s = TaskState();
        RecordingHost h;
        ReadCurveFiles(*s, h);
        EXPECT_EQ(h.messages, Messages{"fileRES - 1 of 2 points read\nres.dat, line 3: \"??\" is "
                                       "not a number"});
    }
    for (const auto& c : cases) {
        for (const std::int32_t scale : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << c.name << (scale == 2 ? ", logarithmic" : ""));
            dir.Write("res.dat", c.text);
            auto s = TaskState();
            s->scaleType = scale;
            s->yMin = scale == 2 ? 0.01f : 0.0f;
            RecordingHost h;
            ReadCurveFiles(*s, h);
            EXPECT_EQ(s->result.pointCount, 3);
            EXPECT_EQ(s->result.x[2], 3.0f);  // read on past the bad values
            EXPECT_EQ(h.messages, Messages{});
            EXPECT_EQ(h.notices, Messages{"fileRES - nan or inf at " + std::to_string(c.points) +
                                          (c.points == 1 ? " point" : " points") +
                                          ", left out of the drawing\nres.dat, line " +
                                          std::to_string(c.line) + ": the first of them"});
            // Drawn as the plain file with those points taken out: no line to or
            // from them, nothing at the origin, nothing at the picture's edge.
            const std::string ops = Ops(*s);
            EXPECT_EQ(ops.find("nan"), std::string::npos);
            EXPECT_EQ(ops.find(" 2147483647"), std::string::npos);
            EXPECT_EQ(ops.find(" 4194304"), std::string::npos);
            EXPECT_EQ(ops.find(" -4194304"), std::string::npos);
        }
    }
    // A nan ordinate splits its curve: the two neighbours are not joined.
    dir.Write("res.dat", "3 1\n1 1\n2 nan\n3 1\n");
    auto s = TaskState();
    RecordingHost h;
    ReadCurveFiles(*s, h);
    RecordingSurface surface;
    DrawPass(*s, CPlotter(), surface);
    int moves = 0;
    int lines = 0;
    for (const auto& op : surface.ops()) {
        moves += op.kind == RecordingSurface::OpKind::Move ? 1 : 0;
        lines += op.kind == RecordingSurface::OpKind::Line ? 1 : 0;
    }
    dir.Write("res.dat", "3 1\n1 1\n2 1\n3 1\n");
    auto whole = TaskState();
    ReadCurveFiles(*whole, h);
    RecordingSurface wholeSurface;
    DrawPass(*whole, CPlotter(), wholeSurface);
    int wholeMoves = 0;
    int wholeLines = 0;
    for (const auto& op : wholeSurface.ops()) {
        wholeMoves += op.kind == RecordingSurface::OpKind::Move ? 1 : 0;
        wholeLines += op.kind == RecordingSurface::OpKind::Line ? 1 : 0;
    }
    // The fit of three points is two segments; with the middle one gone, none.
    EXPECT_EQ(wholeLines - lines, 2);
    EXPECT_EQ(moves, wholeMoves + 1);  // the pen is set down again after the gap
}

// Forms that would be read wrongly are refused, with the file and line.
TEST(CurveForms, DecimalCommaIsRefusedNeverReadAsZeros) {
    TempWorkDir dir;
    const struct {
        const char* name;
        const char* text;
        int points;
        const char* message;
    } cases[] = {
        {"comma from the start", "3 1\n1,5 0,25\n2,5 0,5\n3,5 0,75\n", 0,
         "fileE1 - 0 of 3 points read\nexp.dat, line 2: a decimal comma before \",5\"; numbers "
         "need a decimal point"},
        {"comma in an ordinate", "2 1\n1 2\n2 1,689281\n", 1,
         "fileE1 - 1 of 2 points read\nexp.dat, line 3: a decimal comma before \",689281\"; "
         "numbers need a decimal point"},
        // With decimal points in the file, a comma is a separator: not a
        // number, and said as such.
        {"comma separated", "2 1\n1.5,2.5\n", 0,
         "fileE1 - 0 of 2 points read\nexp.dat, line 2: \",2.5\" is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("exp.dat", c.text);
        auto s = TaskState();
        s->fitRunCount = 0;
        s->experimental.x.fill(9.0f);
        RecordingHost h;
        ReadCurveFiles(*s, h);
        EXPECT_EQ(s->experimental.pointCount, c.points);
        EXPECT_EQ(h.messages, Messages{c.message});
    }
}

// Lines before the counts that cannot begin a number are skipped and counted;
// a file whose counts cannot be found says so and draws nothing.
TEST(CurveForms, LinesBeforeTheCountsAndMissingCounts) {
    TempWorkDir dir;
    const struct {
        const char* name;
        const char* text;
        std::int32_t points;
        const char* message;
        const char* notice;
    } cases[] = {
        {"one comment", "# fit of run 3\n2 1\n1 10\n2 20\n", 2, nullptr,
         "fileRES - 1 line before the counts skipped\nres.dat, line 1: \"# fit of run 3\""},
        {"comment and titles", "! written by fit\n\n   x        y\n2 1 titles\n1 10\n2 20\n", 2,
         nullptr,
         "fileRES - 2 lines before the counts skipped\nres.dat, line 1: \"! written by fit\""},
        {"comments only", "# nothing yet\n# still nothing\n", 0,
         "fileRES - no point and curve counts !!!\nres.dat: none of its 2 lines begins with them",
         "fileRES - 2 lines before the counts skipped\nres.dat, line 1: \"# nothing yet\""},
        {"no curve count", "2 points\n1 10\n", 0,
         "fileRES - no point and curve counts !!!\nres.dat, line 1: \"points\" where the curve "
         "count should be",
         nullptr},
        {"a fraction for a count", ".5 2\n1 10\n", 0,
         "fileRES - no point and curve counts !!!\nres.dat, line 1: \".5\" where the point count "
         "should be",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("res.dat", c.text);
        auto s = TaskState();
        s->experimentFlag = 0;
        s->result.pointCount = 99;
        s->result.curveCount = 5;
        RecordingHost h;
        const ReadReport report = ReadCurveFiles(*s, h);
        EXPECT_EQ(s->result.pointCount, c.points);
        EXPECT_EQ(h.messages, c.message ? Messages{c.message} : Messages{});
        EXPECT_EQ(h.notices, c.notice ? Messages{c.notice} : Messages{});
        EXPECT_EQ(report.complete, c.message == nullptr);
        if (c.points > 0) {
            EXPECT_EQ(s->result.y[12], 20.0f);
        }
    }
}

TEST(CurveForms, CurveCountsThatDifferAreDrawnWithANotice) {
    TempWorkDir dir;
    dir.Write("exp.dat", "2 3\n1 1 2 3\n2 1 2 3\n");
    dir.Write("EPS.res", "0.5\n");
    dir.Write("res.dat", "2 2\n1 1 2\n2 1 2\n");
    auto s = TaskState();
    RecordingHost h;
    const ReadReport report = ReadCurveFiles(*s, h);
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(s->result.curveCount, 2);  // drawn as before
    EXPECT_EQ(h.messages, Messages{});   // no box on every read
    EXPECT_EQ(h.notices, Messages{"fileRES - 2 curves, fileE1 - 3 curves\nres.dat: fitted curve "
                                  "k is drawn over measured curve k of exp.dat, stacked "
                                  "differently"});
    dir.Write("res.dat", "2 3\n1 1 2 3\n2 1 2 3\n");
    RecordingHost same;
    ReadCurveFiles(*s, same);
    EXPECT_EQ(same.notices, Messages{});
}

// A live reread of a half-written result keeps the result drawn before; the
// whole file, once written, replaces it.
TEST(CurveForms, LiveReadKeepsTheOldResultOnAHalfWrittenFile) {
    TempWorkDir dir;
    dir.Write("exp.dat", "2 1\n1 1\n2 1\n");
    dir.Write("EPS.res", "0.5\n");
    dir.Write("res.dat", "3 1\n1 5\n2 6\n3 7\n");
    auto s = TaskState();
    RecordingHost h;
    ReadCurveFiles(*s, h);
    ASSERT_EQ(s->result.pointCount, 3);
    dir.Write("res.dat", "3 1\n1 8\n2");
    RecordingHost live;
    ReadReport report = ReadCurveFiles(*s, live, ReadMode::Live);
    EXPECT_FALSE(report.complete);
    EXPECT_EQ(report.messages,
              Messages{"fileRES - 1 of 3 points read\nres.dat, line 3: the file ends there"});
    EXPECT_TRUE(live.messages.empty());
    EXPECT_EQ(s->result.pointCount, 3);
    EXPECT_EQ(s->result.y[0], 5.0f);
    dir.Write("res.dat", "3 1\n1 8\n2 9\n3 10\n");
    report = ReadCurveFiles(*s, live, ReadMode::Live);
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(s->result.y[24], 10.0f);
    EXPECT_GE(live.redraws, 1);
}

// A command that reads the curve files twice parses each unchanged file once
// and still says everything twice; a file changed in between is read again,
// even when its size stays and the change comes within the file system's
// time resolution.
TEST(CurveForms, UnchangedFilesAreParsedOnceAndChangedOnesAgain) {
    TempWorkDir dir;
    dir.Write("exp.dat", "2 1\n# x\n1 1\n2 1\n");  // stops at "#": a message each read
    dir.Write("res.dat", "2 1\n1 5\n2 6\n");
    dir.Write("EPS.res", "0.5\n");
    auto s = TaskState();
    RecordingHost h;
    ReadCurveFiles(*s, h);
    // Just written: the stamps cannot yet stand for the content.
    dir.Write("res.dat", "2 1\n1 7\n2 8\n");
    ReadCurveFiles(*s, h);
    EXPECT_EQ(s->result.y[0], 7.0f);
    EXPECT_EQ(s->readCache.Parses(), 6);

    // Files that have rested as long as any file system's time resolution.
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    RecordingHost first;
    ReadCurveFiles(*s, first);
    const long parses = s->readCache.Parses();
    s->result.y[0] = -1.0f;  // as the drawing pass may change a set in place
    RecordingHost second;
    ReadCurveFiles(*s, second);
    EXPECT_EQ(s->readCache.Parses(), parses);
    EXPECT_EQ(second.messages, first.messages);
    EXPECT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(s->result.y[0], 7.0f);
    EXPECT_EQ(s->experimental.pointCount, 0);

    dir.Write("res.dat", "2 1\n1 9\n2 8\n");  // the same size
    ReadCurveFiles(*s, second);
    EXPECT_EQ(s->result.y[0], 9.0f);
    EXPECT_EQ(s->readCache.Parses(), parses + 1);
}

}  // namespace
}  // namespace zelk
