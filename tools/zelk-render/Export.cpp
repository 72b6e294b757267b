#include "Export.h"

#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "frame/QPainterSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/RecordingSurface.h"

namespace zelk::render {

namespace {

// The pass on a painter that is already active on its device.
void Paint(PlotState& state, QPainter& painter) {
    QPainterSurface surface(painter);
    DrawPass(state, CPlotter(), surface);
}

bool WritePng(PlotState& state, const QString& path, std::string& error) {
    QImage image(state.clientWidth, state.clientHeight, QImage::Format_RGB32);
    if (image.isNull()) {
        error = "the picture is too large";
        return false;
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        Paint(state, painter);
    }
    if (!image.save(path, "PNG")) {
        error = "cannot write the file";
        return false;
    }
    return true;
}

// Paints one pass on a vector device and checks that the file came out.
bool PaintInto(QPaintDevice& device, PlotState& state, const QString& path, std::string& error) {
    QPainter painter;
    if (!painter.begin(&device)) {
        error = "cannot write the file";
        return false;
    }
    Paint(state, painter);
    if (!painter.end() || QFileInfo(path).size() == 0) {
        error = "cannot write the file";
        return false;
    }
    return true;
}

bool WriteSvg(PlotState& state, const QString& path, std::string& error) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(state.clientWidth, state.clientHeight));
    svg.setViewBox(QRect(0, 0, state.clientWidth, state.clientHeight));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Zelk plot"));
    return PaintInto(svg, state, path, error);
}

bool WritePdf(PlotState& state, const QString& path, std::string& error) {
    QPdfWriter pdf(path);
    pdf.setResolution(96);
    pdf.setCreator(QStringLiteral("Zelk"));
    pdf.setTitle(QStringLiteral("Zelk plot"));
    // A page exactly the size of the plot: one pixel of the view is one
    // 1/96 inch, as on the screen.
    const QSizeF points(state.clientWidth * 72.0 / 96.0, state.clientHeight * 72.0 / 96.0);
    pdf.setPageLayout(
        QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    return PaintInto(pdf, state, path, error);
}

}  // namespace

PictureFormat PictureFormatOf(const std::string& path) {
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    if (suffix == QLatin1String("png")) {
        return PictureFormat::Png;
    }
    if (suffix == QLatin1String("svg")) {
        return PictureFormat::Svg;
    }
    if (suffix == QLatin1String("pdf")) {
        return PictureFormat::Pdf;
    }
    return PictureFormat::None;
}

void WriteOps(PlotState& state, std::ostream& out) {
    RecordingSurface surface;
    DrawPass(state, CPlotter(), surface);
    surface.Write(out);
}

bool WritePicture(PlotState& state, const std::string& path, PictureFormat format,
                  std::string& error) {
    const QString file = QString::fromStdString(path);
    switch (format) {
        case PictureFormat::Png:
            return WritePng(state, file, error);
        case PictureFormat::Svg:
            return WriteSvg(state, file, error);
        case PictureFormat::Pdf:
            return WritePdf(state, file, error);
        case PictureFormat::None:
            break;
    }
    error = "unknown picture format";
    return false;
}

}  // namespace zelk::render
