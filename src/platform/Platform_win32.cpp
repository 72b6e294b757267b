// The platform layer on Windows: the wide-character services, with UTF-8 text
// on the side of the rest of the system.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// windows.h maps these names to their A/W variants; ours are plain functions.
#undef CopyFile
#undef DeleteFile
#undef SetCurrentDirectory
#undef TextOut

#include <algorithm>
#include <chrono>
#include <string_view>
#include <thread>

#include "platform/PathRules.h"
#include "platform/Platform.h"
#include "platform/WideText_win32.h"

namespace zelk::platform {

namespace {

using win32::ApiPath;
using win32::SystemMessage;
using win32::Utf8;
using win32::Wide;

// Calls a "fill this buffer or tell me the size you need" service until the
// whole text fits: no fixed limit on the length of a directory.
template <typename Fill>
std::string GrowingBuffer(Fill fill) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = fill(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return Utf8(buffer);
        }
        buffer.resize(n + 1);
    }
}

bool HasExtension(const std::string& program) {
    const std::size_t dot = program.rfind('.');
    const std::size_t separator = program.find_last_of("\\/");
    return dot != std::string::npos && (separator == std::string::npos || dot > separator);
}

// The process handle, or nullptr with the reason in error.
HANDLE StartProcess(const std::string& program, const std::vector<std::string>& argv,
                    DWORD& error) {
    std::wstring commandLine = Wide(rules::BuildWindowsCommandLine(argv));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // With the program given by name, the search path is never consulted: a
    // relative name is taken from the current directory.
    if (!::CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &info)) {
        error = ::GetLastError();
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    return info.hProcess;
}

// Closes a handle when it goes out of scope.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    void Close() {
        if (handle_ != nullptr) {
            ::CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

  private:
    HANDLE handle_ = nullptr;
};

// Why a program could not be started, in words, from the system's error.
std::string StartFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return "not found";
        case ERROR_ACCESS_DENIED:
            return "not executable (no permission)";
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_BAD_FORMAT:
        case ERROR_EXE_MARKED_INVALID:
            return "not a program: not a Windows executable";
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
            return "not a program for this processor";
        default:
            break;
    }
    return SystemMessage(error);
}

// Starts program suspended with the given standard handles as the only
// handles it inherits and no console window. The process and thread handles,
// or false with the reason in error.
bool StartCaptured(const std::string& program, const std::vector<std::string>& argv, HANDLE input,
                   HANDLE output, PROCESS_INFORMATION& info, DWORD& error) {
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &listSize)) {
        error = ::GetLastError();
        return false;
    }
    HANDLE inherited[2] = {input, output};
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     sizeof inherited, nullptr, nullptr)) {
        error = ::GetLastError();
        ::DeleteProcThreadAttributeList(list);
        return false;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = list;
    std::wstring commandLine = Wide(rules::BuildWindowsCommandLine(argv));
    const BOOL started =
        ::CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT,
                         nullptr, nullptr, &startup.StartupInfo, &info);
    error = started ? 0 : ::GetLastError();
    ::DeleteProcThreadAttributeList(list);
    return started != 0;
}

// Hands whatever the pipe holds now to onOutput, up to a bound so that stop
// requests are still seen while a program floods. False once the pipe is
// closed on the program's side.
bool DrainPipe(HANDLE pipe, std::vector<char>& buffer,
               const std::function<void(std::string_view)>& onOutput, std::size_t& taken) {
    constexpr std::size_t kBound = 16u << 20;
    taken = 0;
    while (taken < kBound) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            return false;  // broken: every writer is gone
        }
        if (available == 0) {
            return true;
        }
        DWORD n = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, buffer.size()));
        if (!::ReadFile(pipe, buffer.data(), wanted, &n, nullptr)) {
            return false;
        }
        taken += n;
        if (onOutput && n > 0) {
            onOutput(std::string_view(buffer.data(), n));
        }
    }
    return true;
}

}  // namespace

std::filesystem::path FsPath(const std::string& name) {
    return std::filesystem::path(Wide(name));
}

std::string CurrentDirectory() {
    return GrowingBuffer(
        [](DWORD size, wchar_t* data) { return ::GetCurrentDirectoryW(size, data); });
}

bool SetCurrentDirectory(const std::string& path) {
    return ::SetCurrentDirectoryW(Wide(path).c_str()) != 0;
}

std::string WindowsDirectory() {
    return GrowingBuffer([](DWORD size, wchar_t* data) {
        return static_cast<DWORD>(::GetWindowsDirectoryW(data, size));
    });
}

