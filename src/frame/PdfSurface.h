#pragma once
// The plot as a one-page PDF document, written directly from the surface
// operations: a page of the plot's size at 96 pixels to the inch, fills and
// lines in whole pixels, and text in a font made from the glyph table (each
// glyph drawn as the pixels the screen shows), which keeps the text
// searchable and the look the screen's.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "frame/VectorSurface.h"

namespace zelk {

class PdfSurface : public VectorSurface {
  public:
    PdfSurface(int width, int height);

    void FillSolidRect(int x, int y, int cx, int cy, Colour colour) override;
    void TextOut(int x, int y, std::string_view text) override;

    // The whole file; ends the drawing. Empty when compression failed.
    std::string Finish(std::string_view title, std::string_view creator);

    // Room for a page description of about bytes, asked for at once (see
    // SvgSurface::Reserve).
    void Reserve(std::size_t bytes) { content_.reserve(bytes); }

  private:
    void StrokeRun(const std::vector<int>& run, Colour colour, int width, bool dashed) override;
    void SetFill(Colour colour);
    void SetStroke(Colour colour);
    void AppendX(long long x, bool half);
    void AppendY(long long y, bool half);

    int width_;
    int height_;
    std::string content_;
    long long fill_ = -1;  // colours in force in the content, -1: none yet
    long long stroke_ = -1;
};

}  // namespace zelk
