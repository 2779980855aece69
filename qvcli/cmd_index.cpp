// index: builds or extends the word index of a database, recounts what a run
// would have to do, or switches the database's automatic indexing.
#include <chrono>
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "wordindex/index_fixup.h"
#include "wordindex/index_run.h"

namespace qvcli {

namespace {

const char* adviceName(int advice) {
  return advice == qv::AdviseFull      ? "full index"
         : advice == qv::AdvisePartial ? "partial index"
                                       : "nothing to do";
}

int runIndex(int mode, uint32_t database, qv::IndexState state) {
  int batch = int(qv::KonfigGet(qv::ItemSpeedIndex));
  auto t0 = std::chrono::steady_clock::now();
  qv::IndexRun run(mode, batch, database, state);
  std::string lastStatus;
  int64_t lastShown = -1;
  while (run.step()) {
    const qv::IndexView& v = run.view();
    if (v.status != lastStatus) {
      lastStatus = v.status;
      sayError("%s\n", v.status.c_str());
    }
    if (v.indexed / 1000 != lastShown / 1000) {
      lastShown = v.indexed;
      std::fprintf(stderr, "\r%lld of %lld messages", static_cast<long long>(v.indexed),
                   static_cast<long long>(v.pending));
      if (v.indexed == v.pending) std::fputc('\n', stderr);
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  qv::storeIndexState(database, run.state());
  const qv::IndexView& v = run.view();
  say("Database:            %s\n", qv::Mem.Description.c_str());
  say("Messages indexed:    %lld\n", static_cast<long long>(v.indexed));
  say("Distinct words:      %lld\n", static_cast<long long>(v.words));
  say("Occurrence records:  %lld\n", static_cast<long long>(v.pairs));
  say("Elapsed seconds:     %.1f\n", seconds);
  say("Result:              %s\n", run.result() == 1 ? "completed" : "not completed");
  return run.result() == 1 ? 0 : 1;
}

}  // namespace

int cmdIndex(const Args& argsIn) {
  Args args = argsIn;
  bool full = takeFlag(args, "--full");
  bool partial = takeFlag(args, "--partial");
  bool recount = takeFlag(args, "--recount");
  bool unattendedRun = takeFlag(args, "--unattended");
  std::string autoSwitch;
  bool autoGiven = takeOption(args, "--auto", autoSwitch);
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1)
    return fail("usage: index DB [--full|--partial|--recount] [--auto on|off] [--unattended]");
  if (int(full) + int(partial) + int(recount) > 1) return fail("choose one of --full, --partial and --recount");
  if (autoGiven && autoSwitch != "on" && autoSwitch != "off")
    return fail("--auto takes on or off, not \"" + autoSwitch + "\"");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  uint32_t database = qv::FOR.ID;
  qv::IndexState state{qv::FOR.LASTMSGID, qv::FOR.RECSLASTTIME, qv::FOR.WORDLISTINDEXNEEDSUPDATE};
  if (autoGiven) {
    if (!qv::setAutoIndexing(database, autoSwitch == "on"))
      return fail("the automatic indexing of \"" + args[0] + "\" could not be switched");
    say("Automatic indexing:  %s\n", autoSwitch.c_str());
    if (!full && !partial && !recount && !unattendedRun) return 0;
  }
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;

  qv::IndexState before = state;
  int advice = qv::WSIndexFixup(state.lastMsgId, state.recsLastTime);
  if (recount) {
    // The recount's corrected resume point is kept, as the window keeps it.
    if ((state.lastMsgId != before.lastMsgId || state.recsLastTime != before.recsLastTime) &&
        !qv::storeIndexState(database, state))
      return fail("the database's record could not be written");
    say("Recommended action:  %s\n", adviceName(advice));
    return 0;
  }
  sayError("Recommended action: %s\n", adviceName(advice));
  // Unattended without a choice: the recommended run, or none.
  if (unattendedRun && !full && !partial) {
    if (advice == qv::AdviseNothing) {
      say("Result:              nothing to do\n");
      return 0;
    }
    full = advice == qv::AdviseFull;
  }
  return runIndex(full ? 1 : 2, database, state);
}

}  // namespace qvcli
