// The window program's settings for a new installation (see first_start.h).
#include "setup/first_start.h"

#include "services/settings.h"
#include "services/settings_items.h"

namespace qvm {

bool applyFirstStartSettings() {
  qv::KonfigSet(qv::ItemImportCompletion, kCompletionKeepOpen);
  return qv::Konfig(qv::KSaveDisplay);
}

}  // namespace qvm
