// zelk-fit: the demo fitting program that comes with Zelk. Zelk starts it in
// the task folder with no argument; it fits the task's model to the measured
// curves and writes the result file, EPS.res and newmod.res.

#include <cwchar>
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
// windows.h first
#include <shellapi.h>
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

#ifdef _WIN32
std::string Utf8(const wchar_t* text, int length) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}
#endif

// The absolute path of this very program, for the demo's START_A.INP, in
// UTF-8 as Zelk reads its task files.
std::string SelfPath(const char* argv0) {
#ifdef _WIN32
    // The narrow argv and the C++ library's narrow paths are in the ANSI code
    // page on Windows, which cannot spell every folder name.
    std::wstring wide(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    if (n > 0 && n < wide.size()) {
        return Utf8(wide.data(), static_cast<int>(n));
    }
#endif
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        self = std::filesystem::absolute(argv0, ec);
    }
    return self.string();
}

// Argument index in UTF-8. On Windows the narrow argv is in the ANSI code
// page: the argument is taken from the wide command line instead.
std::string Utf8Argument(int argc, char** argv, int index) {
#ifdef _WIN32
    int count = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        std::string text;
        const bool same = count == argc;
        if (same) {
            text = Utf8(wide[index], static_cast<int>(std::wcslen(wide[index])));
        }
        ::LocalFree(wide);
        if (same) {
            return text;
        }
    }
#endif
    (void)argc;
    return argv[index];
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
            const std::string folder = Utf8Argument(argc, argv, 2);
            MakeDemo(folder, program);
            if (program.size() > 98) {
                std::cerr << "zelk-fit: warning: the path of this program is longer than 98 "
                             "characters; Zelk reads at most 98 from line 11 of START_A.INP\n";
            }
            std::cout << "Demo task written to " << folder << '\n';
            return 0;
        } catch (const std::exception& e) {
            std::cerr << "zelk-fit: " << e.what() << '\n';
            return 2;
        }
    }
    std::cerr << kUsage;
    return 2;
}
