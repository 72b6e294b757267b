#pragma once
// The file side of the bundled editor: reading a file into text and writing
// it back byte for byte as it came, apart from what the user changed. The
// line end the file uses, a byte-order mark it has and its encoding (UTF-8,
// or Latin-1 for bytes that are not UTF-8, so no byte is ever replaced) are
// kept; nothing is added.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zelk::notepad {

enum class LineEnd { kLf, kCrLf, kCr };

struct DecodedText {
    QString text;  // line ends as '\n'
    LineEnd lineEnd = LineEnd::kLf;
    bool byteOrderMark = false;
    bool latin1 = false;  // the bytes were not UTF-8
};

// The line end most frequent in `bytes` (LF for a file without one).
DecodedText Decode(const QByteArray& bytes);
// False, with `error` set, when the text holds a character the encoding
// cannot store.
bool Encode(const QString& text, const DecodedText& format, QByteArray& bytes, QString& error);

class NotepadDocument {
  public:
    // Reads `path`; a file that does not exist gives an empty, new document.
    // False, with `error` set, when the file exists but cannot be read.
    bool Load(const QString& path, QString& text, QString& error);
    // Writes `text` to the document's path (through a temporary file when
    // the folder allows it), creating the file when it is new.
    bool Save(const QString& text, QString& error);

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
};

// The file named on the command line. With the Notepad convention argument
// 0 and argument 1 are both the path; run by hand argument 0 is the program
// and argument 1 the path. Either way argument 1 onwards is the path, joined
// with single blanks like Notepad's command-line tail. Empty for none.
QString PathFromArguments(const QStringList& arguments);

}  // namespace zelk::notepad
