#include "plot/TextStream.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <memory>

namespace zelk {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// For a number that does not fit a float: whether it is too large (rather
// than too small), from the power of ten of its first significant digit.
// number is digits, an optional point and fraction, an optional exponent.
bool AboveFloatRange(std::string_view number) {
    std::size_t i = 0;
    std::int64_t power = -1;
    bool significant = false;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
        significant = significant || number[i] != '0';
        power += significant ? 1 : 0;
    }
    if (i < number.size() && number[i] == '.') {
        std::int64_t place = -1;  // of the next fraction digit
        for (++i; i < number.size() && IsDigit(number[i]); ++i, --place) {
            if (!significant && number[i] != '0') {
                significant = true;
                power = place;
            }
        }
    }
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            ++i;
        }
        std::int64_t exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            // Saturates far beyond any float, far below any overflow.
            exponent = std::min<std::int64_t>(exponent * 10 + (number[i] - '0'), 1'000'000'000);
        }
        power += negative ? -exponent : exponent;
    }
    return power >= 0;
}

// A CR directly before a LF belongs to the line end, as in text mode on
// Windows. A CR that is the very last byte of the file is a line end of its
// own: a header line or value line ending there is complete.
std::string NormaliseLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out.push_back(text[i] == '\r' && i + 1 == text.size() ? '\n' : text[i]);
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool TextStream::Open(const std::string& path) {
    Close();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::string raw;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        raw.append(buffer, got);
    }
    if (std::ferror(file.get())) {
        return false;
    }
    text_ = NormaliseLineEnds(std::move(raw));
    pos_ = 0;
    open_ = true;
    return true;
}

void TextStream::OpenText(std::string_view text) {
    text_ = NormaliseLineEnds(std::string(text));
    pos_ = 0;
    open_ = true;
}

void TextStream::Close() {
    text_.clear();
    text_.shrink_to_fit();
    pos_ = 0;
    open_ = false;
}

void TextStream::SkipWhiteSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) {
        ++pos_;
    }
}

bool TextStream::ScanUnsigned(std::int32_t& field) {
    SkipWhiteSpace();
    std::size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
        negative = text_[p] == '-';
        ++p;
    }
    if (p >= text_.size() || !IsDigit(text_[p])) {
        return false;
    }
    // Saturates like a 32-bit unsigned long conversion; a minus sign then
    // negates modulo 2^32, so "-1" reads as 4294967295.
    std::uint32_t value = 0;
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    while (p < text_.size() && IsDigit(text_[p])) {
        const auto digit = static_cast<std::uint32_t>(text_[p] - '0');
        value = (value > (kMax - digit) / 10) ? kMax : value * 10 + digit;
        ++p;
    }
    if (negative) {
        value = 0u - value;
    }
    field = static_cast<std::int32_t>(value);
    pos_ = p;
    return true;
}

bool TextStream::ScanFloat(float& field) {
    SkipWhiteSpace();
    const std::size_t start = pos_;
    std::size_t p = start;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
        negative = text_[p] == '-';
        ++p;
    }
    const std::size_t mantissa = p;
    std::size_t digits = 0;
    while (p < text_.size() && IsDigit(text_[p])) {
        ++p;
        ++digits;
    }
    if (p < text_.size() && text_[p] == '.') {
        ++p;
        while (p < text_.size() && IsDigit(text_[p])) {
            ++p;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < text_.size() && (text_[q] == '+' || text_[q] == '-')) {
            ++q;
        }
        if (q < text_.size() && IsDigit(text_[q])) {
            while (q < text_.size() && IsDigit(text_[q])) {
                ++q;
            }
            p = q;
        }
    }
    float value = 0.0f;
    const char* first = text_.data() + mantissa;
    const char* last = text_.data() + p;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too large for a float becomes infinity, too small becomes zero, as
        // the C library's conversion does, however many digits spell it.
        value = AboveFloatRange(std::string_view(first, static_cast<std::size_t>(last - first)))
                    ? std::numeric_limits<float>::infinity()
                    : 0.0f;
    } else if (ec != std::errc() || ptr != last) {
        return false;
    }
    field = negative ? -value : value;
    pos_ = p;
    return true;
}

bool TextStream::ReadLine(std::string& line) {
    if (!open_ || pos_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find('\n', pos_);
    if (end == std::string::npos) {
        line.assign(text_, pos_, std::string::npos);
        pos_ = text_.size();
    } else {
        line.assign(text_, pos_, end - pos_);
        pos_ = end + 1;
    }
    return true;
}

}  // namespace zelk
