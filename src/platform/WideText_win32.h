#pragma once
// Text and names between the rest of the system (UTF-8) and the wide-character
// Windows services, shared by the platform layer's Windows files.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zelk::platform::win32 {

std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& wide);

// A name as the file services take it. Up to MAX_PATH characters a name goes
// as it is; a longer one is made a full path with the \\?\ prefix, which lifts
// the limit (and with it the services' own handling of "." and "..", which
// GetFullPathNameW has done by then).
std::wstring ApiPath(const std::string& path);

// The system's words for an error, in UTF-8, without the closing period and
// line end; "system error N" when it has none.
std::string SystemMessage(DWORD error);

}  // namespace zelk::platform::win32
