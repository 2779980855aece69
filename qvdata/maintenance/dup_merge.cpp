// Steps 5 to 7 of duplicate elimination: the messages of every duplicate
// are moved onto the person kept, the duplicate's person string becomes an
// alias of it and the duplicate goes, and every person is recounted.
#include "dictionary/dictionary.h"
#include "maintenance/dup_impl.h"
#include "persons/person_recode.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"

namespace qv {

// Every message the duplicate sent, received or (mail) is the partner of
// now names the keeper. A mail is found by each of its keys, so the
// duplicate of a mailbox owner's address, which is no mail's partner, loses
// its mail too.
bool DupRun::Impl::recodeMessages(size_t index) {
  const DupMergeEntry& r = recodes[index];
  if (r.newId == 0) return true;
  if (!change()) return false;
  if (!recodePersonMessages(kind, r.oldId, r.oldAlpha, r.newId, r.newAlpha))
    return failTold("the messages of person " + std::to_string(r.oldId) + " could not be moved");
  return done(1);
}

bool DupRun::Impl::deleteDuplicate(size_t index) {
  const DupMergeEntry& r = recodes[index];
  if (r.newId == 0) return true;
  PER = PersonRec();
  PER.PERSONID = r.oldId;
  if (!Person.get(PER_PersonKey)) return true;  // gone already
  std::string string = PER.PERSONSTRING.str();
  std::string address = PER.ADDRESS.str();
  if (!change()) return false;
  int n = 0;
  auto failed = [&](const std::string& what) { return fail(what + " could not be stored: " + ErrorText()); };
  // The duplicate's string becomes an alias of the keeper; a string that is
  // an alias already is pointed at the keeper instead of added twice.
  PLI = PLINKRec();
  PLI.PERSONSTRING = string;
  bool aliased = PLINK.get(PLI_StringKey);
  PLI.PERSONSTRING = string;
  PLI.PERSONID = r.newId;
  if (!(aliased ? PLINK.put() : PLINK.add())) return failed("the alias \"" + string + "\"");
  if (!keepAliasAddress(string, address, ReportQuiet)) return failed("the address of the alias \"" + string + "\"");
  ++n;
  // The duplicate's own aliases now stand for the keeper, so that its
  // earlier names still find the person.
  std::vector<std::string> aliases;
  PLI = PLINKRec();
  PLI.PERSONID = r.oldId;
  PLINK.setPrefix(PLI_PersonKey, 1);
  while (PLINK.next() && PLI.PERSONID == r.oldId) aliases.push_back(PLI.PERSONSTRING.str());
  for (const std::string& alias : aliases) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = alias;
    if (!PLINK.get(PLI_StringKey)) continue;
    PLI.PERSONID = r.newId;
    if (!PLINK.put()) return failed("the alias \"" + alias + "\"");
    ++n;
  }
  PER = PersonRec();
  PER.PERSONID = r.oldId;
  if (!Person.get(PER_PersonKey) || !Person.remove()) return fail("person " + std::to_string(r.oldId) + " could not be deleted: " + ErrorText());
  if (!forgetWholeName(r.oldId, ReportQuiet)) return failed("the name of person " + std::to_string(r.oldId));
  ++n;
  ++view.counters[DupMerged];
  return done(n);
}

bool DupRun::Impl::recountPerson(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  if (!Person.get(PER_PersonKey)) return true;
  int answer = RecountSame;
  if (mail()) {
    uint32_t from = PER.FROMCOUNT, to = PER.TOCOUNT;
    PER.FROMCOUNT = 0;
    PER.TOCOUNT = 0;
    answer = CFromToMail(id == ownerId ? RecountZeroNone : RecountReportNone);
    if (answer == RecountChanged && PER.FROMCOUNT == from && PER.TOCOUNT == to) answer = RecountSame;
  } else {
    answer = RecountForumPerson();
  }
  if (answer != RecountChanged && answer != RecountNoMessages) return true;
  if (!change()) return false;
  bool ok = answer == RecountChanged ? Person.put() : Person.remove();
  if (!ok) return fail("person " + std::to_string(id) + " could not be stored: " + ErrorText());
  if (answer == RecountNoMessages) ++view.counters[DupObsolete];
  return done(1);
}

bool DupRun::Impl::storeMailCount() {
  if (storeMessageCount(Mem.ForumNumber, uint32_t(Mail.records()))) return true;
  return fail("the database record could not be stored: " + ErrorText());
}

}  // namespace qv
