// What the windows ask of a database's word index: whether the active
// database has one, and the state the last indexing run left in a
// database's list entry (the counterpart of storeIndexState).
#pragma once

#include <cstdint>
#include <optional>

#include "wordindex/index_run.h"

namespace qv {

// True when the active database's word-occurrence file (MasIdx) holds
// records. A database never indexed has no such file, and none is made by
// asking; false too when no database is active.
bool isWordIndexed();

// The indexing state kept in the database's list entry; nothing when the
// database is not in the list.
std::optional<IndexState> readIndexState(uint32_t database);

}  // namespace qv
