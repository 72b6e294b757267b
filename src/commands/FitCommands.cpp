// The two fit runs: the fitting program on a placeholder FIT.INP, and on the
// FIT.INP the user has just edited.
//
// Both take one path: the folder's fit lock, the existence checks, the refusal
// of a result name that is one of the task's own files, the run through the
// Host, and an honest account of what the run left behind. In the placeholder
// run the user's FIT.INP is held in memory from the backup until the restore,
// and the restore puts back exactly those bytes, whatever the fitting program
// did to FIT.INP or BUFF.RES meanwhile.

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "commands/Placeholder.h"
#include "commands/TaskCommands.h"
#include "platform/InputFile.h"
#include "platform/Platform.h"
#include "plot/Readers.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFitInput = "FIT.INP";
constexpr const char* kFitInputBackup = "BUFF.RES";
constexpr const char* kTaskFile = "START_A.INP";
constexpr const char* kEpsFile = "EPS.res";

// A FIT.INP is a short parameter file; anything near this size is not one,
// and holding it in memory for the run would be unreasonable.
constexpr std::uintmax_t kMaxFitInputSize = 64u << 20;

bool IsRegularFile(const std::string& name) {
    std::error_code error;
    return !name.empty() && fs::is_regular_file(platform::FsPath(name), error);
}

bool IsLink(const std::string& name) {
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(platform::FsPath(name), error));
}

// Anything at all under that name, a dangling link included.
bool NameTaken(const std::string& name) {
    std::error_code error;
    return fs::symlink_status(platform::FsPath(name), error).type() != fs::file_type::not_found;
}

// The whole of a regular file, or nothing when it cannot be read in full.
std::optional<std::string> ReadWhole(const std::string& name) {
    std::ifstream in(platform::FsPath(name), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// What a file looked like before a run, to tell afterwards whether the run
// wrote it: size and time of the last change, and the content of a small
// file for file systems whose clocks are coarse.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t time = 0;
    std::optional<std::string> bytes;
};

FileStamp StampOf(const std::string& name) {
    FileStamp stamp;
    std::error_code error;
    if (!IsRegularFile(name)) {
        return stamp;
    }
    stamp.exists = true;
    stamp.size = fs::file_size(platform::FsPath(name), error);
    // The platform's own time of the last change: the C++ library of MinGW
    // keeps it to whole seconds only, so a run that rewrote a file with the
    // same bytes within a second would look as if it had not written it.
    platform::InputFile file;
    if (file.Open(name) == platform::OpenError::None) {
        stamp.time = file.Stamp().modified;
    }
    if (stamp.size <= (1u << 20)) {
        stamp.bytes = ReadWhole(name);
    }
    return stamp;
}

bool WrittenSince(const FileStamp& before, const std::string& name) {
    const FileStamp after = StampOf(name);
    if (!after.exists) {
        return false;
    }
    return !before.exists || after.size != before.size || after.time != before.time ||
           after.bytes != before.bytes;
}

// Whether two names lead to one file: the same file (hard links and
// symbolic links included) when both exist, else the same resolved path.
bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code error;
    const fs::path pathA = platform::FsPath(a);
    const fs::path pathB = platform::FsPath(b);
    if (fs::exists(pathA, error) && fs::exists(pathB, error)) {
        const bool same = fs::equivalent(pathA, pathB, error);
        if (!error) {
            return same;
        }
    }
    const fs::path left = fs::weakly_canonical(fs::absolute(pathA, error), error);
    const fs::path right = fs::weakly_canonical(fs::absolute(pathB, error), error);
    return !left.empty() && left == right;
}

// A role message with the file's real name on its second line.
std::string Named(const std::string& text, const std::string& name) {
    return name.empty() ? text : text + "\n" + name;
}

ProgramEnd NotStarted(std::string reason) {
    ProgramEnd end;
    end.how = ProgramEnd::How::NotStarted;
    end.reason = std::move(reason);
    return end;
}

// The user's FIT.INP while the placeholder stands in for it. Once the
// placeholder is in place, the restore runs however the command is left.
class HeldFitInput {
  public:
    HeldFitInput() = default;
    HeldFitInput(const HeldFitInput&) = delete;
    HeldFitInput& operator=(const HeldFitInput&) = delete;
    ~HeldFitInput() { Restore(); }

