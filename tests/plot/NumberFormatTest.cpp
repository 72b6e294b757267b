#include "plot/NumberFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace zelk {
namespace {

// The C library in the C locale is the reference for every case.
TEST(FormatFixed, MatchesPrintfInTheCLocale) {
    const double values[] = {0.0,
                             -0.0,
                             0.5,
                             -0.5,
                             2.9999993,
                             1e-9,
                             0.1234567,
                             12.3456789,
                             123.456789,
                             -9.0,
                             0.005,
                             0.015,
                             2.675,
                             1e20,
                             3.4e38,
                             -1e-300,
                             static_cast<double>(0.1f),
                             999.995};
    const int formats[][2] = {{0, 2}, {10, 7}, {11, 7}};
    std::setlocale(LC_NUMERIC, "C");
    for (double v : values) {
        for (const auto& f : formats) {
            char buf[512];
            std::snprintf(buf, sizeof buf, "%*.*f", f[0], f[1], v);
            EXPECT_EQ(FormatFixed(v, f[0], f[1]), buf) << v << " %" << f[0] << "." << f[1];
        }
    }
}

TEST(FormatFixed, NonFiniteValues) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 11, 7), "        nan");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 0, 2), "inf");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 10, 7), "      -inf");
}

TEST(FormatFixed, IgnoresTheProcessLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE") == nullptr) {  // the name on Windows
        GTEST_SKIP() << "no German locale installed";
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", 0.5);
    const std::string german = buf;
    const std::string ours = FormatFixed(0.5, 0, 2);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(german, "0,50") << "the locale did not take effect";
    EXPECT_EQ(ours, "0.50");
}

}  // namespace
}  // namespace zelk
