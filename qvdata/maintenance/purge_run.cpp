#include "maintenance/purge_run.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/purge_impl.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/disk_space.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"

namespace qv {

namespace {

const char* kLabelDeleteSections = "Deleting messages in obsolete sections";

std::string labelOf(int kind, int mode, int step) {
  bool mail = kind == KindMailDb;
  switch (step) {
    case StepAgeThreads: return mail ? "Identifying duplicate mail messages" : "Marking aged threads for deletion";
    case StepMarkAged: return "Setting delete status to aged threads";
    case StepPrepareTimes: return "Preparing for mail duplicate elimination";
    case StepDeleteThreads: return mail ? "Deleting obsolete messages" : "Deleting messages in obsolete threads";
    case StepDeleteMessages: return "Deleting obsolete messages";
    case StepDeleteSections: return kLabelDeleteSections;
    case StepCarbonCopies: return "Deleting obsolete messages";
    case StepSearchOrphans:
    case StepMailSearchOrphans: return "Removing orphaned search indexes";
    case StepTopicCounts:
    case StepMailTopicCounts: return "Updating key word index counts";
    case StepWordList: return "Rebuilding word list";
    case StepPersonLinks:
    case StepMailLinks: return "Removing orphan duplicates";
    case StepReceivers: return "Updating message receiver information";
    case StepPersons:
      return mail && mode == PurgeCounting ? "Updating message counts per mailpartner" : "Updating message counts per person";
    case StepThreadCounts: return "Updating message counts per thread";
    case StepSectionCounts: return "Updating message counts per section";
    case StepExtras: return "Removing names and times of deleted records";
    default: return "";
  }
}

bool exists(int file) { return std::filesystem::exists(filePath(file)); }

}  // namespace

PurgeRun::PurgeRun(int mode, uint16_t ageWeeks) : d_(std::make_unique<Impl>()) {
  d_->mode = mode == PurgePurging ? PurgePurging : PurgeCounting;
  d_->kind = Mem.ForumType;
  d_->ageWeeks = d_->mail() ? 0 : ageWeeks;
}

PurgeRun::~PurgeRun() {
  if (d_->state == PurgeState::Running) abort();
  if (!d_->files.empty()) OP_CLOSE(OpRelease, d_->files);
}

bool PurgeRun::markedForDeletion() const {
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  bool marked = Forums.get(FOR_ForumKey) && FOR.DUMMY == 2;
  OP_CLOSE(OpRelease, {FileForums});
  return marked && d_->mode == PurgePurging;
}

bool PurgeRun::start() {
  Impl& d = *d_;
  d.started = std::chrono::steady_clock::now();
  d.tx.restartClock();
  if (d.kind != KindForumDb && d.kind != KindMailDb && d.kind != KindNewsDb) return d.fail("no database is open");
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  bool found = Forums.get(FOR_ForumKey);
  d.ownerId = uint32_t(FOR.PERSONID);
  d.databaseStatus = FOR.DUMMY;
  OP_CLOSE(OpRelease, {FileForums});
  if (!found) return d.fail("the database record is missing");

  std::vector<int> wanted = d.mail() ? std::vector<int>{FileMail, FileMsgText, FilePerson}
                                     : std::vector<int>{FileMsgNmbr, FileMsgText, FilePerson, FileThreads, FileSections};
  for (int f : {FilePLINK, FileCodes, FileSIndex, FileSubjects, FileOriginals, FileCCR})
    if ((f != FileCCR || d.mail()) && (f != FileOriginals || d.kind != KindForumDb) && exists(f)) wanted.push_back(f);
  d.wordIndex = exists(FileWordList) && exists(FileMasIdx);
  if (d.wordIndex) {
    wanted.push_back(FileWordList);
    wanted.push_back(FileMasIdx);
  }
  // The Extras file is opened with the others and written in a last step
  // of its own (StepExtras).
  d.extras = exists(FileExtras);
  if (d.extras) wanted.push_back(FileExtras);
  OP_CLOSE(OpShared, wanted);
  d.files = wanted;
  for (int f : wanted) {
    if (f != FileExtras) d.tx.files.push_back(&declaredFile(f));
    if (f == FileOriginals) d.originals = true;
    if (f == FileSubjects) d.subjects = true;
  }

  File& messages = d.mail() ? Mail : MsgNmbr;
  if (d.mode == PurgePurging) {
    int64_t n = messages.records();
    d.view.counters[0] = n;
    d.view.counters[1] = 0;
    d.view.counters[2] = n;
    d.step = d.mail() ? StepPrepareTimes : (d.ageWeeks ? StepAgeThreads : StepDeleteThreads);
  } else {
    d.step = d.mail() ? StepPersons : (d.news() ? StepReceivers : StepPersons);
    d.countersAtEnd();  // the counts as they stand until the run has made them right
  }
  d.state = PurgeState::Running;
  d.view.label = labelOf(d.kind, d.mode, d.step);
  return true;
}

bool PurgeRun::tick(std::chrono::milliseconds slice) {
  Impl& d = *d_;
  if (d.state != PurgeState::Running) return false;
  bool more = d.runSlice(slice);
  if (d.mode == PurgePurging) d.view.counters[2] = d.view.counters[0] - d.view.counters[1];
  return more;
}

// One tick's work: records of the current step and the steps after it until
// the slice is used up.
bool PurgeRun::Impl::runSlice(std::chrono::milliseconds slice) {
  Impl& d = *this;
  auto until = std::chrono::steady_clock::now() + slice;
  do {
    if (!d.collected) {
      d.work.clear();
      d.pos = 0;
      d.view.label = labelOf(d.kind, d.mode, d.step);
      d.collect();
      d.collected = true;
      d.view.done = 0;
      d.view.total = int64_t(d.work.size());
      if (d.stopped()) return false;
    }
    while (d.pos < d.work.size()) {
      if (!d.item(d.work[d.pos++])) return false;
      d.view.done = int64_t(d.pos);
      if ((d.pos & 15) == 0 && std::chrono::steady_clock::now() >= until) break;
    }
    if (d.pos < d.work.size()) {
      if ((d.step == StepDeleteThreads || d.step == StepDeleteMessages) && !d.reopenWhenShort()) return false;
      break;
    }
    // Every step ends with a commit.
    if (!d.commit()) return false;
    int next = d.finish();
    if (d.stopped()) return false;
    d.collected = false;
    d.step = next;
    if (next == StepDone) {
      d.countersAtEnd();
      d.state = PurgeState::Finished;
      d.view.label.clear();
      return false;
    }
  } while (std::chrono::steady_clock::now() < until);
  return true;
}

void PurgeRun::abort() {
  if (d_->state != PurgeState::Running) return;
  d_->commit();
  if (d_->state == PurgeState::Running) d_->state = PurgeState::Stopped;
}

PurgeState PurgeRun::state() const { return d_->state; }
const PurgeView& PurgeRun::view() const { return d_->view; }
int PurgeRun::step() const { return d_->step; }
bool PurgeRun::purging() const { return d_->mode == PurgePurging; }
double PurgeRun::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - d_->started).count();
}

