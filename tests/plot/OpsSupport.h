#pragma once
// Helpers for reading a RecordingSurface in tests: the ops as text lines and a
// few filters.

#include <sstream>
#include <string>
#include <vector>

#include "plot/RecordingSurface.h"

namespace zelk::testing {

inline std::vector<std::string> Lines(const RecordingSurface& s) {
    std::vector<std::string> lines;
    std::istringstream in(s.ToText());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Lines starting with prefix, in order.
inline std::vector<std::string> LinesStartingWith(const RecordingSurface& s,
                                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : Lines(s)) {
        if (line.rfind(prefix, 0) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

struct Tick {
    int x;  // column (x axis) or 39 (y axis)
    int y;
    std::string label;
    int labelX;
    int labelY;
};

// A tick is a move, a line and a text in a row.
inline std::vector<Tick> Ticks(const RecordingSurface& s) {
    using K = RecordingSurface::OpKind;
    std::vector<Tick> ticks;
    const auto& ops = s.ops();
    for (std::size_t i = 0; i + 2 < ops.size(); ++i) {
        if (ops[i].kind == K::Move && ops[i + 1].kind == K::Line && ops[i + 2].kind == K::Text) {
            ticks.push_back(
                {ops[i].a, ops[i + 1].b, s.TextOf(ops[i + 2]), ops[i + 2].a, ops[i + 2].b});
        }
    }
    return ticks;
}

}  // namespace zelk::testing
