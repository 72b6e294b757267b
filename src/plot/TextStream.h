#pragma once
// A text file opened for one operation and read as a stream through a window
// of fixed size, so that memory stays bounded whatever the file's size: a
// reader that has what it needs stops, and the rest is never read. Only
// regular files are opened; a leading UTF-8 byte-order mark is skipped, and a
// file that is not text (UTF-16, or any zero byte in its first block) is
// refused.
//
// The conversions behave like the C library's formatted input, but never
// depend on the user's locale: "2.5" is two and a half everywhere. A CR
// directly before a LF is part of the line end on every platform, and a CR
// that is the very last byte of the file ends its last line.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/InputFile.h"
#include "plot/ContentDigest.h"

namespace zelk {

// One file as a reader had it: its stamp when it was opened and, when every
// byte of it was read, the digest of those bytes (the file's content as it
// was read, line ends and byte-order mark included).
struct FileRead {
    std::string path;  // as it was given to OpenFile
    platform::FileStamp stamp;
    bool settled = false;  // see platform::InputFile::Settled
    bool whole = false;    // digest covers the whole file
    std::uint64_t digest = 0;
};

class TextStream {
  public:
    // Longest line that ReadLine stores; the rest of a longer line is read
    // and dropped. No file name comes near it.
    static constexpr std::size_t kMaxLine = 1 << 16;

    enum class Status {
        Opened,
        Missing,      // no such file
        NotAFile,     // a folder, a pipe, a device
        NotReadable,  // no permission, or the system refused it
        NotText,      // UTF-16 or binary
    };
    struct OpenResult {
        Status status = Status::Missing;
        std::string detail;  // what the name is or why it was refused; empty when opened
    };

    TextStream();
    ~TextStream();
    TextStream(const TextStream& other);
    TextStream& operator=(const TextStream& other);

    // Opens path; on failure the stream stays closed and the result says why.
    OpenResult OpenFile(const std::string& path);
    bool Open(const std::string& path) { return OpenFile(path).status == Status::Opened; }
    void Close();
    bool IsOpen() const { return open_; }

    // For tests and the fuzzers: work on text that did not come from a file.
    void OpenText(std::string_view text);

    // The open file's identity, size and times, and whether they stand for
    // its content (see platform::InputFile::Settled).
    const platform::FileStamp& Stamp() const { return file_.Stamp(); }
    bool Settled() const { return file_.Settled(); }

    // "%u": skips white space (line ends included), then an optional sign and
    // decimal digits; the value wraps like a 32-bit unsigned conversion and is
    // stored bit for bit into the signed field. On failure the field is left
    // unchanged and only the white space has been consumed.
    bool ScanUnsigned(std::int32_t& field);

    // "%f": skips white space, then a decimal number (optional sign, digits,
    // optional point and fraction, optional exponent) into a float, rounded
    // exactly as strtof rounds it however many digits spell it. Failure as
    // above.
    bool ScanFloat(float& field);

    // As ScanFloat, and also the forms that numerical programs write: a D or
    // d exponent marker (Fortran's double precision), and nan, inf and
    // infinity in any case with an optional sign.
    bool ScanDatum(float& field);

    // Reads the rest of the current line, line end included, and stores it
    // without the line end (at most kMaxLine characters of it). Returns false
    // only when not one character was left to read.
    bool ReadLine(std::string& line);

    bool AtEnd() { return Peek(0) < 0; }

    // After white space is skipped: whether a number can start here (a digit,
    // or a sign or point followed by one). Consumes only the white space.
    bool AtNumberStart();

    // Within the current line: moves to the first number that stands as a
    // word of its own ("EPS = 1.5", "EPS=1.5", not the 2 of "chi2"). Returns
    // false, having consumed nothing, when the line holds none.
    bool FindNumberInLine();

    // Whether the last conversion stopped at a decimal comma: a digit, a
    // comma and a digit, where no number read so far had a decimal point.
    bool AtDecimalComma();

    // The line the next character is on, from 1.
    int Line() const { return line_; }

    // The text from here to the next white space, at most 40 characters, for
    // messages; consumes nothing.
    std::string NextWord();

    // Whether a read from the file failed before its end.
    bool ReadFailed() const { return readFailed_; }

    // The files opened and closed since the last call, one entry per path
    // (the last read of it). A path whose last open failed has none. A copy
    // of a stream starts with none.
    std::vector<FileRead> TakeReads();

  private:
    // Memory for the window, left as it comes: a page is touched only when a
    // read fills it, so a small file costs no more than its own size.
    class Window {
      public:
        char* data() { return data_.get(); }
        std::size_t size() const { return size_; }
        char& operator[](std::size_t i) { return data_[i]; }
        void Reserve(std::size_t n) {
            if (size_ < n) {
                data_.reset(new char[n]);
                size_ = n;
            }
        }

      private:
        std::unique_ptr<char[]> data_;
        std::size_t size_ = 0;
    };

    int Peek(std::size_t ahead) {
        return pos_ + ahead < end_ ? static_cast<unsigned char>(buf_[pos_ + ahead])
                                   : PeekSlow(ahead);
    }
    int PeekSlow(std::size_t ahead);
    bool Fill();
    void Begin();
    void SkipWhiteSpace();
    bool ScanNumber(float& field, bool data);

    Window buf_;                 // allocated once and kept for the next file
    std::size_t pos_ = 0;        // next character
    std::size_t end_ = 0;        // end of the characters ready to be read
    std::size_t raw_ = 0;        // end of the bytes read (a CR waiting for its neighbour)
    std::uint64_t base_ = 0;     // characters moved out of the window before buf_[0]
    std::uint64_t lastEnd_ = 0;  // where the last conversion ended, counted from the start
    bool eof_ = true;            // nothing more comes from the source
    bool fromFile_ = false;
    bool open_ = false;
    bool readFailed_ = false;
    bool sawPoint_ = false;   // a number read so far had a decimal point
    bool lastDigit_ = false;  // the last conversion ended with a digit
    int line_ = 1;
    std::string digits_;  // scratch of the float conversion
    platform::InputFile file_;
    std::string path_;      // the open file's name
    ContentDigest digest_;  // of the bytes read from the open file
    std::vector<FileRead> reads_;
};

}  // namespace zelk
