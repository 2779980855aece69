// When scheduled tasks run: the monitor's decision, rescheduling after a
// run, skipping a run and postponing. Every rule takes the moment it judges
// (TaskClock) from its caller.
#pragma once

#include <cstdint>
#include <set>

#include "dictionary/config_files.h"
#include "tasks/task_clock.h"

namespace qv {

// The settings the monitor obeys.
struct MonitorSettings {
  bool allDeactivated = false;  // "Deactivate all tasks"
  int quietFrom = 0;            // restriction period, minutes after midnight
  int quietTo = 0;
};
// Read from the general settings.
MonitorSettings monitorSettings();

// True when the restriction period holds tasks back at `now`: only a
// period whose end is later than its start restricts (one that crosses
// midnight restricts nothing); its start belongs to it, its end does not.
bool restrictionHolds(const MonitorSettings& s, const TaskClock& now);

// True when the monitor starts nothing at `now`: a task is being run or
// asked for (Mem.DoTask) or a task procedure is busy, every task is
// deactivated, tasks are postponed until later, or the restriction period
// holds.
bool monitorHeld(const MonitorSettings& s, const TaskClock& now);

// The rule for one task: it is active and has at least one link; on its
// one-off date it is due once the clock has reached the one-off time, on the
// day after at any time (a one-off date without a time is no request); on
// other days when the next-run date has passed, or is today and the clock
// has reached the next-run time. A task never runs before its date and time.
bool dueTask(const TasksRec& t, bool hasLink, const TaskClock& now);

// The first task due at `now` in file order, read into `found`; false when
// none is (or the monitor is held). Tasks in `passOver` are not considered.
// Changes no state.
bool findDueTask(const TaskClock& now, TasksRec& found, const std::set<uint32_t>& passOver = {});

// The monitor's look (every 15 seconds in the program): when a task is due,
// it becomes the current task, Mem.DoTask becomes 1 and the frame is
// notified (the start dialog). True when a task was found.
bool TaskMonitor(const TaskClock& now);

// True when a task repeats on weekdays or days of the month.
bool hasRepeatDays(const TasksRec& t);

// The next run date after `date` by the task's repeat days: the nearest
// following selected weekday (the same weekday counts as seven days ahead);
// else the smallest listed month day after this day of the month, or else
// the smallest listed day in the next month (a day the month does not have
// falls on its last day). 0 without repeat days.
int32_t nextRepeatDate(const TasksRec& t, int32_t date);

// The task record after a run that ended at `now`. A one-off request, or a
// task without repeat days, has its one-off date and time cleared and its
// last run set to now; such a task whose next-run date has come is run
// once, so that date is cleared too, and without a next-run date left it is
// deactivated. A repeating task gets its next run date from its repeat days
// (the time of day stays), its one-off cleared and its last run set.
void rescheduleTask(TasksRec& t, const TaskClock& now);

// The start dialog's "skip this run": a one-off request is cleared, else
// the next run is computed as after a run (the last run is not set).
void skipTaskRun(TasksRec& t, const TaskClock& now);

// Postponing holds every task until `hours` after now; clearing ends it.
void postponeTasks(int hours, const TaskClock& now);
void clearPostponement();
// The moment until which tasks are held (date 0: not postponed).
TaskClock postponedUntil();

}  // namespace qv
