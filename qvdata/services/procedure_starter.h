// The numbered starter of the library's procedures and services.
//
// Windows live in the program; the program registers the procedures it owns
// under their codes at start-up, the library registers its services. A code
// that nobody registered does nothing and answers 0 (false).
#pragma once

#include <functional>

namespace qv {

// The scheduler's services that the lower layers start by number (the
// scheduler registers them as the library loads, tasks/task_services.h):
// its housekeeping at start-up and, after a database has been deleted from
// the list, forgetting it.
enum TaskService : int { TaskServiceStartup = 200, TaskServiceDatabasesChanged = 209 };

using SemaForeHandler = std::function<int()>;

void registerSemaFore(int code, SemaForeHandler handler, int stackSize = 0);
bool semaForeRegistered(int code);
int SemaFore(int code);

}  // namespace qv
