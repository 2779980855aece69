// index: builds or extends the word index of a database.
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

int cmdIndex(const Args& argsIn) {
  Args args = argsIn;
  bool full = takeFlag(args, "--full");
  bool unattendedRun = takeFlag(args, "--unattended");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("usage: index DB [--full] [--unattended]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  uint32_t database = qv::FOR.ID;
  qv::IndexState state{qv::FOR.LASTMSGID, qv::FOR.RECSLASTTIME, qv::FOR.WORDLISTINDEXNEEDSUPDATE};
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;

  int advice = qv::WSIndexFixup(state.lastMsgId, state.recsLastTime);
  sayError("Recommended action: %s\n",
           advice == qv::AdviseFull      ? "full index"
           : advice == qv::AdvisePartial ? "partial index"
                                         : "nothing to do");
  int batch = int(qv::KonfigGet(qv::ItemSpeedIndex));
  auto t0 = std::chrono::steady_clock::now();
  qv::IndexRun run(full ? 1 : 2, batch, database, state);
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

}  // namespace qvcli
