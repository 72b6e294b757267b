// The curve reader from arbitrary bytes. The first five bytes set the scene:
//   0  experimentFlag (signed)       1  fitRunCount (signed)
//   2  bit 0/1/2: no experimental file / no result file / no EPS.res
//   3  point count before the read (times 14, at most 3500)
//   4  curve count before the read (modulo 13)
// The rest is the experimental file, the result file and EPS.res, separated by
// zero bytes. Besides the sanitizers, the checks catch writes past a set's
// arrays into the neighbouring fields and counts outside the capacities.

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"

namespace {

constexpr float kCanary = 123456.0f;
constexpr std::size_t kCanaryLength = 64;

bool CanaryIntact(const float* first) {
    return std::all_of(first, first + kCanaryLength, [](float v) { return v == kCanary; });
}

// A negative count is kept as the file gives it and reads nothing; only the
// capacities bound the counts from above.
bool CountsInRange(const zelk::CurveSet& set) {
    return set.pointCount <= zelk::MAX_POINTS && set.curveCount <= zelk::MAX_CURVES;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// Every message and notice names its file's role first.
bool Allowed(const std::string& message) {
    static const std::array<std::string, 3> absent = {"fileE1 - absent !!!", "fileRES - absent !!!",
                                                      "EPS.res - absent !!!"};
    return std::find(absent.begin(), absent.end(), message) != absent.end() ||
           StartsWith(message, "Invalid parameters file\nres.dat") ||
           StartsWith(message, "fileE1 - ") || StartsWith(message, "fileRES - ") ||
           StartsWith(message, "EPS.res - ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    static auto state = [] {
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->plotY.fill(kCanary);
        s->previous.x.fill(kCanary);
        return s;
    }();
    std::array<std::uint8_t, 5> scene{};
    const std::size_t sceneBytes = std::min(size, scene.size());
    std::copy(data, data + sceneBytes, scene.begin());
    std::string_view rest = fuzz::AsText(data + sceneBytes, size - sceneBytes);

    const std::string names[] = {state->expFile, state->resFile, "EPS.res"};
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        fuzz::TaskDir().Remove(names[i]);
        if ((scene[2] & (1u << i)) == 0) {
            fuzz::WriteTaskFile(names[i], rest.substr(0, end));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    state->experimentFlag = static_cast<std::int8_t>(scene[0]);
    state->fitRunCount = static_cast<std::int8_t>(scene[1]);
    for (CurveSet* set : {&state->experimental, &state->result}) {
        set->pointCount = std::min(scene[3] * 14, MAX_POINTS);
        set->curveCount = scene[4] % (MAX_CURVES + 1);
    }

    // A live read first: never shown, never fatal, and a set is kept unless
    // its file was read whole.
    const std::int32_t resultPoints = state->result.pointCount;
    testing::RecordingHost liveHost;
    const ReadReport live = ReadCurveFiles(*state, liveHost, ReadMode::Live);
    fuzz::Check(liveHost.fatals == 0 && liveHost.messages.empty() && liveHost.notices.empty(),
                "a live read showed or ended");
    const bool resultIncomplete =
        std::any_of(live.messages.begin(), live.messages.end(), [](const std::string& m) {
            return (StartsWith(m, "fileRES - ") && !StartsWith(m, "fileRES - cut to ")) ||
                   StartsWith(m, "Invalid parameters file");
        });
    fuzz::Check(!resultIncomplete || state->result.pointCount == resultPoints,
                "a live read stored a partial result");

    testing::RecordingHost host;
    bool fatal = false;
    ReadReport report;
    try {
        report = ReadCurveFiles(*state, host);
    } catch (const FatalError&) {
        fatal = true;
    }
    fuzz::Check(!state->curFile.IsOpen(), "a curve file was left open");
    fuzz::Check(fatal == (host.fatals == 1), "fatal error without the fatal path");
    fuzz::Check(host.redraws == (fatal ? 0 : 1), "no redraw, or more than one");
    // Two boxes at most per file (cut, and short or refused) and two notes
    // (skipped lines, nan or inf), and one note on the curve counts.
    const bool exp = state->experimentFlag > 0;
    const bool res = state->fitRunCount > 0;
    const std::size_t filesRead = (exp ? 1u : 0u) + (res ? 1u : 0u) + (exp && res ? 1u : 0u);
    fuzz::Check(host.messages.size() <= 2 * filesRead, "too many messages");
    fuzz::Check(host.notices.size() <= 2 * filesRead + 1, "too many notices");
    for (const std::string& message : host.messages) {
        fuzz::Check(Allowed(message), "unexpected message");
    }
    for (const std::string& notice : host.notices) {
        fuzz::Check(Allowed(notice), "unexpected notice");
    }
    if (!fatal) {
        fuzz::Check(report.messages == host.messages, "the report differs from what was shown");
        // The same files read in the same way say the same things.
        fuzz::Check(live.messages == report.messages && live.notices == report.notices,
                    "a live read and a command's read differ");
    }
    fuzz::Check(CountsInRange(state->experimental), "experimental counts out of range");
    fuzz::Check(CountsInRange(state->result), "result counts out of range");
    fuzz::Check(CanaryIntact(state->plotY.data()), "written past the experimental set");
    fuzz::Check(CanaryIntact(state->previous.x.data()), "written past the result set");
    return 0;
}
