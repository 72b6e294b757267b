#include "frame/ToolbarIcons.h"

#include <QFont>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace zelk {
namespace {

class LetterIconEngine : public QIconEngine {
  public:
    explicit LetterIconEngine(const ToolbarButton& button) : button_(button) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setRenderHint(QPainter::TextAntialiasing, true);
        const QRectF area = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
        const bool disabled = mode == QIcon::Disabled;
        if (button_.whiteSquare) {
            painter->setPen(QPen(disabled ? QColor(128, 128, 128) : QColor(0, 0, 0), 1.0));
            painter->setBrush(Qt::white);
            painter->drawRect(area);
        }
        QFont font(QStringLiteral("Sans Serif"));
        font.setBold(true);
        font.setPixelSize(1000);
        const QString text = QString::fromLatin1(button_.glyph);
        // One letter size for every button: the largest at which the widest
        // picture, "N:M", fits with a small margin.
        const QRectF box = area.adjusted(area.width() * 0.06, area.height() * 0.08,
                                         -area.width() * 0.06, -area.height() * 0.08);
        const QRectF big = QFontMetricsF(font).tightBoundingRect(QStringLiteral("N:M"));
        const double scale = std::min(box.width() / std::max(1.0, big.width()),
                                      box.height() / std::max(1.0, big.height()));
        font.setPixelSize(std::max(1, static_cast<int>(1000 * scale)));
        painter->setFont(font);
        // Centred across, and on one common baseline down.
        const QFontMetricsF metrics(font);
        const QRectF tight = metrics.tightBoundingRect(text);
        const QRectF reference = metrics.tightBoundingRect(QStringLiteral("N:M"));
        const QPointF origin(box.center().x() - tight.center().x(),
                             box.center().y() - reference.center().y());
        painter->setPen(disabled ? QColor(128, 128, 128) : button_.ink);
        painter->drawText(origin, text);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pm(size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine* clone() const override { return new LetterIconEngine(button_); }

  private:
    ToolbarButton button_;
};

}  // namespace

QIcon MakeToolbarIcon(const ToolbarButton& button) {
    return QIcon(new LetterIconEngine(button));
}

}  // namespace zelk
