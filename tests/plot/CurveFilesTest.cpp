#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>
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
using Messages = std::vector<std::string>;

constexpr float kOld = -99.0f;  // what every entry holds before a read

// A curve file whose ordinate of point p, curve c is p * 100 + c and whose
// abscissa of point p is p + 0.5, so every entry tells where it came from.
std::string CurveText(int points, int curves, const std::string& headerTail = "") {
    std::ostringstream out;
    out << points << ' ' << curves << headerTail << '\n';
    for (int p = 0; p < points; ++p) {
        out << p + 0.5;
        for (int c = 0; c < curves; ++c) {
            out << ' ' << p * 100 + c;
        }
        out << '\n';
    }
    return out.str();
}

float Ordinate(int p, int c) {
    return static_cast<float>(p * 100 + c);
}

class CurveFilesTest : public ::testing::Test {
  protected:
    CurveFilesTest() {
        state->expFile = "exp.dat";
        state->resFile = "res.dat";
        for (CurveSet* set : {&state->experimental, &state->result}) {
            set->x.fill(kOld);
            set->y.fill(kOld);
            set->pointCount = 7;
            set->curveCount = 3;
        }
        state->eps = kOld;
    }

    // Points p < points and curves c < curves hold what CurveText wrote.
    static void ExpectCurves(const CurveSet& set, int points, int curves) {
        for (int p = 0; p < points; ++p) {
            ASSERT_EQ(set.x[p], p + 0.5f) << "point " << p;
            for (int c = 0; c < curves; ++c) {
                ASSERT_EQ(set.y[p * MAX_CURVES + c], Ordinate(p, c)) << p << ',' << c;
            }
        }
    }

    TempWorkDir dir;
    RecordingHost host;
    std::unique_ptr<PlotState> state = std::make_unique<PlotState>();
};

TEST_F(CurveFilesTest, FlagAndFitRunsChooseTheFiles) {
    struct Case {
        std::int32_t flag, fitRuns;
        bool expRead, resRead, epsRead;
    };
    const Case cases[] = {
        {0, 0, false, false, false}, {1, 0, true, false, false},  {0, 1, false, true, false},
        {1, 1, true, true, true},    {-1, 2, false, true, false}, {2, -1, true, false, false},
    };
    for (const Case& c : cases) {
        TempWorkDir task;
        task.Write("exp.dat", CurveText(2, 1));
        task.Write("res.dat", CurveText(3, 2, " x y1 y2"));
        task.Write("EPS.res", "  \n0.0123456 eps\n");
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->experimentFlag = c.flag;
        s->fitRunCount = c.fitRuns;
        RecordingHost h;
        ReadCurveFiles(*s, h);
        SCOPED_TRACE(::testing::Message() << "flag " << c.flag << ", fit runs " << c.fitRuns);
        EXPECT_EQ(s->experimental.pointCount, c.expRead ? 2 : 0);
        EXPECT_EQ(s->result.pointCount, c.resRead ? 3 : 0);
        EXPECT_EQ(s->eps, c.epsRead ? 0.0123456f : 0.0f);
        EXPECT_TRUE(h.messages.empty());
        EXPECT_EQ(h.redraws, 1);
        EXPECT_FALSE(s->curFile.IsOpen());
    }
}

