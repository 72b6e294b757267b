#pragma once
// The Host of the running application: modal boxes owned by the view, the
// fatal end of the process, repaint requests, and waiting for the editor or
// the fitting program while the window keeps repainting but takes no input.
// A fit run shows its output in the "Fitting Program" panel, writes the run
// log, counts the time in the status bar and can be stopped with Escape or
// the panel's Stop button, the only input that reaches the window meanwhile.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "frame/FitRunPanel.h"
#include "plot/Host.h"

class QTimer;
class QWidget;

namespace zelk {

class FitRunLog;

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
    ProgramEnd RunFitProgram(const std::string& program,
                             const std::vector<std::string>& argv) override;
    void FitRunFinished(const FitRunOutcome& outcome) override;
    bool RunNewModelDialog(NewModelDlgData& data) override;

    bool busy() const { return busy_; }
    bool fitRunning() const { return fitRunning_; }

    // Asks the running fitting program to stop (Stop, Escape, the close
    // question, a signal to Zelk); the fit command then goes on as after any
    // other end. Nothing happens when no fitting program runs.
    void RequestStop();

    // Zelk is ending once the current command is over: messages go to
    // standard error instead of boxes nobody will answer, and no new fitting
    // program starts (the command sees it as stopped).
    void SetQuitting(bool quitting) { quitting_ = quitting; }
    bool quitting() const { return quitting_; }

    // A fit command (either toolbar button) begins or ends: notices between
    // the two concern the run and go to the panel as well.
    void BeginFitCommand();
    void EndFitCommand();

    // While a program is waited for, input to this widget (and to what it
    // holds) still reaches it: the close question, the Stop button.
    void AllowInputTo(QWidget* widget);

    void SetFitRunPanel(FitRunPanel* panel);
    FitRunPanel* fitRunPanel() const { return panel_; }
    // Makes the panel when a run first needs it (and calls SetFitRunPanel);
    // asked once at most.
    void SetFitRunPanelMaker(std::function<FitRunPanel*()> maker) {
        panelMaker_ = std::move(maker);
    }
    // Where the run logs go (FitRunLog::DefaultFolder() unless a test moves
    // them); empty: no log.
    void SetRunLogFolder(const QString& folder);
    const QString& runLogFolder() const { return runLogFolder_; }
    // The log of the last run (empty when none could be written).
    const QString& lastRunLog() const { return lastRunLog_; }

    // Replaces the platform launcher (tests run scripted programs through it).
    using Launcher = std::function<int(const std::string&, const std::vector<std::string>&,
                                       const std::function<void()>&)>;
    void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
    // Replaces platform::RunProgram for the fitting program.
    using FitRunner = std::function<ProgramEnd(const std::string&, const std::vector<std::string>&,
                                               const RunHooks&)>;
    void SetFitRunner(FitRunner runner) { fitRunner_ = std::move(runner); }

    // Lets the application go on while a program runs: repaints and timers,
    // but no mouse or keyboard input, which is dropped rather than queued.
    static void ProcessEventsWhileWaiting();

  signals:
    void busyChanged(bool busy, const QString& waitingFor);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BeginBusy(const QString& what);
    void EndBusy();
    bool InputAllowed(QObject* watched, QEvent* event) const;
    QString FitStatusText() const;
    // A note in the status bar of the owner's window, for a while.
    void ShowInStatusBar(const QString& line);

    QWidget& owner_;
    bool busy_ = false;
    bool fitRunning_ = false;
    bool stopRequested_ = false;
    bool quitting_ = false;
    int fitCommandDepth_ = 0;
    bool runInFitCommand_ = false;
    QStringList pendingNotices_;  // fit-command notices from before its run
    Launcher launcher_;
    FitRunner fitRunner_;
    FitRunPanel* Panel();  // the panel, made now if it is still to be made
    QPointer<FitRunPanel> panel_;
    std::function<FitRunPanel*()> panelMaker_;
    QList<QPointer<QWidget>> inputExceptions_;
    QString runLogFolder_;
    QString lastRunLog_;
    FitRunLog* runLog_ = nullptr;  // the log of the run under way
    QString fitProgram_;
    QElapsedTimer fitClock_;
    QTimer* elapsedTimer_;
};

}  // namespace zelk
