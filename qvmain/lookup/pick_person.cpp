// The persons of the current database (forum members, mail
// partners, newsgroup participants) by last name or by address, with the
// numbers of messages each sent and received (procedure GP_ANS).
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "persons/lookup_sources.h"

namespace qvm {

namespace {

QString personTitle(int kind) {
  switch (kind) {
    case qv::KindMailDb: return QStringLiteral(" Mail Partners [");
    case qv::KindNewsDb: return QStringLiteral(" Newsgroup Participants [");
    default: return QStringLiteral(" Forum Members [");
  }
}

}  // namespace

LookupDef personLookup(int kind) {
  LookupDef s;
  s.title = personTitle(kind);
  s.columns = {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Sent"), QStringLiteral("Received")};
  s.widths = {220, 260, 60, 70};
  s.numberColumns = {2, 3};
  s.cuts = {35, 60};
  s.orders = {QStringLiteral("Sort by LastName"), QStringLiteral("Sort by Address")};
  s.slot = SlotGpAns;
  s.listSlot = ListGpAns;
  s.walk = qv::personPickWalk();
  return s;
}

void pickPerson(QWidget* parent, const QString& startText, uint32_t startId, PickDone done) {
  openLookupList(parent, personLookup(qv::activeKind()), startText, startId, std::move(done));
}

}  // namespace qvm
