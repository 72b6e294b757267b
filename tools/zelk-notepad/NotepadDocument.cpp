#include "NotepadDocument.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace zelk::notepad {
namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// The characters QTextDocument does not keep as ordinary text: U+2029 and
// its frame markers U+FDD0 and U+FDD1 become block boundaries, U+2028 and
// U+0085 break the displayed line inside one. Each would shift the line
// ends recorded for the lines after it, or show a line that is none.
constexpr char16_t kFragile[] = {0x2028, 0x2029, 0x0085, 0xFDD0, 0xFDD1};

QByteArray Digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

}  // namespace

DecodedText Decode(const QByteArray& bytes) {
    DecodedText out;
    QByteArray body = bytes;
    if (body.startsWith(kBom)) {
        out.byteOrderMark = true;
        body.remove(0, kBom.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString raw = utf8.decode(body);
    if (utf8.hasError()) {
        out.latin1 = true;
        raw = QString::fromLatin1(body);
    }
    // Every line end becomes '\n' for the editor and is remembered for Save.
    qsizetype counts[3] = {0, 0, 0};
    out.text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        LineEnd end;
        if (c == QLatin1Char('\r')) {
            const bool crlf = i + 1 < raw.size() && raw[i + 1] == QLatin1Char('\n');
            end = crlf ? LineEnd::kCrLf : LineEnd::kCr;
            i += crlf ? 1 : 0;
        } else if (c == QLatin1Char('\n')) {
            end = LineEnd::kLf;
        } else {
            out.text += c;
            continue;
        }
        out.text += QLatin1Char('\n');
        out.lineEnds << static_cast<int>(end);
        ++counts[static_cast<int>(end)];
    }
    // Stand-ins from the private-use area, each one absent from the file.
    char16_t next = 0xE000;
    for (const char16_t fragile : kFragile) {
        if (!out.text.contains(QChar(fragile))) {
            continue;
        }
        while (next <= 0xF8FF && out.text.contains(QChar(next))) {
            ++next;
        }
        if (next > 0xF8FF) {
            break;  // a file holding the whole private-use area keeps them as they are
        }
        out.text.replace(QChar(fragile), QChar(next));
        out.standIns.append({QChar(fragile), QChar(next)});
        ++next;
    }
    if (counts[1] > counts[0] && counts[1] >= counts[2]) {
        out.lineEnd = LineEnd::kCrLf;
    } else if (counts[2] > counts[0] && counts[2] > counts[1]) {
        out.lineEnd = LineEnd::kCr;
    }
    return out;
}

bool Encode(const QStringList& lines, const QList<int>& lineEnds, const DecodedText& format,
            QByteArray& bytes, QString& error) {
    static const QString kEnds[3] = {QStringLiteral("\n"), QStringLiteral("\r\n"),
                                     QStringLiteral("\r")};
    QString body;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        body += lines[i];
        if (i + 1 < lines.size()) {
            const int end = lineEnds.value(i, -1);
            body += kEnds[end >= 0 && end <= 2 ? end : static_cast<int>(format.lineEnd)];
        }
    }
    for (const auto& [original, standIn] : format.standIns) {
        body.replace(standIn, original);
    }
    bytes = format.byteOrderMark ? kBom : QByteArray();
    if (format.latin1) {
        for (const QChar c : body) {
            if (c.unicode() > 0xFF) {
                error = QStringLiteral(
                            "The file is not UTF-8 and is kept in its single-byte encoding; "
                            "the character \"%1\" cannot be stored in it.")
                            .arg(c);
                return false;
            }
        }
        bytes += body.toLatin1();
    } else {
        bytes += body.toUtf8();
    }
    return true;
}

bool NotepadDocument::Load(const QString& path, QString& text, QString& error) {
    path_ = path;
    format_ = DecodedText{};
    text.clear();
    QFileInfo info(path);
    if (!info.exists()) {
        isNew_ = true;
        return true;
    }
    if (info.isDir()) {
        error = QStringLiteral("\"%1\" is a folder.").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    format_ = Decode(bytes);
    diskDigest_ = Digest(bytes);
    text = format_.text;
    isNew_ = false;
    return true;
}

bool NotepadDocument::Save(const QStringList& lines, const QList<int>& lineEnds, QString& error) {
    QByteArray bytes;
    if (!Encode(lines, lineEnds, format_, bytes, error)) {
        return false;
    }
    QSaveFile file(path_);
    // A folder the user may not create files in still lets the file itself
    // be rewritten in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(path_, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(path_, file.errorString());
        return false;
    }
    isNew_ = false;
    diskDigest_ = Digest(bytes);
    return true;
}

DiskState NotepadDocument::CheckDisk() const {
    if (path_.isEmpty()) {
        return DiskState::kSame;
    }
    QFile file(path_);
    if (!QFileInfo(path_).isFile()) {
        return isNew_ ? DiskState::kSame : DiskState::kRemoved;
    }
    if (isNew_) {
        return DiskState::kChanged;  // someone else created it meanwhile
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return DiskState::kSame;  // unreadable now: the save reports what it finds
    }
    return Digest(file.readAll()) == diskDigest_ ? DiskState::kSame : DiskState::kChanged;
}

QString NotepadDocument::FormatLabel() const {
    QString label = format_.lineEnd == LineEnd::kCrLf ? QStringLiteral("CRLF")
                    : format_.lineEnd == LineEnd::kCr ? QStringLiteral("CR")
                                                      : QStringLiteral("LF");
    label += format_.latin1 ? QStringLiteral(", Latin-1") : QStringLiteral(", UTF-8");
    if (format_.byteOrderMark) {
        label += QStringLiteral(" with BOM");
    }
    return label;
}

QString PathFromArguments(const QStringList& arguments) {
    const qsizetype n = arguments.size();
    // The path as argument 0 and again as argument 1, perhaps split at its
    // blanks by a launcher that joins arguments into one command line.
    if (n >= 2 && n % 2 == 0 && arguments.mid(0, n / 2) == arguments.mid(n / 2)) {
        return arguments.mid(0, n / 2).join(QLatin1Char(' '));
    }
    if (n < 2) {
        return {};
    }
    // The program and then the path, perhaps given twice.
    const QStringList tail = arguments.mid(1);
    if (tail.count(tail.first()) == tail.size()) {
        return tail.first();
    }
    return tail.join(QLatin1Char(' '));
}

}  // namespace zelk::notepad
