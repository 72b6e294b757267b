// zelk-fit: the demo fitting program that comes with Zelk. Zelk starts it in
// the task folder with no argument; it fits the task's model to the measured
// curves and writes the result file, EPS.res and newmod.res.

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include "Demo.h"
#include "FitRun.h"
#include "Text.h"

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: zelk-fit                  fit the task in the current folder\n"
    "       zelk-fit --make-demo DIR  write a demo task into DIR\n"
    "       zelk-fit --help | --version\n"
    "\n"
    "A fit reads START_A.INP (line 3 options file, line 5 model file, line 8\n"
    "experimental file, line 13 result file), FIT.INP and those files, and\n"
    "writes the result file, EPS.res (reduced chi-square) and newmod.res (the\n"
    "fitted model). Exit status: 0 done, 1 done but a fit did not converge,\n"
    "2 bad input (nothing written).\n";

// The absolute path of this very program, for the demo's START_A.INP, in
// UTF-8 as Zelk reads its task files.
std::string SelfPath(const char* argv0) {
#ifdef _WIN32
    // The narrow argv and the C++ library's narrow paths are in the ANSI code
    // page on Windows, which cannot spell every folder name.
    std::wstring wide(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    if (n > 0 && n < wide.size()) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n),
                                               nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n), text.data(), size,
                              nullptr, nullptr);
        return text;
    }
#endif
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        self = std::filesystem::absolute(argv0, ec);
    }
    return self.string();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zelk::fit;
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 1) {
        return RunFit(std::cout, std::cerr);
    }
    if (first == "--help" && argc == 2) {
        std::cout << kUsage;
        return 0;
    }
    if (first == "--version" && argc == 2) {
        std::cout << "zelk-fit " << ZELK_VERSION << '\n';
        return 0;
    }
    if (first == "--make-demo" && argc == 3 && argv[2][0] != '\0') {
        try {
            const std::string program = SelfPath(argv[0]);
            MakeDemo(argv[2], program);
            if (program.size() > 98) {
                std::cerr << "zelk-fit: warning: the path of this program is longer than 98 "
                             "characters; Zelk reads at most 98 from line 11 of START_A.INP\n";
            }
            std::cout << "Demo task written to " << argv[2] << '\n';
            return 0;
        } catch (const std::exception& e) {
            std::cerr << "zelk-fit: " << e.what() << '\n';
            return 2;
        }
    }
    std::cerr << kUsage;
    return 2;
}
