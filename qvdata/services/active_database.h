// The database the program has open (the one the frame chose and the
// browsers show): what a window needs of it, as values. The library keeps
// it in Mem; windows ask here and never read Mem themselves.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// True when a database is open (it has a directory).
bool hasActiveDatabase();
// Its DbKind (KindNoDb when none is open).
int activeKind();
// Its description, as the database list shows it.
std::string activeDescription();
// Its ID in the database list (FOR.ID).
uint32_t activeDatabaseId();
// Its directory: the database root joined with its subdirectory.
std::string activeDatabaseDir();

}  // namespace qv
