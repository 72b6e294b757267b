#include "frame/QPainterSurface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <memory>

#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "support/QtTestApp.h"

namespace zelk {
namespace {

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new testing::QtTestApp);

constexpr Colour kRed = RGB(255, 0, 0);
constexpr Colour kBlue = RGB(0, 0, 255);
constexpr Colour kGreen = RGB(0, 255, 0);

// Paints on a 100 x 60 image prefilled with grey; returns the image.
QImage Paint(const std::function<void(QPainterSurface&)>& draw,
             QPainterSurface::Lines lines = QPainterSurface::Lines::Auto) {
    QImage image(100, 60, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QPainter painter(&image);
    {
        QPainterSurface surface(painter, lines);
        draw(surface);
    }
    painter.end();
    return image;
}

Colour At(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

constexpr Colour kGrey = RGB(128, 128, 128);

TEST(QPainterSurface, LineLeavesOutItsEndPixel) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.SelectNewPen(PS_SOLID, 1, kRed);
        s.MoveTo(10, 10);
        s.LineTo(20, 10);
        s.LineTo(20, 20);
        s.MoveTo(40, 40);
        s.LineTo(50, 50);
        s.RestorePen();
    });
    for (int x = 10; x < 20; ++x) {
        EXPECT_EQ(At(image, x, 10), kRed) << x;
    }
    EXPECT_EQ(At(image, 20, 10), kRed) << "the corner is the start of the next line";
    EXPECT_EQ(At(image, 20, 19), kRed);
    EXPECT_EQ(At(image, 20, 20), kGrey) << "end pixel of the run";
    EXPECT_EQ(At(image, 40, 40), kRed);
    EXPECT_EQ(At(image, 49, 49), kRed);
    EXPECT_EQ(At(image, 50, 50), kGrey);
}

TEST(QPainterSurface, DefaultPenIsBlackAndRestoredAfterANewPen) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.MoveTo(5, 5);
        s.LineTo(15, 5);
        s.SelectNewPen(PS_SOLID, 1, kRed);
        s.MoveTo(5, 7);
        s.LineTo(15, 7);
        s.RestorePen();
        s.MoveTo(5, 9);
        s.LineTo(15, 9);
    });
    EXPECT_EQ(At(image, 10, 5), RGB(0, 0, 0));
    EXPECT_EQ(At(image, 10, 7), kRed);
    EXPECT_EQ(At(image, 10, 9), RGB(0, 0, 0));
}

TEST(QPainterSurface, LaterOperationsCoverEarlierLines) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.SelectNewPen(PS_SOLID, 1, kRed);
        s.MoveTo(0, 10);
        s.LineTo(50, 10);
        s.FillSolidRect(20, 5, 10, 10, kBlue);  // must land on top of the line
        s.RestorePen();
    });
    EXPECT_EQ(At(image, 10, 10), kRed);
    EXPECT_EQ(At(image, 25, 10), kBlue);
}

TEST(QPainterSurface, FillPaintsAndSetsTheTextBackground) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.FillSolidRect(0, 0, 50, 30, kBlue);
        s.TextOut(5, 5, "0.50");
    });
    EXPECT_EQ(At(image, 49, 29), kBlue);
    EXPECT_EQ(At(image, 50, 30), kGrey);
    // The cell starts at the point: its first column and row take the
    // background colour, black glyphs lie inside it.
    int black = 0;
    for (int y = 5; y < 20; ++y) {
        for (int x = 5; x < 40; ++x) {
            const Colour c = At(image, x, y);
            EXPECT_TRUE(c == kBlue || c == RGB(0, 0, 0)) << x << "," << y;
            black += c == RGB(0, 0, 0);
        }
    }
    EXPECT_GT(black, 20);
}

TEST(QPainterSurface, ZeroAreaFillPaintsNothingButSetsTheBackground) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.FillSolidRect(0, 0, 100, 60, kBlue);
        s.FillSolidRect(50, 19, 0, 0, RGB(255, 255, 255));
        s.FillSolidRect(50, 40, 0, 5, kRed);
        s.FillSolidRect(60, 40, 5, 0, kRed);
        s.FillSolidRect(70, 40, -5, -5, kRed);
        s.FillSolidRect(1, 1, 0, 0, RGB(255, 255, 255));
        s.TextOut(5, 5, "EPS");
    });
    for (int x = 45; x < 75; ++x) {
        EXPECT_EQ(At(image, x, 38), kBlue) << x;
        EXPECT_EQ(At(image, x, 40), kBlue) << x;
    }
    // The text cell is white: the last fill set the background.
    EXPECT_EQ(At(image, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(At(image, 4, 5), kBlue);
    EXPECT_EQ(At(image, 5, 4), kBlue);
}

TEST(QPainterSurface, TextCellIsAboutThirteenPixelsTall) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.FillSolidRect(0, 0, 0, 0, kGreen);
        s.TextOut(10, 10, "-9.00");
    });
    int height = 0;
    while (10 + height < 60 && At(image, 10, 10 + height) == kGreen) {
        ++height;
    }
    EXPECT_GE(height, 12);
    EXPECT_LE(height, 16);
}

