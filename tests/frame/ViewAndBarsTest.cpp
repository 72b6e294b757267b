// The view's mouse buttons and size, the View menu's bars, the status bar's
// prompts and indicators, and what the window does while a program runs.

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <memory>
#include <utility>

#include "commands/CommandIds.h"
#include "frame/CommandTable.h"
#include "frame/FrameFixture.h"
#include "frame/GuiHost.h"

namespace zelk::testing {
namespace {

TEST_F(FrameFixture, RightButtonEditsTheAxisFileAndRedraws) {
    view->LoadTaskWithoutEditor();
    host.launches.clear();
    host.redraws = 0;
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(30, 30));
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_NE(host.launches[0].argv.back().find("axis.inp"), std::string::npos);
    // Once by the axis command, once more by the click itself.
    EXPECT_GE(host.redraws, 2);
}

TEST_F(FrameFixture, LeftButtonDoesNothing) {
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(host.redraws, 0);
    EXPECT_TRUE(routed.empty());
}

TEST_F(FrameFixture, ResizeStoresTheClientSize) {
    frame->resize(640, 480);
    QTest::qWait(0);
    EXPECT_EQ(state().clientWidth, view->width());
    EXPECT_EQ(state().clientHeight, view->height());
    frame->resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(state().clientWidth, view->width());
    EXPECT_EQ(state().clientHeight, view->height());
    EXPECT_GT(state().clientWidth, 0);
}

TEST_F(FrameFixture, InitialUpdateResetsOnlyTheCounters) {
    view->LoadTaskWithoutEditor();
    state().fitRunCount = 3;
    state().snapshotCount = 2;
    const std::string expFile = state().expFile;
    const int points = state().experimental.pointCount;
    view->OnInitialUpdate();
    EXPECT_EQ(state().fitRunCount, 0);
    EXPECT_EQ(state().snapshotCount, 0);
    EXPECT_EQ(state().expFile, expFile);
    EXPECT_EQ(state().experimental.pointCount, points);
}

TEST_F(FrameFixture, TaskLoadsWithoutTheEditor) {
    view->LoadTaskWithoutEditor();
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(state().workDir, QDir::currentPath().toStdString());
    EXPECT_EQ(state().axisFile, "axis.inp");
    EXPECT_EQ(state().experimentFlag, 1);
    EXPECT_EQ(state().experimental.pointCount, 3);
    EXPECT_EQ(state().experimental.curveCount, 2);
    EXPECT_FLOAT_EQ(state().xMax, 100.0f);
    EXPECT_FLOAT_EQ(state().stackOffset, 3.0f);
    EXPECT_GT(host.redraws, 0);
}

struct BarCase {
    int id;
    const char* name;
};

void PrintTo(const BarCase& c, std::ostream* os) {
    *os << c.name;
}

class BarToggle : public FrameFixture, public ::testing::WithParamInterface<BarCase> {};

TEST_P(BarToggle, ViewMenuHidesAndShowsWithItsCheckMark) {
    const int id = GetParam().id;
    QWidget* bar = id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(frame->toolBar())
                                         : static_cast<QWidget*>(frame->statusBar());
    QAction* entry = frame->ActionFor(id);
    ASSERT_TRUE(entry->isCheckable());
    EXPECT_TRUE(entry->isChecked());
    EXPECT_TRUE(bar->isVisible());
    entry->trigger();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(entry->isChecked());
    EXPECT_EQ(routed, (std::vector<Routed>{{id, "frame"}, {id, "frame"}}));
}

INSTANTIATE_TEST_SUITE_P(Bars, BarToggle,
                         ::testing::Values(BarCase{ID_VIEW_TOOLBAR, "Toolbar"},
                                           BarCase{ID_VIEW_STATUS_BAR, "StatusBar"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(FrameFixture, ClosingTheToolbarElsewhereClearsTheCheckMark) {
    frame->toolBar()->hide();
    EXPECT_FALSE(frame->ActionFor(ID_VIEW_TOOLBAR)->isChecked());
    frame->toolBar()->show();
    EXPECT_TRUE(frame->ActionFor(ID_VIEW_TOOLBAR)->isChecked());
}

// A right click on the menu bar or the toolbar opens nothing: the bars are
// shown and hidden only through the View menu.
TEST_F(FrameFixture, BarsHaveNoPopupMenu) {
    std::unique_ptr<QMenu> popup(frame->createPopupMenu());
    EXPECT_EQ(popup, nullptr);
}

struct PromptCase {
    int id;
    const char* prompt;  // what the message pane shows, trimmed
};

void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.id;
}

class StatusPrompt : public FrameFixture, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(StatusPrompt, HighlightShowsThePromptAndReadyReturns) {
    QAction* action = frame->ActionFor(GetParam().id);
    ASSERT_NE(action, nullptr);
    action->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage().trimmed(), GetParam().prompt);
    EXPECT_FALSE(frame->messagePane()->isVisible());
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(frame.get(), &leave);
    EXPECT_TRUE(frame->messagePane()->isVisible());
    EXPECT_EQ(frame->messagePane()->text(), "Ready");
}

// The framework's own menu commands carry the tooltip of their string, after
// the prompt; the task commands have none of their own.
TEST_F(FrameFixture, FrameworkCommandsCarryTheirTooltips) {
    const std::pair<int, const char*> tips[] = {{ID_VIEW_TOOLBAR, "Toggle ToolBar"},
                                                {ID_VIEW_STATUS_BAR, "Toggle StatusBar"},
                                                {ID_APP_EXIT, "Exit"},
                                                {ID_APP_ABOUT, "About"}};
    for (const auto& [id, tip] : tips) {
        ASSERT_NE(frame->ActionFor(id), nullptr) << id;
        EXPECT_EQ(frame->ActionFor(id)->toolTip(), QString::fromLatin1(tip)) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, StatusPrompt,
    ::testing::Values(PromptCase{ID_VIEW_TOOLBAR, "Show or hide the toolbar"},
                      PromptCase{ID_VIEW_STATUS_BAR, "Show or hide the status bar"},
                      PromptCase{ID_APP_EXIT, "Quit the application; prompts to save documents"},
                      PromptCase{ID_APP_ABOUT,
                                 "Display program information, version number and copyright"},
                      PromptCase{ID_SET_TASK, ""}, PromptCase{ID_CALCOPT, ""},
                      PromptCase{ID_RUN_PLACEHOLDER_FIT, ""}, PromptCase{ID_EDIT_NEWMOD, ""}));

TEST_F(FrameFixture, IndicatorsAreBlankOrShowTheirKeyOrAreHidden) {
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        QLabel* label = frame->indicator(i);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->objectName(), names[i]);
        EXPECT_TRUE(label->text().isEmpty() || label->text() == names[i]);
    }
    // The offscreen platform reports no lock keys: the indicators are hidden.
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_FALSE(frame->indicator(0)->isVisible());
    }
}

