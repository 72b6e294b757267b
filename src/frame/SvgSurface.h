#pragma once
// The plot as an SVG document, written directly from the surface operations:
// integer coordinates, one element per fill, text and run of lines. Shapes
// are drawn with crisp edges on pixel centres, so that a viewer shows the
// plot as the screen does; text is "DejaVu Sans" at 11 px on an opaque cell
// as wide as the plot font's advance (from the glyph table), in the
// background colour, as on the screen.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "frame/VectorSurface.h"

namespace zelk {

class SvgSurface : public VectorSurface {
  public:
    // cellHeight and ascent: of the plot font; advance: the width of a text.
    struct Font {
        int cellHeight;
        int ascent;
        int (*advance)(std::string_view text);
    };

    SvgSurface(int width, int height, const Font& font);

    void FillSolidRect(int x, int y, int cx, int cy, Colour colour) override;
    void TextOut(int x, int y, std::string_view text) override;

    // Room for a document of about bytes, asked for at once: a large plot's
    // document otherwise grows by doubling, copying itself each time into
    // fresh memory.
    void Reserve(std::size_t bytes) { out_.reserve(bytes); }

    // The whole document; ends the drawing.
    std::string Finish();

  private:
    void StrokeRun(const std::vector<int>& run, Colour colour, int width, bool dashed) override;

    std::string out_;
    Font font_;
};

}  // namespace zelk
