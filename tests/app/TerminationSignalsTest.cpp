// SIGTERM, SIGHUP and SIGINT to the GUI process: each becomes an event, a
// running fitting program is stopped and Zelk ends once its command is over;
// outside a run Zelk ends at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/CZelkApp.h"
#include "app/TerminationSignals.h"
#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "frame/FitRunPanel.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Ignores the three signals while it lives, so that a handler that failed to
// install shows as a failed test rather than a killed test program.
class IgnoredSignals {
  public:
    IgnoredSignals() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &ignore, &saved_[i]);
        }
    }
    ~IgnoredSignals() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &saved_[i], nullptr);
        }
    }
    IgnoredSignals(const IgnoredSignals&) = delete;
    IgnoredSignals& operator=(const IgnoredSignals&) = delete;

  private:
    struct sigaction saved_[std::size(kSignals)];
};

TEST(TerminationSignals, EachArrivesAsAnEventAndTheEarlierHandlingComesBack) {
    IgnoredSignals ignored;
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.Install());
        QSignalSpy received(&watcher, &TerminationSignals::received);
        int expected = 0;
        for (int signalNumber : kSignals) {
            ::raise(signalNumber);
            ++expected;
            QTRY_COMPARE(received.count(), expected);
            EXPECT_EQ(received.last().at(0).toInt(), signalNumber);
        }
    }
    for (int signalNumber : kSignals) {
        struct sigaction now {};
        ::sigaction(signalNumber, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_IGN) << signalNumber;
    }
}

class SignalToZelk : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(app.InitInstance({}), std::nullopt);
        frame = app.mainFrame();
        // The test program goes on after Zelk's window has closed.
        QObject::disconnect(frame, &CMainFrame::quitRequested, qApp, nullptr);
        QObject::connect(&watcher, &TerminationSignals::received,
                         [this](int signalNumber) { app.OnTerminationSignal(signalNumber); });
        ASSERT_TRUE(watcher.Install());
    }

    // Tests before may have left the current directory in a folder since
    // removed; the task folder below must come back to an existing one.
    struct ExistingCurrentDir {
        ExistingCurrentDir() {
            std::filesystem::current_path(std::filesystem::temp_directory_path());
        }
    } existingCurrentDir;
    testing::TempWorkDir work;
    IgnoredSignals ignored;
    CZelkApp app;
    CMainFrame* frame = nullptr;
    TerminationSignals watcher;
};

TEST_F(SignalToZelk, DuringARunStopsTheProgramAndEndsZelkOnceTheCommandIsOver) {
    const auto script =
        work.Write("fitter", "#!/bin/sh\nwhile :; do echo tick; sleep 0.05; done\n");
    ::chmod(script.c_str(), 0755);
    QSignalSpy quit(frame, &CMainFrame::quitRequested);
    GuiHost& host = frame->view()->guiHost();
    bool raised = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        frame->fitRunPanel()->Flush();
        if (!raised && frame->fitRunPanel()->output()->toPlainText().contains("tick")) {
            raised = true;
            ::raise(SIGTERM);
        }
    });
    driver.start(20);
    const ProgramEnd end = host.RunFitProgram("./fitter", {"./fitter"});
    driver.stop();
    EXPECT_TRUE(raised);
    EXPECT_EQ(end.how, ProgramEnd::How::Stopped);
    EXPECT_EQ(quit.count(), 0);  // the command still has to put FIT.INP back
    QTRY_COMPARE(quit.count(), 1);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(SignalToZelk, OutsideARunEndsZelkAtOnce) {
    for (int signalNumber : {SIGHUP, SIGINT}) {
        QSignalSpy quit(frame, &CMainFrame::quitRequested);
        frame->show();
        ::raise(signalNumber);
        QTRY_COMPARE(quit.count(), 1);
        EXPECT_FALSE(frame->isVisible());
    }
}

}  // namespace
}  // namespace zelk
