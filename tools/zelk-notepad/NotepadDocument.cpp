#include "NotepadDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace zelk::notepad {
namespace {

const QByteArray kBom("\xEF\xBB\xBF");

LineEnd MostFrequentLineEnd(const QByteArray& bytes) {
    qsizetype lf = 0;
    qsizetype crlf = 0;
    qsizetype cr = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (bytes[i] == '\n') {
            ++lf;
        }
    }
    if (crlf > lf && crlf >= cr) {
        return LineEnd::kCrLf;
    }
    if (cr > lf && cr > crlf) {
        return LineEnd::kCr;
    }
    return LineEnd::kLf;
}

}  // namespace

DecodedText Decode(const QByteArray& bytes) {
    DecodedText out;
    QByteArray body = bytes;
    if (body.startsWith(kBom)) {
        out.byteOrderMark = true;
        body.remove(0, kBom.size());
    }
    out.lineEnd = MostFrequentLineEnd(body);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError()) {
        out.latin1 = true;
        text = QString::fromLatin1(body);
    }
    // Every line end becomes '\n' for the editor; Save writes the file's own.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out.text = text;
    return out;
}

bool Encode(const QString& text, const DecodedText& format, QByteArray& bytes, QString& error) {
    QString body = text;
    if (format.lineEnd == LineEnd::kCrLf) {
        body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    } else if (format.lineEnd == LineEnd::kCr) {
        body.replace(QLatin1Char('\n'), QLatin1Char('\r'));
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
    format_ = Decode(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        format_ = DecodedText{};
        return false;
    }
    text = format_.text;
    isNew_ = false;
    return true;
}

bool NotepadDocument::Save(const QString& text, QString& error) {
    QByteArray bytes;
    if (!Encode(text, format_, bytes, error)) {
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
    format_.text = text;
    isNew_ = false;
    return true;
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
    if (arguments.size() < 2) {
        return {};
    }
    return arguments.mid(1).join(QLatin1Char(' '));
}

}  // namespace zelk::notepad
