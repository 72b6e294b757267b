#pragma once
// The drawing pass: the whole plot drawn from the PlotState alone, on the one
// surface it is given (screen, printer page, image or recording).

#include "plot/PlotState.h"
#include "plot/Surface.h"

namespace zelk {

class CPlotter;
struct ViewRanges;

// Writes plotY and scratchText, and on a logarithmic y axis replaces exact
// zero ordinates of the drawn sets by 1e-9 in place; changes nothing else.
void DrawPass(PlotState& state, const CPlotter& plotter, Surface& target);

// The same pass on a zoomed or panned window instead of the axis file's
// ranges, with ticks of its own and the curves kept out of the margins.
// A null view is the pass above.
void DrawPass(PlotState& state, const CPlotter& plotter, Surface& target, const ViewRanges* view);

}  // namespace zelk
