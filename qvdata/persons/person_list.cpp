#include "persons/person_list.h"

#include "dictionary/dictionary.h"
#include "persons/person_names.h"
#include "services/file_scope.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

PersonRow rowOfBuffer() {
  PersonRow r;
  r.id = PER.PERSONID;
  r.name = personWindowName(false);
  PersonName whole = personName();
  r.lastName = whole.last;
  r.firstName = whole.first;
  r.address = PER.ADDRESS.str();
  r.personString = PER.PERSONSTRING.str();
  r.sent = PER.FROMCOUNT;
  r.received = PER.TOCOUNT;
  return r;
}

}  // namespace

void forEachPerson(PersonOrder order, const std::function<bool(const PersonRow&)>& each) {
  FileScope files({FilePerson});
  BufferGuard guard({&Person});
  Person.set(order == PersonOrder::ByAddress ? PER_AddressKey : PER_NameKey);
  while (Person.next())
    if (!each(rowOfBuffer())) break;
}

bool readPersonRow(uint32_t id, PersonRow& out) {
  FileScope files({FilePerson});
  BufferGuard guard({&Person});
  PER = PersonRec();
  PER.PERSONID = id;
  if (id == 0 || !Person.get(PER_PersonKey)) return false;
  out = rowOfBuffer();
  return true;
}

bool readPersonRecord(uint32_t id, PersonRec& out) {
  FileScope files({FilePerson});
  BufferGuard guard({&Person});
  PER = PersonRec();
  PER.PERSONID = id;
  if (id == 0 || !Person.get(PER_PersonKey)) return false;
  out = PER;
  return true;
}

int64_t personCount() {
  FileScope files({FilePerson});
  return Person.records();
}

}  // namespace qv
