// zelk-render: draws a task folder's plot without a window, as "&Set Task"
// reads it, into a PNG, SVG or PDF file and/or as the list of surface
// operations (--ops). With --run-fit or --run-fit-as-is it first runs the
// fitting program as the toolbar buttons do, through the same commands.

#include <QCommandLineParser>
#include <QCoreApplication>
#ifndef ZELK_PLOT_GLYPHS
#include <QGuiApplication>
#endif
#include <QRegularExpression>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "Export.h"
#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "plot/Host.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace {

constexpr const char* kName = "zelk-render";

// The signal that asked zelk-render to end during a fit run, 0 for none.
volatile std::sig_atomic_t gEndSignal = 0;

extern "C" void NoteEndSignal(int signal) {
    gEndSignal = signal;
}

// While a fit command runs, SIGTERM, SIGINT and SIGHUP stop the fitting
// program instead of ending zelk-render at once, so that FIT.INP is restored
// first; a closed standard error must not end it either.
class FitSignals {
  public:
    FitSignals() {
        for (const int signal : kSignals) {
            previous_.push_back(std::signal(signal, NoteEndSignal));
        }
#ifdef SIGPIPE
        previousPipe_ = std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~FitSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            std::signal(kSignals[i], previous_[i]);
        }
#ifdef SIGPIPE
        std::signal(SIGPIPE, previousPipe_);
#endif
    }
    FitSignals(const FitSignals&) = delete;
    FitSignals& operator=(const FitSignals&) = delete;

    // Ends the process by the signal that came during the run, as it would
    // have without the handler.
    static void EndIfSignalled() {
        if (const int signal = gEndSignal; signal != 0) {
            std::fflush(nullptr);
            std::signal(signal, SIG_DFL);
            std::raise(signal);
            std::_Exit(128 + signal);
        }
    }

  private:
#ifdef SIGHUP
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
#else
    static constexpr std::array<int, 2> kSignals = {SIGTERM, SIGINT};
#endif
    std::vector<void (*)(int)> previous_;
#ifdef SIGPIPE
    void (*previousPipe_)(int) = SIG_DFL;
#endif
};

// Messages a window would show go to standard error, and the reading goes on;
// the fatal error ends the run through FatalError. A fit run passes the
// fitting program's output to standard error unchanged.
class StderrHost : public zelk::Host {
  public:
    explicit StderrHost(double fitTimeout = 0.0) : fitTimeout_(fitTimeout) {}

    void ShowMessage(const std::string& text) override {
        std::cerr << kName << ": " << text << '\n';
    }
    void ShowNotice(const std::string& text) override { ShowMessage(text); }
    [[noreturn]] void Fatal(const std::string& text) override { throw zelk::FatalError(text); }
    void Redraw() override {}
    int LaunchAndWait(const std::string& program, const std::vector<std::string>&,
                      const std::string&) override {
        std::cerr << kName << ": not starting " << program << '\n';
        return -1;
    }
    zelk::ProgramEnd RunFitProgram(const std::string& program,
                                   const std::vector<std::string>& argv) override {
        std::cerr.flush();
        const auto start = std::chrono::steady_clock::now();
        zelk::RunHooks hooks;
        hooks.onOutput = [](std::string_view chunk) {
            std::fwrite(chunk.data(), 1, chunk.size(), stderr);
            std::fflush(stderr);
        };
        hooks.stopRequested = [this, start] {
            if (gEndSignal != 0) {
                return true;
            }
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            return fitTimeout_ > 0.0 && elapsed.count() >= fitTimeout_;
        };
        const zelk::ProgramEnd end = zelk::platform::RunProgram(program, argv, hooks);
        if (end.how != zelk::ProgramEnd::How::NotStarted) {
            std::cerr << kName << ": the fitting program " << zelk::ProgramEndText(end) << '\n';
        }
        return end;
    }
    void FitRunFinished(const FitRunOutcome& outcome) override { fitRun = outcome; }
    bool RunNewModelDialog(zelk::NewModelDlgData&) override { return false; }

    std::optional<FitRunOutcome> fitRun;

  private:
    double fitTimeout_;
};

struct Options {
    std::string dir = ".";
    int width = 800;
    int height = 600;
    int fitRuns = 0;
    bool snapshot = false;
    std::string output;
    std::string ops;
    enum class FitRun { None, Placeholder, AsIs } fitRun = FitRun::None;
    double fitTimeout = 0.0;  // seconds; 0: no limit
};

