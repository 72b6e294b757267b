#pragma once
// Whether Zelk was started from a terminal, where standard error is read.
// Started from a desktop (a menu entry, a file manager), nobody sees
// standard error, so start-up failures are also shown in a message box.

namespace zelk {

bool StandardErrorIsTerminal();

}  // namespace zelk
