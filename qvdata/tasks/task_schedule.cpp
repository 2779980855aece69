#include "tasks/task_schedule.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "tasks/task_state.h"

namespace qv {

MonitorSettings monitorSettings() {
  MonitorSettings s;
  s.allDeactivated = KonfigGet(ItemNoTasks) == 1;
  s.quietFrom = int(KonfigGet(ItemTaskQuietFrom));
  s.quietTo = int(KonfigGet(ItemTaskQuietTo));
  return s;
}

bool restrictionHolds(const MonitorSettings& s, const TaskClock& now) {
  if (s.quietTo <= s.quietFrom) return false;
  int h, m, sec;
  hmsFromTime(now.time > 0 ? now.time : 1, h, m, sec);
  int minute = h * 60 + m;
  return minute >= s.quietFrom && minute < s.quietTo;
}

TaskClock postponedUntil() { return TaskClock{taskState().notBeforeDate, taskState().notBeforeTime}; }

bool monitorHeld(const MonitorSettings& s, const TaskClock& now) {
  if (Mem.DoTask != RunInteractive || NextTaskBusy() || s.allDeactivated) return true;
  TaskClock until = postponedUntil();
  if (until.date != 0 && clockBefore(now, until)) return true;
  return restrictionHolds(s, now);
}

bool dueTask(const TasksRec& t, bool hasLink, const TaskClock& now) {
  if (!t.ACTIVE || !hasLink) return false;
  // The one-off date and the day after it: due once its time has come (on
  // the day after, a run the program was not there for is made up).
  if (t.RUNNOWDATE != 0 && (now.date == t.RUNNOWDATE || now.date == t.RUNNOWDATE + 1))
    return t.RUNNOWTIME != 0 && !clockBefore(now, TaskClock{t.RUNNOWDATE, t.RUNNOWTIME});
  // Without a next-run date every day would be "after" it: a one-off
  // request that lies ahead waits for its day instead of running at once.
  if (t.RUNNEXTDATE == 0 && t.RUNNOWDATE > now.date) return false;
  return now.date > t.RUNNEXTDATE || (now.date == t.RUNNEXTDATE && now.time >= t.RUNNEXTTIME);
}

namespace {
// True when the task has a link (files 26 and 35 open).
bool hasLink(uint32_t task) {
  TIM = TaskBatchRec();
  TIM.TASKID = task;
  TaskBatch.setPrefix(TIM_TASKKEY, 1);
  return TaskBatch.next() && TIM.TASKID == task;
}
}  // namespace

bool findDueTask(const TaskClock& now, TasksRec& found, const std::set<uint32_t>& passOver) {
  if (monitorHeld(monitorSettings(), now)) return false;
  FileScope scope({FileTasks, FileTaskBatch});
  bool any = false;
  Tasks.setFileOrder();
  while (!any && Tasks.next()) {
    if (!TAS.ACTIVE || passOver.count(TAS.ID)) continue;
    TasksRec t = TAS;
    if (dueTask(t, hasLink(t.ID), now)) {
      found = t;
      any = true;
    }
  }
  return any;
}

bool TaskMonitor(const TaskClock& now) {
  TasksRec t;
  if (!findDueTask(now, t)) return false;
  taskState().task = t;
  Mem.DoTask = RunTaskDue;
  notifyTaskFrame(TaskEvDue);
  return true;
}

bool hasRepeatDays(const TasksRec& t) {
  for (uint8_t d : t.DAYS)
    if (d) return true;
  for (uint8_t d : t.MONTHDAYS)
    if (d) return true;
  return false;
}

namespace {
int daysInMonth(int y, int m) {
  for (int d = 31; d > 28; --d)
    if (dateFromYMD(y, m, d) != 0) return d;
  return 28;
}
// The listed day in that month; a day the month does not have is its last.
int32_t monthDay(int y, int m, int day) { return dateFromYMD(y, m, std::min(day, daysInMonth(y, m))); }
}  // namespace

int32_t nextRepeatDate(const TasksRec& t, int32_t date) {
  bool weekdays = false;
  for (uint8_t d : t.DAYS) weekdays = weekdays || d;
  if (weekdays) {
    for (int ahead = 1; ahead <= 7; ++ahead)
      if (t.DAYS[size_t(weekday(date + ahead))]) return date + ahead;
    return 0;
  }
  int y, m, d;
  ymdFromDate(date, y, m, d);
  int32_t best = 0;
  for (uint8_t listed : t.MONTHDAYS) {
    if (listed == 0) continue;
    int32_t thisMonth = monthDay(y, m, listed);
    if (thisMonth > date && (best == 0 || thisMonth < best)) best = thisMonth;
  }
  if (best != 0) return best;
  int ny = m == 12 ? y + 1 : y, nm = m == 12 ? 1 : m + 1;
  for (uint8_t listed : t.MONTHDAYS) {
    if (listed == 0) continue;
    int32_t next = monthDay(ny, nm, listed);
    if (best == 0 || next < best) best = next;
  }
  return best;
}

namespace {
void clearOneOff(TasksRec& t) {
  t.RUNNOWDATE = 0;
  t.RUNNOWTIME = 0;
}
}  // namespace

void rescheduleTask(TasksRec& t, const TaskClock& now) {
  bool oneOff = t.RUNNOWDATE != 0 && t.RUNNOWTIME != 0;
  bool repeats = hasRepeatDays(t);
  t.LASTRUNDATE = now.date;
  t.LASTRUNTIME = now.time;
  if (oneOff || !repeats) {
    clearOneOff(t);
    // A next-run date without repeat days is one run: once it has come it
    // is used up (kept, the task would be due again at every look).
    if (!repeats && t.RUNNEXTDATE != 0 && !clockBefore(now, TaskClock{t.RUNNEXTDATE, t.RUNNEXTTIME}))
      t.RUNNEXTDATE = 0;
    if (t.RUNNEXTDATE == 0) {
      t.RUNNEXTTIME = 0;
      t.ACTIVE = 0;
    }
    return;
  }
  t.RUNNEXTDATE = nextRepeatDate(t, now.date);
  clearOneOff(t);
}

void skipTaskRun(TasksRec& t, const TaskClock& now) {
  if (t.RUNNOWDATE != 0 && t.RUNNOWTIME != 0) {
    clearOneOff(t);
    return;
  }
  int32_t lastDate = t.LASTRUNDATE, lastTime = t.LASTRUNTIME;
  rescheduleTask(t, now);
  t.LASTRUNDATE = lastDate;
  t.LASTRUNTIME = lastTime;
}

void postponeTasks(int hours, const TaskClock& now) {
  TaskClock until = clockAfter(now, int64_t(hours) * kHundredthsPerHour);
  taskState().notBeforeDate = until.date;
  taskState().notBeforeTime = until.time;
}

void clearPostponement() {
  taskState().notBeforeDate = 0;
  taskState().notBeforeTime = 0;
}

}  // namespace qv
