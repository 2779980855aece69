#include "import/import_windows.h"

#include "frame/procedures.h"
#include "import/import_meny.h"
#include "services/semafore.h"

namespace qvm {

void registerImportWindows() {
  registerProcedure(QStringLiteral("ImportMeny"), openImportMeny);
  qv::registerSemaFore(201, [] {
    openImportMeny();
    return 1;
  }, 50000);
}

}  // namespace qvm
