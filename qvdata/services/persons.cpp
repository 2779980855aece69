#include "services/persons.h"

#include <algorithm>
#include <vector>

#include "dictionary/dictionary.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/names.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

std::string personString(const std::string& name, const std::string& address) {
  return foldUpper(std::string(trimRight(name)) + " " + address);
}

namespace {

bool createPerson(const std::string& name, const std::string& address, const std::string& string) {
  uint32_t id = NextNr();
  if (id == 0) {
    if (Mem.DoTask != RunUnattended)
      Message("A new person ID could not be generated \r\nThe last transaction is rolled back.", Person.name(),
              Icon::Hand);
    rollbackTransaction();
    return true;
  }
  PER = PersonRec();
  PER.PERSONID = id;
  PER.PERSONSTRING = string;
  PER.ADDRESS = address;
  PersonName whole;
  ParseName(name, whole.last, whole.first);
  setNameFields(whole);
  // A name longer than its fields is kept whole beside the person.
  return !UppDat(Person, OpAdd, ReportRollback) || !keepWholeName(id, whole, ReportRollback);
}

// Counts the records of a person in a key that starts with (alpha, id).
uint32_t countByKey(File& f, const Key& k, const std::string& alpha, uint32_t id) {
  uint32_t n = 0;
  walkPersonKey(f, k, alpha, id, [&n] {
    ++n;
    return true;
  });
  return n;
}

int recount(File& f, const Key& fromKey, const Key& toKey, int mode) {
  std::string alpha = Str<10>(PER.LASTNAME.view()).str();
  uint32_t from = countByKey(f, fromKey, alpha, PER.PERSONID);
  uint32_t to = countByKey(f, toKey, alpha, PER.PERSONID);
  if (from == 0 && to == 0) {
    if (mode == RecountReportNone) return RecountNoMessages;
    if (mode == RecountZeroNone) {
      PER.FROMCOUNT = 0;
      PER.TOCOUNT = 0;
      return RecountChanged;
    }
    return RecountSame;
  }
  if (from == PER.FROMCOUNT && to == PER.TOCOUNT) return RecountSame;
  PER.FROMCOUNT = from;
  PER.TOCOUNT = to;
  return RecountChanged;
}

}  // namespace

void walkPersonKey(File& f, const Key& k, const std::string& alpha, uint32_t id, const std::function<bool()>& each) {
  const FileDecl& d = f.decl();
  int alphaField = k.desc().parts[0].field;
  int idField = k.desc().parts[1].field;
  f.clear();
  setField(d, alphaField, 0, alpha);
  setField(d, idField, 0, int64_t(id));
  f.setPrefix(k, 2);
  while (f.next()) {
    if (compareNoCase(std::get<std::string>(getField(d, alphaField)), alpha) != 0) break;
    if (std::get<int64_t>(getField(d, idField)) != int64_t(id)) break;
    if (!each()) break;
  }
}

bool AddPers(const std::string& name, const std::string& address) {
  std::string string = personString(name, address);
  PER = PersonRec();
  PER.PERSONSTRING = string;
  if (Person.get(PER_StringKey)) return false;
  PLI = PLINKRec();
  PLI.PERSONSTRING = string;
  if (PLINK.get(PLI_StringKey)) {
    PER = PersonRec();
    PER.PERSONID = PLI.PERSONID;
    if (Person.get(PER_PersonKey)) return false;
    // The alias points at a person that is gone: make the person anew and
    // drop the alias, unless a transaction that does not hold the links is
    // under way (posting reads them only; the purge removes links of
    // persons that are gone).
    if (createPerson(name, address, string)) return true;
    std::vector<File*> held = transactionFiles();
    if (transactionActive() && std::find(held.begin(), held.end(), &PLINK) == held.end()) return false;
    BufferGuard keepPerson({&Person});
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    return PLINK.get(PLI_StringKey) && !UppDat(PLINK, OpRemove, ReportRollback);
  }
  return createPerson(name, address, string);
}

int CFromToMail(int mode) { return recount(Mail, MAI_FromKey, MAI_ToKey, mode); }

int RecountForumPerson() { return recount(MsgNmbr, MSG_FromKey, MSG_ToKey, RecountReportNone); }

}  // namespace qv
