// The demo fitting program's file formats: model, option records, curve
// files and the task file, read and written.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CurveFile.h"
#include "Model.h"
#include "Options.h"
#include "TaskFile.h"
#include "Text.h"

namespace zelk::fit {
namespace {

// Zelk's placeholder FIT.INP: ten identical lines.
std::string Placeholder() {
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000 \n";
    }
    return text;
}

TEST(FitText, NumbersAreReadWholeAndFiniteOnly) {
    struct Case {
        const char* token;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"2.5", true, 2.5}, {"-1e3", true, -1000.0}, {"+4", true, 4.0},  {".5", true, 0.5},
        {"1.", true, 1.0},  {"2,5", false, 0},       {"1.5x", false, 0}, {"nan", false, 0},
        {"inf", false, 0},  {"1e999", false, 0},     {"", false, 0},     {"+", false, 0},
        {"+-1", false, 0},  {"--1", false, 0},       {"e5", false, 0},   {"0x10", false, 0},
    };
    for (const Case& c : cases) {
        const auto value = ParseNumber(c.token);
        EXPECT_EQ(value.has_value(), c.ok) << c.token;
        if (c.ok && value) {
            EXPECT_DOUBLE_EQ(*value, c.value) << c.token;
        }
    }
}

TEST(FitText, ExactFormatReadsBackBitForBit) {
    for (double v : {0.1, -1.0 / 3.0, 1e-300, 123456789.123456789, 6.02214076e23}) {
        EXPECT_EQ(*ParseNumber(FormatExact(v)), v);
    }
}

TEST(FitModelFile, ReadsBlocksFlagsCommentsAndCrLf) {
    const Model m = ParseModel(
        "# demo\r\n"
        "curve first   # a comment\r\n"
        "background 1.5 v -0.25 F\r\n"
        "GAUSS 10 v 100 f 2 v\r\n"
        "\r\n"
        "curve\r\n"
        "lorentz 20 f 50 v 4 V\r\n",
        "m.mod");
    ASSERT_EQ(m.curves.size(), 2u);
    const CurveModel& a = m.curves[0];
    EXPECT_EQ(a.name, "first");
    EXPECT_EQ(a.offset.value, 1.5);
    EXPECT_TRUE(a.offset.vary);
    EXPECT_EQ(a.slope.value, -0.25);
    EXPECT_FALSE(a.slope.vary);
    ASSERT_EQ(a.peaks.size(), 1u);
    EXPECT_EQ(a.peaks[0].shape, PeakShape::kGauss);
    EXPECT_FALSE(a.peaks[0].height.vary);
    const CurveModel& b = m.curves[1];
    EXPECT_EQ(b.name, "curve2");
    // No background line: a fixed zero background.
    EXPECT_EQ(b.offset.value, 0.0);
    EXPECT_FALSE(b.offset.vary);
    ASSERT_EQ(b.peaks.size(), 1u);
    EXPECT_EQ(b.peaks[0].shape, PeakShape::kLorentz);
    EXPECT_TRUE(b.peaks[0].width.vary);
}

TEST(FitModelFile, RejectsMalformedInputWithFileAndLine) {
    struct Case {
        const char* text;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {"", "no \"curve\""},
        {"# only a comment\n", "no \"curve\""},
        {"gauss 1 v 2 v 3 v\n", "m.mod:1: expected \"curve\""},
        {"curve\ngauss 1 v 2 v\n", "m.mod:2: \"gauss\" takes 3 values"},
        {"curve\ngauss 1 v 2 v 3 x\n", "must be followed by v"},
        {"curve\ngauss 1 v two v 3 v\n", "the height \"two\" is not a number"},
        {"curve\ngauss 1 v 2 v 0 v\n", "the width must be above 0"},
        {"curve\ngauss 1 v 2 v -3 v\n", "the width must be above 0"},
        {"curve\ngauss nan v 2 v 3 v\n", "not a number"},
        {"curve\nbackground 1 v 2 v\nbackground 1 v 2 v\n", "a second background"},
        {"curve\nvoigt 1 v 2 v 3 v\n", "unknown keyword \"voigt\""},
        {"curve a b\n", "one word"},
        {"curve abcdefghijklmnopqrstuvwxyz\n", "at most 24"},
    };
    for (const Case& c : cases) {
        try {
            ParseModel(c.text, "m.mod");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const FitError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.text << " -> " << e.what();
        }
    }
}

