#pragma once
// The readers of the task's files. They report through the Host and read
// relative names against the process's current directory.

#include <string>
#include <vector>

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk {

enum class ReadMode {
    // A command's read: messages in boxes, notes through ShowNotice, and a
    // file too short to read ends the process with "Invalid parameters file".
    Command,
    // A reread because a file changed on disk, perhaps while it is still being
    // written: nothing is shown and nothing ends the process. A file that is
    // not complete leaves what it would have replaced as it was; the report
    // says so and holds the texts, for the caller to show as it sees fit. A
    // redraw is asked for only when something was stored.
    Live,
};

// What a read found.
struct ReadReport {
    // Every file that was read gave all that its counts or lines call for.
    bool complete = true;
    // The texts of the messages and notes, in order (in Command mode they have
    // been shown already).
    std::vector<std::string> messages;
    std::vector<std::string> notices;
};

// START_A.INP: file names, experiment flag and marker positions.
ReadReport ReadTaskFile(PlotState& state, Host& host, ReadMode mode = ReadMode::Command);

// The axis file named by axisFile: ranges, steps, scale type, stacking.
ReadReport ReadAxisFile(PlotState& state, Host& host, ReadMode mode = ReadMode::Command);

// EPS.res in the current directory: the first number on its first line (after
// any leading text such as "EPS =") into target. Shows "EPS.res - absent !!!"
// when the file cannot be opened and then leaves target unchanged. Shared by
// the curve reader (eps) and the snapshot (epsPrevious).
ReadReport ReadEpsValue(PlotState& state, Host& host, float& target,
                        ReadMode mode = ReadMode::Command);

// The experimental file, the result file and EPS.res as experimentFlag and
// fitRunCount call for; ends with a redraw request. A file read again while
// its identity, size and times are unchanged is not parsed again: what it
// stored and said the first time is stored and said once more.
ReadReport ReadCurveFiles(PlotState& state, Host& host, ReadMode mode = ReadMode::Command);

}  // namespace zelk
