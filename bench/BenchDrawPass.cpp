// Drawing pass at full capacity on the surfaces the program uses.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FullCapacity.h"
#include "frame/PixelCanvas.h"
#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/RecordingSurface.h"

namespace zelk::bench {
namespace {

void PassOnImage(benchmark::State& st, QPainterSurface::Lines lines) {
    auto state = FullCapacityState();
    const CPlotter plotter;
    QImage image(state->clientWidth, state->clientHeight, QImage::Format_RGB32);
    for (auto _ : st) {
        QPainter painter(&image);
        QPainterSurface surface(painter, lines);
        DrawPass(*state, plotter, surface);
        surface.Flush();
        benchmark::ClobberMemory();
    }
}

void BM_PassOnImage(benchmark::State& st) {
    PassOnImage(st, QPainterSurface::Lines::Auto);
}
BENCHMARK(BM_PassOnImage)->Unit(benchmark::kMillisecond);

// The same on Qt's own line drawing, as a widget, SVG or PDF would get it.
void BM_PassOnImageQtLines(benchmark::State& st) {
    PassOnImage(st, QPainterSurface::Lines::QtOnly);
}
BENCHMARK(BM_PassOnImageQtLines)->Unit(benchmark::kMillisecond);

// The frame's first fill of an 800 x 600 view: every pixel of the picture,
// the largest single operation of a pass.
void BM_FillWholeView(benchmark::State& st) {
    QImage image(800, 600, QImage::Format_RGB32);
    PixelCanvas canvas(reinterpret_cast<std::uint32_t*>(image.bits()),
                       static_cast<int>(image.bytesPerLine() / 4), image.width(), image.height());
    for (auto _ : st) {
        canvas.Fill(0, 0, 800, 600, 0xFFC8C8FFu);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillWholeView)->Unit(benchmark::kMicrosecond);

void BM_PassRecorded(benchmark::State& st) {
    auto state = FullCapacityState();
    const CPlotter plotter;
    RecordingSurface surface;
    for (auto _ : st) {
        surface.Clear();
        DrawPass(*state, plotter, surface);
        benchmark::DoNotOptimize(surface.ops().data());
    }
    st.counters["ops"] = static_cast<double>(surface.ops().size());
}
BENCHMARK(BM_PassRecorded)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);  // fonts need it
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
