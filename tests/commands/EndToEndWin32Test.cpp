// The road of a typical use on Windows, through the real command code and the
// Win32 launcher: a task folder whose path holds blanks and letters beyond
// ANSI, "&Set Task" with a stand-in Notepad, and the placeholder fit with
// zelk-fit.exe, whose output comes through the pipe. The user's FIT.INP (CR
// LF lines) comes back byte for byte, also when the run is stopped.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef CopyFile
#undef DeleteFile
#undef SetCurrentDirectory

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands/CommandIds.h"
#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "support/RecordingHost.h"
#include "support/ScopedEnv.h"
#include "support/TaskFolder.h"

namespace zelk::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using How = ProgramEnd::How;

// "démo task Ω": Ω is in no Western ANSI code page.
const std::string kTaskFolderName = "d\xC3\xA9mo task \xCE\xA9";

// A program the build copied beside this test.
std::string Beside(const std::string& name) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return platform::JoinPath(Utf8(fs::path(buffer).parent_path()), name);
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r')) {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// The demo task made by zelk-fit.exe itself, in a folder with blanks and
// non-ANSI letters; the fitting program is a copy in that folder.
class WindowsRoad : public ::testing::Test {
  protected:
    WindowsRoad() {
        taskDir = platform::JoinPath(root.path(), kTaskFolderName);
        fs::create_directory(FsPath(taskDir));
        fitProgram = platform::JoinPath(taskDir, "zelk-fit.exe");
        fs::copy_file(FsPath(Beside("zelk-fit.exe")), FsPath(fitProgram));
        editorDir = platform::JoinPath(root.path(), "stand-in windows");
        fs::create_directory(FsPath(editorDir));
        fs::copy_file(FsPath(Beside("zelk-argv-dump.exe")),
                      FsPath(platform::JoinPath(editorDir, "notepad.exe")));
    }

    void MakeDemo() {
        ASSERT_TRUE(platform::SetCurrentDirectory(taskDir));
        ASSERT_EQ(platform::LaunchAndWait(fitProgram, {fitProgram, "--make-demo", "."}), 0);
        // The user's FIT.INP as a Windows editor saves it.
        userFitInput = WithCrLf(ReadText("FIT.INP"));
        ASSERT_NE(userFitInput.find("\r\n"), std::string::npos);
        WriteText("FIT.INP", userFitInput);
        WriteText("BUFF.RES", "a backup left by an older run\r\n");
    }

    // Editor runs go to the stand-in Notepad, which notes what it was given;
    // fit runs go to platform::RunProgram with the output collected.
    void RealLaunches() {
        host.onLaunch = [this](const RecordingHost::LaunchRecord& launch) {
            const std::string notepad =
                platform::JoinPath(platform::WindowsDirectory(), "notepad.exe");
            EXPECT_EQ(launch.program, notepad);
            return platform::LaunchAndWait(platform::JoinPath(editorDir, "notepad.exe"),
                                           launch.argv);
        };
        host.onFitRun = [this](const RecordingHost::LaunchRecord& launch) {
            RunHooks hooks;
            hooks.onOutput = [this](std::string_view chunk) { output += chunk; };
            hooks.stopRequested = [this] {
                return stopOnStart && output.find("started") != std::string::npos;
            };
            hooks.grace = std::chrono::milliseconds(500);
            return platform::RunProgram(launch.program, launch.argv, hooks);
        };
    }

    TaskFolder root{"zelk road"};
    std::string taskDir, fitProgram, editorDir, userFitInput, output;
    bool stopOnStart = false;
    std::unique_ptr<PlotState> state = std::make_unique<PlotState>();
    RecordingHost host;
    TaskCommands commands{*state, host};
};

TEST_F(WindowsRoad, PlaceholderFitWithZelkFit) {
    MakeDemo();
    RealLaunches();

    // "&Set Task": the task file and the axis file in the (stand-in) editor.
    commands.Execute(ID_SET_TASK);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->workDir, taskDir);
    EXPECT_EQ(platform::CurrentDirectory(), taskDir);
    // The demo names the program by the path it found for itself, in UTF-8.
    EXPECT_EQ(state->fitProgram, fitProgram);
    EXPECT_EQ(state->experimental.pointCount, 401);
    EXPECT_EQ(state->experimental.curveCount, 3);
    const std::string axisPath = platform::JoinPath(taskDir, state->axisFile);
    EXPECT_EQ(ReadText("argv.txt"), std::to_string(axisPath.size()) + ":" + axisPath + "\n" +
                                        std::to_string(axisPath.size()) + ":" + axisPath + "\n");

    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages, Strings{});
    ASSERT_EQ(host.fitRuns.size(), 1u);
    EXPECT_EQ(host.fitRuns[0].end.how, How::Exited);
    EXPECT_EQ(host.fitRuns[0].end.code, 0);
    EXPECT_TRUE(host.fitRuns[0].resultWritten);
    EXPECT_TRUE(host.fitRuns[0].epsWritten);
    EXPECT_NE(output.find("converged"), std::string::npos) << output;
    EXPECT_EQ(host.launches.back().argv, Strings{fitProgram});
    // The user's input back byte for byte, and the backup holds it too.
    EXPECT_EQ(ReadText("FIT.INP"), userFitInput);
    EXPECT_EQ(ReadText("BUFF.RES"), userFitInput);
    // The result read.
    EXPECT_EQ(state->fitRunCount, 1);
    EXPECT_EQ(state->result.pointCount, 401);
    EXPECT_EQ(state->result.curveCount, 3);
    EXPECT_GT(state->eps, 0.0f);
    EXPECT_EQ(state->eps, std::strtof(ReadText("EPS.res").c_str(), nullptr));
}

