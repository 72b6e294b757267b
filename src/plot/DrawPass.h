#pragma once
// The drawing pass: the whole plot drawn from the PlotState alone, on the one
// surface it is given (screen, printer page, image or recording).

#include "plot/PlotState.h"
#include "plot/Surface.h"

namespace zelk {

class CPlotter;

// Writes plotY and scratchText, and on a logarithmic y axis replaces exact
// zero ordinates of the drawn sets by 1e-9 in place; changes nothing else.
void DrawPass(PlotState& state, const CPlotter& plotter, Surface& target);

}  // namespace zelk
