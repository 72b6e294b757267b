// The axis file: nine values, one at the start of each of its first nine
// lines, each followed by whatever comment the user wrote there.

#include <cstdint>

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

bool Convert(TextStream& in, float& field) {
    return in.ScanFloat(field);
}
bool Convert(TextStream& in, std::int32_t& field) {
    return in.ScanUnsigned(field);
}

}  // namespace

void ReadAxisFile(PlotState& state, Host& host) {
    detail::ScopedFile file(state.curFile);
    // A missing axis file was reported by the editor run; keep the old axes.
    if (!file.Open(state.axisFile)) {
        return;
    }
    TextStream& in = state.curFile;
    const auto value = [&](auto& field) {
        const bool converted = Convert(in, field);
        if (in.ReadLine(state.lineBuf)) {
            return;
        }
        // A value that is the very last thing in the file is complete: the
        // file simply lacks a final line end. A value that is missing
        // altogether means the file is short.
        if (!converted) {
            file.Fail(host);
        }
        state.lineBuf.clear();
    };

    // The file's order differs from the order of the fields in the state.
    value(state.xMin);
    value(state.xMax);
    value(state.xStep);
    value(state.yMin);
    value(state.yMax);
    value(state.yStep);
    value(state.scaleType);
    value(state.stackFactor);
    value(state.stackOffset);
}

}  // namespace zelk
