#pragma once
// The view's task commands: editing the task's files, loading a task, the two
// fit runs, snapshot and reload, and storing a new model. They act on the
// view's PlotState and talk to the outside only through the Host.

#include <optional>
#include <string>

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk {

// The lock file that keeps two processes from running fits in one task
// folder at once, and what the second one is told.
inline constexpr const char* kFitLockFile = ".zelk-fit.lock";
inline constexpr const char* kFitAlreadyRunning = "A fit is already running in this folder";

// How a fitting program ended, in the words of the fit-run panel's last line:
// "ended with exit status 3 after 12.4 s", "ended by signal 11 (Segmentation
// fault)", "stopped", "could not start: not found".
std::string ProgramEndText(const ProgramEnd& end);

class TaskCommands {
  public:
    TaskCommands(PlotState& state, Host& host) : state_(state), host_(host) {}

    // Runs the view command with this id; false when id is not one of the
    // view's task commands (ID_SET_TASK ... ID_EDIT_NEWMOD).
    bool Execute(int commandId);

    // Existence check (when missingText is given), the editor on the file
    // under workDir, then workDir made current again.
    void EditInNotepad(const std::string& targetFile,
                       const std::optional<std::string>& missingText);

    void SetTask();            // ID_SET_TASK
    void LoadTask();           // ID_TASK: editor on START_A.INP, then read and redraw
    void EditAxis();           // ID_EDIT_AXIS
    void RunPlaceholderFit();  // ID_RUN_PLACEHOLDER_FIT
    void RunEditedFit();       // ID_RUN_EDITED_FIT
    // The second button's run without the editor: the fitting program on
    // FIT.INP as it stands (zelk-render --run-fit-as-is).
    void RunFitAsIs();
    void TakeSnapshot();   // ID_SNAPSHOT
    void Reload();         // ID_RELOAD
    void NewModel();       // ID_NEW_MODEL
    void OnRightButton();  // the axis command, then one more redraw

    // After a placeholder run that was cut short (Zelk killed, a power cut),
    // FIT.INP holds the placeholder while BUFF.RES holds the user's input:
    // puts BUFF.RES back into FIT.INP and says so. Runs before the placeholder
    // run and on every task load; the GUI and zelk-render call it when they
    // load a task folder without the editor. True when FIT.INP was restored.
    bool RecoverInterruptedFitRun();

    NewModelDlgData& newModelDlg() { return newModelDlg_; }
    const NewModelDlgData& newModelDlg() const { return newModelDlg_; }

  private:
    // Opens name for reading and closes it at once; shows missingText when it
    // cannot be opened. Only informs: the caller always goes on.
    bool CheckExists(const std::string& name, const std::string& missingText);
    class FitRunScope;

    // The curve files as they are on disk now: what they hold is drawn.
    void ReadCurveFilesAsTheyAre();

    // The existence checks of the fitting program and the model file; true
    // when the fitting program was found.
    bool CheckFitProgramAndModel();
    // The name of the task's own file that the result name leads to, with its
    // role; empty when the result name is none of them.
    std::string OwnFileNamedAsResult() const;
    // Refuses the run when the result name is one of the task's own files,
    // which the run would delete. True when refused.
    bool RefuseOwnFileAsResult();
    // Ends a fit command that did not start the fitting program: the message,
    // no result, the Host told, a redraw.
    void RefuseFitRun(const std::string& text);
    ProgramEnd StartFitProgram();
    void ReportStartFailure(const ProgramEnd& end);
    // The result check, the Host told how the run ended and what it wrote,
    // and the curve read that end both fit runs.
    void FinishFitRun(const ProgramEnd& end, bool resultWritten, bool epsWritten);
    // The edited run after its editor: lock, checks, run, result.
    void RunFitOnInputAsItIs();
    // RecoverInterruptedFitRun with the folder's fit lock already held.
    bool RecoverInterruptedFitRunLocked();

    PlotState& state_;
    Host& host_;
    NewModelDlgData newModelDlg_;
};

}  // namespace zelk
