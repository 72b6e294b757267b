#include "app/FontWarmUp.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

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
