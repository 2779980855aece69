// The runner's steps run with the library's engines, unattended: what
// runTask() does where the program opens its windows in task mode.
#include <chrono>
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
#include "tasks/task_runner.h"
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

namespace {

int64_t secondsSince(std::chrono::steady_clock::time_point t0) {
  return int64_t(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() + 0.5);
}

int runImport(const TaskStep& step, int64_t& seconds, std::vector<uint32_t>& touched) {
  ImportSettings s;
  if (!LoadImportDefinition(step.batch, s)) {
    Mem.DoTask = RunAbandoning;
    return ResultErrors;
  }
  ImportRun run(s);
  while (run.step()) {
  }
  run.close();
  touched = run.touchedDatabases();
  int result = taskImportResult(run);
  seconds = result == ResultCompleted ? run.elapsedSeconds() : 0;
  return result;
}

// Makes the step's database the current one.
bool useStepDatabase(uint32_t database) {
  if (!findDatabase(database)) return false;
  useDatabase();
  return true;
}

template <class Run>
int runMaintenance(Run& run, int64_t& seconds) {
  auto t0 = std::chrono::steady_clock::now();
  if (!run.start()) return ResultErrors;
  PurgeState end = runToEnd(run);
  seconds = secondsSince(t0);
  return end == PurgeState::Finished ? ResultCompleted : ResultErrors;
}

int runIndex(uint32_t database, int64_t& seconds) {
  auto t0 = std::chrono::steady_clock::now();
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  int advice = WSIndexFixup(state.lastMsgId, state.recsLastTime);
  if (advice == AdviseNothing) {
    seconds = secondsSince(t0);
    return storeIndexState(database, state) ? ResultCompleted : ResultErrors;
  }
  int result = INDEXFILE1(advice == AdviseFull ? 1 : 2, int(KonfigGet(ItemSpeedIndex)), database, state);
  seconds = secondsSince(t0);
  return result == 1 ? ResultCompleted : ResultErrors;
}

}  // namespace

int runTaskStep(const TaskStep& step, int64_t& seconds, std::vector<uint32_t>& touched) {
  seconds = 0;
  touched.clear();
  if (step.kind == TaskStepKind::Import) return runImport(step, seconds, touched);
  if (step.kind == TaskStepKind::Finished) return ResultNotRun;
  if (!useStepDatabase(step.database)) return ResultErrors;
  int result = ResultErrors;
  switch (step.kind) {
    case TaskStepKind::MergeDuplicates: {
      DupRun run;
      result = runMaintenance(run, seconds);
      break;
    }
    case TaskStepKind::Purge:
    case TaskStepKind::Count: {
      PurgeRun run(step.kind == TaskStepKind::Purge ? PurgePurging : PurgeCounting);
      // A database marked for deletion is not removed by a task.
      if (run.markedForDeletion()) return ResultErrors;
      result = runMaintenance(run, seconds);
      break;
    }
    case TaskStepKind::WordIndex: result = runIndex(step.database, seconds); break;
    default: break;
  }
  if (result != ResultCompleted) seconds = 0;
  return result;
}

}  // namespace qv
