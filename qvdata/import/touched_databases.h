// The note an import run gives of each database it posts into. A scheduled
// task cleans up every database its imports post into; the scheduler, a
// layer above the import, hands in what is done with the note
// (tasks/task_hooks.cpp). Without a handler the note is dropped.
#pragma once

#include <cstdint>
#include <functional>

namespace qv {

using TouchedDatabaseHandler = std::function<void(uint32_t database)>;

void setTouchedDatabaseHandler(TouchedDatabaseHandler handler);
// Hands `database` (FOR.ID) to the handler.
void noteDatabaseTouched(uint32_t database);

}  // namespace qv
