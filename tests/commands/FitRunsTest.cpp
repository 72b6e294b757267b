// The two fit runs: order of checks and messages, what the fitting program
// finds when it starts, and what is put back afterwards.

#include <filesystem>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"
#include "commands/Placeholder.h"
#include "platform/Platform.h"

namespace zelk::testing {
namespace {

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// The placeholder as it lands in FIT.INP: written in text mode, so its lines
// end in CR LF on Windows.
std::string Placeholder() {
    std::string line = PlaceholderLine();
#ifdef _WIN32
    line.insert(line.size() - 1, "\r");
#endif
    std::string text;
    for (int i = 0; i < kPlaceholderLineCount; ++i) {
        text += line;
    }
    return text;
}

class FitRunsTest : public CommandsTest {
  protected:
    FitRunsTest() {
        state->fitProgram = "fit prog";
        state->modelFile = "model.mod";
        state->resFile = "result.dat";
        WriteText("fit prog", "#!/bin/sh\n");
        WriteText("model.mod", "model\n");
        WriteText("result.dat", "stale result of an earlier run\n");
    }

    // A fitting program that notes what it found, writes a result and
    // scribbles over FIT.INP.
    void FitterWritesResult() {
        host.onLaunch = [this](const RecordingHost::LaunchRecord& launch) {
            if (launch.program != state->fitProgram) {
                return 0;  // the editor
            }
            fitInputSeen = ReadText("FIT.INP");
            resultSeen = ReadText("result.dat");
            directorySeen = platform::CurrentDirectory();
            WriteText("result.dat", kResultText);
            WriteText("FIT.INP", "changed by the fitting program\n");
            return 0;
        };
    }

    std::string fitInputSeen, resultSeen, directorySeen;
};

TEST(PlaceholderFitInput, LineLayoutIsFixedWhateverTheLocale) {
    const std::string expected = " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000 \n";
    EXPECT_EQ(PlaceholderLine(), expected);
    EXPECT_EQ(expected.size(), 48u);  // 47 characters and the line end
    const std::string old = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE") == nullptr) {  // the name on Windows
        GTEST_SKIP() << "no German locale installed";
    }
    const std::string german = PlaceholderLine();
    std::setlocale(LC_ALL, old.c_str());
    EXPECT_EQ(german, expected);
}

TEST_F(FitRunsTest, PlaceholderRunHandsOverThePlaceholderAndPutsTheInputBack) {
    WriteText("FIT.INP", "the user's input\n");
    WriteText("BUFF.RES", "backup of an earlier run\n");
    FitterWritesResult();
    ASSERT_TRUE(commands.Execute(ID_RUN_PLACEHOLDER_FIT));

    EXPECT_EQ(fitInputSeen, Placeholder());
    EXPECT_EQ(resultSeen, "<missing>");  // the stale result was deleted first
    EXPECT_EQ(ReadText("FIT.INP"), "the user's input\n");
    EXPECT_EQ(ReadText("BUFF.RES"), "the user's input\n");
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].program, "fit prog");
    EXPECT_EQ(host.launches[0].argv, Strings{"fit prog"});
    EXPECT_EQ(host.launches[0].waitingFor, "Waiting for the fitting program: fit prog");
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(state->fitRunCount, 1);
    EXPECT_EQ(state->result.pointCount, 3);
    EXPECT_EQ(state->result.y[2 * MAX_CURVES], 30.0f);
}

TEST_F(FitRunsTest, WithoutFitInputBeforeTheRunThereIsNoneAfterIt) {
    // No FIT.INP: this run made no backup, so the old BUFF.RES stays where it
    // is, and the placeholder (and whatever the program made of it) goes.
    WriteText("BUFF.RES", "backup of an earlier run\n");
    FitterWritesResult();
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(fitInputSeen, Placeholder());
    EXPECT_EQ(ReadText("BUFF.RES"), "backup of an earlier run\n");
    EXPECT_FALSE(Exists("FIT.INP"));
    EXPECT_EQ(host.messages, Strings{});
}

TEST_F(FitRunsTest, PlaceholderThatCannotBeWrittenStopsTheRun) {
    std::filesystem::create_directory("FIT.INP");  // in the way of the file
    WriteText("BUFF.RES", "backup of an earlier run\n");
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(FirstLine(host.messages[0]),
              "CAN NOT WRITE FILE: FIT.INP - the fitting program was not started");
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(ReadText("BUFF.RES"), "backup of an earlier run\n");
    EXPECT_EQ(state->fitRunCount, 1);
    EXPECT_GE(host.redraws, 1);
}

TEST_F(FitRunsTest, InputThatCannotBeBackedUpIsNeverOverwritten) {
    WriteText("FIT.INP", "the user's input\n");
    std::filesystem::create_directory("BUFF.RES");  // in the way of the backup
    FitterWritesResult();
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages,
              Strings{"CAN NOT WRITE FILE: BUFF.RES - the fitting program was not started"});
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(ReadText("FIT.INP"), "the user's input\n");
    EXPECT_EQ(state->fitRunCount, 1);
    EXPECT_GE(host.redraws, 1);
}

