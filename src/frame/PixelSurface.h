#pragma once
// The plot's drawing surface on plain 32-bit image memory (0xFFRRGGBB pixels),
// without any window system: fills, lines and pens go to a PixelCanvas, which
// clips every operation to the image. Text is handed to a TextPainter, since
// glyphs come from elsewhere (Qt's fonts, or a glyph table).

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "frame/PixelCanvas.h"
#include "plot/Surface.h"

namespace zelk {

// An opaque pixel of the 32-bit image formats.
inline constexpr std::uint32_t ToArgb(Colour c) {
    return 0xFF000000u | (static_cast<std::uint32_t>(RedOf(c)) << 16) |
           (static_cast<std::uint32_t>(GreenOf(c)) << 8) | static_cast<std::uint32_t>(BlueOf(c));
}

class PixelSurface : public Surface {
  public:
    // Writes black text with its cell's top-left corner at (x, y) on an opaque
    // cell of the given background pixel.
    using TextPainter =
        std::function<void(PixelCanvas&, int x, int y, std::string_view, std::uint32_t)>;

    PixelSurface(const PixelCanvas& canvas, TextPainter text);

    void FillSolidRect(int x, int y, int cx, int cy, Colour colour) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text) override;
    void SelectNewPen(int style, int width, Colour colour) override;
    void RestorePen() override;

    Colour background() const { return background_; }
    PixelCanvas& canvas() { return canvas_; }

  private:
    struct PenState {
        int style;
        int width;
        Colour colour;
    };
    void UpdatePen();

    PixelCanvas canvas_;
    TextPainter text_;
    std::vector<PenState> pens_;  // back() is the current pen
    PixelCanvas::Pen pen_{};      // pens_.back() and background_ as pixels
    Colour background_;
    int currentX_ = 0;
    int currentY_ = 0;
    int dotPhase_ = 0;
};

}  // namespace zelk
