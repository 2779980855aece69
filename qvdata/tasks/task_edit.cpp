#include "tasks/task_edit.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/ids.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "storage/collation.h"
#include "storage/fixedstr.h"
#include "tasks/task_schedule.h"

namespace qv {

namespace {

bool finish(bool ok) {
  if (ok && !commitTransaction()) {
    TransactionCheck();
    ok = false;
  }
  if (!ok && transactionActive()) rollbackTransaction();
  return ok;
}

bool contains(const std::vector<uint32_t>& list, uint32_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

// Makes the task's links those of the list: links no longer listed go, new
// ones come with no result; inside the caller's transaction over TaskBatch.
bool writeLinks(uint32_t taskId, const std::vector<uint32_t>& definitions) {
  TIM = TaskBatchRec();
  TIM.TASKID = taskId;
  TaskBatch.setPrefix(TIM_TASKKEY, 1);
  std::vector<int64_t> gone;
  std::vector<uint32_t> kept;
  while (TaskBatch.next() && TIM.TASKID == taskId) {
    if (contains(definitions, TIM.BATCHID))
      kept.push_back(TIM.BATCHID);
    else
      gone.push_back(TaskBatch.position());
  }
  for (int64_t pos : gone)
    if (!TaskBatch.getPosition(pos) || !UppDat(TaskBatch, OpRemove, ReportRollback)) return false;
  for (uint32_t def : definitions) {
    if (def == 0 || contains(kept, def)) continue;
    kept.push_back(def);
    TIM = TaskBatchRec();
    TIM.TASKID = taskId;
    TIM.BATCHID = def;
    if (!UppDat(TaskBatch, OpAdd, ReportRollback)) return false;
  }
  return true;
}

std::vector<uint32_t> readLinks(uint32_t taskId) {
  std::vector<uint32_t> out;
  TIM = TaskBatchRec();
  TIM.TASKID = taskId;
  TaskBatch.setPrefix(TIM_TASKKEY, 1);
  while (TaskBatch.next() && TIM.TASKID == taskId) out.push_back(TIM.BATCHID);
  return out;
}

TasksRec prepared(const TasksRec& t) {
  TasksRec out = t;
  if (out.RUNNEXTDATE == 0 && hasRepeatDays(out)) out.RUNNEXTDATE = FirstRepeatDate(out, today(), clockNow());
  return out;
}

}  // namespace

bool HasRunInformation(const TasksRec& t) {
  return (t.RUNNOWDATE != 0 && t.RUNNOWTIME != 0) || hasRepeatDays(t);
}

int32_t FirstRepeatDate(const TasksRec& t, int32_t day, int32_t clock) {
  if (!hasRepeatDays(t)) return 0;
  // Today counts while its time of day is still ahead (a task without a
  // time of day would be due at once: it starts tomorrow).
  bool todayCounts = t.RUNNEXTTIME != 0 && clock < t.RUNNEXTTIME;
  return nextRepeatDate(t, todayCounts ? day - 1 : day);
}

bool CheckTask(const TasksRec& t) {
  if (t.ACTIVE && !HasRunInformation(t)) {
    Message("A Task without run information cannot be active!", " Warning!", Icon::Exclamation);
    return false;
  }
  return true;
}

uint32_t AddTask(const TaskEdit& e) {
  if (!CheckTask(e.task)) return 0;
  TasksRec t = prepared(e.task);
  FileScope scope({FileControl, FileTasks, FileTaskBatch});
  uint32_t id = 0;
  if (BeginTransaction({&Control, &Tasks, &TaskBatch}, 5, ReportShow)) {
    id = NextNr();
    bool ok = id != 0;
    if (ok) {
      TAS = t;
      TAS.ID = id;
      ok = UppDat(Tasks, OpAdd, ReportRollback) && writeLinks(id, e.definitions);
    }
    if (!finish(ok)) id = 0;
  }
  return id;
}

bool UpdateTask(const TaskEdit& e) {
  if (!CheckTask(e.task)) return false;
  TasksRec t = prepared(e.task);
  FileScope scope({FileTasks, FileTaskBatch});
  bool ok = BeginTransaction({&Tasks, &TaskBatch}, 5, ReportShow);
  if (ok) {
    TAS = TasksRec();
    TAS.ID = t.ID;
    ok = HoldRec(Tasks, &TAS_IDKEY, true);
    if (ok) {
      TAS = t;
      ok = UppDat(Tasks, OpChange, ReportRollback);
    }
    Tasks.release();
    ok = finish(ok && writeLinks(t.ID, e.definitions));
  }
  return ok;
}

bool DeleteTask(uint32_t id) {
  FileScope scope({FileTasks, FileTaskBatch});
  bool ok = BeginTransaction({&Tasks, &TaskBatch}, 5, ReportShow);
  if (ok) {
    TAS = TasksRec();
    TAS.ID = id;
    ok = HoldRec(Tasks, &TAS_IDKEY, true) && UppDat(Tasks, OpRemove, ReportRollback);
    ok = finish(ok && writeLinks(id, {}));
  }
  return ok;
}

bool ReadTask(uint32_t id, TaskEdit& e) {
  e = TaskEdit();
  FileScope scope({FileTasks, FileTaskBatch});
  TAS = TasksRec();
  TAS.ID = id;
  bool ok = Tasks.get(TAS_IDKEY);
  if (ok) {
    e.task = TAS;
    e.definitions = readLinks(id);
  }
  return ok;
}

std::vector<TaskEdit> ListTasks() {
  std::vector<TaskEdit> out;
  FileScope scope({FileTasks, FileTaskBatch});
  Tasks.setFileOrder();
  while (Tasks.next()) out.push_back(TaskEdit{TAS, {}});
  for (TaskEdit& e : out) e.definitions = readLinks(e.task.ID);
  return out;
}

uint32_t FindTask(const std::string& description) {
  std::string wanted = foldUpper(trimRight(description));
  for (const TaskEdit& e : ListTasks())
    if (foldUpper(e.task.DESCRIPTION.view()) == wanted) return e.task.ID;
  return 0;
}

}  // namespace qv