PurgeState runToEnd(PurgeRun& run) {
  while (run.tick(std::chrono::milliseconds(200))) {
  }
  return run.state();
}

// ---- transactions

bool PurgeRun::Impl::change() {
  std::string why;
  bool told = false;
  if (tx.begin(why, told)) return true;
  fail("the files could not be locked: " + why);
  view.failureShown = told;
  return false;
}

bool PurgeRun::Impl::done(int n) { return !tx.due(n) || commit(); }

bool PurgeRun::Impl::commit() {
  if (!tx.open()) return true;
  if (!applyWordLoss()) return false;
  std::string why;
  switch (tx.commit(why)) {
    case RunTransaction::Outcome::Ok: return true;
    case RunTransaction::Outcome::Failed: return fail("the changes could not be committed: " + why);
    case RunTransaction::Outcome::Stopped: state = PurgeState::Stopped; return false;
  }
  return false;
}

bool PurgeRun::Impl::reopenWhenShort() {
  if (CheckSpace(Mem.FileDir, kPurgeReopenSpace, BtnAbort)) return true;
  if (!commit()) return false;
  // The step's records are collected by ID, so the walk needs no cursor kept
  // across the reopening.
  OP_CLOSE(OpRelease, files);
  if (!OP_CLOSE(OpShared, files)) return fail("the database files could not be reopened: " + ErrorText());
  return true;
}

bool PurgeRun::Impl::fail(const std::string& why) {
  if (tx.open()) {
    tx.rollback();
    wordLoss.clear();
  }
  view.failure = why;
  state = PurgeState::Failed;
  return false;
}