TEST(FitModelFile, CapacitiesAreEnforced) {
    std::string curves;
    for (int i = 0; i < 13; ++i) {
        curves += "curve\n";
    }
    EXPECT_THROW(ParseModel(curves, "m"), FitError);
    std::string peaks = "curve\n";
    for (int i = 0; i < 65; ++i) {
        peaks += "gauss 1 v 1 v 1 v\n";
    }
    EXPECT_THROW(ParseModel(peaks, "m"), FitError);
}

TEST(FitModelFile, FormatReadsBackToTheSameModel) {
    const Model original = ParseModel(
        "curve one\nbackground 0.1 v 3e-7 f\ngauss 12.345678901234 v 1e5 f 0.3 v\n"
        "curve two\nlorentz -5 f 7 v 1 f\n",
        "m");
    const Model again = ParseModel(FormatModel(original, "line one\nline two"), "again");
    ASSERT_EQ(again.curves.size(), original.curves.size());
    for (std::size_t c = 0; c < original.curves.size(); ++c) {
        CurveModel a = original.curves[c];
        CurveModel b = again.curves[c];
        EXPECT_EQ(a.name, b.name);
        const auto pa = Parameters(a);
        const auto pb = Parameters(b);
        ASSERT_EQ(pa.size(), pb.size());
        for (std::size_t k = 0; k < pa.size(); ++k) {
            EXPECT_EQ(pa[k]->value, pb[k]->value);
            EXPECT_EQ(pa[k]->vary, pb[k]->vary);
        }
    }
}

TEST(FitModelFile, PeaksHaveTheirHeightAtTheCentreAndHalfAtHalfWidth) {
    CurveModel curve =
        ParseModel("curve\nbackground 2 v 0.5 v\ngauss 10 v 8 v 4 v\n", "m").curves[0];
    EXPECT_DOUBLE_EQ(Evaluate(curve, 10.0), 2.0 + 5.0 + 8.0);
    EXPECT_NEAR(Evaluate(curve, 12.0), 2.0 + 6.0 + 4.0, 1e-12);
    curve.peaks[0].shape = PeakShape::kLorentz;
    EXPECT_NEAR(Evaluate(curve, 8.0), 2.0 + 4.0 + 4.0, 1e-12);
}

// The solver trusts these derivatives; compare them with central differences.
TEST(FitModelFile, GradientMatchesNumericalDerivatives) {
    CurveModel curve = ParseModel(
                           "curve\nbackground 2 v 0.5 v\ngauss 10 v 8 v 4 v\n"
                           "lorentz 14 v -3 v 2.5 v\ngauss 9 v 2 v 1.5 v\n",
                           "m")
                           .curves[0];
    // A fit may drive a width negative; it counts by its magnitude.
    curve.peaks[2].width.value = -1.5;
    std::vector<double> gradient;
    for (double x : {-3.0, 7.5, 10.0, 11.2, 14.9, 30.0}) {
        EvaluateGradient(curve, x, gradient);
        const auto params = Parameters(curve);
        ASSERT_EQ(gradient.size(), params.size());
        for (std::size_t k = 0; k < params.size(); ++k) {
            const double saved = params[k]->value;
            const double h = 1e-6 * std::max(1.0, std::abs(saved));
            params[k]->value = saved + h;
            const double up = Evaluate(curve, x);
            params[k]->value = saved - h;
            const double down = Evaluate(curve, x);
            params[k]->value = saved;
            EXPECT_NEAR(gradient[k], (up - down) / (2 * h), 1e-6) << "x=" << x << " k=" << k;
        }
    }
}

TEST(FitOptions, PlaceholderMeansEveryCurveWithTheDefaults) {
    CalcOptions calc;
    calc.maxEvaluations = 321;
    calc.tolerance = 1e-7;
    calc.sigma = 2.5;
    std::vector<std::string> warnings;
    const auto options = ResolveOptions(ParseFitInput(Placeholder(), "FIT.INP"), calc, 3, warnings);
    const auto defaults = ResolveOptions({}, calc, 3, warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(options.size(), 3u);
    for (std::size_t c = 0; c < 3; ++c) {
        for (const CurveOptions& o : {options[c], defaults[c]}) {
            EXPECT_TRUE(o.fit);
            EXPECT_TRUE(o.wholeRange);
            EXPECT_FALSE(o.countingWeights);
            EXPECT_EQ(o.sigma, 2.5);
            EXPECT_EQ(o.maxEvaluations, 321);
            EXPECT_FALSE(o.backgroundFixed);
            EXPECT_EQ(o.tolerance, 1e-7);
        }
    }
}

TEST(FitOptions, LaterRecordsOverrideForTheCurvesTheySelect) {
    const std::string text =
        " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000   all curves\n"
        "# curve 2 only evaluated, curve 3 over a range with counting weights\n"
        " 2  0  0 1 0 1 0 1 0\n"
        " 3  1  20 2 80 2.0 50 0 1e-6\n"
        " 5  1  0 1 0 1 0 1 0\n";
    CalcOptions calc;
    std::vector<std::string> warnings;
    const auto o = ResolveOptions(ParseFitInput(text, "FIT.INP"), calc, 3, warnings);
    ASSERT_EQ(warnings.size(), 1u);  // curve 5 of 3
    EXPECT_TRUE(o[0].fit);
    EXPECT_FALSE(o[1].fit);
    EXPECT_TRUE(o[2].fit);
    EXPECT_FALSE(o[2].wholeRange);
    EXPECT_EQ(o[2].from, 20.0);
    EXPECT_EQ(o[2].to, 80.0);
    EXPECT_TRUE(o[2].countingWeights);
    EXPECT_EQ(o[2].sigma, 2.0);
    EXPECT_EQ(o[2].maxEvaluations, 50);
    EXPECT_TRUE(o[2].backgroundFixed);
    EXPECT_EQ(o[2].tolerance, 1e-6);
}

TEST(FitOptions, RejectsMalformedRecordsAndOptions) {
    const char* badRecords[] = {
        " 0 1 0 1 0 1 0 1\n",      // eight numbers
        " 0 1 0 1 0 1 0 1 x\n",    // not a number
        " 0 2 0 1 0 1 0 1 0\n",    // fit switch
        " 0 1 0 3 0 1 0 1 0\n",    // weighting
        " 0 1 0 1 0 0 0 1 0\n",    // sigma factor 0
        " 0 1 0 1 0 1 -1 1 0\n",   // evaluations
        " 0 1 0 1 0 1 0 1 2\n",    // tolerance
        " -1 1 0 1 0 1 0 1 0\n",   // curve
        " 0.5 1 0 1 0 1 0 1 0\n",  // curve not whole
        " 0 1 0 1 0 1 99999999999 1 0\n",
    };
    for (const char* text : badRecords) {
        EXPECT_THROW(ParseFitInput(text, "FIT.INP"), FitError) << text;
    }
    const char* badOptions[] = {"sigma 0\n", "tolerance 1\n", "max-evaluations 0\n",
                                "speed 3\n", "sigma\n",       "sigma 1 2\n"};
    for (const char* text : badOptions) {
        EXPECT_THROW(ParseCalcOptions(text, "calc.opt"), FitError) << text;
    }
    const CalcOptions calc =
        ParseCalcOptions("# c\n\nsigma 3 # noise\ntolerance 1e-8\nmax-evaluations 77\n", "c");
    EXPECT_EQ(calc.sigma, 3.0);
    EXPECT_EQ(calc.tolerance, 1e-8);
    EXPECT_EQ(calc.maxEvaluations, 77);
}

TEST(FitCurveFile, ReadsPointsWhateverTheLayout) {
    for (const char* text : {"3 2\n1 10 20\n2 11 21\n3 12 22\n", "3 2\n1 10 20 2 11 21 3 12 22",
                             "3\t2\r\n1\r\n10\r\n20\r\n2 11\r\n21 3\r\n12 22\r\n"}) {
        const CurveData d = ParseCurveFile(text, "e.dat");
        ASSERT_EQ(d.x.size(), 3u) << text;
        ASSERT_EQ(d.y.size(), 2u);
        EXPECT_EQ(d.x[2], 3.0);
        EXPECT_EQ(d.y[0][1], 11.0);
        EXPECT_EQ(d.y[1][2], 22.0);
    }
}

TEST(FitCurveFile, RejectsMalformedFilesNamingTheLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"", "must begin with the point count"},
        {"3\n", "must begin with the point count"},
        {"0 1\n", "between 1 and 3500"},
        {"3501 1\n", "between 1 and 3500"},
        {"4294967297 1\n", "between 1 and 3500"},
        {"2 13\n", "between 1 and 12"},
        {"2 1 x y\n1 2\n3 4\n", "e.dat:1: text after the two counts"},
        {"2 1\n1 2\n3\n", "e.dat:3: the file ends after 1 of its 2 points"},
        {"2 1\n1 2\n3 four\n", "e.dat:3: \"four\" is not a number"},
        {"1 1\n1 nan\n", "not a number"},
    };
    for (const Case& c : cases) {
        try {
            ParseCurveFile(c.text, "e.dat");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const FitError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.text << " -> " << e.what();
        }
    }
}

TEST(FitCurveFile, ResultHeaderCarriesTitlesThatFitZelksLineRead) {
    CurveData d;
    d.x = {0.1, 0.2};
    d.y = {{1.0, 2.0}, {3.5, -4.25}};
    const std::string text = FormatResultFile(d, {"alpha", "beta"});
    EXPECT_EQ(text, "2 2 x alpha beta\n0.1 1 3.5\n0.2 2 -4.25\n");

    // Twelve long names would not fit into 98 characters after the counts.
    d.x = {1.0};
    d.y.assign(12, std::vector<double>{0.0});
    const std::string longNames = FormatResultFile(d, std::vector<std::string>(12, "abcdefghijkl"));
    const std::string header = longNames.substr(0, longNames.find('\n'));
    EXPECT_LE(header.size() - std::string("1 12").size(), 98u);
    EXPECT_NE(header.find("fit12"), std::string::npos);
    // The reading side of this program takes its own result file back.
    const std::string body = longNames.substr(longNames.find('\n') + 1);
    EXPECT_EQ(ParseCurveFile("1 12\n" + body, "r").y.size(), 12u);
}

TEST(FitTaskFile, FindsTheNamesLikeZelkDoes) {
    const std::string task =
        "title\ncomment\nopt file.opt\nc\nmodel.mod\n1  flag comment\nc\nexp.dat\r\n"
        "2.5  7.25 markers\nc\n/opt/fit program\nc\nresult.res \nc\naxis.ax";
    const TaskNames n = ParseTaskFile(task);
    EXPECT_EQ(n.optFile, "opt file.opt");
    EXPECT_EQ(n.modelFile, "model.mod");
    EXPECT_EQ(n.experimentFlag, 1);
    EXPECT_EQ(n.expFile, "exp.dat");
    EXPECT_EQ(n.fitProgram, "/opt/fit program");
    EXPECT_EQ(n.resFile, "result.res ");  // trailing blanks belong to the name
    EXPECT_EQ(n.axisFile, "axis.ax");

    // An empty line 6 makes the flag's conversion read on, so the names shift.
    const TaskNames shifted =
        ParseTaskFile("t\nc\nopt\nc\nmodel\n\nc\nexp\n1 2\nc\nprog\nc\nres\nc\nax\n");
    EXPECT_EQ(shifted.expFile, "1 2");

    EXPECT_THROW(ParseTaskFile("1\n2\n3\n4\n5\n6\n7\n8\n9 9\n10\n11\n12\n"), FitError);
}

}  // namespace
}  // namespace zelk::fit
