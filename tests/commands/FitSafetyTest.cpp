// What the fit runs do to the user's files when things go wrong: result
// names that are the task's own files, a FIT.INP that is a link, a fitting
// program that damages the backup, an interrupted earlier run, a second
// process fitting in the same folder, and programs that crash or are stopped.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"
#include "commands/Placeholder.h"
#include "platform/Platform.h"

namespace zelk::testing {
namespace {

using How = ProgramEnd::How;

const std::string kUserInput = "1 2 3 the user's own input\r\n4 5 6\n";

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

ProgramEnd Exited(int code) {
    ProgramEnd end;
    end.how = How::Exited;
    end.code = code;
    return end;
}

class FitSafetyTest : public CommandsTest {
  protected:
    FitSafetyTest() {
        state->fitProgram = "fit prog";
        state->modelFile = "model.mod";
        state->expFile = "exp.dat";
        state->optFile = "opt.inp";
        state->axisFile = "axis.inp";
        state->resFile = "result.dat";
        for (const char* name : {"model.mod", "exp.dat", "opt.inp", "axis.inp", "START_A.INP"}) {
            WriteText(name, std::string("the task's ") + name + "\n");
        }
        MakeProgram("fit prog", "#!/bin/sh\n");
        WriteText("FIT.INP", kUserInput);
        WriteText("result.dat", "stale result of an earlier run\n");
    }

    static void MakeProgram(const std::string& name, const std::string& script) {
        WriteText(name, script);
        ::chmod(name.c_str(), 0755);
    }

    // The fitting program is a made-up one: act is what it does to the
    // folder, and it ends as end says.
    void Fitter(std::function<void()> act, ProgramEnd end = Exited(0)) {
        host.onFitRun = [this, act = std::move(act), end](const RecordingHost::LaunchRecord&) {
            inputSeen = ReadText("FIT.INP");
            if (act) {
                act();
            }
            return end;
        };
    }

    // The real fitting program, started by the platform as the GUI does.
    void RealFitter(std::function<bool()> stopRequested = {}) {
        host.onFitRun = [this, stopRequested](const RecordingHost::LaunchRecord& launch) {
            RunHooks hooks;
            hooks.onOutput = [this](std::string_view chunk) { output.append(chunk); };
            hooks.stopRequested = stopRequested;
            hooks.grace = std::chrono::milliseconds(300);
            return platform::RunProgram(launch.program, launch.argv, hooks);
        };
    }

