// qvcli task add|edit|delete NAME: scheduled tasks with their import
// definitions, with the same check as the task editor.
#include <cstdio>

#include "commands.h"
#include "edit_command.h"
#include "services/datetime.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"
#include "tasks/task_schedule.h"

namespace qvcli {

namespace {

const char* const kUsage =
    "usage: task add|edit NAME [--name NEW] --definition NAME... [--dedup] [--purge] [--count] [--index] "
    "[--once 'YYYY-MM-DD HH:MM'] [--weekdays sun,mon,...] [--monthdays 5,20] [--time HH:MM] [--inactive|--active]\n"
    "       (edit also takes --no-dedup, --no-purge, --no-count, --no-index and --once '' / --weekdays '' / "
    "--monthdays '' to clear)\n"
    "       task delete NAME";

const char* const kWeekdays[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text + ",") {
    if (c == ',' || c == ' ') {
      if (!item.empty()) out.push_back(item);
      item.clear();
    } else {
      item += char(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

// "HH:MM" as a time of day; 0 when it is not one.
int32_t parseTime(const std::string& text) {
  int h = -1, m = -1;
  char end = 0;
  if (std::sscanf(text.c_str(), "%d:%d%c", &h, &m, &end) != 2 || h < 0 || h > 23 || m < 0 || m > 59) return 0;
  return qv::timeFromHMS(h, m, 0);
}

struct TaskOptions {
  std::string name, once, weekdays, monthdays, time;
  std::vector<std::string> definitions;
  bool hasName = false, hasOnce = false, hasWeekdays = false, hasMonthdays = false, hasTime = false;
  bool flags[4] = {}, noFlags[4] = {};
  bool inactive = false, active = false;

  void take(Args& args) {
    hasName = takeOption(args, "--name", name);
    hasOnce = takeOption(args, "--once", once);
    hasWeekdays = takeOption(args, "--weekdays", weekdays);
    hasMonthdays = takeOption(args, "--monthdays", monthdays);
    hasTime = takeOption(args, "--time", time);
    definitions = takeRepeated(args, "--definition");
    static const char* const names[4] = {"dedup", "purge", "count", "index"};
    for (int i = 0; i < 4; ++i) {
      flags[i] = takeFlag(args, std::string("--") + names[i]);
      noFlags[i] = takeFlag(args, std::string("--no-") + names[i]);
    }
    inactive = takeFlag(args, "--inactive");
    active = takeFlag(args, "--active");
  }
};

bool applyOptions(const TaskOptions& o, qv::TaskEdit& e, bool adding, int& status) {
  qv::TasksRec& t = e.task;
  if (adding && o.definitions.empty())
    return (status = fail("task add needs at least one --definition NAME\n" + std::string(kUsage))), false;
  if (o.hasName) {
    if (o.name.size() > 50) return (status = fail("a task's name has 50 characters at most")), false;
    t.DESCRIPTION = o.name;
  }
  if (!o.definitions.empty()) {
    e.definitions.clear();
    for (const std::string& name : o.definitions) {
      uint32_t id = qv::FindImportDefinition(name);
      if (id == 0) return (status = fail("no import definition named \"" + name + "\"")), false;
      e.definitions.push_back(id);
    }
  }
  uint8_t* fields[4] = {&t.DODUPELIM, &t.DOPURGE, &t.DOCOUNT, &t.DOINDEX};
  for (int i = 0; i < 4; ++i) {
    if (o.flags[i]) *fields[i] = 1;
    if (o.noFlags[i]) *fields[i] = 0;
  }
  if (o.hasOnce) {
    t.RUNNOWDATE = t.RUNNOWTIME = 0;
    if (!o.once.empty()) {
      int y = 0, mo = 0, d = 0, h = -1, mi = -1;
      char end = 0;
      if (std::sscanf(o.once.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &end) != 5 ||
          qv::dateFromYMD(y, mo, d) == 0 || h < 0 || h > 23 || mi < 0 || mi > 59)
        return (status = fail("--once takes 'YYYY-MM-DD HH:MM'")), false;
      t.RUNNOWDATE = qv::dateFromYMD(y, mo, d);
      t.RUNNOWTIME = qv::timeFromHMS(h, mi, 0);
    }
  }
  bool repeatChanged = o.hasWeekdays || o.hasMonthdays || o.hasTime;
  if (o.hasWeekdays) {
    t.DAYS = {};
    for (const std::string& w : splitList(o.weekdays)) {
      int found = -1;
      for (int i = 0; i < 7; ++i)
        if (w == kWeekdays[i]) found = i;
      if (found < 0) return (status = fail("unknown weekday \"" + w + "\" (sun, mon, tue, wed, thu, fri, sat)")), false;
      t.DAYS[size_t(found)] = 1;
    }
  }
  if (o.hasMonthdays) {
    t.MONTHDAYS = {};
    std::vector<std::string> days = splitList(o.monthdays);
    if (days.size() > t.MONTHDAYS.size()) return (status = fail("--monthdays takes five days at most")), false;
    for (size_t i = 0; i < days.size(); ++i) {
      int d = 0;
      char end = 0;
      if (std::sscanf(days[i].c_str(), "%d%c", &d, &end) != 1 || d < 1 || d > 31)
        return (status = fail("--monthdays takes days of the month from 1 to 31")), false;
      t.MONTHDAYS[i] = uint8_t(d);
    }
  }
  if (o.hasTime) {
    t.RUNNEXTTIME = parseTime(o.time);
    if (t.RUNNEXTTIME == 0) return (status = fail("--time takes HH:MM")), false;
  }
  // Weekdays and month days are alternatives: weekdays win when both are given.
  if (repeatChanged) t.RUNNEXTDATE = 0;  // the first run is worked out again from the repeat days
  if (!qv::hasRepeatDays(t) && repeatChanged) t.RUNNEXTTIME = o.hasTime ? t.RUNNEXTTIME : 0;
  if (o.inactive) t.ACTIVE = 0;
  if (o.active || (adding && !o.inactive)) t.ACTIVE = 1;
  return true;
}

std::string when(int32_t date, int32_t time) {
  if (date == 0) return "-";
  return qv::formatDate(date, qv::DateYearFirst) + (time ? " " + qv::formatTime(time, qv::Time24Hour) : "");
}

}  // namespace

int cmdTaskEdit(const Args& argsIn) {
  Args args = argsIn;
  const NamedKind kind{"task", "a", "Task", qv::FindTask, qv::DeleteTask};
  int status = 0;
  EditVerb verb = takeEditVerb(args, kind, kUsage, status);
  if (verb == EditVerb::Done) return status;
  bool adding = verb == EditVerb::Add;
  TaskOptions options;
  options.take(args);
  std::string name;
  uint32_t existing = 0;
  if (!takeEditName(args, kind, kUsage, adding, name, existing, status)) return status;
  if (name.size() > 50) return fail("a task's name has 50 characters at most");
  qv::TaskEdit e;
  if (adding) e.task.DESCRIPTION = name;
  else if (!qv::ReadTask(existing, e)) return fail(name + ": the task could not be read");
  if (!applyOptions(options, e, adding, status)) return status;
  std::string newName = e.task.DESCRIPTION.str();
  if (!nameIsFree(kind, newName, existing, status)) return status;
  uint32_t id = existing;
  if (adding) {
    id = qv::AddTask(e);
    if (id == 0) return 1;
  } else if (!qv::UpdateTask(e)) {
    return 1;
  }
  qv::TaskEdit back;
  qv::ReadTask(id, back);
  say("Task %s: %s (ID %u), %s; one-off run %s, next run %s\n", adding ? "added" : "changed", newName.c_str(), id,
      back.task.ACTIVE ? "active" : "inactive", when(back.task.RUNNOWDATE, back.task.RUNNOWTIME).c_str(),
      when(back.task.RUNNEXTDATE, back.task.RUNNEXTTIME).c_str());
  return 0;
}

}  // namespace qvcli
