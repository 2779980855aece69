#include "import/posting.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "import/message_id.h"
#include "import/skip_reasons.h"
#include "originals/originals_store.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/messages.h"
#include "services/persons.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/text_match.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

// The whole subject of the record in the NHR buffer. Records written by older
// runs carry only HEADING.
std::string importedSubject() { return NHR.SUBJECT.empty() ? NHR.HEADING.str() : NHR.SUBJECT; }

PostResult skipped(const char* reason) {
  PostResult r;
  r.code = PostSkipped;
  r.skipReason = reason;
  return r;
}

}  // namespace

Poster::Poster(const ImportSettings& settings, int32_t importDate, int32_t importTime)
    : settings_(settings), importDate_(importDate), importTime_(importTime) {}

void Poster::setDatabase(uint32_t databaseId, int kind, const OwnerAddresses* owner, bool keepOriginals,
                         std::shared_ptr<const OriginalDictionary> dictionary) {
  database_ = databaseId;
  kind_ = kind;
  owner_ = owner;
  keepOriginals_ = keepOriginals && (kind == KindMailDb || kind == KindNewsDb);
  dictionary_ = keepOriginals_ ? std::move(dictionary) : nullptr;
  dictionaryWritten_ = false;
  // The Originals file is open: how it names contents is read once.
  hashForm_ = keepOriginals_ ? originalsHashForm() : HashForm::Hex;
  ownerPerson_ = 0;
  ownerLast_.clear();
}

PostResult Poster::post(uint32_t sectionId) {
  // The dictionary goes into the database with the first transaction of the
  // run, whatever its messages are, so that a rerun after an interruption
  // finds the dictionary the interrupted run packed with.
  if (dictionary_ && !dictionaryWritten_) {
    if (!writeDictionary(*dictionary_, ReportRollback)) return PostResult{PostFailed};
    dictionaryWritten_ = true;
  }
  switch (kind_) {
    case KindForumDb: return postForum(sectionId, false);
    case KindNewsDb: return postForum(sectionId, true);
    case KindMailDb: return postMail();
    default: return PostResult{PostFailed};
  }
}

bool Poster::person(const std::string& name, const std::string& address, uint32_t& id, std::string& lastName) {
  if (AddPers(name, address)) return false;
  id = PER.PERSONID;
  lastName = PER.LASTNAME.str();
  return true;
}

std::string Poster::threadKey(uint32_t sectionId, std::string_view alpha, std::string_view beta,
                              std::string_view heading) {
  std::string key = std::to_string(sectionId);
  for (std::string_view part : {alpha, beta, heading}) {
    key += '\0';
    key += part;
  }
  return key;
}

void Poster::learnThreads(uint32_t sectionId, const Str<10>& alpha) {
  if (!learned_.insert({sectionId, alpha.str()}).second) return;
  THR = ThreadsRec();
  THR.SECSYSID = sectionId;
  THR.ALPHA = alpha;
  Threads.setPrefix(THR_SecKey, 2);
  while (Threads.next()) {
    if (THR.SECSYSID != sectionId || compareNoCase(THR.ALPHA.view(), alpha.view()) != 0) break;
    if (THR.ALPHA.view() != alpha.view()) continue;
    threads_.emplace(threadKey(sectionId, THR.ALPHA.view(), THR.BETA.view(), trimRight(threadHeading())),
                     THR.THREADNUMBER);
  }
}

// The first thread of the section whose heading equals the subject (both
// without trailing blanks), or a new one. Threads are found by the start of
// their heading and told apart by the whole of it.
bool Poster::findThread(uint32_t sectionId, const std::string& subject, uint32_t& threadId, Str<10>& alpha) {
  Str<10> a;
  Str<40> b;
  splitSubject(subject, a, b);
  std::string key = threadKey(sectionId, a.view(), b.view(), trimRight(subject));
  learnThreads(sectionId, a);
  auto known = threads_.find(key);
  if (known != threads_.end()) {
    THR = ThreadsRec();
    THR.THREADNUMBER = known->second;
    if (Threads.get(THR_ThreadKey)) {
      threadId = THR.THREADNUMBER;
      alpha = THR.ALPHA;
      return true;
    }
    // Gone meanwhile: the section's threads of this start are read again.
    threads_.erase(known);
    learned_.erase({sectionId, a.str()});
    return findThread(sectionId, subject, threadId, alpha);
  }
  uint32_t id = NextNr();
  if (id == 0) {
    if (!unattended()) Message("Transaction Frame Error!", "Warning!", Icon::Exclamation);
    rollbackTransaction();
    return false;
  }
  THR = ThreadsRec();
  THR.THREADNUMBER = id;
  THR.SECSYSID = sectionId;
  THR.ALPHA = a;
  THR.BETA = b;
  THR.MSGCOUNT = 0;
  if (!UppDat(Threads, OpAdd, ReportRollback)) return false;
  if (!keepWholeSubject(id, subject, joinedHeading(a, b), ReportRollback)) return false;
  threads_.emplace(std::move(key), id);
  threadId = id;
  alpha = a;
  return true;
}

