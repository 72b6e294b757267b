#pragma once
// How a program is run and waited for, and how it ended. Shared by the
// platform layer (which starts it), the commands (which decide what the end
// means for the user's files) and every Host (which shows it).

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace zelk {

// How a started program ended.
struct ProgramEnd {
    enum class How {
        Exited,      // code is the exit status
        Signalled,   // code is the signal number (POSIX only)
        Stopped,     // ended on a stop request (Stop, Escape, a time limit, a signal to Zelk)
        NotStarted,  // code is the system's error (errno, GetLastError)
    };
    How how = How::NotStarted;
    int code = -1;
    // NotStarted: why, in words ("not executable (no permission)", "not a
    // program: a script needs a #! line"); Signalled: the signal's name.
    std::string reason;
    double seconds = 0.0;  // wall time from start to end
};

// What a run does while it waits.
struct RunHooks {
    // The program's standard output and standard error, one pipe, each chunk
    // as it arrives. Empty: the output is read and dropped.
    std::function<void(std::string_view)> onOutput;
    // Polled between waits; true asks for a stop: the program's whole process
    // group (job object on Windows) is terminated, then killed after grace.
    std::function<bool()> stopRequested;
    // Called now and then while the program runs (the GUI repaints there).
    std::function<void()> whileWaiting;
    std::chrono::milliseconds grace{3000};
};

}  // namespace zelk
