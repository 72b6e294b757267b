// Where Qt takes its fonts from fontconfig, the configuration (dozens of XML
// files and the font caches) is read once per process by FcInit. Reading it
// here first leaves Qt's own FcInit nothing to do.

#include <dlfcn.h>

#include "app/FontWarmUp.h"

namespace zelk {

void WarmSystemFonts() {
    // Only a fontconfig that Qt's platform libraries already brought in: if
    // there is none, Qt does not use it and there is nothing to warm.
    void* fontconfig = dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (fontconfig == nullptr) {
        return;
    }
    using InitFunction = int (*)();
    if (auto init = reinterpret_cast<InitFunction>(dlsym(fontconfig, "FcInit"))) {
        init();
    }
    dlclose(fontconfig);
}

}  // namespace zelk
