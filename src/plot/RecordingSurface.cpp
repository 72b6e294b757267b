#include "plot/RecordingSurface.h"

#include <array>
#include <charconv>

namespace zelk {

void RecordingSurface::FillSolidRect(int x, int y, int cx, int cy, Colour colour) {
    ops_.push_back({OpKind::Fill, x, y, cx, cy, colour});
    background_ = colour;
}

void RecordingSurface::MoveTo(int x, int y) {
    ops_.push_back({OpKind::Move, x, y});
}

void RecordingSurface::LineTo(int x, int y) {
    ops_.push_back({OpKind::Line, x, y});
}

void RecordingSurface::TextOut(int x, int y, std::string_view text) {
    Op op{OpKind::Text, x, y};
    op.text = static_cast<int>(texts_.size());
    texts_.emplace_back(text);
    ops_.push_back(op);
}

void RecordingSurface::SelectNewPen(int style, int width, Colour colour) {
    ops_.push_back({OpKind::Pen, style, width, 0, 0, colour});
    ++penDepth_;
}

void RecordingSurface::RestorePen() {
    ops_.push_back({OpKind::Unpen});
    --penDepth_;
}

void RecordingSurface::Clear() {
    ops_.clear();
    texts_.clear();
    background_ = 0xFFFFFF;
    penDepth_ = 0;
}

void RecordingSurface::Reserve(std::size_t ops) {
    ops_.reserve(ops);
}

namespace {

void AppendInt(std::string& out, int v) {
    std::array<char, 16> buf{};
    auto result = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    out.append(buf.data(), result.ptr);
}

void AppendColour(std::string& out, Colour c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "0x";
    for (int shift = 20; shift >= 0; shift -= 4) {
        out += kHex[(c >> shift) & 0xF];
    }
}

}  // namespace

std::string RecordingSurface::FormatOp(const Op& op, std::string_view text) {
    std::string line;
    switch (op.kind) {
        case OpKind::Fill:
            line = "fill ";
            for (int v : {op.a, op.b, op.c, op.d}) {
                AppendInt(line, v);
                line += ' ';
            }
            AppendColour(line, op.colour);
            break;
        case OpKind::Move:
        case OpKind::Line:
        case OpKind::Text:
            line =
                op.kind == OpKind::Move ? "move " : (op.kind == OpKind::Line ? "line " : "text ");
            AppendInt(line, op.a);
            line += ' ';
            AppendInt(line, op.b);
            if (op.kind == OpKind::Text) {
                line += ' ';
                line += text;
            }
            break;
        case OpKind::Pen:
            line = "pen ";
            AppendInt(line, op.a);
            line += ' ';
            AppendInt(line, op.b);
            line += ' ';
            AppendColour(line, op.colour);
            break;
        case OpKind::Unpen:
            line = "unpen";
            break;
    }
    return line;
}

void RecordingSurface::Write(std::ostream& out) const {
    for (const Op& op : ops_) {
        out << FormatOp(op, op.text >= 0 ? std::string_view(TextOf(op)) : std::string_view())
            << '\n';
    }
}

std::string RecordingSurface::ToText() const {
    std::string text;
    for (const Op& op : ops_) {
        text += FormatOp(op, op.text >= 0 ? std::string_view(TextOf(op)) : std::string_view());
        text += '\n';
    }
    return text;
}

}  // namespace zelk
