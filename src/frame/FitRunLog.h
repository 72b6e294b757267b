#pragma once
// The log of one fit run: the heading, the program's whole output byte for
// byte, and the end line, in a file of its own under the application's data
// folder ("runs/"). It is written as the run goes into "NAME.log.part" and
// renamed to "NAME.log" once the end line is in, so a ".log" file is always
// complete; a ".part" left behind is the log of a run that Zelk did not see
// end. The folder keeps the newest kKeep logs. A program that floods without
// end cannot fill the disk: the output in one log stops at kMaxOutputBytes.

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace zelk {

class FitRunLog {
  public:
    static constexpr int kKeep = 100;
    static constexpr qint64 kMaxOutputBytes = qint64(1) << 30;

    // AppLocalDataLocation + "/runs".
    static QString DefaultFolder();

    explicit FitRunLog(QString folder, qint64 maxOutputBytes = kMaxOutputBytes);
    ~FitRunLog();
    FitRunLog(const FitRunLog&) = delete;
    FitRunLog& operator=(const FitRunLog&) = delete;

    // Opens the log of a run that started at start; false when the folder or
    // the file cannot be made (the run goes on without a log).
    bool Begin(const QDateTime& start, const QString& heading);
    void Append(QByteArrayView bytes);
    void AddNote(const QString& text);
    // Writes the end line, closes, renames to the final name and prunes the
    // folder. Returns the final path (empty when there was no log).
    QString Finish(const QString& endLine);

    const QString& folder() const { return folder_; }

    // Removes the oldest logs of folder beyond keep, ordered by name (which
    // starts with the start time). The file open for writing is spared.
    static void Prune(const QString& folder, int keep, const QString& spare = {});

  private:
    void WriteLine(const QString& text);

    QString folder_;
    QString finalPath_;
    QFile file_;
    qint64 maxOutputBytes_;
    qint64 outputBytes_ = 0;
    bool lineOpen_ = false;  // the output so far does not end with a line feed
};

}  // namespace zelk
