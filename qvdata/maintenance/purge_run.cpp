#include "maintenance/purge_run.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/purge_impl.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/disk_space.h"
#include "services/file_scope.h"
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

PurgeRun::Impl::Impl()
    : EngineRun(view, {"purge-before-commit", "purge-commit", kPurgeCommitOps, kPurgeCommitInterval,
                       kPurgeMinimumSpace}) {}

PurgeRun::PurgeRun(int mode, uint16_t ageWeeks) : d_(std::make_unique<Impl>()) {
  d_->mode = mode == PurgePurging ? PurgePurging : PurgeCounting;
  d_->kind = Mem.ForumType;
  d_->ageWeeks = d_->mail() ? 0 : ageWeeks;
}

PurgeRun::~PurgeRun() = default;

bool PurgeRun::markedForDeletion() const {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  bool marked = Forums.get(FOR_ForumKey) && FOR.DUMMY == 2;
  return marked && d_->mode == PurgePurging;
}

bool PurgeRun::Impl::start() {
  started = std::chrono::steady_clock::now();
  if (kind != KindForumDb && kind != KindMailDb && kind != KindNewsDb) return fail("no database is open");
  bool found;
  {
    FileScope scope({FileForums});
    FOR = ForumsRec();
    FOR.ID = Mem.ForumNumber;
    found = Forums.get(FOR_ForumKey);
    ownerId = uint32_t(FOR.PERSONID);
    databaseStatus = FOR.DUMMY;
  }
  if (!found) return fail("the database record is missing");

  std::vector<int> wanted = mail() ? std::vector<int>{FileMail, FileMsgText, FilePerson}
                                   : std::vector<int>{FileMsgNmbr, FileMsgText, FilePerson, FileThreads, FileSections};
  for (int f : {FilePLINK, FileCodes, FileSIndex, FileSubjects, FileOriginals, FileCCR})
    if ((f != FileCCR || mail()) && (f != FileOriginals || kind != KindForumDb) && exists(f)) wanted.push_back(f);
  wordIndex = exists(FileWordList) && exists(FileMasIdx);
  if (wordIndex) {
    wanted.push_back(FileWordList);
    wanted.push_back(FileMasIdx);
  }
  // The Extras file is opened with the others and written in a last step
  // of its own (StepExtras).
  extras = exists(FileExtras);
  if (extras) wanted.push_back(FileExtras);
  holdFiles(wanted);
  for (int f : wanted) {
    if (f != FileExtras) tx.files.push_back(&declaredFile(f));
    if (f == FileOriginals) originals = true;
    if (f == FileSubjects) subjects = true;
  }

  File& messages = mail() ? Mail : MsgNmbr;
  int first;
  if (mode == PurgePurging) {
    int64_t n = messages.records();
    view.counters[0] = n;
    view.counters[1] = 0;
    view.counters[2] = n;
    first = mail() ? StepPrepareTimes : (ageWeeks ? StepAgeThreads : StepDeleteThreads);
  } else {
    first = mail() ? StepPersons : (news() ? StepReceivers : StepPersons);
    countersAtEnd();  // the counts as they stand until the run has made them right
  }
  begin(first);
  return true;
}

bool PurgeRun::start() { return d_->start(); }

bool PurgeRun::tick(std::chrono::milliseconds slice) {
  bool more = d_->tick(slice);
  PurgeView& v = d_->view;
  if (d_->mode == PurgePurging) v.counters[2] = v.counters[0] - v.counters[1];
  return more;
}

void PurgeRun::abort() { d_->cancel(); }

PurgeState PurgeRun::state() const { return d_->state(); }
Status PurgeRun::status() const { return d_->status(); }
const PurgeView& PurgeRun::view() const { return d_->view; }
int PurgeRun::step() const { return d_->currentStep(); }
bool PurgeRun::purging() const { return d_->mode == PurgePurging; }
double PurgeRun::seconds() const { return d_->seconds(); }

PurgeState runToEnd(PurgeRun& run) { return driveToEnd(run); }

// ---- the walk

std::string PurgeRun::Impl::stepLabel() const { return labelOf(kind, mode, step); }

bool PurgeRun::Impl::sliceEnded() {
  return (step != StepDeleteThreads && step != StepDeleteMessages) || reopenWhenShort();
}

void PurgeRun::Impl::finished() {
  countersAtEnd();
  view.label.clear();
}

bool PurgeRun::Impl::reopenWhenShort() {
  if (CheckSpace(Mem.FileDir, kPurgeReopenSpace, BtnAbort)) return true;
  if (!commit()) return false;
  // The step's records are collected by ID, so the walk needs no cursor kept
  // across the reopening.
  OP_CLOSE(OpRelease, heldFiles);
  if (!OP_CLOSE(OpShared, heldFiles)) return fail("the database files could not be reopened: " + ErrorText());
  return true;
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

int PurgeRun::Impl::nextStep() {
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
