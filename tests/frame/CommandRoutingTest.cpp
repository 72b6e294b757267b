// Every menu entry, toolbar button and accelerator key reaches its handler.

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "commands/CommandIds.h"
#include "frame/CommandTable.h"
#include "frame/FrameFixture.h"

namespace zelk::testing {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The file the first launch of a command opened (its last argument).
std::string FirstLaunchTarget(const RecordingHost& host) {
    if (host.launches.empty() || host.launches.front().argv.empty()) {
        return {};
    }
    return host.launches.front().argv.back();
}

TEST_F(FrameFixture, MenuBarHoldsTheEntriesInOrderWithDropDownsOnlyForViewAndHelp) {
    const QList<QAction*> entries = frame->menuBar()->actions();
    const std::vector<std::pair<QString, bool>> expected = {
        {"&Set Task", false},   {"&Task", false},  {"CalcOpt", false}, {"Energy_scale", false},
        {"Angle_scale", false}, {"&Model", false}, {"FITopt", false},  {"&View", true},
        {"&Help", true},        {"E&xit", false}};
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i]->text(), expected[i].first);
        EXPECT_EQ(entries[i]->menu() != nullptr, expected[i].second) << i;
        EXPECT_FALSE(entries[i]->isSeparator());
    }
    // The View drop-down starts with its two entries; Zelk's own follow
    // after a separator.
    QMenu* viewMenu = entries[7]->menu();
    ASSERT_GE(viewMenu->actions().size(), 3);
    EXPECT_EQ(viewMenu->actions()[0]->text(), "&Toolbar");
    EXPECT_EQ(viewMenu->actions()[1]->text(), "&Status Bar");
    EXPECT_TRUE(viewMenu->actions()[2]->isSeparator());
    // One section: the fit-run panel's entry first, then the plot's.
    EXPECT_EQ(viewMenu->actions()[3]->text(), "Fitting Program");
    EXPECT_EQ(viewMenu->actions()[4]->text(), "&Follow File Changes");
    const QList<QAction*> viewEntries = viewMenu->actions();
    EXPECT_EQ(std::count_if(viewEntries.begin(), viewEntries.end(),
                            [](const QAction* a) { return a->isSeparator(); }),
              1);
    // Each entry once: a section built twice would make its keys ambiguous.
    QStringList texts;
    for (const QAction* a : viewEntries) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(texts.contains(a->text())) << a->text().toStdString();
            texts << a->text();
        }
    }
    QMenu* helpMenu = entries[8]->menu();
    ASSERT_EQ(helpMenu->actions().size(), 1);
    EXPECT_EQ(helpMenu->actions()[0]->text(), "&About Zelk...");
}

// What the recording Host sees when a task command has run.
struct TaskCommandCase {
    const char* name;
    int id;
    bool onToolbar;
    std::function<void(const FrameFixture&, const RecordingHost&, const PlotState&)> check;
};

void PrintTo(const TaskCommandCase& c, std::ostream* os) {
    *os << c.name;
}

class TaskCommandRouting : public FrameFixture,
                           public ::testing::WithParamInterface<TaskCommandCase> {};

TEST_P(TaskCommandRouting, ReachesTheViewsTaskCommand) {
    view->LoadTaskWithoutEditor();
    host.launches.clear();
    host.redraws = 0;
    const TaskCommandCase& c = GetParam();
    QAction* action = frame->ActionFor(c.id);
    ASSERT_NE(action, nullptr);
    if (c.onToolbar) {
        QWidget* button = frame->toolBar()->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        EXPECT_TRUE(frame->menuBar()->actions().contains(action));
        action->trigger();
    }
    ASSERT_EQ(routed.size(), 1u);
    EXPECT_EQ(routed[0], (Routed{c.id, "view"}));
    c.check(*this, host, view->state());
}

const auto opensInEditor = [](const char* file) {
    return [file](const FrameFixture&, const RecordingHost& host, const PlotState&) {
        EXPECT_TRUE(EndsWith(FirstLaunchTarget(host), file)) << FirstLaunchTarget(host);
    };
};

