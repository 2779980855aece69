// CopyMsg: one message, or a whole set of messages, of the current database
// written out as text: to the clipboard (one message between banner lines)
// or to text files in the layout of a reader program. An engine that a
// progress window, qvcli and the task runner drive alike, one slice per
// step(); progress is reported every 50 messages and at the end. It runs
// on MessageSetRun: a halt or a working queue that cannot grow in a slice
// ends it failed, its files let go.
//
// Export files live in the temporary directory. Forum and newsgroup
// messages go to one file ("SaveMsg.Txt"), mail in layout 1 to one file
// ("SaveMail.Txt"), mail in layouts 2 to 4 to two: received mail to the
// first ("InBox.Mbx"), the mailbox owner's own mail to the second
// ("OutBox.Mbx"). Even scope codes replace the files, odd ones append.
// Layout 5 (kLayoutOriginals, mail and newsgroup databases) writes each
// message's original as it was imported instead of its text: to one mailbox
// file ("Originals.Mbx"), or one .eml file per message into a directory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "export/message_set.h"
#include "export/message_set_run.h"

namespace qv {

struct CopyRequest {
  // 1 the current message to the clipboard; 2/3 the current message; then
  // pairs (replace, append): 4/5 thread or mail partner, 6/7 sender, 8/9
  // recipient, 10/11 section, 12/13 the whole database by date, 14/15 the
  // messages of an index word, 16/17 of a topic, 18/19 the last search result.
  int scope = 1;
  uint32_t messageId = 0;  // the current message
  int32_t wordId = 0;      // scopes 14 and 15
  uint32_t topicId = 0;    // scopes 16 and 17
  bool defaultNames = true;  // use the layout's default file names
  std::string file1;         // the file; with two files, received mail
  std::string file2;         // the owner's own mail
  int layout = 0;            // 0: the export setting of the database's kind
  std::string emlDir;        // layout 5: one .eml file per message into this directory
  MessageRange filter;      // messages left out
};

// The set found so far and whether it is still being collected (found,
// collecting), why the run failed (failure), and what was written of it.
struct CopyView : MessageSetView {
  std::string caption;
  int64_t written = 0;  // messages written
  int64_t skipped = 0;  // left out by the filter, or no longer there
  int64_t undated = 0;  // left out by a date range because they have no date
  int64_t damaged = 0;  // originals that could not be read back (also skipped)
  std::string damage;   // what was wrong with the first of them
};

enum CopyResult : int {
  CopyRunning = SetRunRunning,
  CopyDone = SetRunDone,
  CopyFailed = SetRunFailed,
  CopyCancelled = SetRunCancelled,
};

class CopyRun {
 public:
  explicit CopyRun(const CopyRequest& request);
  ~CopyRun();
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  // Called every 50 messages and at the end.
  void onProgress(std::function<void(const CopyView&)> f);
  // Runs one slice. Returns false once the run has ended.
  bool step();
  void cancel();
  int result() const;
  // Ok unless the run failed.
  Status status() const;
  const CopyView& view() const;
  // The files written (empty for the clipboard; the second only with two files).
  const std::string& path1() const;
  const std::string& path2() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Runs an export to its end; returns its result.
int CopyMsg(const CopyRequest& request, std::function<void(const CopyView&)> progress = {});

}  // namespace qv
