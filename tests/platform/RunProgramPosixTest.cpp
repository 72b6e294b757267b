// The fitting program's run against the real system, with scripted programs:
// output on one pipe in arrival order, how the program ended, why it could not
// start, and stops that reach everything it started.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "support/TaskFolder.h"

namespace zelk::platform {
namespace {

using zelk::testing::Exists;
using zelk::testing::ReadText;
using zelk::testing::TaskFolder;
using zelk::testing::WriteText;

using How = ProgramEnd::How;

void MakeScript(const std::string& name, const std::string& body) {
    WriteText(name, "#!/bin/sh\n" + body);
    ::chmod(name.c_str(), 0755);
}

RunHooks OnOutput(std::function<void(std::string_view)> onOutput) {
    RunHooks hooks;
    hooks.onOutput = std::move(onOutput);
    return hooks;
}

RunHooks StopWhen(std::function<bool()> stopRequested,
                  std::chrono::milliseconds grace = std::chrono::milliseconds(3000)) {
    RunHooks hooks;
    hooks.stopRequested = std::move(stopRequested);
    hooks.grace = grace;
    return hooks;
}

// Runs name with its output collected.
struct Collected {
    ProgramEnd end;
    std::string output;
    int chunks = 0;
    int waits = 0;
};

Collected RunCollecting(const std::string& name, RunHooks hooks = {}) {
    Collected run;
    hooks.onOutput = [&run, extra = hooks.onOutput](std::string_view chunk) {
        run.output.append(chunk);
        ++run.chunks;
        if (extra) {
            extra(chunk);
        }
    };
    hooks.whileWaiting = [&run, extra = hooks.whileWaiting] {
        ++run.waits;
        if (extra) {
            extra();
        }
    };
    run.end = RunProgram(name, {name}, hooks);
    return run;
}

// True once the process with this pid is gone (reaped, or a zombie nobody
// waits for). Waits up to ten seconds for an orphan's new parent to reap it.
bool ProcessGone(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text)) {
            return true;
        }
        const std::size_t close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') {
            return true;  // ended; only its parent's bookkeeping is left
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

pid_t ReadPid(const std::string& file) {
    for (int i = 0; i < 1000 && ReadText(file).find('\n') == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return static_cast<pid_t>(std::stol(ReadText(file)));
}

TEST(RunProgram, OutputAndErrorArriveOnOnePipeInOrder) {
    TaskFolder folder;
    MakeScript("mixed", "echo one\necho two >&2\necho three\nprintf 'no newline' >&2\n");
    const Collected run = RunCollecting("mixed");
    EXPECT_EQ(run.end.how, How::Exited);
    EXPECT_EQ(run.end.code, 0);
    EXPECT_EQ(run.output, "one\ntwo\nthree\nno newline");
    EXPECT_GE(run.end.seconds, 0.0);
}

TEST(RunProgram, ProgressWithCarriageReturnsPassesUnchanged) {
    TaskFolder folder;
    MakeScript("progress", "printf '10%%\\r50%%\\r100%%\\r\\ndone\\r\\n'\nprintf '\\000\\377'\n");
    const Collected run = RunCollecting("progress");
    EXPECT_EQ(run.output, std::string("10%\r50%\r100%\r\ndone\r\n\0\377", 22));
}

TEST(RunProgram, OutputIsHandedOverWhileTheProgramRuns) {
    TaskFolder folder;
    // The second line can only come after Zelk has seen the first.
    MakeScript("slow", "echo first\nwhile [ ! -e go ]; do sleep 0.01; done\necho second\n");
    const Collected run = RunCollecting("slow", OnOutput([](std::string_view chunk) {
                                            if (chunk.find("first") != std::string_view::npos) {
                                                WriteText("go", "");
                                            }
                                        }));
    EXPECT_EQ(run.end.how, How::Exited);
    EXPECT_EQ(run.output, "first\nsecond\n");
    EXPECT_GE(run.chunks, 2);
    EXPECT_GE(run.waits, 1);
}

TEST(RunProgram, FloodOfFiftyMegabytesIsReadWhole) {
    TaskFolder folder;
    MakeScript("flood", "head -c 52428800 /dev/zero | tr '\\000' x\necho end >&2\n");
    std::size_t bytes = 0;
    std::size_t xs = 0;
    std::string tail;
    const ProgramEnd end =
        RunProgram("flood", {"flood"}, OnOutput([&](std::string_view chunk) {
                       bytes += chunk.size();
                       for (char c : chunk) {
                           xs += c == 'x';
                       }
                       tail.append(chunk.substr(chunk.size() > 4 ? chunk.size() - 4 : 0));
                       tail.erase(0, tail.size() > 4 ? tail.size() - 4 : 0);
                   }));
    EXPECT_EQ(end.how, How::Exited);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(bytes, 52428800u + 4u);
    EXPECT_EQ(xs, 52428800u);
    EXPECT_EQ(tail, "end\n");
}

TEST(RunProgram, StandardInputIsTheNullDevice) {
    TaskFolder folder;
    MakeScript("reader", "if read line; then echo \"got $line\"; else echo eof; fi\n");
    EXPECT_EQ(RunCollecting("reader").output, "eof\n");
}

TEST(RunProgram, ProgramRunsInItsOwnProcessGroup) {
    TaskFolder folder;
    MakeScript("group", "echo $$ > pid\ncut -d' ' -f5 /proc/$$/stat > pgid\n");
    ASSERT_EQ(RunCollecting("group").end.how, How::Exited);
    EXPECT_EQ(ReadText("pgid"), ReadText("pid"));
    EXPECT_NE(std::stol(ReadText("pgid")), static_cast<long>(::getpgrp()));
}

TEST(RunProgram, ExitStatusAndSignals) {
    TaskFolder folder;
    MakeScript("exits3", "echo bad model >&2\nexit 3\n");
    MakeScript("segfaults", "kill -SEGV $$\n");
    MakeScript("aborts", "kill -ABRT $$\n");
    struct Case {
        std::string name;
        How how;
        int code;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"exits3", How::Exited, 3, ""},
        {"segfaults", How::Signalled, SIGSEGV, ::strsignal(SIGSEGV)},
        {"aborts", How::Signalled, SIGABRT, ::strsignal(SIGABRT)},
    };
    for (const Case& c : cases) {
        const ProgramEnd end = RunProgram(c.name, {c.name}, {});
        EXPECT_EQ(end.how, c.how) << c.name;
        EXPECT_EQ(end.code, c.code) << c.name;
        EXPECT_EQ(end.reason, c.reason) << c.name;
    }
    EXPECT_EQ(std::string(::strsignal(SIGSEGV)), "Segmentation fault");
}

TEST(RunProgram, ProgramsThatCannotStartSayWhy) {
    TaskFolder folder;
    WriteText("no permission", "#!/bin/sh\nexit 0\n");
    ::chmod("no permission", 0644);
    WriteText("no hash bang", "echo hello\n");
    ::chmod("no hash bang", 0755);
    WriteText("empty", "");
    ::chmod("empty", 0755);
    WriteText("lost interpreter", "#! /no/such/interpreter -x\n");
    ::chmod("lost interpreter", 0755);
    ASSERT_EQ(::mkdir("folder", 0755), 0);
    struct Case {
        std::string program;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"missing", "not found"},
        {"", "not found"},
        {"sh", "not found"},  // on PATH only: never looked up there
        {"no such folder/fit", "not found"},
        {"no permission", "not executable (no permission)"},
        {"no hash bang", "not a program: a script needs a #! line"},
        {"empty", "not a program: a script needs a #! line"},
        {"folder", "not a program: a folder"},
        {"lost interpreter", "the interpreter of its #! line was not found: /no/such/interpreter"},
    };
    for (const Case& c : cases) {
        bool ran = false;
        const ProgramEnd end =
            RunProgram(c.program, {c.program}, OnOutput([&](std::string_view) { ran = true; }));
        EXPECT_EQ(end.how, How::NotStarted) << c.program;
        EXPECT_EQ(end.reason, c.reason) << c.program;
        EXPECT_NE(end.code, 0) << c.program;
        EXPECT_FALSE(ran) << c.program;
    }
}

