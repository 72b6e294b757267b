// The axis file: nine values, one at the start of each of its first nine
// lines, each followed by whatever comment the user wrote there.

#include <cstdint>

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

constexpr int kAxisValues = 9;

bool Convert(TextStream& in, float& field) {
    return in.ScanFloat(field);
}
bool Convert(TextStream& in, std::int32_t& field) {
    return in.ScanUnsigned(field);
}

// The nine settings in the file's order; taken over only when the read went
// through.
struct AxisFields {
    float xMin, xMax, xStep, yMin, yMax, yStep;
    std::int32_t scaleType;
    float stackFactor, stackOffset;
};

}  // namespace

ReadReport ReadAxisFile(PlotState& state, Host& host, ReadMode mode) {
    ReadReport report;
    detail::Reporter reporter(host, mode, report);
    detail::ScopedFile file(state.curFile);
    // A missing axis file was reported by the editor run; keep the old axes.
    const TextStream::OpenResult opened = file.Open(state.axisFile);
    if (opened.status != TextStream::Status::Opened) {
        if (opened.status != TextStream::Status::Missing) {
            reporter.Message(detail::OpenProblem("fileAXIS", state.axisFile, opened));
        }
        reporter.Incomplete();
        return report;
    }
    TextStream& in = state.curFile;
    AxisFields a{state.xMin,  state.xMax,      state.xStep,       state.yMin,       state.yMax,
                 state.yStep, state.scaleType, state.stackFactor, state.stackOffset};
    int valuesRead = 0;
    bool failed = false;
    const auto value = [&](auto& field) {
        if (failed) {
            return;
        }
        const bool converted = Convert(in, field);
        if (in.ReadLine(state.lineBuf)) {
            ++valuesRead;
            return;
        }
        // A value that is the very last thing in the file is complete: the
        // file simply lacks a final line end. A value that is missing
        // altogether means the file is short.
        if (!converted) {
            failed = true;
            reporter.Fatal(in, state.axisFile + ": " + std::to_string(valuesRead) +
                                   (valuesRead == 1 ? " value" : " values") + " found, " +
                                   std::to_string(kAxisValues) + " needed");
            return;
        }
        ++valuesRead;
        state.lineBuf.clear();
    };

    // The file's order differs from the order of the fields in the state.
    value(a.xMin);
    value(a.xMax);
    value(a.xStep);
    value(a.yMin);
    value(a.yMax);
    value(a.yStep);
    value(a.scaleType);
    value(a.stackFactor);
    value(a.stackOffset);
    if (failed) {
        return report;  // only a live read comes back from the fatal error
    }
    state.xMin = a.xMin;
    state.xMax = a.xMax;
    state.xStep = a.xStep;
    state.yMin = a.yMin;
    state.yMax = a.yMax;
    state.yStep = a.yStep;
    state.scaleType = a.scaleType;
    state.stackFactor = a.stackFactor;
    state.stackOffset = a.stackOffset;
    return report;
}

}  // namespace zelk
