#pragma once
// The view's task commands: editing the task's files, loading a task, the two
// fit runs, snapshot and reload, and storing a new model. They act on the
// view's PlotState and talk to the outside only through the Host.

#include <optional>
#include <string>

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk {

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
    void TakeSnapshot();       // ID_SNAPSHOT
    void Reload();             // ID_RELOAD
    void NewModel();           // ID_NEW_MODEL
    void OnRightButton();      // the axis command, then one more redraw

    NewModelDlgData& newModelDlg() { return newModelDlg_; }
    const NewModelDlgData& newModelDlg() const { return newModelDlg_; }

  private:
    // Opens name for reading and closes it at once; shows missingText when it
    // cannot be opened. Only informs: the caller always goes on.
    bool CheckExists(const std::string& name, const std::string& missingText);
    // The checks of the fitting program and the model file, then the result
    // file deleted: what both fit runs do before the fitting program starts.
    // True when the fitting program was found.
    bool PrepareFitRun();
    // Starts the fitting program and waits; a program that was found but
    // could not be started is reported.
    void LaunchFitProgram(bool programFound);
    // The result check and the curve read that end both fit runs.
    void FinishFitRun();

    PlotState& state_;
    Host& host_;
    NewModelDlgData newModelDlg_;
};

}  // namespace zelk
