// The sections of the current forum database by number, with
// their message counts and a status menu (procedure GP_SECTION).
#include "browse/item_status.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "persons/lookup_sources.h"

namespace qvm {

LookupDef sectionLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Sections [");
  s.columns = {QStringLiteral("Section"), QStringLiteral("Messages")};
  s.widths = {260, 80};
  s.numberColumns = {1};
  s.cuts = {35};
  s.slot = SlotGpSection;
  s.listSlot = ListGpSection;
  // A start text begins with the section number ("04 Utilities").
  s.walk = qv::sectionWalk();
  s.statusWord = QStringLiteral("Section");
  s.setStatus = [](uint32_t id, int code) { return qv::setSectionStatus(id, qv::statusOfCode(code)); };
  return s;
}

void pickSection(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, sectionLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