bool Poster::writeText(uint32_t number, bool isNew) {
  std::string text = NHR.MSGTEXT;
  TXT = MsgTextRec();
  TXT.MSGNUMBER = number;
  if (!isNew) {
    if (!MsgText.get(TXT_IdKey)) return true;  // no text to update
    TXT.DATE = importDate_;
    TXT.TIME = importTime_;
    TXT.MsgText = std::move(text);
    return UppDat(MsgText, OpChange, ReportRollback);
  }
  TXT.DATE = importDate_;
  TXT.TIME = importTime_;
  TXT.MsgText = std::move(text);
  return UppDat(MsgText, OpAdd, ReportRollback);
}

PostResult Poster::postForum(uint32_t sectionId, bool news) {
  PostResult r;
  uint32_t number = NHR.MSGNUMBER;
  bool isNew = true;

  if (news) {
    // Duplicates are told by Message-ID.
    TID = ImpThreadIdRec();
    TID.MSGNUMBER = number;
    if (!ImpThreadId.get(TID_IDKEY) || TID.IDSTRING.blank()) return skipped(kSkipNoMessageId);
    std::string idString = TID.IDSTRING.str();
    MST = MsgIdIndexRec();
    MST.IDSTRING = idString;
    if (MsgIdIndex.get(MST_IDSTRINGKEY)) {
      uint32_t stored = MST.MSGNUMBER;
      bool exists = readMessage(kind_, stored);
      if (exists && !settings_.allowReimport) return skipped(kSkipInDatabase);
      number = stored;
      isNew = !exists;
      r.reposted = !exists;
    } else {
      MST = MsgIdIndexRec();
      MST.IDSTRING = idString;
      MST.MSGNUMBER = number;
      if (!UppDat(MsgIdIndex, OpAdd, ReportRollback)) return PostResult{PostFailed};
    }
  } else {
    isNew = !readMessage(kind_, number);
  }
  r.countsApply = isNew;

  // Thread: the parent's, else by subject.
  uint32_t ref = NHR.REFNUMBER == NHR.MSGNUMBER ? 0 : NHR.REFNUMBER;
  uint32_t parent = 0;
  if (ref != 0) {
    if (news) {
      TID = ImpThreadIdRec();
      TID.MSGNUMBER = ref;
      if (ImpThreadId.get(TID_IDKEY) && !TID.IDSTRING.blank()) {
        MST = MsgIdIndexRec();
        MST.IDSTRING = TID.IDSTRING.str();
        if (MsgIdIndex.get(MST_IDSTRINGKEY)) parent = MST.MSGNUMBER;
      }
    } else {
      parent = ref;
    }
  }
  uint32_t threadId = 0;
  Str<10> threadAlpha;
  bool threaded = false;
  uint32_t parentFrom = 0;
  std::string parentFromAlpha;
  if (parent != 0 && parent != number) {
    if (readMessage(kind_, parent)) {
      threadId = MSG.THREADNUMBER;
      threadAlpha = MSG.THREADALPHA;
      threaded = true;
      parentFrom = MSG.FROMID;
      parentFromAlpha = MSG.FROMALPHA.str();
    }
  }
  if (!threaded && !findThread(sectionId, importedSubject(), threadId, threadAlpha)) return PostResult{PostFailed};

  std::string fromLast, toLast;
  if (!person(importSender(), NHR.S_CISADRESS.str(), r.fromId, fromLast)) return PostResult{PostFailed};
  if (news && threaded) {
    // An article names no receiver: an answer's receiver is the sender of
    // the article it answers, as a count run makes it.
    r.toId = parentFrom;
    toLast = parentFromAlpha;
  } else if (news && parent != 0 && parent == number) {
    r.toId = r.fromId;  // an article that names itself as its parent
    toLast = fromLast;
  } else if (!person(importRecipient(), NHR.R_CISADRESS.str(), r.toId, toLast)) {
    return PostResult{PostFailed};
  }
  r.threadId = threadId;

  if (!isNew && !readMessage(kind_, number)) isNew = true;  // gone meanwhile: add it again
  r.countsApply = isNew;
  r.number = number;
  if (isNew) {
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = number;
  } else {
    r.updated = true;
    r.oldFromId = MSG.FROMID;
    r.oldToId = MSG.TOID;
    r.oldThreadId = MSG.THREADNUMBER;
    r.oldSectionId = MSG.SECSYSID;
  }
  MSG.SECSYSID = sectionId;
  MSG.REFNUMBER = news ? parent : ref;
  MSG.THREADNUMBER = threadId;
  MSG.THREADALPHA = threadAlpha;
  MSG.FROMID = r.fromId;
  MSG.FROMALPHA = fromLast;
  MSG.TOID = r.toId;
  MSG.TOALPHA = toLast;
  MSG.DATE = NHR.DATE;
  // A message updated in place keeps the status the user gave it: a reimport
  // that cleared "keep" let the next purge of its thread delete it.
  if (isNew) MSG.DUMMY = 0;
  if (!UppDat(MsgNmbr, isNew ? OpAdd : OpChange, ReportRollback)) return PostResult{PostFailed};
  if (!writeText(number, isNew)) return PostResult{PostFailed};
  if (isNew) r.textPosition = MsgText.position();
  // The record has a date only: the time the source gives is kept beside it.
  if (!keepMessageTime(number, NHR.TIME, ReportRollback)) return PostResult{PostFailed};
  if (news && !storeOriginal(number)) return PostResult{PostFailed};

  if (!news) {
    // The message save file: this forum message has been imported.
    IMP = ImpRegistryRec();
    IMP.FORUMNUMBER = database_;
    IMP.MSGNUMBER = number;
    if (!ImpRegistry.get(IMP_IDKEY)) {
      IMP = ImpRegistryRec();
      IMP.FORUMNUMBER = database_;
      IMP.MSGNUMBER = number;
      if (!UppDat(ImpRegistry, OpAdd, ReportRollback)) return PostResult{PostFailed};
    }
  }
  return r;
}

