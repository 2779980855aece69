// The one base of the library's engines: slices, cancel, the walk over
// steps, batch transactions and what ends a run (see engine_run.h).
#include "services/engine_run.h"

#include <new>

#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"

namespace qv {

EngineRun::EngineRun(EngineView& view, const RunTransactionRules& rules) : tx(rules), view_(view) {}

EngineRun::~EngineRun() = default;

void EngineRun::begin(int firstStep) {
  started = std::chrono::steady_clock::now();
  tx.restartClock();
  step = firstStep;
  collected = false;
  state_ = EngineState::Running;
  view_.label = stepLabel();
}

bool EngineRun::tick(std::chrono::milliseconds slice) {
  if (state_ != EngineState::Running) return false;
  try {
    return runSlice(slice);
  } catch (const ProgramHalt& halt) {
    fail(halt.text);
    throw;
  } catch (const std::bad_alloc&) {
    // A working queue could not grow: told as the library tells it, and the
    // open batch is rolled back.
    fail("a working queue could not grow");
    setQueueError(QueueNoMemory);
    view_.failureShown = !unattended() && QError(ReportShow);
    return false;
  }
}

// One slice: records of the current step and the steps after it until the
// slice is used up.
bool EngineRun::runSlice(std::chrono::milliseconds slice) {
  auto until = std::chrono::steady_clock::now() + slice;
  do {
    if (!collected) {
      work.clear();
      pos = 0;
      view_.label = stepLabel();
      collect();
      collected = true;
      view_.done = 0;
      view_.total = int64_t(work.size());
      if (stopped()) return false;
    }
    while (pos < work.size()) {
      if (!item(work[pos++])) return false;
      view_.done = int64_t(pos);
      if ((pos & 15) == 0 && std::chrono::steady_clock::now() >= until) break;
    }
    if (pos < work.size()) return sliceEnded();
    // Every step ends with a commit.
    if (!commit()) return false;
    int next = nextStep();
    if (stopped()) return false;
    collected = false;
    step = next;
    if (next == kEngineDone) {
      finished();
      end(EngineState::Finished);
      return false;
    }
  } while (std::chrono::steady_clock::now() < until);
  return true;
}

void EngineRun::cancel() {
  if (state_ != EngineState::Running) return;
  commit();
  end(EngineState::Stopped);
}

void EngineRun::end(EngineState how) {
  if (state_ != EngineState::Ready && state_ != EngineState::Running) return;
  state_ = how;
  ended();
}

void EngineRun::close() {
  cancel();
  releaseHeldFiles();
}

bool EngineRun::holdFiles(const std::vector<int>& files, int mode) {
  bool ok = OP_CLOSE(mode, files);
  heldFiles.insert(heldFiles.end(), files.begin(), files.end());
  return ok;
}

void EngineRun::releaseHeldFiles() {
  if (heldFiles.empty()) return;
  std::vector<int> files(heldFiles.rbegin(), heldFiles.rend());
  heldFiles.clear();
  OP_CLOSE(OpRelease, files);
}

Status EngineRun::status() const {
  if (state_ != EngineState::Failed) return Status();
  return Status::failure(int(EngineState::Failed), view_.failure);
}

double EngineRun::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// ---- batches

bool EngineRun::change() {
  std::string why;
  bool told = false;
  if (tx.begin(why, told)) return true;
  fail("the files could not be locked: " + why);
  view_.failureShown = told;
  return false;
}

bool EngineRun::done(int n) { return !tx.due(n) || commit(); }

bool EngineRun::commit() {
  if (!tx.open()) return true;
  if (!beforeCommit()) return false;
  std::string why;
  switch (tx.commit(why)) {
    case RunTransaction::Outcome::Ok: return true;
    case RunTransaction::Outcome::Failed: return fail("the changes could not be committed: " + why);
    case RunTransaction::Outcome::Stopped: end(EngineState::Stopped); return false;
  }
  return false;
}

bool EngineRun::fail(const std::string& why) {
  if (tx.open()) {
    tx.rollback();
    rolledBack();
  }
  view_.failure = why;
  end(EngineState::Failed);
  return false;
}

bool EngineRun::failTold(const std::string& why) {
  tx.forget();
  fail(why);
  view_.failureShown = !unattended();
  return false;
}

}  // namespace qv
