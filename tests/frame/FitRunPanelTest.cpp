// The fit-run panel's line handling (console overwrite, encodings split over
// chunks, the line cap), its end lines, and the run log on disk.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <random>

#include "frame/FitOutputLines.h"
#include "frame/FitRunLog.h"
#include "frame/FitRunPanel.h"
#include "support/TempDir.h"

namespace zelk::testing {
namespace {

QString Lines(const FitOutputLines& out) {
    QStringList all;
    for (const QString& line : out.lines()) {
        all << line;
    }
    return all.join(u'|');
}

struct LineCase {
    const char* name;
    std::vector<QByteArray> chunks;
    bool finish;       // FinishInput() after the chunks
    QString lines;     // ended lines joined by '|'
    QString openLine;  // the line still being written
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineHandling : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineHandling, ShowsTheOutputAsAConsoleWould) {
    const LineCase& c = GetParam();
    FitOutputLines out;
    for (const QByteArray& chunk : c.chunks) {
        out.Append(chunk);
    }
    if (c.finish) {
        out.FinishInput();
    }
    EXPECT_EQ(Lines(out), c.lines);
    EXPECT_EQ(out.openLine(), c.openLine);
}

const QString kEAcute = QString(QChar(0xE9));
const QString kGrin = QString::fromUtf8("\xF0\x9F\x98\x80");

INSTANTIATE_TEST_SUITE_P(
    Output, LineHandling,
    ::testing::Values(
        LineCase{"LinesAndAnOpenLine", {"one\ntwo\nthr", "ee"}, false, "one|two", "three"},
        LineCase{"CarriageReturnOverwrites", {"10%\r20%\r30%\n"}, false, "30%", ""},
        LineCase{"ShorterTextOverwritesOnlyItsColumns", {"abcdef\rXY\n"}, false, "XYcdef", ""},
        LineCase{"CrLfEndsALine", {"one\r\n", "two\r", "\nthree"}, false, "one|two", "three"},
        LineCase{
            "ProgressAcrossChunks", {"step 1", "\rstep 2", "\r", "step 3"}, false, "", "step 3"},
        LineCase{"BackspaceStepsBack", {"ab\bc\n"}, false, "ac", ""},
        LineCase{"BellAndEscapeHaveNoPicture",
                 {"a\x07"
                  "b\x1b"
                  "c\n"},
                 false,
                 "abc",
                 ""},
        LineCase{"TabIsKept", {"a\tb\n"}, false, "a\tb", ""},
        LineCase{"Utf8", {"caf\xC3\xA9\n"}, false, "caf" + kEAcute, ""},
        LineCase{"Utf8SplitBetweenChunks", {"caf\xC3", "\xA9\n"}, false, "caf" + kEAcute, ""},
        LineCase{
            "FourBytesOverThreeChunks", {"\xF0\x9F", "\x98", "\x80!\n"}, false, kGrin + "!", ""},
        LineCase{"Latin1", {"caf\xE9 au lait\n"}, false, "caf" + kEAcute + " au lait", ""},
        LineCase{"Latin1AtTheEndOfAChunk", {"caf\xE9", "\n"}, false, "caf" + kEAcute, ""},
        LineCase{"Latin1BeforeAnEndOfOutput", {"x\xC3"}, true, "", "x" + QString(QChar(0xC3))},
        LineCase{"MixedInOneLine", {"\xC3\xA9 or \xE9\n"}, false, kEAcute + " or " + kEAcute, ""},
        LineCase{"EncodedSurrogateIsNotUtf8",
                 {"\xED\xA0\x80\n"},
                 false,
                 QString(QChar(0xED)) + QChar(0xA0) + QChar(0x80),
                 ""},
        LineCase{
            "OverlongIsNotUtf8", {"\xC0\xAF\n"}, false, QString(QChar(0xC0)) + QChar(0xAF), ""}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.name); });

TEST(FitOutputLines, KeepsTheLastTenThousandLines) {
    FitOutputLines out;
    QByteArray text;
    for (int i = 1; i <= 10050; ++i) {
        text += "line " + QByteArray::number(i) + '\n';
    }
    out.Append(text);
    ASSERT_EQ(out.lines().size(), 10000u);
    EXPECT_EQ(out.lines().front(), "line 51");
    EXPECT_EQ(out.lines().back(), "line 10050");
}

TEST(FitOutputLines, AVeryLongLineWrapsAndTheKeptTextIsBounded) {
    FitOutputLines out;
    const QByteArray chunk(1 << 20, 'x');
    for (int i = 0; i < 12; ++i) {  // 12 MB without a line feed
        out.Append(chunk);
    }
    qsizetype kept = out.openLine().size();
    for (const QString& line : out.lines()) {
        EXPECT_LE(line.size(), FitOutputLines::kMaxLineLength);
        kept += line.size();
    }
    EXPECT_LE(kept, FitOutputLines::kMaxKeptChars + FitOutputLines::kMaxLineLength);
    EXPECT_GT(out.lines().size(), 100u);
}

TEST(FitOutputLines, ANoteEndsTheOpenLine) {
    FitOutputLines out;
    out.Append("half a line");
    out.AddLine("stopped");
    EXPECT_EQ(Lines(out), "half a line|stopped");
    EXPECT_EQ(out.openLine(), "");
}

struct EndCase {
    ProgramEnd end;
    const char* line;
};

TEST(FitRunEndLine, SaysHowTheRunEnded) {
    const std::vector<EndCase> cases = {
        {{ProgramEnd::How::Exited, 3, "", 12.44}, "ended with exit status 3 after 12.4 s"},
        {{ProgramEnd::How::Exited, 0, "", 0.05}, "ended with exit status 0 after 0.1 s"},
        {{ProgramEnd::How::Signalled, 11, "Segmentation fault", 1.0},
         "ended by signal 11 (Segmentation fault)"},
        {{ProgramEnd::How::Signalled, 9, "", 1.0}, "ended by signal 9"},
        {{ProgramEnd::How::Stopped, 15, "stopped", 3.0}, "stopped"},
        {{ProgramEnd::How::NotStarted, 13, "not executable (no permission)", 0.0},
         "could not start: not executable (no permission)"},
    };
    for (const EndCase& c : cases) {
        EXPECT_EQ(FitRunEndLine(c.end), QString::fromLatin1(c.line));
    }
}

// The panel draws from the lines in pieces (only what changed); whatever the
// chunks and whenever it draws, it must show exactly what is kept.
TEST(FitRunPanel, OutputIsInTheFixedFontOnceThePanelShows) {
    FitRunPanel panel;
    panel.AppendOutput("iteration   1   chi2 = 12.5\n");
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_TRUE(QFontInfo(panel.output()->font()).fixedPitch());
    EXPECT_EQ(panel.output()->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

TEST(FitRunPanel, DrawingInPiecesShowsExactlyTheKeptText) {
    std::mt19937 random(20261207);
    const QByteArray pieces[] = {"tick ", "\n",       "\r",
                                 "50%",   "\r\n",     "caf\xC3",
                                 "\xA9",  "\xE9",     "a longer line of output ",
                                 "\b",    "done\n\n", "x"};
    FitRunPanel panel;
    panel.BeginRun("heading");
    for (int round = 0; round < 3000; ++round) {
        panel.AppendOutput(pieces[random() % std::size(pieces)]);
        if (random() % 7 == 0) {
            panel.Flush();
            ASSERT_EQ(panel.output()->toPlainText(), panel.lines().Text()) << "round " << round;
        }
    }
    panel.EndRun("ended with exit status 0 after 1.0 s");
    EXPECT_EQ(panel.output()->toPlainText(), panel.lines().Text());
    EXPECT_TRUE(panel.output()->toPlainText().endsWith("\nended with exit status 0 after 1.0 s\n"));
}

TEST(FitRunPanel, ShowsTheLastTenThousandLinesEvenWhenFedInPieces) {
    FitRunPanel panel;
    panel.BeginRun("heading");
    for (int i = 1; i <= 10050; ++i) {
        panel.AppendOutput("line " + QByteArray::number(i) + '\n');
        if (i % 1000 == 0) {
            panel.Flush();
        }
    }
    panel.Flush();
    const QStringList shown = panel.output()->toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), 10001);  // the lines and the empty open line
    EXPECT_EQ(shown.front(), "line 51");
    EXPECT_EQ(shown[9999], "line 10050");
}

TEST(FitRunPanel, ANewRunStartsEmptyAndOpensThePanel) {
    FitRunPanel panel;
    panel.hide();
    panel.BeginRun("first");
    panel.AppendOutput("old output\n");
    panel.EndRun("stopped");
    panel.hide();
    panel.BeginRun("./fit in /task, started 2026-12-07 10:00:00");
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.stopButton()->isEnabled());
    EXPECT_EQ(panel.output()->toPlainText(), "");
    EXPECT_EQ(panel.heading()->text(), "./fit in /task, started 2026-12-07 10:00:00");
    panel.EndRun("stopped");
    EXPECT_FALSE(panel.stopButton()->isEnabled());
}

TEST(FitRunPanel, StopAndOpenLogFolderButtons) {
    TempDir dir;
    FitRunPanel panel;
    const QString folder = QString::fromStdString((dir.Path() / "runs").string());
    panel.SetLogFolder(folder);
    QList<QUrl> opened;
    panel.openUrl = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    QSignalSpy stops(&panel, &FitRunPanel::stopClicked);
    panel.BeginRun("heading");
    panel.stopButton()->click();
    EXPECT_EQ(stops.count(), 1);
    panel.openLogFolderButton()->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder));
    EXPECT_TRUE(QDir(folder).exists());  // made, so that there is something to open
}

// The run log: heading, the output byte for byte, the end line; written
// under a temporary name and renamed once complete.
TEST(FitRunLog, HoldsTheWholeRunUnderItsFinalNameOnceComplete) {
    TempDir dir;
    const QString folder = QString::fromStdString((dir.Path() / "runs").string());
    FitRunLog log(folder);
    const QDateTime start(QDate(2026, 12, 7), QTime(14, 3, 12));
    ASSERT_TRUE(log.Begin(start, "./fit in /task, started 2026-12-07 14:03:12"));
    log.Append("raw \xE9 bytes\r50%\r100%");  // no line feed at the end
    QStringList during = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(during[0].endsWith(".log.part")) << during[0].toStdString();
    EXPECT_TRUE(during[0].startsWith("20261207-140312-000-"));
    const QString path = log.Finish("ended with exit status 0 after 1.0 s");
    EXPECT_TRUE(path.endsWith(".log"));
    const QStringList after = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(after.size(), 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("./fit in /task, started 2026-12-07 14:03:12\n"
                                         "raw \xE9 bytes\r50%\r100%\n"
                                         "ended with exit status 0 after 1.0 s\n"));
}

