#pragma once
// A temporary folder that is the current directory while the object lives:
// created empty (its name may carry a blank), made current, and on
// destruction the previous current directory is restored and the folder
// removed with everything in it. Plus the few file helpers the tests need.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zelk::testing {

class TaskFolder {
  public:
    explicit TaskFolder(const std::string& namePart = "zelk task") {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::string pattern = (base / (namePart + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        path_ = std::filesystem::canonical(pattern).string();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TaskFolder() {
        std::error_code error;
        std::filesystem::current_path(previous_, error);
        std::filesystem::remove_all(path_, error);
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    out << text;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

}  // namespace zelk::testing
