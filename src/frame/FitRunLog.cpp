#include "frame/FitRunLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zelk {
namespace {

const QString kLogSuffix = QStringLiteral(".log");
const QString kPartSuffix = QStringLiteral(".log.part");

}  // namespace

QString FitRunLog::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/runs");
}

FitRunLog::FitRunLog(QString folder, qint64 maxOutputBytes)
    : folder_(std::move(folder)), maxOutputBytes_(maxOutputBytes) {}

FitRunLog::~FitRunLog() {
    if (file_.isOpen()) {
        Finish(QStringLiteral("(the log ended here)"));
    }
}

bool FitRunLog::Begin(const QDateTime& start, const QString& heading) {
    if (file_.isOpen()) {
        Finish(QStringLiteral("(the log ended here)"));
    }
    finalPath_.clear();
    lineOpen_ = false;
    outputBytes_ = 0;
    if (folder_.isEmpty() || !QDir().mkpath(folder_)) {
        return false;
    }
    const QString stem = start.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                         QStringLiteral("-%1").arg(QCoreApplication::applicationPid());
    // A name already taken (two runs in one millisecond) gets a number.
    for (int n = 0; n < 100; ++n) {
        const QString name = n == 0 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        const QString path = QDir(folder_).filePath(name);
        if (QFileInfo::exists(path + kLogSuffix)) {
            continue;
        }
        file_.setFileName(path + kPartSuffix);
        // NewOnly: never written through whatever already has this name.
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            finalPath_ = path + kLogSuffix;
            WriteLine(heading);
            return true;
        }
    }
    return false;
}

void FitRunLog::WriteLine(const QString& text) {
    if (!file_.isOpen()) {
        return;
    }
    QByteArray line = text.toUtf8();
    if (lineOpen_) {
        line.prepend('\n');
    }
    line.append('\n');
    file_.write(line);
    lineOpen_ = false;
}

void FitRunLog::Append(QByteArrayView bytes) {
    if (!file_.isOpen() || bytes.isEmpty() || outputBytes_ > maxOutputBytes_) {
        return;
    }
    const qint64 room = maxOutputBytes_ - outputBytes_;
    const QByteArrayView kept = bytes.first(std::min<qint64>(bytes.size(), room));
    outputBytes_ += bytes.size();
    if (!kept.isEmpty()) {
        file_.write(kept.data(), kept.size());
        lineOpen_ = kept.back() != '\n';
    }
    if (outputBytes_ > maxOutputBytes_) {
        WriteLine(QStringLiteral("Zelk: the log stops here; the output went on past %1 bytes")
                      .arg(maxOutputBytes_));
    }
}

void FitRunLog::AddNote(const QString& text) {
    WriteLine(QStringLiteral("Zelk: ") + text);
}

QString FitRunLog::Finish(const QString& endLine) {
    if (!file_.isOpen()) {
        return {};
    }
    WriteLine(endLine);
    const QString partPath = file_.fileName();
    const bool written = file_.error() == QFileDevice::NoError;
    file_.close();
    QString result;
    if (written && QFile::rename(partPath, finalPath_)) {
        result = finalPath_;
    } else {
        result = partPath;  // kept under its temporary name rather than lost
    }
    Prune(folder_, kKeep);
    return result;
}

void FitRunLog::Prune(const QString& folder, int keep, const QString& spare) {
    QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral("*") + kLogSuffix, QStringLiteral("*") + kPartSuffix},
                      QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    qsizetype excess = names.size() - keep;
    for (const QString& name : names) {
        if (excess <= 0) {
            break;
        }
        const QString path = dir.filePath(name);
        if (!spare.isEmpty() && QFileInfo(path) == QFileInfo(spare)) {
            continue;
        }
        dir.remove(name);
        --excess;
    }
}

}  // namespace zelk
