// The task runner: a task's import definitions one after the other, then
// the cleanup steps on every database the imports touched, the log and the
// rescheduling. A stepwise engine that the program and qvcli drive alike:
//
//   startTask(id)          the task becomes current, Mem.DoTask 2
//   nextTaskStep()         what to run now: an import definition, a cleanup
//                          procedure on a database, or Finished
//   ... the driver runs it with its engine (ImportRun in task mode, DupRun,
//   PurgeRun, INDEXFILE1), unattended ...
//   reportTaskStep(...)    its result and seconds
//   ... nextTaskStep() again until Finished ...
//   finishTask(now)        log, rescheduling, state cleared, Mem.DoTask 0
//
// stopTask() marks the task stopped by the user: nextTaskStep() then
// answers Finished, and finishTask() deactivates the task and logs the
// links not yet run as not run. runTask() is the whole loop with the
// library's engines, for qvcli and tests; the program opens its windows in
// task mode for each step instead and reports their results.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tasks/task_clock.h"
#include "tasks/task_state.h"

namespace qv {

class ImportRun;

enum class TaskStepKind { Import, MergeDuplicates, Purge, Count, WordIndex, Finished };

struct TaskStep {
  TaskStepKind kind = TaskStepKind::Finished;
  uint32_t batch = 0;     // Import: the definition (BAT.ID); its record is taskState().batch
  uint32_t database = 0;  // cleanup steps: the database (FOR.ID)
};

// The frame event that runs a step (1377, 1382, 1378, 1381, 1380; 1394
// for Finished) and the cleanup procedure code of a cleanup step.
int taskStepEvent(TaskStepKind kind);
int cleanupProcOf(TaskStepKind kind);
TaskStepKind stepKindOfProc(int proc);
// A step's name for progress output ("Import", "Merging Duplicates", ...).
std::string taskStepName(const TaskStep& step);

// Makes the task current and starts it (every link reset to not run,
// queues emptied), Mem.DoTask 2. False when the task does not exist or its
// links could not be reset (nothing started).
bool startTask(uint32_t taskId);

// The next step of the current task. While links remain with result 0 it
// is the first of them: its definition and link become current (a link
// whose definition is missing ends the imports there). Then the cleanup
// steps, queued once per run. Finished when none is left or the task was
// stopped.
TaskStep nextTaskStep();

// The result of the step nextTaskStep() gave: ResultCompleted with its
// seconds, or ResultErrors. An import's result goes into its link
// (TIM.RESULTCODE, TIM.EVENTTIME; seconds only when completed), and the
// databases it touched into the touched queue; a cleanup step's result
// into its queue entry. False when the link could not be written.
bool reportTaskStep(int result, int64_t seconds, const std::vector<uint32_t>& touched = {});

// The user stopped the task (Mem.DoTask 6): no further step runs.
void stopTask();
bool taskStopped();

struct TaskOutcome {
  bool ran = false;          // the task was started
  int result = ResultNotRun; // the worst result of its links and cleanup steps (1 or 2)
  bool stopped = false;      // stopped by the user: deactivated
  std::vector<std::string> logLines;
  std::string logError;      // why the log could not be written (empty: written)
};

// Ends the current task at `now`: writes the log, reschedules the task
// (deactivated when stopped, its one-off cleared), clears the run-time
// state, sets Mem.DoTask to 0 and notifies the frame (1394).
TaskOutcome finishTask(const TaskClock& now);

// The whole task with the library's engines, nothing shown. `clock` gives
// the moment of the rescheduling and the log (the system clock when
// empty); `onStep` is told of every step before it runs and `stopRequested`
// is asked after every step (a true answer stops the task as the user
// would).
struct TaskDriver {
  std::function<TaskClock()> clock;
  std::function<void(const TaskStep&)> onStep;
  std::function<void(const TaskStep&, int result, int64_t seconds)> onResult;
  std::function<bool()> stopRequested;
};
TaskOutcome runTask(uint32_t taskId, const TaskDriver& driver = {});

// A closed import run's result for the task: 1 when it completed, and
// also when it found only messages the databases hold already (a task that
// finds nothing new has not failed: the task goes on, Mem.DoTask back to
// 2); else 2.
int taskImportResult(const ImportRun& run);

// Runs one step with its engine (TaskStepRun) to its end, unattended; its
// result and seconds. Used by runTask; the program's task window ticks the
// same engine.
int runTaskStep(const TaskStep& step, int64_t& seconds, std::vector<uint32_t>& touched);

}  // namespace qv
