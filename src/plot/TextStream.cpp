#include "plot/TextStream.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

namespace zelk {
namespace {

// The window through which a file is read: large enough that a full-capacity
// curve file arrives in one read, small enough to be a constant.
constexpr std::size_t kWindow = std::size_t{1} << 20;

// Significant digits kept by the float conversion. Every decimal midpoint
// between two floats has fewer, so these digits and a final nonzero digit
// standing for any dropped ones round exactly as the whole number does.
constexpr std::size_t kMaxDigits = 200;

// Numbers shorter than this go straight to the library's conversion.
constexpr std::size_t kFastLength = 96;

// How far a "nan(...)" may run before the brackets are left as text.
constexpr std::size_t kMaxNanText = 64;

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
int Lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Which text encoding with zero bytes the start of a file looks like: UTF-16
// puts a zero in every other byte of plain text.
std::string NotTextDetail(std::string_view head) {
    std::size_t evenZeros = 0;
    std::size_t oddZeros = 0;
    const std::size_t n = std::min<std::size_t>(head.size(), 512);
    for (std::size_t i = 0; i < n; ++i) {
        if (head[i] == '\0') {
            ++(i % 2 == 0 ? evenZeros : oddZeros);
        }
    }
    const std::size_t pairs = n / 2;
    if (pairs > 0 && (evenZeros * 10 >= pairs * 4 || oddZeros * 10 >= pairs * 4) &&
        (evenZeros == 0 || oddZeros == 0)) {
        return "UTF-16 text; save it as UTF-8 or plain ASCII";
    }
    return "binary data, not text (it holds zero bytes)";
}

}  // namespace

TextStream::TextStream() = default;
TextStream::~TextStream() = default;

// A copy is a closed stream: an open file belongs to one operation.
TextStream::TextStream(const TextStream&) : TextStream() {}
TextStream& TextStream::operator=(const TextStream& other) {
    if (this != &other) {
        Close();
        reads_.clear();
    }
    return *this;
}

std::vector<FileRead> TextStream::TakeReads() {
    return std::exchange(reads_, {});
}

void TextStream::Begin() {
    pos_ = end_ = raw_ = 0;
    base_ = 0;
    lastEnd_ = std::numeric_limits<std::uint64_t>::max();
    eof_ = false;
    readFailed_ = false;
    sawPoint_ = false;
    lastDigit_ = false;
    line_ = 1;
}

TextStream::OpenResult TextStream::OpenFile(const std::string& path) {
    Close();
    // Whatever comes of this open, an earlier read of the path is not the
    // file as it is now.
    std::erase_if(reads_, [&](const FileRead& read) { return read.path == path; });
    OpenResult result;
    switch (file_.Open(path)) {
        case platform::OpenError::None:
            break;
        case platform::OpenError::Missing:
            result.status = Status::Missing;
            return result;
        case platform::OpenError::Folder:
            return {Status::NotAFile, "is a folder, not a file"};
        case platform::OpenError::Pipe:
            return {Status::NotAFile, "is a named pipe (FIFO), not a file"};
        case platform::OpenError::Device:
            return {Status::NotAFile, "is a device, not a file"};
        case platform::OpenError::OtherKind:
            return {Status::NotAFile, "is not a regular file"};
        case platform::OpenError::NoPermission:
            return {Status::NotReadable, "no permission to read it"};
        case platform::OpenError::Failed:
            return {Status::NotReadable, file_.SystemText()};
    }
    buf_.Reserve(kWindow);
    Begin();
    fromFile_ = true;
    path_ = path;
    digest_.Reset();
    Peek(3);  // the first block, which for most files is all of it
    if (readFailed_) {
        const std::string why = file_.SystemText();
        Close();
        return {Status::NotReadable, why};
    }
    const std::string_view head(buf_.data() + pos_, end_ - pos_);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ += 3;
    } else if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") {
        Close();
        return {Status::NotText, "UTF-16 text; save it as UTF-8 or plain ASCII"};
    } else if (head.find('\0') != std::string_view::npos) {
        std::string detail = NotTextDetail(head);
        Close();
        return {Status::NotText, std::move(detail)};
    }
    open_ = true;
    result.status = Status::Opened;
    return result;
}

