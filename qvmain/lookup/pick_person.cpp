// GP_ANS: the persons of the current database (forum members, mail
// partners, newsgroup participants) by last name or by address, with the
// numbers of messages each sent and received.
#include "dictionary/dictionary.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "services/db_kind.h"
#include "services/names.h"
#include "services/whole_names.h"

namespace qvm {

namespace {

// "Last, First" as the name order sorts it; the last name alone when there
// is no first name.
QString listName() {
  const qv::PersonName whole = qv::personName();
  QString last = QString::fromStdString(whole.last);
  QString first = QString::fromStdString(whole.first);
  if (first.isEmpty()) return last;
  if (last.isEmpty()) return first;
  return last + QStringLiteral(", ") + first;
}

LookupRow personRow() {
  LookupRow r;
  r.id = qv::PER.PERSONID;
  r.texts = {cutText(listName(), 35), cutText(QString::fromStdString(qv::PER.ADDRESS.str()), 60),
             QString::number(qv::PER.FROMCOUNT), QString::number(qv::PER.TOCOUNT)};
  r.status = qv::PER.DUMMY;
  return r;
}

// Positions by name: "Last, First" as written, else the name split as a
// sender's name is split.
int seekPerson(int order, const QString& text) {
  std::string t = text.trimmed().toStdString();
  if (t.empty()) return 0;
  if (order == 1) {
    qv::PER.ADDRESS = t;
    return 1;
  }
  std::string last, first;
  size_t comma = t.find(',');
  if (comma != std::string::npos) {
    last = QString::fromStdString(t.substr(0, comma)).trimmed().toStdString();
    first = QString::fromStdString(t.substr(comma + 1)).trimmed().toStdString();
  } else {
    qv::ParseName(t, last, first);
  }
  qv::PER.LASTNAME = last;
  qv::PER.FIRSTNAME = first;
  return first.empty() ? 1 : 2;
}

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
  s.orders = {QStringLiteral("Sort by LastName"), QStringLiteral("Sort by Address")};
  s.slot = SlotGpAns;
  s.listSlot = ListGpAns;
  s.files = {5};
  s.file = &qv::Person;
  s.key = [](int order) { return order == 1 ? qv::PER_AddressKey : qv::PER_NameKey; };
  s.row = personRow;
  s.seekText = seekPerson;
  s.readId = [](uint32_t id) {
    qv::PER.PERSONID = id;
    return qv::Person.get(qv::PER_PersonKey);
  };
  return s;
}

void pickPerson(QWidget* parent, const QString& startText, uint32_t startId, PickDone done) {
  openLookupList(parent, personLookup(currentKind()), startText, startId, std::move(done));
}

}  // namespace qvm