    std::optional<std::string> bytes;  // nothing: there was no FIT.INP

    // The placeholder replaces FIT.INP; false when it could not be written
    // (FIT.INP is then as it was).
    bool PutPlaceholder() {
        placed_ = platform::WriteFileAtomically(kFitInput, PlaceholderBytes());
        return placed_;
    }

    // Exactly the held bytes back into FIT.INP; without a FIT.INP before the
    // run, none after it. True when FIT.INP is as it was before the run.
    bool Restore() {
        if (!placed_) {
            return true;
        }
        placed_ = false;
        if (!bytes) {
            return platform::DeleteFile(kFitInput) || !NameTaken(kFitInput);
        }
        return platform::WriteFileAtomically(kFitInput, *bytes);
    }

  private:
    bool placed_ = false;
};

}  // namespace

std::string ProgramEndText(const ProgramEnd& end) {
    switch (end.how) {
        case ProgramEnd::How::Exited: {
            char seconds[32];
            const auto done = std::to_chars(seconds, seconds + sizeof seconds, end.seconds,
                                            std::chars_format::fixed, 1);
            return "ended with exit status " + std::to_string(end.code) + " after " +
                   std::string(seconds, done.ptr) + " s";
        }
        case ProgramEnd::How::Signalled:
            return "ended by signal " + std::to_string(end.code) +
                   (end.reason.empty() ? std::string() : " (" + end.reason + ")");
        case ProgramEnd::How::Stopped:
            return "stopped";
        case ProgramEnd::How::NotStarted:
            break;
    }
    return "could not start" + (end.reason.empty() ? std::string() : ": " + end.reason);
}

// Marks the plot state while a fit command runs: the drawing pass then shows
// what was there before the run, however the command is left.
class TaskCommands::FitRunScope {
  public:
    explicit FitRunScope(PlotState& state) : state_(state) {
        ++state_.fitRunCount;
        state_.fitRunning = true;
    }
    ~FitRunScope() { state_.fitRunning = false; }
    FitRunScope(const FitRunScope&) = delete;
    FitRunScope& operator=(const FitRunScope&) = delete;

  private:
    PlotState& state_;
};

std::string TaskCommands::OwnFileNamedAsResult() const {
    struct OwnFile {
        std::string name;
        const char* role;
    };
    const OwnFile own[] = {
        {kTaskFile, "the task file"},
        {kFitInput, "the fit input"},
        {kFitInputBackup, "the backup of the fit input"},
        {state_.modelFile, "the model file"},
        {state_.expFile, "the experimental file"},
        {state_.optFile, "the options file"},
        {state_.axisFile, "the axis file"},
        {state_.fitProgram, "the fitting program"},
    };
    for (const OwnFile& file : own) {
        if (SameFile(state_.resFile, file.name)) {
            return std::string(file.role) + " " + file.name;
        }
    }
    return {};
}

bool TaskCommands::RefuseOwnFileAsResult() {
    const std::string own = OwnFileNamedAsResult();
    if (own.empty()) {
        return false;
    }
    RefuseFitRun("THE RESULT FILE IS ONE OF THE TASK'S OWN FILES: " + state_.resFile + "\nIt is " +
                 own +
                 ", and a fit run deletes its result file before it starts. Nothing was deleted "
                 "and the fitting program was not started; name another result file in " +
                 kTaskFile + ".");
    return true;
}

void TaskCommands::RefuseFitRun(const std::string& text) {
    host_.ShowMessage(text);
    // Nothing of this command is a result, and nothing from before it may
    // pass for one.
    state_.resultCurrent = false;
    state_.epsCurrent = false;
    Host::FitRunOutcome outcome;
    outcome.end = NotStarted(text.substr(0, text.find('\n')));
    host_.FitRunFinished(outcome);
    state_.fitRunning = false;
    host_.Redraw();
}

bool TaskCommands::CheckFitProgramAndModel() {
    // On Windows "fit" names fit.exe when there is no file "fit", as for the
    // launcher: such a program is found and started.
    const bool programFound = CheckExists(platform::ProgramFile(state_.fitProgram),
                                          Named("CAN NOT FIND *.exe file", state_.fitProgram));
    CheckExists(state_.modelFile, Named("CAN NOT FIND MODEL file", state_.modelFile));
    return programFound;
}

