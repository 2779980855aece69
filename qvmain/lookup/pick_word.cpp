// The words of the current database's word index with the
// number of messages each occurs in (procedure GP_WORDLIST).
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "persons/lookup_sources.h"

namespace qvm {

LookupDef wordLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Indexed Words [");
  s.columns = {QStringLiteral("Word"), QStringLiteral("Indexes")};
  s.widths = {280, 80};
  s.numberColumns = {1};
  s.slot = SlotGpWordList;
  s.listSlot = ListGpWordList;
  s.walk = qv::wordWalk();
  return s;
}

void pickWord(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, wordLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
