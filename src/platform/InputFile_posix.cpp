#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/InputFile.h"

namespace zelk::platform {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// How long ago a file must have changed for its stamp to stand for it.
constexpr std::int64_t kSettleNs = 2 * kNsPerSecond;

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * kNsPerSecond + t.tv_nsec;
}

OpenError KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return OpenError::None;
    }
    if (S_ISDIR(mode)) {
        return OpenError::Folder;
    }
    if (S_ISFIFO(mode)) {
        return OpenError::Pipe;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return OpenError::Device;
    }
    return OpenError::OtherKind;
}

}  // namespace

OpenError InputFile::Open(const std::string& path) {
    Close();
    systemText_.clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer for ever.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        systemText_ = std::strerror(error);
        switch (error) {
            case ENOENT:
            case ENOTDIR:
                return OpenError::Missing;
            case EACCES:
            case EPERM:
                return OpenError::NoPermission;
            case EISDIR:
                return OpenError::Folder;
            case ENXIO:
                return OpenError::OtherKind;
            default:
                return OpenError::Failed;
        }
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        systemText_ = std::strerror(errno);
        ::close(fd);
        return OpenError::Failed;
    }
    if (const OpenError kind = KindOf(info.st_mode); kind != OpenError::None) {
        ::close(fd);
        return kind;
    }
    // A regular file never blocks; reads then behave as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = fd;
    stamp_ =
        FileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                  static_cast<std::int64_t>(info.st_size), Nanoseconds(info.st_mtim),
                  Nanoseconds(info.st_ctim)};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t newest = stamp_.modified > stamp_.changed ? stamp_.modified : stamp_.changed;
    settled_ = Nanoseconds(now) - newest >= kSettleNs;
    return OpenError::None;
}

void InputFile::Close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));
        handle_ = kClosed;
    }
    stamp_ = FileStamp{};
    settled_ = false;
}

std::ptrdiff_t InputFile::Read(char* data, std::size_t size) {
    if (handle_ == kClosed) {
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), data, size);
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            systemText_ = std::strerror(errno);
            return -1;
        }
    }
}

}  // namespace zelk::platform
