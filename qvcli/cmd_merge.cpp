// qvcli merge SOURCE TARGET: every message of one database merged into
// another of the same kind with the import's posting rules, printing the
// merge window's counters and its closing status.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "maintenance/merge_run.h"
#include "services/databases.h"
#include "services/globals.h"

namespace qvcli {

int cmdMerge(const Args& argsIn) {
  Args args = argsIn;
  bool unattendedRun = takeFlag(args, "--unattended");
  std::string commitEvery;
  int commitMessages = 0;
  if (takeOption(args, "--commit-every", commitEvery)) {
    commitMessages = std::atoi(commitEvery.c_str());
    if (commitMessages < 1) return fail("--commit-every is a number of messages");
  }
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 2) return fail("usage: merge SOURCE TARGET [--commit-every N] [--unattended]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  uint32_t source = qv::FOR.ID;
  if (!qv::findDatabase(args[1])) return fail("no database named \"" + args[1] + "\"");
  uint32_t target = qv::FOR.ID;
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;

  qv::MergeRun run(source, target);
  run.setCommitEvery(commitMessages);
  if (!run.start()) return fail("merge: " + run.failure());
  std::string status;
  while (run.step()) {
    if (run.view().status != status) {
      status = run.view().status;
      sayError("%s\n", status.c_str());
    }
  }
  const qv::MergeView& v = run.view();
  say("%s%s\n", v.fromLabel.c_str(), v.sourceName.c_str());
  say("%s%s\n", v.toLabel.c_str(), v.targetName.c_str());
  say("%-36s %lld\n", "Messages in source:", static_cast<long long>(v.sourceRecords));
  say("%-36s %lld\n", "Messages merged:", static_cast<long long>(v.merged));
  say("%-36s %lld\n", "Of them, updated:", static_cast<long long>(v.updated));
  say("%-36s %lld\n", "Messages skipped:", static_cast<long long>(v.skipped));
  say("%-36s %lld\n", "Messages in target:", static_cast<long long>(v.inTarget));
  say("%s\n", v.status.c_str());
  return run.result() == 1 ? 0 : 1;
}

}  // namespace qvcli
