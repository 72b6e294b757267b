// The platform layer on Linux and other POSIX systems.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/PathRules.h"
#include "platform/Platform.h"

extern char** environ;

namespace zelk::platform {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (a write error can
    // surface only here).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The full path of a program named without a slash, found on PATH; the name
// unchanged when it is not found there.
std::string FindOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return name;
    }
    std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = rules::JoinPosix(dir.empty() ? "." : dir, name);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return name;
}

// The path a program is started from. A relative name that begins with "-"
// would reach a script's interpreter as an option ("/bin/sh -dash.sh"), so it
// is started as "./-name"; the argument vector is not touched.
std::string ExecPath(const std::string& program) {
    if (!program.empty() && program.front() == '-') {
        return "./" + program;
    }
    return program;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);  // as a shell reports it
    }
    return -1;
}

// Why program cannot be started, in words, found before starting it: a
// missing file, a folder, no execute permission, or a text file without a
// "#!" line (which posix_spawn may report only through the child). Empty when
// nothing speaks against starting it.
std::string CheckStartable(const std::string& path, int& error) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        error = path.empty() ? ENOENT : errno;
        return error == ENOENT || error == ENOTDIR ? "not found" : std::strerror(error);
    }
    if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return "not a program: a folder";
    }
    if (::access(path.c_str(), X_OK) != 0) {
        error = errno;
        return error == EACCES ? "not executable (no permission)" : std::strerror(error);
    }
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return {};  // execute-only: let the system decide
    }
    char head[256];
    ssize_t n = 0;
    do {
        n = ::read(file.get(), head, sizeof head);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return {};
    }
    const std::string_view start(head, static_cast<std::size_t>(n));
    const bool script = start.substr(0, 2) == "#!";
    const bool binary = start.find('\0') != std::string_view::npos || start.substr(0, 4) ==
                                                                          "\x7f"
                                                                          "ELF";
    if (!script && !binary) {
        // Text (or nothing) without "#!": the system cannot run it, and a
        // shell would have to guess what it is.
        error = ENOEXEC;
        return "not a program: a script needs a #! line";
    }
    return {};
}

// The reason for an error that posix_spawn itself reported.
std::string SpawnFailure(const std::string& path, int error) {
    switch (error) {
        case EACCES:
            return "not executable (no permission)";
        case ENOEXEC:
            return "not a program: a script needs a #! line";
        case ENOENT: {
            // The file was there a moment ago: a script's interpreter is missing.
            std::string line;
            Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
            char head[256];
            const ssize_t n = file.get() < 0 ? -1 : ::read(file.get(), head, sizeof head);
            if (n > 2 && head[0] == '#' && head[1] == '!') {
                line.assign(head + 2, static_cast<std::size_t>(n) - 2);
                line = line.substr(0, line.find_first_of("\r\n"));
                const std::size_t first = line.find_first_not_of(" \t");
                line = first == std::string::npos ? std::string() : line.substr(first);
                return "the interpreter of its #! line was not found: " +
                       line.substr(0, line.find_first_of(" \t"));
            }
            return "not found";
        }
        default:
            return std::strerror(error);
    }
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Waits for the pipe for at most timeout, then hands everything it holds to
// onOutput, up to a bound so that stop requests are still seen while a
// program floods. False once every writer has closed the pipe.
bool PumpOutput(int fd, std::vector<char>& buffer, int timeoutMs,
                const std::function<void(std::string_view)>& onOutput) {
    pollfd watched{fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, timeoutMs);
    if (ready <= 0) {
        return true;  // nothing yet, or interrupted
    }
    constexpr std::size_t kBound = 16u << 20;
    std::size_t taken = 0;
    while (taken < kBound) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            if (onOutput) {
                onOutput(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
            }
            continue;
        }
        if (n == 0) {
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    return true;
}

// True when the program with this pid has ended (it is then a zombie, not yet
// reaped, so its process group id cannot be reused meanwhile).
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        info.si_pid = 0;
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
            return info.si_pid == pid;
        }
        if (errno != EINTR) {
            return true;  // cannot be waited for: treat as ended
        }
    }
}

}  // namespace

