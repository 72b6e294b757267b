#include "frame/LiveReload.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "plot/ContentDigest.h"
#include "plot/Host.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

// The readers' voice on this path: nothing modal, nothing that ends the
// process. Messages are kept for the status bar; the fatal path throws so
// that no read after it runs and the copy is dropped.
class QuietHost : public Host {
  public:
    std::vector<std::string> messages;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    [[noreturn]] void Fatal(const std::string& text) override { throw FatalError(text); }
    void Redraw() override {}
    int LaunchAndWait(const std::string&, const std::vector<std::string>&,
                      const std::string&) override {
        return -1;  // the readers never start a program
    }
    bool RunNewModelDialog(NewModelDlgData&) override { return false; }
};

// A message that reports a read that still gave usable data.
bool OnlyInforms(const std::string& message) {
    // A missing result or EPS.res is a fit that left none (the state then
    // draws no fit), not a file caught half-written.
    return message.find(" - cut to ") != std::string::npos ||
           message.starts_with("fileRES - absent !!!") ||
           message.starts_with("EPS.res - absent !!!");
}

QString OneLine(const std::string& text) {
    QString line = QString::fromStdString(text);
    line.replace(QLatin1Char('\n'), QStringLiteral(" - "));
    return line;
}

// "Not reloaded: " and what went wrong, on one line for the status bar. A
// reader's message whose second line gives the detail (naming the file)
// shows that detail first, its first line after it in brackets.
QString FailureText(const std::string& file, const std::string& why) {
    const std::size_t newline = why.find('\n');
    if (newline != std::string::npos) {
        const std::string detail = why.substr(newline + 1);
        const std::string headline = why.substr(0, newline);
        const std::string named =
            detail.rfind(file, 0) == 0 || file.empty() ? detail : file + " - " + detail;
        return QStringLiteral("Not reloaded: %1 (%2)")
            .arg(OneLine(named), QString::fromStdString(headline));
    }
    return QStringLiteral("Not reloaded: %1 - %2").arg(QString::fromStdString(file), OneLine(why));
}

bool SameAxis(const PlotState& a, const PlotState& b) {
    return a.xMin == b.xMin && a.xMax == b.xMax && a.yMin == b.yMin && a.yMax == b.yMax &&
           a.scaleType == b.scaleType && a.xStep == b.xStep && a.yStep == b.yStep &&
           a.stackFactor == b.stackFactor && a.stackOffset == b.stackOffset;
}

}  // namespace

LiveReload::LiveReload(PlotState& state, std::function<bool()> busy, QObject* parent)
    : QObject(parent),
      state_(state),
      busy_(std::move(busy)),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this)) {
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMs);
    connect(settle_, &QTimer::timeout, this, &LiveReload::CheckNow);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &LiveReload::OnPathChanged);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &LiveReload::OnPathChanged);
}

LiveReload::~LiveReload() = default;

void LiveReload::SetEnabled(bool on) {
    enabled_ = on;
    if (on) {
        // Catch up with what changed while not following.
        Watch();
        CheckNow();
    } else {
        settle_->stop();
        if (!watcher_->files().isEmpty()) {
            watcher_->removePaths(watcher_->files());
        }
        if (!watcher_->directories().isEmpty()) {
            watcher_->removePaths(watcher_->directories());
        }
    }
}

QHash<QString, LiveReload::Followed> LiveReload::Files() const {
    QHash<QString, Followed> files;
    if (state_.workDir.empty()) {
        return files;
    }
    const QDir dir(QString::fromStdString(state_.workDir));
    const auto add = [&](const std::string& name, Role role) {
        if (!name.empty()) {
            files.insert(QDir::cleanPath(dir.absoluteFilePath(QString::fromStdString(name))),
                         Followed{role, name});
        }
    };
    add(state_.expFile, Role::Curves);
    add(state_.resFile, Role::Curves);
    add("EPS.res", Role::Curves);
    add(state_.axisFile, Role::Axis);
    add("START_A.INP", Role::Task);
    return files;
}

QStringList LiveReload::followedFiles() const {
    QStringList files = Files().keys();
    files.sort();
    return files;
}

