#pragma once
// The file side of the bundled editor: reading a file into text and writing
// it back byte for byte as it came, apart from what the user changed. The
// line end of every line, a byte-order mark it has and its encoding (UTF-8,
// or Latin-1 for bytes that are not UTF-8, so no byte is ever replaced) are
// kept; nothing is added.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zelk::notepad {

enum class LineEnd { kLf, kCrLf, kCr };

struct DecodedText {
    QString text;  // line ends as '\n'
    // The file's own line ends in order, as LineEnd values, so that a file
    // with mixed line ends is written back as it was.
    QList<int> lineEnds;
    LineEnd lineEnd = LineEnd::kLf;  // the most frequent one, for new lines
    bool byteOrderMark = false;
    bool latin1 = false;  // the bytes were not UTF-8
    // Characters the text widget would take as a line break or a frame
    // boundary (U+2028, U+2029, U+0085, U+FDD0, U+FDD1) are shown as a
    // private-use character that the file does not hold, one for each, and
    // turned back on save: (the file's character, its stand-in).
    QList<QPair<QChar, QChar>> standIns;
};

DecodedText Decode(const QByteArray& bytes);
// Joins `lines`, line i ended by lineEnds[i] when that is a LineEnd value and
// by the format's most frequent line end otherwise (a new line). False, with
// `error` set, when a character cannot be stored in the file's encoding.
bool Encode(const QStringList& lines, const QList<int>& lineEnds, const DecodedText& format,
            QByteArray& bytes, QString& error);

// What the file on disk holds compared with what was last read or written.
enum class DiskState { kSame, kChanged, kRemoved };

class NotepadDocument {
  public:
    // Reads `path`; a file that does not exist gives an empty, new document.
    // False, with `error` set, when the file exists but cannot be read.
    bool Load(const QString& path, QString& text, QString& error);
    // Writes the lines to the document's path (through a temporary file when
    // the folder allows it), creating the file when it is new; see Encode.
    bool Save(const QStringList& lines, const QList<int>& lineEnds, QString& error);

    // Whether another program has changed, created or removed the file since
    // it was read or last saved.
    DiskState CheckDisk() const;

    void SetPath(const QString& path) { path_ = path; }
    const QString& Path() const { return path_; }
    bool IsNew() const { return isNew_; }
    const DecodedText& Format() const { return format_; }
    // "CRLF, UTF-8" and the like, for the status bar.
    QString FormatLabel() const;

  private:
    QString path_;
    bool isNew_ = true;
    DecodedText format_;
    QByteArray diskDigest_;  // of the bytes last read or written
};

// The file named on the command line. With the Notepad convention the path
// is argument 0 and again argument 1 (a launcher that joins arguments into a
// command line may have split it at its blanks); run by hand, argument 0 is
// the program and the rest is the path (given twice, or split at blanks and
// joined again with single blanks). Empty when there is none.
QString PathFromArguments(const QStringList& arguments);

}  // namespace zelk::notepad
