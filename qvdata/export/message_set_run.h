// The engines that work through a set of messages of the current database
// (classifying, printing): the first slice opens the set, the next ones
// collect its IDs, then each slice works a part of it. An EngineRun whose
// result is the number its callers have always read: 0 running, 1 done,
// 2 failed, 3 cancelled.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "export/message_set.h"
#include "services/engine_run.h"

namespace qv {

// What a window shows of a run over a set, beside its own counters.
struct MessageSetView : EngineView {
  int64_t found = 0;      // messages of the set found so far
  bool collecting = true; // the set is still being collected
};

enum MessageSetResult : int { SetRunRunning = 0, SetRunDone = 1, SetRunFailed = 2, SetRunCancelled = 3 };

class MessageSetRun : public EngineRun {
 public:
  // One slice (the first begins the run); false once the run has ended.
  [[nodiscard]] bool step();
  // Ends the run between slices (one not begun as well): Stopped, result
  // SetRunCancelled.
  void stop();
  // The result code (MessageSetResult) of the run's state.
  int result() const;

 protected:
  MessageSetRun(MessageSetView& view, const RunTransactionRules& rules);
  ~MessageSetRun() override;

  // Opens the walk over the set (in `walk`) and collects a first part of it;
  // a failure ends the run.
  virtual void open() = 0;
  // Works the next part of the collected set; ends the run after the last.
  virtual void workSlice() = 0;
  // Ends the run with a result code.
  void finish(int result);

  std::unique_ptr<MessageWalk> walk;
  size_t next = 0;  // the first ID of the set not worked yet

 private:
  bool runSlice(std::chrono::milliseconds slice) final;
  MessageSetView& setView_;
  bool opened_ = false;
};

// IDs of the set read per slice while collecting.
inline constexpr int kSetCollectSlice = 2000;

}  // namespace qv
