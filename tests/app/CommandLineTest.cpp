// The command line: every form it accepts and the ones it refuses.

#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace zelk {
namespace {

using Action = CommandLineInfo::Action;

struct LineCase {
    const char* name;
    QStringList args;
    Action action;
    QString file = {}, printer = {}, driver = {}, port = {}, taskDir = {};
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseCommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseCommandLineTest, Parses) {
    const LineCase& c = GetParam();
    const CommandLineInfo info = ParseCommandLine(c.args);
    EXPECT_EQ(info.action, c.action) << info.error.toStdString();
    EXPECT_EQ(info.fileName, c.file);
    EXPECT_EQ(info.printerName, c.printer);
    EXPECT_EQ(info.driverName, c.driver);
    EXPECT_EQ(info.portName, c.port);
    EXPECT_EQ(info.taskDir, c.taskDir);
    EXPECT_EQ(info.error.isEmpty(), c.action != Action::Error);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseCommandLineTest,
    ::testing::Values(
        LineCase{"Nothing", {}, Action::FileNew},
        LineCase{"File", {"notes.txt"}, Action::FileOpen, "notes.txt"},
        LineCase{"AbsoluteFile", {"/data/run1"}, Action::FileOpen, "/data/run1"},
        LineCase{"FileAfterDashes", {"--", "-odd"}, Action::FileOpen, "-odd"},
        LineCase{"SlashP", {"/p", "a.txt"}, Action::Print, "a.txt"},
        LineCase{"DashP", {"-p", "a.txt"}, Action::Print, "a.txt"},
        LineCase{"LongPrint", {"--print", "a.txt"}, Action::Print, "a.txt"},
        LineCase{"UpperP", {"/P", "a.txt"}, Action::Print, "a.txt"},
        LineCase{"PrintTo", {"/pt", "a.txt", "Laser"}, Action::PrintTo, "a.txt", "Laser"},
        LineCase{"PrintToFull",
                 {"/pt", "a.txt", "Laser", "drv", "LPT1:"},
                 Action::PrintTo,
                 "a.txt",
                 "Laser",
                 "drv",
                 "LPT1:"},
        LineCase{"Task", {"--task", "/tmp/t"}, Action::Task, "", "", "", "", "/tmp/t"},
        LineCase{"Help", {"--help"}, Action::Help},
        LineCase{"Version", {"--version"}, Action::Version},
        LineCase{"Dde", {"/dde"}, Action::FileNew},
        LineCase{"Unregister", {"/Unregister"}, Action::Quit},
        LineCase{"PrintWithoutFile", {"/p"}, Action::Error},
        LineCase{"PrintToWithoutPrinter", {"/pt", "a.txt"}, Action::Error},
        LineCase{"PrintToWithDriverOnly", {"/pt", "a.txt", "Laser", "drv"}, Action::Error},
        LineCase{"TaskWithoutDir", {"--task"}, Action::Error},
        LineCase{"Unknown", {"--frobnicate"}, Action::Error},
        LineCase{"TwoFiles", {"a.txt", "b.txt"}, Action::Error}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return param.param.name; });

TEST(UsageText, NamesEveryForm) {
    const QString usage = UsageText();
    for (const char* form : {"--task DIR", "/p FILE", "/pt FILE PRINTER", "--help", "--version"}) {
        EXPECT_TRUE(usage.contains(form)) << form;
    }
}

}  // namespace
}  // namespace zelk
