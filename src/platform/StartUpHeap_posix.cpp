// Start-up memory on a transparent large page (Linux with glibc).

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Linux 6.1 and later; older C libraries do not name it yet.
#if defined(__linux__) && !defined(MADV_COLLAPSE)
#define MADV_COLLAPSE 25
#endif

#include "platform/Platform.h"

namespace zelk::platform {

namespace {

// Reads a small text file of the kernel's whole into text, ended by a NUL.
bool ReadSystemText(const char* path, char (&text)[128]) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) {
        return false;
    }
    text[n] = '\0';
    return true;
}

// The filler below the start-up page, kept for the life of the process.
void* startUpFiller = nullptr;

}  // namespace

std::size_t TransparentLargePageSize() {
    char text[128];
    // "always [madvise] never": the bracketed word is the setting.
    if (!ReadSystemText("/sys/kernel/mm/transparent_hugepage/enabled", text) ||
        std::strstr(text, "[never]") != nullptr) {
        return 0;
    }
    if (!ReadSystemText("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size", text)) {
        return 0;
    }
    char* end = nullptr;
    const unsigned long long size = std::strtoull(text, &end, 10);
    const auto page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
    // A power of two, larger than a page.
    if (end == text || size <= page || (size & (size - 1)) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(size);
}

bool PrepareHeapForStartUp() {
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE) && \
    (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const std::size_t large = TransparentLargePageSize();
    // Kernels with 64 KiB pages have 512 MiB large pages: far more than a
    // start needs.
    if (large == 0 || large > (std::size_t{32} << 20)) {
        return false;
    }
    // glibc serves a request of its mapping threshold or more (128 KiB at
    // first) with a mapping of its own, and raises the threshold to the size
    // of the largest such block freed. One large block freed now raises it as
    // a program's first large free would, so that the two blocks below come
    // from the heap.
    void* raise = std::malloc(2 * large);
    if (raise == nullptr) {
        return false;
    }
    std::free(raise);

    // The heap's free top ends at the program break. A chunk's header is the
    // 16 bytes before the pointer handed out, and a request of n bytes takes
    // (n + 23) rounded down to 16 (glibc on 64-bit systems).
    constexpr std::uintptr_t kHeader = 16;
    const auto breakAt = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    const std::uintptr_t topStart = breakAt - mallinfo2().keepcost;
    const std::uintptr_t aligned = (topStart + 3 * kHeader + large - 1) & ~(large - 1);
    // The filler takes the heap up to the large page; only its first bytes
    // are ever written, so the rest costs address space and nothing else. It
    // stays allocated for the life of the process. A free block of the
    // filler's size elsewhere would be handed out first: such blocks are held
    // while the filler is tried again, and given back at the end.
    void* filler = nullptr;
    void* elsewhere[8] = {};
    int held = 0;
    while (filler == nullptr && held < 8) {
        void* tried = std::malloc(aligned - kHeader - topStart - kHeader);
        if (tried == nullptr) {
            break;
        }
        if (reinterpret_cast<std::uintptr_t>(tried) == topStart + kHeader) {
            filler = tried;
        } else {
            elsewhere[held++] = tried;
        }
    }
    bool advised = false;
    if (filler != nullptr) {
        // The heap now has to reach past the large page before anything
        // writes into it: a page written first comes as a small page and
        // keeps the large one out. Allocating the whole page extends the heap
        // and writes only the headers just below and just above it.
        void* block = std::malloc(large);
        advised = reinterpret_cast<std::uintptr_t>(block) == aligned &&
                  ::madvise(block, large, MADV_HUGEPAGE) == 0;
        // Freed, the block joins the heap's free top, which stays well below
        // the raised trim threshold, so the heap is not shrunk back. The next
        // allocations are carved from it.
        std::free(block);
    }
    while (held > 0) {
        std::free(elsewhere[--held]);
    }
    if (!advised) {
        std::free(filler);
        return false;
    }
    startUpFiller = filler;
    return true;
#else
    return false;
#endif
}

bool PrepareThreadHeapForStartUp() {
#if defined(__linux__) && defined(__GLIBC__)
    const std::size_t large = TransparentLargePageSize();
    if (large == 0 || large > (std::size_t{32} << 20)) {
        return false;
    }
    // glibc gives a thread its own heap at its first allocation, starting on
    // a boundary far coarser than a large page, with its bookkeeping and the
    // first blocks at the start. Growing that heap past the end of its first
    // large page and freeing the growth again leaves it that long: freed
    // space is kept up to the trim threshold that PrepareHeapForStartUp
    // raised. Without that, the block comes from a mapping of its own and the
    // heap stays too short for the request below, which then fails.
    void* first = std::malloc(1);
    if (first == nullptr) {
        return false;
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(first) & ~(large - 1);
    std::free(first);
    void* growth = std::malloc(large);
    if (growth == nullptr) {
        return false;
    }
    const bool inHeap = reinterpret_cast<std::uintptr_t>(growth) > start &&
                        reinterpret_cast<std::uintptr_t>(growth) < start + large;
    std::free(growth);
    // The pages already written are copied into one large page and the rest
    // of it comes with them: no stop for the kernel at each later first write.
    return inHeap && ::madvise(reinterpret_cast<void*>(start), large, MADV_COLLAPSE) == 0;
#else
    return false;
#endif
}

}  // namespace zelk::platform