TEST(QPainterSurface, DottedLineHasGapsInTheBackgroundColour) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.FillSolidRect(0, 0, 0, 0, RGB(255, 255, 255));
        s.SelectNewPen(PS_DOT, 1, RGB(0, 0, 0));
        s.MoveTo(0, 30);
        s.LineTo(90, 30);
        s.RestorePen();
    });
    std::string pattern;
    for (int x = 0; x < 90; ++x) {
        const Colour c = At(image, x, 30);
        ASSERT_TRUE(c == RGB(0, 0, 0) || c == RGB(255, 255, 255)) << x;
        pattern += c == 0 ? '#' : '.';
    }
    EXPECT_EQ(pattern.substr(0, 12), "###...###...");
    EXPECT_EQ(At(image, 90, 30), kGrey) << "end pixel left out, gaps included";
}

TEST(QPainterSurface, WidePensAreTwoPixelsAndNeverDotted) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.SelectNewPen(PS_DOT, 2, kRed);
        s.MoveTo(10, 30);
        s.LineTo(80, 30);
        s.RestorePen();
    });
    for (int x = 15; x < 75; ++x) {
        int covered = 0;
        for (int y = 26; y < 34; ++y) {
            covered += At(image, x, y) == kRed;
        }
        EXPECT_EQ(covered, 2) << x;
    }
}

// The whole plot lands on the image, EPS texts included.
TEST(QPainterSurface, PlotFrameOnAnImage) {
    QImage image(465, 360, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        QPainterSurface surface(painter);
        CPlotter().DrawFrame(surface, 465, 360, 0, 10, 0, 1, 2, 0.5f);
    }
    EXPECT_EQ(At(image, 0, 0), kFrameBackground);
    EXPECT_EQ(At(image, 464, 359), kFrameBackground);
    EXPECT_EQ(At(image, 45, 20), kWhite);
    EXPECT_EQ(At(image, 444, 319), kWhite);
    EXPECT_EQ(At(image, 445, 319), kFrameBackground);
    EXPECT_EQ(At(image, 125, 326), kBlack) << "tick from H - 34 ...";
    EXPECT_EQ(At(image, 125, 321), kBlack);
    EXPECT_EQ(At(image, 125, 320), kFrameBackground) << "... to H - 40, end pixel left out";
    EXPECT_EQ(At(image, 39, 170), kBlack);
    EXPECT_EQ(At(image, 44, 170), kBlack);
    EXPECT_EQ(At(image, 45, 170), kWhite);
}

TEST(QPainterSurface, WritesImageMemoryOnlyWhenNothingElseWouldChangeIt) {
    QImage image(10, 10, QImage::Format_RGB32);
    QImage other(10, 10, QImage::Format_RGB16);
    QPainter painter(&image);
    EXPECT_TRUE(QPainterSurface(painter).direct());
    EXPECT_FALSE(QPainterSurface(painter, QPainterSurface::Lines::QtOnly).direct());
    painter.translate(1, 0);
    EXPECT_FALSE(QPainterSurface(painter).direct());
    painter.resetTransform();
    painter.setClipRect(0, 0, 5, 5);
    EXPECT_FALSE(QPainterSurface(painter).direct());
    painter.end();
    QPainter otherPainter(&other);
    EXPECT_FALSE(QPainterSurface(otherPainter).direct());
}

