// The PNG encoder of plot pictures: what it writes decodes to exactly the
// pixels given, and to exactly what Qt's own PNG writer gives, for the plots
// themselves and for pictures at the edges of its choices (1 pixel, 256 and
// 257 colours, odd sizes).

#include "frame/PngWriter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"

namespace zelk {
namespace {

// Three sets of three stacked curves with a fit and a kept fit.
QImage PlotImage(int width, int height) {
    auto state = std::make_unique<PlotState>();
    state->clientWidth = width;
    state->clientHeight = height;
    state->xMax = 10;
    state->xStep = 2;
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
    state->epsPrevious = 12.3456789f;
    for (CurveSet* set : {&state->experimental, &state->result, &state->previous}) {
        set->pointCount = 101;
        set->curveCount = 3;
        for (int p = 0; p < 101; ++p) {
            set->x[p] = 0.1f * p;
            for (int c = 0; c < 3; ++c) {
                set->y[p * MAX_CURVES + c] = 0.5f + 0.4f * std::sin(0.2f * p + c);
            }
        }
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    {
        QPainterSurface surface(painter);
        DrawPass(*state, CPlotter(), surface);
    }
    painter.end();
    return image;
}

// width x height pixels, pixel i of colour(i).
QImage Pattern(int width, int height, const std::function<QRgb(int)>& colour) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, colour(y * width + x));
        }
    }
    return image;
}

std::vector<unsigned char> Encode(const QImage& image) {
    std::vector<unsigned char> png;
    std::string error;
    EXPECT_TRUE(EncodePng(reinterpret_cast<const std::uint32_t*>(image.constBits()),
                          static_cast<int>(image.bytesPerLine() / 4), image.width(), image.height(),
                          png, error))
        << error;
    return png;
}

QImage Decode(const std::vector<unsigned char>& png) {
    QImage image;
    image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage DecodeQtsOwn(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_RGB32);
}

// The colour type byte of the IHDR chunk: 3 palette, 2 RGB.
int ColourType(const std::vector<unsigned char>& png) {
    return png.size() > 25 ? png[25] : -1;
}

TEST(PngWriter, DecodesToThePixelsGivenAndToWhatQtWrites) {
    struct Case {
        const char* what;
        QImage image;
        int colourType;
    };
    const Case cases[] = {
        {"plot 465x360", PlotImage(465, 360), 3},
        {"plot 1280x960", PlotImage(1280, 960), 3},
        {"plot 67x61", PlotImage(67, 61), 3},
        {"1 pixel", Pattern(1, 1, [](int) { return qRgb(200, 200, 255); }), 3},
        {"a column", Pattern(1, 300, [](int i) { return qRgb(i % 7, 0, 0); }), 3},
        {"256 colours", Pattern(33, 17, [](int i) { return qRgb(i % 256, 255 - i % 256, 9); }), 3},
        {"257 colours", Pattern(33, 17, [](int i) { return qRgb(i % 257, 0, i % 257 / 256); }), 2},
        {"a gradient", Pattern(301, 77, [](int i) { return qRgb(i % 251, i / 7 % 256, i % 13); }),
         2},
        {"black and white",
         Pattern(64, 64, [](int i) { return i % 3 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); }), 3},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> png = Encode(c.image);
        EXPECT_EQ(ColourType(png), c.colourType) << c.what;
        const QImage decoded = Decode(png);
        ASSERT_EQ(decoded.size(), c.image.size()) << c.what;
        EXPECT_EQ(decoded, c.image) << c.what;
        EXPECT_EQ(decoded, DecodeQtsOwn(c.image)) << c.what;

        // In place: the same file from the pixels' own memory.
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < c.image.height(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(c.image.constScanLine(y));
            pixels.insert(pixels.end(), row, row + c.image.width());
        }
        std::vector<unsigned char> inPlace;
        std::string error;
        ASSERT_TRUE(
            EncodePngInPlace(pixels.data(), c.image.width(), c.image.height(), inPlace, error))
            << error;
        EXPECT_EQ(inPlace, png) << c.what;
    }
}

// Only the colour counts: the top byte of a pixel, whatever it holds, is not
// part of it.
TEST(PngWriter, IgnoresTheTopByte) {
    std::vector<std::uint32_t> pixels = {0x00FF0000u, 0xFFFF0000u, 0x12FF0000u, 0xFF0000FFu};
    std::vector<unsigned char> png;
    std::string error;
    ASSERT_TRUE(EncodePng(pixels.data(), 2, 2, 2, png, error)) << error;
    const QImage decoded = Decode(png);
    EXPECT_EQ(decoded.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(decoded.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(decoded.pixel(0, 1), qRgb(255, 0, 0));
    EXPECT_EQ(decoded.pixel(1, 1), qRgb(0, 0, 255));
}

TEST(PngWriter, RefusesAnEmptyPicture) {
    std::uint32_t pixel = 0;
    std::vector<unsigned char> png;
    std::string error;
    EXPECT_FALSE(EncodePng(&pixel, 1, 0, 1, png, error));
    EXPECT_FALSE(EncodePng(&pixel, 1, 1, 0, png, error));
    EXPECT_FALSE(EncodePng(&pixel, 0, 1, 1, png, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(png.empty());
}

}  // namespace
}  // namespace zelk
