// Hooks the scheduler into the layers below it as the library loads: the
// numbered services the installation and the database list start
// (TaskService), and the import's note of each database it posts into,
// which adds it to the touched queue of the task being run.
#include "import/touched_databases.h"
#include "tasks/task_services.h"
#include "tasks/task_state.h"

namespace qv {

namespace {

bool hookScheduler() {
  registerTaskServices();
  setTouchedDatabaseHandler(CleanUpTouched);
  return true;
}

[[maybe_unused]] const bool schedulerHooked = hookScheduler();

}  // namespace

}  // namespace qv
