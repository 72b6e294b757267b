#pragma once
// Sets (or, given nullptr, removes) one environment variable for the life of
// the object and puts the old value back afterwards.

#include <cstdlib>
#include <string>

namespace zelk::testing {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
            hadValue_ = true;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(hadValue_ ? saved_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const char* value) {
#ifdef _WIN32
        // An empty value removes the variable.
        ::_putenv_s(name_.c_str(), value != nullptr ? value : "");
#else
        if (value != nullptr) {
            ::setenv(name_.c_str(), value, 1);
        } else {
            ::unsetenv(name_.c_str());
        }
#endif
    }

    std::string name_;
    std::string saved_;
    bool hadValue_ = false;
};

}  // namespace zelk::testing
