// What the user may choose when a task falls due instead of running it (the
// start dialog): pass over this run, or deactivate the task. Each choice is
// written into the task's record at once. (Postponing every task for some
// hours: postponeTasks in task_schedule.h; stopping all tasks: the setting
// ItemNoTasks.)
#pragma once

#include <cstdint>

#include "tasks/task_clock.h"

namespace qv {

// Passes over the task's due run (skipTaskRun). A one-off run of a task with
// no other run left ends the task as its run would have: it is deactivated,
// since it would otherwise be found due at once and the skipped run would run
// after all. False (shown) when the record could not be held or written.
bool skipDueRun(uint32_t taskId, const TaskClock& now);
// Deactivates the task. False (shown) when the record could not be held or
// written.
bool deactivateTask(uint32_t taskId);

}  // namespace qv
