#pragma once
// SIGTERM, SIGHUP and SIGINT as ordinary events of the application. The
// handler only writes the signal's number to a pipe; the event loop reads it
// and emits received(), where Zelk can stop a running fitting program and
// put FIT.INP back before it ends. Where the platform has no such signals,
// Install() does nothing and returns false.

#include <QObject>

class QSocketNotifier;

namespace zelk {

class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Catches the signals from now on (once per process); false when that
    // cannot be done here.
    bool Install();

  signals:
    void received(int signalNumber);

  private:
    void ReadPending();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zelk
