#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace zelk {
namespace {

QString EntryKey(const QString& prefix, int index) {
    return QStringLiteral("%1%2").arg(prefix).arg(index + 1);
}

// One spelling per file, so that the same file opened twice is one entry.
QString Canonical(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::toNativeSeparators(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

}  // namespace

void RecentFileList::Add(const QString& path) {
    const QString entry = Canonical(path);
    files_.removeAll(entry);
    files_.prepend(entry);
    while (files_.size() > kMaxEntries) {
        files_.removeLast();
    }
}

void RecentFileList::Load(QSettings& settings) {
    files_.clear();
    settings.beginGroup(group_);
    for (int i = 0; i < kMaxEntries; ++i) {
        const QString path = settings.value(EntryKey(keyPrefix_, i)).toString();
        if (!path.isEmpty() && !files_.contains(path)) {
            files_.append(path);
        }
    }
    settings.endGroup();
}

void RecentFileList::Save(QSettings& settings) const {
    settings.beginGroup(group_);
    for (int i = 0; i < kMaxEntries; ++i) {
        if (i < files_.size()) {
            settings.setValue(EntryKey(keyPrefix_, i), files_[i]);
        } else {
            settings.remove(EntryKey(keyPrefix_, i));
        }
    }
    settings.endGroup();
}

}  // namespace zelk
