#pragma once
// The recent-file list: the documents opened last, newest first, at most four,
// kept in the application's settings from one run to the next.

#include <QString>
#include <QStringList>

class QSettings;

namespace zelk {

class RecentFileList {
  public:
    static constexpr int kMaxEntries = 4;

    // The documents' list by default; the task folders keep one of their own
    // under another group of the same settings.
    RecentFileList() = default;
    RecentFileList(QString group, QString keyPrefix)
        : group_(std::move(group)), keyPrefix_(std::move(keyPrefix)) {}

    void Add(const QString& path);
    const QStringList& files() const { return files_; }

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

  private:
    QString group_ = QStringLiteral("Recent File List");
    QString keyPrefix_ = QStringLiteral("File");
    QStringList files_;
};

}  // namespace zelk
