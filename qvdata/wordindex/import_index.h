// The word index of the database an import posts into, kept in the same
// pass: the words of every new text are cut from the text as posting wrote
// it and committed right after the posting's commit, so that no text is read
// back. The words a run gives the index are those an indexing run after the
// import would give it, in the same order (the same word numbers, the same
// words moved to the stop list).
//
// The index's flush is a transaction of its own, after the posting's commit
// (whose transaction already holds as many files as one may), once a flush's
// worth of words is cut and at the end of the database. Until then the
// database holds texts that its index does not, as after any import into a
// database indexed later, and the resume point in its Forums record says so:
// should the run end without its flush, an indexing run picks them up (the
// import runs one at the end of the database whenever its index is not up to
// date).
#pragma once

#include <cstdint>
#include <memory>

#include "wordindex/index_run.h"

namespace qv {

class ImportIndex {
 public:
  // Starts on the current database, whose files are open for posting:
  // nullptr when its index is not up to date (texts after the resume point,
  // words marked for removal), which an indexing run must bring up first,
  // or when the index files cannot be opened.
  static std::unique_ptr<ImportIndex> start(uint32_t database);
  ~ImportIndex();
  ImportIndex(const ImportIndex&) = delete;
  ImportIndex& operator=(const ImportIndex&) = delete;

  // After message `msg` is posted, its header and text in their buffers as
  // posting left them: cuts its words when its text is new (stored at
  // `textPosition`, after the resume point; 0 when posting wrote no new
  // text).
  void add(uint32_t msg, int64_t textPosition);
  // After the posting's commit: writes and commits the words added since
  // the last flush when they are as many as an indexing run flushes at once.
  // False when the index could not be written (told; the feed has ended, and
  // the index stays as its last flush left it).
  bool commit();
  // The end of the database: commits what is left and ends the feed (the
  // word list's count key built, the run's state stored). False as commit().
  bool finish();
  // Messages whose words went to the index.
  int64_t indexed() const;
  bool ended() const;

 private:
  explicit ImportIndex(std::unique_ptr<IndexRun::Impl> impl);
  // Writes and commits what was cut since the last flush: everything with
  // `all`, else only once it is a flush's worth.
  bool flush(bool all);
  std::unique_ptr<IndexRun::Impl> impl_;
  int64_t committedPassed_ = 0;
};

// True when the current database's word index holds every text (its resume
// point is the last text, no words wait for removal). Opens what it reads.
bool indexUpToDate(const IndexState& state);

}  // namespace qv
