// The databases a task run has touched, kept on disk until the run has
// finished (CFG/TaskRun.Txt, one line "task-ID database-ID" each): a run
// killed after its imports posted and before its cleanup steps ran is
// completed by the next run of the task, whose imports may find nothing
// new and so touch no database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr const char* kTaskRunName = "TaskRun.Txt";

std::string taskRunPath();
// The databases an unfinished run of the task touched, in the order added.
std::vector<uint32_t> pendingDatabases(uint32_t task);
// Adds one (written through to the disk before it returns); false when the
// file could not be written.
bool addPendingDatabase(uint32_t task, uint32_t database);
// Forgets the task's databases (the file goes when none is left).
void clearPendingDatabases(uint32_t task);
// Forgets every entry whose task or database is not among those given (a
// task or database deleted since).
void keepPendingDatabases(const std::vector<uint32_t>& tasks, const std::vector<uint32_t>& databases);

}  // namespace qv
