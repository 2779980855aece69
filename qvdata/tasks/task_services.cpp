#include "tasks/task_services.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "services/databases.h"
#include "services/installation.h"
#include "services/procedure_starter.h"
#include "tasks/task_edit.h"
#include "tasks/task_pending.h"
#include "tasks/task_state.h"

namespace qv {

int forgetGoneTaskDatabases() {
  if (!installationOpen() || installationReadOnly()) return 1;
  std::vector<uint32_t> databases, tasks;
  for (const DatabaseEntry& e : listDatabases()) databases.push_back(e.id);
  for (const TaskEdit& t : ListTasks()) tasks.push_back(t.task.ID);
  std::vector<uint32_t>& touched = taskState().touched;
  std::erase_if(touched, [&](uint32_t db) { return std::find(databases.begin(), databases.end(), db) == databases.end(); });
  keepPendingDatabases(tasks, databases);
  return 1;
}

void registerTaskServices() {
  registerSemaFore(TaskServiceStartup, forgetGoneTaskDatabases);
  registerSemaFore(TaskServiceDatabasesChanged, forgetGoneTaskDatabases);
}

}  // namespace qv
