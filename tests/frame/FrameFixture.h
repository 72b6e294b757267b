#pragma once
// A main window whose view sends its task commands to a recording Host, in a
// folder holding a small valid task; every routed command is logged.

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

#include "frame/CMainFrame.h"
#include "frame/CZelkView.h"
#include "plot/PlotState.h"
#include "support/QtPrinters.h"
#include "support/RecordingHost.h"
#include "support/SampleTask.h"

namespace zelk::testing {

struct Routed {
    int id;
    QString handler;
    bool operator==(const Routed&) const = default;
};

inline void PrintTo(const Routed& r, std::ostream* os) {
    *os << r.id << "->" << r.handler.toStdString();
}

class FrameFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = std::make_unique<CMainFrame>();
        view = frame->view();
        view->UseHost(host);
        view->SetDialogRunner([this](QDialog& dialog) {
            dialogs.push_back(dialog.metaObject()->className());
            return 0;  // rejected, as by Cancel
        });
        frame->SetAppHandler([this](int id) {
            appCommands.push_back(id);
            return id == 57600 || id == 57601 || id == 57603 || id == 57606 || id == 57664 ||
                   id == 57665;
        });
        QObject::connect(frame.get(), &CMainFrame::commandRouted,
                         [this](int id, const QString& handler) {
                             routed.push_back({id, handler});
                         });
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }

    void TearDown() override { frame.reset(); }

    PlotState& state() { return view->state(); }

    SampleTask task;
    RecordingHost host;
    std::unique_ptr<CMainFrame> frame;
    CZelkView* view = nullptr;
    std::vector<Routed> routed;
    std::vector<int> appCommands;
    std::vector<std::string> dialogs;
};

}  // namespace zelk::testing

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace zelk::testing {

// Closes every modal window that opens while it lives and records what it
// said, so that a box can never block a test.
class ModalCloser {
  public:
    ModalCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    texts.push_back(box->windowTitle() + ": " + box->text());
                } else {
                    texts.push_back(modal->windowTitle());
                }
                modal->close();
            }
        });
        timer_.start(20);
    }
    QStringList texts;

  private:
    QTimer timer_;
};

}  // namespace zelk::testing
