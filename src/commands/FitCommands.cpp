// The two fit runs: the fitting program on a placeholder FIT.INP, and on the
// FIT.INP the user has just edited.

#include <filesystem>
#include <system_error>

#include "commands/Placeholder.h"
#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "plot/Readers.h"

namespace zelk {

namespace {

constexpr const char* kFitInput = "FIT.INP";
constexpr const char* kFitInputBackup = "BUFF.RES";

}  // namespace

bool TaskCommands::PrepareFitRun() {
    const bool programFound = CheckExists(state_.fitProgram, "CAN NOT FIND *.exe file");
    CheckExists(state_.modelFile, "CAN NOT FIND MODEL file");
    // A result left by an earlier run must not pass for this run's result.
    platform::DeleteFile(state_.resFile);
    return programFound;
}

void TaskCommands::LaunchFitProgram(bool programFound) {
    // Taken as named: a relative name from the current directory, never from
    // the search path; the program's own name is its only argument.
    const std::string program = state_.fitProgram;
    const int code =
        host_.LaunchAndWait(program, {program}, "Waiting for the fitting program: " + program);
    // A missing program has been reported already; one that is there but
    // cannot run (no execute permission, another system's program) would
    // otherwise only show up as a missing result.
    if (code == -1 && programFound) {
        host_.ShowMessage("CAN NOT START THE FITTING PROGRAM: " + program);
    }
}

void TaskCommands::FinishFitRun() {
    CheckExists(state_.resFile, "CAN NOT FIND fileRES");
    ReadCurveFiles(state_, host_);
}

void TaskCommands::RunPlaceholderFit() {
    ++state_.fitRunCount;
    const bool programFound = PrepareFitRun();
    // Only a backup made by this very run may be put back: a BUFF.RES left by
    // an earlier run holds someone else's input.
    const bool backedUp = platform::CopyFile(kFitInput, kFitInputBackup);
    // The placeholder replaces the user's FIT.INP next: without a copy of it,
    // the user's input would be gone.
    std::error_code error;
    if (!backedUp && std::filesystem::is_regular_file(kFitInput, error)) {
        host_.ShowMessage("CAN NOT WRITE FILE: BUFF.RES - the fitting program was not started");
        host_.Redraw();
        return;
    }
    if (!WritePlaceholderFitInput(kFitInput)) {
        if (backedUp) {
            platform::CopyFile(kFitInputBackup, kFitInput);
        }
        host_.ShowMessage("CAN NOT WRITE FILE: FIT.INP - the fitting program was not started");
        host_.Redraw();
        return;
    }
    LaunchFitProgram(programFound);
    if (backedUp && !platform::CopyFile(kFitInputBackup, kFitInput)) {
        host_.ShowMessage("CAN NOT RESTORE FILE: FIT.INP - your input is kept in BUFF.RES");
    }
    FinishFitRun();
}

void TaskCommands::RunEditedFit() {
    ++state_.fitRunCount;
    EditInNotepad(kFitInput, "CAN NOT FIND FILE: FIT.INP");
    LaunchFitProgram(PrepareFitRun());
    FinishFitRun();
}

}  // namespace zelk
