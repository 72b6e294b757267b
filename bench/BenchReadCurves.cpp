// Reading full-capacity curve files: an experimental and a result file of 12
// curves x 3500 points each, and EPS.res, as after a fit run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FullCapacity.h"
#include "plot/Readers.h"

namespace zelk::bench {
namespace {

class NullHost : public Host {
  public:
    void ShowMessage(const std::string&) override {}
    [[noreturn]] void Fatal(const std::string& text) override { throw FatalError(text); }
    void Redraw() override {}
    int LaunchAndWait(const std::string&, const std::vector<std::string>&,
                      const std::string&) override {
        return -1;
    }
    bool RunNewModelDialog(NewModelDlgData&) override { return false; }
};

void WriteCurveFile(const std::filesystem::path& path, const CurveSet& set, bool header) {
    std::ofstream out(path);
    out << set.pointCount << ' ' << set.curveCount << (header ? "  x y0 y1 ...\n" : "\n");
    char buf[32];
    for (int p = 0; p < set.pointCount; ++p) {
        std::snprintf(buf, sizeof buf, "%.6g", static_cast<double>(set.x[p]));
        out << buf;
        for (int c = 0; c < set.curveCount; ++c) {
            std::snprintf(buf, sizeof buf, " %.7e", static_cast<double>(set.y[p * MAX_CURVES + c]));
            out << buf;
        }
        out << '\n';
    }
}

void BM_ReadCurveFiles(benchmark::State& st) {
    const auto source = FullCapacityState();
    const auto dir = std::filesystem::temp_directory_path() / "zelk-bench-curves";
    std::filesystem::create_directories(dir);
    WriteCurveFile(dir / "exp.dat", source->experimental, false);
    WriteCurveFile(dir / "res.dat", source->result, true);
    std::ofstream(dir / "EPS.res") << "0.0123456\n";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    auto state = std::make_unique<PlotState>();
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    state->expFile = "exp.dat";
    state->resFile = "res.dat";
    NullHost host;
    for (auto _ : st) {
        ReadCurveFiles(*state, host);
        benchmark::DoNotOptimize(state->result.y.data());
    }
    st.SetBytesProcessed(st.iterations() *
                         static_cast<std::int64_t>(std::filesystem::file_size(dir / "exp.dat") +
                                                   std::filesystem::file_size(dir / "res.dat")));
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadCurveFiles)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench
