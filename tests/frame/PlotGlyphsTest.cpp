// The glyph table against Qt's own text: every character a label or an EPS
// text can hold, alone and in every pair (kerning), the real labels, cells
// cut by the image's edges, and whole plots, drawn once by QPainterSurface
// and once on the pixel surface with the table: the same pixels.

#include "frame/PlotGlyphs.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "frame/PixelSurface.h"
#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"

namespace zelk {
namespace {

// The characters of "%.2f" labels and of the EPS texts: digits, sign, point
// and blank, the EPS words, and "nan", "-nan", "inf", "-inf".
const std::string kNumberCharacters = "0123456789-. ";
const char* const kWords[] = {" EPS = ", " EPSs= ", "-nan", "nan", "-inf", "inf"};

// Every pair of neighbours a label or an EPS text can hold.
std::vector<std::string> PairsOfLabels() {
    std::vector<std::string> pairs;
    for (const char a : kNumberCharacters) {
        for (const char b : kNumberCharacters) {
            pairs.push_back(std::string{a, b});
        }
    }
    for (const std::string word : kWords) {
        for (std::size_t i = 0; i + 1 < word.size(); ++i) {
            pairs.push_back(word.substr(i, 2));
        }
        for (const char c : kNumberCharacters) {
            pairs.push_back(word.substr(word.size() - 1) + c);
            pairs.push_back(std::string{c} + word.substr(0, 1));
        }
    }
    return pairs;
}

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    return image;
}

QImage QtText(int width, int height, int x, int y, const std::string& text, Colour background) {
    QImage image = Blank(width, height);
    QPainter painter(&image);
    {
        QPainterSurface surface(painter);
        surface.FillSolidRect(0, 0, 0, 0, background);
        surface.TextOut(x, y, text);
    }
    painter.end();
    return image;
}

QImage TableText(int width, int height, int x, int y, const std::string& text, Colour background) {
    QImage image = Blank(width, height);
    PixelCanvas canvas(reinterpret_cast<std::uint32_t*>(image.bits()),
                       static_cast<int>(image.bytesPerLine() / 4), width, height);
    glyphs::DrawText(canvas, x, y, text, ToArgb(background));
    return image;
}

TEST(PlotGlyphs, EveryCharacterAndPairAsQtDrawsIt) {
    std::vector<std::string> texts;
    for (int c = 0x20; c <= 0x7E; ++c) {
        texts.emplace_back(1, static_cast<char>(c));
    }
    const std::vector<std::string> pairs = PairsOfLabels();
    texts.insert(texts.end(), pairs.begin(), pairs.end());
    const QFontMetrics metrics(QPainterSurface::PlotFont());
    for (const std::string& text : texts) {
        const QImage qt = QtText(40, 24, 5, 4, text, RGB(200, 200, 255));
        const QImage table = TableText(40, 24, 5, 4, text, RGB(200, 200, 255));
        EXPECT_TRUE(glyphs::CanDraw(text)) << "'" << text << "'";
        EXPECT_EQ(qt, table) << "'" << text << "'";
        EXPECT_EQ(glyphs::Advance(text), metrics.horizontalAdvance(QString::fromStdString(text)))
            << "'" << text << "'";
    }
}

TEST(PlotGlyphs, LabelsAndTextsAsQtDrawsThem) {
    struct Case {
        std::string text;
        int x;
        int y;
        Colour background;
    };
    const Case cases[] = {
        {"0.00", 31, 328, RGB(200, 200, 255)},
        {"-0.50", -3, 12, RGB(200, 200, 255)},
        {"10.00", 428, 328, RGB(200, 200, 255)},
        {"-9.00", 5, 340, RGB(200, 200, 255)},
        {" EPS =   0.1234567", 50, 19, RGB(255, 255, 255)},
        {" EPSs= 12.3456789", 50, 4, RGB(255, 255, 255)},
        {" EPS = -1234.5678901", 50, 19, RGB(255, 0, 0)},
        {"340282346638528859811704183484516925440.00", -100, 100, RGB(200, 200, 255)},
        {"nan", 440, 350, RGB(200, 200, 255)},
        {"-inf", 460, -6, RGB(200, 200, 255)},
        {"3.10", 444, 354, RGB(200, 200, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QtText(465, 360, c.x, c.y, c.text, c.background),
                  TableText(465, 360, c.x, c.y, c.text, c.background))
            << "'" << c.text << "' at " << c.x << "," << c.y;
    }
}

// Pairs that Qt draws as one shape are known to the table, which then says
// it cannot draw them; any other pair it draws exactly.
TEST(PlotGlyphs, KnowsWhatItCannotDraw) {
    for (int a = 0x21; a <= 0x7E; ++a) {
        for (int b = 0x21; b <= 0x7E; ++b) {
            const std::string pair{static_cast<char>(a), static_cast<char>(b)};
            if (glyphs::CanDraw(pair)) {
                ASSERT_EQ(QtText(40, 24, 5, 4, pair, RGB(255, 255, 255)),
                          TableText(40, 24, 5, 4, pair, RGB(255, 255, 255)))
                    << "'" << pair << "'";
            }
        }
    }
    EXPECT_FALSE(glyphs::CanDraw("\t"));
    EXPECT_FALSE(glyphs::CanDraw("\xC3\xA9"));
}

TEST(PlotGlyphs, FarOutsideTheImageNothingIsDrawn) {
    const QImage blank = Blank(20, 20);
    for (const int x : {-2147483647 - 1, -100000, 100000, 2147483647}) {
        for (const int y : {-2147483647 - 1, -40, 40, 2147483647}) {
            EXPECT_EQ(TableText(20, 20, x, y, " EPS =   0.1234567", RGB(0, 0, 0)), blank)
                << x << "," << y;
        }
    }
}

// A plot with labels on every side, negative ones included, a fit, a kept fit
// and both EPS texts.
std::unique_ptr<PlotState> Plot(int width, int height) {
    auto state = std::make_unique<PlotState>();
    state->clientWidth = width;
    state->clientHeight = height;
    state->xMin = -5;
    state->xMax = 10;
    state->xStep = 2.5f;
    state->yMin = -1;
    state->yMax = 3;
    state->yStep = 0.5f;
    state->stackFactor = 1;
    state->stackOffset = 1;
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    state->snapshotCount = 1;
    state->markerX1 = 2.5f;
    state->markerX2 = 7.5f;
    state->eps = 0.1234567f;
    state->epsPrevious = 123.456789f;
    for (CurveSet* set : {&state->experimental, &state->result, &state->previous}) {
        set->pointCount = 151;
        set->curveCount = 3;
        for (int p = 0; p < 151; ++p) {
            set->x[p] = -5.0f + 0.1f * p;
            for (int c = 0; c < 3; ++c) {
                set->y[p * MAX_CURVES + c] = 0.5f + 0.6f * std::sin(0.2f * p + c);
            }
        }
    }
    return state;
}

TEST(PlotGlyphs, WholePlotsAsQtDrawsThem) {
    const int sizes[][2] = {{1280, 960}, {465, 360}, {800, 600}, {67, 61}, {30, 30}};
    for (const auto& size : sizes) {
        auto state = Plot(size[0], size[1]);
        QImage qt = Blank(size[0], size[1]);
        {
            QPainter painter(&qt);
            QPainterSurface surface(painter);
            DrawPass(*state, CPlotter(), surface);
        }
        QImage table = Blank(size[0], size[1]);
        {
            PixelSurface surface(
                PixelCanvas(reinterpret_cast<std::uint32_t*>(table.bits()),
                            static_cast<int>(table.bytesPerLine() / 4), size[0], size[1]),
                glyphs::DrawText);
            DrawPass(*state, CPlotter(), surface);
        }
        EXPECT_EQ(qt, table) << size[0] << "x" << size[1];
    }
}

}  // namespace
}  // namespace zelk