ProgramEnd TaskCommands::StartFitProgram() {
    // Taken as named: a relative name from the current directory, never from
    // the search path; the program's own name is its only argument.
    const std::string program = state_.fitProgram;
    return host_.RunFitProgram(program, {program});
}

void TaskCommands::ReportStartFailure(const ProgramEnd& end) {
    if (end.how == ProgramEnd::How::NotStarted) {
        host_.ShowMessage(
            Named("CAN NOT START THE FITTING PROGRAM: " + state_.fitProgram, end.reason));
    }
}

void TaskCommands::FinishFitRun(const ProgramEnd& end, bool resultWritten, bool epsWritten) {
    CheckExists(state_.resFile, Named("CAN NOT FIND fileRES", state_.resFile));
    Host::FitRunOutcome outcome;
    outcome.end = end;
    outcome.resultWritten = resultWritten;
    outcome.epsWritten = epsWritten;
    host_.FitRunFinished(outcome);
    state_.resultCurrent = resultWritten;
    state_.epsCurrent = epsWritten;
    state_.fitRunning = false;
    ReadCurveFilesAndEps();
}

namespace {

// The user's input that an interrupted placeholder run left in BUFF.RES:
// only such a run leaves FIT.INP holding the placeholder while BUFF.RES holds
// something else. Nothing when the folder shows no such run.
std::optional<std::string> InputOfAnInterruptedRun() {
    if (IsLink(kFitInput) || !IsRegularFile(kFitInput) || !IsRegularFile(kFitInputBackup)) {
        return std::nullopt;
    }
    const std::optional<std::string> current = ReadWhole(kFitInput);
    if (!current || !IsPlaceholder(*current)) {
        return std::nullopt;
    }
    std::optional<std::string> backup = ReadWhole(kFitInputBackup);
    if (!backup || *backup == *current) {
        return std::nullopt;
    }
    return backup;
}

}  // namespace

bool TaskCommands::RecoverInterruptedFitRun() {
    // Looked at first without the lock, so that an ordinary task load leaves
    // the folder untouched.
    if (!InputOfAnInterruptedRun()) {
        return false;
    }
    platform::FileLock lock(kFitLockFile);
    if (lock.state() == platform::FileLock::State::Busy) {
        // A run in another process has the placeholder in FIT.INP right now.
        return false;
    }
    return RecoverInterruptedFitRunLocked();
}

bool TaskCommands::RecoverInterruptedFitRunLocked() {
    const std::optional<std::string> input = InputOfAnInterruptedRun();
    if (!input) {
        return false;
    }
    if (!platform::WriteFileAtomically(kFitInput, *input)) {
        host_.ShowMessage(
            "CAN NOT RESTORE FILE: FIT.INP\nAn earlier placeholder run was interrupted and left "
            "the placeholder in FIT.INP; your input is kept in BUFF.RES.");
        return false;
    }
    host_.ShowMessage(
        "FIT.INP RESTORED FROM BUFF.RES\nAn earlier placeholder run was interrupted and left the "
        "placeholder in FIT.INP; your input has been put back from BUFF.RES.");
    return true;
}

