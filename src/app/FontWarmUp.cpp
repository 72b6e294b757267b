#include "app/FontWarmUp.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#include "platform/Platform.h"

namespace zelk {

FontWarmUp::FontWarmUp()
    : thread_([this, f = withQt_.get_future()]() mutable { Run(std::move(f)); }) {}

FontWarmUp::~FontWarmUp() {
    Finish();
}

FontWarmUp::Join FontWarmUp::ContinueWithQt() {
    if (!answered_) {
        answered_ = true;
        withQt_.set_value(true);
    }
    return Join(*this);
}

void FontWarmUp::Finish() {
    if (!answered_) {
        answered_ = true;
        withQt_.set_value(false);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void FontWarmUp::Run(std::future<bool> withQt) {
    // Fontconfig and Qt's font database write about half a megabyte of fresh
    // memory here, while the main thread waits for the processor it shares.
    platform::PrepareThreadHeapForStartUp();
    WarmSystemFonts();
    if (!withQt.get() || QCoreApplication::instance() == nullptr) {
        return;
    }
    // QFontDatabase may be used from any thread; the first call fills the
    // database that every font of the window is then looked up in. Measuring
    // the window's font once also fills the shared cache of its fallback
    // fonts (font engines themselves are kept per thread).
    (void)QFontDatabase::families();
    (void)QFontMetrics(QGuiApplication::font()).height();
    filledQt_ = true;
}

}  // namespace zelk
