#pragma once
// The one way a computed position becomes a device pixel. Positions are worked
// out in floating point and truncated toward zero when handed to a surface;
// NaN, infinities and values far beyond any screen must never reach an int
// conversion (undefined behaviour) nor make a coordinate sum overflow.

#include <cmath>
#include <limits>

namespace zelk {

// Coordinates are saturated to +-kPixelLimit. Far beyond any device, yet small
// enough that sums of a few such values and a client size stay within int.
inline constexpr int kPixelLimit = 1 << 22;

// Truncates toward zero; saturates at +-kPixelLimit; NaN gives 0. Callers that
// must leave a point out test IsFinitePosition first.
inline int ToPixel(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= kPixelLimit) {
        return kPixelLimit;
    }
    if (v <= -kPixelLimit) {
        return -kPixelLimit;
    }
    return static_cast<int>(v);
}

// A double rounded to single precision, as positions and ordinates are held.
// Beyond the float range the result is an infinity rather than the undefined
// behaviour of a plain conversion; NaN stays NaN.
inline float ToSingle(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) {
        return std::numeric_limits<float>::infinity();
    }
    if (v < -kMax) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
}

inline bool IsFinitePosition(float x, float y) {
    return std::isfinite(x) && std::isfinite(y);
}

// Client sizes are clamped the same way, so that W - 65, H - 40 and the like
// never overflow whatever size a caller passes.
inline int ClampExtent(int v) {
    return v > kPixelLimit ? kPixelLimit : (v < -kPixelLimit ? -kPixelLimit : v);
}

}  // namespace zelk
