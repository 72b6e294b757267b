// The fit run in the window: real scripted fitting programs run through the
// GuiHost, shown in the "Fitting Program" panel, stopped with the Stop button
// or Escape, and the close question while one runs.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <functional>
#include <memory>

#include "commands/CommandIds.h"
#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "frame/CommandTable.h"
#include "frame/FitRunPanel.h"
#include "frame/FrameFixture.h"
#include "support/SampleTask.h"
#include "support/TempDir.h"

namespace zelk::testing {
namespace {

class FitRunFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = std::make_unique<CMainFrame>();
        host().SetRunLogFolder(QString::fromStdString((logs.Path() / "runs").string()));
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    void TearDown() override { frame.reset(); }

    GuiHost& host() { return frame->view()->guiHost(); }
    FitRunPanel& panel() { return *frame->fitRunPanel(); }
    QAction* FittingProgramEntry() {
        for (QAction* entry : frame->menuBar()->actions()) {
            if (entry->text() == "&View") {
                for (QAction* item : entry->menu()->actions()) {
                    if (item->text() == "Fitting Program") {
                        return item;
                    }
                }
            }
        }
        return nullptr;
    }

    // A shell script in the task folder, executable.
    std::string Script(const std::string& name, const std::string& body) {
        const auto path = work.Write(name, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return "./" + name;
    }

    // Runs program through the GuiHost; step is called every 20 ms while it
    // runs (the waiting loop handles the timer) with the number of the call.
    ProgramEnd RunWith(const std::string& program, std::function<void(int)> step) {
        QTimer driver;
        int calls = 0;
        QObject::connect(&driver, &QTimer::timeout, [&] { step(calls++); });
        driver.start(20);
        return host().RunFitProgram(program, {program});
    }

    int Ticks() const { return frame->fitRunPanel()->output()->toPlainText().count("tick"); }
    QString LastLine() const {
        const FitOutputLines& lines = frame->fitRunPanel()->lines();
        return lines.lines().empty() ? QString() : lines.lines().back();
    }

    TempWorkDir work;
    TempDir logs;
    std::unique_ptr<CMainFrame> frame;
};

const char* kTicker = "while :; do echo tick; sleep 0.05; done\n";

TEST_F(FitRunFrame, TheStopButtonStopsTheFittingProgram) {
    const std::string fitter = Script("fitter", kTicker);
    bool clicked = false;
    QString statusAfterStop;
    const ProgramEnd end = RunWith(fitter, [&](int) {
        panel().Flush();
        if (!clicked && Ticks() >= 2) {
            clicked = true;
            QTest::mouseClick(panel().stopButton(), Qt::LeftButton);
            statusAfterStop = frame->statusBar()->currentMessage();
        }
    });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(end.how, ProgramEnd::How::Stopped);
    EXPECT_EQ(LastLine(), "stopped");
    EXPECT_TRUE(statusAfterStop.startsWith("Stopping the fitting program: ./fitter - "))
        << statusAfterStop.toStdString();
    EXPECT_FALSE(host().busy());
    EXPECT_FALSE(panel().stopButton()->isEnabled());
}

TEST_F(FitRunFrame, EscapeStopsTheFittingProgramAndOtherKeysAndClicksDoNot) {
    const std::string fitter = Script("fitter", kTicker);
    int ticksAfterOtherInput = -1;
    int pressedAt = -1;
    QSignalSpy routed(frame.get(), &CMainFrame::commandRouted);
    int foldersOpened = 0;
    panel().openUrl = [&](const QUrl&) {
        ++foldersOpened;
        return true;
    };
    const ProgramEnd end = RunWith(fitter, [&](int call) {
        panel().Flush();
        if (pressedAt < 0 && Ticks() >= 1) {
            pressedAt = call;
            QTest::keyClick(frame->view(), Qt::Key_Return);
            QTest::keyClick(frame->view(), Qt::Key_A);
            QTest::keyClick(frame->view(), Qt::Key_P, Qt::ControlModifier);
            QTest::mouseClick(panel().openLogFolderButton(), Qt::LeftButton);
            QTest::mouseClick(frame->view(), Qt::RightButton);
            ticksAfterOtherInput = Ticks();
        } else if (pressedAt >= 0 && Ticks() >= ticksAfterOtherInput + 3) {
            QTest::keyClick(frame->view(), Qt::Key_Escape);
        }
    });
    EXPECT_EQ(end.how, ProgramEnd::How::Stopped);
    // The program went on after the other keys and clicks, and none of them
    // reached a command.
    EXPECT_GE(Ticks(), ticksAfterOtherInput + 3);
    EXPECT_EQ(routed.count(), 0);
    EXPECT_EQ(foldersOpened, 0);
    EXPECT_EQ(LastLine(), "stopped");
}

struct EndingCase {
    const char* name;
    const char* body;  // nullptr: a file that is not executable
    const char* endLine;
};

TEST_F(FitRunFrame, TheLastLineSaysHowTheProgramEnded) {
    const std::vector<EndingCase> cases = {
        {"exits3", "echo 'demo.mod:7: the height \"abc\" is not a number'\nexit 3\n",
         "ended with exit status 3 after"},
        {"crashes", "echo computing\nkill -SEGV $$\n", "ended by signal 11 (Segmentation fault)"},
        {"notrun", nullptr, "could not start: "},
    };
    for (const EndingCase& c : cases) {
        std::string program;
        if (c.body != nullptr) {
            program = Script(c.name, c.body);
        } else {
            work.Write(c.name, "#!/bin/sh\n");
            program = std::string("./") + c.name;
        }
        const ProgramEnd end = RunWith(program, [](int) {});
        EXPECT_TRUE(LastLine().startsWith(QString::fromLatin1(c.endLine)))
            << c.name << ": " << LastLine().toStdString();
        if (c.body != nullptr && std::string(c.name) == "exits3") {
            EXPECT_EQ(end.code, 3);
            EXPECT_TRUE(
                panel().output()->toPlainText().contains("the height \"abc\" is not a number"));
        }
    }
}

TEST_F(FitRunFrame, ARunOpensThePanelWithItsHeadingAndLogsTheWholeOutput) {
    const std::string fitter = Script("fitter", "printf 'one\\ntwo\\r2\\n'\nexit 0\n");
    ASSERT_FALSE(panel().isVisible());
    QString statusDuringRun;
    QObject::connect(&host(), &GuiHost::busyChanged, [&](bool busy, const QString&) {
        if (busy && statusDuringRun.isEmpty()) {
            statusDuringRun = frame->statusBar()->currentMessage();
        }
    });
    RunWith(fitter, [](int) {});
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(panel().heading()->text().startsWith(
        "./fitter in " + QDir::toNativeSeparators(QDir::currentPath()) + ", started "));
    EXPECT_TRUE(statusDuringRun.startsWith("Waiting for the fitting program: ./fitter - "))
        << statusDuringRun.toStdString();
    EXPECT_EQ(panel().lines().lines()[1], "2wo");
    QFile log(host().lastRunLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << host().lastRunLog().toStdString();
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.startsWith(panel().heading()->text().toUtf8() + "\none\ntwo\r2\n"));
    EXPECT_TRUE(text.endsWith(" s\n"));
}

// The panel is not made with the window, which shows sooner without it. The
// first thing that needs it makes it, docked at the bottom, and the View
// entry follows it from then on; what needs no panel leaves it unmade.
TEST_F(FitRunFrame, ThePanelIsMadeByWhatFirstNeedsItAndNotByTheWindow) {
    const std::string fitter = Script("fitter", "echo made by the run\n");
    ProgramEnd noStart;
    noStart.reason = "not executable (no permission)";
    struct Case {
        const char* name;
        std::function<void()> act;
        bool makes;
        bool opens;         // the panel comes into view
        const char* shown;  // a line the panel holds afterwards
    };
    const Case cases[] = {
        {"a run", [&] { RunWith(fitter, [](int) {}); }, true, true, "made by the run"},
        {"the View entry", [&] { FittingProgramEntry()->trigger(); }, true, true, nullptr},
        {"a run without result",
         [&] {
             host().FitRunFinished({noStart, false, false});
         },
         true, true, nullptr},
        {"notices of a fit command that never ran",
         [&] {
             host().BeginFitCommand();
             host().ShowNotice("START_A.INP names no curve file");
             host().EndFitCommand();
         },
         true, false, "Zelk: START_A.INP names no curve file"},
        {"a fit command without notices or run",
         [&] {
             host().BeginFitCommand();
             host().EndFitCommand();
         },
         false, false, nullptr},
        {"a notice outside a fit command", [&] { host().ShowNotice("a reload failed"); }, false,
         false, nullptr},
        {"a new log folder", [&] { host().SetRunLogFolder(QStringLiteral("elsewhere")); }, false,
         false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        EXPECT_EQ(frame->findChild<FitRunPanel*>(), nullptr);
        c.act();
        auto* made = frame->findChild<FitRunPanel*>();
        ASSERT_EQ(made != nullptr, c.makes);
        if (made == nullptr) {
            continue;
        }
        EXPECT_EQ(made->isVisible(), c.opens);
        EXPECT_EQ(FittingProgramEntry()->isChecked(), c.opens);
        EXPECT_EQ(frame->dockWidgetArea(made), Qt::BottomDockWidgetArea);
        EXPECT_EQ(made->logFolder(), host().runLogFolder());
        if (c.shown != nullptr) {
            made->Flush();
            EXPECT_TRUE(made->output()->toPlainText().split(u'\n').contains(c.shown))
                << made->output()->toPlainText().toStdString();
        }
        made->toggleViewAction()->trigger();  // the panel's own toggle
        EXPECT_EQ(made->isVisible(), !c.opens);
        EXPECT_EQ(FittingProgramEntry()->isChecked(), !c.opens);
        EXPECT_EQ(frame->findChildren<FitRunPanel*>().size(), 1);
    }
}

TEST_F(FitRunFrame, ARunWithoutResultBringsThePanelBack) {
    const std::string fitter = Script("fitter", "echo the model has an error\nexit 2\n");
    const ProgramEnd end = RunWith(fitter, [](int) {});
    panel().hide();  // the user closed it
    host().FitRunFinished({end, false, false});
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(frame->statusBar()->currentMessage().contains("ended with exit status 2"));
    panel().hide();
    host().FitRunFinished({end, true, true});
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(FitRunFrame, NoticesOfAFitCommandGoToTheStatusBarAndThePanel) {
    const std::string fitter = Script("fitter", "echo output\n");
    host().BeginFitCommand();
    host().ShowNotice("FIT.INP was put back from BUFF.RES");
    EXPECT_EQ(frame->statusBar()->currentMessage(), "FIT.INP was put back from BUFF.RES");
    RunWith(fitter, [](int) {});
    host().ShowNotice("after the run");
    host().EndFitCommand();
    host().ShowNotice("a reload failed");  // not about a run
    panel().Flush();
    const QStringList shown = panel().output()->toPlainText().split(u'\n');
    ASSERT_GE(shown.size(), 4);
    EXPECT_EQ(shown[0], "Zelk: FIT.INP was put back from BUFF.RES");
    EXPECT_EQ(shown[1], "output");
    EXPECT_EQ(shown[3], "Zelk: after the run");
    EXPECT_FALSE(panel().output()->toPlainText().contains("reload"));
    EXPECT_EQ(frame->statusBar()->currentMessage(), "a reload failed");
}

// Closing the window during a run asks; No goes on waiting, Yes stops the
// program, lets the command finish and then closes.
TEST_F(FitRunFrame, ClosingDuringARunAsksAndNoGoesOnWaiting) {
    const std::string fitter = Script("fitter", kTicker);
    QSignalSpy quit(frame.get(), &CMainFrame::quitRequested);
    int answeredAt = -1;
    int ticksAtAnswer = 0;
    bool asked = false;
    const ProgramEnd end = RunWith(fitter, [&](int call) {
        panel().Flush();
        if (answeredAt < 0 && !asked && Ticks() >= 1) {
            frame->close();
        }
        if (QMessageBox* box = frame->stopQuestion(); box != nullptr && answeredAt < 0) {
            if (!asked) {
                asked = true;
                EXPECT_EQ(box->text(), "The fitting program is still running. Stop it and quit?");
                return;
            }
            answeredAt = call;
            ticksAtAnswer = Ticks();
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        } else if (answeredAt >= 0 && Ticks() >= ticksAtAnswer + 3) {
            host().RequestStop();
        }
    });
    EXPECT_TRUE(asked);
    EXPECT_GE(answeredAt, 0);
    EXPECT_EQ(end.how, ProgramEnd::How::Stopped);
    QTest::qWait(50);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(quit.count(), 0);
    EXPECT_FALSE(host().quitting());
}

TEST_F(FitRunFrame, ClosingDuringARunAndYesStopsItAndQuitsOnceTheCommandIsOver) {
    const std::string fitter = Script("fitter", kTicker);
    QSignalSpy quit(frame.get(), &CMainFrame::quitRequested);
    bool answered = false;
    const ProgramEnd end = RunWith(fitter, [&](int) {
        panel().Flush();
        if (!answered && Ticks() >= 1 && frame->stopQuestion() == nullptr) {
            frame->close();
        } else if (QMessageBox* box = frame->stopQuestion(); box != nullptr && !answered) {
            answered = true;
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        }
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(end.how, ProgramEnd::How::Stopped);
    // The rest of the command runs before the window goes.
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(quit.count(), 0);
    // Whatever the command still has to say goes to standard error, not into
    // boxes that would keep Zelk from ending; no new run starts.
    EXPECT_TRUE(host().quitting());
    EXPECT_EQ(host().RunFitProgram(fitter, {fitter}).how, ProgramEnd::How::Stopped);
    QTRY_COMPARE(quit.count(), 1);
    EXPECT_FALSE(frame->isVisible());
}

// The panel opening for the first time leaves most of the window to the plot.
TEST_F(FitRunFrame, ThePanelOpensLeavingMostOfTheWindowToThePlot) {
    frame->resize(800, 600);
    panel().BringToFront();
    QApplication::processEvents();
    ASSERT_TRUE(panel().isVisible());
    EXPECT_GE(panel().output()->viewport()->height(),
              4 * panel().output()->fontMetrics().lineSpacing());
    EXPECT_GT(frame->view()->height(), 2 * panel().height()) << panel().height();
}

TEST_F(FitRunFrame, TheViewMenuSectionStartsWithTheFittingProgramEntry) {
    QMenu* viewMenu = nullptr;
    for (QAction* entry : frame->menuBar()->actions()) {
        if (entry->text() == "&View") {
            viewMenu = entry->menu();
        }
    }
    ASSERT_NE(viewMenu, nullptr);
    // The bars' two entries, one separator, then Zelk's own entries, of
    // which this is the first.
    const QList<QAction*> items = viewMenu->actions();
    ASSERT_GE(items.size(), 4);
    EXPECT_EQ(std::count_if(items.begin(), items.end(),
                            [](const QAction* item) { return item->isSeparator(); }),
              1);
    EXPECT_EQ(items[0], frame->ActionFor(ID_VIEW_TOOLBAR));
    EXPECT_EQ(items[1], frame->ActionFor(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(items[2]->isSeparator());
    QAction* entry = items[3];
    EXPECT_EQ(entry->text(), "Fitting Program");
    EXPECT_TRUE(entry->isCheckable());
    EXPECT_FALSE(entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(panel().isVisible());
    EXPECT_TRUE(entry->isChecked());
    entry->trigger();
    EXPECT_FALSE(panel().isVisible());
    // Escape, the stop key, is bound to nothing else.
    for (const Accelerator& accelerator : Accelerators()) {
        EXPECT_NE(accelerator.keys, QKeySequence(Qt::Key_Escape));
    }
    for (QAction* action : frame->findChildren<QAction*>()) {
        EXPECT_FALSE(action->shortcuts().contains(QKeySequence(Qt::Key_Escape)))
            << action->text().toStdString();
    }
}

// The fit commands from the toolbar, stopped while the fitter runs: the
// command goes on as after any end and the user's FIT.INP is back, byte for
// byte; nothing the fitter started is left running.
class FitCommandInTheWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        task.Write("fitprog",
                   "#!/bin/sh\necho $$ > fitter.pid\n"
                   "while :; do echo tick; sleep 0.05; done\n");
        ::chmod(task.File("fitprog").toLocal8Bit().constData(), 0755);
        task.Write("FIT.INP", kUserInput);
        frame = std::make_unique<CMainFrame>();
        frame->view()->guiHost().SetRunLogFolder(task.File("runs"));
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        frame->view()->LoadTaskWithoutEditor();
    }
    void TearDown() override { frame.reset(); }

    QByteArray Read(const QString& name) const {
        QFile file(task.File(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
    }
    bool FitterStillRuns() const {
        const int pid = Read("fitter.pid").trimmed().toInt();
        return pid > 0 && ::kill(pid, 0) == 0;
    }
    int Ticks() const { return frame->fitRunPanel()->output()->toPlainText().count("tick"); }

    // Clicks the first toolbar button; step runs every 20 ms during the run.
    void RunPlaceholderFit(const std::function<void()>& step) {
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            frame->fitRunPanel()->Flush();
            step();
        });
        driver.start(20);
        QWidget* button =
            frame->toolBar()->widgetForAction(frame->ActionFor(ID_RUN_PLACEHOLDER_FIT));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static constexpr const char* kUserInput = "the user's fit input\r\n 1  2  3\n";
    SampleTask task;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(FitCommandInTheWindow, EscapeAndTheStopButtonStopThePlaceholderRun) {
    for (const bool useEscape : {true, false}) {
        ModalCloser closer;
        bool stopped = false;
        QByteArray inputDuringRun;
        RunPlaceholderFit([&] {
            if (!stopped && Ticks() >= 2) {
                stopped = true;
                inputDuringRun = Read("FIT.INP");
                if (useEscape) {
                    QTest::keyClick(frame->view(), Qt::Key_Escape);
                } else {
                    QTest::mouseClick(frame->fitRunPanel()->stopButton(), Qt::LeftButton);
                }
            }
        });
        SCOPED_TRACE(useEscape ? "Escape" : "Stop button");
        EXPECT_TRUE(stopped);
        EXPECT_NE(inputDuringRun, QByteArray(kUserInput));  // the placeholder was in place
        EXPECT_EQ(Read("FIT.INP"), QByteArray(kUserInput));
        EXPECT_EQ(frame->fitRunPanel()->lines().lines().back(), "stopped");
        EXPECT_TRUE(closer.texts.join("\n").contains("CAN NOT FIND fileRES"))
            << closer.texts.join("\n").toStdString();
        EXPECT_FALSE(FitterStillRuns());
        EXPECT_FALSE(frame->view()->busy());
    }
}

TEST_F(FitCommandInTheWindow, ARunThatCouldNotStartIsNotShownAsTheEarlierRun) {
    {
        ModalCloser closer;
        task.Write("fitprog", "#!/bin/sh\necho the earlier run\n");
        RunPlaceholderFit([] {});
    }
    ASSERT_TRUE(frame->fitRunPanel()->output()->toPlainText().contains("the earlier run"));
    QFile::remove(task.File("fitprog"));  // now the command does not get to a run
    frame->fitRunPanel()->hide();
    ModalCloser closer;
    RunPlaceholderFit([] {});
    EXPECT_TRUE(frame->fitRunPanel()->isVisible());
    const QString shown = frame->fitRunPanel()->output()->toPlainText();
    EXPECT_FALSE(shown.contains("the earlier run")) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("could not start: ")) << shown.toStdString();
    EXPECT_EQ(Read("FIT.INP"), QByteArray(kUserInput));
}

TEST_F(FitCommandInTheWindow, YesToTheCloseQuestionRestoresFitInpAndThenQuits) {
    QSignalSpy quit(frame.get(), &CMainFrame::quitRequested);
    bool answered = false;
    RunPlaceholderFit([&] {
        if (!answered && Ticks() >= 1 && frame->stopQuestion() == nullptr) {
            frame->close();
        } else if (QMessageBox* box = frame->stopQuestion(); box != nullptr && !answered) {
            answered = true;
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        }
    });
    EXPECT_TRUE(answered);
    // No box waited for an answer: the messages of the rest of the command
    // went to standard error.
    EXPECT_EQ(Read("FIT.INP"), QByteArray(kUserInput));
    EXPECT_FALSE(FitterStillRuns());
    QTRY_COMPARE(quit.count(), 1);
    EXPECT_FALSE(frame->isVisible());
}

}  // namespace
}  // namespace zelk::testing
