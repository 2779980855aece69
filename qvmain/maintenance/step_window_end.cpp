#include "maintenance/step_window_end.h"

#include "events.h"
#include "services/globals.h"

namespace qvm {

void endMaintenanceWindow(bool finished) {
  if (qv::Mem.DoTask == qv::RunUnattended && !finished) {
    qv::Mem.DoTask = qv::RunAbandoning;
    postToFrame(EvCleanUp6);
  } else if (!qv::unattended()) {
    postToFrame(EvToolsEnded);
  }
}

}  // namespace qvm
