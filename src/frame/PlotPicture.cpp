#include "frame/PlotPicture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "frame/QPainterSurface.h"
#include "frame/SvgSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/PlotState.h"
#include "plot/PlotView.h"

namespace zelk {
namespace {

void Paint(PlotState& state, const ViewRanges* view, QPainter& painter) {
    QPainterSurface surface(painter);
    DrawPass(state, CPlotter(), surface, view);
}

// Paints one pass on a vector device and checks that something came out.
bool PaintInto(QPaintDevice& device, PlotState& state, const ViewRanges* view, QIODevice& output,
               std::string& error) {
    const qint64 before = output.pos();
    QPainter painter;
    if (!painter.begin(&device)) {
        error = "cannot write the file";
        return false;
    }
    Paint(state, view, painter);
    if (!painter.end() || output.pos() == before) {
        error = "cannot write the file";
        return false;
    }
    return true;
}

int PlotTextAdvance(std::string_view text) {
    return QFontMetrics(QPainterSurface::PlotFont())
        .horizontalAdvance(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

bool HasPicture(const PlotState& state, std::string& error) {
    if (state.clientWidth <= 0 || state.clientHeight <= 0) {
        error = "the plot has no size";
        return false;
    }
    return true;
}

}  // namespace

bool SizePlotImage(QImage& image, const PlotState& state) {
    const QSize size(state.clientWidth, state.clientHeight);
    if (image.size() != size || image.format() != QImage::Format_RGB32) {
        image = QImage(size, QImage::Format_RGB32);
    }
    return !image.isNull();
}

void PaintPlotImage(QImage& image, PlotState& state, const CPlotter& plotter,
                    const ViewRanges* view) {
    if (!SizePlotImage(image, state)) {
        return;
    }
    QPainter painter(&image);
    QPainterSurface surface(painter);
    DrawPass(state, plotter, surface, view);
}

bool WritePlotSvg(PlotState& state, const ViewRanges* view, QIODevice& device, std::string& error) {
    if (!HasPicture(state, error)) {
        return false;
    }
    // The document is written straight from the drawing operations, as
    // zelk-render writes it; the text cells take the plot font's measures.
    const QFontMetrics metrics(QPainterSurface::PlotFont());
    SvgSurface surface(state.clientWidth, state.clientHeight,
                       {metrics.height(), metrics.ascent(), PlotTextAdvance});
    DrawPass(state, CPlotter(), surface, view);
    const std::string svg = surface.Finish();
    if (device.write(svg.data(), static_cast<qint64>(svg.size())) !=
        static_cast<qint64>(svg.size())) {
        error = "cannot write the file";
        return false;
    }
    return true;
}

bool WritePlotPdf(PlotState& state, const ViewRanges* view, QIODevice& device, std::string& error) {
    if (!HasPicture(state, error)) {
        return false;
    }
    QPdfWriter pdf(&device);
    pdf.setResolution(96);
    pdf.setCreator(QStringLiteral("Zelk"));
    pdf.setTitle(QStringLiteral("Zelk plot"));
    // A page exactly the size of the plot: one pixel of the view is one
    // 1/96 inch, as on the screen.
    const QSizeF points(state.clientWidth * 72.0 / 96.0, state.clientHeight * 72.0 / 96.0);
    pdf.setPageLayout(
        QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    return PaintInto(pdf, state, view, device, error);
}

bool SavePlotPicture(PlotState& state, const ViewRanges* view, const QString& path,
                     QString& error) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") &&
        suffix != QLatin1String("pdf")) {
        error = QStringLiteral("the name must end in .png, .svg or .pdf");
        return false;
    }
    std::string why;
    if (!HasPicture(state, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    // The whole picture is made first, then written in one unbuffered write:
    // a write that falls short is seen here, before the rename, and never
    // replaces an earlier file with a cut one.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool ok = false;
    if (suffix == QLatin1String("png")) {
        QImage image;
        PaintPlotImage(image, state, CPlotter(), view);
        ok = !image.isNull() && image.save(&buffer, "PNG");
        why = image.isNull() ? "the picture is too large" : "cannot make the picture";
    } else if (suffix == QLatin1String("svg")) {
        ok = WritePlotSvg(state, view, buffer, why);
    } else {
        ok = WritePlotPdf(state, view, buffer, why);
    }
    buffer.close();
    if (!ok) {
        error = QString::fromStdString(why);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace zelk
