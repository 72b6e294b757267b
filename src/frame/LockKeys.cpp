// The lock keys where there is no Win32 (LockKeys_win32.cpp): the X server's
// indicators, or nothing.

#include "frame/LockKeys.h"

#include <QGuiApplication>

#if defined(ZELK_HAVE_X11)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace zelk {

#if defined(ZELK_HAVE_X11)

namespace {

// One connection of our own, opened on first use and kept for the process:
// the indicator state is a property of the server's keyboard, not of a window.
class XkbIndicators {
  public:
    XkbIndicators() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            return;
        }
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) {
            return;
        }
        int opcode = 0, event = 0, error = 0;
        int major = XkbMajorVersion, minor = XkbMinorVersion;
        if (!XkbQueryExtension(display_, &opcode, &event, &error, &major, &minor)) {
            XCloseDisplay(display_);
            display_ = nullptr;
            return;
        }
        caps_ = XInternAtom(display_, "Caps Lock", False);
        num_ = XInternAtom(display_, "Num Lock", False);
        scroll_ = XInternAtom(display_, "Scroll Lock", False);
    }
    ~XkbIndicators() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    XkbIndicators(const XkbIndicators&) = delete;
    XkbIndicators& operator=(const XkbIndicators&) = delete;

    std::optional<LockKeyState> Query() {
        if (display_ == nullptr) {
            return std::nullopt;
        }
        LockKeyState s;
        s.caps = IsOn(caps_);
        s.num = IsOn(num_);
        s.scroll = IsOn(scroll_);
        return s;
    }

  private:
    bool IsOn(Atom name) {
        Bool on = False;
        if (!XkbGetNamedIndicator(display_, name, nullptr, &on, nullptr, nullptr)) {
            return false;
        }
        return on != False;
    }

    Display* display_ = nullptr;
    Atom caps_ = 0, num_ = 0, scroll_ = 0;
};

}  // namespace

std::optional<LockKeyState> QueryLockKeys() {
    static XkbIndicators indicators;
    return indicators.Query();
}

#else

std::optional<LockKeyState> QueryLockKeys() {
    return std::nullopt;
}

#endif

}  // namespace zelk
