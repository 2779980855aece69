#include "persons/person_aliases.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "persons/person_names.h"
#include "persons/person_recode.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

bool readPerson(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  return id != 0 && Person.get(PER_PersonKey);
}

void refuse(const char* text) { Message(text, "Warning!", Icon::Exclamation); }

}  // namespace

bool buildAliasList(uint32_t personId, AliasList& out) {
  out = AliasList();
  FileScope files({FilePerson, FilePLINK});
  BufferGuard guard({&Person, &PLINK});
  if (!readPerson(personId)) return false;
  out.name = personWindowName(false);
  out.address = PER.ADDRESS.str();
  out.personString = PER.PERSONSTRING.str();
  out.openedString = out.personString;
  out.personId = personId;
  const std::string current = foldedAddress(out.address);
  PLI = PLINKRec();
  PLI.PERSONID = personId;
  PLINK.setPrefix(PLI_PersonKey, 1);
  while (PLINK.next() && PLI.PERSONID == personId) {
    AliasEntry e{aliasAddress(PLI.PERSONSTRING.str()), PLI.PERSONSTRING.str()};
    if (foldedAddress(e.address) == current) continue;
    auto at = std::upper_bound(out.entries.begin(), out.entries.end(), e,
                               [](const AliasEntry& a, const AliasEntry& b) { return a.address < b.address; });
    out.entries.insert(at, std::move(e));
  }
  // Each address once: of equal ones the last in key order stays.
  for (size_t i = out.entries.size(); i-- > 1;)
    if (out.entries[i - 1].address == out.entries[i].address) out.entries.erase(out.entries.begin() + long(i - 1));
  return true;
}

void swapAlias(AliasList& list, size_t index) {
  if (index >= list.entries.size()) return;
  AliasEntry& e = list.entries[index];
  std::swap(e.address, list.address);
  std::swap(e.personString, list.personString);
}

AliasSave saveAliasChange(const AliasList& list) {
  if (foldUpper(trimRight(list.personString)) == foldUpper(trimRight(list.openedString))) return AliasSave::Unchanged;
  if (Mem.ForumType == KindMailDb && list.personId == Mem.PersonID) {
    refuse("You are not allowed to change the MailBox owner default address!");
    return AliasSave::OwnerRefused;
  }
  FileScope files({FilePerson, FilePLINK, FileExtras});
  BufferGuard guard({&Person, &PLINK});
  if (!beginPersonTransaction({&Person, &PLINK, &Extras})) return AliasSave::Failed;
  bool found = readPerson(list.personId);
  if (found) {
    // The string the person leaves becomes an alias: its address is kept
    // when the string cannot tell it.
    if (!keepAliasAddress(list.openedString, PER.ADDRESS.str(), ReportRollback)) return AliasSave::Failed;
    PER.ADDRESS = list.address;
    PER.PERSONSTRING = list.personString;
    if (!UppDat(Person, OpChange, ReportRollback)) return AliasSave::Failed;
    PLI = PLINKRec();
    PLI.PERSONSTRING = list.personString;
    // Only an alias of this very person is turned into the old string.
    found = PLINK.get(PLI_StringKey) && PLI.PERSONID == list.personId;
  }
  if (!found) {
    rollbackTransaction();
    refuse("Failed to swap address!");
    return AliasSave::Failed;
  }
  PLI.PERSONSTRING = list.openedString;
  if (!UppDat(PLINK, OpChange, ReportRollback)) return AliasSave::Failed;
  return commitPersonTransaction() ? AliasSave::Saved : AliasSave::Failed;
}

}  // namespace qv