TEST_F(WindowsRoad, StoppedRunPutsTheInputBackAndClaimsNoResult) {
    MakeDemo();
    RealLaunches();
    commands.Execute(ID_SET_TASK);
    ASSERT_EQ(host.messages, Strings{});
    // A fitting program that says "started" and then runs until stopped.
    const std::string slowFit = platform::JoinPath(taskDir, "slow fit.exe");
    fs::copy_file(FsPath(Beside("zelk-argv-dump.exe")), FsPath(slowFit));
    state->fitProgram = slowFit;
    ScopedEnv sleeps("ZELK_ARGV_DUMP_SLEEP_MS", "600000");
    stopOnStart = true;
    WriteText(state->resFile, "result of an earlier run\r\n");

    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.fitRuns.size(), 1u);
    EXPECT_EQ(host.fitRuns[0].end.how, How::Stopped);
    EXPECT_FALSE(host.fitRuns[0].resultWritten);
    EXPECT_EQ(output, "started\r\n");
    EXPECT_EQ(ReadText("FIT.INP"), userFitInput);
    EXPECT_EQ(ReadText("BUFF.RES"), userFitInput);
    // The earlier result was deleted before the start, and nothing came.
    EXPECT_FALSE(Exists(state->resFile));
    EXPECT_FALSE(Exists("argv.txt.part"));
    // The program is gone: its file can be deleted (a running image cannot).
    EXPECT_TRUE(platform::DeleteFile(slowFit));
}

TEST_F(WindowsRoad, FittingProgramNamedWithoutExeIsFoundAndRun) {
    MakeDemo();
    RealLaunches();
    commands.Execute(ID_SET_TASK);
    ASSERT_EQ(host.messages, Strings{});
    // "zelk-fit" in the task file, as the original runtime's launcher took it.
    state->fitProgram = fitProgram.substr(0, fitProgram.size() - 4);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages, Strings{});
    ASSERT_EQ(host.fitRuns.size(), 1u);
    EXPECT_EQ(host.fitRuns[0].end.how, How::Exited);
    EXPECT_TRUE(host.fitRuns[0].resultWritten);
    EXPECT_EQ(host.launches.back().argv, Strings{state->fitProgram});
    EXPECT_EQ(ReadText("FIT.INP"), userFitInput);
}

// Every file the task names spelled with letters of no ANSI code page:
// zelk-fit.exe reads and writes them by those names, and the run sees and
// reads its result.
TEST_F(WindowsRoad, FilesNamedWithNonAsciiLettersAreTakenByZelkFit) {
    MakeDemo();
    const std::vector<std::pair<std::string, std::string>> renamed = {
        {"demo.opt", "options \xCE\xA9.opt"},
        {"demo.mod", "mod\xC3\xA8le \xCE\xA9.mod"},
        {"demo.dat", "mesures \xCE\xA9.dat"},
        {"demo.res", "r\xC3\xA9sultat \xCE\xA9.dat"},
    };
    std::string task = ReadText("START_A.INP");
    for (const auto& [from, to] : renamed) {
        const std::size_t at = task.find("\n" + from + "\n");
        ASSERT_NE(at, std::string::npos) << from;
        task.replace(at + 1, from.size(), to);
        if (from != "demo.res") {
            fs::rename(FsPath(from), FsPath(to));
        }
    }
    WriteText("START_A.INP", task);
    RealLaunches();
    commands.Execute(ID_SET_TASK);
    ASSERT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->resFile, renamed.back().second);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages, Strings{});
    ASSERT_EQ(host.fitRuns.size(), 1u);
    EXPECT_EQ(host.fitRuns[0].end.code, 0) << output;
    EXPECT_TRUE(host.fitRuns[0].resultWritten);
    EXPECT_TRUE(fs::is_regular_file(FsPath(renamed.back().second)));
    EXPECT_FALSE(fs::exists("demo.res"));
    EXPECT_TRUE(state->resultCurrent);
    EXPECT_EQ(state->result.pointCount, 401);
}

// The folder for --make-demo comes whole, whatever its letters.
TEST_F(WindowsRoad, DemoMadeInAFolderNamedBeyondTheAnsiCodePage) {
    ASSERT_TRUE(platform::SetCurrentDirectory(taskDir));
    const std::string folder = "\xCE\xA9 demo \xC3\xA9";
    ASSERT_EQ(platform::LaunchAndWait(fitProgram, {fitProgram, "--make-demo", folder}), 0);
    EXPECT_TRUE(fs::is_regular_file(FsPath(platform::JoinPath(folder, "START_A.INP"))));
    EXPECT_TRUE(fs::is_regular_file(FsPath(platform::JoinPath(folder, "demo.dat"))));
}

}  // namespace
}  // namespace zelk::testing
