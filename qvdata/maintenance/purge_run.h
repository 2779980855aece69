// The purge and the count of the current database: forum and newsgroup
// messages (PURGEMESS) or mail (PURGEMAIL). A state machine: the window
// drives it from a timer, a tick working for a few milliseconds; qvcli and
// the task runner drive it in a loop.
//
// Purging removes what carries the status "delete" (sections, threads,
// partners, messages; with ageing, threads whose newest message is on or
// before the cut-off date), then what that left orphaned, and recounts every
// counter; counting only recounts. Work is committed in transactions of
// about kPurgeCommitOps operations, each leaving the archive consistent: a
// message goes with its text, its original, its word-index entries and the
// counts of its words in one commit. A run stopped early keeps what it
// committed; the next count run makes every counter right.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "services/engine_run.h"

namespace qv {

enum PurgeMode : int { PurgeCounting = 0, PurgePurging = 1 };

// Operations after which the open transaction is committed, once at least
// kPurgeCommitInterval has passed since the last commit: a commit rewrites
// the word-index lists of every word its messages held, whose length grows
// with the archive, so commits of a fixed size would make a purge's time
// grow with the square of the archive.
inline constexpr int kPurgeCommitOps = 400;
inline constexpr std::chrono::milliseconds kPurgeCommitInterval{1000};
// Free bytes below which the user is warned after a commit.
inline constexpr int64_t kPurgeMinimumSpace = 5000000;
// Free bytes below which, after a batch of the deleting steps, the user is
// warned and the database files are closed and reopened (their buffers go
// to disk) before the walk goes on.
inline constexpr int64_t kPurgeReopenSpace = 10000000;

// The states of a run: those of every engine.
using PurgeState = EngineState;

// What a window or qvcli shows of a run: the step, its progress and why the
// run failed, and its counters.
struct PurgeView : EngineView {
  // Purging: messages before, deleted in this run, after. Counting: messages,
  // threads (mail: mail partners) and persons, known at the end.
  int64_t counters[3] = {0, 0, 0};
};

class PurgeRun {
 public:
  // Works on the current database (Mem.ForumNumber, Mem.ForumType). With
  // `ageWeeks` set (forum and newsgroup purging), threads whose newest
  // message is dated on or before today - 7 * ageWeeks days are marked for
  // deletion first.
  explicit PurgeRun(int mode, uint16_t ageWeeks = 0);
  ~PurgeRun();
  PurgeRun(const PurgeRun&) = delete;
  PurgeRun& operator=(const PurgeRun&) = delete;

  // The database record carries the status "delete": purging would remove
  // every message, which the caller confirms and does by removing the
  // database (nothing of this run then starts).
  bool markedForDeletion() const;

  // Opens the files and chooses the first step; false (state Failed) when
  // the database cannot be had.
  [[nodiscard]] bool start();
  // Works for about `slice`; false once the run has ended.
  [[nodiscard]] bool tick(std::chrono::milliseconds slice);
  // Ends the run early: what was done is committed and stays.
  void abort();

  PurgeState state() const;
  // Ok unless the run failed; then why.
  Status status() const;
  const PurgeView& view() const;
  int step() const;              // the current step's number
  double seconds() const;        // since start()
  bool purging() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Runs a started run to its end in slices; the state it ended in.
PurgeState runToEnd(PurgeRun& run);

}  // namespace qv
