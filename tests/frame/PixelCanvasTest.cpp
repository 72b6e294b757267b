// Random drawing on the pixel canvas: nothing lands outside the image at any
// coordinates or pen width, and where Qt's raster painter follows the same
// pixel rules (fills, straight lines, dotted lines, square brushes) both paint
// the same pixels.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "frame/PixelCanvas.h"
#include "frame/PixelSurface.h"
#include "frame/QPainterSurface.h"

namespace zelk {
namespace {

// The Qt application of this test program is set up in QPainterSurfaceTest.

constexpr std::uint32_t kGuard = 0xDEADBEEFu;

// A canvas inside a larger buffer: a guard band of kBorder pixels on every
// side, and rows longer than the image, so that a write beyond any edge or
// into the next row shows as a changed guard pixel.
class GuardedCanvas {
  public:
    static constexpr int kBorder = 80;

    GuardedCanvas(int width, int height)
        : width_(width),
          height_(height),
          stride_(width + 2 * kBorder),
          pixels_(static_cast<std::size_t>(stride_) * (height + 2 * kBorder), kGuard) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                At(x, y) = 0xFF808080u;
            }
        }
    }

    PixelCanvas Canvas() { return PixelCanvas(&At(0, 0), stride_, width_, height_); }

    std::uint32_t& At(int x, int y) {
        return pixels_[static_cast<std::size_t>(y + kBorder) * stride_ + (x + kBorder)];
    }

    // The first guard pixel that changed, as "x,y", or "" when none did.
    std::string ChangedGuard() {
        for (int y = -kBorder; y < height_ + kBorder; ++y) {
            for (int x = -kBorder; x < width_ + kBorder; ++x) {
                const bool inside = x >= 0 && y >= 0 && x < width_ && y < height_;
                if (!inside && At(x, y) != kGuard) {
                    return std::to_string(x) + "," + std::to_string(y);
                }
            }
        }
        return {};
    }

  private:
    int width_;
    int height_;
    int stride_;
    std::vector<std::uint32_t> pixels_;
};

// Coordinates of every kind: inside, on and across the edges, far outside,
// and the extremes of int.
int RandomCoordinate(std::mt19937& rng, int extent) {
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
        case 0:
            return std::uniform_int_distribution<int>(0, extent - 1)(rng);
        case 1:
            return std::uniform_int_distribution<int>(-3, 3)(rng) +
                   (std::uniform_int_distribution<int>(0, 1)(rng) ? extent : 0);
        case 2:
            return std::uniform_int_distribution<int>(-10 * extent - 50, 10 * extent + 50)(rng);
        case 3:
            return std::uniform_int_distribution<int>(-(1 << 22), 1 << 22)(rng);
        case 4:
            return std::uniform_int_distribution<int>(0, 1)(rng) ? INT_MAX : INT_MIN;
        default:
            return std::uniform_int_distribution<int>(INT_MIN, INT_MAX)(rng);
    }
}

int RandomLength(std::mt19937& rng, int extent) {
    switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            return std::uniform_int_distribution<int>(-2, 8)(rng);
        case 1:
            return std::uniform_int_distribution<int>(0, 3 * extent)(rng);
        case 2:
            return INT_MAX;
        default:
            return std::uniform_int_distribution<int>(INT_MIN, INT_MAX)(rng);
    }
}

TEST(PixelCanvas, NothingIsWrittenOutsideTheImage) {
    const int sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {13, 9}, {60, 60}, {121, 37}};
    std::mt19937 rng(12345);
    for (const auto& size : sizes) {
        const int w = size[0];
        const int h = size[1];
        GuardedCanvas guarded(w, h);
        PixelCanvas canvas = guarded.Canvas();
        int phase = 0;
        for (int op = 0; op < 3000; ++op) {
            const int x = RandomCoordinate(rng, w);
            const int y = RandomCoordinate(rng, h);
            std::string what;
            if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
                const int cx = RandomLength(rng, w);
                const int cy = RandomLength(rng, h);
                canvas.Fill(x, y, cx, cy, 0xFF0000FFu);
                what = "fill " + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(cx) + " " + std::to_string(cy);
            } else {
                const int widths[] = {-3, 0, 1, 1, 2, 2, 3, 4, 7, 64, 1000, INT_MAX};
                const int width = widths[std::uniform_int_distribution<int>(0, 11)(rng)];
                const PixelCanvas::Pen pen{0xFFFF0000u, 0xFFFFFFFFu, width,
                                           std::uniform_int_distribution<int>(0, 1)(rng) == 1};
                const int x1 = RandomCoordinate(rng, w);
                const int y1 = RandomCoordinate(rng, h);
                canvas.Line(x, y, x1, y1, pen, phase);
                what = "line " + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(x1) + " " + std::to_string(y1) + " width " +
                       std::to_string(width);
            }
            const std::string changed = guarded.ChangedGuard();
            ASSERT_EQ(changed, "") << w << "x" << h << " after " << what;
            ASSERT_GE(phase, 0);
            ASSERT_LT(phase, PixelCanvas::kDotOn + PixelCanvas::kDotOff);
        }
    }
}

