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

struct TaskStepRun::Impl {
  TaskStep step;
  bool ended = false;
  int result = ResultErrors;
  int64_t seconds = 0;
  std::vector<uint32_t> touched;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::unique_ptr<ImportRun> import;
  std::unique_ptr<DupRun> dup;
  std::unique_ptr<PurgeRun> purge;
  std::unique_ptr<IndexRun> index;

  void end(int r) {
    ended = true;
    result = r;
    if (result == ResultCompleted && !import)
      seconds = int64_t(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() + 0.5);
    if (result != ResultCompleted) seconds = 0;
  }
  void startImport();
  void startIndex();
  template <class Run>
  bool tickMaintenance(Run& run, std::chrono::milliseconds slice);
  bool tickImport();
  bool tickIndex(std::chrono::milliseconds slice);
};

void TaskStepRun::Impl::startImport() {
  ImportSettings s;
  if (!LoadImportDefinition(step.batch, s)) {
    Mem.DoTask = RunAbandoning;
    return end(ResultErrors);
  }
  import = std::make_unique<ImportRun>(s);
}

void TaskStepRun::Impl::startIndex() {
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  int advice = WSIndexFixup(state.lastMsgId, state.recsLastTime);
  if (advice == AdviseNothing) return end(storeIndexState(step.database, state) ? ResultCompleted : ResultErrors);
  index = std::make_unique<IndexRun>(advice == AdviseFull ? 1 : 2, int(KonfigGet(ItemSpeedIndex)), step.database,
                                     state);
}

template <class Run>
bool TaskStepRun::Impl::tickMaintenance(Run& run, std::chrono::milliseconds slice) {
  if (run.tick(slice)) return true;
  end(run.state() == PurgeState::Finished ? ResultCompleted : ResultErrors);
  return false;
}

bool TaskStepRun::Impl::tickImport() {
  if (import->step()) return true;
  import->close();
  touched = import->touchedDatabases();
  int r = taskImportResult(*import);
  seconds = r == ResultCompleted ? import->elapsedSeconds() : 0;
  end(r);
  return false;
}

bool TaskStepRun::Impl::tickIndex(std::chrono::milliseconds slice) {
  auto until = std::chrono::steady_clock::now() + slice;
  while (index->step())
    if (std::chrono::steady_clock::now() >= until) return true;
  end(index->result() == 1 ? ResultCompleted : ResultErrors);
  return false;
}

TaskStepRun::TaskStepRun(const TaskStep& step) : d_(std::make_unique<Impl>()) {
  d_->step = step;
  switch (step.kind) {
    case TaskStepKind::Import: d_->startImport(); return;
    case TaskStepKind::Finished: d_->end(ResultNotRun); return;
    default: break;
  }
  if (!useStepDatabase(step.database)) {
    d_->end(ResultErrors);
    return;
  }
  switch (step.kind) {
    case TaskStepKind::MergeDuplicates:
      d_->dup = std::make_unique<DupRun>();
      if (!d_->dup->start()) d_->end(ResultErrors);
      break;
    case TaskStepKind::Purge:
    case TaskStepKind::Count:
      d_->purge = std::make_unique<PurgeRun>(step.kind == TaskStepKind::Purge ? PurgePurging : PurgeCounting);
      // A database marked for deletion is not removed by a task.
      if (d_->purge->markedForDeletion() || !d_->purge->start()) d_->end(ResultErrors);
      break;
    case TaskStepKind::WordIndex: d_->startIndex(); break;
    default: d_->end(ResultErrors);
  }
}

TaskStepRun::~TaskStepRun() {
  if (d_->import && !d_->import->closed()) d_->import->close();
}

bool TaskStepRun::tick(std::chrono::milliseconds slice) {
  Impl& d = *d_;
  if (d.ended) return false;
  if (d.import) return d.tickImport();
  if (d.dup) return d.tickMaintenance(*d.dup, slice);
  if (d.purge) return d.tickMaintenance(*d.purge, slice);
  if (d.index) return d.tickIndex(slice);
  return false;
}

void TaskStepRun::stop() {
  if (d_->import && !d_->ended) d_->import->stop();
}

std::string TaskStepRun::activity() const {
  if (d_->import) return "Import: " + d_->import->view().status;
  if (d_->index) return taskStepName(d_->step) + ": " + d_->index->view().status;
  return taskStepName(d_->step);
}

int TaskStepRun::result() const { return d_->result; }
int64_t TaskStepRun::seconds() const { return d_->seconds; }
const std::vector<uint32_t>& TaskStepRun::touched() const { return d_->touched; }

int runTaskStep(const TaskStep& step, int64_t& seconds, std::vector<uint32_t>& touched) {
  TaskStepRun run(step);
  while (run.tick(std::chrono::milliseconds(200))) {
  }
  seconds = run.seconds();
  touched = run.touched();
  return run.result();
}

}  // namespace qv
