// The fit-run panel under a flood: 50 MB of output lines through the path a
// run takes (chunks as the pipe delivers them, drawn on the panel's timer).
// To keep up with a program writing 50 MB/s the figure must stay well above
// 50 MB/s; the counters show that what is kept stays bounded.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "frame/FitRunPanel.h"

namespace {

constexpr qsizetype kTotal = 50 * 1024 * 1024;

// Output as a fitting program writes it: numbered iteration lines and, now
// and then, a progress line that a carriage return rewrites.
QByteArray FloodText() {
    QByteArray text;
    text.reserve(kTotal + 256);
    for (int i = 0; text.size() < kTotal; ++i) {
        if (i % 50 == 0) {
            text += "progress " + QByteArray::number(i % 100) + "%\r";
        }
        text += "iteration " + QByteArray::number(i) +
                "  chi2 = " + QByteArray::number(1.0 / (i + 1), 'e', 9) +
                "  params 1.2345 6.7890 0.1234\n";
    }
    text.truncate(kTotal);
    return text;
}

// chunkBytes per read from the pipe; a redraw after every redrawBytes, which
// at 50 MB/s and the panel's 80 ms timer is 4 MB.
void BM_FitRunPanelFlood(benchmark::State& state) {
    const QByteArray text = FloodText();
    const auto chunk = static_cast<qsizetype>(state.range(0));
    const qsizetype redrawBytes = 4 * 1024 * 1024;
    for (auto _ : state) {
        zelk::FitRunPanel panel;
        panel.BeginRun(QStringLiteral("bench in /tmp, started now"));
        qsizetype sinceRedraw = 0;
        for (qsizetype at = 0; at < text.size(); at += chunk) {
            const qsizetype n = std::min(chunk, text.size() - at);
            panel.AppendOutput(QByteArrayView(text.constData() + at, n));
            sinceRedraw += n;
            if (sinceRedraw >= redrawBytes) {
                panel.Flush();
                sinceRedraw = 0;
            }
        }
        panel.EndRun(QStringLiteral("ended with exit status 0 after 1.0 s"));
        state.counters["blocks"] = panel.output()->document()->blockCount();
        state.counters["chars"] = panel.output()->document()->characterCount();
        state.counters["kept_lines"] = static_cast<double>(panel.lines().lines().size());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_FitRunPanelFlood)->Arg(4096)->Arg(65536)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// One redraw of a full panel, the cost paid on every timer tick while a
// flood goes on: 10,000 new lines replace the shown ones.
void BM_FitRunPanelRedrawFull(benchmark::State& state) {
    QByteArray lines;
    for (int i = 0; i < 10000; ++i) {
        lines += "iteration " + QByteArray::number(i) + "  chi2 = 1.234567890e-03\n";
    }
    zelk::FitRunPanel panel;
    panel.BeginRun(QStringLiteral("bench"));
    for (auto _ : state) {
        panel.AppendOutput(lines);
        panel.Flush();
    }
}
BENCHMARK(BM_FitRunPanelRedrawFull)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
