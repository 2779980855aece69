// The program's start-up checks: the installation is opened with its
// settings, the configured directories are checked and the configuration is
// brought to the current version.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

inline constexpr int kConfigVersion = 370;

// Installations of versions before 3.30 and from 3.53 to 3.59 keep a
// database list and file list of the narrower layout, and those before 3.00
// their files in the program directory: the upgrade converter qvconv brings
// them to 3.60 before this version starts on them.
inline constexpr int kFirstCurrentListVersion = 330;
inline constexpr int kLastCurrentListVersion = 352;
inline constexpr int kConvertedVersion = 360;
bool needsConversion(int64_t version);
// While qvconv converts an installation of the layout before 3.00 it keeps
// this file in the program directory, saying "converting" until the
// converted files are in place and "finishing" while it removes the old
// ones; it removes the file when it has finished (or put the old
// installation back).
inline constexpr const char* kConversionMarker = "QVCONV.RUN";
inline constexpr const char* kMarkConverting = "converting";
inline constexpr const char* kMarkFinishing = "finishing";
// What the marker of `root` says; empty when there is none.
std::string conversionMark(const std::string& root);
// True when `root` holds an installation of the layout before 3.00: the
// database list and control file in the program directory, and no database
// list in CFG (a CFG that a newer program made beside them does not count);
// also while a conversion of one was cut short before its converted files
// were in place, when the files are half converted.
bool oldLayoutInstallation(const std::string& root);
// The start-up's message for an installation that qvconv must convert first.
std::string convertFirstMessage(const std::string& root, const std::string& version);
// "3.52" for the stored version number 352.
std::string versionText(int64_t version);

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
