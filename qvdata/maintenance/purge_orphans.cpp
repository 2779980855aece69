// What a purge leaves orphaned: topic links of gone messages and topics,
// person links of gone persons, carbon copies of gone mail, the extras of
// gone records; the topics' counts and the word list's count key.
#include <algorithm>
#include <functional>
#include <set>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/purge_impl.h"
#include "services/globals.h"

namespace qv {

namespace {

// The stored positions of the records the walk from the buffer's first
// `components` of key `k` finds while `same` holds.
template <typename Same>
std::vector<int64_t> positionsOf(File& f, const Key& k, int components, Same same) {
  std::vector<int64_t> out;
  f.setPrefix(k, components);
  while (f.next() && same()) out.push_back(f.position());
  return out;
}

}  // namespace

bool PurgeRun::Impl::has(int file) const { return std::find(heldFiles.begin(), heldFiles.end(), file) != heldFiles.end(); }

bool PurgeRun::Impl::messageExists(uint32_t id) {
  if (mail()) {
    MAI = MailRec();
    MAI.MAILID = id;
    return Mail.get(MAI_IdKey);
  }
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  return MsgNmbr.get(MSG_IdKey);
}

// The messages that have topic links (as themselves), then the topics
// linked that are no longer in Codes (as -1 - ID).
void PurgeRun::Impl::collectSearchMessages() {
  if (!has(FileSIndex)) return;
  SIndex.set(SIN_MsgKey);
  uint32_t last = 0;
  bool any = false;
  while (SIndex.next()) {
    if (any && SIN.MSGNUMBER == last) continue;
    work.push_back(SIN.MSGNUMBER);
    last = SIN.MSGNUMBER;
    any = true;
  }
  std::set<uint32_t> topics;
  if (has(FileCodes)) {
    Codes.setFileOrder();
    while (Codes.next()) topics.insert(COD.ID);
  }
  SIndex.set(SIN_IdKey);
  any = false;
  while (SIndex.next()) {
    if (any && SIN.ID == last) continue;
    last = SIN.ID;
    any = true;
    if (!topics.count(SIN.ID)) work.push_back(-1 - int64_t(SIN.ID));
  }
}

bool PurgeRun::Impl::dropSearchOrphans(int64_t r) {
  std::vector<int64_t> gone;
  SIN = SIndexRec();
  if (r >= 0) {
    uint32_t message = uint32_t(r);
    if (messageExists(message)) return true;
    SIN.MSGNUMBER = message;
    gone = positionsOf(SIndex, SIN_MsgKey, 1, [&] { return SIN.MSGNUMBER == message; });
  } else {
    uint32_t topic = uint32_t(-1 - r);
    SIN.ID = topic;
    gone = positionsOf(SIndex, SIN_IdKey, 1, [&] { return SIN.ID == topic; });
  }
  if (gone.empty()) return true;
  if (!change()) return false;
  for (int64_t p : gone)
    if (!SIndex.getPosition(p) || !SIndex.remove()) return fail("a topic link could not be removed: " + ErrorText());
  return done(int(gone.size()));
}

void PurgeRun::Impl::collectTopics() {
  if (!has(FileCodes) || !has(FileSIndex)) return;
  Codes.setFileOrder();
  while (Codes.next()) work.push_back(Codes.position());
}

bool PurgeRun::Impl::countTopic(int64_t position) {
  if (!Codes.getPosition(position)) return true;
  uint32_t topic = COD.ID;
  uint32_t n = 0;
  SIN = SIndexRec();
  SIN.ID = topic;
  SIndex.setPrefix(SIN_IdKey, 1);
  while (SIndex.next() && SIN.ID == topic) ++n;
  if (n == COD.COUNT) return true;
  if (!change()) return false;
  if (!Codes.getPosition(position)) return true;
  COD.COUNT = n;
  if (!Codes.put()) return fail("the count of topic " + COD.INDEX.str() + " could not be stored: " + ErrorText());
  return done();
}

void PurgeRun::Impl::collectLinks() {
  if (!has(FilePLINK)) return;
  PLINK.setFileOrder();
  while (PLINK.next()) work.push_back(PLINK.position());
}

bool PurgeRun::Impl::dropLinkOrphan(int64_t position) {
  if (!PLINK.getPosition(position)) return true;
  PER = PersonRec();
  PER.PERSONID = PLI.PERSONID;
  if (Person.get(PER_PersonKey)) return true;
  if (!change()) return false;
  if (!PLINK.getPosition(position) || !PLINK.remove())
    return fail("a person link could not be removed: " + ErrorText());
  return done();
}

void PurgeRun::Impl::collectCarbonCopies() {
  if (!has(FileCCR)) return;
  CCRFile.set(CCR_IdKey);
  uint32_t last = 0;
  bool any = false;
  while (CCRFile.next()) {
    if (any && CCR.MAILID == last) continue;
    last = CCR.MAILID;
    any = true;
    work.push_back(last);
  }
}

bool PurgeRun::Impl::dropCarbonCopies(uint32_t mailId) {
  if (messageExists(mailId)) return true;
  CCR = CCRRec();
  CCR.MAILID = mailId;
  std::vector<int64_t> gone = positionsOf(CCRFile, CCR_IdKey, 1, [&] { return CCR.MAILID == mailId; });
  if (gone.empty()) return true;
  if (!change()) return false;
  for (int64_t p : gone)
    if (!CCRFile.getPosition(p) || !CCRFile.remove()) return fail("a carbon copy could not be removed: " + ErrorText());
  return done(int(gone.size()));
}

// The word list's count key is built once the counts are final (a key built
// before is kept up to date by every write); the database then no longer
// marks it stale.
bool PurgeRun::Impl::rebuildWordList() {
  if (!wordIndex) return true;
  if (!WordList.buildKey(WOR_by_WordCount) && ErrorCode() != ErrKeyBuilt)
    return fail("the word list could not be rebuilt: " + ErrorText());
  Mem.WordListIndexNeedsUpdate = 0;
  return updateDatabaseRecord([] { FOR.WORDLISTINDEXNEEDSUPDATE = 0; });
}

// The Extras rows whose record is gone: the time of a message, the whole
// name of a person, the address of a string that no person and no alias
// holds any more. The whole file is looked at, so a rerun after a run cut
// short removes what that run left.
void PurgeRun::Impl::collectExtras() {
  if (!extras) return;
  tx.files = {&Extras};
  auto sortedIds = [](File& f, const std::function<uint32_t()>& id) {
    std::vector<uint32_t> ids;
    f.setFileOrder();
    while (f.next()) ids.push_back(id());
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  const std::vector<uint32_t> messages =
      mail() ? std::vector<uint32_t>() : sortedIds(MsgNmbr, [] { return MSG.MSGNUMBER; });
  const std::vector<uint32_t> persons = sortedIds(Person, [] { return PER.PERSONID; });
  auto stringHeld = [&](const std::string& string) {
    PER = PersonRec();
    PER.PERSONSTRING = string;
    if (Person.get(PER_StringKey)) return true;
    if (!has(FilePLINK)) return false;
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    return PLINK.get(PLI_StringKey);
  };
  std::vector<std::pair<int64_t, std::string>> strings;
  Extras.setFileOrder();
  while (Extras.next()) {
    switch (EXT.KIND) {
      case ExtraTime:
        if (!std::binary_search(messages.begin(), messages.end(), EXT.ID)) work.push_back(Extras.position());
        break;
      case ExtraName:
        if (!std::binary_search(persons.begin(), persons.end(), EXT.ID)) work.push_back(Extras.position());
        break;
      case ExtraAliasAddress: strings.emplace_back(Extras.position(), EXT.PERSONSTRING.str()); break;
      default: break;
    }
  }
  for (const auto& [position, string] : strings)
    if (!stringHeld(string)) work.push_back(position);
}

bool PurgeRun::Impl::dropExtra(int64_t position) {
  if (!Extras.getPosition(position)) return true;
  if (!change()) return false;
  if (!Extras.getPosition(position) || !Extras.remove())
    return fail("a name or time of a deleted record could not be removed: " + ErrorText());
  return done();
}

}  // namespace qv
