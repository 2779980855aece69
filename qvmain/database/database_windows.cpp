#include "database/database_windows.h"

namespace qvm {

void registerDatabaseWindows() {}

}  // namespace qvm
