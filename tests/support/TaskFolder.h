#pragma once
// A temporary folder that is the current directory while the object lives:
// created empty (its name may carry a blank), made current, and on
// destruction the previous current directory is restored and the folder
// removed with everything in it. Plus the few file helpers the tests need.
// Every name is UTF-8 text, as the platform layer takes and gives it.

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zelk::testing {

// A UTF-8 name as a path of the file system, and back (on Windows the narrow
// std::string overloads would take the ANSI code page instead).
inline std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class TaskFolder {
  public:
    explicit TaskFolder(const std::string& namePart = "zelk task") {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937 random(seed());
        std::filesystem::path made;
        for (int attempt = 0; attempt < 100 && made.empty(); ++attempt) {
            const std::filesystem::path candidate =
                base / FsPath(namePart + "-" + std::to_string(random() % 1000000));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                made = candidate;
            }
        }
        if (made.empty()) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        path_ = Utf8(std::filesystem::canonical(made));
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(made);
    }
    ~TaskFolder() {
        std::error_code error;
        std::filesystem::current_path(previous_, error);
        std::filesystem::remove_all(FsPath(path_), error);
    }
    TaskFolder(const TaskFolder&) = delete;
    TaskFolder& operator=(const TaskFolder&) = delete;

    // The folder's full path, as the current directory reports it.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    out << text;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string ReadText(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(FsPath(path));
}

}  // namespace zelk::testing