int Usage(const std::string& message) {
    std::cerr << kName << ": " << message << "\nTry '" << kName << " --help'.\n";
    return 2;
}

// Largest side of a picture; a bigger one would not fit in memory anyway.
constexpr int kMaxSide = 16384;

// Returns -1 when the options are fine, otherwise the exit status.
int ParseOptions(const QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Draws the plot of a Zelk task folder without a window.\n"
        "Reads START_A.INP, the curve files and the axis file as \"&Set Task\" does.");
    parser.addHelpOption();
    const QCommandLineOption dir("dir", "Task folder (default: the current folder).", "DIR");
    const QCommandLineOption size("size", "Client area in pixels (default: 800x600).", "WxH");
    const QCommandLineOption fitRuns(
        "fit-runs", "Fit runs so far (default 0); 1 or more also draws the fit.", "N");
    const QCommandLineOption snapshot("snapshot", "Take a snapshot of the fit after reading.");
    const QCommandLineOption output("o", "Write the plot to FILE (.png, .svg or .pdf).", "FILE");
    const QCommandLineOption ops("ops", "Write the surface operations to FILE ('-': stdout).",
                                 "FILE");
    const QCommandLineOption runFit(
        "run-fit",
        "Load the task, run the fitting program on a placeholder FIT.INP as the first toolbar "
        "button does, then draw with the fit-run counter at 1. The program's output goes to "
        "standard error. Exit status 3 when the run left no result file or was stopped.");
    const QCommandLineOption runFitAsIs(
        "run-fit-as-is",
        "As --run-fit, but run the fitting program on FIT.INP as it stands, as the second "
        "toolbar button does without the editor.");
    const QCommandLineOption fitTimeout(
        "fit-timeout", "Stop the fitting program after SECONDS, as the Stop button does.",
        "SECONDS");
    parser.addOptions({dir, size, fitRuns, snapshot, output, ops, runFit, runFitAsIs, fitTimeout});
    if (!parser.parse(app.arguments())) {
        return Usage(parser.errorText().toStdString());
    }
    if (parser.isSet("help")) {
        std::cout << parser.helpText().toStdString() << std::flush;
        return std::cout ? 0 : 1;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Usage("unexpected argument " + parser.positionalArguments().first().toStdString());
    }
    if (parser.isSet(dir)) {
        options.dir = parser.value(dir).toStdString();
    }
    if (parser.isSet(size)) {
        const auto match =
            QRegularExpression("^(\\d{1,6})[xX](\\d{1,6})$").match(parser.value(size));
        if (!match.hasMatch()) {
            return Usage("--size wants WIDTHxHEIGHT, for example 800x600");
        }
        options.width = match.captured(1).toInt();
        options.height = match.captured(2).toInt();
        if (options.width < 1 || options.height < 1 || options.width > kMaxSide ||
            options.height > kMaxSide) {
            return Usage("--size: each side must be 1 to " + std::to_string(kMaxSide));
        }
    }
    if (parser.isSet(fitRuns)) {
        bool ok = false;
        options.fitRuns = parser.value(fitRuns).toInt(&ok);
        if (!ok || options.fitRuns < 0) {
            return Usage("--fit-runs wants a whole number of 0 or more");
        }
    }
    if (parser.isSet(runFit) && parser.isSet(runFitAsIs)) {
        return Usage("--run-fit and --run-fit-as-is: choose one");
    }
    if (parser.isSet(runFit) || parser.isSet(runFitAsIs)) {
        if (parser.isSet(fitRuns)) {
            return Usage("--fit-runs cannot be combined with a fit run: the run counts itself");
        }
        options.fitRun =
            parser.isSet(runFit) ? Options::FitRun::Placeholder : Options::FitRun::AsIs;
    }
    if (parser.isSet(fitTimeout)) {
        bool ok = false;
        options.fitTimeout = parser.value(fitTimeout).toDouble(&ok);
        if (!ok || !(options.fitTimeout > 0.0) || options.fitTimeout > 1e9) {
            return Usage("--fit-timeout wants a number of seconds above 0");
        }
        if (options.fitRun == Options::FitRun::None) {
            return Usage("--fit-timeout needs --run-fit or --run-fit-as-is");
        }
    }
    options.snapshot = parser.isSet(snapshot);
    options.output = parser.value(output).toStdString();
    options.ops = parser.value(ops).toStdString();
    if (options.output.empty() && options.ops.empty()) {
        return Usage("nothing to write: give -o FILE and/or --ops FILE");
    }
    if (!options.output.empty() &&
        zelk::render::PictureFormatOf(options.output) == zelk::render::PictureFormat::None) {
        return Usage("-o: the file name must end in .png, .svg or .pdf");
    }
    return -1;
}

