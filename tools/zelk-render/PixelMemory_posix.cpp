#include <sys/mman.h>

#include "PixelMemory.h"

namespace zelk::render {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t Bytes(std::size_t count) {
    return (count * sizeof(std::uint32_t) + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void PixelMemoryFree::operator()(std::uint32_t* pixels) const {
    if (pixels != nullptr) {
        munmap(pixels, Bytes(count));
    }
}

PixelMemory AllocatePixels(std::size_t count) {
    if (count == 0 || count > (std::size_t{1} << 40) / sizeof(std::uint32_t)) {
        return PixelMemory(nullptr, PixelMemoryFree{count});
    }
    const std::size_t bytes = Bytes(count);
    // Anonymous memory reads as zero until written. Mapped a huge page larger,
    // the part on a huge-page boundary is kept and the rest given back.
    void* mapped = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return PixelMemory(nullptr, PixelMemoryFree{count});
    }
    auto* start = static_cast<unsigned char*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t lead = (kHugePage - address % kHugePage) % kHugePage;
    if (lead > 0) {
        munmap(start, lead);
    }
    if (kHugePage - lead > 0) {
        munmap(start + lead + bytes, kHugePage - lead);
    }
#ifdef MADV_HUGEPAGE
    madvise(start + lead, bytes, MADV_HUGEPAGE);  // a hint: fine when refused
#endif
    return PixelMemory(reinterpret_cast<std::uint32_t*>(start + lead), PixelMemoryFree{count});
}

}  // namespace zelk::render
