// The POSIX platform layer against the real system: directories of any
// length, copies that replace whole or not at all, and programs started with
// argument vectors and no shell.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "support/ScopedEnv.h"
#include "support/TaskFolder.h"

namespace zelk::platform {
namespace {

using zelk::testing::Exists;
using zelk::testing::ReadText;
using zelk::testing::TaskFolder;
using zelk::testing::WriteText;

void MakeExecutable(const std::string& path, const std::string& script) {
    WriteText(path, script);
    ::chmod(path.c_str(), 0755);
}

// Sets or clears ZELK_EDITOR for one test.
class EditorVariable : public zelk::testing::ScopedEnv {
  public:
    explicit EditorVariable(const char* value) : ScopedEnv("ZELK_EDITOR", value) {}
};

TEST(Directories, CurrentDirectoryHasNoLengthLimit) {
    TaskFolder folder;
    // Far beyond 256 characters and beyond one memory page (where the kernel's
    // own getcwd gives up).
    const std::string segment(200, 'd');
    std::string expected = folder.path();
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(::mkdir(segment.c_str(), 0755), 0);
        ASSERT_TRUE(SetCurrentDirectory(segment));
        expected += "/" + segment;
    }
    ASSERT_GT(expected.size(), 4096u);
    EXPECT_EQ(CurrentDirectory(), expected);
}

TEST(Directories, SetCurrentDirectoryReportsFailureAndKeepsTheOldOne) {
    TaskFolder folder;
    EXPECT_FALSE(SetCurrentDirectory(folder.path() + "/no such folder"));
    EXPECT_FALSE(SetCurrentDirectory(""));
    EXPECT_EQ(CurrentDirectory(), folder.path());
    ASSERT_EQ(::mkdir("with blank", 0755), 0);
    EXPECT_TRUE(SetCurrentDirectory(folder.path() + "/with blank"));
    EXPECT_EQ(CurrentDirectory(), folder.path() + "/with blank");
}

TEST(Directories, WindowsDirectoryIsTheFolderOfTheRunningProgram) {
    const std::string dir = WindowsDirectory();
    ASSERT_TRUE(IsAbsolutePath(dir));
    EXPECT_TRUE(Exists(dir + "/test_platform")) << dir;
}

TEST(Files, CopyReplacesTheTargetAndKeepsTheSource) {
    TaskFolder folder;
    WriteText("FIT.INP", "user input\r\nline 2\n");
    WriteText("BUFF.RES", "an older, longer backup that must vanish entirely\n");
    ASSERT_TRUE(CopyFile("FIT.INP", "BUFF.RES"));
    EXPECT_EQ(ReadText("BUFF.RES"), "user input\r\nline 2\n");
    EXPECT_EQ(ReadText("FIT.INP"), "user input\r\nline 2\n");
    EXPECT_TRUE(CopyFile("FIT.INP", "new name with blanks.res"));
    EXPECT_EQ(ReadText("new name with blanks.res"), "user input\r\nline 2\n");
}

TEST(Files, CopyOntoItselfLosesNothing) {
    TaskFolder folder;
    WriteText("newmod.res", "model parameters\n");
    CopyFile("newmod.res", "newmod.res");
    CopyFile("newmod.res", folder.path() + "/newmod.res");
    EXPECT_EQ(ReadText("newmod.res"), "model parameters\n");
}

TEST(Files, FailedCopiesReportFailureAndLeaveTheTargetAlone) {
    TaskFolder folder;
    WriteText("BUFF.RES", "kept\n");
    ASSERT_EQ(::mkdir("a folder", 0755), 0);
    struct Case {
        std::string from, to;
    };
    const std::vector<Case> cases = {
        {"missing", "BUFF.RES"},        // no source
        {"a folder", "BUFF.RES"},       // source is no file
        {"BUFF.RES", "no such dir/x"},  // target folder missing
        {"BUFF.RES", "a folder"},       // target is a folder
        {"BUFF.RES", ""},               // no target name
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(CopyFile(c.from, c.to)) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(ReadText("BUFF.RES"), "kept\n");
    // Nothing half-written is left behind.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"BUFF.RES", "a folder"}));
}

TEST(Files, CopyKeepsTheExecutableBit) {
    TaskFolder folder;
    MakeExecutable("fit", "#!/bin/sh\n");
    ASSERT_TRUE(CopyFile("fit", "fit copy"));
    EXPECT_EQ(::access("fit copy", X_OK), 0);
}

TEST(Files, DeleteRemovesFilesOnly) {
    TaskFolder folder;
    WriteText("result.dat", "1 1\n");
    ASSERT_EQ(::mkdir("dir", 0755), 0);
    EXPECT_TRUE(DeleteFile("result.dat"));
    EXPECT_FALSE(Exists("result.dat"));
    EXPECT_FALSE(DeleteFile("result.dat"));
    EXPECT_FALSE(DeleteFile("dir"));
    EXPECT_TRUE(Exists("dir"));
}

TEST(Files, AtomicWriteReplacesWholeAndKeepsPermissions) {
    TaskFolder folder;
    WriteText("FIT.INP", "an older and much longer content that must vanish\n");
    ::chmod("FIT.INP", 0640);
    const std::string bytes("new\r\n\0bytes", 12);
    ASSERT_TRUE(WriteFileAtomically("FIT.INP", bytes));
    EXPECT_EQ(ReadText("FIT.INP"), bytes);
    struct stat info {};
    ASSERT_EQ(::stat("FIT.INP", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    ASSERT_TRUE(WriteFileAtomically("new file", ""));
    EXPECT_EQ(ReadText("new file"), "");
}

TEST(Files, AtomicWriteNeverWritesThroughALink) {
    TaskFolder folder;
    WriteText("master.inp", "shared\n");
    std::filesystem::create_symlink("master.inp", "FIT.INP");
    ASSERT_TRUE(WriteFileAtomically("FIT.INP", "own\n"));
    EXPECT_EQ(ReadText("master.inp"), "shared\n");
    EXPECT_FALSE(std::filesystem::is_symlink("FIT.INP"));
    EXPECT_EQ(ReadText("FIT.INP"), "own\n");
}

TEST(Files, FailedAtomicWriteLeavesNothingBehind) {
    TaskFolder folder;
    ASSERT_EQ(::mkdir("a folder", 0755), 0);
    EXPECT_FALSE(WriteFileAtomically("no such dir/FIT.INP", "x"));
    EXPECT_FALSE(WriteFileAtomically("a folder", "x"));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a folder"}));
}

TEST(Lock, OneHolderAtATimeAndTheFileGoesWithTheLastOne) {
    TaskFolder folder;
    {
        FileLock first(".lock");
        ASSERT_EQ(first.state(), FileLock::State::Held);
        EXPECT_EQ(FileLock(".lock").state(), FileLock::State::Busy);
        // Held by absolute path: a change of directory does not matter.
        ASSERT_EQ(::mkdir("elsewhere", 0755), 0);
        ASSERT_TRUE(SetCurrentDirectory("elsewhere"));
        EXPECT_EQ(FileLock(folder.path() + "/.lock").state(), FileLock::State::Busy);
    }
    EXPECT_FALSE(Exists(folder.path() + "/.lock"));
    EXPECT_EQ(FileLock(folder.path() + "/.lock").state(), FileLock::State::Held);
    EXPECT_EQ(FileLock(folder.path() + "/no such dir/.lock").state(), FileLock::State::Unavailable);
}

TEST(Lock, LockOfAKilledProcessExpires) {
    TaskFolder folder;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileLock held(".lock");
        const char state = held.state() == FileLock::State::Held ? 'H' : 'x';
        (void)!::write(ready[1], &state, 1);
        for (;;) {
            ::pause();
        }
    }
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_EQ(state, 'H');
    EXPECT_EQ(FileLock(".lock").state(), FileLock::State::Busy);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // The file is still there, but nobody holds it.
    EXPECT_TRUE(Exists(".lock"));
    EXPECT_EQ(FileLock(".lock").state(), FileLock::State::Held);
}

TEST(Editor, BundledEditorGetsThePathTwice) {
    EditorVariable unset(nullptr);
    zelk::testing::ScopedEnv path("PATH", "/nonexistent");
    const Launch launch = EditorLaunch("/opt/zelk/bin", "/work/my task/FIT.INP");
    EXPECT_EQ(launch.program, "/opt/zelk/bin/zelk-notepad");
    EXPECT_EQ(launch.argv,
              (std::vector<std::string>{"/work/my task/FIT.INP", "/work/my task/FIT.INP"}));
}

TEST(Editor, BundledEditorNotBesideTheProgramIsTakenFromPath) {
    EditorVariable unset(nullptr);
    TaskFolder folder("zelk-bin");
    MakeExecutable("zelk-notepad", "#!/bin/sh\n");
    zelk::testing::ScopedEnv path("PATH", ("/nonexistent:" + folder.path()).c_str());
    EXPECT_EQ(EditorLaunch("/nonexistent", "a").program, folder.path() + "/zelk-notepad");
    // Beside the program it wins.
    EXPECT_EQ(EditorLaunch(folder.path(), "a").program, folder.path() + "/zelk-notepad");
}

TEST(Editor, BlankVariableMeansTheBundledEditor) {
    EditorVariable blank("  \t ");
    zelk::testing::ScopedEnv path("PATH", "/nonexistent");
    EXPECT_EQ(EditorLaunch("/opt/zelk/bin", "a").program, "/opt/zelk/bin/zelk-notepad");
}

TEST(Editor, UserEditorCommandLineGetsThePathAppended) {
    TaskFolder folder("zelk-editor");  // the variable is split on blanks
    MakeExecutable("my-editor", "#!/bin/sh\n");
    const std::string editor = folder.path() + "/my-editor";
    EditorVariable custom((" " + editor + "  --wait\t-n ").c_str());
    const Launch launch = EditorLaunch("/opt/zelk/bin", "/work/my task/START_A.INP");
    EXPECT_EQ(launch.program, editor);
    EXPECT_EQ(launch.argv,
              (std::vector<std::string>{editor, "--wait", "-n", "/work/my task/START_A.INP"}));
}

TEST(Editor, UserEditorNamedWithoutFolderIsFoundOnPath) {
    EditorVariable custom("sh -c");
    const Launch launch = EditorLaunch("/opt/zelk/bin", "x");
    EXPECT_TRUE(IsAbsolutePath(launch.program)) << launch.program;
    EXPECT_EQ(std::filesystem::path(launch.program).filename(), "sh");
    EXPECT_EQ(launch.argv, (std::vector<std::string>{"sh", "-c", "x"}));
}

TEST(Launch, ExitCodesAndProgramsThatCannotStart) {
    TaskFolder folder;
    MakeExecutable("exits7", "#!/bin/sh\nexit 7\n");
    MakeExecutable("killed", "#!/bin/sh\nkill -9 $$\n");
    WriteText("not executable", "#!/bin/sh\nexit 0\n");
    WriteText("no interpreter", "just text\n");
    ::chmod("no interpreter", 0755);
    ASSERT_EQ(::mkdir("folder", 0755), 0);
    struct Case {
        std::string program;
        int code;
    };
    const std::vector<Case> cases = {
        {"exits7", 7},
        {folder.path() + "/exits7", 7},
        {"killed", 128 + 9},
        {"missing program", -1},
        {"", -1},
        {"folder", -1},
        {"not executable", -1},
        {"no interpreter", -1},
        {"sh", -1},  // on PATH, but not in the current directory
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LaunchAndWait(c.program, {c.program}), c.code) << c.program;
    }
}

TEST(Launch, ArgumentsArriveWholeAndNoShellSeesThem) {
    TaskFolder folder;
    MakeExecutable("print args",
                   "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > args.txt\n");
    const std::vector<std::string> argv = {
        "print args", "/work/my task/FIT.INP", "two  blanks", "$(touch injected)", "a;b", "*", ""};
    ASSERT_EQ(LaunchAndWait("print args", argv), 0);
    EXPECT_EQ(ReadText("args.txt"),
              "[/work/my task/FIT.INP]\n[two  blanks]\n[$(touch injected)]\n[a;b]\n[*]\n[]\n");
    EXPECT_FALSE(Exists("injected"));
}

TEST(Launch, WhileWaitingRunsUntilTheProgramEnds) {
    TaskFolder folder;
    // The program can only end after whileWaiting has run at least once.
    MakeExecutable("waiter", "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.01; done\nexit 3\n");
    int calls = 0;
    const int code = LaunchAndWait("waiter", {"waiter"}, [&] {
        ++calls;
        WriteText("go", "");
    });
    EXPECT_EQ(code, 3);
    EXPECT_GE(calls, 1);
}

TEST(Launch, ProgramStartsWithDefaultSignalHandling) {
    TaskFolder folder;
    MakeExecutable("terminates itself", "#!/bin/sh\nkill -TERM $$\nexit 0\n");
    // What a GUI may have set up for itself must not reach the program.
    const auto old = std::signal(SIGTERM, SIG_IGN);
    const int code = LaunchAndWait("terminates itself", {"terminates itself"});
    std::signal(SIGTERM, old);
    EXPECT_EQ(code, 128 + SIGTERM);
}

// Whether each page of [base, base + pages * page size) is resident.
std::vector<bool> ResidentPages(void* base, std::size_t pages) {
    std::vector<unsigned char> flags(pages);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(::mincore(base, pages * page, flags.data()), 0);
    std::vector<bool> resident;
    for (unsigned char flag : flags) {
        resident.push_back((flag & 1) != 0);
    }
    return resident;
}

TEST(PrepareToWrite, BringsInExactlyThePagesOfTheRangeAndKeepsTheirBytes) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    constexpr std::size_t kPages = 16;
    void* mapped =
        ::mmap(nullptr, kPages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* base = static_cast<unsigned char*>(mapped);
    base[2 * page + 7] = 0x5a;  // one page already holds data
#ifdef MADV_POPULATE_WRITE
    if (::madvise(base + (kPages - 1) * page, page, MADV_POPULATE_WRITE) != 0) {
        ::munmap(mapped, kPages * page);
        GTEST_SKIP() << "the kernel cannot populate pages on request";
    }
#else
    ::munmap(mapped, kPages * page);
    GTEST_SKIP() << "the system cannot populate pages on request";
#endif
    // From the middle of page 1 to the middle of page 9, as a window's image
    // that starts and ends within pages.
    PrepareToWrite(base + page + 100, 8 * page);
    const std::vector<bool> resident = ResidentPages(base, kPages);
    for (std::size_t i = 0; i < kPages; ++i) {
        const bool expected = (i >= 1 && i <= 9) || i == kPages - 1;
        EXPECT_EQ(resident[i], expected) << "page " << i;
    }
    EXPECT_EQ(base[2 * page + 7], 0x5a);
    EXPECT_EQ(base[page + 100], 0);
    ::munmap(mapped, kPages * page);

    PrepareToWrite(nullptr, 0);  // nothing to do, and no harm
}

TEST(PrepareToWrite, SharedMemoryOfAFileKeepsTheFilesBytes) {
    // A window's image lies in shared memory; populating it must never
    // clear or change what is there.
    TaskFolder folder;
    const std::string path = folder.path() + "/shared.bin";
    std::string bytes;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t i = 0; i < 3 * page; ++i) {
        bytes.push_back(static_cast<char>('a' + i % 26));
    }
    WriteText(path, bytes);
    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    void* mapped = ::mmap(nullptr, bytes.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    ASSERT_NE(mapped, MAP_FAILED);
    PrepareToWrite(static_cast<char*>(mapped) + 10, bytes.size() - 20);
    EXPECT_EQ(std::string(static_cast<const char*>(mapped), bytes.size()), bytes);
    ::munmap(mapped, bytes.size());
    EXPECT_EQ(ReadText(path), bytes);
}

// The rest of the line that starts with field ("VmFlags:", "AnonHugePages:")
// in the description of the mapping that holds address.
[[maybe_unused]] std::string MappingFieldAt(const void* address, const std::string& field) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::istringstream maps(ReadText("/proc/self/smaps"));
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
        unsigned long long first = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx ", &first, &end) == 2 &&
            line.find(':') > line.find(' ')) {
            inside = first <= at && at < end;
        } else if (inside && line.rfind(field, 0) == 0) {
            return line.substr(field.size());
        }
    }
    return {};
}

