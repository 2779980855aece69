#include "maintenance/step_window_end.h"

#include "events.h"
#include "services/run_mode.h"

namespace qvm {

void endMaintenanceWindow(bool finished) {
  if (qv::runMode() == qv::RunUnattended && !finished) {
    qv::setRunMode(qv::RunAbandoning);
    postToFrame(EvCleanUp6);
  } else if (!qv::unattended()) {
    postToFrame(EvToolsEnded);
  }
}

}  // namespace qvm
