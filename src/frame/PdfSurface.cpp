#include "frame/PdfSurface.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "frame/PlotGlyphs.h"

namespace zelk {

namespace {

constexpr int kFirstChar = 0x20;
constexpr int kLastChar = 0x7E;

void AppendInt(std::string& out, long long v) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr);
}

// A colour component as a fraction with up to three decimals.
void AppendComponent(std::string& out, int v) {
    if (v == 0 || v == 255) {
        out += v == 0 ? '0' : '1';
        return;
    }
    const int thousandths = (v * 1000 + 127) / 255;
    out += "0.";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", thousandths);
    out += buf;
}

void AppendRgb(std::string& out, Colour c) {
    AppendComponent(out, RedOf(c));
    out += ' ';
    AppendComponent(out, GreenOf(c));
    out += ' ';
    AppendComponent(out, BlueOf(c));
}

// Appends the zlib stream of in to out through a small buffer, so that no
// more memory is touched than the compressed bytes need: a buffer of the
// compressed size's bound (about the size of the input) was zeroed first and
// then copied, megabytes of fresh pages for a full plot.
bool AppendDeflated(std::string_view in, std::string& out) {
    z_stream z{};
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK) {
        return false;
    }
    std::array<unsigned char, 64 * 1024> buffer;
    const auto* next = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t left = in.size();
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0 && left > 0) {
            // zlib counts its input in uInt: hand it over in pieces it can count.
            const std::size_t piece = std::min<std::size_t>(left, 1u << 30);
            z.next_in = const_cast<unsigned char*>(next);
            z.avail_in = static_cast<uInt>(piece);
            next += piece;
            left -= piece;
        }
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        status = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            deflateEnd(&z);
            return false;
        }
        out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - z.avail_out);
    }
    deflateEnd(&z);
    return true;
}

// A string in a PDF literal: backslash, parentheses escaped; characters
// outside the font become blanks.
void AppendPdfString(std::string& out, std::string_view text) {
    out += '(';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < kFirstChar || u > kLastChar) {
            out += ' ';
        } else {
            if (c == '(' || c == ')' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
    }
    out += ')';
}

// The plot font as a Type 3 font: one unit is one pixel, each glyph the black
// pixels of the glyph table, row by row, as runs of filled rectangles.
std::string GlyphProcedure(int c) {
    const glyphs::Glyph& glyph = glyphs::kTable.glyphs[c - kFirstChar];
    std::string proc;
    AppendInt(proc, glyph.advance);
    proc += " 0 d0\n";
    const glyphs::Pixel* pixels = glyphs::kTable.pixels + glyph.first;
    for (int i = 0; i < glyph.count;) {
        // The table lists pixels row by row, left to right: join runs.
        int j = i + 1;
        while (j < glyph.count && pixels[j].dy == pixels[i].dy &&
               pixels[j].dx == pixels[j - 1].dx + 1) {
            ++j;
        }
        AppendInt(proc, pixels[i].dx);
        proc += ' ';
        AppendInt(proc, glyphs::kTable.ascent - pixels[i].dy - 1);
        proc += ' ';
        AppendInt(proc, j - i);
        proc += " 1 re\n";
        i = j;
    }
    if (glyph.count > 0) {
        proc += "f\n";
    }
    return proc;
}

}  // namespace

PdfSurface::PdfSurface(int width, int height) : width_(width), height_(height) {
    content_.reserve(1 << 16);
    // One unit of user space is one pixel, 1/96 inch.
    content_ += "0.75 0 0 0.75 0 0 cm\n";
}

void PdfSurface::SetFill(Colour colour) {
    if (fill_ != colour) {
        AppendRgb(content_, colour);
        content_ += " rg\n";
        fill_ = colour;
    }
}

void PdfSurface::SetStroke(Colour colour) {
    if (stroke_ != colour) {
        AppendRgb(content_, colour);
        content_ += " RG\n";
        stroke_ = colour;
    }
}

// PDF's y axis grows upward from the bottom of the page.
void PdfSurface::AppendX(long long x, bool half) {
    AppendInt(content_, x);
    if (half) {
        content_ += ".5";
    }
}

void PdfSurface::AppendY(long long y, bool half) {
    if (half) {
        // The middle of pixel row y: height - y - 0.5.
        const long long v = static_cast<long long>(height_) - y - 1;
        if (v < 0) {
            content_ += '-';
            AppendInt(content_, -v - 1);
        } else {
            AppendInt(content_, v);
        }
        content_ += ".5";
    } else {
        AppendInt(content_, static_cast<long long>(height_) - y);
    }
}

void PdfSurface::FillSolidRect(int x, int y, int cx, int cy, Colour colour) {
    Flush();
    if (cx > 0 && cy > 0) {
        SetFill(colour);
        AppendInt(content_, x);
        content_ += ' ';
        AppendInt(content_, static_cast<long long>(height_) - y - cy);
        content_ += ' ';
        AppendInt(content_, cx);
        content_ += ' ';
        AppendInt(content_, cy);
        content_ += " re f\n";
    }
    SetBackground(colour);
}

void PdfSurface::StrokeRun(const std::vector<int>& run, Colour colour, int width, bool dashed) {
    SetStroke(colour);
    AppendInt(content_, width);
    content_ += width > 1 ? " w 1 J 1 j " : " w 0 J 0 j ";
    content_ += dashed ? "[3 3] 0 d\n" : "[] 0 d\n";
    // An odd width is centred on the pixel's middle, an even one on its
    // corner, which is where the raster's square brush lies.
    const bool half = width % 2 == 1;
    for (std::size_t i = 0; i + 1 < run.size(); i += 2) {
        AppendX(run[i], half);
        content_ += ' ';
        AppendY(run[i + 1], half);
        content_ += i == 0 ? " m\n" : " l\n";
    }
    content_ += "S\n";
}

void PdfSurface::TextOut(int x, int y, std::string_view text) {
    Flush();
    const int width = glyphs::Advance(text);
    if (width > 0) {
        FillSolidRect(x, y, width, glyphs::kTable.cellHeight, background());
    }
    if (text.empty()) {
        return;
    }
    SetFill(RGB(0, 0, 0));
    content_ += "BT /F1 1 Tf ";
    AppendInt(content_, x);
    content_ += ' ';
    AppendInt(content_, static_cast<long long>(height_) - y - glyphs::kTable.ascent);
    content_ += " Td [";
    // Kerning as adjustments in thousandths of a pixel.
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const int kern = glyphs::Advance(text.substr(i, 2)) - glyphs::Advance(text.substr(i, 1)) -
                         glyphs::Advance(text.substr(i + 1, 1));
        if (kern != 0) {
            AppendPdfString(content_, text.substr(start, i + 1 - start));
            content_ += ' ';
            AppendInt(content_, -1000LL * kern);
            content_ += ' ';
            start = i + 1;
        }
    }
    AppendPdfString(content_, text.substr(start));
    content_ += "] TJ ET\n";
}

