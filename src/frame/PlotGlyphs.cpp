#include "frame/PlotGlyphs.h"

namespace zelk::glyphs {

namespace {

constexpr unsigned char kFirst = 0x20;
constexpr unsigned char kLast = 0x7E;
constexpr std::uint32_t kBlack = 0xFF000000u;

const Glyph* Find(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= kFirst && u <= kLast ? &kTable.glyphs[u - kFirst] : nullptr;
}

int Kerning(char left, char right) {
    // A handful of pairs at most among the characters of a plot's labels.
    for (int i = 0; i < kTable.kernCount; ++i) {
        const Kern& k = kTable.kerning[i];
        if (k.left == static_cast<unsigned char>(left) &&
            k.right == static_cast<unsigned char>(right)) {
            return k.adjust;
        }
    }
    return 0;
}

// Pen positions of the characters: the advance of each, plus the kerning
// with the next one.
template <typename Visit>
int Walk(std::string_view text, Visit&& visit) {
    int pen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = Find(text[i]);
        if (glyph == nullptr) {
            continue;
        }
        visit(*glyph, pen);
        pen += glyph->advance;
        if (i + 1 < text.size() && kTable.kernCount > 0) {
            pen += Kerning(text[i], text[i + 1]);
        }
    }
    return pen;
}

}  // namespace

bool CanDraw(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Find(text[i]) == nullptr) {
            return false;
        }
        for (int k = 0; i + 1 < text.size() && k < kTable.ligatureCount; ++k) {
            if (kTable.ligatures[k].left == static_cast<unsigned char>(text[i]) &&
                kTable.ligatures[k].right == static_cast<unsigned char>(text[i + 1])) {
                return false;
            }
        }
    }
    return true;
}

int Advance(std::string_view text) {
    return Walk(text, [](const Glyph&, int) {});
}

void DrawText(PixelCanvas& canvas, int x, int y, std::string_view text, std::uint32_t background) {
    const int width = Advance(text);
    if (width > 0) {
        canvas.Fill(x, y, width, kTable.cellHeight, background);
    }
    Walk(text, [&](const Glyph& glyph, int pen) {
        for (int i = glyph.first; i < glyph.first + glyph.count; ++i) {
            const Pixel& p = kTable.pixels[i];
            // In 64 bits: a cell at the far end of int stays clear of overflow.
            const std::int64_t px = std::int64_t{x} + pen + p.dx;
            const std::int64_t py = std::int64_t{y} + p.dy;
            if (px >= 0 && py >= 0 && px < canvas.width() && py < canvas.height()) {
                canvas.Point(static_cast<int>(px), static_cast<int>(py), kBlack);
            }
        }
    });
}

}  // namespace zelk::glyphs
