// The axis file from arbitrary bytes: no crash, no undefined behaviour, and
// the fatal path is the only way out early.

#include <memory>

#include "FuzzSupport.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    static auto state = [] {
        auto s = std::make_unique<PlotState>();
        s->axisFile = "axes.inp";
        return s;
    }();
    fuzz::WriteTaskFile(state->axisFile, fuzz::AsText(data, size));
    testing::RecordingHost host;
    bool fatal = false;
    try {
        ReadAxisFile(*state, host);
    } catch (const FatalError&) {
        fatal = true;
    }
    fuzz::Check(!state->curFile.IsOpen(), "the axis file was left open");
    fuzz::Check(fatal == (host.fatals == 1), "fatal error without the fatal path");
    fuzz::Check(host.messages.size() == (fatal ? 1u : 0u), "unexpected message");
    return 0;
}
