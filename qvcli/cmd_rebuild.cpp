// qvcli rebuild [--next-id]: the rebuild of the database list followed by
// the check of the ID counter (with --next-id the check alone), printing
// the log as it is written to CFG/TestDB.Txt.
#include <cstdio>

#include "commands.h"
#include "maintenance/rebuild_run.h"
#include "services/globals.h"

namespace qvcli {

int cmdRebuild(const Args& argsIn) {
  Args args = argsIn;
  bool nextIdOnly = takeFlag(args, "--next-id");
  bool unattendedRun = takeFlag(args, "--unattended");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (!args.empty()) return fail("usage: rebuild [--next-id] [--unattended]");
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;

  qv::RebuildRun run(nextIdOnly ? qv::RequestNextId : qv::RequestRebuild);
  size_t shown = 0;
  auto showLog = [&] {
    const std::vector<std::string>& log = run.view().log;
    for (; shown < log.size(); ++shown) say("%s\n", log[shown].c_str());
  };
  bool started = run.start();
  showLog();
  if (!started) return fail("rebuild: " + run.view().failure);
  while (run.step()) showLog();
  showLog();
  if (run.state() != qv::RebuildState::Finished) return fail("rebuild: " + run.view().failure);
  say("Next ID: %u\n", run.nextNumber());
  say("Log: %s\n", qv::rebuildLogPath().c_str());
  return 0;
}

}  // namespace qvcli
