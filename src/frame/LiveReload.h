#pragma once
// Following the task's files while another program changes them: the task
// file, the axis file, the experimental and result files and EPS.res. A change
// is read with the same readers as the task commands, into a copy of the plot
// state; the copy is adopted only when every read was clean, so a file caught
// half-written never costs the picture on screen, and never ends Zelk.

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/InputFile.h"
#include "plot/TextStream.h"

class QFileSystemWatcher;
class QTimer;

namespace zelk {

struct PlotState;

class LiveReload : public QObject {
    Q_OBJECT
  public:
    // Quiet time after the last change before the files are read: a program
    // that writes in several steps is read once, when it is done.
    static constexpr int kSettleMs = 150;
    // The longest a change waits for the files to settle.
    static constexpr int kLongestWaitMs = 400;

    // state is the view's; busy says when Zelk's own editor or fit run is
    // going on, whose writes are the commands' to read.
    LiveReload(PlotState& state, std::function<bool()> busy, QObject* parent = nullptr);
    ~LiveReload() override;

    // Off, nothing is watched; on again, what changed meanwhile is read.
    void SetEnabled(bool on);
    bool enabled() const { return enabled_; }

    // Takes the files as read: called after every task load, which reads
    // them all itself. A file the load read whole counts as the content it
    // read, so that a write made after that read is still followed; any other
    // counts as it is now. Also picks up new file names.
    void Rearm();

    // What a command read of the followed files. After it, only those count
    // as read (as Rearm has it); a change to another one made meanwhile is
    // still followed.
    enum class Reads { Nothing, Axis, Curves, Everything };
    void TakeAsRead(Reads reads);

    // Reads what changed since the last look, now (the timer calls this).
    void CheckNow();

    // The paths being followed, for tests and the status bar.
    QStringList followedFiles() const;

    // How many times a followed file was read to stamp it (not counting the
    // readers' own reads); for tests and benchmarks.
    long digests() const { return digests_; }

    // For tests: runs after a reload has read the files and before they are
    // taken as read, where another program's write may fall.
    void SetAfterReadForTests(std::function<void()> hook) { afterRead_ = std::move(hook); }

  signals:
    // The state took the files' new contents; axisChanged when the axis
    // settings differ from before.
    void reloaded(const QStringList& files, bool axisChanged);
    // A change could not be read; text names the file and says why.
    void failed(const QString& text);

  private:
    struct Stamp {
        bool exists = false;
        bool empty = false;
        std::uint64_t digest = 0;
        bool operator==(const Stamp&) const = default;
    };
    enum class Role { Task, Axis, Curves };
    struct Followed {
        Role role;
        std::string name;  // as the readers open it
    };

    void OnPathChanged();
    void Watch();
    QHash<QString, Followed> Files() const;
    Stamp StampOf(const QString& path);
    // Stamps path with what a reader read of it, when it read it whole.
    bool TakeRead(const QString& path, const Followed& followed,
                  const std::vector<FileRead>& reads);
    // After the watches were set anew: whether one of paths differs from its
    // stamp, and if so a check as for a change event.
    void LookAgain(const QStringList& paths);

    PlotState& state_;
    std::function<bool()> busy_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
    QElapsedTimer pendingSince_;
    bool enabled_ = true;
    QString folder_;
    QHash<QString, Stamp> stamps_;
    // The last stamp of each followed file whose times stood for its content
    // when it was read: while its identity, size and times stay, its content
    // has not changed and is not read again.
    struct Known {
        platform::FileStamp file;
        Stamp stamp;
    };
    QHash<QString, Known> known_;
    std::vector<char> buffer_;
    long digests_ = 0;
    std::function<void()> afterRead_;
};

}  // namespace zelk
