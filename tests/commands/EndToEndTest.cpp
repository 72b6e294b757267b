// The road of a typical use with the real platform launcher, a scripted
// editor and the demo fitting program, in a task folder whose path holds
// blanks: "&Set Task", a placeholder fit, a snapshot, an edited fit and a new
// model taken on as the task's model.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands/CommandIds.h"
#include "commands/TaskCommands.h"
#include "platform/Platform.h"
#include "support/RecordingHost.h"
#include "support/ScopedEnv.h"
#include "support/TaskFolder.h"

#ifndef ZELK_FIT_PROGRAM
#error "ZELK_FIT_PROGRAM must name the demo fitting program"
#endif

namespace zelk::testing {
namespace {

using Strings = std::vector<std::string>;

Strings Lines(const std::string& text) {
    Strings lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

float FirstNumber(const std::string& text) {
    return std::strtof(text.c_str(), nullptr);
}

TEST(EndToEnd, TaskRoadWithTheDemoFittingProgram) {
    const std::string fitProgram = ZELK_FIT_PROGRAM;

    // The editor: notes every file it is given and runs action.sh, if there
    // is one, on it. Its own folder has no blank, because ZELK_EDITOR is
    // split on blanks.
    TaskFolder editorFolder("zelk-editor");
    const std::string opened = editorFolder.path() + "/opened.txt";
    const std::string action = editorFolder.path() + "/action.sh";
    const std::string editor = editorFolder.path() + "/editor";
    WriteText(editor, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened + "'\nif [ -f '" + action +
                          "' ]; then . '" + action + "'; fi\nexit 0\n");
    ASSERT_EQ(::chmod(editor.c_str(), 0755), 0);
    ScopedEnv editorVariable("ZELK_EDITOR", editor.c_str());

    TaskFolder root("zelk road");
    const std::string taskDir = root.path() + "/demo task";
    ASSERT_EQ(platform::LaunchAndWait(fitProgram, {fitProgram, "--make-demo", taskDir}), 0);
    ASSERT_TRUE(platform::SetCurrentDirectory(taskDir));

    auto state = std::make_unique<PlotState>();
    RecordingHost host;
    host.onLaunch = [](const RecordingHost::LaunchRecord& launch) {
        return platform::LaunchAndWait(launch.program, launch.argv);
    };
    TaskCommands commands(*state, host);

    // "&Set Task": the task file and the axis file in the editor, then read.
    commands.Execute(ID_SET_TASK);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->workDir, taskDir);
    EXPECT_EQ(Lines(ReadText(opened)), (Strings{taskDir + "/START_A.INP", taskDir + "/demo.axis"}));
    EXPECT_EQ(state->fitProgram, fitProgram);
    EXPECT_EQ(state->experimentFlag, 1);
    EXPECT_EQ(state->experimental.pointCount, 401);
    EXPECT_EQ(state->experimental.curveCount, 3);
    EXPECT_EQ(state->yMax, 6.0f);
    EXPECT_EQ(state->stackFactor, 0.01f);
    const std::string userFitInput = ReadText("FIT.INP");

    // A placeholder fit: the user's FIT.INP is back afterwards.
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(host.launches.back().program, fitProgram);
    EXPECT_EQ(state->fitRunCount, 1);
    EXPECT_EQ(ReadText("FIT.INP"), userFitInput);
    EXPECT_EQ(ReadText("BUFF.RES"), userFitInput);
    EXPECT_EQ(state->result.pointCount, 401);
    EXPECT_EQ(state->result.curveCount, 3);
    EXPECT_GT(state->eps, 0.0f);
    EXPECT_EQ(state->eps, FirstNumber(ReadText("EPS.res")));
    const float firstEps = state->eps;
    const float firstFitted = state->result.y[200 * MAX_CURVES + 1];

    // The snapshot keeps that result.
    commands.Execute(ID_SNAPSHOT);
    EXPECT_EQ(state->snapshotCount, 1);
    EXPECT_EQ(state->previous.pointCount, 401);
    EXPECT_EQ(state->previous.y[200 * MAX_CURVES + 1], firstFitted);
    EXPECT_EQ(state->epsPrevious, firstEps);

    // An edited fit: the user limits the fit of curve 1 to 20..80.
    const std::string record = "  1  1 20.00000 1 80.00000 1.00000 0 1  0.00000";
    WriteText(action,
              "case \"$1\" in */FIT.INP) printf '%s\\n' '" + record + "' >> \"$1\" ;; esac\n");
    commands.Execute(ID_RUN_EDITED_FIT);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(Lines(ReadText(opened)).back(), taskDir + "/FIT.INP");
    EXPECT_EQ(ReadText("FIT.INP"), userFitInput + record + "\n");
    EXPECT_EQ(state->fitRunCount, 2);
    EXPECT_EQ(state->result.pointCount, 401);
    EXPECT_EQ(state->eps, FirstNumber(ReadText("EPS.res")));
    EXPECT_EQ(state->epsPrevious, firstEps);
    EXPECT_EQ(state->previous.y[200 * MAX_CURVES + 1], firstFitted);

    // The fitted model stored under a new name and taken on.
    std::remove(action.c_str());
    host.onDialog = [](NewModelDlgData& data) {
        data.newModelName = "fitted model.mod";
        data.continueWithFile = 1;
        return true;
    };
    commands.Execute(ID_NEW_MODEL);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_NE(ReadText("newmod.res"), "<missing>");
    EXPECT_EQ(ReadText("fitted model.mod"), ReadText("newmod.res"));
    EXPECT_EQ(state->modelFile, "fitted model.mod");
    EXPECT_EQ(Lines(ReadText(opened)).back(), taskDir + "/START_A.INP");
    EXPECT_EQ(platform::CurrentDirectory(), taskDir);
}

}  // namespace
}  // namespace zelk::testing
