#pragma once
// printf-style fixed-point formatting ("%W.Pf") that never depends on the
// process locale: labels print "0.50" under de_DE too.

#include <string>

namespace zelk {

// The text of printf("%*.*f", width, precision, value) in the C locale:
// right-aligned with blanks to at least width characters, never cut.
std::string FormatFixed(double value, int width, int precision);

// Appends the same text to out (no allocation when out has room).
void AppendFixed(std::string& out, double value, int width, int precision);

}  // namespace zelk
