// The run-time state of scheduled tasks, kept by the library for the
// lifetime of the process: the task being run, its current import
// definition and link, the busy counter, the postponement, the databases
// the task's imports touched and the queue of cleanup steps. The program's
// frame and windows and qvcli reach it through the NextTask and CleanUp
// procedures below (the numbers in the comments are the operation numbers
// the windows use).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "dictionary/config_files.h"

namespace qv {

// Notifications to the main frame while tasks are scheduled and run.
enum TaskEvent : int {
  TaskEvDue = 1369,           // a task is due: open the start dialog
  TaskEvImport = 1377,        // run the current import definition
  TaskEvPurge = 1378,         // purge the current cleanup step's database
  TaskEvIndex = 1380,         // word-index it
  TaskEvCount = 1381,         // count it
  TaskEvDuplicates = 1382,    // merge its duplicates
  TaskEvStep = 1385,          // take the next task step
  TaskEvEnded = 1394,         // task processing has ended
};

// The cleanup procedures by the codes the maintenance windows hand over
// (and CleanUpReport answers), with the end of the task.
enum CleanupProc : int {
  CleanupNone = 0,
  CleanupPurge = 2,
  CleanupIndex = 4,
  CleanupCount = 5,
  CleanupDuplicates = 6,
  CleanupEnd = 14,  // no step left: the task ends
};

// Results of a link (TIM.RESULTCODE), of a cleanup step and of a task. A
// word-index step of a database whose automatic word indexing is off is
// queued as not run for that reason (it is named in the log; it is no
// error and never runs).
enum StepResult : uint8_t { ResultNotRun = 0, ResultCompleted = 1, ResultErrors = 2, ResultAutoIndexOff = 3 };

struct CleanupStep {
  uint32_t database = 0;  // FOR.ID
  int proc = CleanupNone;
  int result = ResultNotRun;
  int64_t seconds = 0;
};

struct TaskRunState {
  TasksRec task;       // the task being run (or found due)
  BatchesRec batch;    // the import definition being run
  TaskBatchRec link;   // its link
  int busy = 0;        // raised while a task procedure (or a tool that suspends tasks) runs
  int32_t notBeforeDate = 0;  // postponement: no task starts before this moment
  int32_t notBeforeTime = 0;
  std::vector<uint32_t> touched;     // databases that received messages, each once, in order
  std::vector<CleanupStep> cleanup;  // queued after the imports
  bool cleanupQueued = false;        // the imports are done and the queue is made
  int currentStep = -1;              // index into cleanup of the step running, -1 none
};

TaskRunState& taskState();

// Where notifications go: the program posts them to its frame; without a
// receiver (qvcli, tests) they are dropped.
void setTaskNotifier(std::function<void(int event)> notifier);
void notifyTaskFrame(int event);

// NextTask operations.
void NextTaskStep();        // 10: notify the frame to take the next step (not when the task was stopped)
void NextTaskClear();       // 11: clear the current task, definition and link
void NextTaskSuspend();     // 12: raise the busy counter
bool NextTaskBusy();        // 13: the busy counter is above 0
void NextTaskResume();      // 14: lower the busy counter (never below 0)
// Holds the monitor for as long as it lives: raises the busy counter when
// made (12) and lowers it when it goes (14), so that no task comes due
// while a tool that must not be interrupted (a rebuild, a purge) runs.
class TaskHold {
 public:
  TaskHold() { NextTaskSuspend(); }
  ~TaskHold() { NextTaskResume(); }
  TaskHold(const TaskHold&) = delete;
  TaskHold& operator=(const TaskHold&) = delete;
};
// 15: start a task given its record: every link's result and time back to 0,
// the touched-database and cleanup queues emptied (but for the databases an
// unfinished earlier run of the task touched), the task made current,
// the frame notified. False when the links could not be written.
bool NextTaskStart(const TasksRec& task);
// The numbered form for the operations without a buffer (10..14); 13
// answers 1 or 0, the others 0.
int NextTask(int op);

// CleanUp operations; each does nothing unless Mem.DoTask is non-zero.
// 1: remember the task, empty both queues (but for the databases an
// unfinished earlier run of the task touched: tasks/task_pending.h)
void CleanUpStart(const TasksRec& task);
// 2: add a database to the touched queue (once), kept on disk until the
// task has finished
void CleanUpTouched(uint32_t database);
// 3: the imports are done: queue the cleanup steps of every touched
// database (merge duplicates, purge, count unless purged, word-index when
// the database is indexed automatically, else a word-index step marked
// ResultAutoIndexOff), once per task run.
void CleanUpMakeQueue();
// The next queued step not yet run made current: its procedure code, or
// CleanupEnd when none is left (current step -1).
int CleanUpNext();
// 4: the cleanup procedure `proc` on `database` ended (completed or not,
// after `seconds`): records it on its step and answers the code of the next
// step to run (CleanupPurge .. CleanupDuplicates), or CleanupEnd.
int CleanUpReport(int64_t seconds, bool completed, int proc, uint32_t database);

}  // namespace qv
