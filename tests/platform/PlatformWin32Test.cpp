// The Win32 platform layer against the real system: UTF-8 names on our side
// and UTF-16 at the API, folders with blanks and letters beyond ASCII, paths
// beyond MAX_PATH, and real child processes started from argument vectors.
// The child is zelk-argv-dump, built beside this test; it writes the argument
// vector it received to argv.txt in its current directory.

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

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/InputFile.h"
#include "platform/Platform.h"
#include "support/TaskFolder.h"

namespace zelk::platform {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using zelk::testing::Exists;
using zelk::testing::FsPath;
using zelk::testing::ReadText;
using zelk::testing::TaskFolder;
using zelk::testing::Utf8;
using zelk::testing::WriteText;

// "Größe Ω" in UTF-8, spelled out so that the source's encoding cannot matter.
const std::string kNonAscii =
    "Gr\xC3\xB6\xC3\x9F"
    "e \xCE\xA9";

// The folder of this test program, where the build puts zelk-argv-dump.
std::string TestProgramFolder() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return Utf8(fs::path(buffer).parent_path());
}

const std::string& ArgvDump() {
    static const std::string path = JoinPath(TestProgramFolder(), "zelk-argv-dump.exe");
    return path;
}

// The argument vector that zelk-argv-dump wrote, or {"<missing>"}.
Strings DumpedArgv(const std::string& file = "argv.txt") {
    const std::string text = ReadText(file);
    if (text == "<missing>") {
        return {text};
    }
    Strings args;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t colon = text.find(':', pos);
        const std::size_t length = std::stoul(text.substr(pos, colon - pos));
        args.push_back(text.substr(colon + 1, length));
        pos = colon + 1 + length + 1;
    }
    return args;
}

// A copy of zelk-argv-dump in folder under name.
std::string CopyOfArgvDump(const std::string& folder, const std::string& name) {
    fs::create_directories(FsPath(folder));
    const std::string copy = JoinPath(folder, name);
    fs::copy_file(FsPath(ArgvDump()), FsPath(copy), fs::copy_options::overwrite_existing);
    return copy;
}

TEST(Win32Launch, EveryArgumentArrivesWhole) {
    TaskFolder folder;
    const Strings argv = {
        ArgvDump(),
        "two words",
        "  leading and trailing  ",
        "",
        "say \"hi\"",
        "\"",
        "\"\"",
        "ends in a backslash\\",
        "C:\\my task\\",
        "C:\\no blank\\",
        "\\\\server\\share\\",
        "a\\\\\"b",
        "back\\slash\\\\ \"quote\"\\",
        "&",
        "a & b",
        "|",
        "a|b > c < d ^ e",
        "%PATH%",
        "%PATH",
        "tab\there",
        "/work/my task/FIT.INP",
        kNonAscii,
        "\xE6\x97\xA5\xE6\x9C\xAC \xD0\x96 \xF0\x9F\x98\x80",  // CJK, Cyrillic, beyond the BMP
    };
    ASSERT_EQ(LaunchAndWait(argv.front(), argv), 0);
    EXPECT_EQ(DumpedArgv(), argv);
}

TEST(Win32Launch, ProgramInAFolderWithBlanksAndNonAsciiLetters) {
    TaskFolder folder;
    const std::string program = CopyOfArgvDump(JoinPath(folder.path(), kNonAscii), "fit prog.exe");
    const Strings argv = {program, kNonAscii};
    ASSERT_EQ(LaunchAndWait(program, argv), 0);
    EXPECT_EQ(DumpedArgv(), argv);
    // Relative to the current directory, as the task's fitting program is.
    ASSERT_TRUE(SetCurrentDirectory(JoinPath(folder.path(), kNonAscii)));
    ASSERT_EQ(LaunchAndWait("fit prog.exe", {"fit prog.exe"}), 0);
    EXPECT_EQ(DumpedArgv(), Strings{"fit prog.exe"});
}

TEST(Win32Launch, ExitCodesAndProgramsThatCannotStart) {
    TaskFolder folder;
    WriteText("not a program.exe", "just text\r\n");
    fs::create_directory("folder.exe");
    struct Case {
        std::string program;
        Strings args;
        int code;
    };
    const std::vector<Case> cases = {
        {ArgvDump(), {"--exit", "7"}, 7},
        {ArgvDump(), {"--exit", "255"}, 255},
        {ArgvDump(), {}, 0},
        {"missing program.exe", {}, -1},
        {JoinPath(folder.path(), "no such folder\\fit.exe"), {}, -1},
        {"", {}, -1},
        {"not a program.exe", {}, -1},
        {"folder.exe", {}, -1},
    };
    for (const Case& c : cases) {
        Strings argv = {c.program};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(LaunchAndWait(c.program, argv), c.code) << c.program;
    }
}

