// Building or extending the word index of the current database
// as an engine that a progress window, qvcli and the task runner drive
// alike, one slice per step() (procedure INDEXFILE1). It runs on the one
// engine base (services/engine_run.h): the run keeps its flushes, the base
// the slices and the end.
//
// The index is the word list (WordList: one record per distinct word with
// its number and the number of messages holding it) and the occurrence file
// (MasIdx: one record per message and distinct word). A full run throws both
// away and indexes every text; a partial run indexes the texts after the
// resume point kept in the database's Forums record. Words marked for
// removal (PurgeList) are moved to the stop list first; words found in more
// than a quarter of the messages are moved there during the run (and given
// back by the next full run of the database).
//
// A flush is one transaction over the occurrence file, the word list, the
// stop list and its record of moved words: a run stopped at any point, even
// by a crash, leaves them as they were after its last complete flush, so
// that the word counts always count exactly the occurrence records kept.
//
// The run holds the database's texts, header files and index files
// exclusively and sets IndexingInProgress while it lasts. Questions and
// messages go through the prompt interface (nothing is shown unattended).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qv {

// The three fields of the Forums record that carry the run's state.
struct IndexState {
  uint32_t lastMsgId = 0;      // FOR.LASTMSGID: stored position of the last MsgText record indexed; 0 none
  uint32_t recsLastTime = 0;   // FOR.RECSLASTTIME: MsgText records indexed up to there
  int32_t wordListNeedsUpdate = 0;  // FOR.WORDLISTINDEXNEEDSUPDATE
};

// What the progress window shows.
struct IndexView {
  std::string caption;   // " Indexing ... [database name]"
  std::string status;    // the current activity
  int64_t indexed = 0;   // messages indexed in this run
  int64_t pending = 0;      // messages this run expects to index
  int64_t words = 0;     // distinct words in the run's word list
  int64_t pairs = 0;     // occurrence records written in this run
  int64_t progress = 0;  // 0..progressMax
  int64_t progressMax = 100;
};

// The points at which a run can be observed (and, in tests, stopped).
enum class IndexPoint {
  Step,          // a step begins
  FlushSlice,    // a slice of a flush's writes is done (nothing committed yet)
  BeforeCommit,  // everything of a flush is written, its commit comes next
  AfterCommit,   // a flush is committed
};

// Sizes of the run that tests make small; the program keeps the defaults.
struct IndexTuning {
  size_t flushPairs = 1000000;    // occurrence records collected before a flush
  int64_t frequentAfter = 10000;  // messages indexed before a word may move to the stop list
  // Called at every IndexPoint; a test may end the process there.
  void (*probe)(IndexPoint) = nullptr;
};
IndexTuning& indexTuning();

class IndexRun {
 public:
  // mode 1 full, any other partial; batch is the tuning position b (1..7)
  // of display item ItemSpeedIndex; database is the FOR.ID of the current
  // database, whose Forums record provides `state`.
  IndexRun(int mode, int batch, uint32_t database, const IndexState& state);
  ~IndexRun();
  IndexRun(const IndexRun&) = delete;
  IndexRun& operator=(const IndexRun&) = delete;

  // Runs one slice. Returns false once the run has ended. A halt in the
  // slice rolls the open flush back and ends the run before it goes on.
  bool step();
  bool finished() const;
  // The window's close: cancels between steps, keeping the resume point of
  // the last completed flush.
  void cancel();
  // No "Indexing finished!" at the end: the caller (an import) reports it.
  void quietFinish();
  // 1 completed, 2 cancelled or could not start.
  int result() const;
  const IndexState& state() const;
  const IndexView& view() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Runs INDEXFILE1 on the current database to its end (the loop of the
// progress window without a window), writing the run's state back into the
// database's Forums record. `onStep` is called after every step. Returns the
// run's result (1 or 2).
int INDEXFILE1(int mode, int batch, uint32_t database, IndexState& state,
               void (*onStep)(const IndexView&, void*) = nullptr, void* data = nullptr);

// Writes the run's state into the database's Forums record (HoldRec, UppDat
// mode 7). False when the record could not be written.
bool storeIndexState(uint32_t database, const IndexState& state);

}  // namespace qv
