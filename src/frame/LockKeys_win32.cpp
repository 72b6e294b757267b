// The lock keys on Windows: the toggle bit of each key's state. No Qt here,
// so the core-only Windows build compiles it too.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "frame/LockKeys.h"

namespace zelk {

std::optional<LockKeyState> QueryLockKeys() {
    LockKeyState s;
    s.caps = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    s.num = (::GetKeyState(VK_NUMLOCK) & 1) != 0;
    s.scroll = (::GetKeyState(VK_SCROLL) & 1) != 0;
    return s;
}

}  // namespace zelk