TEST_F(FitRunsTest, InputThatCannotBePutBackIsReportedAndKept) {
    WriteText("FIT.INP", "the user's input\n");
    host.onLaunch = [](const RecordingHost::LaunchRecord&) {
        std::filesystem::remove("FIT.INP");
        std::filesystem::create_directory("FIT.INP");
        WriteText("result.dat", kResultText);
        return 0;
    };
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages,
              Strings{"CAN NOT RESTORE FILE: FIT.INP - your input is kept in BUFF.RES"});
    EXPECT_EQ(ReadText("BUFF.RES"), "the user's input\n");
}

TEST_F(FitRunsTest, FailedChecksOnlyInformAndTheRunStillCounts) {
    std::filesystem::remove("fit prog");
    std::filesystem::remove("model.mod");
    for (int id : {ID_RUN_PLACEHOLDER_FIT, ID_RUN_EDITED_FIT}) {
        for (bool staleResult : {false, true}) {
            host = RecordingHost();
            std::filesystem::remove("result.dat");
            if (staleResult) {
                WriteText("result.dat", kResultText);
            }
            std::filesystem::remove("FIT.INP");
            commands.Execute(id);
            // Without a fitting program nothing is deleted, written or
            // started; a missing program is not reported a second time.
            Strings expected = {"CAN NOT FIND *.exe file\nfit prog",
                                "CAN NOT FIND MODEL file\nmodel.mod"};
            if (!staleResult) {
                expected.insert(expected.end(),
                                {"CAN NOT FIND fileRES\nresult.dat", "fileRES - absent !!!"});
            }
            if (id == ID_RUN_EDITED_FIT) {
                expected.insert(expected.begin(), "CAN NOT FIND FILE: FIT.INP");
            }
            EXPECT_EQ(host.messages, expected) << id;
            EXPECT_EQ(Exists("result.dat"), staleResult);
            EXPECT_FALSE(Exists("FIT.INP"));
            EXPECT_EQ(LaunchedPrograms(), id == ID_RUN_EDITED_FIT ? Strings{kEditor} : Strings{});
            // The result left by an earlier run is read but not drawn as
            // this run's.
            EXPECT_FALSE(state->resultCurrent);
            EXPECT_FALSE(state->fitRunning);
            EXPECT_GE(host.redraws, 1);
        }
    }
    EXPECT_EQ(state->fitRunCount, 4);
}

TEST_F(FitRunsTest, ProgramThatIsThereButCannotStartIsReported) {
    host.onLaunch = [](const RecordingHost::LaunchRecord&) { return -1; };
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(host.messages, (Strings{"CAN NOT START THE FITTING PROGRAM: fit prog",
                                      "CAN NOT FIND fileRES\nresult.dat", "fileRES - absent !!!"}));
}

TEST_F(FitRunsTest, EditedRunOpensTheEditorFirstAndRunsInTheWorkingDirectory) {
    WriteText("FIT.INP", "the user's input\n");
    int countDuringEdit = -1;
    host.onLaunch = [&](const RecordingHost::LaunchRecord& launch) {
        if (launch.program == kEditor) {
            countDuringEdit = state->fitRunCount;
            WriteText("FIT.INP", "edited by the user\n");
            std::filesystem::current_path("/");
            return 0;
        }
        fitInputSeen = ReadText("FIT.INP");
        resultSeen = ReadText("result.dat");
        directorySeen = platform::CurrentDirectory();
        WriteText("result.dat", kResultText);
        return 0;
    };
    commands.Execute(ID_RUN_EDITED_FIT);
    EXPECT_EQ(countDuringEdit, 1);
    ASSERT_EQ(LaunchedPrograms(), (Strings{kEditor, "fit prog"}));
    EXPECT_EQ(host.launches[0].argv, (Strings{InTask("FIT.INP"), InTask("FIT.INP")}));
    EXPECT_EQ(host.launches[1].argv, Strings{"fit prog"});
    EXPECT_EQ(fitInputSeen, "edited by the user\n");
    EXPECT_EQ(resultSeen, "<missing>");
    EXPECT_EQ(directorySeen, folder.path());
    EXPECT_EQ(ReadText("FIT.INP"), "edited by the user\n");
    EXPECT_FALSE(Exists("BUFF.RES"));
    EXPECT_EQ(host.messages, Strings{});
}

TEST_F(FitRunsTest, AbsoluteProgramWithBlanksIsStartedAsNamed) {
    std::filesystem::create_directory("bin dir");
    const std::string program = folder.path() + "/bin dir/fit prog";
    WriteText(program, "#!/bin/sh\n");
    state->fitProgram = program;
    FitterWritesResult();
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].program, program);
    EXPECT_EQ(host.launches[0].argv, Strings{program});
    EXPECT_EQ(host.messages, Strings{});
}

}  // namespace
}  // namespace zelk::testing
