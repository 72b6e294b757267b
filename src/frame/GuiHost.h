#pragma once
// The Host of the running application: modal boxes owned by the view, the
// fatal end of the process, repaint requests, and waiting for the editor or
// the fitting program while the window keeps repainting but takes no input.

#include <QObject>
#include <QString>
#include <functional>

#include "plot/Host.h"

class QWidget;

namespace zelk {

class GuiHost : public QObject, public Host {
    Q_OBJECT
  public:
    explicit GuiHost(QWidget& owner);
    ~GuiHost() override;

    void ShowMessage(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    [[noreturn]] void Fatal(const std::string& text) override;
    void Redraw() override;
    int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                      const std::string& waitingFor) override;
    bool RunNewModelDialog(NewModelDlgData& data) override;

    bool busy() const { return busy_; }

    // Replaces the platform launcher (tests run scripted programs through it).
    using Launcher = std::function<int(const std::string&, const std::vector<std::string>&,
                                       const std::function<void()>&)>;
    void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }

    // Lets the application go on while a program runs: repaints and timers,
    // but no mouse or keyboard input, which is dropped rather than queued.
    static void ProcessEventsWhileWaiting();

  signals:
    void busyChanged(bool busy, const QString& waitingFor);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& owner_;
    bool busy_ = false;
    Launcher launcher_;
};

}  // namespace zelk
