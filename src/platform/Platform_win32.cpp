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

#include "platform/PathRules.h"
#include "platform/Platform.h"

namespace zelk::platform {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                          nullptr, nullptr);
    return text;
}

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

// A name as the file services take it. Up to MAX_PATH characters a name goes
// as it is; a longer one is made a full path with the \\?\ prefix, which lifts
// the limit (and with it the services' own handling of "." and "..", which
// GetFullPathNameW has done by then).
std::wstring ApiPath(const std::string& path) {
    std::wstring wide = Wide(path);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return wide;
    }
    std::wstring full(size, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) {
        return wide;
    }
    full.resize(n);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + full;
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

}  // namespace

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

std::string JoinPath(const std::string& dir, const std::string& name) {
    return rules::JoinWindows(dir, name);
}

bool IsAbsolutePath(const std::string& name) {
    return rules::IsAbsoluteWindows(name);
}

Launch EditorLaunch(const std::string& windowsDir, const std::string& filePath) {
    return {rules::JoinWindows(windowsDir, "notepad.exe"), {filePath, filePath}};
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

}  // namespace zelk::platform