LiveReload::Stamp LiveReload::StampOf(const QString& path) {
    platform::InputFile file;
    if (file.Open(path.toStdString()) != platform::OpenError::None) {
        known_.remove(path);
        return Stamp{};  // missing, not a regular file, or not readable
    }
    if (const auto it = known_.constFind(path); it != known_.cend() && it->file == file.Stamp()) {
        return it->stamp;
    }
    // The folder is read after every command and on every change beside the
    // task: a file whose times have settled is read again only once they move.
    Stamp stamp;
    stamp.exists = true;
    stamp.empty = file.Stamp().size == 0;
    ++digests_;
    // As large as the file, up to 64 KiB: growing the buffer writes zeros
    // over every byte of it, and most followed files are small.
    const auto wanted =
        static_cast<std::size_t>(std::clamp<std::int64_t>(file.Stamp().size + 1, 4096, 64 * 1024));
    if (buffer_.size() < wanted) {
        buffer_.resize(wanted);
    }
    ContentDigest digest;
    std::ptrdiff_t got = 0;
    while ((got = file.Read(buffer_.data(), buffer_.size())) > 0) {
        digest.Add(buffer_.data(), static_cast<std::size_t>(got));
    }
    stamp.digest = digest.Value();
    if (got == 0 && file.Settled()) {
        known_.insert(path, Known{file.Stamp(), stamp});
    } else {
        known_.remove(path);
    }
    return stamp;
}

bool LiveReload::TakeRead(const QString& path, const Followed& followed,
                          const std::vector<FileRead>& reads) {
    const auto read = std::find_if(reads.crbegin(), reads.crend(),
                                   [&](const FileRead& r) { return r.path == followed.name; });
    if (read == reads.crend() || !read->whole) {
        return false;
    }
    const Stamp stamp{true, read->stamp.size == 0, read->digest};
    stamps_.insert(path, stamp);
    if (read->settled) {
        known_.insert(path, Known{read->stamp, stamp});
    }
    return true;
}

void LiveReload::LookAgain(const QStringList& paths) {
    if (!enabled_) {
        return;  // turned on again, it looks at every file anyway
    }
    for (const QString& path : paths) {
        if (!(StampOf(path) == stamps_.value(path))) {
            OnPathChanged();
            return;
        }
    }
}

void LiveReload::Rearm() {
    const std::vector<FileRead> reads = state_.curFile.TakeReads();
    stamps_.clear();
    const QHash<QString, Followed> files = Files();
    for (auto it = known_.begin(); it != known_.end();) {
        it = files.contains(it.key()) ? std::next(it) : known_.erase(it);
    }
    // A file the load read is stamped with what it read: the state holds
    // that, whatever another program wrote since. The files are not read
    // again for it; only a file that was not settled then is looked at again
    // once the watches are set.
    QStringList readByLoad;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (TakeRead(it.key(), it.value(), reads)) {
            readByLoad.append(it.key());
        } else {
            stamps_.insert(it.key(), StampOf(it.key()));
        }
    }
    Watch();
    LookAgain(readByLoad);
}

void LiveReload::TakeAsRead(Reads reads) {
    if (reads == Reads::Everything) {
        Rearm();
        return;
    }
    const std::vector<FileRead> taken = state_.curFile.TakeReads();
    const QHash<QString, Followed> files = Files();
    bool unread = false;
    QStringList readByCommand;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const Role role = it.value().role;
        const bool read = (reads == Reads::Axis && role == Role::Axis) ||
                          (reads == Reads::Curves && role == Role::Curves);
        if (read && TakeRead(it.key(), it.value(), taken)) {
            readByCommand.append(it.key());
            continue;
        }
        const Stamp stamp = StampOf(it.key());
        if (read || !stamps_.contains(it.key())) {
            stamps_.insert(it.key(), stamp);
        } else if (!(stamps_.value(it.key()) == stamp)) {
            unread = true;
        }
    }
    Watch();
    if (unread && enabled_) {
        // Changed while the command ran, and not read by it.
        pendingSince_.start();
        settle_->start();
    } else {
        LookAgain(readByCommand);
    }
}

void LiveReload::Watch() {
    if (!watcher_->files().isEmpty()) {
        watcher_->removePaths(watcher_->files());
    }
    if (!watcher_->directories().isEmpty()) {
        watcher_->removePaths(watcher_->directories());
    }
    if (!enabled_ || state_.workDir.empty()) {
        return;
    }
    // The folder sees a file renamed over a followed one (an editor's or a
    // fitting program's safe save); the files see writes in place. A watch on
    // a file replaced by a rename is gone, so the paths are added anew.
    const QString folder = QString::fromStdString(state_.workDir);
    if (QFileInfo(folder).isDir()) {
        watcher_->addPath(folder);
    }
    QStringList existing;
    for (const QString& path : Files().keys()) {
        if (QFileInfo(path).isFile()) {
            existing.append(path);
        }
    }
    if (!existing.isEmpty()) {
        watcher_->addPaths(existing);
    }
}

void LiveReload::OnPathChanged() {
    if (!enabled_) {
        return;
    }
    // Each change restarts the quiet time, but a folder that never goes quiet
    // (a program writing its log beside the task) must not hold the reload
    // back: after kLongestWaitMs of changes the files are read regardless.
    if (!settle_->isActive()) {
        pendingSince_.start();
        settle_->start();
    } else if (pendingSince_.elapsed() < kLongestWaitMs - kSettleMs) {
        settle_->start();
    }
}

