#pragma once
// Scratch folders for tests that work with real files.
//
//   TempDir        a fresh, uniquely named folder, removed with everything in
//                  it on destruction; writes and reads files byte for byte.
//   ScopedCurrentDir
//                  makes a folder the process's current directory and goes
//                  back to the previous one on destruction.
//   TempWorkDir    both: a fresh folder that is current for the test's scope,
//                  as a task folder is for the readers and commands.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zelk::testing {

class TempDir {
  public:
    TempDir() {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate = base / ("zelk-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = std::move(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder in " + base.string());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes content exactly as given (no line-end translation); name may hold
    // sub-folders, which are created.
    std::filesystem::path Write(const std::string& name, std::string_view content) const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + file.string());
        }
        return file;
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        if (!in) {
            throw std::runtime_error("cannot read " + (path_ / name).string());
        }
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

    void Remove(const std::string& name) const { std::filesystem::remove(path_ / name); }

  private:
    std::filesystem::path path_;
};

class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCurrentDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

  private:
    std::filesystem::path previous_;
};

// Members are destroyed in reverse order: the old current directory comes back
// before the folder is removed.
class TempWorkDir : public TempDir {
  public:
    TempWorkDir() : current_(Path()) {}

  private:
    ScopedCurrentDir current_;
};

}  // namespace zelk::testing
