#include "import/import_windows.h"

#include "frame/procedures.h"
#include "import/import_wizard.h"
#include "services/procedure_starter.h"

namespace qvm {

void registerImportWindows() {
  registerProcedure(QStringLiteral("ImportMeny"), openImportMeny);
  qv::registerSemaFore(201, [] {
    openImportMeny();
    return 1;
  }, 50000);
}

}  // namespace qvm
