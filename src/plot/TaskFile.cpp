// START_A.INP: fifteen lines naming the task's files, with the experiment flag
// on line 6 and the two marker positions on line 9.

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

constexpr const char* kTaskFile = "START_A.INP";
constexpr int kTaskLines = 15;

// What a task read stores; taken over only when the read went through.
struct TaskFields {
    std::string optFile, modelFile, expFile, fitProgram, resFile, axisFile;
    std::int32_t experimentFlag;
    float markerX1, markerX2;
};

}  // namespace

ReadReport ReadTaskFile(PlotState& state, Host& host, ReadMode mode) {
    ReadReport report;
    detail::Reporter reporter(host, mode, report);
    detail::ScopedFile file(state.curFile);
    // The editor run before this has already reported a missing file; without
    // one there is nothing to read and the previous task stays as it was.
    const TextStream::OpenResult opened = file.Open(kTaskFile);
    if (opened.status != TextStream::Status::Opened) {
        if (opened.status != TextStream::Status::Missing) {
            reporter.Message(detail::OpenProblem(kTaskFile, kTaskFile, opened));
        }
        reporter.Incomplete();
        return report;
    }
    TextStream& in = state.curFile;
    TaskFields f{state.optFile,        state.modelFile, state.expFile,
                 state.fitProgram,     state.resFile,   state.axisFile,
                 state.experimentFlag, state.markerX1,  state.markerX2};
    int linesRead = 0;
    bool failed = false;
    const auto skipLine = [&] {
        if (failed) {
            return;
        }
        if (in.ReadLine(state.lineBuf)) {
            ++linesRead;
            return;
        }
        failed = true;
        reporter.Fatal(in, std::string(kTaskFile) + ": " + std::to_string(linesRead) +
                               (linesRead == 1 ? " line" : " lines") + " found, " +
                               std::to_string(kTaskLines) + " needed");
    };
    const auto storeLine = [&](std::string& field) {
        skipLine();
        if (!failed) {
            detail::StoreName(state, field);
        }
    };

    skipLine();
    skipLine();
    storeLine(f.optFile);
    skipLine();
    storeLine(f.modelFile);

    // Neither conversion is checked: one that finds no number keeps the old
    // value and the rest-of-line read below swallows the offending text.
    if (!failed) {
        in.ScanUnsigned(f.experimentFlag);
    }
    skipLine();

    skipLine();
    storeLine(f.expFile);

    // "%f  %f": once the first number fails, the second fails at the same place.
    if (!failed && in.ScanFloat(f.markerX1)) {
        in.ScanFloat(f.markerX2);
    }
    skipLine();

    skipLine();
    storeLine(f.fitProgram);
    skipLine();
    storeLine(f.resFile);
    skipLine();
    storeLine(f.axisFile);
    if (failed) {
        return report;  // only a live read comes back from the fatal error
    }
    state.optFile = std::move(f.optFile);
    state.modelFile = std::move(f.modelFile);
    state.expFile = std::move(f.expFile);
    state.fitProgram = std::move(f.fitProgram);
    state.resFile = std::move(f.resFile);
    state.axisFile = std::move(f.axisFile);
    state.experimentFlag = f.experimentFlag;
    state.markerX1 = f.markerX1;
    state.markerX2 = f.markerX2;
    return report;
}

}  // namespace zelk
