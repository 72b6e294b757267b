// zelk-argv-dump: a child for the launcher's tests on Windows. It writes the
// argument vector it was given, as the C runtime parsed it from the command
// line, to "argv.txt" in its current directory: each argument in UTF-8 on a
// line of its own, preceded by its length in bytes and a colon, so that
// blanks, quotes and line ends inside an argument stay visible.
//
//   zelk-argv-dump [--sleep MS] [--exit CODE] [ARG...]
//
// --sleep waits before writing and --exit sets the exit status; both are
// written like every other argument. Started with ZELK_ARGV_DUMP_SLEEP_MS set
// in its environment, it first writes "started" to standard output and waits
// that long: a fitting program that runs until it is stopped.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* wide) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int exitCode = 0;
    if (const wchar_t* sleep = ::_wgetenv(L"ZELK_ARGV_DUMP_SLEEP_MS")) {
        std::fputs("started\n", stdout);
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(std::wcstoul(sleep, nullptr, 10)));
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--sleep") == 0) {
            ::Sleep(static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"--exit") == 0) {
            exitCode = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        }
    }
    std::string text;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = Utf8(argv[i]);
        text += std::to_string(arg.size()) + ":" + arg + "\n";
    }
    // Written under another name first, so that a reader never sees half of it.
    std::FILE* out = ::_wfopen(L"argv.txt.part", L"wb");
    if (out == nullptr) {
        return 120;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written ||
        !::MoveFileExW(L"argv.txt.part", L"argv.txt", MOVEFILE_REPLACE_EXISTING)) {
        return 121;
    }
    return exitCode;
}