TEST(FitRunLog, AFloodStopsAtTheSizeLimitButTheEndLineIsWritten) {
    TempDir dir;
    FitRunLog log(QString::fromStdString(dir.Path().string()), 10);
    ASSERT_TRUE(log.Begin(QDateTime(QDate(2026, 12, 7), QTime(9, 0)), "heading"));
    log.Append("0123456");
    log.Append("789abcdef");
    log.Append("more and more");
    QFile file(log.Finish("stopped"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("heading\n0123456789\n"
                                         "Zelk: the log stops here; the output went on past 10 "
                                         "bytes\nstopped\n"));
}

TEST(FitRunLog, TheFolderKeepsTheNewestHundred) {
    TempDir dir;
    const QString folder = QString::fromStdString((dir.Path() / "runs").string());
    for (int i = 0; i < 105; ++i) {
        dir.Write("runs/20250101-0000" + std::to_string(10 + i / 60) + "-" +
                      std::to_string(100 + i) + "-1.log",
                  "old run\n");
    }
    dir.Write("runs/notes.txt", "the user's own file\n");
    FitRunLog log(folder);
    ASSERT_TRUE(log.Begin(QDateTime(QDate(2026, 12, 7), QTime(9, 0)), "heading"));
    const QString path = log.Finish("stopped");
    const QStringList logs = QDir(folder).entryList({"*.log"}, QDir::Files, QDir::Name);
    ASSERT_EQ(logs.size(), FitRunLog::kKeep);
    EXPECT_EQ(logs.back(), QFileInfo(path).fileName());    // the new one stays
    EXPECT_EQ(logs.front(), "20250101-000010-106-1.log");  // the six oldest went
    EXPECT_TRUE(dir.Exists("runs/notes.txt"));
}

}  // namespace
}  // namespace zelk::testing
