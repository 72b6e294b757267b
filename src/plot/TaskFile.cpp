// START_A.INP: fifteen lines naming the task's files, with the experiment flag
// on line 6 and the two marker positions on line 9.

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {

void ReadTaskFile(PlotState& state, Host& host) {
    detail::ScopedFile file(state.curFile);
    // The editor run before this has already reported a missing file; without
    // one there is nothing to read and the previous task stays as it was.
    if (!file.Open("START_A.INP")) {
        return;
    }
    TextStream& in = state.curFile;
    const auto skipLine = [&] {
        if (!in.ReadLine(state.lineBuf)) {
            file.Fail(host);
        }
    };
    const auto storeLine = [&](std::string& field) {
        skipLine();
        detail::StoreName(state, field);
    };

    skipLine();
    skipLine();
    storeLine(state.optFile);
    skipLine();
    storeLine(state.modelFile);

    // Neither conversion is checked: one that finds no number keeps the old
    // value and the rest-of-line read below swallows the offending text.
    in.ScanUnsigned(state.experimentFlag);
    skipLine();

    skipLine();
    storeLine(state.expFile);

    // "%f  %f": once the first number fails, the second fails at the same place.
    if (in.ScanFloat(state.markerX1)) {
        in.ScanFloat(state.markerX2);
    }
    skipLine();

    skipLine();
    storeLine(state.fitProgram);
    skipLine();
    storeLine(state.resFile);
    skipLine();
    storeLine(state.axisFile);
}

}  // namespace zelk
