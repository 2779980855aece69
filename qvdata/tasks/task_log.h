// The task log CFG/TaskLog.Txt: one report appended per task run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tasks/task_clock.h"

namespace qv {

inline constexpr const char* kTaskLogName = "TaskLog.Txt";

// The log's path in the configuration area of the open installation.
std::string taskLogPath();

// "Result: Batch not run", "Result: No errors" or "Result: Errors reported";
// for a word-index step left out, "Result: Not run, automatic word indexing
// is off for this database".
std::string resultText(int result);
// "Time: " + seconds (left-justified in six places) + " s" for a completed
// step, empty otherwise.
std::string stepTimeText(int result, int64_t seconds);

// The date and time written into the heading: the long date
// ("Wednesday, December 9, 2026") and the short time of the time format
// setting (hh:mm unless it asks for AM/PM).
std::string logLongDate(int32_t date);
std::string logShortTime(int32_t time);

struct TaskLogLink {
  std::string description;  // the definition's name
  int result = 0;
  int64_t seconds = 0;
};
struct TaskLogCleanup {
  std::string database;  // the database's name
  int proc = 0;          // CleanupProc
  int result = 0;
  int64_t seconds = 0;
};
struct TaskLogReport {
  std::string task;  // the task's description
  TaskClock written; // when the report is written
  std::vector<TaskLogLink> links;
  std::vector<TaskLogCleanup> cleanup;
};

// The name of a cleanup procedure in the log: "Purging Messages",
// "Indexing Words", "Counting", "Merging Duplicates".
std::string cleanupName(int proc);

// The report's lines (the first one empty).
std::vector<std::string> taskLogLines(const TaskLogReport& report);

// Appends the lines to the log, creating it when missing. False with the
// text "AscMsg ErrorCode=" + the system's error code when it cannot be
// opened or written.
bool appendTaskLog(const std::vector<std::string>& lines, std::string& error);

}  // namespace qv
