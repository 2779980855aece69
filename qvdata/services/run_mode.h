// The run mode of the program (interactive, a task due, a task running
// unattended, a failed procedure being abandoned), asked and set by the
// windows that start and end scheduled work.
#pragma once

#include "services/globals.h"

namespace qv {

RunMode runMode();
void setRunMode(RunMode mode);

}  // namespace qv
