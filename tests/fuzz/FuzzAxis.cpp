// The axis file from arbitrary bytes: no crash, no undefined behaviour, the
// fatal path is the only way out early and says what was missing, and a live
// read of the same bytes never ends anything and keeps the axes unless it
// read the whole file.

#include <cstring>
#include <memory>

#include "FuzzSupport.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"

namespace {

bool SameAxes(const zelk::PlotState& a, const zelk::PlotState& b) {
    const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return same(a.xMin, b.xMin) && same(a.xMax, b.xMax) && same(a.xStep, b.xStep) &&
           same(a.yMin, b.yMin) && same(a.yMax, b.yMax) && same(a.yStep, b.yStep) &&
           a.scaleType == b.scaleType && same(a.stackFactor, b.stackFactor) &&
           same(a.stackOffset, b.stackOffset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    static auto state = [] {
        auto s = std::make_unique<PlotState>();
        s->axisFile = "axes.inp";
        return s;
    }();
    fuzz::WriteTaskFile(state->axisFile, fuzz::AsText(data, size));

    // Live first, on the axes of the previous input.
    const PlotState before = *state;
    testing::RecordingHost liveHost;
    const ReadReport live = ReadAxisFile(*state, liveHost, ReadMode::Live);
    fuzz::Check(liveHost.fatals == 0 && liveHost.messages.empty(), "a live read showed or ended");
    fuzz::Check(live.complete || SameAxes(before, *state), "a live read stored a partial file");

    testing::RecordingHost host;
    bool fatal = false;
    try {
        ReadAxisFile(*state, host);
    } catch (const FatalError&) {
        fatal = true;
    }
    fuzz::Check(!state->curFile.IsOpen(), "the axis file was left open");
    fuzz::Check(fatal == (host.fatals == 1), "fatal error without the fatal path");
    fuzz::Check(host.messages.size() <= 1, "more than one message");
    for (const std::string& m : host.messages) {
        fuzz::Check(m.rfind("Invalid parameters file\naxes.inp: ", 0) == 0 ||
                        m.rfind("fileAXIS - not a text file !!!\n", 0) == 0,
                    "unexpected message");
    }
    fuzz::Check(live.complete == (!fatal && host.messages.empty()),
                "live and command reads differ");
    return 0;
}
