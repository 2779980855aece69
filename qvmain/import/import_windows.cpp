#include "import/import_windows.h"

namespace qvm {

void registerImportWindows() {}

}  // namespace qvm