TEST(RunProgram, NameStartingWithDashIsNotTakenForAnOption) {
    TaskFolder folder;
    MakeScript("-dash.sh", "echo ran > ran.txt\n");
    const ProgramEnd end = RunProgram("-dash.sh", {"-dash.sh"}, {});
    EXPECT_EQ(end.how, How::Exited);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(ReadText("ran.txt"), "ran\n");
    // The older launcher takes the same path.
    WriteText("ran.txt", "");
    EXPECT_EQ(LaunchAndWait("-dash.sh", {"-dash.sh"}), 0);
    EXPECT_EQ(ReadText("ran.txt"), "ran\n");
}

TEST(RunProgramStop, NeverEndingProgramIsStopped) {
    TaskFolder folder;
    MakeScript("forever", "echo started\nwhile :; do sleep 0.05; done\n");
    bool seen = false;
    RunHooks hooks = OnOutput([&](std::string_view) { seen = true; });
    hooks.stopRequested = [&] { return seen; };
    const Collected run = RunCollecting("forever", hooks);
    EXPECT_EQ(run.end.how, How::Stopped);
    EXPECT_EQ(run.end.reason, "stopped");
    EXPECT_EQ(run.output, "started\n");
}

TEST(RunProgramStop, ProgramIgnoringTerminateIsKilledAfterTheGrace) {
    TaskFolder folder;
    MakeScript("stubborn", "trap '' TERM\necho $$ > pid\nwhile :; do sleep 0.05; done\n");
    const ProgramEnd end =
        RunProgram("stubborn", {"stubborn"},
                   StopWhen([] { return Exists("pid"); }, std::chrono::milliseconds(300)));
    EXPECT_EQ(end.how, How::Stopped);
    EXPECT_EQ(end.code, SIGKILL);
    EXPECT_TRUE(ProcessGone(static_cast<pid_t>(std::stol(ReadText("pid")))));
}

