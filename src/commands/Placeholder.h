#pragma once
// The placeholder fit input that the placeholder run hands to the fitting
// program in place of the user's FIT.INP.

#include <string>
#include <string_view>

namespace zelk {

inline constexpr int kPlaceholderLineCount = 10;

// One line of the placeholder, "\n" included: the values 0, 1, 0.0, 1, 0.0,
// 1.0, 0, 1, 0.0 in the fixed layout the fitting program reads, formatted the
// same under every locale.
std::string PlaceholderLine();

// Creates path anew with kPlaceholderLineCount placeholder lines, written in
// text mode (so with the platform's line ends). False when the file could not
// be created or written completely.
bool WritePlaceholderFitInput(const std::string& path);

// The whole placeholder file as WritePlaceholderFitInput writes it on this
// platform.
std::string PlaceholderBytes();

// True when bytes are the placeholder file, with either platform's line ends
// (a task folder may be shared between systems).
bool IsPlaceholder(std::string_view bytes);

}  // namespace zelk
