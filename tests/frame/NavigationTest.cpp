// Reading and navigating the plot in the window: the readout pane, zoom and
// pan with the mouse and keys, following file changes, export and copy.

#include <QApplication>
#include <QBackingStore>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "FrameFixture.h"
#include "commands/CommandIds.h"
#include "frame/CommandTable.h"
#include "frame/LiveReload.h"
#include "frame/PlotPicture.h"
#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/PlotView.h"
#include "plot/Readers.h"
#include "plot/RecordingSurface.h"

namespace zelk::testing {
namespace {

// The sample task (x 0..100, y 0..10, two curves 3 apart) on a view of
// 465 x 360 pixels: 0.25 x units and 1/30 y units per pixel.
class Navigation : public FrameFixture {
  protected:
    void SetUp() override {
        FrameFixture::SetUp();
        view->setFixedSize(465, 360);
        QApplication::processEvents();
        ASSERT_EQ(view->size(), QSize(465, 360));
        view->LoadTaskWithoutEditor();
        ASSERT_EQ(state().experimental.curveCount, 2);
    }

    QImage Screen() { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void Drag(Qt::MouseButton button, QPoint from, QPoint to,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mousePress(view, button, modifiers, from);
        QTest::mouseMove(view, (from + to) / 2);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, button, modifiers, to);
    }

