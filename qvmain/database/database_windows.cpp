#include "database/database_windows.h"

#include "database/about.h"
#include "database/browse_box.h"
#include "database/change_forum.h"
#include "database/index_control.h"
#include "database/set_index.h"
#include "database/startup_wizard.h"
#include "database/topic_codes.h"
#include "frame/procedures.h"
#include "services/procedure_starter.h"

namespace qvm {

void registerDatabaseWindows() {
  registerProcedure(QStringLiteral("ChangeForum"), openChangeForum);
  registerProcedure(QStringLiteral("BrowseBox"), openBrowseBox);
  registerProcedure(QStringLiteral("SetIndex"), openSetIndex);
  registerProcedure(QStringLiteral("About"), openAbout);
  registerProcedure(QStringLiteral("StartUpWizard"), openStartupWizard);
  qv::registerSemaFore(22, [] {
    openStartupWizard();
    return 1;
  }, 30000);
  qv::registerSemaFore(210, [] { return runUpdateCodes(); });
  qv::registerSemaFore(218, [] {
    openIndexControl();
    return 1;
  }, 50000);
}

}  // namespace qvm
