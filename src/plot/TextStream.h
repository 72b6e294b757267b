#pragma once
// A text file opened for one operation. Open() reads the whole file and closes
// the operating-system handle at once, so nothing file-related outlives the
// call; the conversions then work on the text in memory.
//
// The conversions behave like the C library's formatted input, but never
// depend on the user's locale: "2.5" is two and a half everywhere. A CR
// directly before a LF is part of the line end on every platform.

#include <cstdint>
#include <string>
#include <string_view>

namespace zelk {

class TextStream {
public:
    // Reads the whole file; false (and the stream stays closed) when it cannot
    // be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return open_; }

    // "%u": skips white space (line ends included), then an optional sign and
    // decimal digits; the value wraps like a 32-bit unsigned conversion and is
    // stored bit for bit into the signed field. On failure the field is left
    // unchanged and only the white space has been consumed.
    bool ScanUnsigned(std::int32_t& field);

    // "%f": skips white space, then a decimal number (optional sign, digits,
    // optional point and fraction, optional exponent) into a float. Failure as
    // above.
    bool ScanFloat(float& field);

    // Reads the rest of the current line, line end included, and stores it
    // without the line end. Lines are read whole, however long. Returns false
    // only when not one character was left to read.
    bool ReadLine(std::string& line);

    bool AtEnd() const { return pos_ >= text_.size(); }

    // For tests and the fuzzers: work on text that did not come from a file.
    void OpenText(std::string_view text);

private:
    void SkipWhiteSpace();

    std::string text_;
    std::size_t pos_ = 0;
    bool open_ = false;
};

}  // namespace zelk
