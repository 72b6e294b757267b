#pragma once
// The toolbar's pictures: letters painted at whatever size and scale the
// button needs, so they stay sharp on every screen.

#include <QIcon>

#include "frame/CommandTable.h"

namespace zelk {

QIcon MakeToolbarIcon(const ToolbarButton& button);

}  // namespace zelk
