// Opening a full-capacity task and following its files: the curve reads of
// a task load (the experimental and result files, 12 curves x 3500 points
// each, and EPS.res, all settled) and the follower of file changes taking
// them as read. The counter says how many files the follower read itself.

#include <benchmark/benchmark.h>

#include "FullCapacity.h"
#include "frame/LiveReload.h"
#include "plot/Readers.h"

namespace zelk::bench {
namespace {

void BM_TaskLoadAndFollower(benchmark::State& st) {
    BenchTask task;
    PlotState& state = task.State();
    state.workDir = task.Dir().string();
    NullHost host;
    long followerReads = 0;
    for (auto _ : st) {
        // A task opened afresh: nothing kept from an earlier read or stamp.
        state.readCache.Clear();
        LiveReload follow(state, [] { return false; });
        ReadCurveFiles(state, host);
        follow.Rearm();
        followerReads += follow.digests();
    }
    st.counters["follower reads"] =
        benchmark::Counter(static_cast<double>(followerReads), benchmark::Counter::kAvgIterations);
    st.SetBytesProcessed(st.iterations() * task.Bytes());
}
BENCHMARK(BM_TaskLoadAndFollower)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench
