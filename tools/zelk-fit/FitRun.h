#pragma once
// One run of the demo fitting program in the current folder: read
// START_A.INP and the files it names, fit, write the result file, EPS.res
// and newmod.res.

#include <ostream>

namespace zelk::fit {

// Exit status of a run.
enum RunStatus : int {
    kRunOk = 0,
    kRunNotConverged = 1,  // files written, but a fit used up its evaluations
    kRunBadInput = 2,      // nothing written
};

// Writes a summary to `out` and every problem to `err`.
int RunFit(std::ostream& out, std::ostream& err);

}  // namespace zelk::fit