#if defined(__SANITIZE_ADDRESS__)
#define ZELK_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELK_OWN_ALLOCATOR 1
#endif
#endif

TEST(PrepareHeapForStartUp, TheNextAllocationsComeFromOneAdvisedLargePage) {
#if defined(ZELK_OWN_ALLOCATOR) || !defined(__GLIBC__) || !defined(__linux__)
    GTEST_SKIP() << "only glibc's own allocator on Linux is prepared";
#else
    const std::size_t large = TransparentLargePageSize();
    if (large == 0) {
        GTEST_SKIP() << "this system has no transparent large pages";
    }
    for (int round = 0; round < 2; ++round) {  // a second call is as good as the first
        ASSERT_TRUE(PrepareHeapForStartUp()) << "round " << round;
        // The next block from the heap's top begins exactly at the large page,
        // which the system was asked to supply whole.
        auto* block = static_cast<unsigned char*>(std::malloc(large / 2));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % large, 0U) << "round " << round;
        EXPECT_NE(MappingFieldAt(block, "VmFlags:").find(" hg"), std::string::npos)
            << "round " << round << ": " << MappingFieldAt(block, "VmFlags:");
        // The heap stays sound: every byte usable, and blocks around it
        // freed and allocated again (glibc ends the process on a broken heap).
        std::memset(block, 0xa5, large / 2);
        std::vector<void*> small;
        for (std::size_t i = 0; i < 2000; ++i) {
            small.push_back(std::malloc(16 + i % 700));
            std::memset(small.back(), static_cast<int>(i), 16 + i % 700);
        }
        EXPECT_EQ(block[0], 0xa5);
        EXPECT_EQ(block[large / 2 - 1], 0xa5);
        for (void* p : small) {
            std::free(p);
        }
        std::free(block);
    }
