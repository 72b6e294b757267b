#pragma once
// Drawing one pass of a plot state into a file: the --ops text, or a PNG, SVG
// or PDF picture chosen by the file name's extension.

#include <ostream>
#include <string>
#include <string_view>

#include "plot/PlotState.h"

namespace zelk::render {

enum class PictureFormat { None, Png, Svg, Pdf };

// By the extension, in any case; None when it is none of the three.
PictureFormat PictureFormatOf(const std::string& path);

// Writes the surface operations of one drawing pass, one per line.
void WriteOps(PlotState& state, std::ostream& out);

// Writes bytes to path through a temporary file in the same folder and a
// rename, so that a failed write leaves any earlier file as it was. Refuses
// to replace anything but a regular file. Returns false, with the reason in
// error, when the file could not be written completely.
bool SaveFile(const std::string& path, std::string_view bytes, std::string& error);

// Writes the surface operations of one pass into a file, as SaveFile does.
bool SaveOps(PlotState& state, const std::string& path, std::string& error);

// Draws one pass into the bytes of a picture file.
bool EncodePicture(PlotState& state, PictureFormat format, std::string& bytes, std::string& error);

// Draws one pass into a picture file of clientWidth x clientHeight pixels (for
// PDF a page of that size at 96 dots per inch). Returns false, with the reason
// in error, when the file cannot be written; an earlier file is then left as it was.
bool WritePicture(PlotState& state, const std::string& path, PictureFormat format,
                  std::string& error);

}  // namespace zelk::render
