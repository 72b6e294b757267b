#include "Export.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "frame/PngWriter.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/RecordingSurface.h"

#ifdef ZELK_PLOT_GLYPHS
#include "PixelMemory.h"
#include "frame/PdfSurface.h"
#include "frame/PixelSurface.h"
#include "frame/PlotGlyphs.h"
#include "frame/SvgSurface.h"
#else
#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "frame/QPainterSurface.h"
#endif

namespace zelk::render {

namespace {

// Room for a vector document of the plot in state: a generous bound on the
// bytes per drawn point (a marker square and a step of a line) over every
// curve, so that the document is written once into memory asked for once.
// Only the part written is ever touched.
std::size_t ExpectedVectorBytes(const PlotState& state) {
    std::size_t points = 0;
    for (const CurveSet* set : {&state.experimental, &state.result, &state.previous}) {
        points += static_cast<std::size_t>(UsablePoints(*set)) *
                  static_cast<std::size_t>(UsableCurves(*set));
    }
    return (std::size_t{1} << 16) + points * 64;
}

#ifdef ZELK_PLOT_GLYPHS
// Every picture is written without Qt's painting, from the glyph table.

// Straight into memory that nothing has touched yet: the frame's first fill
// covers the whole client area, so every page is written once.
bool RenderPng(PlotState& state, std::string& bytes, std::string& error) {
    const int w = state.clientWidth;
    const int h = state.clientHeight;
    if (w < 1 || h < 1) {
        error = "a picture needs at least one pixel";
        return false;
    }
    const PixelMemory pixels =
        AllocatePixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    if (!pixels) {
        error = "the picture is too large";
        return false;
    }
    {
        PixelSurface surface(PixelCanvas(pixels.get(), w, w, h), glyphs::DrawText);
        DrawPass(state, CPlotter(), surface);
    }
    std::vector<unsigned char> png;
    if (!EncodePngInPlace(pixels.get(), w, h, png, error)) {
        return false;
    }
    bytes.assign(reinterpret_cast<const char*>(png.data()), png.size());
    return true;
}

// Whole pixels written as integers: a full plot has a hundred thousand
// points, which Qt's vector writers format one by one as real numbers.
bool EncodeSvg(PlotState& state, std::string& bytes, std::string&) {
    SvgSurface surface(state.clientWidth, state.clientHeight,
                       {glyphs::kTable.cellHeight, glyphs::kTable.ascent, glyphs::Advance});
    surface.Reserve(ExpectedVectorBytes(state));
    DrawPass(state, CPlotter(), surface);
    bytes = surface.Finish();
    return true;
}

bool EncodePdf(PlotState& state, std::string& bytes, std::string& error) {
    PdfSurface surface(state.clientWidth, state.clientHeight);
    surface.Reserve(ExpectedVectorBytes(state));
    DrawPass(state, CPlotter(), surface);
    bytes = surface.Finish("Zelk plot", "Zelk");
    if (bytes.empty()) {
        error = "cannot compress the picture";
        return false;
    }
    return true;
}

#else
// Without the glyph table (a cross build) Qt paints every picture.

void Paint(PlotState& state, QPainter& painter) {
    QPainterSurface surface(painter);
    DrawPass(state, CPlotter(), surface);
}

bool RenderPng(PlotState& state, std::string& bytes, std::string& error) {
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
    std::vector<unsigned char> png;
    if (!EncodePng(reinterpret_cast<const std::uint32_t*>(image.constBits()),
                   static_cast<int>(image.bytesPerLine() / 4), image.width(), image.height(), png,
                   error)) {
        return false;
    }
    bytes.assign(reinterpret_cast<const char*>(png.data()), png.size());
    return true;
}

// Paints one pass on a vector device writing into a buffer.
bool PaintInto(QPaintDevice& device, PlotState& state, std::string& error) {
    QPainter painter;
    if (!painter.begin(&device)) {
        error = "cannot draw the picture";
        return false;
    }
    Paint(state, painter);
    if (!painter.end()) {
        error = "cannot draw the picture";
        return false;
    }
    return true;
}

bool EncodeSvg(PlotState& state, std::string& bytes, std::string& error) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(state.clientWidth, state.clientHeight));
    svg.setViewBox(QRect(0, 0, state.clientWidth, state.clientHeight));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Zelk plot"));
    if (!PaintInto(svg, state, error)) {
        return false;
    }
    bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}

bool EncodePdf(PlotState& state, std::string& bytes, std::string& error) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(96);
    pdf.setCreator(QStringLiteral("Zelk"));
    pdf.setTitle(QStringLiteral("Zelk plot"));
    // A page exactly the size of the plot: one pixel of the view is one
    // 1/96 inch, as on the screen.
    const QSizeF points(state.clientWidth * 72.0 / 96.0, state.clientHeight * 72.0 / 96.0);
    pdf.setPageLayout(
        QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    if (!PaintInto(pdf, state, error)) {
        return false;
    }
    bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}
#endif

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

namespace {

qint64 Size(std::string_view bytes) {
    return static_cast<qint64>(bytes.size());
}

}  // namespace

bool SaveFile(const std::string& path, std::string_view bytes, std::string& error) {
    const QString file = QString::fromStdString(path);
    // A device, a pipe or a folder is never replaced by a plain file, and a
    // link to one is not written through; a link to a file is followed to
    // its target, which is replaced.
    const QFileInfo existing(file);
    if (existing.exists() && !existing.isFile()) {
        if (existing.isDir() || existing.isSymLink()) {
            error = "cannot write the file: it is not a regular file";
            return false;
        }
        // A device or a pipe named as such (/dev/null, /dev/stdout, a FIFO a
        // script reads) takes the bytes as a stream.
        QFile stream(file);
        if (!stream.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            stream.write(bytes.data(), Size(bytes)) != Size(bytes)) {
            error = "cannot write the file: " + stream.errorString().toStdString();
            return false;
        }
        return true;
    }
    QSaveFile out(file);
    // Unbuffered: a write that falls short is seen here. A buffered one would
    // only fail in the flush inside commit(), which still renames the cut
    // file into place.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = "cannot write the file: " + out.errorString().toStdString();
        return false;
    }
    if (out.write(bytes.data(), Size(bytes)) != Size(bytes) ||
        out.error() != QFileDevice::NoError || !out.commit()) {
        error = "cannot write the file: " + out.errorString().toStdString();
        out.cancelWriting();
        return false;
    }
    return true;
}

bool SaveOps(PlotState& state, const std::string& path, std::string& error) {
    std::ostringstream text;
    WriteOps(state, text);
    const std::string ops = std::move(text).str();
    return SaveFile(path, ops, error);
}

bool EncodePicture(PlotState& state, PictureFormat format, std::string& bytes, std::string& error) {
    switch (format) {
        case PictureFormat::Png:
            return RenderPng(state, bytes, error);
        case PictureFormat::Svg:
            return EncodeSvg(state, bytes, error);
        case PictureFormat::Pdf:
            return EncodePdf(state, bytes, error);
        case PictureFormat::None:
            break;
    }
    error = "unknown picture format";
    return false;
}

bool WritePicture(PlotState& state, const std::string& path, PictureFormat format,
                  std::string& error) {
    std::string bytes;
    return EncodePicture(state, format, bytes, error) && SaveFile(path, bytes, error);
}

}  // namespace zelk::render
