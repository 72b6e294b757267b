// Keeping a result for comparison, reloading the curve files, and storing the
// model the fitting program leaves behind under a new name.

#include <filesystem>
#include <system_error>

#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

// Both names resolved against the current folder and through links; for two
// existing files, also the same file under two names.
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code ec;
    const fs::path pathA = platform::FsPath(a);
    const fs::path pathB = platform::FsPath(b);
    if (fs::equivalent(pathA, pathB, ec) && !ec) {
        return true;
    }
    std::error_code ecA;
    std::error_code ecB;
    const fs::path ca = fs::weakly_canonical(fs::absolute(pathA, ecA), ecA);
    const fs::path cb = fs::weakly_canonical(fs::absolute(pathB, ecB), ecB);
    return !ecA && !ecB && ca == cb;
}

// The task's own files that a new model must not replace unasked. The model
// file is not among them: storing the fitted model over it is the ordinary
// way to go on from a fit.
bool IsOtherTaskFile(const PlotState& state, const std::string& name) {
    if (SameFile(name, state.modelFile)) {
        return false;
    }
    for (const std::string& own :
         {std::string("START_A.INP"), std::string("FIT.INP"), std::string("BUFF.RES"),
          state.expFile, state.optFile, state.axisFile, state.resFile}) {
        if (SameFile(name, own)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void TaskCommands::TakeSnapshot() {
    ++state_.snapshotCount;
    CurveSet& previous = state_.previous;
    const CurveSet& result = state_.result;
    previous.pointCount = result.pointCount;
    previous.curveCount = result.curveCount;
    // The counts are kept as they are; the copy itself stays within the arrays
    // whatever a result file claimed.
    const int points = UsablePoints(previous);
    const int curves = UsableCurves(previous);
    for (int p = 0; p < points; ++p) {
        previous.x[static_cast<std::size_t>(p)] = result.x[static_cast<std::size_t>(p)];
        for (int c = 0; c < curves; ++c) {
            const auto i = static_cast<std::size_t>(p * MAX_CURVES + c);
            previous.y[i] = result.y[i];
        }
    }
    if (state_.experimentFlag > 0) {
        // Read anew from EPS.res, not copied from eps.
        ReadEpsValue(state_, host_, state_.epsPrevious);
    }
    host_.Redraw();
}

void TaskCommands::Reload() {
    ReadCurveFilesAsTheyAre();
}

void TaskCommands::NewModel() {
    const bool accepted = host_.RunNewModelDialog(newModelDlg_);
    host_.Redraw();
    if (!accepted) {
        // Escape or the close box: the user asked for nothing.
        return;
    }
    const std::string name = newModelDlg_.newModelName;
    // Enter repeats the last name, and OK has the focus: one key press must
    // not replace the task file or the measured data.
    if (IsOtherTaskFile(state_, name) && !host_.AskYesNo("Replace " + name + "?")) {
        return;
    }
    if (!platform::CopyFile("newmod.res", name)) {
        host_.ShowMessage("CAN NOT COPY newmod.res TO: " + name);
    }
    if (newModelDlg_.continueWithFile == 1) {
        LoadTask();
        state_.modelFile = name;
    }
    host_.Redraw();
}

}  // namespace zelk
