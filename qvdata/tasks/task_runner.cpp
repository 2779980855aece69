#include "tasks/task_runner.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/crash_point.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "tasks/task_log.h"
#include "tasks/task_pending.h"
#include "tasks/task_schedule.h"

namespace qv {

namespace {
TaskStep currentStep;  // the step nextTaskStep() gave last

// The task's links in key order.
std::vector<TaskBatchRec> linksOf(uint32_t task) {
  std::vector<TaskBatchRec> out;
  FileScope scope({FileTaskBatch});
  TIM = TaskBatchRec();
  TIM.TASKID = task;
  TaskBatch.setPrefix(TIM_TASKKEY, 1);
  while (TaskBatch.next() && TIM.TASKID == task) out.push_back(TIM);
  return out;
}

bool readBatch(uint32_t id) {
  FileScope scope({FileBatches});
  BAT = BatchesRec();
  BAT.ID = id;
  bool found = Batches.get(BAT_IDKEY);
  return found;
}

bool readTask(uint32_t id, TasksRec& t) {
  FileScope scope({FileTasks});
  TAS = TasksRec();
  TAS.ID = id;
  bool found = Tasks.get(TAS_IDKEY);
  if (found) t = TAS;
  return found;
}
}  // namespace

int taskStepEvent(TaskStepKind kind) {
  switch (kind) {
    case TaskStepKind::Import: return TaskEvImport;
    case TaskStepKind::MergeDuplicates: return TaskEvDuplicates;
    case TaskStepKind::Purge: return TaskEvPurge;
    case TaskStepKind::Count: return TaskEvCount;
    case TaskStepKind::WordIndex: return TaskEvIndex;
    case TaskStepKind::Finished: break;
  }
  return TaskEvEnded;
}

int cleanupProcOf(TaskStepKind kind) {
  switch (kind) {
    case TaskStepKind::MergeDuplicates: return CleanupDuplicates;
    case TaskStepKind::Purge: return CleanupPurge;
    case TaskStepKind::Count: return CleanupCount;
    case TaskStepKind::WordIndex: return CleanupIndex;
    default: return CleanupNone;
  }
}

TaskStepKind stepKindOfProc(int proc) {
  switch (proc) {
    case CleanupDuplicates: return TaskStepKind::MergeDuplicates;
    case CleanupPurge: return TaskStepKind::Purge;
    case CleanupCount: return TaskStepKind::Count;
    case CleanupIndex: return TaskStepKind::WordIndex;
    default: return TaskStepKind::Finished;
  }
}

std::string taskStepName(const TaskStep& step) {
  switch (step.kind) {
    case TaskStepKind::Import: return "Import";
    case TaskStepKind::Finished: return "Finished";
    default: return cleanupName(cleanupProcOf(step.kind));
  }
}

bool startTask(uint32_t taskId) {
  TasksRec t;
  if (!readTask(taskId, t)) return false;
  Mem.DoTask = RunUnattended;
  currentStep = TaskStep();
  if (!NextTaskStart(t)) {
    NextTaskClear();
    Mem.DoTask = RunInteractive;
    return false;
  }
  return true;
}

TaskStep nextTaskStep() {
  TaskRunState& st = taskState();
  currentStep = TaskStep();
  if (Mem.DoTask == RunAbandoning || st.task.ID == 0) return currentStep;
  if (!st.cleanupQueued) {
    for (const TaskBatchRec& link : linksOf(st.task.ID)) {
      if (link.RESULTCODE != ResultNotRun) continue;
      // A link whose definition was deleted ends the imports here.
      if (!readBatch(link.BATCHID)) break;
      st.batch = BAT;
      st.link = link;
      currentStep = TaskStep{TaskStepKind::Import, link.BATCHID, BAT.DATABASE};
      return currentStep;
    }
    CleanUpMakeQueue();
  }
  int proc = CleanUpNext();
  if (proc == CleanupEnd) return currentStep;
  currentStep = TaskStep{stepKindOfProc(proc), 0, st.cleanup[size_t(st.currentStep)].database};
  // The step's database stands as the current definition's database.
  st.batch.DATABASE = currentStep.database;
  return currentStep;
}

bool reportTaskStep(int result, int64_t seconds, const std::vector<uint32_t>& touched) {
  TaskRunState& st = taskState();
  bool completed = result == ResultCompleted;
  if (seconds < 0) seconds = 0;
  if (currentStep.kind == TaskStepKind::Import) {
    for (uint32_t db : touched) CleanUpTouched(db);
    FileScope scope({FileTaskBatch});
    TIM = TaskBatchRec();
    TIM.TASKID = st.link.TASKID;
    TIM.BATCHID = st.link.BATCHID;
    bool ok = TaskBatch.get(TIM_TASKKEY);
    if (ok) {
      TIM.RESULTCODE = completed ? ResultCompleted : ResultErrors;
      TIM.EVENTTIME = completed ? int32_t(seconds) : 0;
      ok = UppDat(TaskBatch, OpChange, ReportQuiet);
      if (ok) st.link = TIM;
    }
    scope.release();
    currentStep = TaskStep();
    return ok;
  }
  if (currentStep.kind != TaskStepKind::Finished)
    CleanUpReport(seconds, completed, cleanupProcOf(currentStep.kind), currentStep.database);
  currentStep = TaskStep();
  return true;
}

void stopTask() {
  if (Mem.DoTask != RunInteractive) Mem.DoTask = RunAbandoning;
}

bool taskStopped() { return Mem.DoTask == RunAbandoning; }

TaskOutcome finishTask(const TaskClock& now) {
  TaskRunState& st = taskState();
  TaskOutcome out;
  out.ran = st.task.ID != 0;
  out.stopped = Mem.DoTask == RunAbandoning;
  if (out.ran) {
    TaskLogReport report;
    report.task = st.task.DESCRIPTION.str();
    report.written = now;
    int worst = ResultNotRun;
    for (const TaskBatchRec& link : linksOf(st.task.ID)) {
      TaskLogLink l;
      l.description = readBatch(link.BATCHID) ? BAT.DESCRIPTION.str() : std::string();
      l.result = link.RESULTCODE;
      l.seconds = link.EVENTTIME;
      report.links.push_back(l);
      if (l.result > worst) worst = l.result;
    }
    for (const CleanupStep& c : st.cleanup) {
      TaskLogCleanup l;
      l.database = findDatabase(c.database) ? FOR.DESCRIPTION.str() : std::to_string(c.database);
      l.proc = c.proc;
      l.result = c.result;
      l.seconds = c.seconds;
      report.cleanup.push_back(l);
      if (c.result != ResultAutoIndexOff && c.result > worst) worst = c.result;
    }
    out.result = worst;
    out.logLines = taskLogLines(report);
    crashPoint("task-before-log");
    appendTaskLog(out.logLines, out.logError);

    // The task as it is stored now (the user may have edited it meanwhile).
    TasksRec t = st.task;
    FileScope scope({FileTasks});
    TAS = TasksRec();
    TAS.ID = st.task.ID;
    if (HoldRec(Tasks, &TAS_IDKEY, true)) {
      t = TAS;
      rescheduleTask(t, now);
      if (out.stopped) {
        t.ACTIVE = 0;
        t.RUNNOWDATE = 0;
        t.RUNNOWTIME = 0;
      }
      t.RESULTCODE = uint8_t(worst);
      TAS = t;
      UppDat(Tasks, OpChange, ReportQuiet);
      Tasks.release();
    }
    scope.release();
    clearPendingDatabases(st.task.ID);
  }
  NextTaskClear();
  st.touched.clear();
  st.cleanup.clear();
  st.cleanupQueued = false;
  st.currentStep = -1;
  currentStep = TaskStep();
  Mem.DoTask = RunInteractive;
  notifyTaskFrame(TaskEvEnded);
  return out;
}

TaskOutcome runTask(uint32_t taskId, const TaskDriver& driver) {
  auto now = [&] { return driver.clock ? driver.clock() : systemClock(); };
  if (!startTask(taskId)) return TaskOutcome();
  for (;;) {
    TaskStep step = nextTaskStep();
    if (step.kind == TaskStepKind::Finished) break;
    if (driver.onStep) driver.onStep(step);
    int64_t seconds = 0;
    std::vector<uint32_t> touched;
    int result = runTaskStep(step, seconds, touched);
    reportTaskStep(result, seconds, touched);
    crashPoint("task-step-reported");
    if (driver.onResult) driver.onResult(step, result, seconds);
    if (driver.stopRequested && driver.stopRequested()) stopTask();
  }
  return finishTask(now());
}

}  // namespace qv
