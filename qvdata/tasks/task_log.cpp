#include "tasks/task_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "services/datetime.h"
#include "services/globals.h"
#include "services/output_files.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "tasks/task_state.h"

namespace qv {

std::string taskLogPath() { return joinPath({Mem.Net, "CFG", kTaskLogName}); }

std::string resultText(int result) {
  switch (result) {
    case ResultCompleted: return "Result: No errors";
    case ResultErrors: return "Result: Errors reported";
    case ResultAutoIndexOff: return "Result: Not run, automatic word indexing is off for this database";
    default: return "Result: Batch not run";
  }
}

std::string stepTimeText(int result, int64_t seconds) {
  if (result != ResultCompleted) return "";
  char b[48];
  std::snprintf(b, sizeof b, "Time: %-6lld s", static_cast<long long>(seconds));
  return b;
}

std::string logLongDate(int32_t date) {
  static const char* days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
  if (date <= 0) return "";
  int y, m, d;
  ymdFromDate(date, y, m, d);
  char b[64];
  std::snprintf(b, sizeof b, "%s, %s %d, %04d", days[weekday(date)], months[(m - 1) % 12], d, y);
  return b;
}

std::string logShortTime(int32_t time) {
  if (time <= 0) return "";
  int format = int(KonfigGet(ItemTimeFormat));
  return formatTime(time, format == Time12Hour ? Time12Hour : Time24Hour);
}

std::string cleanupName(int proc) {
  switch (proc) {
    case CleanupPurge: return "Purging Messages";
    case CleanupIndex: return "Indexing Words";
    case CleanupCount: return "Counting";
    case CleanupDuplicates: return "Merging Duplicates";
    default: return "";
  }
}

namespace {
std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
}  // namespace

std::vector<std::string> taskLogLines(const TaskLogReport& r) {
  std::vector<std::string> lines;
  lines.push_back("");
  lines.push_back(trimmed(r.task) + " " + logLongDate(r.written.date) + " " + logShortTime(r.written.time));
  lines.push_back("Import procedures:");
  for (const TaskLogLink& l : r.links)
    lines.push_back(" " + trimmed(l.description) + " " + resultText(l.result) + " " + stepTimeText(l.result, l.seconds));
  lines.push_back("Cleanup procedures:");
  for (const TaskLogCleanup& c : r.cleanup)
    lines.push_back(" " + trimmed(c.database) + "/" + cleanupName(c.proc) + " " + resultText(c.result) + " " +
                    stepTimeText(c.result, c.seconds));
  return lines;
}

bool appendTaskLog(const std::vector<std::string>& lines, std::string& error) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  int fd = ::open(taskLogPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  struct stat st{};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    fd = -1;
    errno = EINVAL;
  }
  if (fd < 0) {
    error = "AscMsg ErrorCode=" + std::to_string(errno);
    return false;
  }
  if (!writeAll(fd, text)) {
    error = "AscMsg ErrorCode=" + std::to_string(errno);
    ::close(fd);
    return false;
  }
  ::close(fd);
  error.clear();
  return true;
}

}  // namespace qv
