#pragma once
// Shared by the reader fuzzers: a private folder that is the current
// directory for the whole run, and a check that aborts the run on a broken
// promise (libFuzzer reports the abort with the input that caused it).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/TempDir.h"

namespace zelk::fuzz {

// Removed again by its static destructor when libFuzzer exits normally.
inline testing::TempWorkDir& TaskDir() {
    static testing::TempWorkDir dir;
    return dir;
}

inline void WriteTaskFile(const std::string& name, std::string_view content) {
    TaskDir().Write(name, content);
}

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace zelk::fuzz
