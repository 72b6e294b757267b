#include "platform/PathRules.h"

namespace zelk::platform::rules {

namespace {

bool IsWindowsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Join(const std::string& dir, const std::string& name, bool absolute, char separator,
                 bool (*isSeparator)(char)) {
    if (absolute || dir.empty()) {
        return name;
    }
    if (isSeparator(dir.back())) {
        return dir + name;
    }
    return dir + separator + name;
}

bool IsPosixSeparator(char c) {
    return c == '/';
}

}  // namespace

bool IsAbsolutePosix(const std::string& name) {
    return !name.empty() && name.front() == '/';
}

bool IsAbsoluteWindows(const std::string& name) {
    if (!name.empty() && IsWindowsSeparator(name.front())) {
        return true;
    }
    return name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == ':';
}

std::string JoinPosix(const std::string& dir, const std::string& name) {
    return Join(dir, name, IsAbsolutePosix(name), '/', IsPosixSeparator);
}

std::string JoinWindows(const std::string& dir, const std::string& name) {
    return Join(dir, name, IsAbsoluteWindows(name), '\\', IsWindowsSeparator);
}

std::vector<std::string> SplitOnBlanks(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    for (char c : commandLine) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

std::string QuoteWindowsArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        return arg;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Backslashes before a quote are doubled, and the quote itself is
            // escaped with one more.
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote would escape it: double them.
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string BuildWindowsCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) {
            line += ' ';
        }
        line += QuoteWindowsArgument(arg);
    }
    return line;
}

}  // namespace zelk::platform::rules
