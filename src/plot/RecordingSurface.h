#pragma once
// A surface that records every operation instead of painting. Used by the tests
// and by zelk-render --ops, whose text format (one operation per line) is read
// by tools outside the project and must stay as it is:
//
//   fill X Y CX CY 0xBBGGRR
//   move X Y
//   line X Y
//   text X Y TEXT          (TEXT is the rest of the line, blanks kept)
//   pen STYLE WIDTH 0xBBGGRR
//   unpen

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "plot/Surface.h"

namespace zelk {

class RecordingSurface : public Surface {
  public:
    enum class OpKind : std::uint8_t { Fill, Move, Line, Text, Pen, Unpen };

    // fill: a, b, c, d = x, y, cx, cy; move/line/text: a, b = x, y;
    // pen: a = style, b = width. colour for fill and pen; text indexes texts().
    struct Op {
        OpKind kind;
        int a = 0;
        int b = 0;
        int c = 0;
        int d = 0;
        Colour colour = 0;
        int text = -1;
    };

    void FillSolidRect(int x, int y, int cx, int cy, Colour colour) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text) override;
    void SelectNewPen(int style, int width, Colour colour) override;
    void RestorePen() override;

    const std::vector<Op>& ops() const { return ops_; }
    const std::string& TextOf(const Op& op) const {
        return texts_[static_cast<std::size_t>(op.text)];
    }
    void Clear();
    void Reserve(std::size_t ops);

    // The device-context state the recorded operations leave behind.
    Colour background() const { return background_; }
    int penDepth() const { return penDepth_; }

    // One line per operation in the format above.
    static std::string FormatOp(const Op& op, std::string_view text);
    void Write(std::ostream& out) const;
    std::string ToText() const;

  private:
    std::vector<Op> ops_;
    std::vector<std::string> texts_;
    Colour background_ = 0xFFFFFF;  // a fresh device context has a white background
    int penDepth_ = 0;
};

}  // namespace zelk
