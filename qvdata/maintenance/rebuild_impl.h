// The inside of the rebuild engine (maintenance/rebuild_run.h), shared by
// its files: the run and the log (rebuild_run.cpp), the check of the listed
// databases and the attaching of directories (rebuild_list.cpp), and the
// check of the ID counter (rebuild_ids.cpp).
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "maintenance/rebuild_dirs.h"
#include "maintenance/rebuild_run.h"

namespace qv {

// Texts are dated from this day on; a text dated on or before it does not
// tell when a database was made.
inline constexpr int32_t kOldestTextDate = 70999;

// One database or directory per slice; `work` holds database IDs
// (CheckList, CheckIds) or directory numbers (Attach).
struct RebuildRun::Impl : EngineRun {
  enum class Phase { CheckList, Attach, CheckIds, Done };

  Impl() : EngineRun(view, kNoBatchRules) {}
  ~Impl() override { close(); }

  int request = RequestRebuild;
  RebuildView view;
  std::ofstream logFile;
  Phase phase = Phase::CheckIds;
  uint32_t highest = 0;     // the highest ID found so far
  uint32_t next = 0;        // the counter as the check left it
  std::vector<uint32_t> removed;  // directories whose entries this run removed

  // rebuild_run.cpp
  void log(const std::string& line);
  bool start();
  bool checkDirectories();
  void enter(Phase p);
  bool runSlice(std::chrono::milliseconds slice) override;
  // The log and the files go with the run's end.
  void ended() override;

  // rebuild_list.cpp
  // What a directory's files and own description tell of it.
  struct Found {
    int kind = DirUnrecognisable;  // a DbKind, or unrecognisable
    bool personsOnly = false;      // only persons: an empty mailbox
    bool hasRef = false;
    DbRefRec ref;
    uint32_t onlyPerson = 0;
  };
  Found recognise(uint32_t dirNumber, bool logProbes);
  void logUnrecognisable(uint32_t dirNumber);
  void checkListed(uint32_t id);
  void attach(uint32_t dirNumber);
  std::vector<uint32_t> unlistedDirectories();

  // rebuild_ids.cpp
  void checkIds(uint32_t id);
  // Raises the counter above every ID of the directories and the
  // configuration area, before new database entries draw IDs from it.
  bool raiseCounter(const std::vector<uint32_t>& dirs);
  uint32_t highestOfConfiguration();
  bool storeCounter();
};

}  // namespace qv
