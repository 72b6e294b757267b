// The path and command-line rules of both systems, checked on any system.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/PathRules.h"

namespace zelk::platform::rules {
namespace {

TEST(PathRules, AbsoluteNamesAreRecognised) {
    struct Case {
        std::string name;
        bool posix;
        bool windows;
    };
    const std::vector<Case> cases = {
        {"/home/me/model.txt", true, true},   {"model.txt", false, false},
        {"sub/model.txt", false, false},      {"", false, false},
        {"C:\\work\\model.txt", false, true}, {"c:/work/model.txt", false, true},
        {"D:model.txt", false, true},         {"\\\\server\\share\\m.txt", false, true},
        {"\\root.txt", false, true},          {"..\\up.txt", false, false},
        {" /leading-blank", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAbsolutePosix(c.name), c.posix) << c.name;
        EXPECT_EQ(IsAbsoluteWindows(c.name), c.windows) << c.name;
    }
}

TEST(PathRules, JoinKeepsAbsoluteNamesAndAddsOneSeparator) {
    struct Case {
        std::string dir, name, posix, windows;
    };
    const std::vector<Case> cases = {
        {"/work/my task", "FIT.INP", "/work/my task/FIT.INP", "/work/my task\\FIT.INP"},
        {"/", "FIT.INP", "/FIT.INP", "/FIT.INP"},
        {"C:\\task\\", "a b.txt", "C:\\task\\/a b.txt", "C:\\task\\a b.txt"},
        {"/work", "/elsewhere/model.txt", "/elsewhere/model.txt", "/elsewhere/model.txt"},
        {"C:\\work", "E:\\models\\m.txt", "C:\\work/E:\\models\\m.txt", "E:\\models\\m.txt"},
        {"", "START_A.INP", "START_A.INP", "START_A.INP"},
        {"/work", " trailing ", "/work/ trailing ", "/work\\ trailing "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinPosix(c.dir, c.name), c.posix) << c.dir << " + " << c.name;
        EXPECT_EQ(JoinWindows(c.dir, c.name), c.windows) << c.dir << " + " << c.name;
    }
}

TEST(PathRules, EditorCommandLineIsSplitOnBlanksAndTabs) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(SplitOnBlanks("gedit"), Words{"gedit"});
    EXPECT_EQ(SplitOnBlanks("  emacs\t-nw   --no-splash "), (Words{"emacs", "-nw", "--no-splash"}));
    EXPECT_EQ(SplitOnBlanks(" \t "), Words{});
    EXPECT_EQ(SplitOnBlanks(""), Words{});
}

// The parser of the Microsoft C runtime (and CommandLineToArgvW) for the
// arguments after the program name, written from its documented rules:
// 2n backslashes and a quote give n backslashes and toggle quoting; 2n+1
// backslashes and a quote give n backslashes and a literal quote; other
// backslashes are literal; blanks and tabs outside quotes separate.
std::vector<std::string> ParseLikeTheRuntime(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i == line.size()) {
            break;
        }
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(backslashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
                    arg += line[i++];
                }
            }
        }
        args.push_back(arg);
    }
    return args;
}

TEST(WindowsCommandLine, QuotesOnlyWhatNeedsIt) {
    struct Case {
        std::string arg, quoted;
    };
    const std::vector<Case> cases = {
        {"FIT.INP", "FIT.INP"},
        {"C:\\Program Files\\fit.exe", "\"C:\\Program Files\\fit.exe\""},
        {"", "\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\my dir\\", "\"C:\\my dir\\\\\""},
        {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
        {"back\\slash", "back\\slash"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteWindowsArgument(c.arg), c.quoted) << c.arg;
    }
}

TEST(WindowsCommandLine, EveryArgumentComesBackWhole) {
    const std::vector<std::string> argv = {
        "C:\\Windows\\notepad.exe",
        "C:\\Users\\Anna Maria\\fit task\\FIT.INP",
        "",
        "tab\there",
        "ends with backslash\\",
        "\\\\server\\share\\",
        "quote\"inside",
        "many\\\\\\\"slashes",
        "trailing blank ",
        "\"",
        "\\",
    };
    const std::string line = BuildWindowsCommandLine(argv);
    EXPECT_EQ(ParseLikeTheRuntime(line), argv) << line;
}

}  // namespace
}  // namespace zelk::platform::rules
