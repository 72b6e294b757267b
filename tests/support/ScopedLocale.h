#pragma once
// Runs a test under another locale, both the C library's and the C++ global
// one, as a Qt application does after taking the locale from the environment.

#include <clocale>
#include <locale>
#include <string>

namespace zelk::testing {

class ScopedLocale {
  public:
    explicit ScopedLocale(const char* name)
        : previousC_(std::setlocale(LC_ALL, nullptr)), previousCpp_(std::locale()) {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            return;
        }
        try {
            std::locale::global(std::locale(name));
            active_ = true;
        } catch (const std::runtime_error&) {
            std::setlocale(LC_ALL, previousC_.c_str());
        }
    }
    ~ScopedLocale() {
        std::locale::global(previousCpp_);
        std::setlocale(LC_ALL, previousC_.c_str());
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    // False when the system does not have the locale; callers should fail.
    bool Active() const { return active_; }

  private:
    std::string previousC_;
    std::locale previousCpp_;
    bool active_ = false;
};

}  // namespace zelk::testing
