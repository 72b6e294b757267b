#pragma once
// The seam between the readers and commands and the outside world: message
// boxes, the one fatal error, redraw requests, launching a program and the
// new-model dialog. The GUI implements it with Qt; tests and zelk-render
// implement it without a window and without ever ending the process.

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ProgramRun.h"

namespace zelk {

inline constexpr const char* kInvalidParametersFile = "Invalid parameters file";

// The data of the new-model dialog, kept by the view between uses.
struct NewModelDlgData {
    int continueWithFile = 0;  // 1 when the box is marked
    std::string newModelName;
};

// What a Host other than the GUI's throws from Fatal(): the process must not
// end in tests, yet no step after the fatal error may run.
class FatalError : public std::runtime_error {
  public:
    explicit FatalError(const std::string& text) : std::runtime_error(text) {}
};

class Host {
  public:
    virtual ~Host() = default;

    // A modal box with the application title as caption and one OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // A note that must not interrupt the user (a warning about a file that
    // was drawn anyway, a live reload that failed): the status bar or the
    // fit-run panel in the GUI, standard error elsewhere.
    virtual void ShowNotice(const std::string& text) { (void)text; }

    // A yes/no question in a modal box with the application title as caption
    // and No as the default button; true for Yes. A host with no one to ask
    // answers No.
    virtual bool AskYesNo(const std::string& text) {
        (void)text;
        return false;
    }

    // Shows text (its first line always "Invalid parameters file", then the
    // file and what was missing) and, once it is closed, ends the process with
    // exit status 1. Never returns: the GUI exits, other hosts throw
    // FatalError.
    [[noreturn]] virtual void Fatal(const std::string& text) = 0;

    // Invalidate the whole view with erase; the next paint redraws everything.
    virtual void Redraw() = 0;

    // Starts program with the argument vector argv (argv[0] included, passed
    // as given) and waits for it to end. waitingFor says, for the status bar,
    // what the user is waiting for. Returns the exit code, or -1 when the
    // program could not be started.
    virtual int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                              const std::string& waitingFor) = 0;

    // The fit run: starts the fitting program (argv[0] included) in the
    // current directory and waits for it. The host shows its output as it
    // arrives and may stop it (Stop, Escape, a time limit, a signal to Zelk).
    // The default goes through LaunchAndWait and knows only exit codes.
    virtual ProgramEnd RunFitProgram(const std::string& program,
                                     const std::vector<std::string>& argv) {
        const int code =
            LaunchAndWait(program, argv, "Waiting for the fitting program: " + program);
        ProgramEnd end;
        end.how = code == -1 ? ProgramEnd::How::NotStarted : ProgramEnd::How::Exited;
        end.code = code;
        return end;
    }

    // A fit run is over: the program's end and whether it left this run's
    // result file and EPS.res. Comes after the run's messages and before the
    // redraw; the GUI brings its fit-run panel to the front when no result
    // was left.
    struct FitRunOutcome {
        ProgramEnd end;
        bool resultWritten = false;
        bool epsWritten = false;
    };
    virtual void FitRunFinished(const FitRunOutcome& outcome) { (void)outcome; }

    // Shows the new-model dialog filled from data. On OK or Enter the controls
    // are taken back into data and true is returned; Escape or the close box
    // leave data as it was and return false.
    virtual bool RunNewModelDialog(NewModelDlgData& data) = 0;
};

}  // namespace zelk
