#pragma once
// Drawing one pass of a plot state into a file: the --ops text, or a PNG, SVG
// or PDF picture chosen by the file name's extension.

#include <ostream>
#include <string>

#include "plot/PlotState.h"

namespace zelk::render {

enum class PictureFormat { None, Png, Svg, Pdf };

// By the extension, in any case; None when it is none of the three.
PictureFormat PictureFormatOf(const std::string& path);

// Writes the surface operations of one drawing pass, one per line.
void WriteOps(PlotState& state, std::ostream& out);

// Draws one pass into a picture file of clientWidth x clientHeight pixels (for
// PDF a page of that size at 96 dots per inch). Returns false, with the reason
// in error, when the file cannot be written.
bool WritePicture(PlotState& state, const std::string& path, PictureFormat format,
                  std::string& error);

}  // namespace zelk::render
