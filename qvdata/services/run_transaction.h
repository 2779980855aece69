// The batch transaction of an engine (EngineRun): begun by the first change,
// committed after a batch of operations, after which the free space of the
// data folder is checked. A batch still open when its holder goes is rolled
// back: only a commit makes a batch's changes stay.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class File;

struct RunTransactionRules {
  const char* beforeCommitPoint;  // crash points named for the kill-and-rerun tests
  const char* commitPoint;
  int commitOps;  // a batch commits once it holds more operations than this
  std::chrono::steady_clock::duration minimumAge{};  // ... and is at least this old
  int64_t minimumSpace;   // bytes the data folder must keep free after a commit
};

class RunTransaction {
 public:
  enum class Outcome { Ok, Failed, Stopped };

  explicit RunTransaction(const RunTransactionRules& rules) : rules_(rules) {}
  ~RunTransaction() { rollback(); }
  RunTransaction(const RunTransaction&) = delete;
  RunTransaction& operator=(const RunTransaction&) = delete;

  std::vector<File*> files;  // in every transaction

  bool open() const { return open_; }
  // Begins one when none is open. On failure `why` says so and `told` whether
  // the user has already seen it (the library's transaction check asks).
  [[nodiscard]] bool begin(std::string& why, bool& told);
  // Counts n operations; true when the batch is due to be committed.
  bool due(int n);
  // Commits the open batch (nothing when none is open). Failed: rolled back,
  // `why` says why. Stopped: committed, but the free space is short and the
  // run must stop.
  [[nodiscard]] Outcome commit(std::string& why);
  // Rolls back an open batch.
  void rollback();
  // Forgets the batch without rolling back (someone else already did).
  void forget() { open_ = false; }
  // The first batch counts its age from now.
  void restartClock() { lastCommit_ = std::chrono::steady_clock::now(); }

 private:
  RunTransactionRules rules_;
  bool open_ = false;
  int ops_ = 0;
  std::chrono::steady_clock::time_point lastCommit_ = std::chrono::steady_clock::now();
};

}  // namespace qv