PostResult Poster::postMail() {
  PostResult r;
  r.countsApply = true;
  if (trimRight(importRecipient()).empty()) setImportRecipient("Name Unknown");
  if (trimRight(importSender()).empty()) setImportSender("Name Unknown");
  bool sent = NHR.MAILTYPE == MailSent;

  // The owner is resolved once per database; the other party every time.
  auto party = [&](bool isOwner, const std::string& name, const Str<60>& address, uint32_t& id, std::string& last) {
    if (isOwner && ownerPerson_ != 0) {
      id = ownerPerson_;
      last = ownerLast_;
      return true;
    }
    if (!person(name, address.str(), id, last)) return false;
    if (isOwner) {
      ownerPerson_ = id;
      ownerLast_ = last;
    }
    return true;
  };
  std::string toLast, fromLast;
  if (!party(!sent, importRecipient(), NHR.R_CISADRESS, r.toId, toLast)) return PostResult{PostFailed};
  if (!party(sent, importSender(), NHR.S_CISADRESS, r.fromId, fromLast)) return PostResult{PostFailed};
  uint32_t pairId = sent ? r.toId : r.fromId;
  const std::string& pairLast = sent ? toLast : fromLast;

  // The mail keeps the time its source gives, to the second.
  int32_t time = std::max<int32_t>(NHR.TIME, 0);

  // A mail with the same subject, date, time (compared to the minute: older
  // mail and some sources have no seconds), sender, recipient and text is a
  // duplicate. The key lists the times of one minute together, latest first.
  std::string subject = importedSubject();
  std::string subjectUpper = foldUpper(std::string(trimRight(subject)));
  Str<50> start;
  start = subject;
  MAI = MailRec();
  MAI.SUBJECT = start;
  MAI.DATE = NHR.DATE;
  MAI.TIME = minuteEnd(time);
  Mail.setPrefix(MAI_SubjectKey, 3);
  while (Mail.next()) {
    if (compareNoCase(MAI.SUBJECT.view(), start.view()) != 0 || MAI.DATE != NHR.DATE ||
        minuteStart(MAI.TIME) != minuteStart(time))
      break;
    if (MAI.FROMID != r.fromId || MAI.TOID != r.toId) continue;
    if (foldUpper(std::string(trimRight(mailSubject()))) != subjectUpper) continue;
    bool same;
    {
      BufferGuard keep({&Mail});
      TXT = MsgTextRec();
      TXT.MSGNUMBER = MAI.MAILID;
      same = MsgText.get(TXT_IdKey) && DupString(TXT.MsgText, NHR.MSGTEXT);
    }
    if (same) return skipped(kSkipInDatabase);
  }

  uint32_t mailId = NHR.REFNUMBER;
  CCT = ImpCCRRec();
  CCT.MAILID = mailId;
  ImpCCR.setPrefix(CCT_IDKEY, 1);
  bool hasCopies = ImpCCR.next() && CCT.MAILID == mailId;

  MAI = MailRec();
  MAI.MAILID = mailId;
  MAI.DATE = NHR.DATE;
  MAI.TIME = time;
  MAI.SUBJECT = start;
  MAI.FROMID = r.fromId;
  MAI.FROMALPHA = fromLast;
  MAI.TOID = r.toId;
  MAI.TOALPHA = toLast;
  MAI.PAIRID = pairId;
  MAI.PAIRALPHA = pairLast;
  MAI.RECIPTYPE = NHR.RECIPTYPE;
  MAI.CCR = hasCopies ? 1 : 0;
  MAI.DUMMY = 0;
  if (!UppDat(Mail, OpAdd, ReportRollback)) return PostResult{PostFailed};
  if (!keepWholeSubject(mailId, subject, start.str(), ReportRollback)) return PostResult{PostFailed};
  if (!writeText(mailId, true)) return PostResult{PostFailed};
  r.number = mailId;
  r.textPosition = MsgText.position();
  if (hasCopies && !addCarbonCopies(mailId)) return PostResult{PostFailed};
  if (!storeOriginal(mailId)) return PostResult{PostFailed};

  if (settings_.mailTopic != 0) {
    SIN = SIndexRec();
    SIN.ID = settings_.mailTopic;
    SIN.MSGNUMBER = mailId;
    if (!SIndex.get(SIN_IdKey)) {
      SIN = SIndexRec();
      SIN.ID = settings_.mailTopic;
      SIN.MSGNUMBER = mailId;
      if (!UppDat(SIndex, OpAdd, ReportRollback)) return PostResult{PostFailed};
    }
  }
  return r;
}

