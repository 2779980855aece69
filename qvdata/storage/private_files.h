// Files the program creates are private: only their owner may read them,
// whatever umask the host program runs under.
#pragma once

#include <sys/types.h>

namespace qv {

// Holds the process's file-creation mask at 077 while it lives, so that
// files and directories made meanwhile, by this thread or by a library it
// calls, are private. Creations in the library are serialised through it;
// other threads of the host only ever get stricter modes meanwhile.
class PrivateCreation {
 public:
  PrivateCreation();
  ~PrivateCreation();
  PrivateCreation(const PrivateCreation&) = delete;
  PrivateCreation& operator=(const PrivateCreation&) = delete;

 private:
  mode_t saved_;
};

// Makes the SQLite files of the process private: installs (once) a default
// SQLite file system that creates every file (databases, journals, the
// super-journals of transactions over several files) under
// PrivateCreation. SQLite gives a journal the mode of its database, but a
// super-journal only the default mode less the umask. Called before any
// database is opened.
void usePrivateSqliteFiles();

}  // namespace qv