// ---- the order of the steps

void PurgeRun::Impl::collect() {
  switch (step) {
    case StepAgeThreads: return mail() ? collectDuplicates() : collectAgedThreads();
    case StepMarkAged: work = aged; return;
    case StepPrepareTimes: return;  // the records keep their times
    case StepDeleteThreads: return mail() ? collectPersons(2) : collectThreads(2);
    case StepDeleteMessages: {
      File& f = mail() ? Mail : MsgNmbr;
      const Key& k = mail() ? MAI_StatusKey : MSG_StatusKey;
      if (mail()) MAI.DUMMY = 2; else MSG.DUMMY = 2;
      f.setPrefix(k, 1);
      while (f.next() && (mail() ? MAI.DUMMY : MSG.DUMMY) == 2) work.push_back(mail() ? MAI.MAILID : MSG.MSGNUMBER);
      return;
    }
    case StepDeleteSections: return collectSections();
    case StepCarbonCopies: return collectCarbonCopies();
    case StepSearchOrphans:
    case StepMailSearchOrphans: return collectSearchMessages();
    case StepTopicCounts:
    case StepMailTopicCounts: return collectTopics();
    case StepWordList: return;
    case StepPersonLinks:
    case StepMailLinks: return collectLinks();
    case StepReceivers: return collectReceivers();
    case StepPersons: return collectPersons(-1);
    case StepThreadCounts: return collectThreads(-1);
    case StepSectionCounts: return collectSections();
    case StepExtras: return collectExtras();
    default: return;
  }
}

bool PurgeRun::Impl::item(int64_t r) {
  uint32_t id = uint32_t(r);
  switch (step) {
    case StepAgeThreads: return mail() ? markDuplicate(id) : qualifyAged(id);
    case StepMarkAged: return markAged(id);
    case StepDeleteThreads: return mail() ? purgePartner(id) : purgeThread(id);
    case StepDeleteMessages: return mail() ? deleteMail(id) : deleteMessage(id);
    case StepDeleteSections: return purgeThread(id);
    case StepCarbonCopies: return dropCarbonCopies(id);
    case StepSearchOrphans:
    case StepMailSearchOrphans: return dropSearchOrphans(r);
    case StepTopicCounts:
    case StepMailTopicCounts: return countTopic(r);
    case StepPersonLinks:
    case StepMailLinks: return dropLinkOrphan(r);
    case StepReceivers: return setReceiver(id);
    case StepPersons: return countPerson(id);
    case StepThreadCounts: return countThread(id);
    case StepSectionCounts: return countSection(id);
    case StepExtras: return dropExtra(r);
    default: return true;
  }
}

int PurgeRun::Impl::finish() {
  if (mail()) {
    switch (step) {
      case StepPrepareTimes: return StepDuplicates;
      case StepDuplicates: return StepDeleteThreads;
      case StepDeleteThreads: return StepDeleteMessages;
      case StepDeleteMessages: return StepCarbonCopies;
      case StepCarbonCopies: return StepMailLinks;
      case StepMailLinks: return wordsChanged ? StepWordList : StepMailSearchOrphans;
      case StepWordList: return rebuildWordList() ? StepMailSearchOrphans : StepDone;
      case StepMailSearchOrphans: return StepMailTopicCounts;
      case StepMailTopicCounts: return StepPersons;
      case StepPersons: storeDatabaseCounts(); return StepExtras;
      default: return StepDone;
    }
  }
  switch (step) {
    case StepAgeThreads: return aged.empty() ? StepDeleteThreads : StepMarkAged;
    case StepMarkAged: return StepDeleteThreads;
    case StepDeleteThreads: return StepDeleteMessages;
    case StepDeleteMessages: return StepDeleteSections;
    case StepDeleteSections: return StepSearchOrphans;
    case StepSearchOrphans: return StepTopicCounts;
    case StepTopicCounts: return wordsChanged ? StepWordList : StepPersonLinks;
    case StepWordList: return rebuildWordList() ? StepPersonLinks : StepDone;
    case StepPersonLinks: return news() ? StepReceivers : StepPersons;
    case StepReceivers: return StepPersons;
    case StepPersons: return StepThreadCounts;
    case StepThreadCounts: return StepSectionCounts;
    case StepSectionCounts: storeDatabaseCounts(); return StepExtras;
    default: return StepDone;
  }
}

}  // namespace qv
