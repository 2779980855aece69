// The scheduler's services that the library's numbered starter runs on the
// calling thread: its housekeeping at start-up (200) and, after a database
// has been deleted from the list, forgetting it (209).
#pragma once

#include "services/procedure_starter.h"

namespace qv {

// Registers both with SemaFore (codes TaskService); done once as the
// library loads, and again by whoever calls it.
void registerTaskServices();

// What both do: databases and tasks that are no longer there are forgotten
// by the scheduler (the touched queue of the task being run and the
// databases kept on disk for unfinished runs), so that no cleanup step is
// ever queued for a database that has gone. Answers 1.
int forgetGoneTaskDatabases();

}  // namespace qv
