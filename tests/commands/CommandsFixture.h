#pragma once
// Every command test runs in a fresh task folder (its path holds a blank)
// that is the current directory and the recorded workDir, with a recording
// host and the bundled editor (ZELK_EDITOR removed).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "plot/PlotState.h"
#include "support/RecordingHost.h"
#include "support/ScopedEnv.h"
#include "support/TaskFolder.h"

namespace zelk::testing {

using Strings = std::vector<std::string>;

// The editor the platform layer starts from dir when the user has named none:
// Notepad of the Windows directory on Windows, the bundled editor elsewhere.
inline std::string EditorIn(const std::string& dir) {
#ifdef _WIN32
    return platform::JoinPath(dir, "notepad.exe");
#else
    return platform::JoinPath(dir, "zelk-notepad");
#endif
}

inline constexpr const char* kEditorDir = "/opt/zelk tools";
inline const std::string kEditor = EditorIn(kEditorDir);

// A task file naming the given files; experiment flag and markers as given.
inline std::string TaskFileText(const std::string& model, const std::string& exp,
                                const std::string& program, const std::string& res,
                                const std::string& axis, int flag = 0,
                                const std::string& opt = "opt.inp") {
    return "task title\nremark\n" + opt + "\nremark\n" + model + "\n" + std::to_string(flag) +
           " experiment\nremark\n" + exp + "\n10.5  20.25\nremark\n" + program + "\nremark\n" +
           res + "\nremark\n" + axis + "\n";
}

inline const std::string kAxisText = "0\n100\n10\n0\n1\n0.5\n1\n1\n0\n";
// Three points of one curve, with column titles after the counts.
inline const std::string kResultText = "3 1  x  y\n1 10\n2 20\n3 30\n";

class CommandsTest : public ::testing::Test {
  protected:
    CommandsTest() {
        state->workDir = folder.path();
        state->windowsDir = kEditorDir;
    }

    std::string InTask(const std::string& name) const {
        return platform::JoinPath(folder.path(), name);
    }

    // The launches' programs, argv and waiting texts side by side.
    Strings LaunchedPrograms() const {
        Strings programs;
        for (const auto& launch : host.launches) {
            programs.push_back(launch.program);
        }
        return programs;
    }

    ScopedEnv noUserEditor{"ZELK_EDITOR", nullptr};
    TaskFolder folder;
    std::unique_ptr<PlotState> state = std::make_unique<PlotState>();
    RecordingHost host;
    TaskCommands commands{*state, host};
};

}  // namespace zelk::testing
