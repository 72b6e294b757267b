// What the plot shows around a fit run: during the run the state from before
// it, after it only what the run itself wrote, and for a well-formed run
// exactly what it always showed.

#include <filesystem>
#include <string>
#include <thread>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/Readers.h"
#include "plot/RecordingSurface.h"

namespace zelk::testing {
namespace {

const std::string kExperimentalText = "3 1\n1 12\n2 22\n3 32\n";

std::string Drawn(PlotState& state) {
    RecordingSurface surface;
    CPlotter plotter;
    DrawPass(state, plotter, surface);
    return surface.ToText();
}

bool HasText(const std::string& drawn, const std::string& text) {
    return drawn.find(text) != std::string::npos;
}

// Solid pens in the first fitted curve's colour: the current fit's curves.
int FittedCurvePens(const std::string& drawn) {
    int count = 0;
    for (std::size_t at = drawn.find("pen 0 "); at != std::string::npos;
         at = drawn.find("pen 0 ", at + 1)) {
        const std::string line = drawn.substr(at, drawn.find('\n', at) - at);
        count += line.ends_with("0x0000FF");
    }
    return count;
}

class HonestResultsTest : public CommandsTest {
  protected:
    HonestResultsTest() {
        state->fitProgram = "fit prog";
        state->modelFile = "model.mod";
        state->expFile = "exp.dat";
        state->resFile = "result.dat";
        state->axisFile = "axis.inp";
        state->experimentFlag = 1;
        state->markerX1 = 1.5f;
        state->markerX2 = 2.5f;
        state->clientWidth = 400;
        state->clientHeight = 300;
        WriteText("fit prog", "#!/bin/sh\n");
        WriteText("model.mod", "model\n");
        WriteText("exp.dat", kExperimentalText);
        WriteText("axis.inp", kAxisText);
        WriteText("FIT.INP", "input\n");
        ReadAxisFile(*state, host);
        ReadCurveFiles(*state, host);
    }

    // The fitting program writes what it is told to and notes the plot as a
    // repaint during the run would draw it.
    void Fitter(bool writesResult, bool writesEps, std::string eps = "0.25\n") {
        host.onFitRun = [=, this](const RecordingHost::LaunchRecord&) {
            drawnDuringRun = Drawn(*state);
            if (writesResult) {
                WriteText("result.dat", kResultText);
            }
            if (writesEps) {
                WriteText("EPS.res", eps);
            }
            ProgramEnd end;
            end.how = ProgramEnd::How::Exited;
            return end;
        };
    }

    std::string drawnDuringRun;
};

TEST_F(HonestResultsTest, DuringTheFirstRunNoResultAndNoEpsAppear) {
    const std::string before = Drawn(*state);
    for (int id : {ID_RUN_PLACEHOLDER_FIT, ID_RUN_EDITED_FIT}) {
        state->fitRunCount = 0;
        Fitter(true, true);
        commands.Execute(id);
        EXPECT_EQ(drawnDuringRun, before) << id;
        EXPECT_FALSE(HasText(drawnDuringRun, " EPS =")) << id;
        EXPECT_FALSE(state->fitRunning);
        EXPECT_TRUE(HasText(Drawn(*state), " EPS =   0.2500000")) << id;
    }
}

TEST_F(HonestResultsTest, DuringALaterRunThePlotFromBeforeStays) {
    Fitter(true, true);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    const std::string afterFirst = Drawn(*state);
    ASSERT_GT(FittedCurvePens(afterFirst), 0);
    std::filesystem::remove("EPS.res");
    Fitter(false, false);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(drawnDuringRun, afterFirst);
}

TEST_F(HonestResultsTest, RunWithoutResultShowsNoEarlierFitButKeepsTheSnapshot) {
    Fitter(true, true);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    commands.Execute(ID_SNAPSHOT);
    ASSERT_TRUE(HasText(Drawn(*state), " EPSs=  0.2500000"));

    Fitter(false, false);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    ASSERT_EQ(host.fitRuns.size(), 2u);
    EXPECT_FALSE(host.fitRuns[1].resultWritten);
    EXPECT_FALSE(host.fitRuns[1].epsWritten);
    const std::string drawn = Drawn(*state);
    EXPECT_EQ(FittedCurvePens(drawn), 0);
    EXPECT_FALSE(HasText(drawn, " EPS ="));
    EXPECT_TRUE(HasText(drawn, " EPSs=  0.2500000"));
    // The messages of a run without result still come, in their order.
    EXPECT_EQ(host.messages, (Strings{"CAN NOT FIND fileRES\nresult.dat", "fileRES - absent !!!"}));
}

TEST_F(HonestResultsTest, EpsThatThisRunDidNotWriteIsNotItsEps) {
    struct Case {
        const char* what;
        bool epsBefore;
        bool writes;
        std::string written;
        bool drawn;
    };
    const std::vector<Case> cases = {
        {"left from before", true, false, "", false},
        {"absent", false, false, "", false},
        {"rewritten with the same value", true, true, "0.5\n", true},
        {"written anew", false, true, "0.75\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = RecordingHost();
        std::filesystem::remove("EPS.res");
        if (c.epsBefore) {
            WriteText("EPS.res", "0.5\n");
            // A clock tick between the old file and a rewrite.
            std::filesystem::last_write_time(
                "EPS.res", std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        }
        Fitter(true, c.writes, c.written);
        commands.Execute(ID_RUN_PLACEHOLDER_FIT);
        ASSERT_EQ(host.fitRuns.size(), 1u);
        EXPECT_EQ(host.fitRuns[0].epsWritten, c.drawn);
        EXPECT_EQ(HasText(Drawn(*state), " EPS ="), c.drawn);
        EXPECT_GT(FittedCurvePens(Drawn(*state)), 0);
    }
}

TEST_F(HonestResultsTest, WellFormedRunDrawsExactlyAsAPlainReadOfItsFiles) {
    Fitter(true, true);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    commands.Execute(ID_RUN_EDITED_FIT);
    // The same files read with the fit-run counter set, as zelk-render
    // --fit-runs does.
    auto plain = std::make_unique<PlotState>();
    *plain = *state;
    plain->resultCurrent = true;
    plain->epsCurrent = true;
    plain->fitRunning = false;
    plain->result = CurveSet{};
    ReadCurveFiles(*plain, host);
    EXPECT_EQ(Drawn(*state), Drawn(*plain));
}

TEST_F(HonestResultsTest, ReloadShowsWhatTheFilesHoldNow) {
    Fitter(false, false);
    commands.Execute(ID_RUN_PLACEHOLDER_FIT);
    EXPECT_EQ(FittedCurvePens(Drawn(*state)), 0);
    // The user brings a result back by hand and reloads.
    WriteText("result.dat", kResultText);
    WriteText("EPS.res", "0.125\n");
    commands.Execute(ID_RELOAD);
    const std::string drawn = Drawn(*state);
    EXPECT_GT(FittedCurvePens(drawn), 0);
    EXPECT_TRUE(HasText(drawn, " EPS =   0.1250000"));
}

}  // namespace
}  // namespace zelk::testing
