#include "frame/PixelCanvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zelk {

void PixelCanvas::Fill(int x, int y, int cx, int cy, std::uint32_t pixel) {
    if (cx <= 0 || cy <= 0) {
        return;
    }
    // The many small squares of a plot lie inside the image: no clipping.
    if (x >= 0 && y >= 0 && cx <= 8 && cy <= 8 && x <= width_ - cx && y <= height_ - cy) {
        std::uint32_t* p = bits_ + static_cast<std::ptrdiff_t>(y) * stride_ + x;
        for (int row = 0; row < cy; ++row, p += stride_) {
            for (int col = 0; col < cx; ++col) {
                p[col] = pixel;
            }
        }
        return;
    }
    // 64-bit ends: x + cx may exceed int for any ints a caller passes.
    const auto x0 = std::max<std::int64_t>(x, 0);
    const auto y0 = std::max<std::int64_t>(y, 0);
    const auto x1 = std::min<std::int64_t>(static_cast<std::int64_t>(x) + cx, width_);
    const auto y1 = std::min<std::int64_t>(static_cast<std::int64_t>(y) + cy, height_);
    if (x0 >= x1 || y0 >= y1) {
        return;  // wholly outside the image
    }
    // The first row pixel by pixel, the others copied from it: the frame and
    // the plot area cover most of the picture, and the library's copy moves
    // many pixels a step.
    std::uint32_t* first = bits_ + y0 * stride_ + x0;
    std::fill(first, first + (x1 - x0), pixel);
    const auto bytes = static_cast<std::size_t>(x1 - x0) * sizeof(std::uint32_t);
    for (auto row = y0 + 1; row < y1; ++row) {
        std::memcpy(bits_ + row * stride_ + x0, first, bytes);
    }
}

// Bresenham with the end pixel left out for 1-pixel pens. Step i of n goes
// i along the major axis and round(i * minor / major) along the minor one;
// only the steps whose major coordinate lies within the image (widened by the
// brush) are visited, so a line's cost is bounded by the image size.
void PixelCanvas::Line(int x0, int y0, int x1, int y1, const Pen& pen, int& phase) {
    const std::int64_t dx = static_cast<std::int64_t>(x1) - x0;
    const std::int64_t dy = static_cast<std::int64_t>(y1) - y0;
    if (dx == 0 && dy == 0) {
        return;  // a line of no length draws nothing
    }
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const std::int64_t minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t a0 = xMajor ? x0 : y0;  // major start
    const std::int64_t b0 = xMajor ? y0 : x0;  // minor start
    const std::int64_t extentMajor = xMajor ? width_ : height_;
    const std::int64_t extentMinor = xMajor ? height_ : width_;

    const int brush = pen.width > 1 ? std::min(pen.width, 64) : 1;
    const int lead = brush / 2;  // the brush covers [p - lead, p - lead + brush)
    const std::int64_t steps = brush > 1 ? major + 1 : major;

    // Steps whose brush can touch the image along the major axis: the brush
    // at p covers [p - lead, p - lead + brush).
    const std::int64_t lo = lead - brush + 1;
    const std::int64_t hi = extentMajor - 1 + lead;
    std::int64_t iFirst = 0;
    std::int64_t iLast = steps - 1;
    if (sMajor > 0) {
        iFirst = std::max(iFirst, lo - a0);
        iLast = std::min(iLast, hi - a0);
    } else {
        iFirst = std::max(iFirst, a0 - hi);
        iLast = std::min(iLast, a0 - lo);
    }
    if (iFirst <= iLast) {
        // Minor offset of step i: floor((2 i minor + major) / (2 major)),
        // carried forward with the remainder e.
        std::int64_t q = 0;
        std::int64_t e = major;
        if (iFirst > 0) {  // clipped: one division finds the entry point
            // iFirst * minor < 2^64 since both are below 2^32; the doubled sum
            // of the formula above is not, so split it into quotient and
            // remainder by major first.
            const std::uint64_t t =
                static_cast<std::uint64_t>(iFirst) * static_cast<std::uint64_t>(minor);
            const auto m = static_cast<std::uint64_t>(major);
            q = static_cast<std::int64_t>(t / m);
            const auto r = static_cast<std::int64_t>(t % m);
            e = 2 * r + major;
            if (e >= 2 * major) {
                e -= 2 * major;
                ++q;
            }
        }
        const int dotPeriod = kDotOn + kDotOff;
        int dot = static_cast<int>((phase + iFirst) % dotPeriod);
        for (std::int64_t i = iFirst; i <= iLast; ++i) {
            const std::int64_t a = a0 + sMajor * i;
            const std::int64_t b = b0 + sMinor * q;
            if (b + brush - lead > 0 && b - lead < extentMinor) {
                const auto px = static_cast<int>(xMajor ? a : b);
                const auto py = static_cast<int>(xMajor ? b : a);
                if (brush == 1) {
                    Plot(px, py, pen.dotted && dot >= kDotOn ? pen.background : pen.colour);
                } else {
                    Fill(px - lead, py - lead, brush, brush, pen.colour);
                }
            }
            if (++dot == dotPeriod) {
                dot = 0;
            }
            e += 2 * minor;
            if (e >= 2 * major) {
                e -= 2 * major;
                ++q;
            }
        }
    }
    phase = static_cast<int>((phase + major) % (kDotOn + kDotOff));
}

}  // namespace zelk
