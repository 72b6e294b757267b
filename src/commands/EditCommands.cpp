// Editing the task's files, loading a task, the axis command and the command
// dispatch of the view.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "commands/CommandIds.h"
#include "commands/TaskCommands.h"
#include "platform/InputFile.h"
#include "platform/Platform.h"
#include "plot/Readers.h"

namespace zelk {

namespace {

// The commands that are an edit and nothing after it. The file is either a
// fixed name or the name a task field holds when the command starts.
struct EditorCommand {
    int id;
    const char* fixedName;          // nullptr: take field
    std::string PlotState::*field;  // used when fixedName is nullptr
    const char* missingText;        // nullptr: no existence check
};

constexpr EditorCommand kEditorCommands[] = {
    {ID_MODEL, nullptr, &PlotState::modelFile, nullptr},
    {ID_CALCOPT, nullptr, &PlotState::optFile, "CAN NOT FIND FILE: OPTFILE"},
    {ID_FITOPT, "FIT.INP", nullptr, "CAN NOT FIND FILE: FIT.INP"},
    {ID_ANGLE_SCALE, "Angle.inp", nullptr, "CAN NOT FIND FILE: Angle.inp"},
    {ID_ENERGY_SCALE, "Energy.inp", nullptr, "CAN NOT FIND FILE: Energy.inp"},
    {ID_EDIT_NEWMOD, "newmod.res", nullptr, nullptr},
};

}  // namespace

bool TaskCommands::Execute(int commandId) {
    for (const EditorCommand& command : kEditorCommands) {
        if (command.id == commandId) {
            // Copied: the edit must not depend on the field while it runs.
            const std::string file = command.fixedName != nullptr ? std::string(command.fixedName)
                                                                  : state_.*command.field;
            std::optional<std::string> missing;
            if (command.missingText != nullptr) {
                missing = command.missingText;
                // A message that names a role also gives the file's real name.
                if (command.fixedName == nullptr && !file.empty()) {
                    *missing += "\n" + file;
                }
            }
            EditInNotepad(file, missing);
            return true;
        }
    }
    switch (commandId) {
        case ID_SET_TASK:
            SetTask();
            return true;
        case ID_TASK:
            LoadTask();
            return true;
        case ID_EDIT_AXIS:
            EditAxis();
            return true;
        case ID_RUN_PLACEHOLDER_FIT:
            RunPlaceholderFit();
            return true;
        case ID_RUN_EDITED_FIT:
            RunEditedFit();
            return true;
        case ID_SNAPSHOT:
            TakeSnapshot();
            return true;
        case ID_RELOAD:
            Reload();
            return true;
        case ID_NEW_MODEL:
            NewModel();
            return true;
        default:
            return false;
    }
}

bool TaskCommands::CheckExists(const std::string& name, const std::string& missingText) {
    // Opened and closed at once; nothing is read. A folder, a named pipe or a
    // device of that name is no file to edit or run, and is never waited on.
    platform::InputFile file;
    const bool exists = file.Open(name) == platform::OpenError::None;
    if (!exists) {
        host_.ShowMessage(missingText);
    }
    return exists;
}

void TaskCommands::EditInNotepad(const std::string& targetFile,
                                 const std::optional<std::string>& missingText) {
    if (missingText) {
        CheckExists(targetFile, *missingText);
    }
    state_.editedFile = targetFile;
    // A name that is a full path is used as it is; others are put under workDir.
    const std::string filePath = platform::JoinPath(state_.workDir, state_.editedFile);
    // Before the first "&Set Task" no editor folder is recorded yet; the
    // editor is then still found where it will be recorded.
    const std::string editorDir =
        state_.windowsDir.empty() ? platform::WindowsDirectory() : state_.windowsDir;
    const platform::Launch editor = platform::EditorLaunch(editorDir, filePath);
    // Silence here would leave the user clicking a menu that does nothing.
    if (host_.LaunchAndWait(editor.program, editor.argv,
                            "Waiting for the editor to close: " + state_.editedFile) == -1) {
        host_.ShowMessage("CAN NOT START THE EDITOR: " + editor.program);
    }
    // The readers that follow an edit open their files relative to the
    // current directory, which must be the task's folder again.
    if (!state_.workDir.empty()) {
        platform::SetCurrentDirectory(state_.workDir);
    }
}

void TaskCommands::SetTask() {
    state_.workDir = platform::CurrentDirectory();
    state_.windowsDir = platform::WindowsDirectory();
    if (!state_.workDir.empty()) {
        platform::SetCurrentDirectory(state_.workDir);
    }
    LoadTask();
    EditAxis();
    ReadCurveFilesAsTheyAre();
}

void TaskCommands::LoadTask() {
    RecoverInterruptedFitRun();
    EditInNotepad("START_A.INP", "CAN NOT FIND FILE: START_A.INP");
    ReadTaskFile(state_, host_);
    ReadCurveFilesAsTheyAre();
    host_.Redraw();
}

void TaskCommands::ReadCurveFilesAsTheyAre() {
    // What is read now is drawn: a result file present is the current fit,
    // an absent one leaves none.
    if (state_.fitRunCount > 0) {
        std::error_code error;
        state_.resultCurrent =
            std::filesystem::is_regular_file(platform::FsPath(state_.resFile), error);
        state_.epsCurrent = std::filesystem::is_regular_file("EPS.res", error);
    }
    ReadCurveFilesAndEps();
}

void TaskCommands::ReadCurveFilesAndEps() {
    const ReadReport report = ReadCurveFiles(state_, host_);
    if (state_.fitRunCount <= 0 || state_.experimentFlag <= 0 || !state_.epsCurrent) {
        return;
    }
    // Every message about EPS.res begins with its name; notes (nan or inf)
    // are not messages.
    const bool refused =
        std::any_of(report.messages.begin(), report.messages.end(),
                    [](const std::string& text) { return text.starts_with("EPS.res - "); });
    if (refused) {
        state_.epsCurrent = false;
        host_.Redraw();
    }
}

void TaskCommands::EditAxis() {
    // Copied: the edit takes the name the field holds when the command starts.
    const std::string axisFile = state_.axisFile;
    EditInNotepad(axisFile, axisFile.empty() ? std::string("CAN NOT FIND FILE: fileAXIS")
                                             : "CAN NOT FIND FILE: fileAXIS\n" + axisFile);
    ReadAxisFile(state_, host_);
    host_.Redraw();
}

void TaskCommands::OnRightButton() {
    EditAxis();
    host_.Redraw();
}

}  // namespace zelk