    void Wheel(QPoint at, int delta) {
        QWheelEvent wheel(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
    }

    PlotGeometry Geometry() { return PlotGeometry(465, 360, view->shownRanges()); }

    // Waits for the follower to read the files (or fail to).
    bool WaitForReload(QSignalSpy& spy) { return !spy.isEmpty() || spy.wait(5000); }
};

TEST_F(Navigation, ReadoutFollowsTheMouseAndBlanksOutsideThePlot) {
    QLabel* pane = frame->readoutPane();
    // Left of the lock-key indicators (where the platform has them).
    if (frame->indicator(0)->isVisible()) {
        EXPECT_LT(pane->x(), frame->indicator(0)->x());
    }
    QTest::mouseMove(view, QPoint(245, 170));
    EXPECT_EQ(pane->text(), "x = 50.00   y = 5.00   curve 1: 2");
    QTest::mouseMove(view, QPoint(145, 290));
    EXPECT_EQ(pane->text(), "x = 25.00   y = 1.00   curve 2: 1");
    QTest::mouseMove(view, QPoint(10, 170));  // the left margin
    EXPECT_EQ(pane->text(), "");
    QTest::mouseMove(view, QPoint(245, 170));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_EQ(pane->text(), "");
}

TEST_F(Navigation, ZoomAndBackArePixelIdenticalToBefore) {
    const QImage before = Screen();
    EXPECT_EQ(before, view->PlotImage());

    Drag(Qt::LeftButton, QPoint(145, 100), QPoint(245, 250));
    ASSERT_TRUE(view->zoom().zoomed());
    EXPECT_TRUE(frame->wholePlotAction()->isEnabled());
    EXPECT_NEAR(view->shownRanges().xMin, 25.0, 1e-4);
    EXPECT_NEAR(view->shownRanges().xMax, 50.0, 1e-4);
    EXPECT_NE(Screen(), before);
    // The axis file is untouched: the state keeps the file's ranges.
    EXPECT_EQ(state().xMax, 100.0f);

    QTest::keyClick(frame.get(), Qt::Key_Home);
    EXPECT_FALSE(view->zoom().zoomed());
    EXPECT_EQ(Screen(), before);

    Drag(Qt::LeftButton, QPoint(100, 60), QPoint(300, 200));
    ASSERT_TRUE(view->zoom().zoomed());
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
    EXPECT_FALSE(view->zoom().zoomed());
    EXPECT_EQ(Screen(), before);

    // The axis command shows the file's ranges again once its editor closes.
    Wheel(QPoint(200, 200), 120);
    ASSERT_TRUE(view->zoom().zoomed());
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_FALSE(view->zoom().zoomed());
    EXPECT_EQ(Screen(), before);
}

// The view writes the pass straight into the window's image when it paints
// all of itself, and goes through an image of its own otherwise; the window
// shows the same pixels either way, and they are the ones Qt paints with its
// own text.
TEST_F(Navigation, TheWindowShowsThePlotsPixelsWhicheverWayTheViewPaints) {
    const auto windowPixels = [&] {
        const auto* image = dynamic_cast<const QImage*>(frame->backingStore()->paintDevice());
        return image == nullptr
                   ? QImage()
                   : image->copy(QRect(view->mapTo(frame.get(), QPoint()), view->size()))
                         .convertToFormat(QImage::Format_RGB32);
    };
    const auto qtPicture = [&] {
        QImage image;
        ViewRanges storage;
        PaintPlotImage(image, state(), CPlotter(), view->zoomedRanges(storage));
        return image;
    };
    ASSERT_FALSE(windowPixels().isNull());

    view->repaint();
    EXPECT_TRUE(view->lastPaintInPlace());
    EXPECT_EQ(windowPixels(), qtPicture());

    view->repaint(QRect(30, 40, 100, 80));
    EXPECT_FALSE(view->lastPaintInPlace());
    EXPECT_EQ(windowPixels(), qtPicture());

    Drag(Qt::LeftButton, QPoint(145, 100), QPoint(245, 250));
    ASSERT_TRUE(view->zoom().zoomed());
    view->repaint();
    EXPECT_TRUE(view->lastPaintInPlace());
    EXPECT_EQ(windowPixels(), qtPicture());

    // With the rubber band over the view, the band keeps its pixels.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(view, QPoint(200, 200));
    view->repaint();
    EXPECT_FALSE(view->lastPaintInPlace());
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
}

TEST_F(Navigation, CommandsKeepTheZoomUnlessTheyReadNewRanges) {
    Wheel(QPoint(200, 200), 240);
    ASSERT_TRUE(frame->OnCommand(ID_RELOAD));
    EXPECT_TRUE(view->zoom().zoomed()) << "rereading the curves keeps the view";
    host.onLaunch = [this](const RecordingHost::LaunchRecord&) {
        task.Write("axis.inp", "0\n50\n10\n0\n10\n2\n1\n1\n3\n");
        return 0;
    };
    ASSERT_TRUE(frame->OnCommand(ID_EDIT_AXIS));
    EXPECT_FALSE(view->zoom().zoomed());
    EXPECT_EQ(view->shownRanges().xMax, 50.0);
}

TEST_F(Navigation, WheelZoomsAboutTheCursor) {
    const QPoint at(321, 123);
    const double x = Geometry().XAt(at.x());
    const double y = Geometry().YAt(at.y());
    for (int delta : {120, 120, 360, -240, 60, -120}) {
        Wheel(at, delta);
        EXPECT_NEAR(Geometry().ColumnOf(x), at.x(), 0.01) << delta;
        EXPECT_NEAR(Geometry().RowOf(y), at.y(), 0.01) << delta;
    }
    EXPECT_TRUE(view->zoom().zoomed());
}

TEST_F(Navigation, MiddleAndShiftDragPan) {
    Wheel(QPoint(245, 170), 240);
    const ViewRanges zoomed = view->shownRanges();
    const double unitsPerColumn = (zoomed.xMax - zoomed.xMin) / 400.0;
    Drag(Qt::MiddleButton, QPoint(200, 150), QPoint(240, 150));
    EXPECT_NEAR(view->shownRanges().xMin, zoomed.xMin - 40 * unitsPerColumn, 1e-3);
    Drag(Qt::LeftButton, QPoint(240, 150), QPoint(200, 150), Qt::ShiftModifier);
    EXPECT_NEAR(view->shownRanges().xMin, zoomed.xMin, 1e-3);
    EXPECT_NEAR(view->shownRanges().yLo, zoomed.yLo, 1e-3);
}

TEST_F(Navigation, ExtremeZoomAndTinyWindowsNeitherCrashNorHang) {
    for (int i = 0; i < 300; ++i) {
        Wheel(QPoint(300, 100), 120 * 5);
    }
    EXPECT_FALSE(Screen().isNull());
    QTest::mouseMove(view, QPoint(300, 100));
    EXPECT_FALSE(frame->readoutPane()->text().isEmpty());
    for (int i = 0; i < 300; ++i) {
        Wheel(QPoint(50, 330), -120 * 5);
    }
    EXPECT_FALSE(Screen().isNull());
    Drag(Qt::MiddleButton, QPoint(50, 50), QPoint(400, 300));
    for (QSize size : {QSize(66, 61), QSize(10, 10), QSize(1, 1), QSize(465, 360)}) {
        view->setFixedSize(size);
        QApplication::processEvents();
        EXPECT_FALSE(Screen().isNull()) << size.width();
        Wheel(QPoint(0, 0), 120);
        Drag(Qt::LeftButton, QPoint(0, 0), QPoint(size.width(), size.height()));
    }
}

TEST_F(Navigation, ExportedPngIsTheWidgetsPixels) {
    QTemporaryDir out;
    const QString png = out.filePath("plot.png");
    ASSERT_TRUE(frame->ExportPlot(png));
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32), Screen());

