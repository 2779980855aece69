// An installation: the root directory with its configuration area CFG, the
// settings loaded from the control file, and the lock that keeps a second
// program from working on the same root.
#pragma once

#include <string>

#include "services/installation_state.h"

namespace qv {

// Opens the installation at `root` and sets the directory globals from its
// settings. On failure returns false with a message in `error`.
//
// Access::Write makes the installation on first use (CFG, the control file,
// the temporary directory) and takes the installation lock, so that no
// other program writes to it meanwhile. Access::Read makes, locks and writes
// nothing: every file is opened read-only (a file that is not there reads
// as empty), so that reading works beside a program that holds the
// installation and on read-only media. Access::WriteIfFree opens for writing
// when the installation is free and writable, else for reading.
//
// Configured data and word-index directories that do not exist are made
// (Create), or reported with "Path not found!" while the program directory
// is kept (Report, as the program's start-up does).
enum class MissingPaths { Create, Report };
enum class Access { Write, Read, WriteIfFree };
bool openInstallation(const std::string& root, std::string& error, MissingPaths paths = MissingPaths::Create,
                      Access access = Access::Write);
void closeInstallation();
// Takes the installation lock of `root` for a program that works on its
// files without opening it (the converter), until the process ends: false
// with a message in `error` when another program holds it or it cannot be
// written. An installation without a configuration area (CFG) has no lock
// to take (the programs refuse such an old layout before making anything).
bool holdInstallation(const std::string& root, std::string& error);
// True when another program holds the installation at `root` (for writing).
bool installationBusy(const std::string& root);
// Waits until no program holds the installation at `root` (returns at once
// when it is free or has no lock file).
void waitForInstallation(const std::string& root);

// Makes the database in the FOR buffer the current one: sets Mem.ForumNumber,
// Description, ForumType, Dirnamn and PersonID.
void useDatabase();

// Registers the library's own numbered services (SemaFore codes 212, 213).
void registerLibraryServices();

}  // namespace qv
