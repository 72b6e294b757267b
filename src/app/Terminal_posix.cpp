#include <unistd.h>

#include "app/Terminal.h"

namespace zelk {

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace zelk
