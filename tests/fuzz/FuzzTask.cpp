// START_A.INP from arbitrary bytes: no crash, no undefined behaviour, the
// fatal path is the only way out early, no name holds a line end, and a live
// read never ends anything.

#include <memory>

#include "FuzzSupport.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    static auto state = std::make_unique<PlotState>();
    fuzz::WriteTaskFile("START_A.INP", fuzz::AsText(data, size));

    const std::string resBefore = state->resFile;
    testing::RecordingHost liveHost;
    const ReadReport live = ReadTaskFile(*state, liveHost, ReadMode::Live);
    fuzz::Check(liveHost.fatals == 0 && liveHost.messages.empty(), "a live read showed or ended");
    fuzz::Check(live.complete || state->resFile == resBefore, "a live read stored a partial file");

    testing::RecordingHost host;
    bool fatal = false;
    try {
        ReadTaskFile(*state, host);
    } catch (const FatalError&) {
        fatal = true;
    }
    fuzz::Check(!state->curFile.IsOpen(), "the task file was left open");
    fuzz::Check(fatal == (host.fatals == 1), "fatal error without the fatal path");
    fuzz::Check(host.messages.size() <= 1, "more than one message");
    for (const std::string& m : host.messages) {
        fuzz::Check(m.rfind("Invalid parameters file\nSTART_A.INP: ", 0) == 0 ||
                        m.rfind("START_A.INP - not a text file !!!\n", 0) == 0,
                    "unexpected message");
    }
    for (const std::string* name : {&state->optFile, &state->modelFile, &state->expFile,
                                    &state->fitProgram, &state->resFile, &state->axisFile}) {
        fuzz::Check(name->find('\n') == std::string::npos, "a name holds a line end");
        fuzz::Check(name->find('\0') == std::string::npos, "a name holds a zero byte");
    }
    return 0;
}
