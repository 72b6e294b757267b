#pragma once
// The application's names, as the user and the settings store see them.

namespace zelk {

// Caption of the main window (after the document name) and of every message box.
inline constexpr const char* kAppTitle = "Zelk";

// Where the settings live (the recent-file list among them).
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "Zelk";

inline constexpr const char* kAppVersion = "1.0.0.1";

}  // namespace zelk
