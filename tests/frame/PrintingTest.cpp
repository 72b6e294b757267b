// The printed page: the whole plot scaled to fit, aspect ratio kept, centred.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "frame/CZelkView.h"
#include "frame/PlotPrinting.h"
#include "frame/PrintService.h"
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

// The printer is the printing module's, loaded from beside this program as
// zelk loads it from beside itself.
TEST(Printing, PrintToAPdfWritesAPage) {
    QTemporaryDir dir;
    CZelkView view;
    view.resize(320, 240);
    QString error;
    PrintService* service = view.printService(error);
    ASSERT_NE(service, nullptr) << error.toStdString();
    EXPECT_EQ(view.printService(error), service) << "the session keeps one printer";
    service->printer().setOutputFormat(QPrinter::PdfFormat);
    service->printer().setOutputFileName(dir.filePath("plot.pdf"));
    QSignalSpy printed(&view, &CZelkView::printed);
    EXPECT_TRUE(view.OnFilePrintDirect(QString()));
    EXPECT_EQ(printed.count(), 1);
    QFile pdf(dir.filePath("plot.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF-"));
}

// A printer that takes no page is a failure, not "printed".
TEST(Printing, APageThePrinterRefusesIsNotReportedAsPrinted) {
    CZelkView view;
    view.resize(320, 240);
    QString error;
    PrintService* service = view.printService(error);
    ASSERT_NE(service, nullptr) << error.toStdString();
    service->printer().setOutputFormat(QPrinter::PdfFormat);
    service->printer().setOutputFileName("/no/such/folder/plot.pdf");
    QSignalSpy printed(&view, &CZelkView::printed);
    EXPECT_FALSE(view.OnFilePrintDirect(QString()));
    EXPECT_EQ(printed.count(), 0);
}

// Where the module cannot be loaded, the caller learns why for each place
// looked in; the first place that has it is used.
TEST(Printing, TheModuleIsTakenFromTheFirstPlaceThatHasIt) {
    QTemporaryDir dir;
    QFile notALibrary(dir.filePath("zelk-print.so"));
    ASSERT_TRUE(notALibrary.open(QIODevice::WriteOnly));
    notALibrary.write("not a library");
    notALibrary.close();
    const QString missing = dir.filePath("missing/zelk-print");
    const QString broken = dir.filePath("zelk-print.so");
    const QString real = QDir(QCoreApplication::applicationDirPath()).filePath("zelk-print");

    QString error;
    EXPECT_EQ(MakePrintServiceFrom({missing, broken}, error), nullptr);
    const QStringList reasons = error.split(u'\n');
    ASSERT_EQ(reasons.size(), 2) << error.toStdString();
    EXPECT_TRUE(reasons[0].contains("missing")) << reasons[0].toStdString();
    EXPECT_TRUE(reasons[1].contains(broken)) << reasons[1].toStdString();

    error.clear();
    const std::unique_ptr<PrintService> service = MakePrintServiceFrom({missing, real}, error);
    ASSERT_NE(service, nullptr) << error.toStdString();
    EXPECT_EQ(service->printer().resolution(), QPrinter(QPrinter::HighResolution).resolution());
}

}  // namespace
}  // namespace zelk::testing
