#include "plot/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace zelk {

void AppendFixed(std::string& out, double value, int width, int precision) {
    // A float widened to double has at most 39 integer digits; a double at most
    // 309. 512 characters hold either with any precision we use.
    std::array<char, 512> buf{};
    char* end = buf.data();
    if (std::isnan(value)) {
        // printf writes "nan" or "-nan" by the sign bit; to_chars agrees, but
        // spell it out so the text never depends on the library.
        const char* text = std::signbit(value) ? "-nan" : "nan";
        for (const char* c = text; *c != '\0'; ++c) {
            *end++ = *c;
        }
    } else {
        auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                    std::chars_format::fixed, precision);
        end = result.ec == std::errc() ? result.ptr : buf.data();
    }
    const auto length = static_cast<int>(end - buf.data());
    if (length < width) {
        out.append(static_cast<std::size_t>(width - length), ' ');
    }
    out.append(buf.data(), end);
}

std::string FormatFixed(double value, int width, int precision) {
    std::string out;
    AppendFixed(out, value, width, precision);
    return out;
}

}  // namespace zelk