INSTANTIATE_TEST_SUITE_P(
    MenuAndToolbar, TaskCommandRouting,
    ::testing::Values(
        TaskCommandCase{"SetTask", ID_SET_TASK, false, opensInEditor("START_A.INP")},
        TaskCommandCase{"Task", ID_TASK, false, opensInEditor("START_A.INP")},
        TaskCommandCase{"CalcOpt", ID_CALCOPT, false, opensInEditor("opt.inp")},
        TaskCommandCase{"EnergyScale", ID_ENERGY_SCALE, false, opensInEditor("Energy.inp")},
        TaskCommandCase{"AngleScale", ID_ANGLE_SCALE, false, opensInEditor("Angle.inp")},
        TaskCommandCase{"Model", ID_MODEL, false, opensInEditor("model.inp")},
        TaskCommandCase{"FitOpt", ID_FITOPT, false, opensInEditor("FIT.INP")},
        TaskCommandCase{"PlaceholderFit", ID_RUN_PLACEHOLDER_FIT, true,
                        [](const FrameFixture&, const RecordingHost& host, const PlotState& s) {
                            EXPECT_EQ(s.fitRunCount, 1);
                            // The sample task has no fitting program: the run
                            // ends before a start, and says so.
                            ASSERT_EQ(host.fitRuns.size(), 1u);
                            EXPECT_EQ(host.fitRuns.front().end.how, ProgramEnd::How::NotStarted);
                            ASSERT_FALSE(host.messages.empty());
                            EXPECT_EQ(host.messages.front(), "CAN NOT FIND *.exe file\nfitprog");
                        }},
        TaskCommandCase{"EditedFit", ID_RUN_EDITED_FIT, true,
                        [](const FrameFixture&, const RecordingHost& host, const PlotState& s) {
                            EXPECT_EQ(s.fitRunCount, 1);
                            EXPECT_TRUE(EndsWith(FirstLaunchTarget(host), "FIT.INP"));
                        }},
        TaskCommandCase{"Reload", ID_RELOAD, true,
                        [](const FrameFixture&, const RecordingHost& host, const PlotState&) {
                            EXPECT_TRUE(host.launches.empty());
                            EXPECT_GT(host.redraws, 0);
                        }},
        TaskCommandCase{"Snapshot", ID_SNAPSHOT, true,
                        [](const FrameFixture&, const RecordingHost& host, const PlotState& s) {
                            EXPECT_TRUE(host.launches.empty());
                            EXPECT_EQ(s.snapshotCount, 1);
                        }},
        TaskCommandCase{"NewModel", ID_NEW_MODEL, true,
                        [](const FrameFixture&, const RecordingHost& host, const PlotState&) {
                            EXPECT_EQ(host.dialogs, 1);
                        }},
        TaskCommandCase{"EditNewmod", ID_EDIT_NEWMOD, true, opensInEditor("newmod.res")}),
    [](const ::testing::TestParamInfo<TaskCommandCase>& param) { return param.param.name; });

TEST_F(FrameFixture, ToolbarHoldsTheSixButtonsInOrderWithoutTooltips) {
    const QList<QAction*> actions = frame->toolBar()->actions();
    const std::vector<int> ids = {ID_RUN_PLACEHOLDER_FIT, ID_RUN_EDITED_FIT, ID_RELOAD, ID_SNAPSHOT,
                                  ID_NEW_MODEL,           ID_EDIT_NEWMOD};
    ASSERT_EQ(actions.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(actions[i]->data().toInt(), ids[static_cast<std::size_t>(i)]);
        EXPECT_FALSE(actions[i]->icon().isNull());
        QWidget* button = frame->toolBar()->widgetForAction(actions[i]);
        QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        EXPECT_TRUE(QApplication::sendEvent(button, &tip)) << "tooltip not swallowed " << i;
        // The status pane goes blank while a task command is pointed at.
        EXPECT_EQ(actions[i]->statusTip().trimmed(), QString());
        EXPECT_FALSE(actions[i]->statusTip().isEmpty());
    }
    EXPECT_TRUE(frame->toolBar()->isMovable());
    EXPECT_TRUE(frame->toolBar()->isFloatable());
    EXPECT_EQ(frame->toolBar()->allowedAreas(), Qt::AllToolBarAreas);
}