// The original goes with its message: a reimported article's replaces the
// one it had. A record too long to keep an original for, or converted for a
// database that kept none then, writes nothing.
bool Poster::storeOriginal(uint32_t number) {
  if (!keepOriginals_) return true;
  NHO = ImpOriginalRec();
  NHO.INTERNAL = NHR.INTERNAL;
  NHO.MSGNUMBER = NHR.MSGNUMBER;
  if (!ImpOriginal.get(NHO_MSGKEY)) return true;
  switch (NHO.STATE) {
    case OriginalPacked: {
      PackedOriginal p;
      p.hash = NHO.HASH.str();
      p.size = NHO.SIZE;
      p.packing = NHO.PACKING;
      p.data = std::move(NHO.DATA);
      return writeOriginal(number, p, hashForm_, ReportRollback);
    }
    case OriginalUnpacked:
      return writeOriginal(number, packOriginal(NHO.DATA, NHO.HASH.str(), dictionary_.get()), hashForm_,
                           ReportRollback);
    case OriginalNone: return markNoOriginal(number, ReportRollback);
    default: return true;
  }
}

// The further recipients of a mail, from the temporary carbon-copy file, in
// the order of its key; a copy to one of the owner's own addresses is not
// recorded, nor one recipient twice.
bool Poster::addCarbonCopies(uint32_t mailId) {
  CCT = ImpCCRRec();
  CCT.MAILID = mailId;
  ImpCCR.setPrefix(CCT_IDKEY, 1);
  while (ImpCCR.next() && CCT.MAILID == mailId) {
    if (owner_ && !owner_->foreign(CCT.R_CISADRESS.str())) continue;
    CCR = CCRRec();
    CCR.MAILID = mailId;
    CCR.R_NAME = CCT.R_NAME;
    CCR.R_CISADRESS = CCT.R_CISADRESS;
    CCR.RECIPTYPE = CCT.RECIPTYPE;
    if (!CCRFile.add()) {
      if (ErrorCode() == ErrDuplicateKey) continue;
      UppDat(CCRFile, OpAdd, ReportRollback);
      return false;
    }
  }
  return true;
}

}  // namespace qv
