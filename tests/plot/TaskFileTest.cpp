#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "plot/Readers.h"
#include "support/RecordingHost.h"
#include "support/ScopedLocale.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

using testing::RecordingHost;
using testing::TempWorkDir;

// What a task read stores, for comparing whole outcomes at once.
struct TaskFields {
    std::string optFile, modelFile, expFile, fitProgram, resFile, axisFile;
    std::int32_t experimentFlag;
    float markerX1, markerX2;
    bool operator==(const TaskFields&) const = default;
};

TaskFields Fields(const PlotState& s) {
    return {s.optFile,  s.modelFile,      s.expFile,  s.fitProgram, s.resFile,
            s.axisFile, s.experimentFlag, s.markerX1, s.markerX2};
}

std::ostream& operator<<(std::ostream& os, const TaskFields& f) {
    return os << "opt=" << f.optFile << " model=" << f.modelFile << " exp=" << f.expFile
              << " fit=" << f.fitProgram << " res=" << f.resFile << " axis=" << f.axisFile
              << " flag=" << f.experimentFlag << " markers=" << f.markerX1 << "," << f.markerX2;
}

std::vector<std::string> ValidLines() {
    return {"Task of the week",  "options:",        "opt.inp", "model:",
            "model.inp",         "1 experiment on", "data:",   "exp.dat",
            "2.5  7.25 markers", "fitter:",         "fit.exe", "result:",
            "result.dat",        "axes:",           "axis.inp"};
}

const TaskFields kValid{"opt.inp",  "model.inp", "exp.dat", "fit.exe", "result.dat",
                        "axis.inp", 1,           2.5f,      7.25f};

std::string Join(const std::vector<std::string>& lines, const std::string& end, bool finalEnd) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalEnd) {
            text += end;
        }
    }
    return text;
}

class TaskFileTest : public ::testing::Test {
  protected:
    // Reads text as START_A.INP into a state that already holds another task.
    void Read(const std::string& text) {
        dir.Write("START_A.INP", text);
        ReadTaskFile(*state, host);
    }

    TempWorkDir dir;
    RecordingHost host;
    std::unique_ptr<PlotState> state = [] {
        auto s = std::make_unique<PlotState>();
        s->optFile = s->modelFile = s->expFile = "old";
        s->fitProgram = s->resFile = s->axisFile = "old";
        s->experimentFlag = 9;
        s->markerX1 = s->markerX2 = -1.0f;
        return s;
    }();
};

TEST_F(TaskFileTest, LineEndsDoNotChangeWhatIsRead) {
    struct Case {
        const char* end;
        bool finalEnd;
    };
    for (const Case c :
         {Case{"\n", true}, Case{"\r\n", true}, Case{"\n", false}, Case{"\r\n", false}}) {
        state->axisFile.clear();
        Read(Join(ValidLines(), c.end, c.finalEnd) + (c.finalEnd ? "ignored\nlines\n" : ""));
        EXPECT_EQ(Fields(*state), kValid) << "final line end: " << c.finalEnd;
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(state->curFile.IsOpen());
}

TEST_F(TaskFileTest, ShortFileIsFatalSaysWhatWasMissingAndReleasesTheFile) {
    for (std::size_t keep : {0, 1, 5, 6, 9, 14}) {
        std::vector<std::string> lines = ValidLines();
        lines.resize(keep);
        RecordingHost fresh;
        dir.Write("START_A.INP", Join(lines, "\n", true));
        EXPECT_THROW(ReadTaskFile(*state, fresh), FatalError) << keep << " lines";
        const std::string found = std::to_string(keep) + (keep == 1 ? " line" : " lines");
        EXPECT_EQ(fresh.messages,
                  std::vector<std::string>{"Invalid parameters file\nSTART_A.INP: " + found +
                                           " found, 15 needed"});
        EXPECT_FALSE(state->curFile.IsOpen());
    }
}

// A reread of a file that may be half written must neither end the process
// nor leave a half-read task behind.
TEST_F(TaskFileTest, LiveReadOfAShortFileKeepsTheTask) {
    std::vector<std::string> lines = ValidLines();
    lines.resize(12);
    dir.Write("START_A.INP", Join(lines, "\n", true));
    const TaskFields before = Fields(*state);
    const ReadReport report = ReadTaskFile(*state, host, ReadMode::Live);
    EXPECT_FALSE(report.complete);
    EXPECT_EQ(report.messages,
              std::vector<std::string>{
                  "Invalid parameters file\nSTART_A.INP: 12 lines found, 15 needed"});
    EXPECT_EQ(Fields(*state), before);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.fatals, 0);
    dir.Write("START_A.INP", Join(ValidLines(), "\n", true));
    EXPECT_TRUE(ReadTaskFile(*state, host, ReadMode::Live).complete);
    EXPECT_EQ(Fields(*state), kValid);
}

