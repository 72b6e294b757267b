#pragma once
// The fitting program's output as a console shows it: bytes in, lines out.
// UTF-8 where the bytes are UTF-8 and Latin-1 where they are not (a sequence
// split between two chunks is joined first), a carriage return sends the
// cursor back to the start of the line so that what follows overwrites it,
// a backspace steps back one character, and only the newest lines are kept.
// The panel draws from it; it knows nothing of widgets.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <deque>

namespace zelk {

class FitOutputLines {
  public:
    static constexpr int kMaxLines = 10000;
    // A line this long wraps, as on a console, so that output without line
    // feeds cannot grow one line without bound.
    static constexpr int kMaxLineLength = 4096;
    // All kept lines together; beyond this the oldest go even before
    // kMaxLines is reached (only very long lines get here).
    static constexpr qsizetype kMaxKeptChars = 4'000'000;

    explicit FitOutputLines(int maxLines = kMaxLines);

    // Takes the next chunk of output exactly as it came from the pipe.
    void Append(QByteArrayView bytes);
    // The output has ended: bytes held back as the start of a UTF-8 sequence
    // are shown as Latin-1.
    void FinishInput();
    // Ends the open line (if it holds anything) and adds text as a line of
    // its own: the end line of a run, a note from Zelk.
    void AddLine(const QString& text);
    void Clear();

    // The kept lines that have ended, oldest first, and the line still being
    // written (the console's current line).
    const std::deque<QString>& lines() const { return lines_; }
    const QString& openLine() const { return open_; }
    // Everything kept as one text, lines joined by '\n', the open line last.
    QString Text() const;

    // What changed since the last TakeChanges(), for a view that shows the
    // lines as blocks, the last block being the open line.
    struct Changes {
        bool rebuild = false;  // too much changed: show Text() anew
        // Otherwise: replace the view's last block (the open line as it was)
        // by this text; it holds the newly ended lines and the open line,
        // joined by '\n'. Empty and unchanged when nothing happened.
        QString replaceLastBlock;
        bool changed = false;
    };
    Changes TakeChanges();

  private:
    void Put(QChar c);
    void PutText(const QChar* text, qsizetype count);
    void EndLine();
    void Trim();
    void DecodeFrom(const char* data, qsizetype size);

    int maxLines_;
    std::deque<QString> lines_;
    QString open_;
    qsizetype column_ = 0;     // where the next character goes in open_
    qsizetype keptChars_ = 0;  // characters in lines_
    QByteArray pending_;       // the start of a UTF-8 sequence awaiting its rest
    qsizetype endedSinceTake_ = 0;
    bool openChangedSinceTake_ = false;
    bool clearedSinceTake_ = false;
};

}  // namespace zelk
