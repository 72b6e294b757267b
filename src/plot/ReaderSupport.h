#pragma once
// Pieces shared by the readers of the task's files. Not part of the readers'
// public interface.

#include <cstdlib>
#include <string>

#include "plot/Host.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace zelk::detail {

// Holds state.curFile open for one read and releases it on every way out,
// the fatal path's exception included.
class ScopedFile {
  public:
    explicit ScopedFile(TextStream& stream) : stream_(stream) {}
    ~ScopedFile() { stream_.Close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    TextStream::OpenResult Open(const std::string& path) { return stream_.OpenFile(path); }

  private:
    TextStream& stream_;
};

// Where a reader's messages go: shown at once in a command's read, only
// reported in a live one.
class Reporter {
  public:
    Reporter(Host& host, ReadMode mode, ReadReport& report)
        : host_(host), mode_(mode), report_(report) {}

    bool Live() const { return mode_ == ReadMode::Live; }
    // Whether the fatal error came (only a live read goes on after it).
    bool Fatal() const { return fatal_; }
    void Incomplete() { report_.complete = false; }

    // A modal message in a command's read.
    void Message(const std::string& text) {
        report_.messages.push_back(text);
        if (!Live()) {
            host_.ShowMessage(text);
        }
    }
    // A note about a file that is drawn anyway.
    void Notice(const std::string& text) {
        report_.notices.push_back(text);
        if (!Live()) {
            host_.ShowNotice(text);
        }
    }

    // "Invalid parameters file" with detail on its second line. In a command's
    // read the file is released and the process ends (the Host never returns);
    // in a live read it is only reported, and the caller stops.
    void Fatal(TextStream& stream, const std::string& detail) {
        const std::string text = std::string(kInvalidParametersFile) + "\n" + detail;
        report_.complete = false;
        report_.messages.push_back(text);
        fatal_ = true;
        if (Live()) {
            return;
        }
        stream.Close();
        host_.Fatal(text);
        std::abort();  // Fatal never returns; no read may follow it regardless
    }

  private:
    Host& host_;
    ReadMode mode_;
    ReadReport& report_;
    bool fatal_ = false;
};

// A file that exists but is no readable text file: the first line names its
// role as the other messages do, the second the file and what it is.
inline std::string OpenProblem(const std::string& role, const std::string& name,
                               const TextStream::OpenResult& result) {
    switch (result.status) {
        case TextStream::Status::NotAFile:
            return role + " - not a file !!!\n" + name + " " + result.detail;
        case TextStream::Status::NotReadable:
            return role + " - not readable !!!\n" + name + ": " + result.detail;
        case TextStream::Status::NotText:
            return role + " - not a text file !!!\n" + name + ": " + result.detail;
        case TextStream::Status::Opened:
        case TextStream::Status::Missing:
            break;
    }
    return role + " - absent !!!";
}

// A name is the whole line without its line end, formatted with "%s" into the
// scratch text and copied from there; like "%s", it ends at a zero byte,
// which no file name can hold.
inline void StoreName(PlotState& state, std::string& field) {
    const std::size_t zero = state.lineBuf.find('\0');
    state.scratchText.assign(state.lineBuf, 0, zero);
    field = state.scratchText;
}

// A piece of a file's text quoted in a message: at most 40 characters, with
// control characters (a zero byte, an escape) shown as '?'.
inline std::string Quote(const std::string& text) {
    std::string piece = text.substr(0, 40);
    for (char& c : piece) {
        const auto byte = static_cast<unsigned char>(c);
        c = byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    return "\"" + piece + (text.size() > 40 ? "...\"" : "\"");
}

}  // namespace zelk::detail
