// The open database's values for the windows, read from Mem.
#include "services/active_database.h"

#include "services/globals.h"

namespace qv {

bool hasActiveDatabase() { return !Mem.Dirnamn.empty(); }

int activeKind() { return Mem.ForumType; }

std::string activeDescription() { return Mem.Description; }

uint32_t activeDatabaseId() { return Mem.ForumNumber; }

std::string activeDatabaseDir() { return joinPath({Mem.FileDir, Mem.Dirnamn}); }

}  // namespace qv
