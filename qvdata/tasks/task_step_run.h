// One step of a task (an import definition or a cleanup procedure) run in
// slices by its engine, unattended: runTaskStep() runs it to its end, the
// program's task window ticks it between its updates. It runs on the one
// engine base (services/engine_run.h); the engine of its step keeps the
// batches.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/engine_run.h"
#include "tasks/task_runner.h"

namespace qv {

class TaskStepRun {
 public:
  // Makes the step's database the current one and starts its engine; a
  // step that cannot start has ended at once with errors.
  explicit TaskStepRun(const TaskStep& step);
  ~TaskStepRun();
  TaskStepRun(const TaskStepRun&) = delete;
  TaskStepRun& operator=(const TaskStepRun&) = delete;

  // Runs for about `slice`; false once the step has ended.
  bool tick(std::chrono::milliseconds slice);
  // An import stops early (what it imported stays); a cleanup procedure
  // runs on to its end, so that the counts it is putting right are right.
  void stop();
  // Running while the step runs; then Finished (completed), Stopped (not
  // run) or Failed (ended with errors).
  EngineState state() const;
  // What the step is doing now, for the window.
  std::string activity() const;

  // Once ended: ResultCompleted or ResultErrors, the seconds of a completed
  // step (0 otherwise) and the databases an import wrote to.
  int result() const;
  int64_t seconds() const;
  const std::vector<uint32_t>& touched() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

}  // namespace qv
