#include "export/message_set.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "export/export_headers.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

// Scope codes in rank order: 1 message, 2 thread, ... 9 search result.
const MessageSet kRanks[] = {MessageSet::Message, MessageSet::Thread,   MessageSet::Sender,
                             MessageSet::Recipient, MessageSet::Section, MessageSet::Database,
                             MessageSet::Word,    MessageSet::Topic,    MessageSet::SearchResult};

PersonText personText(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  if (id == 0 || !Person.get(PER_PersonKey)) return {};
  PersonName whole = personName();
  return PersonText{whole.last, whole.first, PER.ADDRESS.str()};
}

std::string textOf(uint32_t id) {
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  return MsgText.get(TXT_IdKey) ? TXT.MsgText : std::string();
}

std::string messageIdOf(uint32_t number) {
  if (number == 0) return {};
  MST = MsgIdIndexRec();
  MST.MSGNUMBER = number;
  return MsgIdIndex.get(MST_IDKEY) ? MST.IDSTRING.str() : std::string();
}

// The ID field of the record a walk stands on.
uint32_t idOfRecord(const File& f) {
  if (&f == &MsgNmbr) return MSG.MSGNUMBER;
  if (&f == &Mail) return MAI.MAILID;
  if (&f == &MasIdx) return MAS.SYSID;
  if (&f == &SIndex) return SIN.MSGNUMBER;
  return SEA.ID;
}

bool sameValue(const FieldValue& a, const FieldValue& b, bool nocase) {
  if (nocase) {
    auto* sa = std::get_if<std::string>(&a);
    auto* sb = std::get_if<std::string>(&b);
    if (sa && sb) return compareNoCase(trimRight(*sa), trimRight(*sb)) == 0;
  }
  return a == b;
}

}  // namespace

bool setOfCopyScope(int scope, MessageSet& set) {
  if (scope < 1 || scope > 19) return false;
  set = scope <= 3 ? MessageSet::Message : kRanks[scope / 2 - 1];
  return true;
}

bool setOfPrintScope(int scope, MessageSet& set) {
  if (scope < 1 || scope > 9) return false;
  set = kRanks[scope - 1];
  return true;
}

bool MessageRange::skips(uint32_t id, int32_t date) const {
  if (idRange && (id < lowId || id > highId)) return true;
  if (dateRange && (date < fromDate || date > toDate)) return true;
  return false;
}

bool MessageRange::undated(uint32_t id, int32_t date) const {
  return dateRange && date == 0 && !(idRange && (id < lowId || id > highId));
}

DateRangeFault dateRangeFault(int32_t fromDate, int32_t toDate) {
  const int32_t first = dateFromYMD(1965, 1, 1), last = dateFromYMD(2099, 1, 1);
  auto valid = [&](int32_t d) { return d > first && d < last; };
  if (!valid(fromDate)) return DateRangeFault::From;
  if (!valid(toDate)) return DateRangeFault::To;
  if (toDate < fromDate) return DateRangeFault::Negative;
  return DateRangeFault::None;
}

const char* dateRangeFaultText(DateRangeFault f) {
  switch (f) {
    case DateRangeFault::From: return "A valid From-date must be entered to apply a date range filter.";
    case DateRangeFault::To: return "A valid To-date must be entered to apply a date range filter.";
    case DateRangeFault::Negative: return "A negative date range cannot be allowed.";
    case DateRangeFault::None: break;
  }
  return "";
}

MessageWalk::MessageWalk(const SetRequest& request) : req_(request) {}

MessageWalk::~MessageWalk() { close(); }

bool MessageWalk::open() {
  kind_ = exportedKind();
  if (kind_ == KindMailDb && req_.set == MessageSet::Section) {
    error_ = "A mail database has no sections.";
    return false;
  }
  std::vector<int> files = kind_ == KindMailDb
                               ? std::vector<int>{FileMail, FileMsgText, FilePerson}
                               : std::vector<int>{FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads};
  if (kind_ == KindNewsDb) files.push_back(FileMsgIdIndex);
  if (req_.set == MessageSet::Word) files.push_back(FileMasIdx);
  if (req_.set == MessageSet::Topic) files.push_back(FileSIndex);
  if (req_.set == MessageSet::SearchResult) files.push_back(FileSearch);
  files_ = FileScope(std::move(files));
  opened_ = true;
  return true;
}

void MessageWalk::close() {
  if (!opened_) return;
  files_.release();
  opened_ = false;
}

void MessageWalk::add(uint32_t id) {
  if (id != 0 && seen_.insert(id).second) ids_.push_back(id);
}

