#pragma once
// The small layer standing where the operating system's services are used:
// directories, file copies, launching a program and waiting for it. One
// implementation per platform (Platform_posix.cpp, Platform_win32.cpp).
// Programs are always started with argument vectors, never through a shell.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProgramRun.h"

namespace zelk::platform {

std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& path);

// Where the editor is taken from: the Windows directory on Windows, the folder
// of the running executable elsewhere.
std::string WindowsDirectory();

// A name (UTF-8, as everywhere in Zelk) as a path for std::filesystem and
// the file streams, whose narrow overloads would read it in the ANSI code page
// on Windows.
std::filesystem::path FsPath(const std::string& name);

// Copies from over to, replacing an existing file.
bool CopyFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);

// Replaces path with exactly bytes: they go to a new file in the same folder,
// which is flushed and then renamed over path, so path holds either its old
// bytes or the new ones, never a mix. An existing file keeps its permissions;
// a link named path is replaced by a plain file, never written through.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// An exclusive lock on the file at path (created when missing), tried once
// and never waited for. The system releases it when the process ends, however
// it ends, so a lock never outlives its holder. The holder removes the file
// on release.
class FileLock {
  public:
    enum class State {
        Held,
        Busy,         // another process holds it
        Unavailable,  // the file cannot be created or locked here
    };
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    State state() const { return state_; }

  private:
    std::string path_;
    State state_ = State::Unavailable;
    std::intptr_t handle_ = -1;
};

// dir joined with name by the platform's separator; an absolute name is used
// as it is.
std::string JoinPath(const std::string& dir, const std::string& name);
bool IsAbsolutePath(const std::string& name);

struct Launch {
    std::string program;
    std::vector<std::string> argv;  // argv[0] included
};

// How to open filePath in the editor: notepad.exe of the Windows directory on
// Windows; elsewhere the command line in ZELK_EDITOR (split on blanks, the
// path appended), or the bundled zelk-notepad in windowsDir. Like Notepad,
// the bundled editor gets the path as argument 0 and again as argument 1.
Launch EditorLaunch(const std::string& windowsDir, const std::string& filePath);

// The file that starting program runs: program itself, or on Windows, for a
// name without extension that names no file, that name with ".exe", which the
// launchers try next. What the existence check of the fitting program looks at.
std::string ProgramFile(const std::string& program);

// Starts program with argv and waits until it ends, calling whileWaiting now
// and then (the GUI repaints there). Returns the exit code, or -1 when the
// program could not be started.
int LaunchAndWait(const std::string& program, const std::vector<std::string>& argv,
                  const std::function<void()>& whileWaiting = {});

// Starts program with argv in its own process group (a job object on
// Windows), standard input from the null device, standard output and error on
// one pipe handed to hooks.onOutput, and waits until it ends or a stop request
// has ended it. Used for the fitting program.
ProgramEnd RunProgram(const std::string& program, const std::vector<std::string>& argv,
                      const RunHooks& hooks);

// Asks the system to make every page of [data, data + size) present and
// writable at once, where it offers that (Linux 5.14 and later). Memory
// written for the first time otherwise stops at each page for the system to
// supply it, which costs far more than the writing, most of all in a virtual
// machine; a window's image is such memory. The contents never change, and
// where the system has no such request, or refuses, nothing happens.
void PrepareToWrite(void* data, std::size_t size);

// The size of the system's transparent large pages (2 MiB on x86-64 Linux),
// or 0 where it has none or they are switched off.
std::size_t TransparentLargePageSize();

// Lets the memory the program allocates next come from one transparent large
// page, where the system has them and the C library's allocator is glibc's.
// A window's start allocates about a megabyte in small pieces, and each page
// of fresh heap stops the program on first write while the system supplies
// it: about 11 us a page in a virtual machine, where one large page costs
// what some fifty small ones do. The page is resident whole once written, and
// up to its size of address space below it stays reserved, unwritten. Returns
// whether it was done; where not, nothing changed. Call it once, first thing
// in main, before any other thread starts.
bool PrepareHeapForStartUp();

// The same for the heap of the calling thread, where the system can turn
// written pages into a large page on request (Linux 6.1 and later). Call it
// first thing on a thread that allocates much while the program starts, after
// PrepareHeapForStartUp on the main thread. Returns whether it was done.
bool PrepareThreadHeapForStartUp();

}  // namespace zelk::platform
