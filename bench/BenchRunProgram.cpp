// Starting a short program and waiting for its end, as a fit run does: the
// time from the start to the moment the run is over, for a program that
// prints a line and exits at once.
//
//   BM_RunShortProgram   /bin/echo through platform::RunProgram

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace zelk::bench {
namespace {

void BM_RunShortProgram(benchmark::State& state) {
    RunHooks hooks;
    std::size_t bytes = 0;
    hooks.onOutput = [&bytes](std::string_view text) { bytes += text.size(); };
    for (auto _ : state) {
        const ProgramEnd end = platform::RunProgram("/bin/echo", {"echo", "fit done"}, hooks);
        if (end.how != ProgramEnd::How::Exited || end.code != 0) {
            state.SkipWithError("/bin/echo did not run");
            return;
        }
    }
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_RunShortProgram)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench
