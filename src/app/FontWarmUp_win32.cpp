// Windows keeps its font list in the system; Qt's font database is still
// filled on the second thread (FontWarmUp.cpp).

#include "app/FontWarmUp.h"

namespace zelk {

void WarmSystemFonts() {}

}  // namespace zelk