TEST(Win32Launch, WhileWaitingRunsUntilTheProgramEndsAndTheExitCodeComesBack) {
    TaskFolder folder;
    int calls = 0;
    bool endedBeforeLastCall = false;
    const int code = LaunchAndWait(ArgvDump(), {ArgvDump(), "--sleep", "400", "--exit", "3"}, [&] {
        ++calls;
        endedBeforeLastCall = Exists("argv.txt");
    });
    EXPECT_EQ(code, 3);
    EXPECT_GE(calls, 2);  // 400 ms of waiting, woken every 20 ms
    EXPECT_FALSE(endedBeforeLastCall);
    // Without the callback the wait is plain.
    EXPECT_EQ(LaunchAndWait(ArgvDump(), {ArgvDump(), "--exit", "4"}), 4);
}

TEST(Win32Launch, ProgramNamedWithoutExtensionIsTakenWithExe) {
    TaskFolder folder;
    CopyOfArgvDump(folder.path(), "fit.exe");
    ASSERT_EQ(LaunchAndWait("fit", {"fit", "x y"}), 0);
    EXPECT_EQ(DumpedArgv(), (Strings{"fit", "x y"}));
    fs::remove("argv.txt");
    const std::string absolute = JoinPath(folder.path(), "fit");
    ASSERT_EQ(LaunchAndWait(absolute, {absolute}), 0);
    EXPECT_EQ(DumpedArgv(), Strings{absolute});
    // A name with an extension is taken as it is.
    EXPECT_EQ(LaunchAndWait("fit.bin", {"fit.bin"}), -1);
    // The file the existence check looks at is the one that runs.
    fs::create_directory("folder");
    fs::create_directory("folder.exe");
    WriteText("both", "");
    CopyOfArgvDump(folder.path(), "both.exe");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"fit", "fit.exe"},     {absolute, absolute + ".exe"},
        {"fit.exe", "fit.exe"}, {"missing", "missing"},
        {"fit.bin", "fit.bin"}, {"both", "both"},
        {"folder", "folder"},   {"", ""},
    };
    for (const auto& [program, file] : files) {
        EXPECT_EQ(ProgramFile(program), file) << program;
    }
}

TEST(Win32Editor, NotepadOfTheWindowsDirectory) {
    std::wstring windows(MAX_PATH, L'\0');
    windows.resize(::GetWindowsDirectoryW(windows.data(), MAX_PATH));
    const std::string windowsDir = Utf8(fs::path(windows));
    EXPECT_EQ(WindowsDirectory(), windowsDir);
    const Launch launch = EditorLaunch(windowsDir, "C:\\my task\\FIT.INP");
    EXPECT_EQ(launch.program, windowsDir + "\\notepad.exe");
    EXPECT_EQ(launch.argv, (Strings{"C:\\my task\\FIT.INP", "C:\\my task\\FIT.INP"}));
}

TEST(Win32Editor, StandInNotepadGetsTheFileWhole) {
    // A stand-in notepad.exe in a folder of its own takes the place of the
    // Windows directory: started as the editor is, it notes what it was given.
    TaskFolder folder;
    const std::string editorDir = JoinPath(folder.path(), "windows " + kNonAscii);
    CopyOfArgvDump(editorDir, "notepad.exe");
    const std::string file = JoinPath(JoinPath(folder.path(), "my task"), "FIT.INP");
    const Launch launch = EditorLaunch(editorDir, file);
    ASSERT_EQ(LaunchAndWait(launch.program, launch.argv), 0);
    EXPECT_EQ(DumpedArgv(), (Strings{file, file}));
}

TEST(Win32Files, CopyReplacesTheTargetWholeAndKeepsEveryByte) {
    TaskFolder folder;
    const std::string dir = JoinPath(folder.path(), "task " + kNonAscii);
    fs::create_directory(FsPath(dir));
    const std::string input = JoinPath(dir, "FIT.INP");
    const std::string backup = JoinPath(dir, "BUFF.RES");
    const std::string bytes = "user input\r\nline 2\n\r\nno final line end\x1A";
    WriteText(input, bytes);
    WriteText(backup, "an older, longer backup that must vanish entirely\r\n");
    ASSERT_TRUE(CopyFile(input, backup));
    EXPECT_EQ(ReadText(backup), bytes);
    EXPECT_EQ(ReadText(input), bytes);
    ASSERT_TRUE(CopyFile(input, JoinPath(dir, kNonAscii + ".res")));
    EXPECT_EQ(ReadText(JoinPath(dir, kNonAscii + ".res")), bytes);
    // Onto itself, by another spelling too.
    CopyFile(input, input);
    CopyFile(input, JoinPath(JoinPath(dir, ".."), JoinPath("task " + kNonAscii, "FIT.INP")));
    EXPECT_EQ(ReadText(input), bytes);
}