void TaskCommands::RunPlaceholderFit() {
    FitRunScope scope(state_);
    std::optional<platform::FileLock> lock(std::in_place, kFitLockFile);
    if (lock->state() == platform::FileLock::State::Busy) {
        RefuseFitRun(kFitAlreadyRunning);
        return;
    }
    RecoverInterruptedFitRunLocked();
    const bool programFound = CheckFitProgramAndModel();
    if (RefuseOwnFileAsResult()) {
        return;
    }
    if (!programFound) {
        // Nothing to run: nothing is deleted, written or started.
        lock.reset();
        FinishFitRun(NotStarted("not found"), false, false);
        return;
    }

    // The link's target would receive the placeholder, and it may be a file
    // that others share: the link is kept and the run does not start.
    if (IsLink(kFitInput)) {
        std::error_code error;
        const std::string target = fs::read_symlink(kFitInput, error).string();
        RefuseFitRun(
            "CAN NOT WRITE FILE: FIT.INP - the fitting program was not started\nFIT.INP is a "
            "link to " +
            target +
            "; the placeholder would be written into that file. Run the fit with the second "
            "button, or put a copy in place of the link.");
        return;
    }

    HeldFitInput held;
    if (NameTaken(kFitInput)) {
        std::error_code error;
        const bool regular = IsRegularFile(kFitInput);
        const std::uintmax_t size = regular ? fs::file_size(kFitInput, error) : 0;
        if (regular && size <= kMaxFitInputSize) {
            held.bytes = ReadWhole(kFitInput);
        }
        if (!held.bytes) {
            RefuseFitRun(
                "CAN NOT WRITE FILE: FIT.INP - the fitting program was not started\nFIT.INP is "
                "not a text file that can be read and kept during the run.");
            return;
        }
    }
    // The backup on disk keeps the input should Zelk itself be killed during
    // the run. The placeholder is never backed up: it would replace the one
    // copy of an input that an interrupted run left in BUFF.RES.
    if (held.bytes && !IsPlaceholder(*held.bytes)) {
        std::error_code error;
        const fs::perms perms = fs::status(kFitInputBackup, error).permissions();
        const bool readOnly =
            IsRegularFile(kFitInputBackup) && (perms & fs::perms::owner_write) == fs::perms::none;
        if (readOnly) {
            RefuseFitRun(
                "CAN NOT WRITE FILE: BUFF.RES - the fitting program was not started\nBUFF.RES is "
                "read-only; the placeholder run keeps a copy of FIT.INP there.");
            return;
        }
        if (!platform::WriteFileAtomically(kFitInputBackup, *held.bytes) ||
            ReadWhole(kFitInputBackup) != held.bytes) {
            RefuseFitRun("CAN NOT WRITE FILE: BUFF.RES - the fitting program was not started");
            return;
        }
    }
    if (!held.PutPlaceholder()) {
        RefuseFitRun("CAN NOT WRITE FILE: FIT.INP - the fitting program was not started");
        return;
    }

    // A result left by an earlier run must not pass for this run's result.
    platform::DeleteFile(state_.resFile);
    const FileStamp resultBefore = StampOf(state_.resFile);
    const FileStamp epsBefore = StampOf(kEpsFile);
    const ProgramEnd end = StartFitProgram();
    const bool restored = held.Restore();
    lock.reset();
    if (!restored) {
        const bool kept = held.bytes && ReadWhole(kFitInputBackup) == held.bytes;
        host_.ShowMessage(kept ? "CAN NOT RESTORE FILE: FIT.INP - your input is kept in BUFF.RES"
                               : "CAN NOT RESTORE FILE: FIT.INP");
    }
    ReportStartFailure(end);
    FinishFitRun(end, WrittenSince(resultBefore, state_.resFile),
                 WrittenSince(epsBefore, kEpsFile));
}

void TaskCommands::RunEditedFit() {
    FitRunScope scope(state_);
    EditInNotepad(kFitInput, "CAN NOT FIND FILE: FIT.INP");
    RunFitOnInputAsItIs();
}

void TaskCommands::RunFitAsIs() {
    FitRunScope scope(state_);
    CheckExists(kFitInput, "CAN NOT FIND FILE: FIT.INP");
    RunFitOnInputAsItIs();
}

void TaskCommands::RunFitOnInputAsItIs() {
    std::optional<platform::FileLock> lock(std::in_place, kFitLockFile);
    if (lock->state() == platform::FileLock::State::Busy) {
        RefuseFitRun(kFitAlreadyRunning);
        return;
    }
    const bool programFound = CheckFitProgramAndModel();
    if (RefuseOwnFileAsResult()) {
        return;
    }
    if (!programFound) {
        lock.reset();
        FinishFitRun(NotStarted("not found"), false, false);
        return;
    }
    platform::DeleteFile(state_.resFile);
    const FileStamp resultBefore = StampOf(state_.resFile);
    const FileStamp epsBefore = StampOf(kEpsFile);
    const ProgramEnd end = StartFitProgram();
    lock.reset();
    ReportStartFailure(end);
    FinishFitRun(end, WrittenSince(resultBefore, state_.resFile),
                 WrittenSince(epsBefore, kEpsFile));
}

}  // namespace zelk
