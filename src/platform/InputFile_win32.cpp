#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/InputFile.h"
#include "platform/WideText_win32.h"

namespace zelk::platform {
namespace {

using win32::SystemMessage;

// 100-ns ticks, the unit of FILETIME.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
// How long ago a file must have changed for its stamp to stand for it; FAT
// keeps modification times to two seconds.
constexpr std::int64_t kSettleTicks = 3 * kTicksPerSecond;

std::int64_t Ticks(const FILETIME& t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                     t.dwLowDateTime);
}

OpenError FromError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return OpenError::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenError::NoPermission;
        default:
            return OpenError::Failed;
    }
}

}  // namespace

OpenError InputFile::Open(const std::string& path) {
    Close();
    systemText_.clear();
    // Long names take the \\?\ form, as for every other file service.
    const std::wstring wide = win32::ApiPath(path);
    // A folder cannot be opened for reading without backup semantics and would
    // then read as "access denied": look at what the name is first.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        systemText_ = SystemMessage(error);
        return FromError(error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return OpenError::Folder;
    }
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        systemText_ = SystemMessage(error);
        return FromError(error);
    }
    switch (::GetFileType(file)) {
        case FILE_TYPE_DISK:
            break;
        case FILE_TYPE_PIPE:
            ::CloseHandle(file);
            return OpenError::Pipe;
        case FILE_TYPE_CHAR:
            ::CloseHandle(file);
            return OpenError::Device;
        default:
            ::CloseHandle(file);
            return OpenError::OtherKind;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        systemText_ = SystemMessage(::GetLastError());
        ::CloseHandle(file);
        return OpenError::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    stamp_.device = info.dwVolumeSerialNumber;
    stamp_.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp_.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                            info.nFileSizeLow);
    stamp_.modified = Ticks(info.ftLastWriteTime);
    stamp_.changed = 0;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        stamp_.changed = basic.ChangeTime.QuadPart;
    }
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::int64_t newest = stamp_.modified > stamp_.changed ? stamp_.modified : stamp_.changed;
    settled_ = Ticks(now) - newest >= kSettleTicks;
    return OpenError::None;
}

void InputFile::Close() {
    if (handle_ != kClosed) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = kClosed;
    }
    stamp_ = FileStamp{};
    settled_ = false;
}

std::ptrdiff_t InputFile::Read(char* data, std::size_t size) {
    if (handle_ == kClosed) {
        return -1;
    }
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), data, want, &got, nullptr)) {
        systemText_ = SystemMessage(::GetLastError());
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

}  // namespace zelk::platform