    Drag(Qt::LeftButton, QPoint(100, 60), QPoint(300, 200));
    ASSERT_TRUE(frame->ExportPlot(png));
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32), Screen());

    for (const char* name : {"plot.svg", "plot.PDF"}) {
        ASSERT_TRUE(frame->ExportPlot(out.filePath(name))) << name;
        EXPECT_GT(QFileInfo(out.filePath(name)).size(), 200) << name;
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 3) << "no temporary left behind";

    ModalCloser closer;
    EXPECT_FALSE(frame->ExportPlot(out.filePath("plot.bmp")));
    EXPECT_FALSE(QFile::exists(out.filePath("plot.bmp")));
    EXPECT_FALSE(frame->ExportPlot(out.filePath("no/such/folder/plot.png")));
    ASSERT_EQ(closer.texts.size(), 2);
    EXPECT_TRUE(closer.texts[0].contains("Cannot export the plot to"))
        << closer.texts[0].toStdString();
}

// The SVG is written from the drawing operations of the view as shown: every
// text of the zoomed pass is in it, at the view's size.
TEST_F(Navigation, ExportedSvgHoldsTheShownPlotsTexts) {
    Drag(Qt::LeftButton, QPoint(100, 60), QPoint(300, 200));
    ASSERT_TRUE(view->zoom().zoomed());
    QTemporaryDir out;
    ASSERT_TRUE(frame->ExportPlot(out.filePath("plot.svg")));
    QFile file(out.filePath("plot.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(svg.contains("width=\"465\" height=\"360\"")) << svg.left(300).toStdString();

    const int ascent = QFontMetrics(QPainterSurface::PlotFont()).ascent();
    RecordingSurface shown;
    ViewRanges storage;
    DrawPass(state(), CPlotter(), shown, view->zoomedRanges(storage));
    int texts = 0;
    for (const RecordingSurface::Op& op : shown.ops()) {
        if (op.kind == RecordingSurface::OpKind::Text) {
            ++texts;
            const QString text = QString::fromStdString(shown.TextOf(op));
            const QString element = QStringLiteral("x=\"%1\" y=\"%2\">%3</text>")
                                        .arg(op.a)
                                        .arg(op.b + ascent)
                                        .arg(text);
            EXPECT_TRUE(svg.contains(element)) << element.toStdString();
        }
    }
    EXPECT_GT(texts, 4);
    EXPECT_EQ(svg.count("<text "), texts);
}

TEST_F(Navigation, CopyPutsThePlotOnTheClipboard) {
    frame->copyPlotAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              Screen());
}

