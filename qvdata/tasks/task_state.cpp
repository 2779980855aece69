#include "tasks/task_state.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "tasks/task_pending.h"

namespace qv {

namespace {
TaskRunState state;
std::function<void(int)> notifier;
}  // namespace

TaskRunState& taskState() { return state; }

void setTaskNotifier(std::function<void(int event)> n) { notifier = std::move(n); }

void notifyTaskFrame(int event) {
  if (notifier) notifier(event);
}

void NextTaskStep() {
  if (Mem.DoTask != RunAbandoning) notifyTaskFrame(TaskEvStep);
}

void NextTaskClear() {
  state.task = TasksRec();
  state.batch = BatchesRec();
  state.link = TaskBatchRec();
}

void NextTaskSuspend() { ++state.busy; }
bool NextTaskBusy() { return state.busy > 0; }
void NextTaskResume() {
  if (state.busy > 0) --state.busy;
}

bool NextTaskStart(const TasksRec& task) {
  state.task = task;
  state.batch = BatchesRec();
  state.link = TaskBatchRec();
  state.touched.clear();
  state.cleanup.clear();
  state.cleanupQueued = false;
  state.currentStep = -1;
  // Databases that a run of the task killed before its end had touched get
  // their cleanup in this run.
  state.touched = pendingDatabases(task.ID);
  // Every link of the task starts as not run.
  FileScope scope({FileTaskBatch});
  std::vector<int64_t> positions;
  TIM = TaskBatchRec();
  TIM.TASKID = task.ID;
  TaskBatch.setPrefix(TIM_TASKKEY, 1);
  while (TaskBatch.next() && TIM.TASKID == task.ID)
    if (TIM.RESULTCODE != ResultNotRun || TIM.EVENTTIME != 0) positions.push_back(TaskBatch.position());
  bool ok = true;
  if (!positions.empty() && (ok = BeginTransaction({&TaskBatch}, 5, ReportQuiet))) {
    for (int64_t pos : positions) {
      ok = ok && TaskBatch.getPosition(pos);
      TIM.RESULTCODE = ResultNotRun;
      TIM.EVENTTIME = 0;
      ok = ok && UppDat(TaskBatch, OpChange, ReportQuiet);
    }
    if (ok) {
      ok = commitTransaction();
      if (!ok) TransactionCheck();
    } else {
      rollbackTransaction();
    }
  }
  scope.release();
  if (ok) notifyTaskFrame(TaskEvStep);
  return ok;
}

int NextTask(int op) {
  switch (op) {
    case 10: NextTaskStep(); return 0;
    case 11: NextTaskClear(); return 0;
    case 12: NextTaskSuspend(); return 0;
    case 13: return NextTaskBusy() ? 1 : 0;
    case 14: NextTaskResume(); return 0;
    default: return 0;
  }
}

void CleanUpStart(const TasksRec& task) {
  if (Mem.DoTask == RunInteractive) return;
  state.task = task;
  state.touched = pendingDatabases(task.ID);
  state.cleanup.clear();
  state.cleanupQueued = false;
  state.currentStep = -1;
}

void CleanUpTouched(uint32_t database) {
  if (Mem.DoTask == RunInteractive || database == 0) return;
  if (std::find(state.touched.begin(), state.touched.end(), database) != state.touched.end()) return;
  state.touched.push_back(database);
  if (state.task.ID != 0) addPendingDatabase(state.task.ID, database);
}

void CleanUpMakeQueue() {
  if (Mem.DoTask == RunInteractive || state.cleanupQueued) return;
  state.cleanupQueued = true;
  state.cleanup.clear();
  state.currentStep = -1;
  const TasksRec& t = state.task;
  for (uint32_t db : state.touched) {
    auto add = [&](int proc, int result = ResultNotRun) { state.cleanup.push_back(CleanupStep{db, proc, result, 0}); };
    if (t.DODUPELIM) add(CleanupDuplicates);
    if (t.DOPURGE) add(CleanupPurge);
    // Purging counts too.
    if (t.DOCOUNT && !t.DOPURGE) add(CleanupCount);
    // A task word-indexes only the databases indexed automatically; the
    // others are named in the log rather than passed over in silence.
    if (t.DOINDEX && findDatabase(db)) add(CleanupIndex, FOR.INDEXTYPE != 0 ? ResultNotRun : ResultAutoIndexOff);
  }
}

int CleanUpNext() {
  if (Mem.DoTask == RunInteractive) return CleanupEnd;
  for (size_t i = 0; i < state.cleanup.size(); ++i)
    if (state.cleanup[i].result == ResultNotRun) {
      state.currentStep = int(i);
      return state.cleanup[i].proc;
    }
  state.currentStep = -1;
  return CleanupEnd;
}

int CleanUpReport(int64_t seconds, bool completed, int proc, uint32_t database) {
  if (Mem.DoTask == RunInteractive) return CleanupEnd;
  CleanupStep* step = nullptr;
  if (state.currentStep >= 0 && size_t(state.currentStep) < state.cleanup.size())
    step = &state.cleanup[size_t(state.currentStep)];
  // A report for another step than the current one names its step.
  if (!step || step->proc != proc || step->database != database) {
    step = nullptr;
    for (CleanupStep& s : state.cleanup)
      if (s.result == ResultNotRun && s.proc == proc && s.database == database) {
        step = &s;
        break;
      }
  }
  if (step) {
    step->result = completed ? ResultCompleted : ResultErrors;
    step->seconds = completed ? seconds : 0;
  }
  state.currentStep = -1;
  // A stopped task runs no further step.
  if (Mem.DoTask == RunAbandoning) return CleanupEnd;
  return CleanUpNext();
}

}  // namespace qv