TEST(RunProgramStop, StopReachesWhatTheProgramStarted) {
    TaskFolder folder;
    // The child ignores SIGTERM and has left the pipe: only the group kill
    // after the grace can end it.
    MakeScript("parent",
               "(trap '' TERM; exec sleep 1000) >/dev/null 2>&1 &\necho $! > child\nwait\n");
    const ProgramEnd end =
        RunProgram("parent", {"parent"},
                   StopWhen([] { return Exists("child"); }, std::chrono::milliseconds(300)));
    EXPECT_EQ(end.how, How::Stopped);
    EXPECT_TRUE(ProcessGone(ReadPid("child")));
}

TEST(RunProgramStop, ChildrenLeftRunningAreEndedWithTheRun) {
    TaskFolder folder;
    // One child keeps the output pipe open, one does not; the program itself
    // ends at once. Neither child may hold up the run or outlive it.
    MakeScript("leaves children",
               "sleep 1000 &\necho $! > holding\n"
               "sleep 1000 >/dev/null 2>&1 &\necho $! > detached\n"
               "echo bye\nexit 4\n");
    const Collected run = RunCollecting("leaves children");
    EXPECT_EQ(run.end.how, How::Exited);
    EXPECT_EQ(run.end.code, 4);
    EXPECT_EQ(run.output, "bye\n");
    EXPECT_TRUE(ProcessGone(ReadPid("holding")));
    EXPECT_TRUE(ProcessGone(ReadPid("detached")));
}

TEST(RunProgramStop, NoStopWithoutARequest) {
    TaskFolder folder;
    MakeScript("short", "sleep 0.2\necho done\n");
    int asked = 0;
    const Collected run = RunCollecting("short", StopWhen([&] {
                                            ++asked;
                                            return false;
                                        }));
    EXPECT_EQ(run.end.how, How::Exited);
    EXPECT_EQ(run.output, "done\n");
    EXPECT_GE(asked, 1);
}

}  // namespace
}  // namespace zelk::platform