void LiveReload::CheckNow() {
    // During Zelk's own editor or fit run the files are the command's: it
    // reads them itself and takes them as read when it is done.
    if (!enabled_ || busy_()) {
        return;
    }
    const QHash<QString, Followed> files = Files();
    QHash<QString, Stamp> now;
    QSet<Role> changed;
    QStringList changedNames;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const Stamp stamp = StampOf(it.key());
        now.insert(it.key(), stamp);
        if (!stamps_.contains(it.key()) || !(stamps_.value(it.key()) == stamp)) {
            changed.insert(it.value().role);
            changedNames.append(QFileInfo(it.key()).fileName());
        }
    }
    Watch();
    if (changed.isEmpty()) {
        return;
    }
    // Whatever comes of this read, this is the content that was looked at:
    // the next change tries again, an unchanged broken file is not re-read.
    stamps_ = now;
    changedNames.sort();

    // An empty file is one being written: truncated, its content still to come.
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const Stamp& stamp = now.value(it.key());
        if (stamp.exists && stamp.empty && changedNames.contains(QFileInfo(it.key()).fileName())) {
            emit failed(QStringLiteral("Not reloaded: %1 - the file is empty")
                            .arg(QFileInfo(it.key()).fileName()));
            return;
        }
    }

    const bool task = changed.contains(Role::Task);
    const bool axis = task || changed.contains(Role::Axis);
    const bool curves = task || changed.contains(Role::Curves);
    // Read in the readers' live mode: nothing shown, nothing ends Zelk, and
    // the report says whether every file was whole.
    auto copy = std::make_unique<PlotState>(state_);
    const QDir dir(QString::fromStdString(state_.workDir));
    QuietHost host;
    const auto clean = [&](const std::string& file, const ReadReport& report) {
        std::string why;
        bool absent = false;
        for (const std::string& message : report.messages) {
            if (!OnlyInforms(message)) {
                why = message;
                break;
            }
            absent = absent || message.find(" - absent !!!") != std::string::npos;
        }
        // A file that is not there is not one caught half-written: the read
        // of the others stands.
        if (why.empty() && (report.complete || absent)) {
            return true;
        }
        if (why.empty()) {
            why = "the file is not complete";
        }
        emit failed(FailureText(file, why));
        return false;
    };
    try {
        if (task && !clean("START_A.INP", ReadTaskFile(*copy, host, ReadMode::Live))) {
            return;
        }
        if (axis && !clean(copy->axisFile, ReadAxisFile(*copy, host, ReadMode::Live))) {
            return;
        }
        if (curves) {
            // What is read now is drawn, as after "Gr": a result file that is
            // there is the current fit, an absent one leaves none.
            if (copy->fitRunCount > 0) {
                copy->resultCurrent =
                    QFileInfo(dir.absoluteFilePath(QString::fromStdString(copy->resFile))).isFile();
                copy->epsCurrent =
                    QFileInfo(dir.absoluteFilePath(QStringLiteral("EPS.res"))).isFile();
            }
            if (!clean(changedNames.join(QStringLiteral(", ")).toStdString(),
                       ReadCurveFiles(*copy, host, ReadMode::Live))) {
                return;
            }
        }
    } catch (const FatalError& error) {
        // Not expected in the live mode; should a reader still take the fatal
        // path, the copy is dropped all the same.
        emit failed(QStringLiteral("Not reloaded: %1 - %2")
                        .arg(changedNames.join(QStringLiteral(", ")), OneLine(error.what())));
        return;
    }
    const bool axisChanged = !SameAxis(state_, *copy);
    const std::vector<FileRead> reads = copy->curFile.TakeReads();
    state_ = *copy;
    if (afterRead_) {
        afterRead_();
    }
    // A file read whole counts as what was read, any other as it was stamped
    // before the read, so that a write made while the files were read is
    // followed in its turn. A new task file may name other files: those are
    // stamped now.
    stamps_.clear();
    QStringList lookAgain;
    const QHash<QString, Followed> followed = Files();
    for (auto it = followed.cbegin(); it != followed.cend(); ++it) {
        if (TakeRead(it.key(), it.value(), reads)) {
            lookAgain.append(it.key());
        } else if (now.contains(it.key())) {
            stamps_.insert(it.key(), now.value(it.key()));
            lookAgain.append(it.key());
        } else {
            stamps_.insert(it.key(), StampOf(it.key()));
        }
    }
    // Watches set anew drop what they had not yet reported: one look tells
    // whether a file changed meanwhile. Unchanged settled files are not read
    // for it.
    Watch();
    LookAgain(lookAgain);
    emit reloaded(changedNames, axisChanged);
}

}  // namespace zelk
