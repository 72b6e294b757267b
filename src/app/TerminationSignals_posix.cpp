#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

#include "app/TerminationSignals.h"

namespace zelk {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The pipe between the handler and the event loop: [0] read, [1] write.
int g_pipe[2] = {-1, -1};
// What the signals did before, put back when the watcher goes.
struct sigaction g_before[std::size(kSignals)];

extern "C" void OnTerminationSignal(int signalNumber) {
    // Only what is safe in a handler: one write, errno kept.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &g_before[i], nullptr);
    }
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool TerminationSignals::Install() {
    if (notifier_ != nullptr || g_pipe[0] >= 0) {
        return notifier_ != nullptr;
    }
    // Close-on-exec: the fitting program and the editor must not hold it;
    // non-blocking: a burst of signals never blocks the handler.
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPending);
    struct sigaction action {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &g_before[i]);
    }
    return true;
}

void TerminationSignals::ReadPending() {
    unsigned char bytes[64];
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            emit received(bytes[i]);
        }
    }
}

}  // namespace zelk
