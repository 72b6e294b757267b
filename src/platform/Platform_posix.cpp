// The platform layer on Linux and other POSIX systems.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);  // as a shell reports it
    }
    return -1;
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
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), nullptr, &attributes, args.data(), environ);
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

}  // namespace zelk::platform