TEST_F(Navigation, NewKeysLeaveTheAcceleratorTableAlone) {
    QList<QKeySequence> added;
    for (QAction* action : {frame->exportPlotAction(), frame->copyPlotAction(),
                            frame->openTaskFolderAction(), frame->wholePlotAction()}) {
        ASSERT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();
        added << action->shortcut();
    }
    EXPECT_EQ(added, (QList<QKeySequence>{QKeySequence("Ctrl+E"), QKeySequence("Ctrl+Shift+C"),
                                          QKeySequence("Ctrl+Shift+O"), QKeySequence("Home")}));
    for (const Accelerator& accelerator : Accelerators()) {
        EXPECT_FALSE(added.contains(accelerator.keys)) << accelerator.id;
    }
    for (QAction* action : frame->AcceleratorActions()) {
        EXPECT_FALSE(added.contains(action->shortcut()));
    }
    EXPECT_TRUE(frame->followFilesAction()->isChecked());
    EXPECT_FALSE(frame->recentTaskFoldersMenu()->isEnabled());
}

TEST_F(Navigation, ViewMenuHasOneAddedSectionWithEachEntryOnce) {
    QMenu* viewMenu = nullptr;
    for (QAction* entry : frame->menuBar()->actions()) {
        if (entry->text() == "&View") {
            viewMenu = entry->menu();
        }
    }
    ASSERT_NE(viewMenu, nullptr);
    QStringList texts;
    for (QAction* action : viewMenu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts, (QStringList{"&Toolbar", "&Status Bar", "-", "Fitting Program",
                                  "&Follow File Changes", "&Whole Plot", "&Export Plot...",
                                  "&Copy Plot", "&Open Task Folder...", "&Recent Task Folders"}));
}

// Following file changes.

TEST_F(Navigation, FollowsAWriteInPlace) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    ASSERT_TRUE(WaitForReload(spy));
    EXPECT_EQ(state().experimental.y[0], 7.0f);
    EXPECT_EQ(spy.front().front().toStringList(), QStringList{"exp.dat"});
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Navigation, AFolderThatNeverGoesQuietDoesNotHoldTheReloadBack) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    // Another program makes file after file beside the task, faster than the
    // quiet time the follower waits for.
    for (int i = 0; i < 100 && spy.isEmpty(); ++i) {
        task.Write(QStringLiteral("scratch%1.tmp").arg(i), QByteArray::number(i));
        QTest::qWait(40);
    }
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(state().experimental.y[0], 7.0f);
}

TEST_F(Navigation, FollowsATemporaryFileRenamedOver) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    for (float first : {8.0f, 9.0f}) {
        spy.clear();
        task.Write("axis.tmp", QByteArray::number(first) + "\n100\n20\n0\n10\n2\n1\n1\n3\n");
        std::filesystem::rename(task.File("axis.tmp").toStdString(),
                                task.File("axis.inp").toStdString());
        ASSERT_TRUE(WaitForReload(spy)) << first;
        EXPECT_EQ(state().xMin, first);
        EXPECT_TRUE(spy.front().at(1).toBool()) << "the axis changed";
    }
}

TEST_F(Navigation, AxisChangeShowsTheNewRangesButACurveChangeKeepsTheZoom) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    Wheel(QPoint(200, 200), 120);
    const ViewRanges zoomed = view->shownRanges();
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    ASSERT_TRUE(WaitForReload(spy));
    EXPECT_EQ(view->shownRanges(), zoomed);
    spy.clear();
    task.Write("axis.inp", "0\n50\n10\n0\n10\n2\n1\n1\n3\n");
    ASSERT_TRUE(WaitForReload(spy));
    EXPECT_FALSE(view->zoom().zoomed());
    EXPECT_EQ(view->shownRanges().xMax, 50.0);
}

struct BrokenFile {
    const char* name;
    const char* file;
    QByteArray content;
};

