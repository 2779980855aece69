#include "browse/browse_view.h"

#include <cstdint>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/messages.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

bool mailKind(const BrowseState& s) { return s.kind == KindMailDb; }

// The view's kind of walk independent of the database kind.
enum class Walk { Number, Thread, Section, Sender, Receiver, Date, Subject, Partner, Word, Topic, Result };

Walk walkOf(const BrowseState& s) {
  if (mailKind(s)) {
    switch (s.mode) {
      case MmSubject: return Walk::Subject;
      case MmPartner: return Walk::Partner;
      case MmSender: return Walk::Sender;
      case MmReceiver: return Walk::Receiver;
      case MmWord: return Walk::Word;
      case MmTopic: return Walk::Topic;
      case MmResult: return Walk::Result;
      default: return Walk::Date;
    }
  }
  switch (s.mode) {
    case FmThread: return Walk::Thread;
    case FmSection: return Walk::Section;
    case FmSender: return Walk::Sender;
    case FmReceiver: return Walk::Receiver;
    case FmDate: return Walk::Date;
    case FmWord: return Walk::Word;
    case FmTopic: return Walk::Topic;
    case FmResult: return Walk::Result;
    default: return Walk::Number;
  }
}

std::vector<int> viewFiles(const BrowseState& s) {
  std::vector<int> files = {mailKind(s) ? FileMail : FileMsgNmbr};
  switch (walkOf(s)) {
    case Walk::Word: files.push_back(FileMasIdx); break;
    case Walk::Topic: files.push_back(FileSIndex); break;
    case Walk::Result: files.push_back(FileSearch); break;
    default: break;
  }
  return files;
}

}  // namespace

BrowseView::BrowseView(const BrowseState& s) : state_(s), files_(shareFiles(viewFiles(s))) {}

bool BrowseView::indexView() const {
  Walk w = walkOf(state_);
  return w == Walk::Word || w == Walk::Topic || w == Walk::Result;
}

File& BrowseView::file() const {
  switch (walkOf(state_)) {
    case Walk::Word: return MasIdx;
    case Walk::Topic: return SIndex;
    case Walk::Result: return Search;
    default: return mailKind(state_) ? Mail : MsgNmbr;
  }
}

Key BrowseView::key() const {
  bool mail = mailKind(state_);
  switch (walkOf(state_)) {
    case Walk::Number: return MSG_IdKey;
    case Walk::Thread: return MSG_Threadkey;
    case Walk::Section: return MSG_SECkey;
    case Walk::Sender: return mail ? MAI_FromKey : MSG_FromKey;
    case Walk::Receiver: return mail ? MAI_ToKey : MSG_ToKey;
    case Walk::Date: return mail ? MAI_DateKey : MSG_DateKey;
    case Walk::Subject: return MAI_SubjectKey;
    case Walk::Partner: return MAI_PairKey;
    case Walk::Word: return MAS_by_WordId;
    case Walk::Topic: return SIN_IdKey;
    case Walk::Result: return SEA_IdKey;
  }
  return MSG_IdKey;
}

int BrowseView::putLimit() const {
  const BrowseState& s = state_;
  bool mail = mailKind(s);
  file().clear();
  switch (walkOf(s)) {
    case Walk::Thread:
      if (!s.limitThread || s.threadNumber == 0) return 0;
      MSG.THREADALPHA = s.threadAlpha;
      MSG.THREADNUMBER = s.threadNumber;
      return 2;
    case Walk::Section:
      if (s.sectionId == 0) return -1;
      MSG.SECSYSID = s.sectionId;
      return 1;
    case Walk::Sender:
      if (!s.limitSender || s.sender.id == 0) return 0;
      if (mail) {
        MAI.FROMALPHA = s.sender.alpha;
        MAI.FROMID = s.sender.id;
      } else {
        MSG.FROMALPHA = s.sender.alpha;
        MSG.FROMID = s.sender.id;
      }
      return 2;
    case Walk::Receiver:
      if (!s.limitReceiver || s.receiver.id == 0) return 0;
      if (mail) {
        MAI.TOALPHA = s.receiver.alpha;
        MAI.TOID = s.receiver.id;
      } else {
        MSG.TOALPHA = s.receiver.alpha;
        MSG.TOID = s.receiver.id;
      }
      return 2;
    case Walk::Partner:
      if (!s.limitPartner || s.partner.id == 0) return 0;
      MAI.PAIRALPHA = s.partner.alpha;
      MAI.PAIRID = s.partner.id;
      return 2;
    case Walk::Word:
      if (s.wordId == 0) return -1;
      MAS.WORDID = s.wordId;
      return 1;
    case Walk::Topic:
      if (s.topicId == 0) return -1;
      SIN.ID = s.topicId;
      return 1;
    default: return 0;
  }
}

bool BrowseView::inLimit() const {
  const BrowseState& s = state_;
  bool mail = mailKind(s);
  switch (walkOf(s)) {
    case Walk::Thread: return !s.limitThread || s.threadNumber == 0 || MSG.THREADNUMBER == s.threadNumber;
    case Walk::Section: return MSG.SECSYSID == s.sectionId;
    case Walk::Sender:
      return !s.limitSender || s.sender.id == 0 || (mail ? MAI.FROMID : MSG.FROMID) == s.sender.id;
    case Walk::Receiver:
      return !s.limitReceiver || s.receiver.id == 0 || (mail ? MAI.TOID : MSG.TOID) == s.receiver.id;
    case Walk::Partner: return !s.limitPartner || s.partner.id == 0 || MAI.PAIRID == s.partner.id;
    case Walk::Word: return MAS.WORDID == s.wordId;
    case Walk::Topic: return SIN.ID == s.topicId;
    default: return true;
  }
}

