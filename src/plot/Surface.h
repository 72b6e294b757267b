#pragma once
// The drawing surface the plotter paints on: exactly the operations the
// drawing needs, with the pixel semantics of a classic device context.
//  - FillSolidRect also makes its colour the background colour, which the
//    opaque text cells and the gaps of dotted lines then take.
//  - LineTo leaves out the end pixel.
//  - TextOut writes black text on an opaque cell of the background colour,
//    top-left corner at the point.
//  - SelectNewPen creates a pen and selects it; RestorePen selects the pen
//    that was current before and deletes the new one. Use PenGuard.

#include <cstdint>
#include <string_view>

namespace zelk {

// 0x00BBGGRR
using Colour = std::uint32_t;

inline constexpr Colour RGB(int r, int g, int b) {
    return static_cast<Colour>(r & 0xFF) | (static_cast<Colour>(g & 0xFF) << 8) |
           (static_cast<Colour>(b & 0xFF) << 16);
}
inline constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DOT = 2;

class Surface {
public:
    virtual ~Surface() = default;
    virtual void FillSolidRect(int x, int y, int cx, int cy, Colour colour) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual void SelectNewPen(int style, int width, Colour colour) = 0;
    virtual void RestorePen() = 0;
};

// Selects a new pen for its lifetime and always puts the previous one back,
// also when an exception passes through.
class PenGuard {
public:
    PenGuard(Surface& surface, int style, int width, Colour colour) : surface_(surface) {
        surface_.SelectNewPen(style, width, colour);
    }
    ~PenGuard() { surface_.RestorePen(); }
    PenGuard(const PenGuard&) = delete;
    PenGuard& operator=(const PenGuard&) = delete;

private:
    Surface& surface_;
};

}  // namespace zelk
