#include "frame/QPainterSurface.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

namespace zelk {

namespace {

QColor ToQColor(Colour c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// Image memory can be written directly only when nothing would have changed
// what the painter itself writes there.
std::optional<PixelCanvas> DirectCanvas(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image) {
        return std::nullopt;
    }
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return std::nullopt;
    }
    if (!painter.deviceTransform().isIdentity() || painter.hasClipping() ||
        painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver) {
        return std::nullopt;
    }
    return PixelCanvas(reinterpret_cast<std::uint32_t*>(image->bits()),
                       static_cast<int>(image->bytesPerLine() / 4), image->width(),
                       image->height());
}

QPen MakePen(QColor colour, int width, bool dotted) {
    QPen pen(colour);
    pen.setWidth(width);
    if (width <= 1) {
        // A flat cap leaves out the end pixel of an aliased 1-pixel line.
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        if (dotted) {
            pen.setDashPattern({static_cast<qreal>(QPainterSurface::kDotOn),
                                static_cast<qreal>(QPainterSurface::kDotOff)});
        }
    } else {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    return pen;
}

}  // namespace

QFont QPainterSurface::PlotFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QPainterSurface::QPainterSurface(QPainter& painter, Lines lines)
    : painter_(painter), background_(RGB(255, 255, 255)) {
    if (lines == Lines::Auto) {
        if (const std::optional<PixelCanvas> canvas = DirectCanvas(painter_)) {
            pixels_.emplace(*canvas, nullptr);  // text is drawn by Qt below
        }
    }
    const int type = painter_.device() != nullptr ? painter_.device()->devType() : 0;
    pixelDevice_ =
        (type == QInternal::Image || type == QInternal::Pixmap || type == QInternal::Widget) &&
        painter_.deviceTransform().type() <= QTransform::TxTranslate;
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    // Opaque text cells and dotted gaps are painted here explicitly, which
    // works the same on every paint device (raster, SVG, PDF, printer).
    painter_.setBackgroundMode(Qt::TransparentMode);
    painter_.setBrush(Qt::NoBrush);
    const QFont font = PlotFont();
    painter_.setFont(font);
    const QFontMetrics metrics(font, painter_.device());
    textAscent_ = metrics.ascent();
    textHeight_ = metrics.height();
    pens_.push_back({PS_SOLID, 1, RGB(0, 0, 0)});  // a device context's default pen
    run_.reserve(4096);
}

QPainterSurface::~QPainterSurface() {
    Flush();
    painter_.restore();
}

void QPainterSurface::ApplyPen(const QPen& pen) {
    if (!penApplied_ || pen != applied_) {
        painter_.setPen(pen);
        applied_ = pen;
        penApplied_ = true;
    }
}

void QPainterSurface::Flush() {
    if (run_.size() >= 2) {
        const PenState& current = pens_.back();
        const int width = current.width < 1 ? 1 : current.width;
        const bool dotted = current.style == PS_DOT && width == 1;
        const auto count = static_cast<int>(run_.size());
        if (dotted) {
            ApplyPen(MakePen(ToQColor(background_), 1, false));
            painter_.drawPolyline(run_.data(), count);
        }
        if (width > 1 && width <= kMaxBrushWidth && pixelDevice_) {
            // On pixels a square brush is the 1-pixel line, ends included,
            // drawn once per brush offset: far cheaper than Qt's wide strokes.
            QPen pen = MakePen(ToQColor(current.colour), 1, false);
            pen.setCapStyle(Qt::SquareCap);
            ApplyPen(pen);
            const int lead = width / 2;
            for (int dy = 0; dy < width; ++dy) {
                for (int dx = 0; dx < width; ++dx) {
                    const QPoint shift(dx - lead, dy - lead);
                    for (QPoint& point : run_) {
                        point += shift;
                    }
                    painter_.drawPolyline(run_.data(), count);
                    for (QPoint& point : run_) {
                        point -= shift;
                    }
                }
            }
        } else {
            ApplyPen(MakePen(ToQColor(current.colour), width, dotted));
            painter_.drawPolyline(run_.data(), count);
        }
    }
    run_.clear();
}

void QPainterSurface::FillSolidRect(int x, int y, int cx, int cy, Colour colour) {
    Flush();
    if (pixels_) {
        pixels_->FillSolidRect(x, y, cx, cy, colour);
    } else if (cx > 0 && cy > 0) {
        painter_.fillRect(x, y, cx, cy, ToQColor(colour));
    }
    background_ = colour;
}

void QPainterSurface::MoveTo(int x, int y) {
    Flush();
    current_ = QPoint(x, y);
    if (pixels_) {
        pixels_->MoveTo(x, y);
    }
}

void QPainterSurface::LineTo(int x, int y) {
    const QPoint to(x, y);
    if (to == current_) {
        return;  // a line of no length draws nothing
    }
    if (pixels_) {
        pixels_->LineTo(x, y);
        current_ = to;
        return;
    }
    if (run_.empty()) {
        run_.push_back(current_);
    }
    run_.push_back(to);
    current_ = to;
}

void QPainterSurface::TextOut(int x, int y, std::string_view text) {
    Flush();
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const int width = painter_.fontMetrics().horizontalAdvance(s);
    if (width > 0) {
        painter_.fillRect(x, y, width, textHeight_, ToQColor(background_));
    }
    ApplyPen(QPen(Qt::black));
    painter_.drawText(QPoint(x, y + textAscent_), s);
}

void QPainterSurface::SelectNewPen(int style, int width, Colour colour) {
    Flush();
    pens_.push_back({style, width, colour});
    if (pixels_) {
        pixels_->SelectNewPen(style, width, colour);
    }
}

void QPainterSurface::RestorePen() {
    Flush();
    if (pens_.size() > 1) {
        pens_.pop_back();
    }
    if (pixels_) {
        pixels_->RestorePen();
    }
}

}  // namespace zelk