// The squares of measured points that lie wholly outside the image, on every
// side, and the lines between them: the cases that reach a zoomed-in plot.
TEST(PixelCanvas, SquaresAndLinesBesideTheImage) {
    GuardedCanvas guarded(20, 10);
    PixelCanvas canvas = guarded.Canvas();
    struct Square {
        int x, y, side;
    };
    const Square squares[] = {{25, 3, 4},  {20, 3, 4},  {-4, 3, 4},   {-40, 3, 6}, {3, 10, 4},
                              {3, -4, 4},  {3, 60, 6},  {25, 15, 4},  {-9, -9, 4}, {18, 8, 4},
                              {-2, -2, 4}, {19, 9, 64}, {-60, 5, 64}, {5, -60, 64}};
    for (const Square& s : squares) {
        canvas.Fill(s.x, s.y, s.side, s.side, 0xFF0000FFu);
    }
    // What overlaps the image is drawn: the corners of the squares that cross
    // the edges.
    EXPECT_EQ(guarded.At(0, 0), 0xFF0000FFu);
    EXPECT_EQ(guarded.At(19, 9), 0xFF0000FFu);
    EXPECT_EQ(guarded.At(1, 0), 0xFF0000FFu);
    EXPECT_EQ(guarded.At(10, 5), 0xFF808080u);
    int phase = 0;
    for (const int width : {1, 2, 3, 6}) {
        const PixelCanvas::Pen pen{0xFFFF0000u, 0xFFFFFFFFu, width, false};
        canvas.Line(25, 3, 40, 5, pen, phase);
        canvas.Line(-5, -5, -5, 40, pen, phase);
        canvas.Line(-30, 12, 50, 12, pen, phase);
        canvas.Line(21, -100, 21, 100, pen, phase);
    }
    EXPECT_EQ(guarded.ChangedGuard(), "");
    EXPECT_EQ(guarded.At(19, 5), 0xFFFF0000u) << "the wide pens reach in from beside the image";
}

