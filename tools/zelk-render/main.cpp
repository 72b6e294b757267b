// zelk-render: draws a task folder's plot without a window, as "&Set Task"
// reads it, into a PNG, SVG or PDF file and/or as the list of surface
// operations (--ops).

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QRegularExpression>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "Export.h"
#include "commands/TaskCommands.h"
#include "plot/Host.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace {

constexpr const char* kName = "zelk-render";

// Messages a window would show go to standard error, and the reading goes on;
// the fatal error ends the run through FatalError.
class StderrHost : public zelk::Host {
  public:
    void ShowMessage(const std::string& text) override {
        std::cerr << kName << ": " << text << '\n';
    }
    [[noreturn]] void Fatal(const std::string& text) override { throw zelk::FatalError(text); }
    void Redraw() override {}
    int LaunchAndWait(const std::string& program, const std::vector<std::string>&,
                      const std::string&) override {
        std::cerr << kName << ": not starting " << program << '\n';
        return -1;
    }
    bool RunNewModelDialog(zelk::NewModelDlgData&) override { return false; }
};

struct Options {
    std::string dir = ".";
    int width = 800;
    int height = 600;
    int fitRuns = 0;
    bool snapshot = false;
    std::string output;
    std::string ops;
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
    parser.addOptions({dir, size, fitRuns, snapshot, output, ops});
    if (!parser.parse(app.arguments())) {
        return Usage(parser.errorText().toStdString());
    }
    if (parser.isSet("help")) {
        std::cout << parser.helpText().toStdString();
        return 0;
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
            std::cout.flush();
        } else {
            std::ofstream out(options.ops, std::ios::binary);
            if (out) {
                zelk::render::WriteOps(state, out);
            }
            if (!out) {
                std::cerr << kName << ": cannot write " << options.ops << '\n';
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
    // A headless tool: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(kName);

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

    auto state = std::make_unique<zelk::PlotState>();
    state->workDir = std::filesystem::current_path(ec).string();
    state->clientWidth = options.width;
    state->clientHeight = options.height;
    state->fitRunCount = options.fitRuns;
    StderrHost host;
    try {
        ReadTask(*state, host, options);
    } catch (const zelk::FatalError& e) {
        std::cerr << kName << ": " << e.what() << '\n';
        return 1;
    }
    return Render(*state, options);
}
