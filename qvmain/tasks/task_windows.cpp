#include "tasks/task_windows.h"

#include "frame/procedures.h"
#include "services/procedure_starter.h"
#include "tasks/browse_batch.h"
#include "tasks/browse_tasks.h"
#include "tasks/show_log.h"
#include "tasks/start_task.h"

namespace qvm {

namespace {

// The numbered starters of the task windows.
enum TaskStarter : int { StartShowLog = 202, StartBrowseTasks = 204, StartBrowseBatch = 205, StartStartTask = 207 };

}  // namespace

void registerTaskWindows() {
  registerProcedure(kBrowseTasksThread, openBrowseTasks);
  registerProcedure(kBrowseBatchThread, openBrowseBatch);
  registerProcedure(kShowLogThread, openShowLog);
  qv::registerSemaFore(StartBrowseTasks, [] {
    openBrowseTasks();
    return 1;
  }, 50000);
  qv::registerSemaFore(StartBrowseBatch, [] {
    openBrowseBatch();
    return 1;
  }, 50000);
  qv::registerSemaFore(StartStartTask, [] {
    openStartTask();
    return 1;
  }, 50000);
  qv::registerSemaFore(StartShowLog, [] {
    openShowLog();
    return 1;
  }, 50000);
}

}  // namespace qvm
