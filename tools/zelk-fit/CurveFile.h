#pragma once
// Curve files: "N M" on the first line, then for each of the N points its
// abscissa and M ordinates, all separated by white space. The result file
// may carry column titles after the counts; the experimental file may not.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fit {

inline constexpr std::size_t kMaxPoints = 3500;
inline constexpr std::size_t kMaxCurves = 12;

struct CurveData {
    std::vector<double> x;
    std::vector<std::vector<double>> y;  // y[curve][point]
};

// Throws FitError naming the file and line for anything malformed.
CurveData ParseCurveFile(std::string_view text, const std::string& fileName);

// The result file: "N M" and the titles ("x" and one per curve) on the
// header line, which stays short enough for readers that take at most 98
// characters after the counts; then one line per point.
std::string FormatResultFile(const CurveData& data, const std::vector<std::string>& titles);

}  // namespace zelk::fit
