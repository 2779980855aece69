#include "persons/person_merge.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "persons/person_names.h"
#include "persons/person_recode.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

constexpr const char* kOwnerRefused = "You are not allowed to change the MailBox owner default address!";

bool readPerson(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  return id != 0 && Person.get(PER_PersonKey);
}

// Moves one merged person to the kept one (`kept`, the kept person's record)
// in one transaction; false when the merge has to end.
bool mergeOne(int kind, const MergeEntry& listed, const PersonRec& kept) {
  File& messages = kind == KindMailDb ? Mail : MsgNmbr;
  if (!beginPersonTransaction({&messages, &PLINK, &Person, &Extras})) return false;
  // The person as it is now: renamed since it was listed, its messages
  // carry the new name.
  MergeEntry e = listed;
  if (readPerson(e.personId)) {
    e.lastName = PER.LASTNAME.str();
    e.personString = PER.PERSONSTRING.str();
    e.address = PER.ADDRESS.str();
  }
  if (!recodePersonMessages(kind, e.personId, e.lastName, kept.PERSONID, kept.LASTNAME.view())) return false;

  // The merged person's aliases become the kept person's.
  std::vector<int64_t> aliases;
  PLI = PLINKRec();
  PLI.PERSONID = e.personId;
  PLINK.setPrefix(PLI_PersonKey, 1);
  while (PLINK.next() && PLI.PERSONID == e.personId) aliases.push_back(PLINK.position());
  for (int64_t pos : aliases) {
    if (!PLINK.getPosition(pos)) continue;
    PLI.PERSONID = kept.PERSONID;
    if (!UppDat(PLINK, OpChange, ReportRollback)) return false;
  }
  // Its own person string too, unless that is an alias already.
  PLI = PLINKRec();
  PLI.PERSONSTRING = e.personString;
  if (!e.personString.empty() && !PLINK.get(PLI_StringKey)) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = e.personString;
    PLI.PERSONID = kept.PERSONID;
    if (!UppDat(PLINK, OpAdd, ReportRollback)) return false;
  }
  if (!keepAliasAddress(e.personString, e.address, ReportRollback)) return false;
  if (readPerson(e.personId) && !UppDat(Person, OpRemove, ReportRollback)) return false;
  if (!forgetWholeName(e.personId, ReportRollback)) return false;
  // The kept person's counts follow in the same commit.
  if (!readPerson(kept.PERSONID)) {
    rollbackTransaction();
    return false;
  }
  if (!recountPerson(kind)) return false;
  crashPoint("person-merge-before-commit");
  if (!commitPersonTransaction()) return false;
  crashPoint("person-merge-commit");
  return true;
}

}  // namespace

MergeList::Added MergeList::add(uint32_t personId) {
  for (const MergeEntry& e : entries_)
    if (e.personId == personId) return Added::Listed;
  FileScope files({FilePerson});
  BufferGuard guard({&Person});
  if (!readPerson(personId)) return Added::NotFound;
  MergeEntry e;
  e.keep = entries_.empty();
  e.name = personWindowName(true);
  e.address = PER.ADDRESS.str();
  e.personId = PER.PERSONID;
  e.lastName = PER.LASTNAME.str();
  e.personString = PER.PERSONSTRING.str();
  entries_.push_back(std::move(e));
  return Added::Added;
}

void MergeList::keep(size_t index) {
  if (index >= entries_.size()) return;
  uint32_t id = entries_[index].personId;
  for (MergeEntry& e : entries_) e.keep = e.personId == id;
}

void MergeList::remove(size_t index) {
  if (index >= entries_.size()) return;
  bool wasKept = entries_[index].keep;
  entries_.erase(entries_.begin() + long(index));
  if (wasKept && !entries_.empty()) keep(0);
}

void MergeList::removePerson(uint32_t personId) {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].personId == personId) return remove(i);
}

uint32_t MergeList::keptId() const {
  for (const MergeEntry& e : entries_)
    if (e.keep) return e.personId;
  return 0;
}

MergeResult mergePersons(const MergeList& list) {
  MergeResult r;
  if (!list.canMerge()) return r;
  const int kind = Mem.ForumType;
  FileScope files({kind == KindMailDb ? FileMail : FileMsgNmbr, FilePLINK, FilePerson, FileExtras});
  BufferGuard guard({&Person, &PLINK, &Mail, &MsgNmbr});
  if (!readPerson(list.keptId())) return r;
  const PersonRec kept = PER;
  for (const MergeEntry& e : list.entries()) {
    if (e.personId == kept.PERSONID) continue;
    if (kind == KindMailDb && e.personId == Mem.PersonID) {
      Message(kOwnerRefused, "Warning!", Icon::Exclamation);
      r.ownerStayed = true;
      continue;
    }
    if (!mergeOne(kind, e, kept)) return r;
    r.merged.push_back(e.personId);
  }
  r.completed = true;
  return r;
}

}  // namespace qv