// Positions the walk on the first record of the set.
bool MessageWalk::start() {
  started_ = true;
  MessageSet s = req_.set;
  bool needsMessage = s == MessageSet::Message || s == MessageSet::Thread || s == MessageSet::Sender ||
                      s == MessageSet::Recipient || s == MessageSet::Section;
  if (needsMessage && !readMessage(kind_, req_.messageId)) {
    error_ = "The message " + std::to_string(req_.messageId) + " is not in the database.";
    return false;
  }
  const bool mail = kind_ == KindMailDb;
  switch (s) {
    case MessageSet::Message:
      add(req_.messageId);
      complete_ = true;
      return true;
    case MessageSet::Thread:
      file_ = mail ? &Mail : &MsgNmbr;
      key_ = (mail ? MAI_PairKey : MSG_Threadkey).index();
      prefix_ = 2;
      reverse_ = mail;
      break;
    case MessageSet::Sender:
      file_ = mail ? &Mail : &MsgNmbr;
      key_ = (mail ? MAI_FromKey : MSG_FromKey).index();
      prefix_ = 2;
      reverse_ = true;
      break;
    case MessageSet::Recipient:
      file_ = mail ? &Mail : &MsgNmbr;
      key_ = (mail ? MAI_ToKey : MSG_ToKey).index();
      prefix_ = 2;
      reverse_ = true;
      break;
    case MessageSet::Section:
      file_ = &MsgNmbr;
      key_ = MSG_SECkey.index();
      prefix_ = 1;
      break;
    case MessageSet::Database:
      file_ = mail ? &Mail : &MsgNmbr;
      key_ = (mail ? MAI_DateKey : MSG_DateKey).index();
      prefix_ = 0;
      reverse_ = true;
      break;
    case MessageSet::Word:
      MAS = MasIdxRec();
      MAS.WORDID = uint32_t(req_.wordId);
      file_ = &MasIdx;
      key_ = MAS_by_WordId.index();
      prefix_ = 1;
      break;
    case MessageSet::Topic:
      SIN = SIndexRec();
      SIN.ID = req_.topicId;
      file_ = &SIndex;
      key_ = SIN_IdKey.index();
      prefix_ = 1;
      reverse_ = true;
      break;
    case MessageSet::SearchResult:
      file_ = &Search;
      key_ = SEA_IdKey.index();
      prefix_ = 0;
      reverse_ = true;
      break;
  }
  const FileDecl& d = file_->decl();
  for (int i = 0; i < prefix_; ++i) want_.push_back(getField(d, d.keys[size_t(key_)].parts[size_t(i)].field));
  if (prefix_ > 0)
    file_->setPrefix(file_->key(key_), prefix_);
  else
    file_->set(file_->key(key_));
  return true;
}

bool MessageWalk::walkKey(int max) {
  const FileDecl& d = file_->decl();
  const KeyDesc& k = d.keys[size_t(key_)];
  Key key = file_->key(key_);
  // Every slice takes the walk up again after the record where the last one
  // stopped: other windows may have moved the file in between.
  if (haveLast_) {
    file_->setPosition(key, lastPos_);
    if (!file_->next() || file_->position() != lastPos_) {
      // The record is gone: go on from its key value.
      restoreRecord(d, last_);
      file_->set(key, key);
    }
  }
  for (int n = 0; n < max; ++n) {
    if (!file_->next()) return false;
    for (int i = 0; i < prefix_; ++i)
      if (!sameValue(getField(d, k.parts[size_t(i)].field), want_[size_t(i)], k.nocase)) return false;
    add(idOfRecord(*file_));
    haveLast_ = true;
    lastPos_ = file_->position();
    last_ = saveRecord(d);
  }
  return true;
}

bool MessageWalk::collect(int max) {
  if (complete_) return false;
  BufferGuard guard({&MsgNmbr, &Mail, &MasIdx, &SIndex, &Search});
  if (!started_) {
    if (!start()) {
      complete_ = true;
      return false;
    }
    if (complete_) return false;
  }
  if (walkKey(max)) return true;
  complete_ = true;
  if (req_.set == MessageSet::Word)
    std::sort(ids_.begin(), ids_.end());
  else if (reverse_)
    std::reverse(ids_.begin(), ids_.end());
  return false;
}

bool MessageWalk::read(uint32_t id, MessageData& out) {
  BufferGuard guard({&MsgNmbr, &Mail, &MsgText, &Person, &Threads, &Sections, &MsgIdIndex});
  out = MessageData();
  MessageHeader h;
  if (!readMessageHeader(kind_, id, h)) return false;
  // What only forum and newsgroup messages have, from the MSG buffer before
  // the persons are read.
  const uint32_t ref = kind_ == KindMailDb ? 0 : MSG.REFNUMBER;
  const uint32_t section = kind_ == KindMailDb ? 0 : MSG.SECSYSID;
  out.id = id;
  out.date = h.date;
  out.subject = h.subject;
  out.time = h.time;
  out.from = personText(h.fromId);
  out.to = personText(h.toId);
  if (kind_ == KindMailDb) {
    out.outgoing = Mem.PersonID != 0 && h.fromId == Mem.PersonID;
    out.text = textOf(id);
    return true;
  }
  out.ref = ref;
  SEC = SectionsRec();
  SEC.SECSYSID = section;
  if (Sections.get(SEC_SysIdKey)) {
    out.sectionNumber = SEC.SECTIONNUMBER;
    out.sectionName = SEC.DESCRIPTION.str();
  }
  if (kind_ == KindNewsDb) {
    out.idString = messageIdOf(id);
    out.refIdString = messageIdOf(ref);
  }
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  if (MsgText.get(TXT_IdKey)) out.text = TXT.MsgText;
  return true;
}

}  // namespace qv
