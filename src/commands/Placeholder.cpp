#include "commands/Placeholder.h"

#include <charconv>
#include <fstream>

namespace zelk {

namespace {

// "%d" and "%.5f" without the C library's locale: a point is a point.
std::string Int(int value) {
    return std::to_string(value);
}

std::string Fixed5(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 5);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string PlaceholderLine() {
    // " %d  %d  %.5f %d  %.5f %.5f %d %d  %.5f \n"
    return " " + Int(0) + "  " + Int(1) + "  " + Fixed5(0.0) + " " + Int(1) + "  " + Fixed5(0.0) +
           " " + Fixed5(1.0) + " " + Int(0) + " " + Int(1) + "  " + Fixed5(0.0) + " \n";
}

bool WritePlaceholderFitInput(const std::string& path) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        return false;
    }
    const std::string line = PlaceholderLine();
    for (int i = 0; i < kPlaceholderLineCount; ++i) {
        out << line;
    }
    out.close();
    return !out.fail();
}

namespace {

std::string Repeated(const std::string& lineEnd) {
    std::string line = PlaceholderLine();
    line.replace(line.size() - 1, 1, lineEnd);
    std::string bytes;
    for (int i = 0; i < kPlaceholderLineCount; ++i) {
        bytes += line;
    }
    return bytes;
}

}  // namespace

std::string PlaceholderBytes() {
#ifdef _WIN32
    return Repeated("\r\n");
#else
    return Repeated("\n");
#endif
}

bool IsPlaceholder(std::string_view bytes) {
    return bytes == Repeated("\n") || bytes == Repeated("\r\n");
}

}  // namespace zelk