bool Exists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::is_regular_file(name, ec);
}

// "&Set Task" without the editor: the existence checks the editor runs make,
// the task file, the curve files, the axis file and the curve files again.
void ReadTask(zelk::PlotState& state, zelk::Host& host, const Options& options) {
    if (!Exists("START_A.INP")) {
        host.ShowMessage("CAN NOT FIND FILE: START_A.INP");
    }
    zelk::ReadTaskFile(state, host);
    zelk::ReadCurveFiles(state, host);
    if (!Exists(state.axisFile)) {
        host.ShowMessage(state.axisFile.empty() ? std::string("CAN NOT FIND FILE: fileAXIS")
                                                : "CAN NOT FIND FILE: fileAXIS\n" + state.axisFile);
    }
    zelk::ReadAxisFile(state, host);
    zelk::ReadCurveFiles(state, host);
    if (options.snapshot) {
        zelk::TaskCommands(state, host).TakeSnapshot();
    }
}

int Render(zelk::PlotState& state, const Options& options) {
    int status = 0;
    if (!options.ops.empty()) {
        if (options.ops == "-") {
            zelk::render::WriteOps(state, std::cout);
            // A full disk or a closed pipe shows only when the bytes leave.
            std::cout.flush();
            if (!std::cout) {
                std::cerr << kName << ": cannot write the operations to standard output\n";
                status = 1;
            }
        } else {
            std::string error;
            if (!zelk::render::SaveOps(state, options.ops, error)) {
                std::cerr << kName << ": " << options.ops << ": " << error << '\n';
                status = 1;
            }
        }
    }
    if (!options.output.empty()) {
        std::string error;
        if (!zelk::render::WritePicture(state, options.output,
                                        zelk::render::PictureFormatOf(options.output), error)) {
            std::cerr << kName << ": " << options.output << ": " << error << '\n';
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Reading the curves and drawing write a few megabytes of fresh heap:
    // large pages spare most of the stops for the kernel's supply.
    zelk::platform::PrepareHeapForStartUp();
    // A headless tool: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#ifdef ZELK_PLOT_GLYPHS
    // Every picture is drawn without Qt's painting: no platform plugin, no
    // font set-up.
    QCoreApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName(kName);

    Options options;
    if (const int status = ParseOptions(app, options); status >= 0) {
        return status;
    }
    // Output paths are taken relative to where the program was started.
    std::error_code ec;
    const auto absolute = [&](const std::string& path) {
        return path.empty() || path == "-" ? path : std::filesystem::absolute(path, ec).string();
    };
    options.output = absolute(options.output);
    options.ops = absolute(options.ops);
    std::filesystem::current_path(options.dir, ec);
    if (ec) {
        std::cerr << kName << ": cannot enter " << options.dir << ": " << ec.message() << '\n';
        return 2;
    }

    auto state = std::make_unique_for_overwrite<zelk::PlotState>();
    state->workDir = std::filesystem::current_path(ec).string();
    state->clientWidth = options.width;
    state->clientHeight = options.height;
    state->fitRunCount = options.fitRuns;
    StderrHost host(options.fitTimeout);
    int fitStatus = 0;
    try {
        if (options.fitRun != Options::FitRun::None) {
            // A placeholder that an interrupted run left in FIT.INP goes
            // before anything is read or run.
            zelk::TaskCommands(*state, host).RecoverInterruptedFitRun();
        }
        ReadTask(*state, host, options);
        if (options.fitRun != Options::FitRun::None) {
            {
                FitSignals catching;
                zelk::TaskCommands commands(*state, host);
                if (options.fitRun == Options::FitRun::Placeholder) {
                    commands.RunPlaceholderFit();
                } else {
                    commands.RunFitAsIs();
                }
            }
            FitSignals::EndIfSignalled();
            const bool stopped =
                host.fitRun && host.fitRun->end.how == zelk::ProgramEnd::How::Stopped;
            if (!host.fitRun || !host.fitRun->resultWritten || stopped) {
                fitStatus = 3;
            }
        }
    } catch (const zelk::FatalError& e) {
        FitSignals::EndIfSignalled();
        std::cerr << kName << ": " << e.what() << '\n';
        return 1;
    }
    const int status = Render(*state, options);
    return status != 0 ? status : fitStatus;
}
