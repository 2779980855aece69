// The threads of the current forum or newsgroup database by
// heading, with their message counts and a status menu (procedure GP_THREAD).
#include "browse/item_status.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "persons/lookup_sources.h"

namespace qvm {

LookupDef threadLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Threads [");
  s.columns = {QStringLiteral("Thread subject"), QStringLiteral("Messages")};
  s.widths = {340, 80};
  s.numberColumns = {1};
  s.cuts = {50};
  s.slot = SlotGpThread;
  s.listSlot = ListGpThread;
  s.help = qv::activeKind() == qv::KindNewsDb ? QStringLiteral("~Browsing_Usenet_Newsgroup_Messages")
                                               : QStringLiteral("~Browsing_CompuServe_Forum_Messages");
  s.walk = qv::threadWalk();
  s.statusWord = QStringLiteral("Thread");
  s.setStatus = [](uint32_t id, int code) { return qv::setThreadStatus(id, qv::statusOfCode(code)); };
  return s;
}

void pickThread(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, threadLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