void TextStream::OpenText(std::string_view text) {
    Close();
    Begin();
    buf_.Reserve(text.size() + 1);
    std::memcpy(buf_.data(), text.data(), text.size());
    raw_ = text.size();
    // The same line-end rules as a file's: resolve the CRs of the whole text.
    if (std::memchr(buf_.data(), '\r', raw_) != nullptr) {
        std::size_t w = 0;
        for (std::size_t i = 0; i < raw_; ++i) {
            if (buf_[i] == '\r' && i + 1 < raw_ && buf_[i + 1] == '\n') {
                continue;
            }
            buf_[w++] = buf_[i] == '\r' && i + 1 == raw_ ? '\n' : buf_[i];
        }
        raw_ = w;
    }
    end_ = raw_;
    eof_ = true;
    fromFile_ = false;
    open_ = true;
}

void TextStream::Close() {
    if (open_ && fromFile_) {
        FileRead read;
        read.path = std::move(path_);
        read.stamp = file_.Stamp();
        read.settled = file_.Settled();
        // Every byte: the end was met, or as many bytes came as the file
        // had when it was opened.
        const auto size = static_cast<std::uint64_t>(read.stamp.size);
        read.whole = !readFailed_ && (eof_ || digest_.Bytes() == size);
        read.digest = read.whole ? digest_.Value() : 0;
        reads_.push_back(std::move(read));
    }
    file_.Close();
    pos_ = end_ = raw_ = 0;
    eof_ = true;
    fromFile_ = false;
    open_ = false;
}

// Reads the next block behind what is ready. A CR directly before a LF is
// dropped; a CR that ends the block waits for the next one to decide, and a
// CR that ends the file becomes a line end. The CRs are looked at only when
// the block holds one.
bool TextStream::Fill() {
    if (eof_) {
        return false;
    }
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, raw_ - pos_);
        base_ += pos_;
        end_ -= pos_;
        raw_ -= pos_;
        pos_ = 0;
    }
    if (raw_ == buf_.size()) {
        return false;  // the window is full of unread text; no caller looks that far
    }
    const std::ptrdiff_t got = file_.Read(buf_.data() + raw_, buf_.size() - raw_);
    if (got > 0) {
        digest_.Add(buf_.data() + raw_, static_cast<std::size_t>(got));
    }
    if (got <= 0) {
        readFailed_ = got < 0;
        eof_ = true;
        if (raw_ > end_) {
            buf_[end_] = '\n';  // the CR that ends the file
            end_ = raw_;
        }
        return false;
    }
    const std::size_t from = end_;
    raw_ += static_cast<std::size_t>(got);
    if (std::memchr(buf_.data() + from, '\r', raw_ - from) == nullptr) {
        end_ = raw_;
        return true;
    }
    std::size_t w = from;
    for (std::size_t i = from; i < raw_; ++i) {
        const char c = buf_[i];
        if (c == '\r') {
            if (i + 1 == raw_) {
                buf_[w] = '\r';
                end_ = w;
                raw_ = w + 1;
                return true;
            }
            if (buf_[i + 1] == '\n') {
                continue;
            }
        }
        buf_[w++] = c;
    }
    end_ = raw_ = w;
    return true;
}

int TextStream::PeekSlow(std::size_t ahead) {
    while (pos_ + ahead >= end_) {
        if (!Fill() && (eof_ || raw_ == buf_.size())) {
            break;
        }
    }
    return pos_ + ahead < end_ ? static_cast<unsigned char>(buf_[pos_ + ahead]) : -1;
}

void TextStream::SkipWhiteSpace() {
    for (int c = Peek(0); IsSpace(c); c = Peek(0)) {
        line_ += c == '\n' ? 1 : 0;
        ++pos_;
    }
}

bool TextStream::AtNumberStart() {
    SkipWhiteSpace();
    std::size_t k = 0;
    if (const int c = Peek(0); c == '+' || c == '-') {
        k = 1;
    }
    const int c = Peek(k);
    return IsDigit(c) || (c == '.' && IsDigit(Peek(k + 1)));
}

bool TextStream::ScanUnsigned(std::int32_t& field) {
    SkipWhiteSpace();
    std::size_t k = 0;
    bool negative = false;
    if (const int c = Peek(0); c == '+' || c == '-') {
        negative = c == '-';
        k = 1;
    }
    if (!IsDigit(Peek(k))) {
        return false;
    }
    pos_ += k;
    // Saturates like a 32-bit unsigned long conversion; a minus sign then
    // negates modulo 2^32, so "-1" reads as 4294967295.
    std::uint32_t value = 0;
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    for (int c = Peek(0); IsDigit(c); c = Peek(0)) {
        const auto digit = static_cast<std::uint32_t>(c - '0');
        value = (value > (kMax - digit) / 10) ? kMax : value * 10 + digit;
        ++pos_;
    }
    if (negative) {
        value = 0u - value;
    }
    field = static_cast<std::int32_t>(value);
    lastDigit_ = true;
    lastEnd_ = base_ + pos_;
    return true;
}

