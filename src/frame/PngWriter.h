#pragma once
// A PNG encoder for plots: few colours, large flat areas, written fast. A
// picture of 256 colours or fewer becomes an 8-bit palette image, any other
// an 8-bit RGB image; both decode to exactly the pixels given. Plain C++ on
// libpng, so that it needs no image plugin and no window system.

#include <cstdint>
#include <string>
#include <vector>

namespace zelk {

// pixels: row 0 first, stride pixels from one row to the next, each pixel
// 0x??RRGGBB (the top byte is ignored). Appends the file's bytes to out.
// Returns false, with the reason in error, when libpng fails or the size is
// not one a PNG can hold (each side 1 to 2^31 - 1).
bool EncodePng(const std::uint32_t* pixels, int stride, int width, int height,
               std::vector<unsigned char>& out, std::string& error);

// The same for pixels in rows without gaps (stride = width), using their
// memory for the rows of the image: the pixels are lost, and no memory is
// touched besides theirs and the file's.
bool EncodePngInPlace(std::uint32_t* pixels, int width, int height, std::vector<unsigned char>& out,
                      std::string& error);

}  // namespace zelk
