// Steps 5 to 7 of duplicate elimination: the messages of every duplicate
// are moved onto the person kept, the duplicate's person string becomes an
// alias of it and the duplicate goes, and every person is recounted.
#include <set>

#include "dictionary/dictionary.h"
#include "maintenance/dup_impl.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/persons.h"

namespace qv {

std::vector<uint32_t> DupRun::Impl::recordsOf(File& f, const Key& k, const std::string& alpha, uint32_t id) {
  std::vector<uint32_t> out;
  bool mailFile = &f == &Mail;
  walkPersonKey(f, k, alpha, id, [&] {
    out.push_back(mailFile ? MAI.MAILID : MSG.MSGNUMBER);
    return true;
  });
  return out;
}

// Every message the duplicate sent, received or (mail) is the partner of
// now names the keeper. A mail is found by each of its keys, so the
// duplicate of a mailbox owner's address, which is no mail's partner, loses
// its mail too.
bool DupRun::Impl::recodeMessages(size_t index) {
  const DupMergeEntry& r = recodes[index];
  if (r.newId == 0) return true;
  File& f = mail() ? Mail : MsgNmbr;
  std::string oldAlpha = Str<10>(r.oldAlpha).str();
  std::string newAlpha = Str<10>(r.newAlpha).str();
  std::set<uint32_t> found;
  for (const Key* k : mail() ? std::vector<const Key*>{&MAI_PairKey, &MAI_ToKey, &MAI_FromKey}
                             : std::vector<const Key*>{&MSG_ToKey, &MSG_FromKey}) {
    std::vector<uint32_t> ids = recordsOf(f, *k, k == &MAI_PairKey ? r.oldAlpha : oldAlpha, r.oldId);
    found.insert(ids.begin(), ids.end());
  }
  int n = 0;
  for (uint32_t record : found) {
    bool got = false;
    if (mail()) {
      MAI = MailRec();
      MAI.MAILID = record;
      got = Mail.get(MAI_IdKey);
      if (got) {
        if (MAI.PAIRID == r.oldId) {
          MAI.PAIRID = r.newId;
          MAI.PAIRALPHA = r.newAlpha;
        }
        if (MAI.TOID == r.oldId) {
          MAI.TOID = r.newId;
          MAI.TOALPHA = newAlpha;
        }
        if (MAI.FROMID == r.oldId) {
          MAI.FROMID = r.newId;
          MAI.FROMALPHA = newAlpha;
        }
      }
    } else {
      MSG = MsgNmbrRec();
      MSG.MSGNUMBER = record;
      got = MsgNmbr.get(MSG_IdKey);
      if (got) {
        if (MSG.TOID == r.oldId) {
          MSG.TOID = r.newId;
          MSG.TOALPHA = newAlpha;
        }
        if (MSG.FROMID == r.oldId) {
          MSG.FROMID = r.newId;
          MSG.FROMALPHA = newAlpha;
        }
      }
    }
    if (!got) continue;
    if (!change()) return false;
    if (!f.put()) return fail("message " + std::to_string(record) + " could not be stored: " + ErrorText());
    ++n;
  }
  return n == 0 || done(n);
}

bool DupRun::Impl::deleteDuplicate(size_t index) {
  const DupMergeEntry& r = recodes[index];
  if (r.newId == 0) return true;
  PER = PersonRec();
  PER.PERSONID = r.oldId;
  if (!Person.get(PER_PersonKey)) return true;  // gone already
  std::string string = PER.PERSONSTRING.str();
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
