#pragma once
// The platform-independent parts of the platform layer: how names are joined
// and recognised as absolute on each kind of system, how an editor command
// line is split, and how an argument vector becomes a Windows command line.
// Kept apart from the system calls so that both systems' rules can be tested
// on either system.

#include <string>
#include <vector>

namespace zelk::platform::rules {

// "/..." is absolute.
bool IsAbsolutePosix(const std::string& name);

// "C:\...", "C:/...", "C:name" (drive-relative), "\\server\share", "\..." and
// "/..." (rooted on the current drive) all name a place of their own and are
// used as they are.
bool IsAbsoluteWindows(const std::string& name);

// dir, one separator and name. An absolute name is returned unchanged; an
// empty dir leaves the name relative to the current directory; a dir that
// already ends with a separator gets no second one.
std::string JoinPosix(const std::string& dir, const std::string& name);
std::string JoinWindows(const std::string& dir, const std::string& name);

// Splits a command line on blanks and tabs; runs of them count as one, and no
// quoting is recognised.
std::vector<std::string> SplitOnBlanks(const std::string& commandLine);

// Quotes one argument so that the C runtime's (and CommandLineToArgvW's)
// parser gives it back unchanged: arguments without blanks, tabs or quotes
// pass as they are; otherwise they are put in quotes, each quote is escaped
// with a backslash, and backslashes directly before a quote (or before the
// closing quote) are doubled.
std::string QuoteWindowsArgument(const std::string& arg);

// The whole command line: the quoted arguments joined with single blanks.
std::string BuildWindowsCommandLine(const std::vector<std::string>& argv);

}  // namespace zelk::platform::rules