struct KeyCase {
    QKeyCombination keys;
    int id;
    const char* handler;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << QKeySequence(c.keys).toString().toStdString();
}

class AcceleratorRouting : public FrameFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(AcceleratorRouting, KeyReachesItsHandlerOrNone) {
    const KeyCase& c = GetParam();
    view->setFocus();
    QTest::keyClick(view, c.keys.key(), c.keys.keyboardModifiers());
    ASSERT_EQ(routed.size(), 1u);
    EXPECT_EQ(routed[0], (Routed{c.id, c.handler}));
    if (QString(c.handler) == "none") {
        // Nothing happened anywhere: no task command ran, the app was asked
        // and declined, no dialog was shown.
        EXPECT_TRUE(host.launches.empty());
        EXPECT_EQ(host.redraws, 0);
        EXPECT_TRUE(dialogs.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllFourteen, AcceleratorRouting,
    ::testing::Values(KeyCase{Qt::CTRL | Qt::Key_N, ID_FILE_NEW, "app"},
                      KeyCase{Qt::CTRL | Qt::Key_O, ID_FILE_OPEN, "app"},
                      KeyCase{Qt::CTRL | Qt::Key_S, ID_FILE_SAVE, "app"},
                      KeyCase{Qt::CTRL | Qt::Key_P, ID_FILE_PRINT, "view"},
                      KeyCase{Qt::CTRL | Qt::Key_Z, ID_EDIT_UNDO, "none"},
                      KeyCase{Qt::CTRL | Qt::Key_X, ID_EDIT_CUT, "none"},
                      KeyCase{Qt::CTRL | Qt::Key_C, ID_EDIT_COPY, "none"},
                      KeyCase{Qt::CTRL | Qt::Key_V, ID_EDIT_PASTE, "none"},
                      KeyCase{Qt::ALT | Qt::Key_Backspace, ID_EDIT_UNDO, "none"},
                      KeyCase{Qt::SHIFT | Qt::Key_Delete, ID_EDIT_CUT, "none"},
                      KeyCase{Qt::CTRL | Qt::Key_Insert, ID_EDIT_COPY, "none"},
                      KeyCase{Qt::SHIFT | Qt::Key_Insert, ID_EDIT_PASTE, "none"},
                      KeyCase{QKeyCombination(Qt::Key_F6), ID_NEXT_PANE, "none"},
                      KeyCase{Qt::SHIFT | Qt::Key_F6, ID_PREV_PANE, "none"}));

TEST_F(FrameFixture, AcceleratorTableHasFourteenEntries) {
    EXPECT_EQ(Accelerators().size(), 14u);
    EXPECT_EQ(frame->AcceleratorActions().size(), 14);
}

TEST_F(FrameFixture, CtrlPCancelledPrintsNothing) {
    QSignalSpy printed(view, &CZelkView::printed);
    QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], "QPrintDialog");
    EXPECT_EQ(printed.count(), 0);
}

TEST_F(FrameFixture, PrintPreviewIsReachableAsACommand) {
    EXPECT_TRUE(frame->OnCommand(ID_FILE_PRINT_PREVIEW));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], "QPrintPreviewDialog");
}

TEST_F(FrameFixture, FileAndAboutCommandsGoToTheApplication) {
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT_SETUP, ID_APP_ABOUT}) {
        frame->OnCommand(id);
    }
    frame->ActionFor(ID_APP_ABOUT)->trigger();
    frame->ActionFor(ID_APP_EXIT)->trigger();
    EXPECT_EQ(appCommands,
              (std::vector<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT_SETUP,
                                ID_APP_ABOUT, ID_APP_ABOUT, ID_APP_EXIT}));
    for (const Routed& r : routed) {
        EXPECT_EQ(r.handler, "app") << r.id;
    }
}

}  // namespace
}  // namespace zelk::testing