TEST_F(CurveFilesTest, ExperimentalLayoutIgnoresLineEnds) {
    const char* const texts[] = {
        "3 2\n1 10 11\n2 20 21\n3 30 31\n",
        "3 2 1 10 11 2 20 21 3 30 31",
        "3\n2\n1\n10\n11\n2\n20\n21\n3\n30\n31\n",
        "3\t2\r\n1\t10\t11\r\n2 20 21\r\n3 30 31\r\n",
    };
    state->experimentFlag = 1;
    for (const char* text : texts) {
        dir.Write("exp.dat", text);
        ReadCurveFiles(*state, host);
        const CurveSet& e = state->experimental;
        EXPECT_EQ(e.pointCount, 3);
        EXPECT_EQ(e.curveCount, 2);
        EXPECT_EQ((std::vector<float>{e.x[0], e.x[1], e.x[2]}), (std::vector<float>{1, 2, 3}));
        EXPECT_EQ((std::vector<float>{e.y[0], e.y[1], e.y[12], e.y[13], e.y[24], e.y[25]}),
                  (std::vector<float>{10, 11, 20, 21, 30, 31}))
            << text;
        EXPECT_EQ(e.y[2], kOld);  // the stride is 12 whatever the curve count
        EXPECT_EQ(e.x[3], kOld);
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CurveFilesTest, HeaderLineDiffersBetweenResultAndExperimentalFile) {
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    // Numbers after the counts belong to the result file's header and are skipped
    // with it; the experimental file has no header line, so its first abscissa
    // is missing: no point of it is stored and the file is named.
    const std::string withTitles = CurveText(4, 3, " abscissa curve0 curve1 9 9 9");
    dir.Write("exp.dat", withTitles);
    dir.Write("res.dat", withTitles);
    dir.Write("EPS.res", "1.5");
    ReadCurveFiles(*state, host);
    EXPECT_EQ(state->result.pointCount, 4);
    EXPECT_EQ(state->result.curveCount, 3);
    ExpectCurves(state->result, 4, 3);
    EXPECT_EQ(state->experimental.pointCount, 0);
    EXPECT_EQ(state->experimental.curveCount, 3);
    EXPECT_EQ(state->eps, 1.5f);
    EXPECT_EQ(host.messages, Messages{"fileE1 - 0 of 4 points read\nexp.dat, line 1: \"abscissa\" "
                                      "is not a number"});
}

TEST_F(CurveFilesTest, LongResultHeaderIsSkippedWhole) {
    state->fitRunCount = 1;
    dir.Write("res.dat", CurveText(2, 1, " " + std::string(400, 'T') + " 5 6 7"));
    ReadCurveFiles(*state, host);
    ExpectCurves(state->result, 2, 1);
}

// A file that stops before its counts are met, in either role, stores only
// the points it gave in full: nothing of an earlier read is drawn for the
// rest, and the file is named with how far it got.
TEST_F(CurveFilesTest, ShortFilesStoreOnlyWholePoints) {
    struct Case {
        const char* name;
        const char* text;  // the result file's header line ends at the first line end
        std::int32_t points, curves;
        std::vector<float> x;  // x[0..2]; later entries keep kOld
        const char* message;   // after "<role> - "; nullptr: none
    };
    const Case cases[] = {
        {"complete", "3 2\n1 10 11\n2 20 21\n3 30 31\n", 3, 2, {1, 2, 3}, nullptr},
        {"ends inside a point",
         "3 2\n1 10 11\n2 20",
         1,
         2,
         {1, kOld, kOld},
         "1 of 3 points read\nF, line 3: the file ends there"},
        {"ends between points",
         "3 2\n1 10 11\n2 20 21\n",
         2,
         2,
         {1, 2, kOld},
         "2 of 3 points read\nF, line 4: the file ends there"},
        {"text in the middle",
         "3 1\n1 10\nabc 20\n3 30\n",
         1,
         1,
         {1, kOld, kOld},
         "1 of 3 points read\nF, line 3: \"abc\" is not a number"},
        {"counts only",
         "3 1\n",
         0,
         1,
         {kOld, kOld, kOld},
         "0 of 3 points read\nF, line 2: the file ends there"},
        {"curve count 0", "3 0\n1\n2\n3\n", 3, 0, {1, 2, 3}, nullptr},
        {"401 points, 200 given",
         nullptr,
         200,
         1,
         {0.5f, 1.5f, 2.5f},
         "200 of 401 points read\nF, line 202: the file ends there"},
    };
    for (const bool result : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << c.name << (result ? ", result" : ", experimental"));
            auto s = std::make_unique<PlotState>();
            CurveSet& set = result ? s->result : s->experimental;
            set.x.fill(kOld);
            set.y.fill(kOld);
            set.pointCount = 500;
            set.curveCount = 3;
            s->expFile = "exp.dat";
            s->resFile = "res.dat";
            s->experimentFlag = result ? 0 : 1;
            s->fitRunCount = result ? 1 : 0;
            std::string text = c.text != nullptr ? c.text : CurveText(401, 1);
            if (c.text == nullptr) {
                text.resize(text.find("200.5"));
            }
            dir.Write(result ? "res.dat" : "exp.dat", text);
            RecordingHost h;
            const ReadReport report = ReadCurveFiles(*s, h);
            EXPECT_EQ(set.pointCount, c.points);
            EXPECT_EQ(set.curveCount, c.curves);
            EXPECT_EQ((std::vector<float>{set.x[0], set.x[1], set.x[2]}), c.x);
            if (c.points <= 3) {
                EXPECT_EQ(set.x[3], kOld);
            }
            Messages expected;
            if (c.message != nullptr) {
                std::string m = std::string(result ? "fileRES - " : "fileE1 - ") + c.message;
                m.replace(m.find("\nF,"), 3,
                          std::string("\n") + (result ? "res.dat," : "exp.dat,"));
                expected.push_back(m);
            }
            EXPECT_EQ(h.messages, expected);
            EXPECT_EQ(report.complete, c.message == nullptr);
        }
    }
}

