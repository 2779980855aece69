// Duplicate elimination of the persons of the current database: forum
// members and newsgroup participants (DUPLICATES) or mail partners
// (DUPMAIL). A state machine like the purge run: the window drives it from a
// timer, a tick working for a few milliseconds; qvcli and the task runner
// drive it in a loop.
//
// The run first repairs badly formed CompuServe addresses, then treats all
// persons with one address as one person: the one with the newest sent
// message is kept (in a mailbox, the owner always is), every message of the
// others is moved onto it, their person strings become its aliases, they
// are deleted, and every person is recounted. Work is committed in
// transactions of about kDupCommitOps operations and at the end of every
// step; a person's changes (its record with its messages' keys, or its
// alias with its deletion) are never split between two commits, so a run
// killed at any point and run again ends as an uninterrupted run.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "maintenance/purge_run.h"

namespace qv {

// Operations after which the open transaction is committed.
inline constexpr int kDupCommitOps = 400;
// Free bytes below which the run stops after a commit.
inline constexpr int64_t kDupMinimumSpace = 5000000;

// The steps in the order they run.
enum DupStep : int {
  DupRepair = 1,     // badly formed CompuServe addresses
  DupSuspects = 2,   // persons sharing an address
  DupCounts = 3,     // sent messages of the suspects
  DupKeepers = 4,    // the person kept of every address
  DupRecode = 5,     // messages moved onto the kept persons
  DupDelete = 6,     // aliases made, duplicates deleted
  DupRecount = 7,    // every person's counts
  DupDone = -1,
};

// The window's counters.
enum DupCounter : int {
  DupBefore = 0,     // persons before the run
  DupObsolete = 1,   // persons without messages removed
  DupMerged = 2,     // duplicates merged
  DupRemaining = 3,  // before - obsolete - merged
};

// The step, its progress and why the run failed, and the window's counters.
struct DupView : EngineView {
  int64_t counters[4] = {0, 0, 0, 0};
};

class DupRun {
 public:
  // Works on the current database (Mem.ForumNumber, Mem.ForumType).
  DupRun();
  ~DupRun();
  DupRun(const DupRun&) = delete;
  DupRun& operator=(const DupRun&) = delete;

  // Opens the files, shows the number of persons and chooses the first
  // step; false (state Failed) when the database cannot be had.
  [[nodiscard]] bool start();
  // Works for about `slice`; false once the run has ended.
  [[nodiscard]] bool tick(std::chrono::milliseconds slice);
  // Ends the run early: what was done is committed and stays.
  void abort();

  PurgeState state() const;
  // Ok unless the run failed; then why.
  Status status() const;
  const DupView& view() const;
  DupStep step() const;
  // The current step changes records: stopping now leaves counts wrong
  // until a count run.
  bool changing() const;
  double seconds() const;
  bool mail() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Runs a started run to its end in slices; the state it ended in.
PurgeState runToEnd(DupRun& run);

// A CompuServe address in its one form: "12345.678", "12345, 678",
// "[12345,678]" and "12345.678@compuserve.com" all give "12345,678". Other
// addresses come back unchanged but for trailing blanks.
std::string repairedCisAddress(const std::string& address);

}  // namespace qv
