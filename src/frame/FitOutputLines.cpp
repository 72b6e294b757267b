#include "frame/FitOutputLines.h"

#include <QLatin1StringView>

namespace zelk {
namespace {

// Length of the UTF-8 sequence that lead starts, or 0 when lead cannot start
// one (a continuation byte, an overlong C0/C1, a lead beyond U+10FFFF).
int SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Whether byte may stand at position index (1..3) of the sequence led by
// lead: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool ContinuationFits(unsigned char lead, int index, unsigned char byte) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (index == 1) {
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        } else if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    }
    return byte >= low && byte <= high;
}

}  // namespace

FitOutputLines::FitOutputLines(int maxLines) : maxLines_(maxLines < 1 ? 1 : maxLines) {}

void FitOutputLines::Clear() {
    lines_.clear();
    open_.clear();
    column_ = 0;
    keptChars_ = 0;
    pending_.clear();
    endedSinceTake_ = 0;
    openChangedSinceTake_ = false;
    clearedSinceTake_ = true;
}

void FitOutputLines::Append(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    if (pending_.isEmpty()) {
        DecodeFrom(bytes.data(), bytes.size());
        return;
    }
    QByteArray joined = pending_;
    joined.append(bytes);
    pending_.clear();
    DecodeFrom(joined.constData(), joined.size());
}

void FitOutputLines::FinishInput() {
    const QByteArray rest = pending_;
    pending_.clear();
    for (char byte : rest) {
        Put(QChar(static_cast<unsigned char>(byte)));
    }
}

void FitOutputLines::AddLine(const QString& text) {
    FinishInput();
    if (!open_.isEmpty()) {
        EndLine();
    }
    open_ = text.left(kMaxLineLength);
    openChangedSinceTake_ = true;
    EndLine();
}

void FitOutputLines::DecodeFrom(const char* data, qsizetype size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead >= 0x20 && lead < 0x7F) {
            // A run of printable ASCII, appended at once where the cursor is
            // at the end of the line (the usual case).
            qsizetype end = i + 1;
            while (end < size && bytes[end] >= 0x20 && bytes[end] < 0x7F) {
                ++end;
            }
            while (i < end) {
                if (column_ == open_.size() && open_.size() < kMaxLineLength) {
                    const qsizetype take = std::min(end - i, kMaxLineLength - open_.size());
                    open_.append(QLatin1StringView(data + i, take));
                    column_ = open_.size();
                    openChangedSinceTake_ = true;
                    i += take;
                    if (open_.size() >= kMaxLineLength) {
                        EndLine();
                    }
                } else {
                    Put(QChar(bytes[i]));
                    ++i;
                }
            }
            continue;
        }
        if (lead < 0x80) {
            Put(QChar(lead));
            ++i;
            continue;
        }
        const int length = SequenceLength(lead);
        if (length == 0) {
            Put(QChar(lead));  // Latin-1
            ++i;
            continue;
        }
        const qsizetype available = std::min<qsizetype>(length, size - i);
        int fitting = 1;
        while (fitting < available && ContinuationFits(lead, fitting, bytes[i + fitting])) {
            ++fitting;
        }
        if (fitting == length) {
            char32_t code = lead & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k) {
                code = (code << 6) | (bytes[i + k] & 0x3F);
            }
            if (code > 0xFFFF) {
                const char16_t high = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                const char16_t low = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
                Put(QChar(high));
                Put(QChar(low));
            } else {
                Put(QChar(static_cast<char16_t>(code)));
            }
            i += length;
        } else if (fitting == available && i + available == size) {
            // The chunk ends inside what may yet be a valid sequence: the rest
            // comes with the next chunk.
            pending_ = QByteArray(data + i, available);
            return;
        } else {
            Put(QChar(lead));  // not UTF-8 here: Latin-1
            ++i;
        }
    }
}

void FitOutputLines::Put(QChar c) {
    switch (c.unicode()) {
        case u'\n':
            EndLine();
            return;
        case u'\r':
            column_ = 0;
            return;
        case u'\b':
            if (column_ > 0) {
                --column_;
            }
            return;
        case u'\t':
            break;
        default:
            // Other control characters (bell, escape, NUL) have no picture.
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                return;
            }
            break;
    }
    if (column_ < open_.size()) {
        open_[column_] = c;
    } else {
        open_.append(c);
    }
    ++column_;
    openChangedSinceTake_ = true;
    if (open_.size() >= kMaxLineLength && column_ >= kMaxLineLength) {
        EndLine();
    }
}

void FitOutputLines::EndLine() {
    keptChars_ += open_.size();
    lines_.push_back(std::move(open_));
    open_ = QString();
    column_ = 0;
    ++endedSinceTake_;
    openChangedSinceTake_ = true;
    Trim();
}

void FitOutputLines::Trim() {
    while (lines_.size() > static_cast<std::size_t>(maxLines_) ||
           (keptChars_ > kMaxKeptChars && lines_.size() > 1)) {
        keptChars_ -= lines_.front().size();
        lines_.pop_front();
    }
}

QString FitOutputLines::Text() const {
    QString text;
    text.reserve(keptChars_ + static_cast<qsizetype>(lines_.size()) + open_.size());
    for (const QString& line : lines_) {
        text += line;
        text += u'\n';
    }
    text += open_;
    return text;
}

FitOutputLines::Changes FitOutputLines::TakeChanges() {
    Changes changes;
    if (clearedSinceTake_ || endedSinceTake_ >= static_cast<qsizetype>(lines_.size())) {
        changes.rebuild = clearedSinceTake_ || endedSinceTake_ > 0;
        changes.changed = changes.rebuild || openChangedSinceTake_;
        if (!changes.rebuild && openChangedSinceTake_) {
            changes.replaceLastBlock = open_;
        }
    } else if (endedSinceTake_ > 0) {
        QString text;
        for (auto it = lines_.end() - endedSinceTake_; it != lines_.end(); ++it) {
            text += *it;
            text += u'\n';
        }
        text += open_;
        changes.replaceLastBlock = std::move(text);
        changes.changed = true;
    } else if (openChangedSinceTake_) {
        changes.replaceLastBlock = open_;
        changes.changed = true;
    }
    endedSinceTake_ = 0;
    openChangedSinceTake_ = false;
    clearedSinceTake_ = false;
    return changes;
}

}  // namespace zelk
