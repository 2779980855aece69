// qvcli purge DB [--age-weeks N] [--unattended] and qvcli count DB
// [--unattended]: the purge and the count run of a database to their end,
// with the window's counters at the end.
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "maintenance/purge_run.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/prompt.h"

namespace qvcli {

namespace {

// A database marked for deletion: the question of the purge window; OK
// removes the whole database.
int removeMarkedDatabase(const std::string& name) {
  bool mail = qv::Mem.ForumType == qv::KindMailDb;
  std::string what = mail ? "MailBox" : "Forum";
  qv::Button b = qv::Message("Do you really want to delete all messages in this " + what +
                                 "? If you do, the entire " + what + " directory will be removed.",
                             " " + what + " marked for deletion!", qv::Icon::Question, qv::BtnOk | qv::BtnCancel,
                             qv::BtnCancel);
  if (b != qv::BtnOk) {
    say("%s: marked for deletion; nothing was deleted\n", name.c_str());
    return 1;
  }
  if (!qv::DeleteDatabase(qv::Mem.ForumNumber)) return fail(name + ": the database could not be removed");
  say("%s: the database was removed\n", name.c_str());
  return 0;
}

int runMaintenance(const Args& argsIn, int mode) {
  Args args = argsIn;
  bool purging = mode == qv::PurgePurging;
  std::string weeks;
  bool aged = purging && takeOption(args, "--age-weeks", weeks);
  bool unattendedRun = takeFlag(args, "--unattended");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1)
    return fail(purging ? "usage: purge DB [--age-weeks N] [--unattended]" : "usage: count DB [--unattended]");
  uint16_t ageWeeks = 0;
  if (aged) {
    try {
      size_t used = 0;
      unsigned long n = std::stoul(weeks, &used);
      if (used != weeks.size() || n == 0 || n > 65535) throw std::invalid_argument(weeks);
      ageWeeks = uint16_t(n);
    } catch (const std::exception&) {
      return fail("--age-weeks takes a number of weeks from 1 to 65535");
    }
  }
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  if (unattendedRun) qv::Mem.DoTask = qv::RunUnattended;
  bool mail = qv::Mem.ForumType == qv::KindMailDb;
  if (aged && mail) return fail("--age-weeks: mail databases have no ageing");

  qv::PurgeRun run(mode, ageWeeks);
  if (run.markedForDeletion()) return removeMarkedDatabase(args[0]);
  if (!run.start()) return fail(args[0] + ": " + run.view().failure);
  std::string label;
  while (run.tick(std::chrono::milliseconds(200))) {
    if (run.view().label != label) {
      label = run.view().label;
      if (!label.empty()) sayError("%s\n", label.c_str());
    }
  }
  const qv::PurgeView& v = run.view();
  const char* names[3];
  if (purging) {
    names[0] = "Number of messages in database:";
    names[1] = "Number of deleted messages:";
    names[2] = "Number of remaining messages:";
  } else {
    names[0] = "Number of messages:";
    names[1] = mail ? "Number of mailpartners:" : "Number of threads:";
    names[2] = mail ? "Number of persons:" : "Number of Forum members:";
  }
  say("Database: %s\n", qv::Mem.Description.c_str());
  for (int i = 0; i < 3; ++i) say("%-36s %lld\n", names[i], static_cast<long long>(v.counters[i]));
  say("The time for completion was: %.1f seconds\n", run.seconds());
  switch (run.state()) {
    case qv::PurgeState::Finished: return 0;
    case qv::PurgeState::Stopped: return fail(args[0] + ": stopped early; what was done is kept, counters may be wrong until a count run");
    default: return fail(args[0] + ": " + v.failure);
  }
}

}  // namespace

int cmdPurge(const Args& args) { return runMaintenance(args, qv::PurgePurging); }
int cmdCount(const Args& args) { return runMaintenance(args, qv::PurgeCounting); }

}  // namespace qvcli