bool TextStream::ScanFloat(float& field) {
    return ScanNumber(field, false);
}

bool TextStream::ScanDatum(float& field) {
    return ScanNumber(field, true);
}

// The number is taken digit by digit, so that no number, however long, needs
// to fit the window: value = 0.digits_ x 10^exponent.
bool TextStream::ScanNumber(float& field, bool data) {
    SkipWhiteSpace();
    std::size_t k = 0;
    bool negative = false;
    if (const int c = Peek(0); c == '+' || c == '-') {
        negative = c == '-';
        k = 1;
    }
    if (const int c = Peek(k); !IsDigit(c) && !(c == '.' && IsDigit(Peek(k + 1)))) {
        if (!data) {
            return false;
        }
        // nan, nan(chars), inf, infinity, in any case.
        const auto matches = [&](const char* word) {
            for (std::size_t i = 0; word[i] != '\0'; ++i) {
                if (Lower(Peek(k + i)) != word[i]) {
                    return false;
                }
            }
            return true;
        };
        float value = 0.0f;
        std::size_t length = 0;
        if (matches("infinity")) {
            value = std::numeric_limits<float>::infinity();
            length = 8;
        } else if (matches("inf")) {
            value = std::numeric_limits<float>::infinity();
            length = 3;
        } else if (matches("nan")) {
            value = std::numeric_limits<float>::quiet_NaN();
            length = 3;
            if (Peek(k + 3) == '(') {
                std::size_t i = k + 4;
                while (i < k + 4 + kMaxNanText &&
                       (IsLetter(Peek(i)) || IsDigit(Peek(i)) || Peek(i) == '_')) {
                    ++i;
                }
                if (Peek(i) == ')') {
                    length = i + 1 - k;
                }
            }
        } else {
            return false;
        }
        pos_ += k + length;
        field = negative ? -value : value;
        lastDigit_ = false;
        lastEnd_ = base_ + pos_;
        return true;
    }
    pos_ += k;

    // The usual case: a number of ordinary length, handed to the library's
    // exact conversion as it stands (a D exponent marker read as an E).
    std::size_t length = 0;
    bool point = false;
    bool fortran = false;
    bool endsWithDigit = false;
    while (length < kFastLength && IsDigit(Peek(length))) {
        ++length;
        endsWithDigit = true;
    }
    if (Peek(length) == '.') {
        ++length;
        point = true;
        endsWithDigit = false;
        while (length < kFastLength && IsDigit(Peek(length))) {
            ++length;
            endsWithDigit = true;
        }
    }
    if (const int e = Peek(length); e == 'e' || e == 'E' || (data && (e == 'd' || e == 'D'))) {
        std::size_t q = length + 1;
        if (const int s = Peek(q); s == '+' || s == '-') {
            ++q;
        }
        if (IsDigit(Peek(q))) {
            fortran = e == 'd' || e == 'D';
            length = q;
            while (length < kFastLength && IsDigit(Peek(length))) {
                ++length;
            }
            endsWithDigit = true;
        }
    }
    if (length < kFastLength && !IsDigit(Peek(length))) {
        char copy[kFastLength];
        const char* first = buf_.data() + pos_;
        if (fortran) {
            std::memcpy(copy, first, length);
            for (std::size_t i = 0; i < length; ++i) {
                copy[i] = copy[i] == 'd' || copy[i] == 'D' ? 'e' : copy[i];
            }
            first = copy;
        }
        float value = 0.0f;
        const auto [ptr, ec] =
            std::from_chars(first, first + length, value, std::chars_format::general);
        if (ec == std::errc() && ptr == first + length) {
            pos_ += length;
            sawPoint_ = sawPoint_ || point;
            field = negative ? -value : value;
            lastDigit_ = endsWithDigit;
            lastEnd_ = base_ + pos_;
            return true;
        }
        // Out of range: decided below from the number's magnitude.
    }

    digits_.clear();
    std::int64_t exponent = 0;
    bool significant = false;
    bool sticky = false;
    // A digit: leading zeros only shift the exponent; beyond kMaxDigits only
    // whether any dropped digit was nonzero counts.
    const auto take = [&](int c) {
        if (!significant && c == '0') {
            return false;
        }
        significant = true;
        if (digits_.size() < kMaxDigits) {
            digits_.push_back(static_cast<char>(c));
        } else if (c != '0') {
            sticky = true;
        }
        return true;
    };
    int c = Peek(0);
    for (; IsDigit(c); c = Peek(0)) {
        exponent += take(c) ? 1 : 0;
        ++pos_;
    }
    endsWithDigit = true;
    if (c == '.') {
        ++pos_;
        sawPoint_ = true;
        endsWithDigit = false;
        for (c = Peek(0); IsDigit(c); c = Peek(0)) {
            exponent -= take(c) ? 0 : 1;
            ++pos_;
            endsWithDigit = true;
        }
    }
    if (c == 'e' || c == 'E' || (data && (c == 'd' || c == 'D'))) {
        std::size_t q = 1;
        bool negativeExponent = false;
        if (const int s = Peek(1); s == '+' || s == '-') {
            negativeExponent = s == '-';
            q = 2;
        }
        if (IsDigit(Peek(q))) {
            pos_ += q;
            std::int64_t e = 0;
            for (c = Peek(0); IsDigit(c); c = Peek(0)) {
                // Saturates far beyond any float, far below any overflow.
                e = std::min<std::int64_t>(e * 10 + (c - '0'), 1'000'000'000);
                ++pos_;
            }
            exponent += negativeExponent ? -e : e;
            endsWithDigit = true;
        }
    }

    float value = 0.0f;
    if (digits_.empty()) {
        value = 0.0f;
    } else if (exponent > 60) {
        value = std::numeric_limits<float>::infinity();
    } else if (exponent >= -60) {
        if (sticky) {
            digits_.push_back('1');
        }
        std::string& text = digits_;
        text.insert(0, "0.");
        text += 'e';
        text += std::to_string(exponent);
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                               std::chars_format::general);
        if (ec == std::errc::result_out_of_range) {
            // Too large for a float becomes infinity, too small becomes zero,
            // as the C library's conversion does.
            value = exponent > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
        }
        (void)ptr;
    }
    field = negative ? -value : value;
    lastDigit_ = endsWithDigit;
    lastEnd_ = base_ + pos_;
    return true;
}