    std::string inputSeen;
    std::string output;
};

TEST_F(FitSafetyTest, ResultNamedAsOneOfTheTasksOwnFilesIsRefused) {
    std::error_code linkError;
    std::filesystem::create_symlink("FIT.INP", "link to input", linkError);
    if (linkError) {
        GTEST_SKIP() << "no symbolic links here: " << linkError.message();
    }
    const std::string folderName = std::filesystem::path(folder.path()).filename().string();
    const Strings ownNames = {
        "FIT.INP",
        "BUFF.RES",
        "START_A.INP",
        "model.mod",
        "exp.dat",
        "opt.inp",
        "axis.inp",
        "./FIT.INP",
        "link to input",
        "../" + folderName + "/START_A.INP",
        folder.path() + "/exp.dat",
        "fit prog",
    };
    WriteText("BUFF.RES", "an older backup\n");
    for (const std::string& name : ownNames) {
        SCOPED_TRACE(name);
        for (int id : {ID_RUN_PLACEHOLDER_FIT, ID_RUN_EDITED_FIT}) {
            host = RecordingHost();
            state->resFile = name;
            const std::string before = ReadText(name);
            const std::string backupBefore = ReadText("BUFF.RES");
            commands.Execute(id);
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(FirstLine(host.messages[0]),
                      "THE RESULT FILE IS ONE OF THE TASK'S OWN FILES: " + name);
            EXPECT_EQ(ReadText(name), before);
            EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
            EXPECT_EQ(ReadText("BUFF.RES"), backupBefore);
            EXPECT_EQ(LaunchedPrograms(), id == ID_RUN_EDITED_FIT ? Strings{kEditor} : Strings{});
            ASSERT_EQ(host.fitRuns.size(), 1u);
            EXPECT_EQ(host.fitRuns[0].end.how, How::NotStarted);
            EXPECT_FALSE(host.fitRuns[0].resultWritten);
        }
    }
}

TEST_F(FitSafetyTest, ResultNamesOfOtherFilesRunAsUsual) {
    for (const std::string& name : {std::string("fit.inp.res"), std::string("results/FIT.INP")}) {
        SCOPED_TRACE(name);
        host = RecordingHost();
        std::filesystem::create_directories("results");
        state->resFile = name;
        Fitter([name] { WriteText(name, kResultText); });
        commands.Execute(ID_RUN_PLACEHOLDER_FIT);
        EXPECT_EQ(host.messages, Strings{});
        ASSERT_EQ(host.fitRuns.size(), 1u);
        EXPECT_TRUE(host.fitRuns[0].resultWritten);
    }
}

TEST_F(FitSafetyTest, BackupDamagedByTheProgramNeverReachesFitInput) {
    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const std::vector<Case> cases = {
        {"truncates BUFF.RES", [] { WriteText("BUFF.RES", ""); }},
        {"deletes BUFF.RES", [] { std::filesystem::remove("BUFF.RES"); }},
        {"rewrites BUFF.RES", [] { WriteText("BUFF.RES", "the program's own idea\n"); }},
        {"rewrites FIT.INP", [] { WriteText("FIT.INP", "scribbled\n"); }},
        {"deletes FIT.INP", [] { std::filesystem::remove("FIT.INP"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = RecordingHost();
        WriteText("FIT.INP", kUserInput);
        Fitter([&c] {
            c.act();
            WriteText("result.dat", kResultText);
        });
        commands.Execute(ID_RUN_PLACEHOLDER_FIT);
        EXPECT_EQ(inputSeen, PlaceholderBytes());
        EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
        EXPECT_EQ(host.messages, Strings{});
    }
}

TEST_F(FitSafetyTest, FailedRestoreClaimsNoCopyThatIsGone) {
    for (bool backupDeleted : {false, true}) {
        SCOPED_TRACE(backupDeleted);
        host = RecordingHost();
        std::filesystem::remove_all("FIT.INP");
        WriteText("FIT.INP", kUserInput);
        Fitter([backupDeleted] {
            if (backupDeleted) {
                std::filesystem::remove("BUFF.RES");
            }
            std::filesystem::remove("FIT.INP");
            std::filesystem::create_directory("FIT.INP");  // nothing can replace it now
            WriteText("result.dat", kResultText);
        });
        commands.Execute(ID_RUN_PLACEHOLDER_FIT);
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages[0],
                  backupDeleted ? "CAN NOT RESTORE FILE: FIT.INP"
                                : "CAN NOT RESTORE FILE: FIT.INP - your input is kept in BUFF.RES");
        if (!backupDeleted) {
            EXPECT_EQ(ReadText("BUFF.RES"), kUserInput);
        }
    }
}

TEST_F(FitSafetyTest, ReadOnlyBackupIsRefusedAndNothingChanges) {
    WriteText("BUFF.RES", "kept on purpose\n");
    ::chmod("BUFF.RES", 0444);
    Fitter([] { WriteText("result.dat", kResultText); });
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(FirstLine(host.messages[0]),
              "CAN NOT WRITE FILE: BUFF.RES - the fitting program was not started");
    EXPECT_TRUE(host.launches.empty());
    EXPECT_EQ(ReadText("BUFF.RES"), "kept on purpose\n");
    EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
    EXPECT_EQ(ReadText("result.dat"), "stale result of an earlier run\n");
}

TEST_F(FitSafetyTest, FitInputThatIsALinkNeverReceivesThePlaceholder) {
    std::filesystem::create_directory("shared");
    WriteText("shared/master.inp", kUserInput);
    std::filesystem::remove("FIT.INP");
    std::error_code linkError;
    std::filesystem::create_symlink("shared/master.inp", "FIT.INP", linkError);
    if (linkError) {
        GTEST_SKIP() << "no symbolic links here: " << linkError.message();
    }
    Fitter([] { WriteText("result.dat", kResultText); });
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(FirstLine(host.messages[0]),
              "CAN NOT WRITE FILE: FIT.INP - the fitting program was not started");
    EXPECT_NE(host.messages[0].find("shared/master.inp"), std::string::npos);
    EXPECT_TRUE(host.launches.empty());
    EXPECT_TRUE(std::filesystem::is_symlink("FIT.INP"));
    EXPECT_EQ(ReadText("shared/master.inp"), kUserInput);
    EXPECT_FALSE(Exists("BUFF.RES"));

    // The edited run writes nothing into FIT.INP and goes ahead.
    host = RecordingHost();
    Fitter([] { WriteText("result.dat", kResultText); });
    commands.Execute(ID_RUN_EDITED_FIT);
    EXPECT_EQ(host.messages, Strings{});
    EXPECT_EQ(inputSeen, kUserInput);
    EXPECT_TRUE(std::filesystem::is_symlink("FIT.INP"));
}

TEST_F(FitSafetyTest, InterruptedRunIsFoundAndTheInputPutBackFirst) {
    // What a run killed between placeholder and restore leaves behind.
    WriteText("FIT.INP", PlaceholderBytes());
    WriteText("BUFF.RES", kUserInput);
    Fitter([] { WriteText("result.dat", kResultText); });
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(FirstLine(host.messages[0]), "FIT.INP RESTORED FROM BUFF.RES");
    EXPECT_EQ(inputSeen, PlaceholderBytes());
    EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
    EXPECT_EQ(ReadText("BUFF.RES"), kUserInput);
}

TEST_F(FitSafetyTest, InterruptedRunIsFoundWhenATaskIsLoaded) {
    WriteText("START_A.INP",
              TaskFileText("model.mod", "exp.dat", "fit prog", "result.dat", "axis.inp"));
    WriteText("axis.inp", kAxisText);
    for (int id : {ID_TASK, ID_SET_TASK}) {
        host = RecordingHost();
        WriteText("FIT.INP", PlaceholderBytes());
        WriteText("BUFF.RES", kUserInput);
        commands.Execute(id);
        ASSERT_FALSE(host.messages.empty()) << id;
        EXPECT_EQ(FirstLine(host.messages[0]), "FIT.INP RESTORED FROM BUFF.RES") << id;
        EXPECT_EQ(ReadText("FIT.INP"), kUserInput) << id;
    }
}

TEST_F(FitSafetyTest, OnlyAPlaceholderBesideADifferentBackupIsAnInterruptedRun) {
    std::string crlfPlaceholder;
    for (int i = 0; i < kPlaceholderLineCount; ++i) {
        std::string line = PlaceholderLine();
        crlfPlaceholder += line.insert(line.size() - 1, "\r");
    }
    struct Case {
        const char* what;
        std::string fitInput;
        std::optional<std::string> backup;
        bool recovered;
    };
    const std::vector<Case> cases = {
        {"placeholder, other backup", PlaceholderBytes(), kUserInput, true},
        {"placeholder with CR LF", crlfPlaceholder, kUserInput, true},
        {"placeholder, no backup", PlaceholderBytes(), std::nullopt, false},
        {"placeholder, same backup", PlaceholderBytes(), PlaceholderBytes(), false},
        {"user input, other backup", kUserInput, "older input\n", false},
        {"placeholder and one more line", PlaceholderBytes() + "x\n", kUserInput, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = RecordingHost();
        WriteText("FIT.INP", c.fitInput);
        std::filesystem::remove("BUFF.RES");
        if (c.backup) {
            WriteText("BUFF.RES", *c.backup);
        }
        EXPECT_EQ(commands.RecoverInterruptedFitRun(), c.recovered);
        EXPECT_EQ(ReadText("FIT.INP"), c.recovered ? kUserInput : c.fitInput);
        EXPECT_EQ(host.messages.size(), c.recovered ? 1u : 0u);
    }
}

TEST_F(FitSafetyTest, PlaceholderIsNeverBackedUpOverTheBackup) {
    // FIT.INP holds the placeholder and BUFF.RES is gone: nothing to put
    // back, and the run must not make the placeholder the only backup either.
    WriteText("FIT.INP", PlaceholderBytes());
    Fitter([] { WriteText("result.dat", kResultText); });
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_FALSE(Exists("BUFF.RES"));
    EXPECT_EQ(ReadText("FIT.INP"), PlaceholderBytes());
    EXPECT_EQ(host.messages, Strings{});
}

TEST_F(FitSafetyTest, SecondProcessInTheFolderIsTurnedAway) {
    // Locks are per open file: a lock taken here stands for another process.
    platform::FileLock other(kFitLockFile);
    ASSERT_EQ(other.state(), platform::FileLock::State::Held);
    for (int id : {ID_RUN_PLACEHOLDER_FIT, ID_RUN_EDITED_FIT}) {
        host = RecordingHost();
        WriteText("FIT.INP", PlaceholderBytes());  // the other run's placeholder
        WriteText("BUFF.RES", kUserInput);
        commands.Execute(id);
        EXPECT_EQ(host.messages, Strings{kFitAlreadyRunning}) << id;
        EXPECT_EQ(LaunchedPrograms(), id == ID_RUN_EDITED_FIT ? Strings{kEditor} : Strings{});
        EXPECT_EQ(ReadText("FIT.INP"), PlaceholderBytes()) << id;
        EXPECT_EQ(ReadText("result.dat"), "stale result of an earlier run\n") << id;
    }
    // Nor does a task load take the other run's placeholder for an
    // interrupted run.
    EXPECT_FALSE(commands.RecoverInterruptedFitRun());
}

TEST_F(FitSafetyTest, LockIsReleasedAfterEveryRun) {
    Fitter([] {
        // During the run the folder is locked.
        EXPECT_EQ(platform::FileLock(kFitLockFile).state(), platform::FileLock::State::Busy);
        WriteText("result.dat", kResultText);
    });
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    commands.Execute(ID_RUN_EDITED_FIT);
    EXPECT_EQ(host.fitRuns.size(), 2u);
    EXPECT_EQ(platform::FileLock(kFitLockFile).state(), platform::FileLock::State::Held);
    EXPECT_FALSE(Exists(kFitLockFile));
}

TEST_F(FitSafetyTest, StartFailureSaysWhy) {
    Fitter({}, [] {
        ProgramEnd end;
        end.how = How::NotStarted;
        end.reason = "not executable (no permission)";
        return end;
    }());
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(
        host.messages,
        (Strings{"CAN NOT START THE FITTING PROGRAM: fit prog\nnot executable (no permission)",
                 "CAN NOT FIND fileRES\nresult.dat", "fileRES - absent !!!"}));
    EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
}

// Shell scripts as fitting programs; the Windows launcher's own runs are in
// the Win32 end-to-end test.
#ifndef _WIN32
TEST_F(FitSafetyTest, RealProgramsThatCrashFailOrAreStopped) {
    MakeProgram("crashes",
                "#!/bin/sh\necho 'model.mod:7: the height is not a number' >&2\n"
                "kill -SEGV $$\n");
    MakeProgram("exits 3", "#!/bin/sh\necho half a result > result.dat\nexit 3\n");
    MakeProgram("never ends", "#!/bin/sh\necho started\nwhile :; do sleep 0.05; done\n");
    MakeProgram("no hash bang", "echo hello\n");
    struct Case {
        const char* program;
        How how;
        int code;
        bool resultWritten;
    };
    const std::vector<Case> cases = {
        {"crashes", How::Signalled, SIGSEGV, false},
        {"exits 3", How::Exited, 3, true},
        {"never ends", How::Stopped, SIGTERM, false},
        {"no hash bang", How::NotStarted, ENOEXEC, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        host = RecordingHost();
        output.clear();
        state->fitProgram = c.program;
        RealFitter([this] { return output.find("started") != std::string::npos; });
        commands.Execute(ID_RUN_PLACEHOLDER_FIT);
        ASSERT_EQ(host.fitRuns.size(), 1u);
        EXPECT_EQ(host.fitRuns[0].end.how, c.how);
        EXPECT_EQ(host.fitRuns[0].end.code, c.code);
        EXPECT_EQ(host.fitRuns[0].resultWritten, c.resultWritten);
        EXPECT_EQ(ReadText("FIT.INP"), kUserInput);
        EXPECT_EQ(state->resultCurrent, c.resultWritten);
    }
}

TEST_F(FitSafetyTest, ProgramNamedWithALeadingDashStartsAndKeepsItsName) {
    MakeProgram("-dash.sh", "#!/bin/sh\necho \"$0\" > seen.txt\ncp FIT.INP result.dat\n");
    state->fitProgram = "-dash.sh";
    RealFitter();
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].argv, Strings{"-dash.sh"});
    ASSERT_EQ(host.fitRuns.size(), 1u);
    EXPECT_EQ(host.fitRuns[0].end.how, How::Exited);
    EXPECT_EQ(host.fitRuns[0].end.code, 0);
    EXPECT_EQ(ReadText("seen.txt"), "./-dash.sh\n");
    EXPECT_EQ(ReadText("result.dat"), PlaceholderBytes());
}
#endif

}  // namespace
}  // namespace zelk::testing
