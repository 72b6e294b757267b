// Task folders: "zelk DIR", "Open Task Folder..." and the recent task folders.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/CZelkApp.h"
#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "plot/PlotState.h"
#include "support/SampleTask.h"

namespace zelk {
namespace {

QString Canonical(const QString& path) {
    return QDir(path).canonicalPath();
}

class TaskFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings settings("Local AppWizard-Generated Applications", "Zelk");
        settings.remove("Recent Task Folders");
        app.chooseTaskFolder = [this] {
            ++questions;
            return choice;
        };
        app.reportError = [this](const QString& text) { errors << text; };
        before = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(before); }

    PlotState& state() { return app.mainFrame()->view()->state(); }
    QStringList RecentMenuTexts() {
        QStringList texts;
        for (QAction* entry : app.mainFrame()->recentTaskFoldersMenu()->actions()) {
            texts << entry->text();
        }
        return texts;
    }

    CZelkApp app;
    QString choice;
    int questions = 0;
    QStringList errors;
    QString before;
};

TEST_F(TaskFolders, AFolderOnTheCommandLineLoadsItsTask) {
    testing::SampleTask task;
    QDir::setCurrent(QDir::tempPath());
    ASSERT_EQ(app.InitInstance({task.path()}), std::nullopt);
    EXPECT_EQ(Canonical(QDir::currentPath()), Canonical(task.path()));
    EXPECT_EQ(state().experimental.curveCount, 2);
    EXPECT_EQ(state().expFile, "exp.dat");
    EXPECT_EQ(state().xMax, 100.0f);
    EXPECT_TRUE(app.mainFrame()->isVisible());
    EXPECT_EQ(app.mainFrame()->windowTitle(), "Untitled - Zelk") << "no document was opened";
    ASSERT_EQ(app.recentTaskFolders().files().size(), 1);
    EXPECT_EQ(Canonical(app.recentTaskFolders().files()[0]), Canonical(task.path()));
    for (const QString& file : app.recentFiles().files()) {
        EXPECT_NE(Canonical(file), Canonical(task.path())) << "a folder is no document";
    }
}

TEST_F(TaskFolders, AFolderWithoutATaskEndsStartUpAsTaskDoes) {
    QTemporaryDir empty;
    EXPECT_EQ(app.InitInstance({empty.path()}), 1);
    EXPECT_EQ(QDir::currentPath(), before) << "nothing changed";
}

TEST_F(TaskFolders, OpenTaskFolderLoadsTheChosenFolder) {
    ASSERT_EQ(app.InitInstance({}), std::nullopt);
    testing::SampleTask task;
    QDir::setCurrent(QDir::tempPath());
    choice = task.path();
    app.mainFrame()->openTaskFolderAction()->trigger();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(Canonical(QDir::currentPath()), Canonical(task.path()));
    EXPECT_EQ(state().experimental.curveCount, 2);
    EXPECT_TRUE(app.mainFrame()->recentTaskFoldersMenu()->isEnabled());
    ASSERT_EQ(RecentMenuTexts().size(), 1);
    EXPECT_TRUE(RecentMenuTexts()[0].startsWith("&1 "));
}

TEST_F(TaskFolders, CancelOrAFolderWithoutTaskChangesNothing) {
    ASSERT_EQ(app.InitInstance({}), std::nullopt);
    const QString start = QDir::currentPath();
    choice.clear();
    app.OnOpenTaskFolder();
    EXPECT_TRUE(errors.isEmpty());
    QTemporaryDir empty;
    choice = empty.path();
    app.OnOpenTaskFolder();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("START_A.INP")) << errors[0].toStdString();
    EXPECT_EQ(QDir::currentPath(), start);
    EXPECT_TRUE(state().workDir.empty());
    EXPECT_TRUE(app.recentTaskFolders().files().isEmpty());
}

TEST_F(TaskFolders, TheLastFourAreKeptNewestFirstAndReopenFromTheMenu) {
    ASSERT_EQ(app.InitInstance({}), std::nullopt);
    std::vector<std::unique_ptr<testing::SampleTask>> tasks;
    for (int i = 0; i < 5; ++i) {
        tasks.push_back(std::make_unique<testing::SampleTask>());
        ASSERT_TRUE(app.OpenTaskFolder(tasks.back()->path()));
    }
    ASSERT_TRUE(app.OpenTaskFolder(tasks[2]->path()));  // again: moves to the top
    const QStringList& recent = app.recentTaskFolders().files();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_EQ(Canonical(recent[0]), Canonical(tasks[2]->path()));
    EXPECT_EQ(Canonical(recent[1]), Canonical(tasks[4]->path()));
    EXPECT_EQ(Canonical(recent[3]), Canonical(tasks[1]->path()));
    EXPECT_EQ(RecentMenuTexts().size(), 4);

    // The fourth entry loads that folder.
    app.mainFrame()->recentTaskFoldersMenu()->actions()[3]->trigger();
    EXPECT_EQ(Canonical(QDir::currentPath()), Canonical(tasks[1]->path()));

    // Kept with the other settings for the next run.
    app.ExitInstance();
    CZelkApp next;
    ASSERT_EQ(next.InitInstance({}), std::nullopt);
    ASSERT_EQ(next.recentTaskFolders().files().size(), 4);
    EXPECT_EQ(Canonical(next.recentTaskFolders().files()[0]), Canonical(tasks[1]->path()));
    QSettings settings("Local AppWizard-Generated Applications", "Zelk");
    EXPECT_FALSE(settings.value("Recent Task Folders/Folder1").toString().isEmpty());
    while (!tasks.empty()) {
        tasks.pop_back();  // each restores the folder current before it
    }
}

}  // namespace
}  // namespace zelk
