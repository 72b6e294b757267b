// Snapshot, reload and the new-model command.

#include <filesystem>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"

namespace zelk::testing {
namespace {

void FillResult(CurveSet& set, int points, int curves, float base) {
    set.pointCount = points;
    set.curveCount = curves;
    for (int p = 0; p < points; ++p) {
        set.x[static_cast<std::size_t>(p)] = base + static_cast<float>(p);
        for (int c = 0; c < curves; ++c) {
            set.y[static_cast<std::size_t>(p * MAX_CURVES + c)] = base * 2 + static_cast<float>(c);
        }
    }
}

TEST_F(CommandsTest, SnapshotKeepsTheResultAndLeavesOlderEntriesAlone) {
    FillResult(state->previous, 300, 5, 7.0f);  // an older, larger snapshot
    FillResult(state->result, 200, 3, 1.0f);
    commands.Execute(ID_SNAPSHOT);
    const CurveSet& previous = state->previous;
    EXPECT_EQ(previous.pointCount, 200);
    EXPECT_EQ(previous.curveCount, 3);
    EXPECT_EQ(previous.x[199], state->result.x[199]);
    EXPECT_EQ(previous.y[199 * MAX_CURVES + 2], state->result.y[199 * MAX_CURVES + 2]);
    EXPECT_EQ(previous.x[250], 7.0f + 250);                 // beyond the new count
    EXPECT_EQ(previous.y[10 * MAX_CURVES + 4], 14.0f + 4);  // beyond the curve count
    EXPECT_EQ(state->snapshotCount, 1);
    EXPECT_EQ(host.redraws, 1);
    commands.Execute(ID_SNAPSHOT);
    EXPECT_EQ(state->snapshotCount, 2);
}

TEST_F(CommandsTest, SnapshotStaysWithinTheArraysWhateverTheCounts) {
    struct Case {
        int points, curves;
    };
    for (Case c : {Case{100000, 40}, Case{-5, 3}, Case{10, -1}, Case{MAX_POINTS, MAX_CURVES}}) {
        state->result.pointCount = c.points;
        state->result.curveCount = c.curves;
        state->result.y.back() = 42.0f;
        commands.TakeSnapshot();  // the sanitizers watch the copy
        EXPECT_EQ(state->previous.pointCount, c.points);
        EXPECT_EQ(state->previous.curveCount, c.curves);
    }
    EXPECT_EQ(state->previous.y.back(), 42.0f);
}

TEST_F(CommandsTest, SnapshotReadsItsEpsValueAnewOnlyForExperiments) {
    WriteText("EPS.res", "  0.0123 after the number\n");
    state->eps = 5.0f;
    state->epsPrevious = 9.0f;
    commands.TakeSnapshot();
    EXPECT_EQ(state->epsPrevious, 9.0f);  // no experiment: no file opened
    state->experimentFlag = 1;
    commands.TakeSnapshot();
    EXPECT_FLOAT_EQ(state->epsPrevious, 0.0123f);
    EXPECT_EQ(state->eps, 5.0f);
    std::filesystem::remove("EPS.res");
    commands.TakeSnapshot();
    EXPECT_EQ(host.messages, Strings{"EPS.res - absent !!!"});
    EXPECT_FLOAT_EQ(state->epsPrevious, 0.0123f);
    EXPECT_EQ(host.redraws, 3);
}

TEST_F(CommandsTest, ReloadWithNothingToReadOnlyRedraws) {
    FillResult(state->previous, 4, 1, 3.0f);
    state->epsPrevious = 2.0f;
    commands.Execute(ID_RELOAD);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(host.redraws, 1);
    EXPECT_EQ(state->previous.pointCount, 4);
    EXPECT_EQ(state->epsPrevious, 2.0f);
}

TEST_F(CommandsTest, ReloadReadsTheResultOnceAFitHasRun) {
    state->fitRunCount = 1;
    state->resFile = "result.dat";
    WriteText("result.dat", kResultText);
    commands.Execute(ID_RELOAD);
    EXPECT_EQ(state->result.pointCount, 3);
    EXPECT_EQ(host.messages, Strings{});
}

class NewModelTest : public CommandsTest {
  protected:
    NewModelTest() { WriteText("newmod.res", "model left by the fit\n"); }

    // A dialog in which the user types name, sets the box as given and
    // presses OK; what it showed when it opened is kept in shown.
    void UserAccepts(const std::string& name, int box) {
        host.onDialog = [this, name, box](NewModelDlgData& data) {
            shown.push_back(data);
            data.newModelName = name;
            data.continueWithFile = box;
            return true;
        };
    }

    std::vector<NewModelDlgData> shown;
};

TEST_F(NewModelTest, AcceptedNameGetsACopyAndIsRememberedForNextTime) {
    WriteText("my model.inf", "an older file of that name\n");
    state->modelFile = "model.mod";
    UserAccepts("my model.inf", 0);
    commands.Execute(ID_NEW_MODEL);
    EXPECT_EQ(ReadText("my model.inf"), "model left by the fit\n");
    EXPECT_EQ(ReadText("newmod.res"), "model left by the fit\n");
    EXPECT_EQ(state->modelFile, "model.mod");
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(host.redraws, 2);
    EXPECT_EQ(host.messages, Strings{});

    host.onDialog = [this](NewModelDlgData& data) {
        shown.push_back(data);
        return true;
    };
    commands.Execute(ID_NEW_MODEL);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].newModelName, "");
    EXPECT_EQ(shown[0].continueWithFile, 0);
    EXPECT_EQ(shown[1].newModelName, "my model.inf");
}

