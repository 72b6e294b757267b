#include <windows.h>

#include "app/Terminal.h"

namespace zelk {

// A windowed program started from Explorer has no console; one started from
// a console window can attach to it.
bool StandardErrorIsTerminal() {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return GetConsoleWindow() != nullptr && handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) == FILE_TYPE_CHAR;
}

}  // namespace zelk
