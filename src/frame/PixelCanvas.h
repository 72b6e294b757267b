#pragma once
// Lines and fills written straight into 32-bit image memory with the pixel
// rules of a classic device context. QPainterSurface uses it whenever it paints
// on a plain image, where Qt's own line rules differ (Qt leaves out the pixel
// at the lower or right end of a line, whichever way it runs) and where
// per-call overhead would dominate the tens of thousands of short segments and
// small squares of a full plot.
//
// Every coordinate is clipped here; lines far outside the image cost no more
// than the part that crosses it.

#include <cstddef>
#include <cstdint>

namespace zelk {

class PixelCanvas {
  public:
    // bits: first pixel of row 0; stride: pixels from one row to the next.
    PixelCanvas(std::uint32_t* bits, int stride, int width, int height)
        : bits_(bits), stride_(stride), width_(width), height_(height) {}

    struct Pen {
        std::uint32_t colour;      // the pixel value of the pen
        std::uint32_t background;  // gaps of a dotted pen
        int width;    // 1: end pixel left out; >1: a width x width brush, ends included
        bool dotted;  // 1-pixel pens only
    };

    static constexpr int kDotOn = 3;
    static constexpr int kDotOff = 3;

    void Fill(int x, int y, int cx, int cy, std::uint32_t pixel);

    // Draws from (x0, y0) to (x1, y1). phase is the position in the dot
    // pattern at the first pixel and is advanced past the line.
    void Line(int x0, int y0, int x1, int y1, const Pen& pen, int& phase);

    // One pixel, when it lies inside the image.
    void Point(int x, int y, std::uint32_t pixel) { Plot(x, y, pixel); }

    int width() const { return width_; }
    int height() const { return height_; }

  private:
    void Plot(int x, int y, std::uint32_t pixel) {
        if (static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
            static_cast<unsigned>(y) < static_cast<unsigned>(height_)) {
            bits_[static_cast<std::ptrdiff_t>(y) * stride_ + x] = pixel;
        }
    }

    std::uint32_t* bits_;
    int stride_;
    int width_;
    int height_;
};

}  // namespace zelk
