// The run mode as values (see run_mode.h).
#include "services/run_mode.h"

namespace qv {

RunMode runMode() { return RunMode(Mem.DoTask); }

void setRunMode(RunMode mode) { Mem.DoTask = mode; }

}  // namespace qv