bool TextStream::AtDecimalComma() {
    return Peek(0) == ',' && lastDigit_ && !sawPoint_ && lastEnd_ == base_ + pos_ &&
           IsDigit(Peek(1));
}

bool TextStream::FindNumberInLine() {
    SkipWhiteSpace();
    const auto isWordChar = [](int c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '.'; };
    int previous = -1;
    for (std::size_t i = 0; i < kMaxLine; ++i) {
        const int c = Peek(i);
        if (c < 0 || c == '\n') {
            return false;
        }
        if (!isWordChar(previous)) {
            std::size_t k = i;
            if (c == '+' || c == '-') {
                ++k;
            }
            const int d = Peek(k);
            bool starts = IsDigit(d) || (d == '.' && IsDigit(Peek(k + 1)));
            if (!starts && (Lower(d) == 'n' || Lower(d) == 'i')) {
                const char* word = Lower(d) == 'n' ? "nan" : "inf";
                starts = Lower(Peek(k + 1)) == word[1] && Lower(Peek(k + 2)) == word[2] &&
                         !IsLetter(Peek(k + 3)) && !IsDigit(Peek(k + 3));
                starts = starts || (Lower(d) == 'i' && Lower(Peek(k + 3)) == 'i');  // infinity
            }
            if (starts) {
                pos_ += i;
                return true;
            }
        }
        previous = c;
    }
    return false;
}

std::string TextStream::NextWord() {
    std::string word;
    for (std::size_t i = 0; i < 40; ++i) {
        const int c = Peek(i);
        if (c < 0 || IsSpace(c)) {
            break;
        }
        word.push_back(static_cast<char>(c));
    }
    return word;
}

bool TextStream::ReadLine(std::string& line) {
    if (!open_ || Peek(0) < 0) {
        return false;
    }
    line.clear();
    while (Peek(0) >= 0) {
        const char* start = buf_.data() + pos_;
        const std::size_t ready = end_ - pos_;
        const void* found = std::memchr(start, '\n', ready);
        const std::size_t take =
            found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - start)
                             : ready;
        if (line.size() < kMaxLine) {
            line.append(start, std::min(take, kMaxLine - line.size()));
        }
        pos_ += take;
        if (found != nullptr) {
            ++pos_;
            ++line_;
            break;
        }
    }
    return true;
}

}  // namespace zelk
