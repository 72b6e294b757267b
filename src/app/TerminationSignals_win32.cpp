#include "app/TerminationSignals.h"

namespace zelk {

// Windows ends a GUI program through its window (WM_CLOSE, the session's end
// messages), which the main window already handles.
TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

bool TerminationSignals::Install() {
    return false;
}

void TerminationSignals::ReadPending() {}

}  // namespace zelk