TEST_F(CurveFilesTest, RereadWithFewerPointsKeepsTheOlderValuesBeyond) {
    state->experimentFlag = 1;
    dir.Write("exp.dat", CurveText(5, 4));
    ReadCurveFiles(*state, host);
    dir.Write("exp.dat", "2 1\n9 90\n8 80\n");
    ReadCurveFiles(*state, host);
    const CurveSet& e = state->experimental;
    EXPECT_EQ(e.pointCount, 2);
    EXPECT_EQ(e.curveCount, 1);
    EXPECT_EQ(e.x[1], 8.0f);
    EXPECT_EQ(e.y[12], 80.0f);
    EXPECT_EQ(e.y[13], Ordinate(1, 1));  // curve 1 of the older read
    EXPECT_EQ(e.x[2], 2.5f);
    EXPECT_EQ(e.y[4 * 12 + 3], Ordinate(4, 3));
}

TEST_F(CurveFilesTest, ResultFileEndingInItsHeaderIsFatal) {
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    dir.Write("exp.dat", CurveText(1, 1));
    dir.Write("EPS.res", "2");
    const struct {
        const char* text;
        const char* detail;
    } fatal[] = {
        {"", "res.dat is empty"},
        {" \n\t\n", "res.dat is empty"},
        {"3 2",
         "res.dat, line 1: the file ends within its header line; the point and curve "
         "counts need a line end after them"},
        {"  3\n  2",
         "res.dat, line 2: the file ends within its header line; the point and curve "
         "counts need a line end after them"},
        {"# fit\n3 2",
         "res.dat, line 2: the file ends within its header line; the point and "
         "curve counts need a line end after them"},
    };
    for (const auto& c : fatal) {
        RecordingHost fresh;
        dir.Write("res.dat", c.text);
        EXPECT_THROW(ReadCurveFiles(*state, fresh), FatalError) << '"' << c.text << '"';
        ASSERT_FALSE(fresh.messages.empty());
        EXPECT_EQ(fresh.messages.back(), std::string("Invalid parameters file\n") + c.detail);
        EXPECT_EQ(fresh.fatals, 1);
        EXPECT_EQ(fresh.redraws, 0);
        EXPECT_EQ(state->eps, kOld);  // nothing after the fatal error ran
        EXPECT_FALSE(state->curFile.IsOpen());
    }
    // One character after the counts is a complete header; so is a lone CR
    // that ends the file, which is a line end like any other.
    for (const char* text : {"0 0 ", "0 0\r", "0 0\r\n"}) {
        RecordingHost fresh;
        state->eps = kOld;
        dir.Write("res.dat", text);
        EXPECT_NO_THROW(ReadCurveFiles(*state, fresh)) << '"' << text << '"';
        EXPECT_EQ(fresh.messages, Messages{});
        EXPECT_EQ(state->eps, 2.0f);
    }
    // In a live read the same file is only reported, and the old result stays.
    state->result.pointCount = 7;
    dir.Write("res.dat", "3 2");
    RecordingHost live;
    const ReadReport report = ReadCurveFiles(*state, live, ReadMode::Live);
    EXPECT_FALSE(report.complete);
    EXPECT_EQ(live.fatals, 0);
    EXPECT_TRUE(live.messages.empty());
    EXPECT_EQ(state->result.pointCount, 7);
    ASSERT_FALSE(report.messages.empty());
    EXPECT_EQ(report.messages.back().rfind("Invalid parameters file\nres.dat, line 1:", 0), 0u);
}