#endif
}

// Whether the kernel turns written pages into a large page on request.
[[maybe_unused]] bool CanCollapseToLargePages(std::size_t large) {
#ifdef __linux__
    void* mapped =
        ::mmap(nullptr, 2 * large, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return false;
    }
    const auto at = (reinterpret_cast<std::uintptr_t>(mapped) + large - 1) & ~(large - 1);
    *reinterpret_cast<volatile char*>(at) = 1;
    const bool collapsed =
        ::madvise(reinterpret_cast<void*>(at), large, 25 /* MADV_COLLAPSE */) == 0;
    ::munmap(mapped, 2 * large);
    return collapsed;
#else
    (void)large;
    return false;
#endif
}

TEST(PrepareHeapForStartUp, AThreadsHeapComesOnALargePage) {
#if defined(ZELK_OWN_ALLOCATOR) || !defined(__GLIBC__) || !defined(__linux__)
    GTEST_SKIP() << "only glibc's own allocator on Linux is prepared";
#else
    const std::size_t large = TransparentLargePageSize();
    if (large == 0 || !CanCollapseToLargePages(large)) {
        GTEST_SKIP() << "this system cannot make large pages of written ones";
    }
    ASSERT_TRUE(PrepareHeapForStartUp());
    bool done = false;
    long faults = 0;
    std::string mapping;
    std::thread([&] {
        done = PrepareThreadHeapForStartUp();
        const auto faultsSoFar = [] {
            rusage usage{};
            ::getrusage(RUSAGE_THREAD, &usage);
            return usage.ru_minflt;
        };
        const long before = faultsSoFar();
        std::vector<void*> blocks;
        blocks.reserve(256);
        for (int i = 0; i < 256; ++i) {  // a megabyte in small blocks, all written
            blocks.push_back(std::malloc(4000));
            std::memset(blocks.back(), i, 4000);
        }
        faults = faultsSoFar() - before;
        mapping = MappingFieldAt(blocks.front(), "AnonHugePages:");
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(static_cast<unsigned char*>(blocks[i])[3999], i);
            std::free(blocks[i]);
        }
    }).join();
    EXPECT_TRUE(done);
    EXPECT_LT(faults, 16) << "the thread stopped at each page of its heap";
    EXPECT_GE(std::atol(mapping.c_str()), static_cast<long>(large / 1024))
        << "AnonHugePages of the thread's heap:" << mapping;
#endif
}

}  // namespace
}  // namespace zelk::platform
