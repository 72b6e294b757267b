// Reading full-capacity curve files: an experimental and a result file of 12
// curves x 3500 points each, and EPS.res, as after a fit run.
//
//   BM_ReadCurveFiles   one read of the three files, parsed afresh
//   BM_SetTaskReads     the reads of one "&Set Task" or --task: the curve
//                       files before and after the axis file, unchanged

#include <benchmark/benchmark.h>

#include "FullCapacity.h"
#include "plot/Readers.h"

namespace zelk::bench {
namespace {

void BM_ReadCurveFiles(benchmark::State& st) {
    BenchTask task;
    NullHost host;
    for (auto _ : st) {
        task.State().readCache.Clear();
        ReadCurveFiles(task.State(), host);
        benchmark::DoNotOptimize(task.State().result.y.data());
    }
    st.SetBytesProcessed(st.iterations() * task.Bytes());
}
BENCHMARK(BM_ReadCurveFiles)->Unit(benchmark::kMillisecond);

void BM_SetTaskReads(benchmark::State& st) {
    BenchTask task;
    NullHost host;
    for (auto _ : st) {
        task.State().readCache.Clear();
        ReadCurveFiles(task.State(), host);
        ReadCurveFiles(task.State(), host);
        benchmark::DoNotOptimize(task.State().result.y.data());
    }
    // Three files parsed once each when the second read takes the kept parses.
    st.counters["parses"] = benchmark::Counter(static_cast<double>(task.State().readCache.Parses()),
                                               benchmark::Counter::kAvgIterations);
    st.SetBytesProcessed(st.iterations() * task.Bytes());
}
BENCHMARK(BM_SetTaskReads)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench
