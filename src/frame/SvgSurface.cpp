#include "frame/SvgSurface.h"

#include <charconv>

namespace zelk {

namespace {

void AppendInt(std::string& out, long long v) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr);
}

void AppendColour(std::string& out, Colour c) {
    static constexpr char kHex[] = "0123456789abcdef";
    const int parts[] = {RedOf(c), GreenOf(c), BlueOf(c)};
    out += '#';
    for (const int v : parts) {
        out += kHex[v >> 4];
        out += kHex[v & 15];
    }
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                // Control characters have no place in XML.
                out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
                break;
        }
    }
}

}  // namespace

SvgSurface::SvgSurface(int width, int height, const Font& font) : font_(font) {
    out_.reserve(1 << 16);
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    AppendInt(out_, width);
    out_ += "\" height=\"";
    AppendInt(out_, height);
    out_ += "\" viewBox=\"0 0 ";
    AppendInt(out_, width);
    out_ += ' ';
    AppendInt(out_, height);
    out_ +=
        "\">\n<title>Zelk plot</title>\n"
        "<g shape-rendering=\"crispEdges\" stroke-linecap=\"round\" stroke-linejoin=\"round\" "
        "font-family=\"DejaVu Sans\" font-size=\"11px\">\n";
}

void SvgSurface::FillSolidRect(int x, int y, int cx, int cy, Colour colour) {
    Flush();
    if (cx > 0 && cy > 0) {
        out_ += "<rect x=\"";
        AppendInt(out_, x);
        out_ += "\" y=\"";
        AppendInt(out_, y);
        out_ += "\" width=\"";
        AppendInt(out_, cx);
        out_ += "\" height=\"";
        AppendInt(out_, cy);
        out_ += "\" fill=\"";
        AppendColour(out_, colour);
        out_ += "\"/>\n";
    }
    SetBackground(colour);
}

void SvgSurface::StrokeRun(const std::vector<int>& run, Colour colour, int width, bool dashed) {
    out_ += "<polyline fill=\"none\" stroke=\"";
    AppendColour(out_, colour);
    out_ += "\" stroke-width=\"";
    AppendInt(out_, width);
    out_ += dashed ? "\" stroke-dasharray=\"3 3\" points=\"" : "\" points=\"";
    // An odd width is centred on the pixel's middle, an even one on its
    // corner, which is where the raster's square brush lies.
    const char* const half = width % 2 == 1 ? ".5" : "";
    for (std::size_t i = 0; i + 1 < run.size(); i += 2) {
        if (i > 0) {
            out_ += ' ';
        }
        AppendInt(out_, run[i]);
        out_ += half;
        out_ += ',';
        AppendInt(out_, run[i + 1]);
        out_ += half;
    }
    out_ += "\"/>\n";
}

void SvgSurface::TextOut(int x, int y, std::string_view text) {
    Flush();
    const int width = font_.advance(text);
    if (width > 0) {
        FillSolidRect(x, y, width, font_.cellHeight, background());
    }
    out_ += "<text xml:space=\"preserve\" x=\"";
    AppendInt(out_, x);
    out_ += "\" y=\"";
    AppendInt(out_, static_cast<long long>(y) + font_.ascent);
    out_ += "\">";
    AppendEscaped(out_, text);
    out_ += "</text>\n";
}

std::string SvgSurface::Finish() {
    Flush();
    out_ += "</g>\n</svg>\n";
    return std::move(out_);
}

}  // namespace zelk
