#pragma once
// The plot's drawing surface on a QPainter: screen, printer page, image, SVG or
// PDF. Imitates a classic device context as closely as Qt allows:
//  - no antialiasing, lines and text on whole pixels;
//  - FillSolidRect also makes its colour the background colour; a fill of zero
//    width or height paints nothing but still sets it;
//  - LineTo leaves out the end pixel of a 1-pixel line;
//  - TextOut writes black text on an opaque cell of the background colour,
//    top-left corner at the point, in a small fixed font about 13 pixels tall;
//  - a 1-pixel dotted pen draws 3 pixels on, 3 off, the gaps in the background
//    colour; wider pens are always solid, as with the classic CreatePen;
//  - wider pens are a square brush of their width (2 x 2 for the fitted
//    curves); on devices without pixels (SVG, PDF, printers) a Qt pen of that
//    width with round ends and joins.
// On a plain 32-bit image with no transform or clipping the lines and fills are
// written straight into the image (PixelCanvas): exact end pixels, and fast.
// On other devices (widgets, SVG, PDF, printers) Qt draws them: runs of
// MoveTo/LineTo are collected and handed to Qt as one polyline, the painter's
// pen is changed only when it has to be, and Qt's own end-pixel rule applies
// (it leaves out the lower or right end of a 1-pixel line).

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPoint>
#include <optional>
#include <vector>

#include "frame/PixelCanvas.h"
#include "frame/PixelSurface.h"
#include "plot/Surface.h"

class QPainter;

namespace zelk {

class QPainterSurface : public Surface {
  public:
    // The painter must stay active for the surface's life; its state is saved
    // here and restored by the destructor.
    enum class Lines { Auto, QtOnly };
    explicit QPainterSurface(QPainter& painter, Lines lines = Lines::Auto);
    ~QPainterSurface() override;
    QPainterSurface(const QPainterSurface&) = delete;
    QPainterSurface& operator=(const QPainterSurface&) = delete;

    void FillSolidRect(int x, int y, int cx, int cy, Colour colour) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text) override;
    void SelectNewPen(int style, int width, Colour colour) override;
    void RestorePen() override;

    // Draws the lines collected so far. Called by every other operation and by
    // the destructor; call it before reading the device while the surface lives.
    void Flush();

    // True when lines and fills go straight into image memory.
    bool direct() const { return pixels_.has_value(); }

    // The font of the labels and texts.
    static QFont PlotFont();

    // Dotted pen pattern, in pixels.
    static constexpr int kDotOn = PixelCanvas::kDotOn;
    static constexpr int kDotOff = PixelCanvas::kDotOff;

  private:
    struct PenState {
        int style;
        int width;
        Colour colour;
    };
    void ApplyPen(const QPen& pen);

    QPainter& painter_;
    std::optional<PixelSurface> pixels_;  // fills, lines and pens on image memory
    bool pixelDevice_ = false;            // whole device pixels, no scaling
    static constexpr int kMaxBrushWidth = 4;
    std::vector<PenState> pens_;  // back() is the current pen
    Colour background_;
    QPoint current_;
    std::vector<QPoint> run_;  // the collected polyline; run_[0] is its start
    QPen applied_;
    bool penApplied_ = false;
    int textAscent_;
    int textHeight_;
};

}  // namespace zelk