void BrowseView::putRecordMessage(uint32_t id) const {
  switch (walkOf(state_)) {
    case Walk::Word: MAS.SYSID = id; break;
    case Walk::Topic: SIN.MSGNUMBER = id; break;
    case Walk::Result: SEA.ID = id; break;
    default: break;
  }
}

uint32_t BrowseView::recordMessage() const {
  switch (walkOf(state_)) {
    case Walk::Word: return MAS.SYSID;
    case Walk::Topic: return SIN.MSGNUMBER;
    case Walk::Result: return SEA.ID;
    default: return mailKind(state_) ? MAI.MAILID : MSG.MSGNUMBER;
  }
}

void BrowseView::walk(bool forward, bool fresh, const std::function<bool(uint32_t)>& take) {
  File& f = file();
  Key k = key();
  uint32_t skip = 0;
  if (fresh || current_ == 0) {
    int m = putLimit();
    if (m < 0) return;
    if (m == 0)
      f.set(k);
    else
      f.setPrefix(k, m);
  } else {
    // Start again from the current record's key value (keys end in the
    // message number, so the value names one record); the record itself,
    // when it is still there, comes first and is passed over.
    restoreRecord(f.decl(), image_);
    f.set(k, k);
    skip = current_;
  }
  while (forward ? f.next() : f.previous()) {
    if (!inLimit()) return;
    uint32_t id = recordMessage();
    if (skip != 0 && id == skip) {
      skip = 0;
      continue;
    }
    skip = 0;
    if (indexView()) {
      bool exists;
      {
        BufferGuard keepEntry({&f});
        exists = qv::readMessage(state_.kind, id);
      }
      if (!exists) continue;
    }
    if (!take(id)) return;
  }
}

bool BrowseView::land(bool forward, bool fresh) {
  bool found = false;
  RecordImage at;
  uint32_t id = 0;
  walk(forward, fresh, [&](uint32_t m) {
    found = true;
    id = m;
    at = saveRecord(file().decl());
    return false;
  });
  if (found) {
    current_ = id;
    image_ = at;
  }
  restoreCurrent();
  return found;
}

void BrowseView::restoreCurrent() {
  if (current_ == 0) return;
  restoreRecord(file().decl(), image_);
  if (indexView()) qv::readMessage(state_.kind, current_);
}

bool BrowseView::toFirst() { return land(true, true); }
bool BrowseView::toLast() { return land(false, true); }
bool BrowseView::next() { return current_ != 0 && land(true, false); }
bool BrowseView::previous() { return current_ != 0 && land(false, false); }

bool BrowseView::toMessage(uint32_t id) {
  if (id == 0 || !holds(id)) {
    restoreCurrent();
    return false;
  }
  current_ = id;
  image_ = saveRecord(file().decl());
  restoreCurrent();
  return true;
}

bool BrowseView::holds(uint32_t id) {
  if (id == 0) return false;
  File& f = file();
  switch (walkOf(state_)) {
    case Walk::Word:
      if (state_.wordId == 0) return false;
      MAS.SYSID = id;
      MAS.WORDID = state_.wordId;
      if (!MasIdx.get(MAS_by_SysID)) return false;
      break;
    case Walk::Topic:
      if (state_.topicId == 0) return false;
      SIN.ID = state_.topicId;
      SIN.MSGNUMBER = id;
      if (!SIndex.get(SIN_IdKey)) return false;
      break;
    case Walk::Result:
      SEA.ID = id;
      if (!Search.get(SEA_IdKey)) return false;
      break;
    default:
      if (putLimit() < 0) return false;
      return qv::readMessage(state_.kind, id) && inLimit();
  }
  BufferGuard keepEntry({&f});
  return qv::readMessage(state_.kind, id);
}

// An index view's entries are in message-number order within their item:
// the walk resumes from an entry made of the item and the number, as it
// resumes from the current entry, and takes the first message it meets.
bool BrowseView::seekIndexed(uint32_t number) {
  File& f = file();
  f.clear();
  if (putLimit() < 0) return false;
  putRecordMessage(number);
  const uint32_t was = current_;
  const RecordImage wasImage = image_;
  image_ = saveRecord(f.decl());
  current_ = UINT32_MAX;  // no message has it: nothing is passed over
  if (land(true, false)) return true;
  current_ = was;
  image_ = wasImage;
  return toLast();
}

bool BrowseView::seekNumber(uint32_t number) {
  if (indexView()) return seekIndexed(number);
  if (walkOf(state_) != Walk::Number) return toMessage(number);
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = number;
  MsgNmbr.setPrefix(MSG_IdKey, 1);
  if (MsgNmbr.next()) {
    current_ = MSG.MSGNUMBER;
    image_ = saveRecord(MsgNmbr.decl());
    return true;
  }
  return toLast();
}

bool BrowseView::seekDate(int32_t date) {
  if (walkOf(state_) != Walk::Date) return toFirst();
  File& f = file();
  f.clear();
  if (mailKind(state_))
    MAI.DATE = date;
  else
    MSG.DATE = date;
  f.setPrefix(key(), 1);
  if (f.next()) {
    current_ = recordMessage();
    image_ = saveRecord(f.decl());
    return true;
  }
  return toLast();
}

std::vector<uint32_t> BrowseView::fetch(int n, bool forward) {
  std::vector<uint32_t> out;
  if (n <= 0) return out;
  walk(forward, current_ == 0, [&](uint32_t id) {
    out.push_back(id);
    return int(out.size()) < n;
  });
  restoreCurrent();
  return out;
}

}  // namespace qv