TEST_F(FrameFixture, CaptionIsDocumentThenApplication) {
    EXPECT_EQ(frame->windowTitle(), "Untitled - Zelk");
    frame->SetDocumentTitle("notes.txt");
    EXPECT_EQ(frame->windowTitle(), "notes.txt - Zelk");
}

// While a program is waited for: repaints go on, input, commands and closing
// do not, and the status bar says what is awaited.
TEST_F(FrameFixture, WaitingForAProgramBlocksInputButKeepsPainting) {
    ModalCloser modals;
    GuiHost& gui = view->guiHost();
    view->UseHost(gui);
    view->LoadTaskWithoutEditor();
    int paints = 0;
    struct PaintCounter : QObject {
        int& count;
        explicit PaintCounter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                ++count;
            }
            return false;
        }
    } counter(paints);
    view->installEventFilter(&counter);

    task.Write("fitprog", "");
    bool ran = false;
    gui.SetFitRunner([&](const std::string&, const std::vector<std::string>&,
                         const RunHooks& hooks) -> ProgramEnd {
        ran = true;
        const std::function<void()>& whileWaiting = hooks.whileWaiting;
        // What the fitting program leaves behind.
        task.Write("res.dat", "3 2 x y1 y2\n10 1 2\n50 3 4\n90 5 6\n");
        task.Write("EPS.res", "0.25\n");
        EXPECT_TRUE(view->busy());
        EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith(
            "Waiting for the fitting program: fitprog - 0 s"));
        // Closing asks first; No goes on waiting.
        EXPECT_FALSE(frame->close());
        EXPECT_TRUE(frame->isVisible());
        EXPECT_NE(frame->stopQuestion(), nullptr);
        if (QMessageBox* question = frame->stopQuestion()) {
            question->button(QMessageBox::No)->click();
        }
        routed.clear();
        QTest::keyClick(view, Qt::Key_N, Qt::ControlModifier);
        QTest::mouseClick(view, Qt::RightButton, {}, QPoint(10, 10));
        EXPECT_FALSE(frame->OnCommand(ID_SNAPSHOT));
        paints = 0;
        view->update();
        for (int i = 0; i < 5; ++i) {
            whileWaiting();
        }
        EXPECT_GT(paints, 0);
        EXPECT_EQ(routed, (std::vector<Routed>{{ID_SNAPSHOT, "busy"}}));
        ProgramEnd end;
        end.how = ProgramEnd::How::Exited;
        end.code = 0;
        return end;
    });
    frame->OnCommand(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(view->busy());
    EXPECT_EQ(state().snapshotCount, 0);
    EXPECT_EQ(frame->statusBar()->currentMessage(), QString());
    // Input works again afterwards, once the window is active again after
    // the question.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    routed.clear();
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(routed, (std::vector<Routed>{{ID_EDIT_UNDO, "none"}}));
    view->removeEventFilter(&counter);
    EXPECT_TRUE(modals.texts.empty()) << modals.texts.front().toStdString();
}

}  // namespace
}  // namespace zelk::testing

namespace zelk {
namespace {

// Work that waits for the plot's first paint is started once: a view that
// was painted, repainted and resized reports its first paint only once.
TEST(FirstPaint, IsReportedOnceAfterThePlotWasPainted) {
    CMainFrame frame;
    int reports = 0;
    QObject::connect(frame.view(), &CZelkView::firstPainted, [&reports] { ++reports; });
    EXPECT_EQ(reports, 0) << "nothing painted yet";
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    ASSERT_TRUE(QTest::qWaitFor([&reports] { return reports > 0; }));
    frame.view()->repaint();
    frame.resize(frame.size() + QSize(30, 20));
    frame.view()->repaint();
    EXPECT_EQ(reports, 1);
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_FALSE(frame.indicator(0)->isVisible()) << "no lock keys to show";
    }
}

}  // namespace
}  // namespace zelk
