// Deleting messages, threads, mail and mail partners in the purge: a message
// goes with its text, its original and its word-index entries in one
// transaction, and the counts of its words are lowered in the same commit.
#include <vector>

#include "dictionary/dictionary.h"
#include "maintenance/purge_impl.h"
#include "originals/originals_store.h"
#include "services/record_helpers.h"

namespace qv {

namespace {

// A status the purge deletes: normal or delete. Keep, and any value the
// purge does not know, keep the item.
bool deletable(uint8_t status) { return status == 0 || status == 2; }

}  // namespace

bool PurgeRun::Impl::dropWords(uint32_t id) {
  if (!wordIndex) return true;
  std::vector<uint32_t> words;
  MAS = MasIdxRec();
  MAS.SYSID = id;
  MasIdx.setPrefix(MAS_by_SysID, 1);
  while (MasIdx.next() && MAS.SYSID == id) words.push_back(MAS.WORDID);
  for (uint32_t w : words) {
    MAS.SYSID = id;
    MAS.WORDID = w;
    if (!MasIdx.get(MAS_by_SysID) || !MasIdx.remove())
      return fail("a word-index entry of message " + std::to_string(id) + " could not be removed: " + ErrorText());
    ++wordLoss[w];
    wordsChanged = true;
  }
  return true;
}

bool PurgeRun::Impl::applyWordLoss() {
  for (const auto& [word, lost] : wordLoss) {
    WOR = WordListRec();
    WOR.WORDID = int32_t(word);
    if (!WordList.get(WOR_by_WordId)) continue;
    WOR.WORDCOUNT -= lost;
    bool ok = WOR.WORDCOUNT <= 0 ? WordList.remove() : WordList.put();
    if (!ok) return fail("the count of word " + WOR.THEWORD.str() + " could not be stored: " + ErrorText());
  }
  wordLoss.clear();
  return true;
}

bool PurgeRun::Impl::dropSubject(uint32_t id) {
  if (!subjects) return true;
  SUB = SubjectsRec();
  SUB.ID = id;
  if (!Subjects.get(SUB_IdKey)) return true;
  return Subjects.remove() || fail("the subject of " + std::to_string(id) + " could not be removed: " + ErrorText());
}

// The parts every message kind shares, the message record being current
// in `records`: its text, the record, its original and its words.
bool PurgeRun::Impl::dropMessageParts(File& records, uint32_t id, int& count) {
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  if (MsgText.get(TXT_IdKey)) {
    if (!MsgText.remove()) return fail("the text of message " + std::to_string(id) + " could not be removed: " + ErrorText());
    ++count;
  }
  if (!records.remove()) return fail("message " + std::to_string(id) + " could not be removed: " + ErrorText());
  ++count;
  if (originals && !removeOriginal(id, ReportQuiet))
    return fail("the original of message " + std::to_string(id) + " could not be removed: " + ErrorText());
  return dropWords(id);
}

bool PurgeRun::Impl::deleteMessage(uint32_t id) {
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  if (!MsgNmbr.get(MSG_IdKey)) return true;
  if (!change()) return false;
  int n = 0;
  if (!dropMessageParts(MsgNmbr, id, n)) return false;
  ++view.counters[1];
  return done(n);
}

bool PurgeRun::Impl::deleteMail(uint32_t id) {
  MAI = MailRec();
  MAI.MAILID = id;
  if (!Mail.get(MAI_IdKey)) return true;
  if (!change()) return false;
  int n = 0;
  if (!dropMessageParts(Mail, id, n) || !dropSubject(id)) return false;
  ++view.counters[1];
  return done(n);
}

bool PurgeRun::Impl::purgeThread(uint32_t thread) {
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  if (!Threads.get(THR_ThreadKey)) return true;
  std::vector<uint32_t> gone;
  bool kept = false;
  MSG = MsgNmbrRec();
  MSG.THREADALPHA = THR.ALPHA.str();
  MSG.THREADNUMBER = thread;
  MsgNmbr.setPrefix(MSG_Threadkey, 2);
  while (MsgNmbr.next() && MSG.THREADNUMBER == thread) {
    if (deletable(MSG.DUMMY)) gone.push_back(MSG.MSGNUMBER);
    else kept = true;
  }
  for (uint32_t id : gone)
    if (!deleteMessage(id)) return false;
  if (kept) return true;
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  if (!Threads.get(THR_ThreadKey)) return true;
  if (!change()) return false;
  if (!Threads.remove()) return fail("thread " + std::to_string(thread) + " could not be removed: " + ErrorText());
  return dropSubject(thread) && done();
}

bool PurgeRun::Impl::purgePartner(uint32_t person) {
  if (person == ownerId) return true;
  PER = PersonRec();
  PER.PERSONID = person;
  if (!Person.get(PER_PersonKey) || PER.DUMMY != 2) return true;
  std::vector<uint32_t> gone;
  bool kept = false;
  MAI = MailRec();
  MAI.PAIRALPHA = PER.LASTNAME.str();
  MAI.PAIRID = person;
  Mail.setPrefix(MAI_PairKey, 2);
  while (Mail.next() && MAI.PAIRID == person) {
    if (deletable(MAI.DUMMY)) gone.push_back(MAI.MAILID);
    else kept = true;
  }
  for (uint32_t id : gone)
    if (!deleteMail(id)) return false;
  if (kept) return true;
  PER = PersonRec();
  PER.PERSONID = person;
  if (!Person.get(PER_PersonKey)) return true;
  if (!change()) return false;
  if (!Person.remove()) return fail("mail partner " + std::to_string(person) + " could not be removed: " + ErrorText());
  return done();
}

}  // namespace qv
