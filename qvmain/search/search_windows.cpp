#include "search/search_windows.h"

#include "frame/procedures.h"
#include "search/text_find_window.h"
#include "services/globals.h"

namespace qvm {

void registerSearchWindows() {
  registerProcedure(QStringLiteral("FindText"), [] { openTextFind(qv::Mem.ForumType == 3 ? 3 : 1); });
  registerProcedure(QStringLiteral("MailFind"), [] { openTextFind(2); });
}

}  // namespace qvm
