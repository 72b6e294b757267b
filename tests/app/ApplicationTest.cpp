// Start-up from the command line and the application's commands: new, open,
// save, about, exit; the settings and the recent-file list.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/CAboutDlg.h"
#include "app/CZelkApp.h"
#include "commands/CommandIds.h"
#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "plot/PlotState.h"
#include "support/QtPrinters.h"
#include "support/SampleTask.h"

namespace zelk {
namespace {

class Application : public ::testing::Test {
  protected:
    void SetUp() override {
        app.chooseOpenFile = [this] { return openChoice; };
        // The names the user gives, one a question; then Cancel.
        app.chooseSaveFile = [this] {
            ++saveQuestions;
            return saveChoices.isEmpty() ? QString() : saveChoices.takeFirst();
        };
        app.runDialog = [this](QDialog& dialog) {
            shownDialogs.push_back(&dialog);
            aboutTitle = dialog.windowTitle();
            for (QLabel* label : dialog.findChildren<QLabel*>()) {
                aboutTexts << label->text();
            }
            return 0;
        };
        app.reportError = [this](const QString& text) { errors << text; };
        app.hasTerminal = [this] { return terminal; };
    }

    void Start(const QStringList& args = {}) {
        ASSERT_EQ(app.InitInstance(args), std::nullopt);
        ASSERT_NE(app.mainFrame(), nullptr);
        // Accelerators reach only the active window.
        app.mainFrame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app.mainFrame()));
    }
    PlotState& state() { return app.mainFrame()->view()->state(); }
    QString caption() { return app.mainFrame()->windowTitle(); }