// Qt's own lines (widgets, SVG, PDF) keep the end pixel out of lines that run
// right or down, and draw the same dotted pattern and fills.
TEST(QPainterSurface, QtLinesAgreeWhereTheirRulesAgree) {
    const auto draw = [](QPainterSurface& s) {
        s.FillSolidRect(0, 0, 100, 60, RGB(255, 255, 255));
        s.SelectNewPen(PS_SOLID, 1, kRed);
        s.MoveTo(10, 10);
        s.LineTo(60, 10);
        s.LineTo(60, 50);
        s.RestorePen();
        s.SelectNewPen(PS_DOT, 1, kBlue);
        s.MoveTo(0, 30);
        s.LineTo(48, 30);
        s.RestorePen();
        s.SelectNewPen(PS_SOLID, 2, kGreen);
        s.MoveTo(70, 5);
        s.LineTo(70, 40);
        s.RestorePen();
    };
    const QImage direct = Paint(draw);
    const QImage qt = Paint(draw, QPainterSurface::Lines::QtOnly);
    EXPECT_EQ(direct, qt);
}

// A whole plot of sloped curves: Qt's line rules and the direct ones pick
// different pixels only here and there along sloped lines.
TEST(QPainterSurface, QtLinesDrawTheSamePlot) {
    auto state = std::make_unique<PlotState>();
    state->clientWidth = 465;
    state->clientHeight = 360;
    state->xMax = 10;
    state->xStep = 2;
    state->yMax = 3;
    state->yStep = 1;
    state->stackFactor = 1;
    state->stackOffset = 1;
    state->experimentFlag = 1;
    state->fitRunCount = 1;
    state->snapshotCount = 1;
    state->markerX1 = 2.5f;
    for (CurveSet* set : {&state->experimental, &state->result, &state->previous}) {
        set->pointCount = 41;
        set->curveCount = 3;
        for (int p = 0; p < 41; ++p) {
            set->x[p] = 0.25f * p;
            for (int c = 0; c < 3; ++c) {
                set->y[p * MAX_CURVES + c] = 0.5f + 0.4f * std::sin(0.3f * p + c);
            }
        }
    }
    QImage images[2];
    const QPainterSurface::Lines modes[] = {QPainterSurface::Lines::Auto,
                                            QPainterSurface::Lines::QtOnly};
    for (int i = 0; i < 2; ++i) {
        images[i] = QImage(465, 360, QImage::Format_RGB32);
        images[i].fill(Qt::black);
        QPainter painter(&images[i]);
        QPainterSurface surface(painter, modes[i]);
        DrawPass(*state, CPlotter(), surface);
    }
    int differ = 0;
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 465; ++x) {
            differ += images[0].pixel(x, y) != images[1].pixel(x, y);
        }
    }
    EXPECT_LT(differ, 465 * 360 / 50);
}

TEST(QPainterSurface, LinesFarOutsideTheImageAreClipped) {
    const QImage image = Paint([](QPainterSurface& s) {
        s.SelectNewPen(PS_SOLID, 2, kRed);
        s.MoveTo(-4000000, -4000000);
        s.LineTo(4000000, 4000000);
        s.RestorePen();
        s.SelectNewPen(PS_DOT, 1, kBlue);
        s.MoveTo(-4000000, 20);
        s.LineTo(4000000, 20);
        s.RestorePen();
        s.FillSolidRect(-2147483647, -2147483647, 2147483647, 2147483647, kGreen);
    });
    EXPECT_EQ(At(image, 30, 30), kRed);
    EXPECT_EQ(At(image, 29, 30), kRed);
    EXPECT_EQ(At(image, 31, 30), kRed);
    EXPECT_EQ(At(image, 32, 30), kGrey);
    EXPECT_EQ(At(image, 50, 20), kBlue) << "the dot pattern keeps its phase across the clip";
    EXPECT_EQ(At(image, 0, 5), kGrey) << "the fill ends before pixel 0";
}

TEST(QPainterSurface, FillsWhollyBesideTheImageChangeNothing) {
    // Squares of points left of or below the image, as a zoomed view has many.
    const QImage image = Paint([](QPainterSurface& s) {
        s.FillSolidRect(-197, 20, 4, 4, kRed);
        s.FillSolidRect(-10, -10, 4, 4, kRed);
        s.FillSolidRect(100, 20, 4, 4, kRed);
        s.FillSolidRect(200, 20, 30, 30, kRed);
        s.FillSolidRect(20, 60, 4, 4, kRed);
        s.FillSolidRect(-3, 20, 4, 4, kBlue);  // one column inside
    });
    EXPECT_EQ(At(image, 0, 20), kBlue);
    EXPECT_EQ(At(image, 1, 20), kGrey);
    EXPECT_EQ(At(image, 99, 20), kGrey);
    EXPECT_EQ(At(image, 20, 59), kGrey);
}

}  // namespace
}  // namespace zelk
