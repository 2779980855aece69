// The one base of the library's engines, the long jobs a window drives from
// a zero-interval timer and qvcli and the task runner drive in a loop.
//
// An engine works in slices: tick() does one and says whether more is to
// come. Its changes go in batch transactions (RunTransaction): begun by the
// first change, committed when due and at the end of every step, the free
// space of the data folder checked after each commit. Every batch leaves the
// archive consistent, so a run cancelled between slices commits what its
// open batch holds and keeps it; a failure rolls the open batch back. A halt
// (ProgramHalt) thrown in a slice rolls the open batch back, ends the run as
// failed and goes on to the caller, whose program decides to end: the
// archive holds what the last commit left. So does a working queue that
// could not grow (no memory): the run fails and says so.
//
// Engines made of steps over collected records (purge and count, duplicate
// elimination) let the base walk them: collect() gathers the current step's
// records into `work`, item() works one, nextStep() names the step after it;
// every step ends with a commit. Others give their own runSlice().
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "services/file_service.h"
#include "services/run_transaction.h"
#include "services/status.h"

namespace qv {

enum class EngineState {
  Ready,     // made, not started
  Running,   // slices to go
  Finished,  // every step done
  Stopped,   // ended early (cancelled, short of space): what was committed stays
  Failed,    // something could not be written: the open batch was rolled back
};

// What every engine's window shows of its progress and its failure.
struct EngineView {
  std::string label;          // the current step's label
  int64_t done = 0;           // records of the step done
  int64_t total = 0;          // records of the step
  std::string failure;        // why the run failed
  bool failureShown = false;  // the user was already told why (no second message)
};

// The rules of an engine that keeps no batch of its own.
inline constexpr RunTransactionRules kNoBatchRules{"", "", 0, {}, 0};

// The step after the last.
inline constexpr int kEngineDone = -1;
// The slice a loop (qvcli, the task runner) drives an engine with.
inline constexpr std::chrono::milliseconds kEngineLoopSlice{200};

class EngineRun {
 public:
  virtual ~EngineRun();
  EngineRun(const EngineRun&) = delete;
  EngineRun& operator=(const EngineRun&) = delete;

  // Works for about `slice`; false once the run has ended (or was never
  // started). Safe to call again after the end.
  [[nodiscard]] bool tick(std::chrono::milliseconds slice);
  // Ends a running run early: what the open batch holds is committed and
  // stays; the run ends Stopped (or Failed when that commit fails).
  void cancel();
  // Cancels a running run and lets go of the files it opened.
  void close();

  EngineState state() const { return state_; }
  bool running() const { return state_ == EngineState::Running; }
  // Ok unless the run failed; then the failure's text.
  Status status() const;
  // Seconds since the run began.
  double seconds() const;

 protected:
  EngineRun(EngineView& view, const RunTransactionRules& rules);

  // Marks the run begun at `firstStep`: Running, the clock started.
  void begin(int firstStep);
  // One slice of the engine's work; false once the run has ended. The
  // default walks the steps.
  virtual bool runSlice(std::chrono::milliseconds slice);

  // The steps (for the default runSlice).
  virtual std::string stepLabel() const { return {}; }
  virtual void collect() {}
  virtual bool item(int64_t) { return true; }
  virtual int nextStep() { return kEngineDone; }
  // Called when a slice's time runs out inside a step; false ends the run.
  virtual bool sliceEnded() { return true; }
  // Called once the last step is done, before the run is Finished.
  virtual void finished() {}
  // Called once when the run ends, whatever its end: it lets go of what the
  // engine's slices hold between them.
  virtual void ended() {}
  // Ends the run in `how` (not Running), once.
  void end(EngineState how);
  // Opens `files` with `mode` (OpShared or OpExclusive) for the rest of the
  // run: they are let go when it closes, or by releaseHeldFiles(). False
  // when one could not be opened.
  bool holdFiles(const std::vector<int>& files, int mode = OpShared);
  // Lets go of the held files, the last held first.
  void releaseHeldFiles();

  // Batches: change() before every write begins one when none is open;
  // done(n) counts n operations and commits when the batch is due.
  bool change();
  bool done(int n = 1);
  bool commit();
  // Work the engine adds to every commit, in the batch (false: not
  // committed, the run failed); and what it forgets when a batch is rolled
  // back.
  virtual bool beforeCommit() { return true; }
  virtual void rolledBack() {}
  // Ends the run as failed with `why`; the open batch is rolled back.
  bool fail(const std::string& why);
  // The same for a failure the shared helpers already told the user of,
  // with the transaction rolled back by them.
  bool failTold(const std::string& why);
  bool stopped() const { return state_ != EngineState::Running; }

  RunTransaction tx;
  int step = kEngineDone;
  std::vector<int> heldFiles;   // opened for the run by holdFiles(), let go by close()
  std::vector<int64_t> work;    // the current step's records (IDs or stored positions)
  size_t pos = 0;               // how far the step got
  bool collected = false;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

 private:
  EngineState state_ = EngineState::Ready;
  EngineView& view_;
};

// Drives an engine, or a handle with tick() and state(), to its end in
// slices; the state it ended in.
template <class Run>
auto driveToEnd(Run& run) {
  while (run.tick(kEngineLoopSlice)) {
  }
  return run.state();
}

}  // namespace qv
