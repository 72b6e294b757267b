// "&Set Task", "&Task", the axis command and the right mouse button: the
// editor runs, what is read after them, and the working directory.

#include <sys/stat.h>

#include <filesystem>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"
#include "platform/Platform.h"

namespace zelk::testing {
namespace {

const std::string kExpText = "3 2\n1 10 100\n2 20 200\n3 30 300\n";

class TaskLoadingTest : public CommandsTest {
  protected:
    void WriteTask(const std::string& axis = "axis file.txt") {
        WriteText("START_A.INP",
                  TaskFileText("model.mod", "exp.dat", "fit prog", "result.dat", axis, 1));
        WriteText("exp.dat", kExpText);
        WriteText(axis, kAxisText);
    }
};

TEST_F(TaskLoadingTest, SetTaskTakesTheUserThroughTaskAndAxisFile) {
    WriteTask();
    state->workDir.clear();
    state->windowsDir.clear();
    commands.Execute(ID_SET_TASK);
    EXPECT_EQ(state->workDir, folder.path());
    EXPECT_EQ(state->windowsDir, platform::WindowsDirectory());
    const std::string editor = EditorIn(state->windowsDir);
    ASSERT_EQ(LaunchedPrograms(), (Strings{editor, editor}));
    EXPECT_EQ(host.launches[0].argv, (Strings{InTask("START_A.INP"), InTask("START_A.INP")}));
    EXPECT_EQ(host.launches[1].argv, (Strings{InTask("axis file.txt"), InTask("axis file.txt")}));
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->axisFile, "axis file.txt");
    EXPECT_EQ(state->xMax, 100.0f);
    EXPECT_EQ(state->experimental.pointCount, 3);
    EXPECT_EQ(state->experimental.y[2 * MAX_CURVES + 1], 300.0f);
    EXPECT_EQ(state->fitRunCount, 0);
}

// The curve files are read once after the task file and once more at the
// very end, after the axis edit; no counter is reset on the way.
TEST_F(TaskLoadingTest, SetTaskReadsTheCurveFilesTwiceAndKeepsTheCounters) {
    WriteTask();
    WriteText("result.dat", kResultText);
    state->fitRunCount = 2;
    state->snapshotCount = 1;
    host.onLaunch = [](const RecordingHost::LaunchRecord& launch) {
        if (launch.argv.at(1).ends_with("axis file.txt")) {
            WriteText("exp.dat", "1 1\n7 70\n");
        }
        return 0;
    };
    commands.Execute(ID_SET_TASK);
    // EPS.res is missing: each of the two curve reads reports it.
    EXPECT_EQ(host.messages, (Strings{"EPS.res - absent !!!", "EPS.res - absent !!!"}));
    EXPECT_EQ(state->experimental.pointCount, 1);
    EXPECT_EQ(state->experimental.y[0], 70.0f);
    EXPECT_EQ(state->result.pointCount, 3);
    EXPECT_EQ(state->fitRunCount, 2);
    EXPECT_EQ(state->snapshotCount, 1);
    // Task step: curve read and redraw; axis step: redraw; final curve read.
    EXPECT_EQ(host.redraws, 4);

    host.messages.clear();
    commands.Execute(ID_TASK);
    EXPECT_EQ(host.messages, Strings{"EPS.res - absent !!!"});
    EXPECT_EQ(state->fitRunCount, 2);
    EXPECT_EQ(state->snapshotCount, 1);
}

TEST_F(TaskLoadingTest, SetTaskWorksInFoldersOfAnyLength) {
    const std::string segment(120, 'x');
    std::string deep = folder.path();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(std::filesystem::create_directory(segment + " " + std::to_string(i)));
        std::filesystem::current_path(segment + " " + std::to_string(i));
        deep = platform::JoinPath(deep, segment + " " + std::to_string(i));
    }
    ASSERT_GT(deep.size(), 600u);
    WriteTask();
    host.onLaunch = [](const RecordingHost::LaunchRecord&) {
        std::filesystem::current_path("/");
        return 0;
    };
    commands.Execute(ID_SET_TASK);
    EXPECT_EQ(state->workDir, deep);
    EXPECT_EQ(host.launches.at(1).argv.at(1), platform::JoinPath(deep, "axis file.txt"));
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->yStep, 0.5f);
    EXPECT_EQ(platform::CurrentDirectory(), deep);
}

