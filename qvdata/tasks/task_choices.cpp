// The due task's choices other than running it (see task_choices.h).
#include "tasks/task_choices.h"

#include "dictionary/dictionary.h"
#include "services/file_scope.h"
#include "services/record_helpers.h"
#include "tasks/task_schedule.h"

namespace qv {

namespace {

// Holds the task's record, lets `change` edit it and writes it back.
template <typename Change>
bool changeTask(uint32_t taskId, Change change) {
  FileScope files({FileTasks});
  TAS = TasksRec();
  TAS.ID = taskId;
  if (!HoldRec(Tasks, &TAS_IDKEY, true)) return false;
  change(TAS);
  bool ok = UppDat(Tasks, OpChange, ReportShow);
  Tasks.release();
  return ok;
}

}  // namespace

bool skipDueRun(uint32_t taskId, const TaskClock& now) {
  return changeTask(taskId, [&](TasksRec& t) {
    skipTaskRun(t, now);
    if (!hasRepeatDays(t) && t.RUNNEXTDATE == 0) t.ACTIVE = 0;
  });
}

bool deactivateTask(uint32_t taskId) {
  return changeTask(taskId, [](TasksRec& t) { t.ACTIVE = 0; });
}

}  // namespace qv
