#include "frame/closing_service.h"

#include <QStringList>

#include "services/close_files.h"
#include "services/globals.h"
#include "window_registry/window_registry.h"

namespace qvm {

bool closeToolsFor(int code) {
  QStringList order = {kFindGroup, kNotToolsGroup};
  if (code == 1 && !qv::IndexingInProgress) order = {kFindGroup, kImportGroup, kNotToolsGroup};
  for (const QString& g : order) {
    if (!TmQuery(g)) continue;
    TmDestroyGroup(g);
    return false;
  }
  qv::closeAllFiles();
  return true;
}

}  // namespace qvm