TEST(Win32Files, FailedCopiesReportFailureAndLeaveTheTargetAlone) {
    TaskFolder folder;
    WriteText("BUFF.RES", "kept\r\n");
    WriteText("FIT.INP", "input\r\n");
    WriteText("read-only.res", "protected\r\n");
    ASSERT_TRUE(::SetFileAttributesW(L"read-only.res", FILE_ATTRIBUTE_READONLY));
    fs::create_directory("a folder");
    struct Case {
        std::string from, to;
    };
    const std::vector<Case> cases = {
        {"missing", "BUFF.RES"},        // no source
        {"a folder", "BUFF.RES"},       // source is no file
        {"FIT.INP", "no such dir\\x"},  // target folder missing
        {"FIT.INP", "a folder"},        // target is a folder
        {"FIT.INP", ""},                // no target name
        {"FIT.INP", "read-only.res"},   // the user protected the target
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(CopyFile(c.from, c.to)) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(ReadText("BUFF.RES"), "kept\r\n");
    EXPECT_EQ(ReadText("read-only.res"), "protected\r\n");
    ::SetFileAttributesW(L"read-only.res", FILE_ATTRIBUTE_NORMAL);
    // Nothing half-written is left behind.
    Strings names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(Utf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"BUFF.RES", "FIT.INP", "a folder", "read-only.res"}));
}

TEST(Win32Files, DeleteRemovesFilesOnly) {
    TaskFolder folder;
    const std::string result = JoinPath(folder.path(), kNonAscii + " result.dat");
    WriteText(result, "1 1\r\n");
    fs::create_directory("dir");
    EXPECT_TRUE(DeleteFile(result));
    EXPECT_FALSE(Exists(result));
    EXPECT_FALSE(DeleteFile(result));
    EXPECT_FALSE(DeleteFile("dir"));
    EXPECT_TRUE(Exists("dir"));
}

TEST(Win32Directories, CurrentDirectoryWithBlanksAndNonAsciiLetters) {
    TaskFolder folder;
    const std::string dir = JoinPath(folder.path(), "my task " + kNonAscii);
    fs::create_directory(FsPath(dir));
    ASSERT_TRUE(SetCurrentDirectory(dir));
    EXPECT_EQ(CurrentDirectory(), dir);
    // The C++ library sees the same folder.
    EXPECT_EQ(Utf8(fs::current_path()), dir);
    EXPECT_FALSE(SetCurrentDirectory(JoinPath(folder.path(), "no such folder")));
    EXPECT_FALSE(SetCurrentDirectory(""));
    EXPECT_EQ(CurrentDirectory(), dir);
    ASSERT_TRUE(SetCurrentDirectory(".."));
    EXPECT_EQ(CurrentDirectory(), folder.path());
}

TEST(Win32Directories, PathsBeyondMaxPath) {
    TaskFolder folder;
    const std::string segment = std::string(60, 'd') + " " + kNonAscii;
    std::string deep = folder.path();
    for (int i = 0; i < 6; ++i) {
        deep = JoinPath(deep, segment + std::to_string(i));
    }
    ASSERT_GT(deep.size(), 400u);
    fs::create_directories(FsPath(deep));
    const std::string input = JoinPath(deep, "FIT.INP");
    WriteText(input, "deep input\r\n");
    // Copy and delete by full path from elsewhere.
    ASSERT_TRUE(CopyFile(input, JoinPath(deep, "BUFF.RES")));
    EXPECT_EQ(ReadText(JoinPath(deep, "BUFF.RES")), "deep input\r\n");
    ASSERT_TRUE(CopyFile(JoinPath(deep, "BUFF.RES"), JoinPath(folder.path(), "shallow.res")));
    EXPECT_EQ(ReadText("shallow.res"), "deep input\r\n");
    EXPECT_TRUE(DeleteFile(JoinPath(deep, "BUFF.RES")));
    EXPECT_FALSE(Exists(JoinPath(deep, "BUFF.RES")));
    // The readers open it too (Wine lets long names through without the
    // \\?\ form; Windows does not).
    {
        InputFile file;
        ASSERT_EQ(file.Open(input), OpenError::None) << file.SystemText();
        char bytes[64];
        EXPECT_EQ(file.Read(bytes, sizeof bytes), 12);
        EXPECT_EQ(file.Open(JoinPath(deep, "no such file")), OpenError::Missing);
        EXPECT_FALSE(file.SystemText().empty());
    }
    // And as the current directory, by relative names.
    ASSERT_TRUE(SetCurrentDirectory(deep));
    EXPECT_EQ(CurrentDirectory(), deep);
    ASSERT_TRUE(CopyFile("FIT.INP", "BUFF.RES"));
    EXPECT_EQ(ReadText(JoinPath(deep, "BUFF.RES")), "deep input\r\n");
    EXPECT_TRUE(DeleteFile("BUFF.RES"));
}

}  // namespace
}  // namespace zelk::platform
