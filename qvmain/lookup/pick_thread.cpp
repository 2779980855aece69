// GP_THREAD: the threads of the current forum or newsgroup database by
// heading, with their message counts and a status menu.
#include "browse/item_status.h"
#include "dictionary/dictionary.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "services/db_kind.h"
#include "services/messages.h"

namespace qvm {

namespace {

LookupRow threadRow() {
  LookupRow r;
  r.id = qv::THR.THREADNUMBER;
  QString heading = QString::fromStdString(qv::threadHeading());
  r.texts = {cutText(heading, 50), QString::number(qv::THR.MSGCOUNT)};
  r.status = qv::THR.DUMMY;
  return r;
}

}  // namespace

LookupDef threadLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Threads [");
  s.columns = {QStringLiteral("Thread subject"), QStringLiteral("Messages")};
  s.widths = {340, 80};
  s.numberColumns = {1};
  s.slot = SlotGpThread;
  s.listSlot = ListGpThread;
  s.help = currentKind() == qv::KindNewsDb ? QStringLiteral("~Browsing_Usenet_Newsgroup_Messages")
                              : QStringLiteral("~Browsing_CompuServe_Forum_Messages");
  s.files = {7};
  s.file = &qv::Threads;
  s.key = [](int) { return qv::THR_AlphaKey; };
  s.row = threadRow;
  s.seekText = [](int, const QString& text) {
    qv::THR.ALPHA = text.trimmed().toStdString();
    return 1;
  };
  s.readId = [](uint32_t id) {
    qv::THR.THREADNUMBER = id;
    return qv::Threads.get(qv::THR_ThreadKey);
  };
  s.statusWord = QStringLiteral("Thread");
  s.setStatus = [](uint32_t id, int code) { return qv::setThreadStatus(id, qv::statusOfCode(code)); };
  return s;
}

void pickThread(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, threadLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
