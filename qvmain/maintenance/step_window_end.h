// What the frame hears when a maintenance window (purge, count, duplicate
// elimination) closes: a scheduled step that did not finish abandons its
// task; otherwise the frame's menus come back.
#pragma once

namespace qvm {

void endMaintenanceWindow(bool finished);

}  // namespace qvm
