#pragma once
// A plot state at full capacity: three sets of 12 curves x 3500 points,
// experimental data, a fit run and a snapshot, on a 1280 x 960 client area;
// and a task folder with such curve files, for the readers.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk::bench {

inline void FillSet(CurveSet& set, float phase) {
    set.pointCount = MAX_POINTS;
    set.curveCount = MAX_CURVES;
    for (int p = 0; p < MAX_POINTS; ++p) {
        set.x[p] = static_cast<float>(p);
        for (int c = 0; c < MAX_CURVES; ++c) {
            const double t = p * 0.01 + c * 0.7 + phase;
            set.y[p * MAX_CURVES + c] = static_cast<float>(
                1.0 + std::sin(t) * std::exp(-p / 2000.0) + 0.05 * std::sin(37 * t));
        }
    }
}

inline std::unique_ptr<PlotState> FullCapacityState() {
    auto s = std::make_unique<PlotState>();
    s->clientWidth = 1280;
    s->clientHeight = 960;
    s->xMin = 0;
    s->xMax = MAX_POINTS;
    s->xStep = 250;
    s->yMin = 0;
    s->yMax = 38;
    s->yStep = 2;
    s->scaleType = 1;
    s->stackFactor = 1;
    s->stackOffset = 3;
    s->experimentFlag = 1;
    s->fitRunCount = 1;
    s->snapshotCount = 1;
    s->markerX1 = 500;
    s->markerX2 = 3000;
    s->eps = 0.0123456f;
    s->epsPrevious = 0.0234567f;
    FillSet(s->experimental, 0.0f);
    FillSet(s->result, 0.05f);
    FillSet(s->previous, 0.1f);
    return s;
}

inline void WriteCurveFile(const std::filesystem::path& path, const CurveSet& set, bool header) {
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

// A reader's host that shows nothing.
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

// A task folder with the full-capacity experimental and result files and
// EPS.res, the current folder for the benchmark's run.
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
    const std::filesystem::path& Dir() const { return dir_; }
    std::int64_t Bytes() const {
        return static_cast<std::int64_t>(std::filesystem::file_size(dir_ / "exp.dat") +
                                         std::filesystem::file_size(dir_ / "res.dat"));
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
    std::unique_ptr<PlotState> state_ = std::make_unique<PlotState>();
};

}  // namespace zelk::bench
