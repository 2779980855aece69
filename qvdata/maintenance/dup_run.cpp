#include "maintenance/dup_run.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/dup_impl.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/disk_space.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "storage/collation.h"

namespace qv {

namespace {

const char* const kFinished = "The Duplicate Removal Process has finished!";

std::string labelOf(bool mail, DupStep step, bool keepersLast) {
  switch (step) {
    case DupRepair: return "Correcting non wellformed CIS addresses";
    case DupSuspects: return mail ? "Identifying duplicate persons" : "Identifying duplicate Forum Members";
    case DupCounts: return "Updating count for suspected duplicates";
    case DupKeepers: return keepersLast ? "Processing Step 3" : "Processing Step 1";
    case DupRecode: return "Recoding Message Receiver ID";
    case DupDelete: return mail ? "Deleting duplicate persons" : "Deleting duplicate Forum Members";
    case DupRecount: return mail ? "Updating message counts per mailpartner" : "Updating message counts per person";
    default: return kFinished;
  }
}

}  // namespace

DupRun::Impl::Impl()
    : EngineRun(view, {"dup-before-commit", "dup-commit", kDupCommitOps, {}, kDupMinimumSpace}) {
  kind = Mem.ForumType;
  step = DupDone;
}

DupRun::DupRun() : d_(std::make_unique<Impl>()) {}

DupRun::~DupRun() = default;

bool DupRun::Impl::mail() const { return kind == KindMailDb; }

std::string DupRun::Impl::compared(const std::string& address) const {
  std::string a(trimRight(address));
  return mail() ? foldUpper(a) : a;
}

bool DupRun::Impl::start() {
  started = std::chrono::steady_clock::now();
  if (kind != KindForumDb && kind != KindMailDb && kind != KindNewsDb) return fail("no database is open");
  bool found;
  {
    FileScope scope({FileForums});
    FOR = ForumsRec();
    FOR.ID = Mem.ForumNumber;
    found = Forums.get(FOR_ForumKey);
    ownerId = mail() ? uint32_t(FOR.PERSONID) : 0;
  }
  if (!found) return fail("the database record is missing");

  holdFiles({mail() ? FileMail : FileMsgNmbr, FilePerson, FilePLINK, FileExtras});
  for (int f : heldFiles) tx.files.push_back(&declaredFile(f));
  view.counters[DupBefore] = Person.records();
  view.counters[DupRemaining] = view.counters[DupBefore];
  begin(DupRepair);
  return true;
}

bool DupRun::start() { return d_->start(); }

bool DupRun::tick(std::chrono::milliseconds slice) {
  bool more = d_->tick(slice);
  DupView& v = d_->view;
  v.counters[DupRemaining] = v.counters[DupBefore] - v.counters[DupObsolete] - v.counters[DupMerged];
  return more;
}

void DupRun::abort() { d_->cancel(); }

PurgeState DupRun::state() const { return d_->state(); }
Status DupRun::status() const { return d_->status(); }
const DupView& DupRun::view() const { return d_->view; }
DupStep DupRun::step() const { return d_->currentStep(); }
bool DupRun::mail() const { return d_->mail(); }
bool DupRun::changing() const { return d_->changing(); }
double DupRun::seconds() const { return d_->seconds(); }

bool DupRun::Impl::changing() const {
  DupStep s = currentStep();
  return running() && (s == DupRepair || s == DupRecode || s == DupDelete || s == DupRecount);
}

PurgeState runToEnd(DupRun& run) { return driveToEnd(run); }

// ---- the order of the steps

std::string DupRun::Impl::stepLabel() const { return labelOf(mail(), currentStep(), false); }

void DupRun::Impl::collect() {
  switch (step) {
    case DupRepair:
    case DupRecount:
      Person.setFileOrder();
      while (Person.next()) work.push_back(PER.PERSONID);
      return;
    case DupSuspects: return collectSuspects();
    case DupCounts:
      for (size_t i = 0; i < suspects.size(); ++i) work.push_back(int64_t(i));
      return;
    case DupKeepers:
      chooseKeepers();
      view.label = labelOf(mail(), currentStep(), true);
      keepersOfUnsentAddresses();
      return;
    case DupRecode:
    case DupDelete:
      for (size_t i = 0; i < recodes.size(); ++i) work.push_back(int64_t(i));
      return;
    default: return;
  }
}

bool DupRun::Impl::item(int64_t r) {
  switch (step) {
    case DupRepair: return repairPerson(uint32_t(r));
    case DupCounts: return countSuspect(size_t(r));
    case DupRecode: return recodeMessages(size_t(r));
    case DupDelete: return deleteDuplicate(size_t(r));
    case DupRecount: return recountPerson(uint32_t(r));
    default: return true;
  }
}

int DupRun::Impl::nextStep() {
  switch (step) {
    case DupRepair: return DupSuspects;
    case DupSuspects: return suspects.empty() ? DupRecount : DupCounts;
    case DupCounts: return DupKeepers;
    case DupKeepers: return DupRecode;
    case DupRecode: return DupDelete;
    case DupDelete: return DupRecount;
    case DupRecount:
      if (mail()) storeMailCount();
      return DupDone;
    default: return DupDone;
  }
}

void DupRun::Impl::finished() { view.label = kFinished; }

}  // namespace qv
