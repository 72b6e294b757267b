// Keeping a result for comparison, reloading the curve files, and storing the
// model the fitting program leaves behind under a new name.

#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "plot/Readers.h"

namespace zelk {

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