class BrokenFileArriving : public Navigation, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(BrokenFileArriving, KeepsTheOldStateAndSaysWhichFile) {
    const BrokenFile& c = GetParam();
    const PlotState before = state();
    QSignalSpy failed(&view->liveReload(), &LiveReload::failed);
    QSignalSpy reloaded(&view->liveReload(), &LiveReload::reloaded);
    task.Write(c.file, c.content);
    ASSERT_TRUE(WaitForReload(failed));
    EXPECT_TRUE(reloaded.isEmpty());
    EXPECT_TRUE(
        failed.front().front().toString().startsWith(QStringLiteral("Not reloaded: ") + c.file))
        << failed.front().front().toString().toStdString();
    EXPECT_TRUE(frame->messagePane()->text().contains(c.file))
        << frame->messagePane()->text().toStdString();
    // Nothing of the broken read was adopted, and no box, no exit.
    EXPECT_EQ(state().expFile, before.expFile);
    EXPECT_EQ(state().xMax, before.xMax);
    EXPECT_EQ(state().markerX1, before.markerX1);
    EXPECT_EQ(state().experimental.curveCount, before.experimental.curveCount);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.fatals, 0);

    // The next change tries again.
    SampleTask fresh;  // a good copy of every file
    for (const char* name : {"START_A.INP", "axis.inp", "exp.dat"}) {
        QFile good(fresh.File(name));
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        task.Write(name, good.readAll());
    }
    QDir::setCurrent(task.path());
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    ASSERT_TRUE(WaitForReload(reloaded));
    EXPECT_EQ(state().experimental.y[0], 7.0f);
    EXPECT_EQ(frame->messagePane()->text(), "Ready");
}

INSTANTIATE_TEST_SUITE_P(
    LiveReload, BrokenFileArriving,
    ::testing::Values(BrokenFile{"HalfWrittenTaskFile", "START_A.INP",
                                 "Task of the GUI tests\noptions file:\nopt.inp\nmodel fi"},
                      BrokenFile{"ShortAxisFile", "axis.inp", "0\n50\n20\n"},
                      BrokenFile{"EmptyExperimentalFile", "exp.dat", QByteArray()}),
    [](const ::testing::TestParamInfo<BrokenFile>& param) { return param.param.name; });

TEST_F(Navigation, ChangesDuringItsOwnProgramRunsAreTheCommandsToRead) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    view->guiHost().SetLauncher(
        [&](const std::string&, const std::vector<std::string>&, const std::function<void()>&) {
            task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
            view->liveReload().CheckNow();
            return 0;
        });
    view->guiHost().LaunchAndWait("editor", {"editor"}, "");
    EXPECT_TRUE(spy.isEmpty());
    EXPECT_EQ(state().experimental.y[0], 1.0f);
    // Once the run is over its writes count as read: the command that
    // started it reads them, not the follower a second time.
    QCoreApplication::processEvents();
    view->liveReload().CheckNow();
    EXPECT_TRUE(spy.isEmpty());
}

// A command's message box lets events through: the follower must not swap
// the state under the command, nor take a change it did not read as read.
TEST_F(Navigation, ChangesDuringACommandAreFollowedOnceItEnds) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    task.Write("fitprog", "#!/bin/sh\n");
    const float markerBefore = state().markerX1;
    host.onFitRun = [&](const RecordingHost::LaunchRecord&) {
        QByteArray startA = QByteArray(
            "Task of the GUI tests\noptions file:\nopt.inp\nmodel file:\nmodel.inp\n"
            "1 experimental data\nexperimental file:\nexp.dat\n30  70\nfitting program:\n"
            "fitprog\nresult file:\nres.dat\naxis file:\naxis.inp\n");
        task.Write("START_A.INP", startA);
        task.Write("res.dat", "3 2 x a b\n10 1 2\n50 3 4\n90 5 6\n");
        view->liveReload().CheckNow();
        EXPECT_TRUE(spy.isEmpty());
        EXPECT_EQ(state().markerX1, markerBefore);
        ProgramEnd end;
        end.how = ProgramEnd::How::Exited;
        end.code = 0;
        return end;
    };
    frame->OnCommand(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_TRUE(state().resultCurrent);
    // The fit read the result; the task file it did not read is followed now.
    QSignalSpy failed(&view->liveReload(), &LiveReload::failed);
    ASSERT_TRUE(WaitForReload(spy))
        << (failed.isEmpty() ? std::string("no failure")
                             : failed.front().front().toString().toStdString());
    EXPECT_EQ(spy.front().front().toStringList(), QStringList{"START_A.INP"});
    EXPECT_EQ(state().markerX1, 30.0f);
}

