#pragma once
// The readers of the task's files. They report through the Host and read
// relative names against the process's current directory.

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk {

// START_A.INP: file names, experiment flag and marker positions.
void ReadTaskFile(PlotState& state, Host& host);

// The axis file named by axisFile: ranges, steps, scale type, stacking.
void ReadAxisFile(PlotState& state, Host& host);

// EPS.res in the current directory: its first number into target. Shows
// "EPS.res - absent !!!" when the file cannot be opened and then leaves target
// unchanged. Shared by the curve reader (eps) and the snapshot (epsPrevious).
void ReadEpsValue(PlotState& state, Host& host, float& target);

// The experimental file, the result file and EPS.res as experimentFlag and
// fitRunCount call for; ends with a redraw request.
void ReadCurveFiles(PlotState& state, Host& host);

}  // namespace zelk
