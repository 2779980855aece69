// Editing scheduled tasks (Tasks) with their links to import definitions
// (TaskBatch), as the task editor and qvcli's task commands do it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/config_files.h"

namespace qv {

struct TaskEdit {
  TasksRec task;                      // task.ID is 0 for a new task
  std::vector<uint32_t> definitions;  // IDs of the linked import definitions
};

// A task has run information when it has a one-off date and time or at least
// one weekday or day of the month to repeat on. A next-run date alone is not
// enough: a task without repeat days keeps that date after its run and would
// be found due again and again.
// (Repeat days: hasRepeatDays of tasks/task_schedule.h.)
bool HasRunInformation(const TasksRec& t);

// The first date, from `day` on, that the repeat days select (as the
// rescheduling after a run selects them): `day` itself only when the time of
// day `t.RUNNEXTTIME` is still ahead of `clock`. 0 without repeat days.
int32_t FirstRepeatDate(const TasksRec& t, int32_t day, int32_t clock);

// The editor's check before a task is kept: an active task must have run
// information, else "A Task without run information cannot be active!"
// (" Warning!") is shown and false returned.
bool CheckTask(const TasksRec& t);

// Adds a task with its links after the check (ID from NextNr). A repeating
// task without a next-run date is given the first date its repeat days
// select. Returns the new ID, 0 on failure (shown).
uint32_t AddTask(const TaskEdit& e);
// Changes a task and replaces its links after the check; links that stay
// keep their last results.
bool UpdateTask(const TaskEdit& e);
// Deletes a task with its links.
bool DeleteTask(uint32_t id);

// Reads one task with its links in key order; false when it is missing.
bool ReadTask(uint32_t id, TaskEdit& e);
// The tasks in file order, each with its links.
std::vector<TaskEdit> ListTasks();
// The ID of the task with that description (trailing blanks and letter case
// ignored); 0 when there is none.
uint32_t FindTask(const std::string& description);

}  // namespace qv