TEST_F(TaskFileTest, NumberLinesFollowFormattedInput) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::string>> edits;  // 1-based line, new text
        bool extraLine;                                  // a 16th line "line16"
        TaskFields expected;
    };
    TaskFields keepFlag = kValid;
    keepFlag.experimentFlag = 9;
    TaskFields zeroFlag = kValid;
    zeroFlag.experimentFlag = 0;
    TaskFields keepMarkers = kValid;
    keepMarkers.markerX1 = keepMarkers.markerX2 = -1.0f;
    // An empty line 6: the flag is looked for on line 7, fails there, and line 7
    // is swallowed as the rest of line 6; every later line moves up by one.
    TaskFields shiftedBy6{
        "opt.inp", "model.inp", "2.5  7.25 markers", "result:", "axes:", "line16", 9, -1.0f, -1.0f};
    // Line 9 with one number: the second is found at the start of line 10, whose
    // rest is then taken as the rest of line 9.
    TaskFields shiftedBy9{
        "opt.inp", "model.inp", "exp.dat", "result:", "axes:", "line16", 1, 2.5f, 7.25f};
    const Case cases[] = {
        {"flag with comment", {{6, "1 experiment on"}}, false, kValid},
        {"flag zero", {{6, "0"}}, false, zeroFlag},
        {"flag letters", {{6, "yes please"}}, false, keepFlag},
        {"flag empty line", {{6, ""}, {7, "free text"}}, true, shiftedBy6},
        {"markers two blanks", {{9, "2.5  7.25"}}, false, kValid},
        {"markers on two lines", {{9, "2.5"}, {10, "7.25 fitter:"}}, true, shiftedBy9},
        {"markers text", {{9, "none"}}, false, keepMarkers},
        {"markers exponent", {{9, "25e-1 +.725E1"}}, false, kValid},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = ValidLines();
        for (const auto& [line, text] : c.edits) {
            lines[static_cast<std::size_t>(line - 1)] = text;
        }
        if (c.extraLine) {
            lines.push_back("line16");
        }
        state->experimentFlag = 9;
        state->markerX1 = state->markerX2 = -1.0f;
        Read(Join(lines, "\n", true));
        EXPECT_EQ(Fields(*state), c.expected) << c.name;
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TaskFileTest, NamesAreWholeLines) {
    std::vector<std::string> lines = ValidLines();
    const std::string longName = "results/" + std::string(300, 'r') + ".dat";
    lines[2] = " my options.inp  ";
    lines[0] = std::string(5000, '#');  // a long free-text line shifts nothing
    lines[5] = "1 " + std::string(250, 'c');
    lines[12] = longName;
    Read(Join(lines, "\r\n", true));
    EXPECT_EQ(state->optFile, " my options.inp  ");
    EXPECT_EQ(state->resFile, longName);
    EXPECT_EQ(state->axisFile, "axis.inp");
    EXPECT_EQ(state->experimentFlag, 1);
    EXPECT_EQ(state->modelFile, "model.inp");
}

TEST_F(TaskFileTest, MissingFileLeavesTheTaskAsItWas) {
    ReadTaskFile(*state, host);
    TaskFields old{"old", "old", "old", "old", "old", "old", 9, -1.0f, -1.0f};
    EXPECT_EQ(Fields(*state), old);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.fatals, 0);
}

TEST_F(TaskFileTest, MarkersReadTheSameUnderACommaLocale) {
    testing::ScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing (scripts/zelk.sh install)";
    // The locale is live: the C library now wants a decimal comma.
    ASSERT_EQ(std::strtod("2,5", nullptr), 2.5);
    Read(Join(ValidLines(), "\n", true));
    EXPECT_EQ(Fields(*state), kValid);
}

}  // namespace
}  // namespace zelk
