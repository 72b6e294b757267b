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

    void Add(const QString& path);
    const QStringList& files() const { return files_; }

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

  private:
    QStringList files_;
};

}  // namespace zelk
