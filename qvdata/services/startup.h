// The program's start-up checks: the installation is opened with its
// settings, the configured directories are checked and the configuration is
// brought to the current version.
#pragma once

#include <string>

namespace qv {

inline constexpr int kConfigVersion = 370;

enum StartupResult : int { StartupStop = 0, StartupGo = 1, StartupFirstRun = 99 };

// Runs the checks on the installation at `root`. Returns StartupStop (with
// the reason in `error`) when a settings store cannot be opened or another
// program works on the installation; StartupFirstRun on the first start of
// a new installation, when the start-up wizard is to follow.
int StartupChecks(const std::string& root, std::string& error);

// Resets every stored window position, window size and list column width
// to its default.
bool ResetWindowSettings();

}  // namespace qv
