// qvcli task list|run|due (and add|edit|delete, in cmd_task_edit.cpp): the
// scheduled tasks, run now or when due, unattended, as cron or a systemd
// timer runs them.
#include <cstdio>
#include <set>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"
#include "tasks/task_log.h"
#include "tasks/task_runner.h"
#include "tasks/task_schedule.h"

namespace qvcli {

namespace {

const char* const kWeekdayNames[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

std::string moment(int32_t date, int32_t time) {
  if (date == 0) return "-";
  return qv::formatDate(date, qv::DateYearFirst) + (time ? " " + qv::formatTime(time, qv::Time24Hour) : "");
}

std::string repeatText(const qv::TasksRec& t) {
  std::string days;
  for (int i = 0; i < 7; ++i)
    if (t.DAYS[size_t(i)]) days += std::string(days.empty() ? "" : ",") + kWeekdayNames[i];
  if (!days.empty()) return "weekdays " + days;
  for (uint8_t d : t.MONTHDAYS)
    if (d) days += (days.empty() ? "" : ",") + std::to_string(d);
  return days.empty() ? "no repeat" : "monthdays " + days;
}

int taskList(const Args& args) {
  if (!args.empty()) return fail("usage: task list");
  if (int status = openInstallationFor(Needs::Reading)) return status;
  for (const qv::TaskEdit& e : qv::ListTasks()) {
    const qv::TasksRec& t = e.task;
    std::string after;
    const char* names[4] = {"dedup", "purge", "count", "index"};
    const uint8_t flags[4] = {t.DODUPELIM, t.DOPURGE, t.DOCOUNT, t.DOINDEX};
    for (int i = 0; i < 4; ++i)
      if (flags[i]) after += std::string(after.empty() ? "" : ",") + names[i];
    say("%s\n", t.DESCRIPTION.str().c_str());
    say("  %s; once %s; next %s; %s; last run %s, %s\n", t.ACTIVE ? "active" : "inactive",
        moment(t.RUNNOWDATE, t.RUNNOWTIME).c_str(), moment(t.RUNNEXTDATE, t.RUNNEXTTIME).c_str(),
        repeatText(t).c_str(), moment(t.LASTRUNDATE, t.LASTRUNTIME).c_str(),
        t.LASTRUNDATE ? qv::resultText(t.RESULTCODE).c_str() : "never run");
    say("  afterwards: %s\n", after.empty() ? "nothing" : after.c_str());
    for (uint32_t id : e.definitions) {
      qv::ImportDefinition d;
      say("  definition: %s\n", qv::ReadImportDefinition(id, d) ? d.description.c_str() : "(deleted)");
    }
  }
  return 0;
}

// Runs one task with its steps told on stderr and its log report on
// stdout: 0 when every step completed, 1 when errors were reported, 3 when
// the log could not be written.
int runAndReport(uint32_t id) {
  qv::TaskDriver driver;
  driver.onStep = [](const qv::TaskStep& step) {
    if (step.kind == qv::TaskStepKind::Import)
      sayError("%s: %s\n", qv::taskStepName(step).c_str(), qv::taskState().batch.DESCRIPTION.str().c_str());
    else
      sayError("%s: %s\n", qv::taskStepName(step).c_str(),
               qv::findDatabase(step.database) ? qv::FOR.DESCRIPTION.str().c_str() : "?");
  };
  qv::TaskOutcome out = qv::runTask(id, driver);
  if (!out.ran) return fail("the task could not be started");
  for (const std::string& line : out.logLines) say("%s\n", line.c_str());
  if (!out.logError.empty()) {
    fail(qv::taskLogPath() + ": " + out.logError);
    return 3;
  }
  if (out.stopped) sayError("The task was stopped and is now inactive.\n");
  return out.result == qv::ResultCompleted || out.result == qv::ResultNotRun ? 0 : 1;
}

int taskRun(Args args) {
  bool wait = takeFlag(args, "--wait");
  if (args.size() != 1 || args[0].rfind("--", 0) == 0) return fail("usage: task run NAME [--wait]"), 2;
  if (int status = openInstallationFor(Needs::Writing, wait, kExitBusy)) return status;
  uint32_t id = qv::FindTask(args[0]);
  if (id == 0) return fail("no task named \"" + args[0] + "\""), 2;
  return runAndReport(id);
}

int taskDue(Args args) {
  bool wait = takeFlag(args, "--wait");
  if (!args.empty()) return fail("usage: task due [--wait]"), 2;
  if (int status = openInstallationFor(Needs::Writing, wait, kExitBusy)) return status;
  // Every task the monitor would start now, each once.
  std::set<uint32_t> done;
  int status = 0;
  qv::TasksRec t;
  while (qv::findDueTask(qv::systemClock(), t, done)) {
    done.insert(t.ID);
    int rc = runAndReport(t.ID);
    if (rc > status) status = rc;
  }
  if (done.empty()) sayError("No task is due.\n");
  return status;
}

}  // namespace

int cmdTask(const Args& argsIn) {
  Args args = argsIn;
  std::string sub = args.empty() ? "" : args.front();
  if (!args.empty()) args.erase(args.begin());
  if (sub == "list") return taskList(args);
  if (sub == "run") return taskRun(args);
  if (sub == "due") return taskDue(args);
  if (sub == "add" || sub == "edit" || sub == "delete") {
    if (int status = openInstallationFor(Needs::Writing)) return status;
    return cmdTaskEdit(argsIn);
  }
  fail("usage: task list | run NAME [--wait] | due [--wait] | add|edit|delete NAME ...");
  return 2;
}

}  // namespace qvcli