// After a run that left no result, a result written by a fitting program
// started from a terminal is the fit on screen again.
TEST_F(Navigation, AResultArrivingAfterAFailedRunIsDrawn) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    task.Write("fitprog", "#!/bin/sh\n");
    host.onFitRun = [](const RecordingHost::LaunchRecord&) {
        ProgramEnd end;
        end.how = ProgramEnd::How::Exited;
        end.code = 2;
        return end;
    };
    frame->OnCommand(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_FALSE(state().resultCurrent);
    task.Write("EPS.res", "1.25\n");
    task.Write("res.dat", "3 2 x a b\n10 1 2\n50 3 4\n90 5 6\n");
    ASSERT_TRUE(WaitForReload(spy));
    EXPECT_TRUE(state().resultCurrent);
    EXPECT_TRUE(state().epsCurrent);
    EXPECT_EQ(state().result.pointCount, 3);
    EXPECT_EQ(state().eps, 1.25f);
}

TEST_F(Navigation, FollowFileChangesOffStopsFollowing) {
    frame->followFilesAction()->trigger();
    EXPECT_FALSE(view->liveReload().enabled());
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    view->liveReload().CheckNow();
    EXPECT_TRUE(spy.isEmpty());
    EXPECT_EQ(state().experimental.y[0], 1.0f);
    // Nor does it look at the files again after a task load: the load's own
    // reads stand.
    const long before = view->liveReload().digests();
    view->LoadTaskWithoutEditor();
    EXPECT_EQ(view->liveReload().digests(), before);
    EXPECT_EQ(state().experimental.y[0], 7.0f);
    task.Write("exp.dat", "3 2\n10 1 2\n50 3 4\n90 5 6\n");
    // Back on, what changed meanwhile is read at once.
    frame->followFilesAction()->trigger();
    EXPECT_EQ(spy.size(), 1);
    EXPECT_EQ(state().experimental.y[0], 1.0f);
}

// Another program that goes on writing while a reload reads the files: its
// last write is the picture in the end.
TEST_F(Navigation, AWriteMadeWhileAReloadReadsIsFollowedToo) {
    QSignalSpy spy(&view->liveReload(), &LiveReload::reloaded);
    bool first = true;
    view->liveReload().SetAfterReadForTests([&] {
        if (std::exchange(first, false)) {
            task.Write("exp.dat", "3 2\n10 8 2\n50 3 4\n90 5 6\n");
        }
    });
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    ASSERT_TRUE(WaitForReload(spy));
    EXPECT_EQ(state().experimental.y[0], 7.0f);
    spy.clear();
    ASSERT_TRUE(WaitForReload(spy)) << "the write made during the read was taken as read";
    EXPECT_EQ(state().experimental.y[0], 8.0f);
}

