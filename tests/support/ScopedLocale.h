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
#ifdef _WIN32
        // The C runtimes of Windows name their locales "de_DE", "de-DE" or
        // "German_Germany" rather than "de_DE.UTF-8", and the C++ library of
        // MinGW knows no named locale but "C": there the C library's locale is
        // the one that could change how numbers read.
        const std::string wanted(name);
        const std::string bare = wanted.substr(0, wanted.find('.'));
        std::string dashed = bare;
        if (dashed.size() == 5 && dashed[2] == '_') {
            dashed[2] = '-';
        }
        for (const std::string& candidate : {wanted, bare, dashed}) {
            if (std::setlocale(LC_ALL, candidate.c_str()) != nullptr) {
                active_ = true;
                break;
            }
        }
        return;
#endif
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
    bool Active() const {
        return active_;
    }

  private:
    std::string previousC_;
    std::locale previousCpp_;
    bool active_ = false;
};

}  // namespace zelk::testing
