#include "plot/ContentDigest.h"

// xxHash's XXH3, compiled into this file alone: no library to link, and the
// same code on every platform.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace zelk {

struct ContentDigest::State {
    XXH3_state_t xxh;
};

ContentDigest::ContentDigest() = default;
ContentDigest::~ContentDigest() = default;

void ContentDigest::Reset() {
    if (!state_) {
        state_ = std::make_unique<State>();
    }
    XXH3_64bits_reset(&state_->xxh);
    bytes_ = 0;
}

void ContentDigest::Add(const void* data, std::size_t size) {
    if (!state_) {
        Reset();
    }
    XXH3_64bits_update(&state_->xxh, data, size);
    bytes_ += size;
}

std::uint64_t ContentDigest::Value() const {
    return state_ ? XXH3_64bits_digest(&state_->xxh) : XXH3_64bits(nullptr, 0);
}

std::uint64_t ContentDigest::Of(std::string_view bytes) {
    return XXH3_64bits(bytes.data(), bytes.size());
}

}  // namespace zelk
