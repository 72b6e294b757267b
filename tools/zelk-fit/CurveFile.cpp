#include "CurveFile.h"

#include "Text.h"

namespace zelk::fit {
namespace {

// Header text after the counts that a reader taking 99 characters at a time
// (line end included) still skips whole.
constexpr std::size_t kMaxTitleText = 98;

}  // namespace

CurveData ParseCurveFile(std::string_view text, const std::string& fileName) {
    const auto lines = SplitLines(text);
    std::size_t lineIndex = 0;
    std::vector<std::string_view> words;
    std::size_t wordIndex = 0;
    // Next word of the file, with the number of its line; empty at the end.
    auto next = [&](std::size_t& line) -> std::string_view {
        while (wordIndex == words.size()) {
            if (lineIndex == lines.size()) {
                line = lines.size();
                return {};
            }
            words = SplitWords(lines[lineIndex++], false);
            wordIndex = 0;
        }
        line = lineIndex;
        return words[wordIndex++];
    };
    auto fail = [&](std::size_t line, const std::string& message) {
        throw FitError(fileName + ":" + std::to_string(line) + ": " + message);
    };

    std::size_t line = 0;
    const auto countN = ParseInteger(next(line));
    const auto countM = ParseInteger(next(line));
    if (!countN || !countM) {
        fail(1, "the file must begin with the point count and the curve count");
    }
    if (*countN < 1 || static_cast<std::uint64_t>(*countN) > kMaxPoints) {
        fail(1, "the point count must lie between 1 and " + std::to_string(kMaxPoints));
    }
    if (*countM < 1 || static_cast<std::uint64_t>(*countM) > kMaxCurves) {
        fail(1, "the curve count must lie between 1 and " + std::to_string(kMaxCurves));
    }
    if (wordIndex != words.size()) {
        fail(1,
             "text after the two counts on the first line; the points must begin on the "
             "next line");
    }
    const auto n = static_cast<std::size_t>(*countN);
    const auto m = static_cast<std::size_t>(*countM);
    CurveData data;
    data.x.resize(n);
    data.y.assign(m, std::vector<double>(n));
    for (std::size_t p = 0; p < n; ++p) {
        for (std::size_t c = 0; c <= m; ++c) {
            const std::string_view word = next(line);
            if (word.empty()) {
                fail(line, "the file ends after " + std::to_string(p) + " of its " +
                               std::to_string(n) + " points");
            }
            const auto value = ParseNumber(word);
            if (!value) {
                fail(line, "\"" + std::string(word) + "\" is not a number");
            }
            (c == 0 ? data.x[p] : data.y[c - 1][p]) = *value;
        }
    }
    return data;
}

std::string FormatResultFile(const CurveData& data, const std::vector<std::string>& titles) {
    const std::size_t n = data.x.size();
    const std::size_t m = data.y.size();
    std::string header = " x";
    for (std::size_t c = 0; c < m; ++c) {
        header += ' ';
        header +=
            c < titles.size() && !titles[c].empty() ? titles[c] : "fit" + std::to_string(c + 1);
    }
    if (header.size() > kMaxTitleText) {
        header = " x";
        for (std::size_t c = 0; c < m; ++c) {
            header += " fit" + std::to_string(c + 1);
        }
    }
    std::string out = std::to_string(n) + ' ' + std::to_string(m) + header + '\n';
    out.reserve(out.size() + n * (m + 1) * 16);
    for (std::size_t p = 0; p < n; ++p) {
        out += FormatExact(data.x[p]);
        for (std::size_t c = 0; c < m; ++c) {
            out += ' ';
            out += FormatShort(data.y[c][p], 9);
        }
        out += '\n';
    }
    return out;
}

}  // namespace zelk::fit