std::string PdfSurface::Finish(std::string_view title, std::string_view creator) {
    Flush();
    std::string pdf;
    // Room for the whole document at once: the compressed drawing is at most
    // its bound, and what is not written is never touched.
    pdf.reserve(compressBound(static_cast<uLong>(content_.size())) + 64 * 1024);
    pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    const auto begin = [&] {
        offsets.push_back(pdf.size());
        AppendInt(pdf, static_cast<long long>(offsets.size()));
        pdf += " 0 obj\n";
    };
    // The drawing is compressed straight into the document, then its
    // dictionary, which needs the compressed length, is put before it.
    const auto stream = [&](std::string_view data, bool compress) -> bool {
        std::string head = "<< /Length ";
        const std::size_t at = pdf.size();
        if (compress) {
            if (!AppendDeflated(data, pdf)) {
                return false;
            }
            AppendInt(head, static_cast<long long>(pdf.size() - at));
            head += " /Filter /FlateDecode >>\nstream\n";
        } else {
            AppendInt(head, static_cast<long long>(data.size()));
            head += " >>\nstream\n";
            pdf += data;
        }
        pdf.insert(at, head);
        pdf += "\nendstream\nendobj\n";
        return true;
    };
    const long long w = width_;
    const long long h = height_;
    constexpr int kGlyphCount = kLastChar - kFirstChar + 1;
    constexpr int kFirstProc = 8;  // objects 8 ... 8 + 94: the glyphs

    begin();  // 1: catalog
    pdf += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    begin();  // 2: pages
    pdf += "<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
    begin();  // 3: the page, 96 pixels to the inch
    pdf += "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    AppendInt(pdf, w * 3 / 4);
    pdf += (w * 3) % 4 == 0 ? "" : (w * 3) % 4 == 2 ? ".5" : (w * 3) % 4 == 1 ? ".25" : ".75";
    pdf += ' ';
    AppendInt(pdf, h * 3 / 4);
    pdf += (h * 3) % 4 == 0 ? "" : (h * 3) % 4 == 2 ? ".5" : (h * 3) % 4 == 1 ? ".25" : ".75";
    pdf += "] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>\nendobj\n";
    begin();  // 4: the drawing
    if (!stream(content_, true)) {
        return {};
    }
    begin();  // 5: the plot font
    pdf +=
        "<< /Type /Font /Subtype /Type3 /FontBBox [-8 -8 24 24] "
        "/FontMatrix [1 0 0 1 0 0] /FirstChar 32 /LastChar 126 /Widths [";
    for (int c = kFirstChar; c <= kLastChar; ++c) {
        AppendInt(pdf, glyphs::kTable.glyphs[c - kFirstChar].advance);
        pdf += c == kLastChar ? "]" : " ";
    }
    pdf += " /Encoding 6 0 R /CharProcs 7 0 R /ToUnicode ";
    AppendInt(pdf, kFirstProc + kGlyphCount);
    pdf += " 0 R /Resources << >> >>\nendobj\n";
    begin();  // 6: glyph names g32 ... g126
    pdf += "<< /Type /Encoding /Differences [32";
    for (int c = kFirstChar; c <= kLastChar; ++c) {
        pdf += " /g";
        AppendInt(pdf, c);
    }
    pdf += "] >>\nendobj\n";
    begin();  // 7: the glyph procedures by name
    pdf += "<<";
    for (int c = kFirstChar; c <= kLastChar; ++c) {
        pdf += " /g";
        AppendInt(pdf, c);
        pdf += ' ';
        AppendInt(pdf, kFirstProc + c - kFirstChar);
        pdf += " 0 R";
    }
    pdf += " >>\nendobj\n";
    for (int c = kFirstChar; c <= kLastChar; ++c) {
        begin();
        stream(GlyphProcedure(c), false);
    }
    begin();  // the text as characters, for search and copy
    stream(
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
        "1 begincodespacerange <00> <FF> endcodespacerange\n"
        "1 beginbfrange <20> <7E> <0020> endbfrange\n"
        "endcmap CMapName currentdict /CMap defineresource pop end end",
        false);
    begin();  // document information
    pdf += "<< /Title ";
    AppendPdfString(pdf, title);
    pdf += " /Creator ";
    AppendPdfString(pdf, creator);
    pdf += " >>\nendobj\n";

    const std::size_t xref = pdf.size();
    pdf += "xref\n0 ";
    AppendInt(pdf, static_cast<long long>(offsets.size()) + 1);
    pdf += "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size ";
    AppendInt(pdf, static_cast<long long>(offsets.size()) + 1);
    pdf += " /Root 1 0 R /Info ";
    AppendInt(pdf, static_cast<long long>(offsets.size()));
    pdf += " 0 R >>\nstartxref\n";
    AppendInt(pdf, static_cast<long long>(xref));
    pdf += "\n%%EOF\n";
    return pdf;
}

}  // namespace zelk
