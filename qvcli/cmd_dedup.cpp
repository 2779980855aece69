// qvcli dedup DB [--unattended]: the duplicate elimination of a database's
// persons to its end, with the window's counters and the time it took.
#include <cstdio>

#include "commands.h"
#include "maintenance/dup_run.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/installation.h"

namespace qvcli {

int cmdDedup(const Args& argsIn) {
  Args args = argsIn;
  bool unattendedRun = takeFlag(args, "--unattended");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("usage: dedup DB [--unattended]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;

  qv::DupRun run;
  if (!run.start()) return fail(args[0] + ": " + run.view().failure);
  std::string label;
  while (run.tick(std::chrono::milliseconds(200))) {
    if (run.view().label != label) {
      label = run.view().label;
      sayError("%s\n", label.c_str());
    }
  }
  const qv::DupView& v = run.view();
  std::string who = run.mail() ? "Mail Partners" : qv::Mem.ForumType == qv::KindNewsDb ? "Newsgroup Participants"
                                                                                       : "Forum Members";
  const std::string names[4] = {"Existing " + who + " in database:", "Obsolete " + who + " removed:",
                                "Duplicate " + who + " merged:", "Remaining " + who + ":"};
  say("Database: %s\n", qv::Mem.Description.c_str());
  for (int i = 0; i < 4; ++i) say("%-46s %lld\n", names[i].c_str(), static_cast<long long>(v.counters[i]));
  say("The time for completion was: %.1f seconds\n", run.seconds());
  switch (run.state()) {
    case qv::PurgeState::Finished: return 0;
    case qv::PurgeState::Stopped:
      return fail(args[0] + ": stopped early; what was done is kept, counters may be wrong until a count run");
    default: return fail(args[0] + ": " + v.failure);
  }
}

}  // namespace qvcli
