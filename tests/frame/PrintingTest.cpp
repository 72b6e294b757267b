// The printed page: the whole plot scaled to fit, aspect ratio kept, centred.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "frame/CZelkView.h"
#include "frame/PlotPrinting.h"
#include "plot/CPlotter.h"
#include "plot/PlotState.h"

namespace zelk::testing {
namespace {

const QColor kUntouched(255, 0, 255);

// Where on a page of the given size the plot of the given client size lands:
// the bounding box of the pixels the drawing pass painted.
QRect PaintedArea(int clientWidth, int clientHeight, QSize page) {
    auto state = std::make_unique<PlotState>();
    state->clientWidth = clientWidth;
    state->clientHeight = clientHeight;
    CPlotter plotter;
    QImage image(page, QImage::Format_RGB32);
    image.fill(kUntouched);
    {
        QPainter painter(&image);
        DrawPlotOnPage(*state, plotter, painter, QRect(QPoint(0, 0), page));
    }
    EXPECT_EQ(state->clientWidth, clientWidth) << "client size restored";
    EXPECT_EQ(state->clientHeight, clientHeight);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != kUntouched) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

struct PageCase {
    int clientWidth, clientHeight;
    QSize page;
    QRect expected;
};

void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.clientWidth << "x" << c.clientHeight << " on " << c.page.width() << "x"
        << c.page.height();
}

class PlotOnPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(PlotOnPage, FillsThePageKeepingItsShape) {
    const PageCase& c = GetParam();
    const QRect box = PaintedArea(c.clientWidth, c.clientHeight, c.page);
    // One pixel of rounding on each edge.
    EXPECT_NEAR(box.left(), c.expected.left(), 1);
    EXPECT_NEAR(box.top(), c.expected.top(), 1);
    EXPECT_NEAR(box.right(), c.expected.right(), 1);
    EXPECT_NEAR(box.bottom(), c.expected.bottom(), 1);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PlotOnPage,
                         ::testing::Values(
                             // Wide plot on a tall page: full width, centred vertically.
                             PageCase{400, 200, QSize(400, 600), QRect(0, 200, 400, 200)},
                             // Tall plot on a wide page: full height, centred horizontally.
                             PageCase{100, 200, QSize(600, 400), QRect(200, 0, 200, 400)},
                             // Small window on a large page: scaled up.
                             PageCase{300, 300, QSize(900, 1200), QRect(0, 150, 900, 900)},
                             // A view never laid out takes the page's shape.
                             PageCase{0, 0, QSize(500, 700), QRect(0, 0, 500, 700)}));

TEST(Printing, PrintToAPdfWritesAPage) {
    QTemporaryDir dir;
    CZelkView view;
    view.resize(320, 240);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("plot.pdf"));
    QSignalSpy printed(&view, &CZelkView::printed);
    EXPECT_TRUE(view.PrintTo(printer));
    EXPECT_EQ(printed.count(), 1);
    EXPECT_GT(QFileInfo(dir.filePath("plot.pdf")).size(), 0);
}

}  // namespace
}  // namespace zelk::testing