    void WriteFile(const QString& path, const QByteArray& content = {}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir;
    CZelkApp app;
    QString openChoice;
    QStringList saveChoices;
    int saveQuestions = 0;
    std::vector<QDialog*> shownDialogs;
    QString aboutTitle;
    QStringList aboutTexts;
    QStringList errors;
    bool terminal = true;
};

TEST_F(Application, StartsWithAnUntitledDocumentAndAShownWindow) {
    Start();
    EXPECT_EQ(caption(), "Untitled - Zelk");
    EXPECT_TRUE(app.mainFrame()->isVisible());
    EXPECT_EQ(state().fitRunCount, 0);
    EXPECT_EQ(state().snapshotCount, 0);
}

TEST_F(Application, StartsWithAnExistingFileInTheCaption) {
    const QString path = dir.filePath("run7.dat");
    WriteFile(path, "x");
    Start({path});
    EXPECT_EQ(caption(), "run7.dat - Zelk");
    ASSERT_FALSE(app.recentFiles().files().isEmpty());
    EXPECT_TRUE(app.recentFiles().files()[0].endsWith("run7.dat"));
    EXPECT_TRUE(state().expFile.empty()) << "the file is not read";
}

struct FailedStart {
    const char* name;
    QStringList args;
    int status;
};

void PrintTo(const FailedStart& c, std::ostream* os) {
    *os << c.name;
}

class FailedStartTest : public ::testing::TestWithParam<FailedStart> {};

TEST_P(FailedStartTest, EndsWithoutShowingTheWindow) {
    CZelkApp app;
    app.hasTerminal = [] { return true; };
    EXPECT_EQ(app.InitInstance(GetParam().args), GetParam().status);
    EXPECT_TRUE(app.mainFrame() == nullptr || !app.mainFrame()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, FailedStartTest,
    ::testing::Values(FailedStart{"MissingFile", {"/no/such/file.dat"}, 1},
                      FailedStart{"MissingPrintFile", {"/p", "/no/such/file.dat"}, 1},
                      FailedStart{"MissingTaskDir", {"--task", "/no/such/dir"}, 1},
                      FailedStart{"UnknownSwitch", {"--frobnicate"}, 2},
                      FailedStart{"Help", {"--help"}, 0}, FailedStart{"Version", {"--version"}, 0}),
    [](const ::testing::TestParamInfo<FailedStart>& param) { return param.param.name; });

TEST_F(Application, TaskFolderWithoutTaskFileEndsStartUp) {
    EXPECT_EQ(app.InitInstance({"--task", dir.path()}), 1);
}

// Started from a desktop, nobody reads standard error: what ends start-up is
// shown in a box as well.
TEST_F(Application, StartUpFailureIsShownInABoxWithoutATerminal) {
    struct Case {
        QStringList args;
        const char* box;  // how the box's text starts
    };
    const Case cases[] = {
        {{"/no/such/file.dat"}, "Cannot open /no/such/file.dat"},
        {{"/p", "/no/such/file.dat"}, "Cannot open /no/such/file.dat"},
        {{"--task", "/no/such/dir"}, "/no/such/dir is not a folder"},
    };
    for (const Case& c : cases) {
        for (const bool withTerminal : {true, false}) {
            CZelkApp fresh;
            QStringList shown;
            fresh.reportError = [&shown](const QString& text) { shown << text; };
            fresh.hasTerminal = [withTerminal] { return withTerminal; };
            EXPECT_EQ(fresh.InitInstance(c.args), 1);
            if (withTerminal) {
                EXPECT_TRUE(shown.isEmpty());
            } else {
                ASSERT_EQ(shown.size(), 1) << c.box;
                EXPECT_TRUE(shown[0].startsWith(c.box)) << shown[0].toStdString();
            }
        }
    }
}

// "&Set Task" says so when the axis file is missing; loading a task from the
// command line must too, not show a blank plot without a word.
TEST_F(Application, TaskWithoutItsAxisFileSaysSo) {
    testing::SampleTask task;
    QFile::remove(task.File("axis.inp"));
    QStringList boxes;
    QTimer::singleShot(0, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    Start({"--task", task.path()});
    EXPECT_EQ(boxes, QStringList{"CAN NOT FIND FILE: fileAXIS\naxis.inp"});
    EXPECT_EQ(state().experimental.curveCount, 2);
}

TEST_F(Application, TaskOptionLoadsTheTaskAndMakesItsFolderCurrent) {
    testing::SampleTask task;
    const QString before = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath());
    Start({"--task", task.path()});
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(task.path()).canonicalPath());
    EXPECT_EQ(state().experimental.curveCount, 2);
    EXPECT_EQ(state().axisFile, "axis.inp");
    EXPECT_FALSE(state().workDir.empty());
    EXPECT_FALSE(state().windowsDir.empty());
    QDir::setCurrent(before);
}

TEST_F(Application, CtrlNAfterAFitResetsTheCountersAndKeepsTheTask) {
    testing::SampleTask task;
    Start({"--task", task.path()});
    app.mainFrame()->SetDocumentTitle("x");
    state().fitRunCount = 2;
    state().snapshotCount = 1;
    QTest::keyClick(app.mainFrame()->view(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(state().fitRunCount, 0);
    EXPECT_EQ(state().snapshotCount, 0);
    EXPECT_EQ(state().experimental.pointCount, 3);
    EXPECT_EQ(caption(), "Untitled - Zelk");
}

TEST_F(Application, CtrlSAsksForANameAndWritesAnEmptyFile) {
    Start();
    const QString saved = dir.filePath("saved.zelk");
    saveChoices = {saved};
    QTest::keyClick(app.mainFrame()->view(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveQuestions, 1);
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(QFileInfo(saved).size(), 0);
    EXPECT_EQ(caption(), "saved.zelk - Zelk");
    // Once named, the document is saved under its name without a question.
    app.OnFileSave();
    EXPECT_EQ(saveQuestions, 1);
    EXPECT_TRUE(errors.isEmpty());
}

// Ctrl+O, Ctrl+S, and the same name chosen again (the save dialog offers it
// and asks only whether to replace it): a save writes an empty file, so a
// file with content is never its target. The user is told why and asked
// for another name.
TEST_F(Application, SaveNeverEmptiesAFileWithContent) {
    struct Case {
        QStringList choices;  // the names given, in turn; then Cancel
        int questions;
        int refusals;
        const char* caption;
    };
    const Case cases[] = {
        {{}, 1, 1, "START_A.INP - Zelk"},
        {{"START_A.INP"}, 2, 2, "START_A.INP - Zelk"},
        {{"START_A.INP", "other.dat", "copy.zelk"}, 3, 3, "copy.zelk - Zelk"},
        {{"empty.zelk"}, 1, 1, "empty.zelk - Zelk"},
    };
    Start();
    for (const Case& c : cases) {
        openChoice = dir.filePath("START_A.INP");
        WriteFile(openChoice, "task line\n");
        WriteFile(dir.filePath("other.dat"), "1 2\n");
        WriteFile(dir.filePath("empty.zelk"));
        app.OnFileOpen();
        ASSERT_EQ(caption(), "START_A.INP - Zelk");
        saveQuestions = 0;
        errors.clear();
        saveChoices.clear();
        for (const QString& name : c.choices) {
            saveChoices << dir.filePath(name);
        }
        QTest::keyClick(app.mainFrame()->view(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(saveQuestions, c.questions) << c.caption;
        ASSERT_EQ(errors.size(), c.refusals) << c.caption;
        EXPECT_TRUE(errors[0].startsWith(QDir::toNativeSeparators(openChoice) +
                                         " is not saved over.\nIt has content"))
            << errors[0].toStdString();
        EXPECT_EQ(QFileInfo(openChoice).size(), 10);
        EXPECT_EQ(QFileInfo(dir.filePath("other.dat")).size(), 4);
        EXPECT_EQ(caption(), c.caption);
    }
    EXPECT_EQ(QFileInfo(dir.filePath("copy.zelk")).size(), 0);
}

TEST_F(Application, SaveCancelledWritesNothing) {
    Start();
    saveChoices.clear();
    app.OnFileSave();
    EXPECT_EQ(caption(), "Untitled - Zelk");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Application, CtrlOChangesOnlyCaptionRecentListAndCounters) {
    testing::SampleTask task;
    Start({"--task", task.path()});
    state().fitRunCount = 4;
    openChoice = dir.filePath("other.dat");
    WriteFile(openChoice, "text");
    QTest::keyClick(app.mainFrame()->view(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(caption(), "other.dat - Zelk");
    EXPECT_EQ(state().fitRunCount, 0);
    EXPECT_EQ(state().experimental.curveCount, 2);
    EXPECT_TRUE(app.recentFiles().files()[0].endsWith("other.dat"));
}

TEST_F(Application, OpenOfAMissingFileReportsAndKeepsTheDocument) {
    Start();
    openChoice = dir.filePath("gone.dat");
    app.OnFileOpen();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("gone.dat"));
    EXPECT_EQ(caption(), "Untitled - Zelk");
    EXPECT_TRUE(app.recentFiles().files().isEmpty() ||
                !app.recentFiles().files()[0].endsWith("gone.dat"));
}

TEST_F(Application, AboutBoxShowsNameAndVersion) {
    Start();
    app.mainFrame()->ActionFor(ID_APP_ABOUT)->trigger();
    ASSERT_EQ(shownDialogs.size(), 1u);
    EXPECT_EQ(aboutTitle, "About Zelk");
    EXPECT_TRUE(aboutTexts.contains("Zelk Version 1.0"));
}

TEST_F(Application, ExitAndClosingNeverAskAnything) {
    Start();
    state().fitRunCount = 1;
    app.mainFrame()->ActionFor(ID_APP_EXIT)->trigger();
    EXPECT_FALSE(app.mainFrame()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(saveQuestions, 0);
    app.mainFrame()->show();
    EXPECT_TRUE(app.mainFrame()->close());
    EXPECT_EQ(saveQuestions, 0);
}

TEST_F(Application, RecentFilesAreStoredUnderTheApplicationsKey) {
    const QString path = dir.filePath("kept.dat");
    WriteFile(path);
    Start({path});
    app.ExitInstance();
    QSettings settings("Local AppWizard-Generated Applications", "Zelk");
    EXPECT_TRUE(settings.value("Recent File List/File1").toString().endsWith("kept.dat"));
    // The next run finds it again.
    CZelkApp next;
    ASSERT_EQ(next.InitInstance({}), std::nullopt);
    ASSERT_FALSE(next.recentFiles().files().isEmpty());
    EXPECT_TRUE(next.recentFiles().files()[0].endsWith("kept.dat"));
}

}  // namespace
}  // namespace zelk
