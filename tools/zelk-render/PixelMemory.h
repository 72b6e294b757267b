#pragma once
// Memory for a picture's pixels that nothing touches before the drawing pass
// writes it. Touching fresh memory costs a page fault per page: for a 4.9 MB
// picture more than drawing the whole plot. Where the system offers huge
// pages for the asking, a large picture takes them.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zelk::render {

struct PixelMemoryFree {
    std::size_t count;
    void operator()(std::uint32_t* pixels) const;
};
using PixelMemory = std::unique_ptr<std::uint32_t[], PixelMemoryFree>;

// count pixels, each zero at first; empty when there is not enough memory.
PixelMemory AllocatePixels(std::size_t count);

}  // namespace zelk::render
