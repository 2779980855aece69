#include "maintenance/dup_run.h"

#include <new>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/dup_impl.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/disk_space.h"
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

DupRun::DupRun() : d_(std::make_unique<Impl>()) { d_->kind = Mem.ForumType; }

DupRun::~DupRun() {
  if (d_->state == PurgeState::Running) abort();
  if (!d_->files.empty()) OP_CLOSE(OpRelease, d_->files);
}

bool DupRun::Impl::mail() const { return kind == KindMailDb; }

std::string DupRun::Impl::compared(const std::string& address) const {
  std::string a(trimRight(address));
  return mail() ? foldUpper(a) : a;
}

bool DupRun::start() {
  Impl& d = *d_;
  d.started = std::chrono::steady_clock::now();
  if (d.kind != KindForumDb && d.kind != KindMailDb && d.kind != KindNewsDb) return d.fail("no database is open");
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  bool found = Forums.get(FOR_ForumKey);
  d.ownerId = d.mail() ? uint32_t(FOR.PERSONID) : 0;
  OP_CLOSE(OpRelease, {FileForums});
  if (!found) return d.fail("the database record is missing");

  d.files = {d.mail() ? FileMail : FileMsgNmbr, FilePerson, FilePLINK, FileExtras};
  OP_CLOSE(OpShared, d.files);
  for (int f : d.files) d.tx.files.push_back(&declaredFile(f));
  d.view.counters[DupBefore] = Person.records();
  d.view.counters[DupRemaining] = d.view.counters[DupBefore];
  d.step = DupRepair;
  d.state = PurgeState::Running;
  d.view.label = labelOf(d.mail(), d.step, false);
  return true;
}

bool DupRun::tick(std::chrono::milliseconds slice) {
  Impl& d = *d_;
  if (d.state != PurgeState::Running) return false;
  bool more = false;
  try {
    more = d.runSlice(slice);
  } catch (const std::bad_alloc&) {
    // A working queue could not grow: told as the library tells it, and the
    // open transaction is rolled back.
    setQueueError(QueueNoMemory);
    d.fail("a working queue could not grow");
    d.view.failureShown = !unattended() && QError(ReportShow);
    more = false;
  }
  DupView& v = d.view;
  v.counters[DupRemaining] = v.counters[DupBefore] - v.counters[DupObsolete] - v.counters[DupMerged];
  return more;
}

bool DupRun::Impl::runSlice(std::chrono::milliseconds slice) {
  auto until = std::chrono::steady_clock::now() + slice;
  do {
    if (!collected) {
      work.clear();
      pos = 0;
      view.label = labelOf(mail(), step, false);
      collect();
      collected = true;
      view.done = 0;
      view.total = int64_t(work.size());
      if (stopped()) return false;
    }
    while (pos < work.size()) {
      if (!item(work[pos++])) return false;
      view.done = int64_t(pos);
      if ((pos & 15) == 0 && std::chrono::steady_clock::now() >= until) break;
    }
    if (pos < work.size()) break;
    // Every step ends with a commit.
    if (!commit()) return false;
    DupStep next = finish();
    if (stopped()) return false;
    collected = false;
    step = next;
    if (next == DupDone) {
      state = PurgeState::Finished;
      view.label = kFinished;
      return false;
    }
  } while (std::chrono::steady_clock::now() < until);
  return true;
}

void DupRun::abort() {
  if (d_->state != PurgeState::Running) return;
  d_->commit();
  if (d_->state == PurgeState::Running) d_->state = PurgeState::Stopped;
}

PurgeState DupRun::state() const { return d_->state; }
const DupView& DupRun::view() const { return d_->view; }
DupStep DupRun::step() const { return d_->step; }
bool DupRun::mail() const { return d_->mail(); }
bool DupRun::changing() const {
  DupStep s = d_->step;
  return d_->state == PurgeState::Running && (s == DupRepair || s == DupRecode || s == DupDelete || s == DupRecount);
}
double DupRun::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - d_->started).count();
}

PurgeState runToEnd(DupRun& run) {
  while (run.tick(std::chrono::milliseconds(200))) {
  }
  return run.state();
}

// ---- transactions

bool DupRun::Impl::change() {
  std::string why;
  bool told = false;
  if (tx.begin(why, told)) return true;
  fail("the files could not be locked: " + why);
  view.failureShown = told;
  return false;
}

bool DupRun::Impl::done(int n) { return !tx.due(n) || commit(); }

bool DupRun::Impl::commit() {
  std::string why;
  switch (tx.commit(why)) {
    case RunTransaction::Outcome::Ok: return true;
    case RunTransaction::Outcome::Failed: return fail("the changes could not be committed: " + why);
    case RunTransaction::Outcome::Stopped: state = PurgeState::Stopped; return false;
  }
  return false;
}

bool DupRun::Impl::fail(const std::string& why) {
  tx.rollback();
  view.failure = why;
  state = PurgeState::Failed;
  return false;
}

bool DupRun::Impl::failTold(const std::string& why) {
  tx.forget();
  fail(why);
  view.failureShown = !unattended();
  return false;
}

// ---- the order of the steps

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
      view.label = labelOf(mail(), step, true);
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

DupStep DupRun::Impl::finish() {
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

}  // namespace qv
