// The start-up font warm-up: the thread always ends, touches Qt only once the
// application exists and it is told to, and leaves Qt's font database filled.

#include "app/FontWarmUp.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

namespace zelk {
namespace {

TEST(FontWarmUp, FillsQtsFontDatabaseOnceTheApplicationExists) {
    FontWarmUp fonts;
    { const FontWarmUp::Join joined = fonts.ContinueWithQt(); }
    EXPECT_TRUE(fonts.filledQtDatabase());
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
    EXPECT_GT(QFontMetrics(QGuiApplication::font()).height(), 0);
}

// Start-up can end before the application is made (a command-line error, a
// display that cannot be opened): the thread must end without Qt.
TEST(FontWarmUp, EndsWithoutQtWhenNotToldToGoOn) {
    for (int i = 0; i < 20; ++i) {
        FontWarmUp fonts;
        fonts.Finish();
        EXPECT_FALSE(fonts.filledQtDatabase());
    }
    FontWarmUp dropped;  // destroyed without a word: joins all the same
}

TEST(FontWarmUp, FinishAndJoinMayBothEndIt) {
    FontWarmUp fonts;
    {
        const FontWarmUp::Join joined = fonts.ContinueWithQt();
        fonts.Finish();
        EXPECT_TRUE(fonts.filledQtDatabase());
    }
    fonts.Finish();
}

}  // namespace
}  // namespace zelk
