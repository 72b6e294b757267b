#include <cstdlib>

#include "PixelMemory.h"

namespace zelk::render {

void PixelMemoryFree::operator()(std::uint32_t* pixels) const {
    std::free(pixels);
}

PixelMemory AllocatePixels(std::size_t count) {
    return PixelMemory(count == 0
                           ? nullptr
                           : static_cast<std::uint32_t*>(std::calloc(count, sizeof(std::uint32_t))),
                       PixelMemoryFree{count});
}

}  // namespace zelk::render
