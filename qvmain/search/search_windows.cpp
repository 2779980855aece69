#include "search/search_windows.h"

#include "browse/browse_kinds.h"
#include "frame/procedures.h"
#include "search/text_find_window.h"
#include "services/db_kind.h"
#include "services/globals.h"

namespace qvm {

void registerSearchWindows() {
  registerProcedure(QStringLiteral("FindText"), [] { openTextFind(threadedBrowseKind()); });
  registerProcedure(QStringLiteral("MailFind"), [] { openTextFind(qv::KindMailDb); });
}

}  // namespace qvm
