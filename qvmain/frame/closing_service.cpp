#include "frame/closing_service.h"

#include <QStringList>

#include "services/file_service.h"
#include "services/globals.h"
#include "threads/thread_manager.h"

namespace qvm {

bool closeToolsFor(int code) {
  QStringList order = {kFindGroup, kNotToolsGroup};
  if (code == 1 && !qv::IndexingInProgress) order = {kFindGroup, kImportGroup, kNotToolsGroup};
  for (const QString& g : order) {
    if (!TmQuery(g)) continue;
    TmDestroyGroup(g);
    return false;
  }
  for (int n = 1; n <= 40; ++n)
    if (qv::useCount(n) > 0) qv::OP_CLOSE(qv::OpForceClose, {n});
  return true;
}

}  // namespace qvm
