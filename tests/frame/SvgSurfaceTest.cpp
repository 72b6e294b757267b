// The SVG writer: well-formed documents whatever the texts hold, the
// background colour of text cells and dotted gaps, pens restored, and lines
// on the pixel centres where the raster draws them.

#include "frame/SvgSurface.h"

#include <gtest/gtest.h>

#include <QString>
#include <QXmlStreamReader>
#include <string>

namespace zelk {
namespace {

int SevenPerCharacter(std::string_view text) {
    return static_cast<int>(text.size()) * 7;
}

const SvgSurface::Font kFont{13, 10, SevenPerCharacter};

bool WellFormed(const std::string& svg) {
    QXmlStreamReader xml(QString::fromStdString(svg));
    while (!xml.atEnd()) {
        xml.readNext();
    }
    return !xml.hasError();
}

TEST(SvgSurface, ElementsOfEachOperation) {
    struct Case {
        const char* what;
        void (*draw)(SvgSurface&);
        const char* expected;
    };
    const Case cases[] = {
        {"fill", [](SvgSurface& s) { s.FillSolidRect(1, 2, 3, 4, RGB(200, 200, 255)); },
         "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" fill=\"#c8c8ff\"/>"},
        {"a solid 1-pixel line on pixel centres",
         [](SvgSurface& s) {
             s.MoveTo(45, 326);
             s.LineTo(45, 320);
             s.LineTo(50, 320);
         },
         "stroke=\"#000000\" stroke-width=\"1\" points=\"45.5,326.5 45.5,320.5 50.5,320.5\"/>"},
        {"a 2-pixel pen on pixel corners",
         [](SvgSurface& s) {
             s.SelectNewPen(PS_SOLID, 2, RGB(255, 0, 0));
             s.MoveTo(1, 1);
             s.LineTo(9, 5);
             s.RestorePen();
         },
         "stroke=\"#ff0000\" stroke-width=\"2\" points=\"1,1 9,5\"/>"},
        {"dotted gaps in the colour of the last fill",
         [](SvgSurface& s) {
             s.FillSolidRect(61, 41, 1, 1, RGB(255, 255, 255));
             s.SelectNewPen(PS_DOT, 1, RGB(0, 0, 0));
             s.MoveTo(0, 5);
             s.LineTo(30, 5);
             s.RestorePen();
         },
         "stroke=\"#ffffff\" stroke-width=\"1\" points=\"0.5,5.5 30.5,5.5\"/>\n"
         "<polyline fill=\"none\" stroke=\"#000000\" stroke-width=\"1\" stroke-dasharray=\"3 3\" "
         "points=\"0.5,5.5 30.5,5.5\"/>"},
        {"text on a cell of the background colour, blanks kept",
         [](SvgSurface& s) {
             s.FillSolidRect(0, 0, 0, 0, RGB(255, 255, 255));
             s.TextOut(50, 19, " EPS = <&>");
         },
         "<rect x=\"50\" y=\"19\" width=\"70\" height=\"13\" fill=\"#ffffff\"/>\n"
         "<text xml:space=\"preserve\" x=\"50\" y=\"29\"> EPS = &lt;&amp;&gt;</text>"},
        {"the previous pen back after a new one",
         [](SvgSurface& s) {
             s.SelectNewPen(PS_SOLID, 1, RGB(0, 0, 255));
             s.RestorePen();
             s.MoveTo(0, 0);
             s.LineTo(3, 0);
         },
         "stroke=\"#000000\" stroke-width=\"1\" points=\"0.5,0.5 3.5,0.5\"/>"},
    };
    for (const Case& c : cases) {
        SvgSurface surface(100, 60, kFont);
        c.draw(surface);
        const std::string svg = surface.Finish();
        EXPECT_NE(svg.find(c.expected), std::string::npos) << c.what << "\n" << svg;
        EXPECT_TRUE(WellFormed(svg)) << c.what;
    }
}

TEST(SvgSurface, NothingForEmptyFillsAndLinesOfNoLength) {
    SvgSurface surface(100, 60, kFont);
    surface.FillSolidRect(5, 5, 0, 9, RGB(255, 0, 0));
    surface.FillSolidRect(5, 5, -3, -3, RGB(255, 0, 0));
    surface.MoveTo(7, 7);
    surface.LineTo(7, 7);
    surface.MoveTo(8, 8);
    surface.TextOut(0, 0, "");
    const std::string svg = surface.Finish();
    EXPECT_EQ(svg.find("<rect"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("<polyline"), std::string::npos) << svg;
    EXPECT_TRUE(WellFormed(svg));
}

TEST(SvgSurface, ControlCharactersInTextKeepTheDocumentWellFormed) {
    SvgSurface surface(10, 10, kFont);
    surface.TextOut(0, 0, std::string("a\x01\x1f\tb\0c", 7));
    const std::string svg = surface.Finish();
    EXPECT_TRUE(WellFormed(svg)) << svg;
}

}  // namespace
}  // namespace zelk