TEST_F(CurveFilesTest, AbsentFilesAreReportedAndTheReadGoesOn) {
    struct Case {
        bool exp, res, eps;
        Messages messages;
    };
    const Case cases[] = {
        {false, true, true, {"fileE1 - absent !!!"}},
        {true, false, true, {"fileRES - absent !!!"}},
        {true, true, false, {"EPS.res - absent !!!"}},
        {false,
         false,
         false,
         {"fileE1 - absent !!!", "fileRES - absent !!!", "EPS.res - absent !!!"}},
    };
    for (const Case& c : cases) {
        TempWorkDir task;
        if (c.exp) {
            task.Write("exp.dat", CurveText(2, 2));
        }
        if (c.res) {
            task.Write("res.dat", CurveText(3, 1, " titles"));
        }
        if (c.eps) {
            task.Write("EPS.res", "0.5");
        }
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        s->experimental.pointCount = 11;
        s->result.pointCount = 22;
        s->eps = kOld;
        RecordingHost h;
        ReadCurveFiles(*s, h);
        EXPECT_EQ(h.messages, c.messages);
        EXPECT_EQ(s->experimental.pointCount, c.exp ? 2 : 11);
        EXPECT_EQ(s->result.pointCount, c.res ? 3 : 22);
        EXPECT_EQ(s->eps, c.eps ? 0.5f : kOld);
        EXPECT_EQ(h.redraws, 1);
    }
}

TEST_F(CurveFilesTest, OversizedFilesAreCutToTheCapacities) {
    struct Case {
        int points, curves;
        std::int32_t storedPoints, storedCurves;
        const char* expMessage;
    };
    const Case cases[] = {
        {3600, 2, 3500, 2, "fileE1 - cut to 3500 points and 2 curves !!!"},
        {4, 15, 4, 12, "fileE1 - cut to 4 points and 12 curves !!!"},
        {3501, 13, 3500, 12, "fileE1 - cut to 3500 points and 12 curves !!!"},
        {3500, 12, 3500, 12, nullptr},
    };
    for (const Case& c : cases) {
        TempWorkDir task;
        task.Write("exp.dat", CurveText(c.points, c.curves));
        task.Write("res.dat", CurveText(c.points, c.curves, " titles"));
        task.Write("EPS.res", "0.25");
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        RecordingHost h;
        ReadCurveFiles(*s, h);
        SCOPED_TRACE(::testing::Message() << c.points << " x " << c.curves);
        for (const CurveSet* set : {&s->experimental, &s->result}) {
            EXPECT_EQ(set->pointCount, c.storedPoints);
            EXPECT_EQ(set->curveCount, c.storedCurves);
            // Every abscissa is read from its own place although the ordinates
            // of curves 12 and up are passed over.
            ExpectCurves(*set, c.storedPoints, c.storedCurves);
        }
        Messages expected;
        if (c.expMessage != nullptr) {
            std::string res = c.expMessage;
            res.replace(0, 6, "fileRES");
            expected = {c.expMessage, res};
        }
        EXPECT_EQ(h.messages, expected);
        EXPECT_EQ(s->eps, 0.25f);
    }
}