TEST_F(NewModelTest, EscapeOnlyRedraws) {
    commands.newModelDlg() = {1, "kept.inf"};
    host.onDialog = [](NewModelDlgData&) { return false; };
    commands.Execute(ID_NEW_MODEL);
    EXPECT_FALSE(Exists("kept.inf"));
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(host.redraws, 1);
    EXPECT_EQ(commands.newModelDlg().newModelName, "kept.inf");
    EXPECT_EQ(host.messages, Strings{});
}

TEST_F(NewModelTest, FailedCopyIsReported) {
    std::filesystem::remove("newmod.res");
    UserAccepts("copy.inf", 0);
    commands.Execute(ID_NEW_MODEL);
    EXPECT_EQ(host.messages, Strings{"CAN NOT COPY newmod.res TO: copy.inf"});
    EXPECT_FALSE(Exists("copy.inf"));
}

TEST_F(NewModelTest, AbsoluteNameIsCopiedThere) {
    std::filesystem::create_directory("models dir");
    const std::string target = folder.path() + "/models dir/m 1.inf";
    UserAccepts(target, 0);
    commands.Execute(ID_NEW_MODEL);
    EXPECT_EQ(ReadText(target), "model left by the fit\n");
}

TEST_F(NewModelTest, TheTasksOwnFilesAreReplacedOnlyAfterAYes) {
    struct Case {
        std::string name;  // as typed
        bool asked;
    };
    const Case cases[] = {
        {"START_A.INP", true},  {"FIT.INP", true},    {"BUFF.RES", true},
        {"exp.dat", true},      {"opt.inp", true},    {"axis.txt", true},
        {"result.dat", true},   {"./exp.dat", true},  {"sub/../START_A.INP", true},
        {"exp link.dat", true}, {"model.mod", false}, {"./model.mod", false},
        {"other.inf", false},
    };
    std::filesystem::create_directory("sub");
    std::error_code linkError;
    std::filesystem::create_symlink("exp.dat", "exp link.dat", linkError);
    if (linkError) {
        GTEST_SKIP() << "no symbolic links here: " << linkError.message();
    }
    state->modelFile = "model.mod";
    state->expFile = "exp.dat";
    state->optFile = "opt.inp";
    state->axisFile = "axis.txt";
    state->resFile = "result.dat";
    for (const Case& c : cases) {
        for (const bool yes : {false, true}) {
            for (const char* own : {"START_A.INP", "FIT.INP", "BUFF.RES", "exp.dat", "opt.inp",
                                    "axis.txt", "result.dat", "model.mod", "other.inf"}) {
                WriteText(own, std::string("own ") + own + "\n");
            }
            host.questions.clear();
            host.onQuestion = [yes](const std::string&) { return yes; };
            UserAccepts(c.name, 0);
            commands.Execute(ID_NEW_MODEL);
            EXPECT_EQ(host.questions, c.asked ? Strings{"Replace " + c.name + "?"} : Strings{})
                << c.name;
            const bool copied = ReadText(c.name) == "model left by the fit\n";
            EXPECT_EQ(copied, !c.asked || yes) << c.name << (yes ? " yes" : " no");
        }
    }
    EXPECT_EQ(host.messages, Strings{});
}

TEST_F(NewModelTest, NoKeepsTheTaskAsItWas) {
    WriteText("START_A.INP",
              TaskFileText("old.mod", "exp.dat", "fit prog", "result.dat", "axis.txt"));
    const std::string task = ReadText("START_A.INP");
    state->modelFile = "before.mod";
    UserAccepts("START_A.INP", 1);
    commands.Execute(ID_NEW_MODEL);
    EXPECT_EQ(host.questions, Strings{"Replace START_A.INP?"});
    EXPECT_EQ(ReadText("START_A.INP"), task);
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(state->modelFile, "before.mod");
}

TEST_F(NewModelTest, MarkedBoxGoesThroughTheTaskFileAndTakesTheNewName) {
    WriteText("START_A.INP",
              TaskFileText("old.mod", "exp.dat", "fit prog", "result.dat", "axis.txt"));
    UserAccepts("new.mod", 1);
    state->modelFile = "before.mod";
    // The copy is made before the editor opens, the name set only after the
    // task file has been read.
    bool copiedBeforeEditor = false;
    std::string modelDuringEdit;
    host.onLaunch = [&](const RecordingHost::LaunchRecord&) {
        copiedBeforeEditor = Exists("new.mod");
        modelDuringEdit = state->modelFile;
        return 0;
    };
    commands.Execute(ID_NEW_MODEL);
    EXPECT_TRUE(copiedBeforeEditor);
    EXPECT_EQ(modelDuringEdit, "before.mod");
    EXPECT_EQ(host.redraws, 4);  // dialog closed, curve read, task step, end
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].argv, (Strings{InTask("START_A.INP"), InTask("START_A.INP")}));
    EXPECT_EQ(state->modelFile, "new.mod");
    EXPECT_EQ(state->fitProgram, "fit prog");
    EXPECT_EQ(ReadText("new.mod"), "model left by the fit\n");
    EXPECT_EQ(host.messages, Strings{});
}

}  // namespace
}  // namespace zelk::testing
