// The counts of a posting: gathered per message, written to the persons,
// threads, sections and the database's entry just before each commit, in
// the same transaction as the messages they count, so that a count run
// afterwards finds nothing to change.
#include <algorithm>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/import_run.h"
#include "services/db_kind.h"
#include "services/messages.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

uint32_t plus(uint32_t count, int64_t delta) { return uint32_t(std::max<int64_t>(0, int64_t(count) + delta)); }

}  // namespace

// A new message adds to its sender, receiver, thread and section. A message
// updated in place (a reimport) that now has another sender, receiver,
// thread or section moves its count from the old one to the new one.
void ImportRun::countPosted(const PostResult& r, uint32_t section) {
  bool forum = currentKind_ != KindMailDb;
  if (currentKind_ == KindNewsDb && (r.reposted || (r.updated && r.oldFromId != r.fromId)))
    answeredAnew_.insert(r.number);
  if (r.countsApply) {
    ++newMessages_;
    personCounts_[r.fromId].sent += 1;
    personCounts_[r.toId].received += 1;
    if (forum) {
      threadCounts_[r.threadId] += 1;
      sectionCounts_[section] += 1;
    }
    return;
  }
  if (!r.updated || !forum) return;
  if (r.oldFromId != r.fromId) {
    personCounts_[r.oldFromId].sent -= 1;
    personCounts_[r.fromId].sent += 1;
  }
  if (r.oldToId != r.toId) {
    personCounts_[r.oldToId].received -= 1;
    personCounts_[r.toId].received += 1;
  }
  if (r.oldThreadId != r.threadId) {
    threadCounts_[r.oldThreadId] -= 1;
    threadCounts_[r.threadId] += 1;
  }
  if (r.oldSectionId != section) {
    sectionCounts_[r.oldSectionId] -= 1;
    sectionCounts_[section] += 1;
  }
}

// The answers to an article posted again, or now from another sender, are
// addressed to its sender, as when they were posted after it; their
// receivers' counts move with them.
bool ImportRun::applyReceivers() {
  if (answeredAnew_.empty()) return true;
  std::vector<uint32_t> answers;
  MsgNmbr.setFileOrder();
  while (MsgNmbr.next())
    if (MSG.REFNUMBER != MSG.MSGNUMBER && answeredAnew_.count(MSG.REFNUMBER)) answers.push_back(MSG.MSGNUMBER);
  answeredAnew_.clear();
  for (uint32_t id : answers) {
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = id;
    if (!MsgNmbr.get(MSG_IdKey)) continue;
    MSG.MSGNUMBER = MSG.REFNUMBER;
    if (!MsgNmbr.get(MSG_IdKey)) continue;
    uint32_t from = MSG.FROMID;
    std::string fromAlpha = MSG.FROMALPHA.str();
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = id;
    if (!MsgNmbr.get(MSG_IdKey) || MSG.TOID == from) continue;
    personCounts_[MSG.TOID].received -= 1;
    personCounts_[from].received += 1;
    MSG.TOID = from;
    MSG.TOALPHA = fromAlpha;
    if (!UppDat(MsgNmbr, OpChange, ReportRollback)) return false;
  }
  return true;
}

// A person who lost a message is counted from the messages themselves, and
// leaves when none is left, as a count run has it.
bool ImportRun::applyPersonCounts() {
  for (const auto& [id, c] : personCounts_) {
    PER = PersonRec();
    PER.PERSONID = id;
    if (!Person.get(PER_PersonKey)) continue;  // the record is gone
    PER.FROMCOUNT = plus(PER.FROMCOUNT, c.sent);
    PER.TOCOUNT = plus(PER.TOCOUNT, c.received);
    bool lost = c.sent < 0 || c.received < 0;
    if (lost && currentKind_ != KindMailDb && RecountForumPerson() == RecountNoMessages) {
      if (!UppDat(Person, OpRemove, ReportRollback)) return false;
      continue;
    }
    if (!UppDat(Person, OpChange, ReportRollback)) return false;
  }
  return true;
}

// A thread that lost a message is counted from its messages, and leaves with
// its whole subject when none is left.
bool ImportRun::applyThreadCounts() {
  for (const auto& [id, n] : threadCounts_) {
    THR = ThreadsRec();
    THR.THREADNUMBER = id;
    if (!Threads.get(THR_ThreadKey)) continue;
    if (n >= 0) {
      THR.MSGCOUNT = plus(THR.MSGCOUNT, n);
      if (!UppDat(Threads, OpChange, ReportRollback)) return false;
      continue;
    }
    uint32_t messages = 0;
    {
      BufferGuard keep({&Threads});
      MSG = MsgNmbrRec();
      MSG.THREADALPHA = THR.ALPHA.str();
      MSG.THREADNUMBER = id;
      MsgNmbr.setPrefix(MSG_Threadkey, 2);
      while (MsgNmbr.next() && MSG.THREADNUMBER == id) ++messages;
    }
    if (messages == 0) {
      if (!UppDat(Threads, OpRemove, ReportRollback) || !forgetWholeSubject(id, ReportRollback)) return false;
      continue;
    }
    THR.MSGCOUNT = messages;
    if (!UppDat(Threads, OpChange, ReportRollback)) return false;
  }
  return true;
}

// A section that lost a message is counted from the messages naming it, and
// leaves the database and the run's list of sections when none is left.
bool ImportRun::applySectionCounts() {
  for (const auto& [id, n] : sectionCounts_) {
    SEC = SectionsRec();
    SEC.SECSYSID = id;
    if (!Sections.get(SEC_SysIdKey)) continue;
    if (n >= 0) {
      SEC.MSGCOUNT = plus(SEC.MSGCOUNT, n);
      if (!UppDat(Sections, OpChange, ReportRollback)) return false;
      continue;
    }
    uint32_t messages = 0;
    {
      BufferGuard keep({&Sections});
      MSG = MsgNmbrRec();
      MSG.SECSYSID = id;
      MsgNmbr.setPrefix(MSG_SECkey, 1);
      while (MsgNmbr.next() && MSG.SECSYSID == id) ++messages;
    }
    if (messages == 0) {
      if (!UppDat(Sections, OpRemove, ReportRollback)) return false;
      for (auto it = sections_.begin(); it != sections_.end();)
        it = it->second == id ? sections_.erase(it) : std::next(it);
      continue;
    }
    SEC.MSGCOUNT = messages;
    if (!UppDat(Sections, OpChange, ReportRollback)) return false;
  }
  return true;
}

// Adds the counts gathered since the last commit to the persons, threads,
// sections and the database's entry, inside the posting transaction.
bool ImportRun::applyCounts() {
  if (!applyReceivers() || !applyPersonCounts() || !applyThreadCounts() || !applySectionCounts()) return false;
  personCounts_.clear();
  threadCounts_.clear();
  sectionCounts_.clear();
  FOR = ForumsRec();
  FOR.ID = current_.id;
  if (Forums.get(FOR_ForumKey)) {
    FOR.MSGCOUNT = uint32_t(databaseCount_ + newMessages_);
    FOR.COUNTFLAG = 0;
    if (!UppDat(Forums, OpChange, ReportRollback)) return false;
  }
  return true;
}

}  // namespace qv
