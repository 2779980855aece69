// The directory for temporary files (see temp_directory.h).
#include "services/temp_directory.h"

#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

void setTempDirectory(const std::string& dir) {
  std::string text = dir;
  AutoPath(KSet, ItemTempDirectory, text);
  if (!dir.empty()) Mem.TempDir = dir;
}

}  // namespace qv
