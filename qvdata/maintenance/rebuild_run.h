// The rebuild of the database list and the check of the ID
// counter, as an engine that the rebuild window, qvcli and the task runner
// drive alike, one database per step() (procedure REBUILDIT).
//
// "Rebuild" checks the directories, checks every listed database against the
// files of its directory F<n> (removing the entries whose directory is gone
// or cannot be recognised, correcting kinds, names and mailbox owners from
// the directory's own description), attaches every directory F<n> that has
// no entry, and then checks the ID counter. "NextID" only checks the
// counter: it is raised above every ID any database, task or import
// definition holds, so that NextNr never hands out an ID in use. Every step
// is written to the log CFG/TestDB.Txt, made anew by each run; the window
// shows the same lines. Directories are never changed: an unrecognisable
// one is left on disk as it is.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "services/engine_run.h"

namespace qv {

// The requests with which the rebuild is started (GlobalRequest).
enum RebuildRequest : int { RequestNextId = 50, RequestRebuild = 51 };

// The states of a run: those of every engine. Finished: done, the counter
// checked; Failed: stopped because a directory is missing, no database was
// found or the log cannot be written.
using RebuildState = EngineState;

// The databases (and directories) worked through (done, total) and why the
// run failed (failure), with the log.
struct RebuildView : EngineView {
  std::vector<std::string> log;  // every line written to the log so far
  std::string status;            // what the window shows at the end
};

// The log file of the installation.
std::string rebuildLogPath();
// The log's name for a kind, padded to 11 characters.
std::string kindWord(int kind);
// "Forum      F12 name": a database as the log names it.
std::string databaseLine(int kind, uint32_t dirNumber, const std::string& name);
// The line of 53 hyphens that frames the log's sections.
std::string separatorLine();


class RebuildRun {
 public:
  explicit RebuildRun(int request);
  ~RebuildRun();
  RebuildRun(const RebuildRun&) = delete;
  RebuildRun& operator=(const RebuildRun&) = delete;

  // Makes the log and checks the directories; false (state Failed) when the
  // run cannot go on.
  [[nodiscard]] bool start();
  // One database or directory; false once the run has ended.
  [[nodiscard]] bool step();
  RebuildState state() const;
  // Ok unless the run failed; then why.
  Status status() const;
  const RebuildView& view() const;
  // The counter as the ID check left it (0 before the check).
  uint32_t nextNumber() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// Runs a started run to its end.
RebuildState runToEnd(RebuildRun& run);

}  // namespace qv
