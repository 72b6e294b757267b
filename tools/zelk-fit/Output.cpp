#include "Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Text.h"
#include "platform/Platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelk::fit {
namespace {

namespace fs = std::filesystem;
using platform::FsPath;

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

#ifdef _WIN32
// Windows has no mkstemp: try numbered names, each created exclusively.
int CreateExclusive(std::string& path) {
    const std::string base = path.substr(0, path.size() - 6);
    for (int n = 0; n < 1000; ++n) {
        path = base + std::to_string(n) + ".tmp";
        int fd = -1;
        if (_wsopen_s(&fd, FsPath(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                      _SH_DENYRW, _S_IREAD | _S_IWRITE) == 0) {
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const unsigned chunk =
            text.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(text.size());
        const int n = _write(fd, text.data(), chunk);
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return _commit(fd) == 0;
}
int CloseFile(int fd) {
    return _close(fd);
}
#else
// mkstemp opens with O_CREAT | O_EXCL: a file or link already there under
// the chosen name is never opened. Its mode 0600 is widened to what a plain
// new file would get, so the outputs stay readable by whoever could read
// them before.
int CreateExclusive(std::string& path) {
    const int fd = mkstemp(path.data());
    if (fd >= 0) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, static_cast<mode_t>(0666 & ~mask));
    }
    return fd;
}
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return fsync(fd) == 0;
}
int CloseFile(int fd) {
    return close(fd);
}
#endif

}  // namespace

bool SameFile(const std::string& nameA, const std::string& nameB) {
    const fs::path a = FsPath(nameA);
    const fs::path b = FsPath(nameB);
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec) {
        return true;
    }
    std::error_code ecA;
    std::error_code ecB;
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ecA), ecA);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, ecB), ecB);
    return !ecA && !ecB && ca == cb;
}

namespace {

// The folder entry a rename replaces: the folder resolved, the name itself
// not, since a link of that name is replaced and not followed.
fs::path EntryOf(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(FsPath(path), ec);
    return fs::weakly_canonical(absolute.parent_path(), ec) / absolute.filename();
}

}  // namespace

void RefuseUnsafeOutputs(const std::vector<NamedFile>& outputs,
                         const std::vector<NamedFile>& inputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const NamedFile& out = outputs[i];
        std::error_code ec;
        if (fs::is_directory(FsPath(out.path), ec)) {
            throw FitError("the " + out.role + " " + Quoted(out.path) +
                           " is a folder; nothing is written");
        }
        for (const NamedFile& in : inputs) {
            if (!in.path.empty() && SameFile(out.path, in.path)) {
                throw FitError("the " + out.role + " " + Quoted(out.path) + " is the " + in.role +
                               " " + Quoted(in.path) +
                               ", which writing it would replace; nothing is written. "
                               "Give the output another name.");
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (EntryOf(out.path) == EntryOf(outputs[j].path)) {
                throw FitError("the " + out.role + " " + Quoted(out.path) + " is also the " +
                               outputs[j].role +
                               "; nothing is written. "
                               "Give the output another name.");
            }
        }
    }
}

StagedOutputs::~StagedOutputs() {
    for (const Entry& e : entries_) {
        std::error_code ec;
        fs::remove(FsPath(e.temporary), ec);
    }
}

void StagedOutputs::Stage(const std::string& path, std::string_view text) {
    // Built in UTF-8 from the name itself: a path's narrow string is in the
    // ANSI code page on Windows.
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("/\\:");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    const std::size_t nameAt = cut == std::string::npos ? 0 : cut + 1;
    std::string temporary = path.substr(0, nameAt) + "." + path.substr(nameAt) + ".XXXXXX";
    const int fd = CreateExclusive(temporary);
    if (fd < 0) {
        throw FitError("cannot create a file beside " + Quoted(path) + ": " + std::strerror(errno));
    }
    // Recorded first, so that the file goes again whatever happens next.
    entries_.push_back(Entry{path, temporary});
    const bool written = WriteAll(fd, text);
    const int savedErrno = errno;
    if (CloseFile(fd) != 0 || !written) {
        throw FitError("cannot write " + Quoted(path) + ": " +
                       std::strerror(written ? errno : savedErrno));
    }
}

void StagedOutputs::Commit() {
    while (!entries_.empty()) {
        const Entry e = entries_.front();
        std::error_code ec;
        fs::rename(FsPath(e.temporary), FsPath(e.target), ec);
        if (ec) {
            throw FitError("cannot write " + Quoted(e.target) + ": " + ec.message());
        }
        entries_.erase(entries_.begin());
    }
}

}  // namespace zelk::fit
