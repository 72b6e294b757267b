#pragma once
// The toggle state of the three lock keys, for the status bar's indicators.

#include <optional>

namespace zelk {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The current state, or nothing where the platform does not report it (then
// the indicators are hidden).
std::optional<LockKeyState> QueryLockKeys();

}  // namespace zelk
