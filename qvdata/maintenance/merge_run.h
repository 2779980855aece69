// MergeIt: one database merged into another of the same kind, as an engine
// that the merge window, qvcli and the task runner drive alike, one slice
// per step(). It runs on the one engine base (services/engine_run.h): the
// import run keeps the batches, the base the slices, the stop and the end.
//
// The source's messages (or mail) are turned into the import's temporary
// records and posted into the target by the import run with the posting
// rules of an import: a forum message the target holds already (by its
// CompuServe number) is updated, a newsgroup article it holds (by
// Message-ID) and a mail it holds (by subject, date, time, sender,
// recipient and text) is skipped; threads, sections and persons are found or
// made as on import, and the originals of mail and articles go with them.
// Every commit leaves the target consistent, with its counts: a merge
// stopped or killed and run again ends as an uninterrupted one. The source
// is only read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "import/import_run.h"
#include "maintenance/merge_reader.h"

namespace qv {

// What a selection of source and target is.
enum class MergeSelection {
  Fine,
  NoSource,       // not in the database list
  NoTarget,
  KindsDiffer,    // a forum, a mailbox and a newsgroup are not merged into each other
  SameDatabase,   // a database is not merged into itself
};
MergeSelection checkMergeSelection(uint32_t source, uint32_t target);
// The message a refused selection is told with, and its caption.
std::string mergeRefusalText(MergeSelection s);
std::string mergeRefusalCaption(MergeSelection s);

struct MergeView {
  std::string status;
  std::string fromLabel = " Merging from: ";
  std::string toLabel = " Merging to: ";
  std::string sourceName;
  std::string targetName;
  int64_t sourceRecords = 0;  // records of the source
  int64_t converted = 0;      // of them read so far
  int64_t merged = 0;         // messages posted into the target (new or updated)
  int64_t updated = 0;        // of them, messages the target held already
  int64_t skipped = 0;        // messages the target held already and were not posted
  int64_t inTarget = 0;       // messages in the target
  int64_t progress = 0;       // 0..100
};

class MergeRun {
 public:
  MergeRun(uint32_t source, uint32_t target);
  ~MergeRun();
  MergeRun(const MergeRun&) = delete;
  MergeRun& operator=(const MergeRun&) = delete;

  // Commits after at most this many messages (0: the import's choice); set
  // before start().
  void setCommitEvery(int messages);
  // Checks the selection and prepares the run; false (told through the
  // prompt, the reason in failure()) when it cannot start.
  bool start();
  // Runs one slice; false once the merge has ended.
  bool step();
  // The Stop button or the window's close: what was posted is committed
  // and kept, with its counts; the merge ends.
  void stop();
  bool finished() const;
  // 1 completed, 2 not completed.
  int result() const;
  const MergeView& view() const;
  const std::string& failure() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// Runs a started merge to its end; its result.
int runToEnd(MergeRun& run);

}  // namespace qv
