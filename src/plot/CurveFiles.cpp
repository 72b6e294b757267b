// The experimental and result curve files and EPS.res.
//
// A curve file gives a point count and a curve count, then for each point its
// abscissa followed by one ordinate per curve, all separated by white space.
// The result file's header line may carry column titles after the counts.

#include <algorithm>
#include <cstdint>
#include <string>

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {
namespace {

constexpr const char* kEpsFile = "EPS.res";

// How much of a curve file the point loop takes in.
struct Layout {
    std::int32_t pointsToRead = 0;  // points stored, at most MAX_POINTS
    std::int64_t curvesInFile = 0;  // ordinates the file gives per point
    bool cut = false;               // the file holds more than the set can
};

// Cuts a count read from a file to the capacity. Counts are 32-bit signed,
// so a huge unsigned count reads as negative: it is kept as the file gives
// it and means nothing to read (every consumer treats it as empty).
std::int32_t Fit(std::int32_t count, std::int32_t capacity, bool& cut) {
    if (count > capacity) {
        cut = true;
        return capacity;
    }
    return count;
}

// "%u %u". A count that does not convert keeps the set's previous count, and
// once the first fails the second fails at the same place.
Layout ReadCounts(TextStream& in, CurveSet& set) {
    Layout layout;
    std::int32_t points = 0;
    std::int32_t curves = 0;
    bool curvesRead = false;
    if (in.ScanUnsigned(points)) {
        set.pointCount = Fit(points, MAX_POINTS, layout.cut);
        curvesRead = in.ScanUnsigned(curves);
        if (curvesRead) {
            set.curveCount = Fit(curves, MAX_CURVES, layout.cut);
        }
    }
    layout.pointsToRead = UsablePoints(set);
    layout.curvesInFile = curvesRead ? std::max<std::int32_t>(curves, 0) : UsableCurves(set);
    return layout;
}

// Stores curves 0..11 of each point but takes in every ordinate the file
// gives, so that the next abscissa is read from its own place. A conversion
// that fails leaves its entry as it was, and every later one would fail at
// the same place, so the read ends there.
void ReadPoints(TextStream& in, CurveSet& set, const Layout& layout) {
    float discarded = 0.0f;
    for (std::int32_t p = 0; p < layout.pointsToRead; ++p) {
        if (!in.ScanFloat(set.x[static_cast<std::size_t>(p)])) {
            return;
        }
        const std::size_t row = static_cast<std::size_t>(p) * MAX_CURVES;
        for (std::int64_t c = 0; c < layout.curvesInFile; ++c) {
            float& target = c < MAX_CURVES ? set.y[row + static_cast<std::size_t>(c)] : discarded;
            if (!in.ScanFloat(target)) {
                return;
            }
        }
    }
}

std::string CutMessage(const char* role, const CurveSet& set) {
    return std::string(role) + " - cut to " + std::to_string(set.pointCount) + " points and " +
           std::to_string(set.curveCount) + " curves !!!";
}

// The two curve files share one format. Only the result file has a header
// line: the fitter writes column titles after the counts, and a result file
// that ends within that line was not written out completely. In the
// experimental file text after the counts stops the point loop instead.
void ReadCurveFile(PlotState& state, Host& host, const std::string& name, const char* role,
                   CurveSet& set, bool hasHeaderLine) {
    Layout layout;
    {
        detail::ScopedFile file(state.curFile);
        if (!file.Open(name)) {
            host.ShowMessage(std::string(role) + " - absent !!!");
            return;
        }
        layout = ReadCounts(state.curFile, set);
        if (hasHeaderLine && !state.curFile.ReadLine(state.lineBuf)) {
            file.Fail(host);
        }
        ReadPoints(state.curFile, set, layout);
    }
    if (layout.cut) {
        host.ShowMessage(CutMessage(role, set));
    }
}

}  // namespace

void ReadEpsValue(PlotState& state, Host& host, float& target) {
    detail::ScopedFile file(state.curFile);
    if (!file.Open(kEpsFile)) {
        host.ShowMessage("EPS.res - absent !!!");
        return;
    }
    state.curFile.ScanFloat(target);
}

void ReadCurveFiles(PlotState& state, Host& host) {
    if (state.experimentFlag > 0) {
        ReadCurveFile(state, host, state.expFile, "fileE1", state.experimental, false);
    }
    if (state.fitRunCount > 0) {
        ReadCurveFile(state, host, state.resFile, "fileRES", state.result, true);
        if (state.experimentFlag > 0) {
            ReadEpsValue(state, host, state.eps);
        }
    }
    host.Redraw();
}

}  // namespace zelk