TEST_F(CurveFilesTest, HugeOrNegativeCountsReadNothingAndNeverSpin) {
    state->experimentFlag = 1;
    struct Case {
        const char* text;
        std::int32_t points, curves;
        float x0, y0;
    };
    const Case cases[] = {
        {"4294967295 2\n1 2 3\n", -1, 2, kOld, kOld},  // reads as -1: no points
        {"-5 1\n1 2\n", -5, 1, kOld, kOld},
        {"2 -1\n1 2 3\n", 2, -1, 1, kOld},                 // abscissae only
        {"1 2000000000\n0.5 1 2 3\n", 0, 12, kOld, kOld},  // the one point is not whole
        {"2000000000 2000000000\n", 0, 12, kOld, kOld},
        {"2000000000 1\n1 1\n2 x", 1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        state->experimental.x.fill(kOld);
        state->experimental.y.fill(kOld);
        dir.Write("exp.dat", c.text);
        ReadCurveFiles(*state, host);
        const CurveSet& e = state->experimental;
        EXPECT_EQ(e.pointCount, c.points) << c.text;
        EXPECT_EQ(e.curveCount, c.curves) << c.text;
        EXPECT_EQ(e.x[0], c.x0) << c.text;
        EXPECT_EQ(e.y[0], c.y0) << c.text;
    }
}

TEST_F(CurveFilesTest, EpsValueGoesToTheTargetGiven) {
    dir.Write("EPS.res", "\r\n\t 1.25e-3 final\n7\n");
    ReadEpsValue(*state, host, state->epsPrevious);
    EXPECT_EQ(state->epsPrevious, 1.25e-3f);
    EXPECT_EQ(state->eps, kOld);
    EXPECT_TRUE(host.messages.empty());
}

// EPS.res: the first number on its first line, whatever text comes before it.
TEST_F(CurveFilesTest, EpsValueForms) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* text;
        float eps;  // kOld: unchanged
        const char* message;
        const char* notice;
    } cases[] = {
        {"1.69\n", 1.69f, nullptr, nullptr},
        {"EPS = 1.69\n", 1.69f, nullptr, nullptr},
        {"EPS=1.69e-3 after 12 iterations\n", 1.69e-3f, nullptr, nullptr},
        {"chi2: 0.5\n", 0.5f, nullptr, nullptr},
        {"  0.1689281D+01\n", 1.689281f, nullptr, nullptr},
        {"-.5d-1", -0.05f, nullptr, nullptr},
        {"EPS = NaN\n", nan, nullptr,
         "EPS.res - nan or inf !!!\nEPS.res, line 1: the fit gave no "
         "finite EPS value"},
        {"1,689281\n", kOld,
         "EPS.res - decimal comma !!!\nEPS.res, line 1: a decimal comma "
         "before \",689281\"; numbers need a decimal point",
         nullptr},
        {"EPS = 1,5\n", kOld,
         "EPS.res - decimal comma !!!\nEPS.res, line 1: a decimal comma "
         "before \",5\"; numbers need a decimal point",
         nullptr},
        {"none\n2.5\n", kOld, "EPS.res - no number !!!\nEPS.res, line 1: \"none\" holds none",
         nullptr},
        {"", kOld, "EPS.res - no number !!!\nEPS.res is empty", nullptr},
    };
    for (const auto& c : cases) {
        RecordingHost h;
        state->eps = kOld;
        dir.Write("EPS.res", c.text);
        ReadEpsValue(*state, h, state->eps);
        if (std::isnan(c.eps)) {
            EXPECT_TRUE(std::isnan(state->eps)) << c.text;
        } else {
            EXPECT_EQ(state->eps, c.eps) << c.text;
        }
        EXPECT_EQ(h.messages, c.message ? Messages{c.message} : Messages{}) << c.text;
        EXPECT_EQ(h.notices, c.notice ? Messages{c.notice} : Messages{}) << c.text;
    }
}

TEST_F(CurveFilesTest, NumbersReadTheSameUnderACommaLocale) {
    testing::ScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing (scripts/zelk.sh install)";
    ASSERT_EQ(std::strtod("2,5", nullptr), 2.5);
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    dir.Write("exp.dat", "2 1\n2.5 0.125\n3.5 1.75\n");
    dir.Write("res.dat", "1 1 x,y\n2.5 0.5\n");
    dir.Write("EPS.res", "0.0625");
    ReadCurveFiles(*state, host);
    EXPECT_EQ(state->experimental.x[1], 3.5f);
    EXPECT_EQ(state->experimental.y[12], 1.75f);
    EXPECT_EQ(state->result.x[0], 2.5f);
    EXPECT_EQ(state->result.y[0], 0.5f);
    EXPECT_EQ(state->eps, 0.0625f);
}

}  // namespace
}  // namespace zelk