// A program that writes a file again with the same content changes nothing
// on screen: no reload and no message, and a real change is still followed.
TEST_F(Navigation, AFileWrittenAgainUnchangedIsNotReloaded) {
    LiveReload& follow = view->liveReload();
    QSignalSpy reloaded(&follow, &LiveReload::reloaded);
    QSignalSpy failed(&follow, &LiveReload::failed);
    QFile file(task.File("exp.dat"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray same = file.readAll();
    file.close();
    const long before = follow.digests();
    task.Write("exp.dat", same);
    follow.CheckNow();
    EXPECT_GT(follow.digests(), before) << "the rewritten file was looked at";
    EXPECT_TRUE(reloaded.isEmpty());
    EXPECT_TRUE(failed.isEmpty());
    task.Write("exp.dat", "3 2\n10 7 2\n50 3 4\n90 5 6\n");
    follow.CheckNow();
    ASSERT_EQ(reloaded.size(), 1);
    EXPECT_EQ(state().experimental.y[0], 7.0f);
}

// Whatever a followed file's size, all of it counts: a change in its last
// line is followed, and the same bytes written again are not.
TEST_F(Navigation, AChangeAtTheEndOfAFileOfAnySizeIsFollowed) {
    LiveReload& follow = view->liveReload();
    QSignalSpy reloaded(&follow, &LiveReload::reloaded);
    const auto curves = [](int points, const char* last) {
        QByteArray text = QByteArray::number(points) + " 2\n";
        for (int i = 0; i < points; ++i) {
            text += QStringLiteral("%1.000000000000 5.000000000000 %2\n")
                        .arg(i + 1, 6)
                        .arg(i + 1 == points ? QString::fromLatin1(last) : QStringLiteral("2.5"))
                        .toLatin1();
        }
        return text;
    };
    for (const int points : {3, 90, 1200, 3000}) {  // about 100 bytes to 130 KB
        SCOPED_TRACE(points);
        task.Write("exp.dat", curves(points, "2.5"));
        follow.Rearm();
        reloaded.clear();
        task.Write("exp.dat", curves(points, "2.5"));
        follow.CheckNow();
        EXPECT_TRUE(reloaded.isEmpty()) << "the same bytes were taken for a change";
        task.Write("exp.dat", curves(points, "7.5"));
        follow.CheckNow();
        ASSERT_EQ(reloaded.size(), 1) << "a change in the last line was missed";
        ASSERT_EQ(state().experimental.pointCount, points);
        const auto& y = state().experimental.y;
        EXPECT_NE(std::find(y.begin(), y.end(), 7.5f), y.end());
    }
}

// Another program that writes a followed file just after a command read it
// and before the command ends: the plot shows the read, so the write is
// still to follow.
TEST_F(Navigation, AWriteRightAfterACommandsReadIsFollowed) {
    LiveReload& follow = view->liveReload();
    QSignalSpy spy(&follow, &LiveReload::reloaded);
    const std::function<void()> ends[] = {
        [&] { follow.TakeAsRead(LiveReload::Reads::Curves); },
        [&] { follow.Rearm(); },
    };
    float y = 7.0f;
    for (const auto& end : ends) {
        ReadTaskFile(state(), host);
        ReadAxisFile(state(), host);
        ReadCurveFiles(state(), host);
        task.Write("exp.dat", QStringLiteral("3 2\n10 %1 2\n50 3 4\n90 5 6\n").arg(y).toLatin1());
        end();
        spy.clear();
        ASSERT_TRUE(WaitForReload(spy)) << "the write was taken as read";
        EXPECT_EQ(state().experimental.y[0], y);
        y += 1.0f;
    }
}

// A followed file is read to stamp it only when it may have changed: while
// its identity, size and times stay those of a read made after they had
// settled, the stamp taken then stands.
TEST_F(Navigation, SettledUnchangedFilesAreNotReadAgainToStampThem) {
    LiveReload& follow = view->liveReload();
    int existing = 0;
    for (const QString& path : follow.followedFiles()) {
        existing += QFileInfo(path).isFile() ? 1 : 0;
    }
    ASSERT_GE(existing, 3);
    // Just written: their times cannot yet stand for their content.
    long before = follow.digests();
    follow.Rearm();
    EXPECT_EQ(follow.digests() - before, existing);

    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    before = follow.digests();
    view->LoadTaskWithoutEditor();
    EXPECT_EQ(follow.digests(), before) << "the load's own reads stamp the files";
    frame->OnCommand(ID_RELOAD);
    follow.Rearm();
    follow.TakeAsRead(LiveReload::Reads::Nothing);
    follow.CheckNow();
    EXPECT_EQ(follow.digests(), before);

    // A change of the same size is read, and only that file.
    const QString exp = task.File("exp.dat");
    QFile file(exp);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray content = file.readAll();
    file.close();
    content[content.indexOf('1')] = '4';
    task.Write("exp.dat", content);
    follow.Rearm();
    EXPECT_EQ(follow.digests(), before + 1);
#ifndef _WIN32
    // Put back to its old time, a rewritten file still differs in its status
    // change time.
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    follow.Rearm();
    before = follow.digests();
    const std::filesystem::file_time_type written =
        std::filesystem::last_write_time(exp.toStdString());
    content[content.indexOf('4')] = '5';
    task.Write("exp.dat", content);
    std::filesystem::last_write_time(exp.toStdString(), written);
    follow.Rearm();
    EXPECT_EQ(follow.digests(), before + 1);
#endif
}

}  // namespace
}  // namespace zelk::testing
