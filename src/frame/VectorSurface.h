#pragma once
// What the SVG and PDF surfaces share: the pen stack of a device context,
// the background colour a fill leaves, and the joining of consecutive
// line-tos into one run, stroked when anything else is drawn. A 1-pixel
// dotted pen is stroked twice: solid in the background colour for the gaps,
// then dashed in its own colour.

#include <vector>

#include "plot/Surface.h"

namespace zelk {

class VectorSurface : public Surface {
  public:
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SelectNewPen(int style, int width, Colour colour) override;
    void RestorePen() override;

  protected:
    VectorSurface();

    // Strokes the collected run (x, y pairs) in colour at width.
    virtual void StrokeRun(const std::vector<int>& run, Colour colour, int width, bool dashed) = 0;

    // Strokes what has been collected; every other operation calls it first.
    void Flush();
    Colour background() const { return background_; }
    void SetBackground(Colour colour) { background_ = colour; }

  private:
    struct PenState {
        int style;
        int width;
        Colour colour;
    };

    std::vector<PenState> pens_;
    Colour background_;
    int x_ = 0;
    int y_ = 0;
    std::vector<int> run_;
};

}  // namespace zelk