TEST_F(TaskLoadingTest, TaskFileCreatedInTheEditorIsRead) {
    host.onLaunch = [this](const RecordingHost::LaunchRecord&) {
        WriteTask();
        return 0;
    };
    commands.Execute(ID_TASK);
    EXPECT_EQ(host.messages, Strings{"CAN NOT FIND FILE: START_A.INP"});
    EXPECT_EQ(state->modelFile, "model.mod");
    EXPECT_EQ(state->experimental.pointCount, 3);
    EXPECT_GE(host.redraws, 1);
}

TEST_F(TaskLoadingTest, TaskFileStillMissingAfterTheEditorChangesNothing) {
    state->modelFile = "kept.mod";
    commands.Execute(ID_TASK);
    EXPECT_EQ(host.messages, Strings{"CAN NOT FIND FILE: START_A.INP"});
    EXPECT_EQ(host.fatals, 0);
    EXPECT_EQ(state->modelFile, "kept.mod");
    EXPECT_GE(host.redraws, 1);
}

TEST_F(TaskLoadingTest, FilesVanishingUnderTheEditorNeverStopTheCommand) {
    WriteTask();
    host.onLaunch = [](const RecordingHost::LaunchRecord& launch) {
        std::error_code error;
        if (std::filesystem::is_regular_file(launch.argv.at(1), error)) {
            std::filesystem::remove(launch.argv.at(1), error);
        }
        return 0;
    };
    commands.Execute(ID_SET_TASK);
    // The task file was there for the check and gone for the read: nothing
    // was read, so no axis file is known either.
    EXPECT_EQ(host.messages, Strings{"CAN NOT FIND FILE: fileAXIS"});
    EXPECT_EQ(host.fatals, 0);
    EXPECT_EQ(host.launches.size(), 2u);
    EXPECT_EQ(state->modelFile, "");
}

// A named pipe where the task file should be: nothing waits for a writer
// that never comes, and each step says what it found. (Windows has no named
// pipes in folders.)
#ifndef _WIN32
TEST_F(TaskLoadingTest, TaskFileThatIsANamedPipeNeverHangsTheCommand) {
    ASSERT_EQ(::mkfifo("START_A.INP", 0644), 0);
    commands.Execute(ID_TASK);
    EXPECT_EQ(host.messages,
              (Strings{"CAN NOT FIND FILE: START_A.INP",
                       "START_A.INP - not a file !!!\nSTART_A.INP is a named pipe (FIFO), not a "
                       "file"}));
    EXPECT_EQ(host.fatals, 0);
}
#endif

TEST_F(TaskLoadingTest, ShortTaskFileIsFatalAndNothingRunsAfterIt) {
    WriteText("START_A.INP", "only\nthree\nlines\n");
    EXPECT_THROW(commands.Execute(ID_SET_TASK), FatalError);
    EXPECT_EQ(host.messages,
              Strings{"Invalid parameters file\nSTART_A.INP: 3 lines found, 15 needed"});
    EXPECT_EQ(host.launches.size(), 1u);  // the axis file was never opened
}

TEST_F(TaskLoadingTest, AbsoluteAxisFileReachesTheEditorUnchanged) {
    std::filesystem::create_directory("shared axes");
    const std::string axis = folder.path() + "/shared axes/axis.txt";
    WriteTask(axis);
    commands.Execute(ID_SET_TASK);
    ASSERT_EQ(host.launches.size(), 2u);
    EXPECT_EQ(host.launches[1].argv, (Strings{axis, axis}));
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->xStep, 10.0f);
}

TEST_F(TaskLoadingTest, RightButtonEditsAndRereadsTheAxisFile) {
    state->axisFile = "axis file.txt";
    WriteText("axis file.txt", kAxisText);
    host.onLaunch = [](const RecordingHost::LaunchRecord&) {
        WriteText("axis file.txt", "5\n50\n5\n0\n2\n1\n2\n1\n0\n");
        return 0;
    };
    commands.OnRightButton();
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].argv.at(1), InTask("axis file.txt"));
    EXPECT_EQ(state->xMin, 5.0f);
    EXPECT_EQ(state->scaleType, 2);
    EXPECT_EQ(host.redraws, 2);
    EXPECT_EQ(host.messages, Strings{});
}

}  // namespace
}  // namespace zelk::testing