std::string CurrentDirectory() {
    // No fixed limit: the buffer grows until the whole path fits.
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool SetCurrentDirectory(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

std::string WindowsDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return CurrentDirectory();
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return ParentFolder(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramFile(const std::string& program) {
    return program;
}

std::filesystem::path FsPath(const std::string& name) {
    return std::filesystem::path(name);
}

bool CopyFile(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    // Written beside the target and renamed over it: the target is replaced
    // whole or not at all, and copying a file onto itself loses nothing.
    std::string temp = to + ".zelk-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return false;
    }
    bool ok = true;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(out.get(), chunk, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ok = ::fchmod(out.get(), info.st_mode & 07777) == 0 && ok;
    ok = out.Close() && ok;
    ok = ok && ::rename(temp.c_str(), to.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A fresh name beside the target, created exclusively: nothing planted
    // there is followed or reused. Mode 0666 less the umask, as any new file.
    static unsigned counter = 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".zelk-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    Fd out(fd);
    if (out.get() < 0) {
        return false;
    }
    bool ok = WriteAll(out.get(), bytes.data(), bytes.size());
    if (ok && replacing) {
        ok = ::fchmod(out.get(), existing.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(out.get()) == 0;
    ok = out.Close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

FileLock::FileLock(const std::string& path)
    : path_(IsAbsolutePath(path) ? path : JoinPath(CurrentDirectory(), path)) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                state_ = State::Busy;
            }
            return;
        }
        // The holder before us removes the file as it lets go; a lock on a
        // file that no longer has this name would lock nothing.
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::stat(path_.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            handle_ = fd;
            state_ = State::Held;
            return;
        }
        ::close(fd);
    }
}

FileLock::~FileLock() {
    if (state_ == State::Held) {
        ::unlink(path_.c_str());
        ::close(static_cast<int>(handle_));
    }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return rules::JoinPosix(dir, name);
}

bool IsAbsolutePath(const std::string& name) {
    return rules::IsAbsolutePosix(name);
}

Launch EditorLaunch(const std::string& windowsDir, const std::string& filePath) {
    const char* custom = std::getenv("ZELK_EDITOR");
    std::vector<std::string> words = rules::SplitOnBlanks(custom != nullptr ? custom : "");
    if (!words.empty()) {
        // A user's editor command: found on PATH like a shell would, with the
        // file path as its last argument.
        Launch launch;
        launch.program = FindOnPath(words.front());
        launch.argv = std::move(words);
        launch.argv.push_back(filePath);
        return launch;
    }
    // The bundled editor beside the program, or else wherever PATH has it.
    std::string bundled = rules::JoinPosix(windowsDir, "zelk-notepad");
    if (!IsExecutableFile(bundled)) {
        const std::string onPath = FindOnPath("zelk-notepad");
        if (IsExecutableFile(onPath)) {
            bundled = onPath;
        }
    }
    return {bundled, {filePath, filePath}};
}

int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                  const std::function<void()>& whileWaiting) {
    // Checked first so that a program that is missing or not executable is -1
    // on every C library, never an exit code of a child that failed to exec.
    if (!IsExecutableFile(program)) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    // posix_spawn, not posix_spawnp: the program is taken as named, relative
    // to the current directory, never looked up on PATH.
    // The program starts with default signal handling and nothing blocked,
    // whatever the GUI has set up for itself.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    ::posix_spawnattr_setsigdefault(&attributes, &signals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const std::string path = ExecPath(program);
    const int spawned =
        ::posix_spawn(&pid, path.c_str(), nullptr, &attributes, args.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, whileWaiting ? WNOHANG : 0);
        if (done == pid) {
            return ExitCodeOf(status);
        }
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;  // reaped elsewhere; the exit code is lost
        }
        whileWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ProgramEnd RunProgram(const std::string& program, const std::vector<std::string>& argv,
                      const RunHooks& hooks) {
    const Clock::time_point start = Clock::now();
    ProgramEnd end;
    const std::string path = ExecPath(program);
    int error = 0;
    end.reason = CheckStartable(path, error);
    if (!end.reason.empty()) {
        end.how = ProgramEnd::How::NotStarted;
        end.code = error;
        return end;
    }

    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        end.code = errno;
        end.reason = std::strerror(end.code);
        return end;
    }
    Fd output(pipeEnds[0]);
    Fd input(pipeEnds[1]);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    // Standard input from the null device, standard output and error on the
    // one pipe (dup2 clears close-on-exec on the copies).
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, input.get(), 1);
    ::posix_spawn_file_actions_adddup2(&actions, input.get(), 2);
    // Its own process group, so a stop reaches whatever it started too;
    // default signal handling and nothing blocked, whatever Zelk set up.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signals;
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    ::posix_spawnattr_setsigdefault(&attributes, &signals);
    ::posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, path.c_str(), &actions, &attributes, args.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    input.Close();
    if (spawned != 0) {
        end.code = spawned;
        end.reason = SpawnFailure(path, spawned);
        return end;
    }
    ::fcntl(output.get(), F_SETFL, ::fcntl(output.get(), F_GETFL) | O_NONBLOCK);

    std::vector<char> buffer(1u << 20);
    bool pipeOpen = true;
    bool stopping = false;
    bool killed = false;
    Clock::time_point stopAt{};
    Clock::time_point lastWhileWaiting = start;
    const auto tick = std::chrono::milliseconds(20);
    const auto maybeWhileWaiting = [&](bool now) {
        if (hooks.whileWaiting && (now || Clock::now() - lastWhileWaiting >= tick)) {
            hooks.whileWaiting();
            lastWhileWaiting = Clock::now();
        }
    };
    const auto checkStop = [&] {
        if (!stopping && hooks.stopRequested && hooks.stopRequested()) {
            stopping = true;
            stopAt = Clock::now();
            ::killpg(pid, SIGTERM);
        }
        if (stopping && !killed && Clock::now() - stopAt >= hooks.grace) {
            killed = true;
            ::killpg(pid, SIGKILL);
        }
    };

    // A program's output usually closes a moment before the program has
    // ended: the first looks after that come soon, then less often, up to the
    // tick, for a program that closed its output and goes on working.
    auto idle = std::chrono::milliseconds(1);
    while (!HasEnded(pid)) {
        if (pipeOpen) {
            pipeOpen =
                PumpOutput(output.get(), buffer, static_cast<int>(tick.count()), hooks.onOutput);
        } else {
            std::this_thread::sleep_for(idle);
            idle = std::min(idle * 2, tick);
        }
        maybeWhileWaiting(false);
        checkStop();
    }

    // The program has ended. What it wrote before is still in the pipe; what
    // it started and left running belongs to the run too and is ended now, so
    // that nothing keeps the pipe open or goes on computing unseen.
    if (pipeOpen) {
        pipeOpen = PumpOutput(output.get(), buffer, 0, hooks.onOutput);
    }
    if (!killed) {
        ::killpg(pid, SIGTERM);
    }
    const Clock::time_point leaderEnd = Clock::now();
    while (pipeOpen && !killed && Clock::now() - leaderEnd < hooks.grace) {
        pipeOpen = PumpOutput(output.get(), buffer, static_cast<int>(tick.count()), hooks.onOutput);
        maybeWhileWaiting(false);
        checkStop();
    }
    ::killpg(pid, SIGKILL);
    // A process that left the group may still hold the pipe: read what comes
    // for a moment, then stop listening.
    const Clock::time_point killedAt = Clock::now();
    while (pipeOpen && Clock::now() - killedAt < std::chrono::milliseconds(500)) {
        pipeOpen = PumpOutput(output.get(), buffer, static_cast<int>(tick.count()), hooks.onOutput);
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    end.seconds = SecondsSince(start);
    if (WIFSIGNALED(status)) {
        end.how = ProgramEnd::How::Signalled;
        end.code = WTERMSIG(status);
        const char* name = ::strsignal(end.code);
        end.reason = name != nullptr ? name : "signal " + std::to_string(end.code);
    } else {
        end.how = ProgramEnd::How::Exited;
        end.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (stopping) {
        end.how = ProgramEnd::How::Stopped;
        end.reason = "stopped";
    }
    maybeWhileWaiting(true);
    return end;
}

void PrepareToWrite(void* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    if (data == nullptr || size == 0) {
        return;
    }
    // Whole pages: those holding the first and the last byte are mapped, so
    // the widened range lies within the mapping.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size + page - 1) & ~(page - 1);
    // Older kernels answer EINVAL; the pages then come one by one as before.
    (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)data, (void)size;
#endif
}

}  // namespace zelk::platform
