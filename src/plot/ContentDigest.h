#pragma once
// A 64-bit digest of a file's bytes, fed in pieces as they are read. The
// readers take it of every file they read whole, and the follower of file
// changes compares versions of a file by it: two versions with one digest are
// the same content. Not a cryptographic hash; nothing here guards against a
// file made to collide on purpose.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace zelk {

class ContentDigest {
  public:
    ContentDigest();
    ~ContentDigest();
    ContentDigest(const ContentDigest&) = delete;
    ContentDigest& operator=(const ContentDigest&) = delete;

    void Reset();
    void Add(const void* data, std::size_t size);
    // The digest of the bytes added since the last Reset.
    std::uint64_t Value() const;
    // How many bytes that is.
    std::uint64_t Bytes() const { return bytes_; }

    static std::uint64_t Of(std::string_view bytes);

  private:
    struct State;
    std::unique_ptr<State> state_;  // made on first use
    std::uint64_t bytes_ = 0;
};

}  // namespace zelk
