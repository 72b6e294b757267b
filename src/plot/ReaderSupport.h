#pragma once
// Pieces shared by the readers of the task's files. Not part of the readers'
// public interface.

#include <cstdlib>
#include <string>

#include "plot/Host.h"
#include "plot/PlotState.h"

namespace zelk::detail {

// Holds state.curFile open for one read and releases it on every way out,
// the fatal path's exception included.
class ScopedFile {
  public:
    explicit ScopedFile(TextStream& stream) : stream_(stream) {}
    ~ScopedFile() { stream_.Close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    bool Open(const std::string& path) { return stream_.Open(path); }

    // Releases the file first, so nothing is held while the fatal box is up.
    [[noreturn]] void Fail(Host& host) {
        stream_.Close();
        host.Fatal(kInvalidParametersFile);
        std::abort();  // Fatal never returns; no read may follow it regardless
    }

  private:
    TextStream& stream_;
};

// A name is the whole line without its line end, formatted with "%s" into the
// scratch text and copied from there; like "%s", it ends at a zero byte,
// which no file name can hold.
inline void StoreName(PlotState& state, std::string& field) {
    const std::size_t zero = state.lineBuf.find('\0');
    state.scratchText.assign(state.lineBuf, 0, zero);
    field = state.scratchText;
}

}  // namespace zelk::detail
