// Reading full-capacity curve files: an experimental and a result file of 12
// curves x 3500 points each, and EPS.res, as after a fit run.
//
//   BM_ReadCurveFiles   one read of the three files, parsed afresh
//   BM_SetTaskReads     the reads of one "&Set Task" or --task: the curve
//                       files before and after the axis file, unchanged

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

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

// The task folder with the three files, current for the benchmark's run.
class BenchTask {
  public:
    BenchTask() : dir_(std::filesystem::temp_directory_path() / "zelk-bench-curves") {
        const auto source = FullCapacityState();
        std::filesystem::create_directories(dir_);
        WriteCurveFile(dir_ / "exp.dat", source->experimental, false);
        WriteCurveFile(dir_ / "res.dat", source->result, true);
        std::ofstream(dir_ / "EPS.res") << "0.0123456\n";
        // A file's stamp stands for its content only once it has rested longer
        // than the file system's time resolution; task files usually have.
        std::this_thread::sleep_for(std::chrono::milliseconds(3100));
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        state_->experimentFlag = 1;
        state_->fitRunCount = 1;
        state_->expFile = "exp.dat";
        state_->resFile = "res.dat";
    }
    ~BenchTask() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    PlotState& State() { return *state_; }
    std::int64_t Bytes() const {
        return static_cast<std::int64_t>(std::filesystem::file_size(dir_ / "exp.dat") +
                                         std::filesystem::file_size(dir_ / "res.dat"));
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
    std::unique_ptr<PlotState> state_ = std::make_unique<PlotState>();
};

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
    st.SetBytesProcessed(st.iterations() * task.Bytes());
}
BENCHMARK(BM_SetTaskReads)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench
