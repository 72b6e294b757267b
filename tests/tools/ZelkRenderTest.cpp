#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "support/QtTestApp.h"

namespace {

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new zelk::testing::QtTestApp);

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RenderWith(const QStringList& args,
                   const std::function<void(QProcess&)>& prepare = nullptr) {
    QProcess process;
    if (prepare) {
        prepare(process);
    }
    process.start(QStringLiteral(ZELK_RENDER_PATH), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line) {
            return i;
        }
    }
    return lines.size();
}

// A task of three experimental curves and a fit of three curves: x from 0 to
// 10, y from 0 to 3, stacking offset 1, markers at 2.5 and 7.5.
class ZelkRender : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Write("START_A.INP",
              "Zelk test task\noptions:\nopt.inp\nmodel:\nmodel.inp\n1 experiment\n"
              "experimental curves:\nexp.dat\n2.5  7.5  markers\nfitting program:\nfit.exe\n"
              "result curves:\nres.dat\naxis file:\naxis.inp\n");
        Write("axis.inp", "0\n10\n2\n0\n3\n1\n1\n1\n1\n");
        Write("exp.dat", "3 3\n0 0.5 0.5 0.5\n5 1 1 1\n10 0.5 0.5 0.5\n");
        Write("res.dat", "3 3  x y0 y1 y2\n0 0.4 0.4 0.4\n5 0.9 0.9 0.9\n10 0.4 0.4 0.4\n");
        Write("EPS.res", "0.1234567\n");
    }

    void Write(const char* name, const char* text) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    Outcome Render(QStringList args, const std::function<void(QProcess&)>& prepare = nullptr) {
        args.prepend(dir_.path());
        args.prepend(QStringLiteral("--dir"));
        return RenderWith(args, prepare);
    }

    QByteArray Read(const char* name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir_;
};

TEST_F(ZelkRender, OpsOfTheExperimentalCurves) {
    const Outcome run = Render({"--size", "465x360", "--ops", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("zelk-render:"), std::string::npos) << "no message: " << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "fill 0 0 465 360 0xFFC8C8");
    EXPECT_EQ(lines[1], "fill 45 20 400 300 0xFFFFFF");
    EXPECT_EQ(lines[2], "fill 1 1 1 1 0xFFC8C8");
    EXPECT_EQ(lines[3], "move 45 326");
    EXPECT_EQ(lines[5], "text 31 328 0.00");
    EXPECT_LT(IndexOf(lines, "text 428 328 10.00"), lines.size());
    for (const char* tick :
         {"text 5 312 0.00", "text 5 212 1.00", "text 5 112 2.00", "text 5 12 3.00"}) {
        EXPECT_LT(IndexOf(lines, tick), lines.size()) << tick;
    }
    // Curve 0, raised by 2: blue squares and line; its dotted base line at 2.
    const std::size_t squares = IndexOf(lines, "fill 43 68 4 4 0xFF0000");
    ASSERT_LT(squares, lines.size());
    EXPECT_EQ(lines[squares + 1], "fill 243 18 4 4 0xFF0000");
    EXPECT_LT(IndexOf(lines, "pen 0 1 0xFF0000"), lines.size());
    EXPECT_LT(IndexOf(lines, "pen 0 1 0x9B0064"), lines.size());
    EXPECT_LT(IndexOf(lines, "pen 0 1 0x3700C8"), lines.size());
    EXPECT_EQ(IndexOf(lines, "text 50 19  EPS =   0.1234567"), lines.size()) << "no fit yet";
}

TEST_F(ZelkRender, OpsOfAFit) {
    const Outcome run = Render({"--size", "465x360", "--fit-runs", "1", "--ops", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = SplitLines(run.out);
    const std::size_t eps = IndexOf(lines, "text 50 19  EPS =   0.1234567");
    ASSERT_LT(eps, lines.size());
    EXPECT_EQ(lines[eps - 1], "fill 50 19 0 0 0xFFFFFF");
    EXPECT_EQ(IndexOf(lines, "text 50 4  EPSs=  0.1234567"), lines.size()) << "no snapshot";
    // The fitted curve 0 in red with the 2-pixel pen, then the two markers.
    EXPECT_LT(IndexOf(lines, "pen 0 2 0x0000FF"), eps);
    ASSERT_GE(lines.size(), 12u);
    const std::vector<std::string> tail(lines.end() - 12, lines.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{
                  "fill 61 41 1 1 0xFFFFFF", "move 145 320", "pen 2 1 0x000000", "line 145 320",
                  "line 145 20", "unpen", "fill 61 41 1 1 0xFFFFFF", "move 345 320",
                  "pen 2 1 0x000000", "line 345 320", "line 345 20", "unpen"}));
}

TEST_F(ZelkRender, OpsOfASnapshot) {
    const Outcome run =
        Render({"--size", "465x360", "--fit-runs", "1", "--snapshot", "--ops", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = SplitLines(run.out);
    const std::size_t epsPrevious = IndexOf(lines, "text 50 4  EPSs=  0.1234567");
    ASSERT_LT(epsPrevious, lines.size());
    EXPECT_EQ(lines[epsPrevious - 1], "fill 50 4 0 0 0xFFFFFF");
    EXPECT_LT(epsPrevious, IndexOf(lines, "text 50 19  EPS =   0.1234567"));
    // The kept curves, dotted 1-pixel lines in the result colours.
    EXPECT_LT(IndexOf(lines, "pen 2 1 0x0000FF"), epsPrevious);
}

TEST_F(ZelkRender, PicturesShowTheWholePlot) {
    for (const char* name : {"plot.png", "plot.svg", "plot.pdf"}) {
        const Outcome run = Render({"--size", "465x360", "--fit-runs", "1", "-o", Path(name)});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_GT(QFile(Path(name)).size(), 500) << name;
    }
    QFile svg(Path("plot.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray svgText = svg.readAll();
    EXPECT_TRUE(svgText.contains("EPS")) << "the EPS text is part of the picture";
    EXPECT_TRUE(svgText.contains("10.00"));

    const QImage png(Path("plot.png"));
    ASSERT_EQ(png.size(), QSize(465, 360));
    EXPECT_EQ(png.pixel(0, 0), qRgb(200, 200, 255));
    EXPECT_EQ(png.pixel(45, 21), qRgb(255, 255, 255));
    EXPECT_EQ(png.pixel(44, 21), qRgb(200, 200, 255));
    // The tick of 10.00 lies just right of the lowest base line's end.
    EXPECT_EQ(png.pixel(445, 321), qRgb(0, 0, 0)) << "x tick";
    EXPECT_EQ(png.pixel(445, 320), qRgb(200, 200, 255)) << "end pixel of the tick left out";
    EXPECT_EQ(png.pixel(145, 200), qRgb(0, 0, 0)) << "dotted marker at 2.5";
    // The " EPS =" text at (50, 19): black glyphs on a white cell.
    int black = 0;
    for (int y = 19; y < 31; ++y) {
        for (int x = 50; x < 150; ++x) {
            black += png.pixel(x, y) == qRgb(0, 0, 0);
        }
    }
    EXPECT_GT(black, 40);
    EXPECT_EQ(png.pixel(50, 19), qRgb(255, 255, 255));
}

TEST_F(ZelkRender, ShortTaskFileEndsWithInvalidParameters) {
    Write("START_A.INP", "1\n2\nopt\n4\nmodel\n1\n7\nexp.dat\n1 2\n10\nfit\n12\nres.dat\n14\n");
    const Outcome run = Render({"--ops", "-"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("Invalid parameters file"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(ZelkRender, MissingFilesAreReportedAndTheRunGoesOn) {
    QFile::remove(Path("exp.dat"));
    QFile::remove(Path("EPS.res"));
    const Outcome run = Render({"--fit-runs", "1", "--ops", Path("ops.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("fileE1 - absent !!!"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("EPS.res - absent !!!"), std::string::npos) << run.err;
    QFile ops(Path("ops.txt"));
    ASSERT_TRUE(ops.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ops.readLine().startsWith("fill 0 0 800 600 0xFFC8C8"));
}

TEST_F(ZelkRender, BadCommandLines) {
    const QStringList bad[] = {{"--size", "0x5", "--ops", "-"},
                               {"--size", "800", "--ops", "-"},
                               {"--fit-runs", "-1", "--ops", "-"},
                               {"-o", "plot.bmp"},
                               {"--bogus"},
                               {}};
    for (const QStringList& args : bad) {
        const Outcome run = Render(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(run.err.empty());
        EXPECT_EQ(run.out, "");
    }
    const Outcome missingDir = RenderWith({"--dir", Path("nowhere"), "--ops", "-"});
    EXPECT_EQ(missingDir.status, 2);
    const Outcome help = RenderWith({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--ops"), std::string::npos);
}

// A disk that fills up while the file is written: every write beyond half a
// kilobyte fails, as on a full disk (the child ignores SIGXFSZ, so the write
// itself reports the error).
void SmallFileLimit(QProcess& process) {
    process.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{512, 512};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
}

TEST_F(ZelkRender, AFullDiskFailsTheRunAndKeepsTheEarlierFile) {
    for (const char* name : {"plot.png", "plot.svg", "plot.pdf", "ops.txt"}) {
        Write(name, "earlier content");
        const bool ops = std::string(name) == "ops.txt";
        const QStringList args = ops ? QStringList{"--fit-runs", "1", "--ops", Path(name)}
                                     : QStringList{"--fit-runs", "1", "-o", Path(name)};
        const Outcome run = Render(args, SmallFileLimit);
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("cannot write the file"), std::string::npos) << name << run.err;
        EXPECT_EQ(Read(name), QByteArray("earlier content")) << name;
    }
    // No temporary file is left behind.
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files);
    for (const QString& file : left) {
        EXPECT_FALSE(file.startsWith("plot.") && file.size() > 8) << file.toStdString();
        EXPECT_FALSE(file.startsWith("ops.txt.")) << file.toStdString();
    }
}

TEST_F(ZelkRender, APictureReplacesAnEarlierOne) {
    Write("plot.png", "earlier content");
    const Outcome run = Render({"--size", "100x80", "-o", Path("plot.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(QImage(Path("plot.png")).size(), QSize(100, 80));
}

TEST_F(ZelkRender, OpsToAFullStandardOutputFail) {
    const Outcome run = Render({"--ops", "-"}, [](QProcess& process) {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST_F(ZelkRender, ADeviceNamedAsSuchTakesTheBytes) {
    // Scripts send what they do not need to /dev/null; a full device fails.
    const Outcome toNull = Render({"--ops", "/dev/null"});
    EXPECT_EQ(toNull.status, 0) << toNull.err;
    const Outcome toFull = Render({"--ops", "/dev/full"});
    EXPECT_EQ(toFull.status, 1);
    EXPECT_NE(toFull.err.find("cannot write"), std::string::npos) << toFull.err;
}

TEST_F(ZelkRender, OnlyRegularFilesAreReplaced) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), Path("plot.png")));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.svg")));
    for (const char* name : {"plot.png", "folder.svg"}) {
        const Outcome run = Render({"-o", Path(name)});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(QFileInfo(Path("plot.png")).isSymLink());
    EXPECT_TRUE(QFileInfo(Path("folder.svg")).isDir());
}

#ifdef ZELK_FIT_PROGRAM
// The demo task zoomed in and out on x and drawn at every small size, so that
// measured points, squares and fitted curves lie beyond every edge of the
// picture: each run ends normally with a picture of the asked size.
TEST(ZelkRenderSweep, TheDemoAtAnyRangeAndSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString demo = dir.filePath(QStringLiteral("demo"));
    QProcess make;
    make.start(QStringLiteral(ZELK_FIT_PROGRAM), {QStringLiteral("--make-demo"), demo});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    QProcess fit;  // a result and EPS.res, so that the fit is drawn too
    fit.setWorkingDirectory(demo);
    fit.start(QStringLiteral(ZELK_FIT_PROGRAM), {});
    ASSERT_TRUE(fit.waitForFinished(60000));
    ASSERT_EQ(fit.exitCode(), 0) << fit.readAllStandardError().toStdString();

    const char* const ranges[][2] = {
        {"0", "100"}, {"20", "80"}, {"40", "60"}, {"99", "100"}, {"-50", "0"}};
    const int sizes[][2] = {{1, 1},   {1, 120}, {120, 1}, {7, 7},    {30, 20},  {60, 60},
                            {65, 60}, {66, 61}, {82, 82}, {100, 45}, {119, 83}, {120, 120}};
    const QString picture = dir.filePath(QStringLiteral("plot.png"));
    for (const auto& range : ranges) {
        QFile axis(demo + QStringLiteral("/demo.axis"));
        ASSERT_TRUE(axis.open(QIODevice::WriteOnly | QIODevice::Truncate));
        axis.write(QByteArray(range[0]) + "\n" + range[1] + "\n10\n0\n6\n0.5\n1\n0.01\n2\n");
        axis.close();
        for (const auto& size : sizes) {
            const QString wxh = QStringLiteral("%1x%2").arg(size[0]).arg(size[1]);
            QFile::remove(picture);
            const Outcome run = RenderWith(
                {"--dir", demo, "--size", wxh, "--fit-runs", "1", "--snapshot", "-o", picture});
            ASSERT_EQ(run.status, 0)
                << range[0] << " to " << range[1] << " at " << wxh.toStdString() << ": " << run.err;
            EXPECT_EQ(QImage(picture).size(), QSize(size[0], size[1]));
        }
    }
}
#endif

}  // namespace
