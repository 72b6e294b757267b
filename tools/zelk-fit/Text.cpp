#include "Text.h"

#include "Output.h"
#include "platform/Platform.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zelk::fit {
namespace {

// from_chars takes no leading '+'; a lone sign or a doubled one is no number.
bool StripPlusSign(std::string_view& token) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
            return false;
        }
    }
    return !token.empty();
}

}  // namespace

std::optional<double> ParseNumber(std::string_view token) {
    if (!StripPlusSign(token)) {
        return std::nullopt;
    }
    // from_chars accepts "inf" and "nan"; the files never mean those.
    for (char c : token) {
        const bool ok =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok) {
            return std::nullopt;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view token) {
    if (!StripPlusSign(token)) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view line, bool commentsAllowed) {
    if (commentsAllowed) {
        line = line.substr(0, line.find('#'));
    }
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' ||
                                   line[i] == '\n' || line[i] == '\v' || line[i] == '\f')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
               line[i] != '\n' && line[i] != '\v' && line[i] != '\f') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::string FormatExact(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatShort(double value, int digits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return std::string(buffer, result.ptr);
}

std::string ReadWholeFile(const std::string& path, std::string_view role) {
    constexpr std::uintmax_t kLimit = 64u << 20;
    const std::string what = std::string(role) + " \"" + path + "\"";
    if (path.empty()) {
        throw FitError("the " + std::string(role) + " has no name in START_A.INP");
    }
    // Names are UTF-8, as Zelk writes them; on Windows a narrow path would be
    // taken in the ANSI code page.
    const std::filesystem::path name = platform::FsPath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(name, ec)) {
        throw FitError(what + " is a folder, not a file");
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        throw FitError("cannot open the " + what);
    }
    std::string text;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kLimit) {
            throw FitError("the " + what + " is larger than 64 MiB");
        }
    }
    if (in.bad()) {
        throw FitError("cannot read the " + what);
    }
    return text;
}

void WriteWholeFile(const std::string& path, std::string_view text) {
    StagedOutputs out;
    out.Stage(path, text);
    out.Commit();
}

}  // namespace zelk::fit
