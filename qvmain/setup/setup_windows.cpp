#include "setup/setup_windows.h"

namespace qvm {

void registerSetupWindows() {}

}  // namespace qvm
