// An installation: the root directory with its configuration area CFG, the
// settings loaded from the control file, and the lock that keeps a second
// program from working on the same root.
#pragma once

#include <string>

namespace qv {

// Opens (creating on first use) the installation at `root`: makes CFG and the
// temporary directory, takes the installation lock, loads the settings blocks
// and sets the directory globals. On failure returns false with a message in
// `error`. Configured data and word-index directories that do not exist are
// made (Create), or reported with "Path not found!" while the program
// directory is kept (Report, as the program's start-up does).
enum class MissingPaths { Create, Report };
bool openInstallation(const std::string& root, std::string& error, MissingPaths paths = MissingPaths::Create);
void closeInstallation();
bool installationOpen();

// Makes the database in the FOR buffer the current one: sets Mem.ForumNumber,
// Description, ForumType, Dirnamn and PersonID.
void useDatabase();

// Registers the library's own numbered services (SemaFore codes 212, 213).
void registerLibraryServices();

}  // namespace qv
