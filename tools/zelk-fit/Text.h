#pragma once
// Small text helpers of the demo fitting program. Numbers are read and
// written with <charconv>, so neither depends on the user's locale.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fit {

// Every input problem is reported with one of these; the message names the
// file and, where it helps, the line.
class FitError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A whole token as a finite decimal number ("2.5", "-1e3", "+4"); nothing
// else, no "nan" or "inf".
std::optional<double> ParseNumber(std::string_view token);
// A whole token as a decimal integer with an optional sign.
std::optional<std::int64_t> ParseInteger(std::string_view token);

// The lines of a text; a CR before a LF belongs to the line end.
std::vector<std::string_view> SplitLines(std::string_view text);
// Blank- or tab-separated words of one line; a '#' starts a comment when
// commentsAllowed is set.
std::vector<std::string_view> SplitWords(std::string_view line, bool commentsAllowed);

// The shortest text that reads back as exactly the same double.
std::string FormatExact(double value);
// Up to `digits` significant digits, for ordinates.
std::string FormatShort(double value, int digits);

// The whole file, or a FitError naming it by `role` ("model file") when it
// cannot be read. Files above 64 MiB are refused.
std::string ReadWholeFile(const std::string& path, std::string_view role);
// Writes through a new temporary file beside `path` and renames it into
// place, so a failed run never leaves half a file behind (see Output.h).
void WriteWholeFile(const std::string& path, std::string_view text);

}  // namespace zelk::fit
