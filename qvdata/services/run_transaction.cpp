#include "services/run_transaction.h"

#include "services/crash_point.h"
#include "services/disk_space.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "storage/errors.h"
#include "storage/file.h"

namespace qv {

namespace {
// Seconds a transaction waits for the files.
constexpr int kLockSeconds = 5;
}  // namespace

bool RunTransaction::begin(std::string& why, bool& told) {
  if (open_) return true;
  bool begun = beginTransaction(files, kLockSeconds);
  why = ErrorText();
  // The library's transaction check: a transaction that could not be begun
  // is put to the user ("Transaction Frame Error!") and rolled back, and the
  // run ends.
  bool refused = TransactionCheck();
  if (refused || !begun) {
    told = refused && !unattended();
    return false;
  }
  open_ = true;
  ops_ = 0;
  return true;
}

bool RunTransaction::due(int n) {
  ops_ += n;
  return ops_ > rules_.commitOps && std::chrono::steady_clock::now() - lastCommit_ >= rules_.minimumAge;
}

RunTransaction::Outcome RunTransaction::commit(std::string& why) {
  if (!open_) return Outcome::Ok;
  crashPoint(rules_.beforeCommitPoint);
  open_ = false;
  if (!commitTransaction()) {
    why = ErrorText();
    rollbackTransaction();
    return Outcome::Failed;
  }
  crashPoint(rules_.commitPoint);
  ops_ = 0;
  lastCommit_ = std::chrono::steady_clock::now();
  if (!CheckSpace(Mem.FileDir, rules_.minimumSpace, BtnAbort)) return Outcome::Stopped;
  return Outcome::Ok;
}

void RunTransaction::rollback() {
  if (!open_) return;
  rollbackTransaction();
  open_ = false;
}

}  // namespace qv
