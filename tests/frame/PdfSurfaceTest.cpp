// The PDF writer: a file whose cross-reference table points at its objects,
// a page of the plot's size at 96 pixels to the inch, and a drawing with the
// y axis turned upward, lines on pixel centres, dotted gaps in the background
// colour and texts in the plot font with its kerning.

#include "frame/PdfSurface.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

#include "frame/PlotGlyphs.h"

namespace zelk {
namespace {

// The first stream of the file after "4 0 obj", inflated.
std::string Drawing(const std::string& pdf) {
    const std::size_t object = pdf.find("\n4 0 obj\n");
    const std::size_t start = pdf.find("stream\n", object) + 7;
    const std::size_t end = pdf.find("\nendstream", start);
    if (object == std::string::npos || end == std::string::npos) {
        return {};
    }
    std::string out(1 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(pdf.data() + start),
                   static_cast<uLong>(end - start)) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

TEST(PdfSurface, CrossReferencesPointAtTheObjects) {
    PdfSurface surface(465, 360);
    surface.FillSolidRect(0, 0, 465, 360, RGB(200, 200, 255));
    surface.TextOut(5, 12, "1.00");
    const std::string pdf = surface.Finish("Zelk plot", "Zelk (test)");
    ASSERT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
    ASSERT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
    const std::size_t startxref = pdf.rfind("startxref\n");
    ASSERT_NE(startxref, std::string::npos);
    const std::size_t xref = std::strtoull(pdf.c_str() + startxref + 10, nullptr, 10);
    ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
    const std::size_t count = std::strtoull(pdf.c_str() + xref + 7, nullptr, 10);
    ASSERT_GT(count, 100u);
    const std::size_t table = pdf.find('\n', xref + 5) + 1 + 20;  // past entry 0
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t offset = std::strtoull(pdf.c_str() + table + (i - 1) * 20, nullptr, 10);
        const std::string head = std::to_string(i) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(offset, head.size(), head), 0) << "object " << i;
    }
    EXPECT_NE(pdf.find("/MediaBox [0 0 348.75 270]"), std::string::npos);
    EXPECT_NE(pdf.find("/Creator (Zelk \\(test\\))"), std::string::npos);
}

TEST(PdfSurface, DrawingOfEachOperation) {
    struct Case {
        const char* what;
        void (*draw)(PdfSurface&);
        const char* expected;
    };
    const Case cases[] = {
        {"a fill, y counted from the bottom",
         [](PdfSurface& s) { s.FillSolidRect(45, 20, 400, 300, RGB(255, 255, 255)); },
         "1 1 1 rg\n45 40 400 300 re f\n"},
        {"a 1-pixel line on pixel centres",
         [](PdfSurface& s) {
             s.MoveTo(45, 326);
             s.LineTo(45, 320);
         },
         "1 w 0 J 0 j [] 0 d\n45.5 33.5 m\n45.5 39.5 l\nS\n"},
        {"a 2-pixel pen on pixel corners, round ends",
         [](PdfSurface& s) {
             s.SelectNewPen(PS_SOLID, 2, RGB(255, 0, 0));
             s.MoveTo(10, 10);
             s.LineTo(20, 10);
             s.RestorePen();
         },
         "1 0 0 RG\n2 w 1 J 1 j [] 0 d\n10 350 m\n20 350 l\nS\n"},
        {"dotted gaps in the colour of the last fill",
         [](PdfSurface& s) {
             s.FillSolidRect(61, 41, 1, 1, RGB(255, 255, 255));
             s.SelectNewPen(PS_DOT, 1, RGB(0, 0, 0));
             s.MoveTo(0, 359);
             s.LineTo(30, 359);
             s.RestorePen();
         },
         "1 1 1 RG\n1 w 0 J 0 j [] 0 d\n0.5 0.5 m\n30.5 0.5 l\nS\n0 0 0 RG\n1 w 0 J 0 j [3 3] "
         "0 d\n0.5 0.5 m\n30.5 0.5 l\nS\n"},
        {"a line below the page",
         [](PdfSurface& s) {
             s.MoveTo(0, 362);
             s.LineTo(5, 362);
         },
         "0.5 -2.5 m\n5.5 -2.5 l\n"},
        {"a colour between the ends",
         [](PdfSurface& s) { s.FillSolidRect(0, 0, 1, 1, RGB(100, 0, 155)); },
         "0.392 0 0.608 rg\n"},
        {"text on its cell, baseline at the ascent, escaped",
         [](PdfSurface& s) { s.TextOut(50, 19, "(1)"); }, "BT /F1 1 Tf 50 "},
    };
    for (const Case& c : cases) {
        PdfSurface surface(465, 360);
        c.draw(surface);
        const std::string drawing = Drawing(surface.Finish("t", "c"));
        EXPECT_NE(drawing.find(c.expected), std::string::npos) << c.what << "\n" << drawing;
    }
    PdfSurface surface(465, 360);
    surface.TextOut(50, 19, "(1)");
    const std::string drawing = Drawing(surface.Finish("t", "c"));
    const std::string baseline = std::to_string(360 - 19 - glyphs::kTable.ascent);
    EXPECT_NE(drawing.find("BT /F1 1 Tf 50 " + baseline + " Td ["), std::string::npos) << drawing;
    EXPECT_NE(drawing.find("\\(1\\)"), std::string::npos) << drawing;
}

// A full plot's drawing compresses to more than the writer's buffer holds at
// once: it comes back whole, and the stream's length is its compressed size.
TEST(PdfSurface, ADrawingLargerThanTheCompressorsBufferComesBackWhole) {
    PdfSurface surface(1280, 960);
    constexpr int kLines = 40000;
    unsigned state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % 1000);
    };
    surface.MoveTo(0, 0);
    int lastX = 0;
    int lastY = 0;
    for (int i = 0; i < kLines; ++i) {
        lastX = next();
        lastY = next();
        surface.LineTo(lastX, lastY);
    }
    const std::string pdf = surface.Finish("t", "c");
    const std::size_t object = pdf.find("\n4 0 obj\n<< /Length ");
    ASSERT_NE(object, std::string::npos);
    const std::size_t length = std::strtoull(pdf.c_str() + object + 20, nullptr, 10);
    const std::size_t start = pdf.find("stream\n", object) + 7;
    ASSERT_EQ(pdf.compare(start + length, 10, "\nendstream"), 0);
    ASSERT_GT(length, std::size_t{64 * 1024}) << "the case must need more than one buffer";
    const std::string drawing = Drawing(pdf);
    std::size_t lines = 0;
    for (std::size_t at = drawing.find(" l\n"); at != std::string::npos;
         at = drawing.find(" l\n", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, std::size_t{kLines});
    const std::string last =
        std::to_string(lastX) + ".5 " + std::to_string(960 - lastY - 1) + ".5 l\nS\n";
    EXPECT_EQ(drawing.rfind(last), drawing.size() - last.size())
        << drawing.substr(drawing.size() - 80);
}

}  // namespace
}  // namespace zelk