bool CopyFile(const std::string& from, const std::string& to) {
    if (to.empty()) {
        return false;
    }
    const std::wstring source = ApiPath(from);
    const std::wstring target = ApiPath(to);
    // A target the user has made read-only stays as it is (Wine's CopyFileW
    // would overwrite it; Windows' refuses), and a folder is no target.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return false;
    }
    // Copied beside the target and moved over it: the target is replaced
    // whole or not at all, and copying a file onto itself loses nothing.
    static LONG counter = 0;
    std::wstring temp;
    bool copied = false;
    for (int attempt = 0; attempt < 100 && !copied; ++attempt) {
        temp = target + L".zelk-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(::InterlockedIncrement(&counter));
        copied = ::CopyFileW(source.c_str(), temp.c_str(), TRUE) != 0;
        if (!copied && ::GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    if (!copied) {
        return false;
    }
    if (::MoveFileExW(temp.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    // The copy keeps the source's attributes; a read-only one must be freed
    // before it can go.
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
    return false;
}

bool DeleteFile(const std::string& path) {
    return ::DeleteFileW(ApiPath(path).c_str()) != 0;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    static unsigned counter = 0;
    std::wstring temp;
    Handle out;
    for (int attempt = 0; attempt < 100 && out.get() == nullptr; ++attempt) {
        temp = Wide(path + ".zelk-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(++counter));
        *out.out() = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out.get() == INVALID_HANDLE_VALUE) {
            *out.out() = nullptr;
            if (::GetLastError() != ERROR_FILE_EXISTS) {
                return false;
            }
        }
    }
    if (out.get() == nullptr) {
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        ok = ::WriteFile(out.get(), bytes.data() + done, chunk, &written, nullptr) != 0 &&
             written == chunk;
        done += written;
    }
    ok = ok && ::FlushFileBuffers(out.get()) != 0;
    out.Close();
    ok = ok && ::MoveFileExW(temp.c_str(), Wide(path).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        ::DeleteFileW(temp.c_str());
    }
    return ok;
}

FileLock::FileLock(const std::string& path) : path_(path) {
    // Removed by the system when the last handle closes, which is also when
    // the process dies.
    HANDLE file =
        ::CreateFileW(Wide(path_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
            state_ = State::Busy;
        }
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    state_ = State::Held;
}

FileLock::~FileLock() {
    if (state_ == State::Held) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return rules::JoinWindows(dir, name);
}

bool IsAbsolutePath(const std::string& name) {
    return rules::IsAbsoluteWindows(name);
}

Launch EditorLaunch(const std::string& windowsDir, const std::string& filePath) {
    return {rules::JoinWindows(windowsDir, "notepad.exe"), {filePath, filePath}};
}

std::string ProgramFile(const std::string& program) {
    if (program.empty() || HasExtension(program) ||
        ::GetFileAttributesW(ApiPath(program).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return program;
    }
    const DWORD withExe = ::GetFileAttributesW(ApiPath(program + ".exe").c_str());
    if (withExe == INVALID_FILE_ATTRIBUTES || (withExe & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return program;
    }
    return program + ".exe";
}

int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                  const std::function<void()>& whileWaiting) {
    if (program.empty()) {
        return -1;
    }
    DWORD error = 0;
    HANDLE process = StartProcess(program, argv, error);
    if (process == nullptr && error == ERROR_FILE_NOT_FOUND && !HasExtension(program)) {
        // The runtime's launcher tried ".exe" for a name without extension.
        process = StartProcess(program + ".exe", argv, error);
    }
    if (process == nullptr) {
        return -1;
    }
    if (whileWaiting) {
        // Wakes for the process's end, for window messages and every 20 ms,
        // so the GUI can repaint while it waits.
        for (;;) {
            const DWORD woken = ::MsgWaitForMultipleObjects(1, &process, FALSE, 20, QS_ALLINPUT);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
                break;
            }
            whileWaiting();
        }
    } else {
        ::WaitForSingleObject(process, INFINITE);
    }
    DWORD exitCode = 0;
    const bool known = ::GetExitCodeProcess(process, &exitCode) != 0;
    ::CloseHandle(process);
    return known ? static_cast<int>(exitCode) : -1;
}

ProgramEnd RunProgram(const std::string& program, const std::vector<std::string>& argv,
                      const RunHooks& hooks) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    ProgramEnd end;
    const auto notStarted = [&end](DWORD error) {
        end.how = ProgramEnd::How::NotStarted;
        end.code = static_cast<int>(error);
        end.reason = StartFailure(error);
        return end;
    };
    if (program.empty()) {
        return notStarted(ERROR_FILE_NOT_FOUND);
    }

    // The program's end of the pipe and the null device are inheritable; ours
    // is not.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Handle readEnd;
    Handle writeEnd;
    if (!::CreatePipe(readEnd.out(), writeEnd.out(), &inheritable, 1u << 20)) {
        return notStarted(::GetLastError());
    }
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    Handle nul(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr));
    if (nul.get() == nullptr) {
        return notStarted(::GetLastError());
    }

    // A job object holds the program and everything it starts; closing the
    // job's last handle ends them all, even when Zelk itself dies.
    Handle job(::CreateJobObjectW(nullptr, nullptr));
    if (job.get() != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }

    PROCESS_INFORMATION info{};
    DWORD error = 0;
    bool started = StartCaptured(program, argv, nul.get(), writeEnd.get(), info, error);
    if (!started && error == ERROR_FILE_NOT_FOUND && !HasExtension(program)) {
        // The runtime's launcher tried ".exe" for a name without extension.
        started = StartCaptured(program + ".exe", argv, nul.get(), writeEnd.get(), info, error);
    }
    if (!started) {
        return notStarted(error);
    }
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    const bool inJob =
        job.get() != nullptr && ::AssignProcessToJobObject(job.get(), process.get()) != 0;
    ::ResumeThread(thread.get());
    thread.Close();
    writeEnd.Close();
    nul.Close();

    const auto endAll = [&] {
        if (inJob) {
            ::TerminateJobObject(job.get(), 1);
        } else {
            ::TerminateProcess(process.get(), 1);
        }
    };
    std::vector<char> buffer(1u << 20);
    bool pipeOpen = true;
    bool stopping = false;
    const auto tick = std::chrono::milliseconds(20);
    Clock::time_point lastWhileWaiting = start;
    for (;;) {
        std::size_t taken = 0;
        if (pipeOpen) {
            pipeOpen = DrainPipe(readEnd.get(), buffer, hooks.onOutput, taken);
        }
        // While output streams in, the pipe is read again at once; when it
        // is quiet, the wait for the program's end is the pause.
        const DWORD pause = taken > 0 ? 0 : static_cast<DWORD>(tick.count());
        if (::WaitForSingleObject(process.get(), pause) != WAIT_TIMEOUT) {
            break;
        }
        if (hooks.whileWaiting && Clock::now() - lastWhileWaiting >= tick) {
            hooks.whileWaiting();
            lastWhileWaiting = Clock::now();
        }
        if (!stopping && hooks.stopRequested && hooks.stopRequested()) {
            // Windows has no polite request to a program without a console
            // window: the whole job ends at once.
            stopping = true;
            endAll();
        }
    }

    // The program has ended: take what it wrote, then end whatever it
    // started and left running, which might keep the pipe open for ever.
    std::size_t taken = 0;
    if (pipeOpen) {
        pipeOpen = DrainPipe(readEnd.get(), buffer, hooks.onOutput, taken);
    }
    endAll();
    const Clock::time_point endedAt = Clock::now();
    while (pipeOpen && Clock::now() - endedAt < std::chrono::milliseconds(500)) {
        pipeOpen = DrainPipe(readEnd.get(), buffer, hooks.onOutput, taken);
        if (pipeOpen && taken == 0) {
            std::this_thread::sleep_for(tick);
        }
    }

    DWORD exitCode = 0;
    const bool known = ::GetExitCodeProcess(process.get(), &exitCode) != 0;
    end.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    end.how = stopping ? ProgramEnd::How::Stopped : ProgramEnd::How::Exited;
    end.code = known ? static_cast<int>(exitCode) : -1;
    if (stopping) {
        end.reason = "stopped";
    }
    if (hooks.whileWaiting) {
        hooks.whileWaiting();
    }
    return end;
}

void PrepareToWrite(void* data, std::size_t size) {
    // Windows has no request to make committed pages present for writing;
    // they come on first touch.
    (void)data, (void)size;
}

std::size_t TransparentLargePageSize() {
    // Large pages on Windows need a privilege that programs do not hold.
    return 0;
}

bool PrepareHeapForStartUp() {
    return false;
}

bool PrepareThreadHeapForStartUp() {
    return false;
}

}  // namespace zelk::platform
