#include "setup/setup_windows.h"

#include "frame/procedures.h"
#include "services/procedure_starter.h"
#include "setup/user_panel.h"

namespace qvm {

void registerSetupWindows() {
  registerProcedure(QStringLiteral("UserPanel"), openUserPanel);
  qv::registerSemaFore(214, [] {
    openUserPanel();
    return 1;
  }, 40000);
}

}  // namespace qvm
