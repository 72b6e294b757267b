#pragma once
// The plot's text without Qt's fonts: a table of the plot font's glyphs for
// the printable ASCII characters, made at build time from the font as Qt
// draws it (make_plot_glyphs), and the routine that writes a text with it the
// way QPainterSurface::TextOut does: black glyphs on an opaque cell of the
// background colour, as wide as the text's advance and as tall as the font.

#include <cstdint>
#include <string_view>

#include "frame/PixelCanvas.h"

namespace zelk::glyphs {

struct Pixel {
    int dx;  // from the pen position
    int dy;  // from the top of the cell
};

struct Glyph {
    int advance;
    int first;  // its black pixels: pixels[first, first + count)
    int count;
};

struct Kern {
    int left;
    int right;
    int adjust;  // added to the advance of left when right follows
};

struct Table {
    int cellHeight;
    int ascent;
    const Glyph* glyphs;  // one per character from 0x20 to 0x7E
    const Pixel* pixels;
    const Kern* kerning;
    int kernCount;
    const Kern* ligatures;  // pairs Qt draws as one shape; the table cannot
    int ligatureCount;
};

// Generated from the font at build time.
extern const Table kTable;

// True when the table draws text exactly as Qt does: every character is in
// it and no two neighbours form a ligature. Labels and EPS texts always are.
bool CanDraw(std::string_view text);

// The width of the text's cell, kerning included.
int Advance(std::string_view text);

// Writes text with its cell's top-left corner at (x, y); characters outside
// the table advance by nothing and draw nothing.
void DrawText(PixelCanvas& canvas, int x, int y, std::string_view text, std::uint32_t background);

}  // namespace zelk::glyphs
