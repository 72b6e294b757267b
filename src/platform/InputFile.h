#pragma once
// Opening one of the task's files for reading. Only regular files are opened:
// a folder, a named pipe or a device is refused at once and never waited on.
// The stamp of an open file tells whether its content may have changed since
// an earlier read. One implementation per platform (InputFile_posix.cpp,
// InputFile_win32.cpp).

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelk::platform {

// One version of a file: its identity, size and times. Times are in the
// platform's own units (nanoseconds on POSIX, 100 ns on Windows); they are
// only ever compared for equality.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;  // status change (POSIX ctime); 0 where there is none
    bool operator==(const FileStamp&) const = default;
};

enum class OpenError {
    None,
    Missing,       // no such file (or a folder on the way is missing)
    Folder,        // a folder of that name
    Pipe,          // a named pipe (FIFO)
    Device,        // a character or block device such as /dev/zero
    OtherKind,     // a socket or anything else that is not a regular file
    NoPermission,  // the file exists but may not be read
    Failed,        // any other reason; the system's text says which
};

class InputFile {
  public:
    InputFile() = default;
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path for reading when it is a regular file. On failure the file
    // stays closed and SystemText() says why in the system's words.
    OpenError Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != kClosed; }

    // Reads up to size bytes: the count read, 0 at the end of the file, -1 on
    // a read error.
    std::ptrdiff_t Read(char* data, std::size_t size);

    const FileStamp& Stamp() const { return stamp_; }

    // True when the file was last changed some seconds before it was opened.
    // File times are coarser than writes (a few milliseconds on Linux, two
    // seconds on FAT), so a file changed just now could change again with
    // the same stamp; only a settled file's stamp stands for its content.
    bool Settled() const { return settled_; }

    const std::string& SystemText() const { return systemText_; }

  private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
    FileStamp stamp_;
    bool settled_ = false;
    std::string systemText_;
};

}  // namespace zelk::platform