// Random operations through the plot surface, once straight into image memory
// and once through Qt's raster painter with antialiasing off. Lines are kept
// to the shapes where the two pixel rules agree: horizontal lines running
// right and vertical lines running down (Qt leaves out the right or lower end,
// the canvas the end it reaches), and square brushes, whose ends are both
// drawn; fills agree everywhere. Coordinates reach far past the edges but stay
// where Qt's fixed-point rasteriser is exact.
TEST(PixelCanvas, AgreesWithQtsRasterPainter) {
    constexpr int kW = 97;
    constexpr int kH = 61;
    std::mt19937 rng(777);
    const auto coordinate = [&rng](int extent) {
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
                return std::uniform_int_distribution<int>(0, extent - 1)(rng);
            case 1:
                return std::uniform_int_distribution<int>(-4, 4)(rng) +
                       (std::uniform_int_distribution<int>(0, 1)(rng) ? extent : 0);
            case 2:
                return std::uniform_int_distribution<int>(-3 * extent, 4 * extent)(rng);
            default:
                return std::uniform_int_distribution<int>(-20000, 20000)(rng);
        }
    };
    const Colour colours[] = {RGB(255, 0, 0),   RGB(0, 0, 255),     RGB(0, 0, 0),
                              RGB(100, 0, 155), RGB(200, 200, 255), RGB(255, 255, 255)};
    const auto colour = [&] { return colours[std::uniform_int_distribution<int>(0, 5)(rng)]; };

    for (int round = 0; round < 400; ++round) {
        // One script of operations, replayed on both surfaces.
        struct Op {
            int kind;  // 0 fill, 1 line run, 2 pen, 3 unpen, 4 text
            int x, y, a, b;
            Colour c;
        };
        std::vector<Op> ops;
        std::vector<bool> dotted{false};  // the pens selected, dotted or not
        for (int i = 0; i < 60; ++i) {
            const int kind = std::uniform_int_distribution<int>(0, 4)(rng);
            Op op{kind, coordinate(kW), coordinate(kH), 0, 0, colour()};
            if (kind == 0) {
                op.a = std::uniform_int_distribution<int>(-2, 2 * kW)(rng);
                op.b = std::uniform_int_distribution<int>(-2, 2 * kH)(rng);
            } else if (kind == 1) {
                if (dotted.back()) {
                    // Qt restarts the dot pattern where it clips a line, the
                    // canvas keeps counting from the line's start: dotted
                    // lines start inside the image, and may leave it.
                    op.x = std::uniform_int_distribution<int>(0, kW - 1)(rng);
                    op.y = std::uniform_int_distribution<int>(0, kH - 1)(rng);
                }
                op.a = std::uniform_int_distribution<int>(0, 1)(rng);  // 0: right, 1: down
                op.b = std::uniform_int_distribution<int>(1, 300)(rng);
            } else if (kind == 2) {
                const int styles[][2] = {{PS_SOLID, 1}, {PS_DOT, 1}, {PS_SOLID, 2}, {PS_DOT, 2}};
                const auto& style = styles[std::uniform_int_distribution<int>(0, 3)(rng)];
                op.a = style[0];
                op.b = style[1];
                dotted.push_back(op.a == PS_DOT && op.b == 1);
            } else if (kind == 3) {
                if (dotted.size() == 1) {
                    continue;
                }
                dotted.pop_back();
            } else if (kind == 4) {
                op.x = std::uniform_int_distribution<int>(-30, kW)(rng);
                op.y = std::uniform_int_distribution<int>(-15, kH)(rng);
            }
            ops.push_back(op);
        }
        const auto replay = [&ops](QPainterSurface& s) {
            for (const Op& op : ops) {
                switch (op.kind) {
                    case 0:
                        s.FillSolidRect(op.x, op.y, op.a, op.b, op.c);
                        break;
                    case 1:
                        s.MoveTo(op.x, op.y);
                        s.LineTo(op.a == 0 ? op.x + op.b : op.x, op.a == 1 ? op.y + op.b : op.y);
                        break;
                    case 2:
                        s.SelectNewPen(op.a, op.b, op.c);
                        break;
                    case 3:
                        s.RestorePen();
                        break;
                    default:
                        s.TextOut(op.x, op.y, "-0.50");
                        break;
                }
            }
        };
        QImage images[2];
        const QPainterSurface::Lines modes[] = {QPainterSurface::Lines::Auto,
                                                QPainterSurface::Lines::QtOnly};
        for (int i = 0; i < 2; ++i) {
            images[i] = QImage(kW, kH, QImage::Format_RGB32);
            images[i].fill(QColor(128, 128, 128));
            QPainter painter(&images[i]);
            QPainterSurface surface(painter, modes[i]);
            EXPECT_EQ(surface.direct(), i == 0);
            replay(surface);
        }
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(images[0].pixel(x, y), images[1].pixel(x, y))
                    << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

// The surface without Qt: pens, the background colour of dotted gaps and text
// cells, and text handed on with the cell's background.
TEST(PixelSurface, KeepsPensAndTheBackgroundColour) {
    GuardedCanvas guarded(40, 20);
    std::vector<std::string> texts;
    std::uint32_t textBackground = 0;
    PixelSurface surface(guarded.Canvas(),
                         [&](PixelCanvas&, int, int, std::string_view text, std::uint32_t bg) {
                             texts.emplace_back(text);
                             textBackground = bg;
                         });
    surface.FillSolidRect(0, 0, 40, 20, RGB(255, 255, 255));
    surface.FillSolidRect(1, 1, 1, 1, RGB(200, 200, 255));
    surface.MoveTo(0, 5);
    surface.LineTo(10, 5);  // the default pen: 1-pixel solid black
    surface.SelectNewPen(PS_DOT, 1, RGB(255, 0, 0));
    surface.MoveTo(0, 10);
    surface.LineTo(12, 10);
    surface.RestorePen();
    surface.MoveTo(0, 15);
    surface.LineTo(10, 15);
    surface.TextOut(3, 3, "1.00");
    EXPECT_EQ(guarded.At(9, 5), 0xFF000000u);
    EXPECT_EQ(guarded.At(10, 5), 0xFFFFFFFFu) << "end pixel left out";
    std::string dots;
    for (int x = 0; x < 12; ++x) {
        dots +=
            guarded.At(x, 10) == 0xFFFF0000u ? '#' : (guarded.At(x, 10) == 0xFFC8C8FFu ? '.' : '?');
    }
    EXPECT_EQ(dots, "###...###...") << "gaps in the background colour of the last fill";
    EXPECT_EQ(guarded.At(5, 15), 0xFF000000u) << "the previous pen is back";
    EXPECT_EQ(texts, std::vector<std::string>{"1.00"});
    EXPECT_EQ(textBackground, 0xFFC8C8FFu);
}

}  // namespace
}  // namespace zelk
