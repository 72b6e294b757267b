#pragma once
// The view's one data block: the task's file names, the axis settings, the three
// curve sets, the counters and the readers' working fields. Everything the
// drawing pass draws comes from here and from nowhere else.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "plot/ReadCache.h"
#include "plot/TextStream.h"

namespace zelk {

inline constexpr int MAX_POINTS = 3500;
inline constexpr int MAX_CURVES = 12;

// Up to MAX_CURVES curves over one shared grid of up to MAX_POINTS abscissae.
// The ordinate of point p of curve c lives at y[p * MAX_CURVES + c]: the stride
// is always 12, whatever curveCount is. Entries beyond the counts are never
// cleared; every consumer stops at the counts. The arrays have no initialiser
// of their own: a PlotState gets them zeroed from its allocation (below), and
// CurveSet{} zeroes them as before.
struct CurveSet {
    std::array<float, MAX_POINTS> x;
    std::array<float, MAX_POINTS * MAX_CURVES> y;
    std::int32_t pointCount = 0;
    std::int32_t curveCount = 0;
};

// Counts clamped to what the arrays hold; a negative count reads as zero.
inline int UsablePoints(const CurveSet& set) {
    return set.pointCount < 0 ? 0 : (set.pointCount > MAX_POINTS ? MAX_POINTS : set.pointCount);
}
inline int UsableCurves(const CurveSet& set) {
    return set.curveCount < 0 ? 0 : (set.curveCount > MAX_CURVES ? MAX_CURVES : set.curveCount);
}

// About 560 KB: allocate it on the heap, never on the stack. Its memory comes
// zeroed (operator new below), which with the members' initialisers gives the
// all-zero starting state the drawing pass expects before the first task: no
// curves, no ticks, only the background. The curve arrays take their zeros
// from the allocation alone, so std::make_unique_for_overwrite<PlotState>()
// writes none of their 140 pages: fresh memory from the system is zero
// already, and a page is only brought in when a reader fills it. (Where the
// allocation comes from heap already in memory, as on the large page of
// platform::PrepareHeapForStartUp, calloc clears it, which there is cheap.)
// std::make_unique<PlotState>() zeroes them again, at that cost.
struct PlotState {
    static void* operator new(std::size_t size) {
        if (void* memory = std::calloc(1, size)) {
            return memory;
        }
        throw std::bad_alloc();
    }
    static void operator delete(void* memory) noexcept { std::free(memory); }

    std::string workDir;
    std::string windowsDir;
    std::string modelFile;
    std::string expFile;
    std::string editedFile;
    std::string optFile;
    std::string fitProgram;
    std::string resFile;
    std::string axisFile;
    std::string lineBuf;      // last line read; lines are read whole, however long
    std::string scratchText;  // formatting scratch, no meaning between operations
    TextStream curFile;       // the file the running operation reads; empty between operations
    std::int32_t snapshotCount = 0;
    std::int32_t fitRunCount = 0;
    float markerX1 = 0.0f;
    float markerX2 = 0.0f;
    float eps = 0.0f;
    float epsPrevious = 0.0f;
    CurveSet experimental;
    std::array<float, MAX_POINTS> plotY;
    CurveSet result;
    CurveSet previous;
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    float xMin = 0.0f;
    float yMin = 0.0f;
    float xMax = 0.0f;
    float yMax = 0.0f;
    std::int32_t scaleType = 0;
    float xStep = 0.0f;
    float yStep = 0.0f;
    float stackFactor = 0.0f;
    float stackOffset = 0.0f;
    std::int32_t experimentFlag = 0;
    // Whether what the result set and eps hold may be drawn as the current
    // fit. A fit command clears them when its run left no result file, or no
    // EPS.res of its own; a read of the files sets them again. While a fit
    // run is going (fitRunning) the newest run is not counted yet, so the plot
    // shows the state from before it.
    bool fitRunning = false;
    bool resultCurrent = true;
    bool epsCurrent = true;
    ReadCache readCache;  // the curve reader's last parses; see ReadCurveFiles
};

}  // namespace zelk
