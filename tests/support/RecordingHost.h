#pragma once
// A Host for tests: records every message, redraw, launch and dialog, and turns
// the fatal path into a FatalError exception so that nothing exits.

#include <functional>
#include <string>
#include <vector>

#include "plot/Host.h"

namespace zelk::testing {

class RecordingHost : public Host {
  public:
    struct LaunchRecord {
        std::string program;
        std::vector<std::string> argv;
        std::string waitingFor;
    };

    std::vector<std::string> messages;
    std::vector<std::string> notices;
    std::vector<std::string> questions;
    std::vector<LaunchRecord> launches;
    std::vector<FitRunOutcome> fitRuns;  // every FitRunFinished, in order
    int redraws = 0;
    int fatals = 0;
    int dialogs = 0;

    // What a launch does; by default nothing, exit code 0. Tests plug in a
    // fake editor or the real platform launcher here.
    std::function<int(const LaunchRecord&)> onLaunch;

    // What a fit run does. Unset: the fit run goes through LaunchAndWait (and
    // onLaunch) as the Host's default does. Set: the launch is recorded and
    // this decides how the program ended (tests plug in platform::RunProgram
    // or a made-up end here).
    std::function<ProgramEnd(const LaunchRecord&)> onFitRun;
    // The answer to a yes/no question; by default No.
    std::function<bool(const std::string&)> onQuestion;

    // What the new-model dialog does with its data; by default OK unchanged.
    std::function<bool(NewModelDlgData&)> onDialog;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }

    [[noreturn]] void Fatal(const std::string& text) override {
        ++fatals;
        messages.push_back(text);
        throw FatalError(text);
    }

    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return onQuestion ? onQuestion(text) : false;
    }

    void Redraw() override { ++redraws; }

    int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                      const std::string& waitingFor) override {
        launches.push_back({program, argv, waitingFor});
        return onLaunch ? onLaunch(launches.back()) : 0;
    }

    ProgramEnd RunFitProgram(const std::string& program,
                             const std::vector<std::string>& argv) override {
        if (!onFitRun) {
            return Host::RunFitProgram(program, argv);
        }
        launches.push_back({program, argv, "Waiting for the fitting program: " + program});
        return onFitRun(launches.back());
    }

    void FitRunFinished(const FitRunOutcome& outcome) override { fitRuns.push_back(outcome); }

    bool RunNewModelDialog(NewModelDlgData& data) override {
        ++dialogs;
        return onDialog ? onDialog(data) : true;
    }
};

}  // namespace zelk::testing
