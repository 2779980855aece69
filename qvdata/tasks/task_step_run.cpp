// One step of a task run by its engine, on the one engine base.
#include "tasks/task_step_run.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "import/import_definition.h"
#include "import/import_run.h"
#include "maintenance/dup_run.h"
#include "maintenance/purge_run.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "wordindex/index_fixup.h"
#include "wordindex/index_run.h"

namespace qv {

namespace {

// True when the definition's source is there: its folder, and with the
// file-selection method every file it lists. A folder that holds nothing
// to import (a drop folder emptied since the last run) is then nothing
// new; a folder or file that has gone is an error.
bool sourceThere(const ImportSettings& s) {
  std::error_code ec;
  if (s.path.empty() || !std::filesystem::is_directory(s.path, ec)) return false;
  if (s.method != SelectFiles) return true;
  for (const std::string& f : s.masks)
    if (!std::filesystem::is_regular_file(std::filesystem::path(s.path) / f, ec)) return false;
  return true;
}

// Makes the step's database the current one.
bool useStepDatabase(uint32_t database) {
  if (!findDatabase(database)) return false;
  useDatabase();
  return true;
}

}  // namespace

int taskImportResult(const ImportRun& run) {
  if (run.result() == 1) return ResultCompleted;
  const ImportView& v = run.view();
  bool nothingNew = run.closed() && run.stopReason().empty() && v.imported == 0 &&
                    (v.skipped > 0 || sourceThere(run.settings()));
  if (!nothingNew) return ResultErrors;
  // The run gave the task up when it closed; finding nothing new is no failure.
  if (Mem.DoTask == RunAbandoning) Mem.DoTask = RunUnattended;
  return ResultCompleted;
}

// The step as an engine: each slice ticks the engine of the step (an
// import, a cleanup procedure, a word index run), which keeps its own
// batches (the base keeps none).
struct TaskStepRun::Impl : EngineRun {
  Impl() : EngineRun(engine, kNoBatchRules) {}

  TaskStep what;  // the step of the task
  EngineView engine;
  int result = ResultErrors;
  int64_t seconds = 0;
  std::vector<uint32_t> touched;
  std::unique_ptr<ImportRun> import;
  std::unique_ptr<DupRun> dup;
  std::unique_ptr<PurgeRun> purge;
  std::unique_ptr<IndexRun> index;

  // Makes the step's database the current one and starts its engine.
  void start();
  // Ends the step with result `r`.
  void endWith(int r);
  void startImport();
  void startIndex();
  bool runSlice(std::chrono::milliseconds slice) override;
  template <class Run>
  bool tickMaintenance(Run& run, std::chrono::milliseconds slice);
  bool tickImport();
  bool tickIndex(std::chrono::milliseconds slice);
};

void TaskStepRun::Impl::endWith(int r) {
  result = r;
  if (result == ResultCompleted && !import) seconds = int64_t(EngineRun::seconds() + 0.5);
  if (result != ResultCompleted) seconds = 0;
  if (result == ResultCompleted) {
    end(EngineState::Finished);
  } else if (result == ResultNotRun) {
    end(EngineState::Stopped);
  } else {
    fail("the step ended with errors");
  }
}

void TaskStepRun::Impl::startImport() {
  ImportSettings s;
  if (!LoadImportDefinition(what.batch, s)) {
    Mem.DoTask = RunAbandoning;
    return endWith(ResultErrors);
  }
  import = std::make_unique<ImportRun>(s);
}

void TaskStepRun::Impl::startIndex() {
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  int advice = WSIndexFixup(state.lastMsgId, state.recsLastTime);
  if (advice == AdviseNothing) return endWith(storeIndexState(what.database, state) ? ResultCompleted : ResultErrors);
  index = std::make_unique<IndexRun>(advice == AdviseFull ? 1 : 2, int(KonfigGet(ItemSpeedIndex)), what.database,
                                     state);
}

template <class Run>
bool TaskStepRun::Impl::tickMaintenance(Run& run, std::chrono::milliseconds slice) {
  if (run.tick(slice)) return true;
  endWith(run.state() == PurgeState::Finished ? ResultCompleted : ResultErrors);
  return false;
}

bool TaskStepRun::Impl::tickImport() {
  if (import->step()) return true;
  import->close();
  touched = import->touchedDatabases();
  int r = taskImportResult(*import);
  endWith(r);
  seconds = r == ResultCompleted ? import->elapsedSeconds() : 0;
  return false;
}

bool TaskStepRun::Impl::tickIndex(std::chrono::milliseconds slice) {
  auto until = std::chrono::steady_clock::now() + slice;
  while (index->step())
    if (std::chrono::steady_clock::now() >= until) return true;
  endWith(index->result() == 1 ? ResultCompleted : ResultErrors);
  return false;
}

TaskStepRun::TaskStepRun(const TaskStep& step) : d_(std::make_unique<Impl>()) {
  d_->what = step;
  d_->start();
}

void TaskStepRun::Impl::start() {
  begin(0);
  switch (what.kind) {
    case TaskStepKind::Import: startImport(); return;
    case TaskStepKind::Finished: endWith(ResultNotRun); return;
    default: break;
  }
  if (!useStepDatabase(what.database)) {
    endWith(ResultErrors);
    return;
  }
  switch (what.kind) {
    case TaskStepKind::MergeDuplicates:
      dup = std::make_unique<DupRun>();
      if (!dup->start()) endWith(ResultErrors);
      break;
    case TaskStepKind::Purge:
    case TaskStepKind::Count:
      purge = std::make_unique<PurgeRun>(what.kind == TaskStepKind::Purge ? PurgePurging : PurgeCounting);
      // A database marked for deletion is not removed by a task.
      if (purge->markedForDeletion() || !purge->start()) endWith(ResultErrors);
      break;
    case TaskStepKind::WordIndex: startIndex(); break;
    default: endWith(ResultErrors);
  }
}

TaskStepRun::~TaskStepRun() {
  if (d_->import && !d_->import->closed()) d_->import->close();
}

bool TaskStepRun::tick(std::chrono::milliseconds slice) { return d_->tick(slice); }

bool TaskStepRun::Impl::runSlice(std::chrono::milliseconds slice) {
  if (import) return tickImport();
  if (dup) return tickMaintenance(*dup, slice);
  if (purge) return tickMaintenance(*purge, slice);
  if (index) return tickIndex(slice);
  endWith(ResultErrors);
  return false;
}

void TaskStepRun::stop() {
  if (d_->import && d_->running()) d_->import->stop();
}

std::string TaskStepRun::activity() const {
  if (d_->import) return "Import: " + d_->import->view().status;
  if (d_->index) return taskStepName(d_->what) + ": " + d_->index->view().status;
  return taskStepName(d_->what);
}

EngineState TaskStepRun::state() const { return d_->state(); }
int TaskStepRun::result() const { return d_->result; }
int64_t TaskStepRun::seconds() const { return d_->seconds; }
const std::vector<uint32_t>& TaskStepRun::touched() const { return d_->touched; }

int runTaskStep(const TaskStep& step, int64_t& seconds, std::vector<uint32_t>& touched) {
  TaskStepRun run(step);
  driveToEnd(run);
  seconds = run.seconds();
  touched = run.touched();
  return run.result();
}

}  // namespace qv
