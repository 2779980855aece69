// PrintMsg: the report of one message or a set of messages of the current
// database, as plain data for a printer to lay out: a title, then for every
// message a block of header lines and the lines of its text. An engine like
// the export's: a window (or qvcli) drives step() and takes the blocks made
// so far; progress is reported every 50 messages and at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/message_set.h"
#include "export/message_set_run.h"

namespace qv {

struct PrintRequest {
  // 1 the current message, 2 its thread (mail: its partner), 3 its sender,
  // 4 its recipient, 5 its section (not in mail databases), 6 the whole
  // database by date, 7 the messages of an index word, 8 of a topic, 9 the
  // last search result.
  int scope = 1;
  uint32_t messageId = 0;
  int32_t wordId = 0;
  uint32_t topicId = 0;
  MessageRange filter;
};

struct PrintBlock {
  uint32_t id = 0;
  std::vector<std::string> header;
  std::vector<std::string> lines;
};

// The set found so far and whether it is still being collected (found,
// collecting), and what was printed of it.
struct PrintView : MessageSetView {
  std::string title;
  int64_t printed = 0;
  int64_t skipped = 0;  // left out by the filter, or no longer there
};

enum PrintResult : int {
  PrintRunning = SetRunRunning,
  PrintDone = SetRunDone,
  PrintFailed = SetRunFailed,
  PrintCancelled = SetRunCancelled,
};

// The report's title for a database of `kind` (a DbKind).
std::string reportTitle(int kind);
// The longest part of a text printed.
inline constexpr size_t kPrintTextMax = 33000;

// The header block and text lines of one message of a database of `kind`
// (a DbKind) named `database`.
PrintBlock printBlock(const MessageData& m, int kind, const std::string& database, int dateFormat);

class PrintRun {
 public:
  explicit PrintRun(const PrintRequest& request);
  ~PrintRun();
  PrintRun(const PrintRun&) = delete;
  PrintRun& operator=(const PrintRun&) = delete;

  void onProgress(std::function<void(const PrintView&)> f);
  // Runs one slice. Returns false once the run has ended.
  [[nodiscard]] bool step();
  void cancel();
  int result() const;
  // Ok unless the run failed.
  Status status() const;
  const PrintView& view() const;
  // The blocks made since the last call, in report order.
  std::vector<PrintBlock> takeBlocks();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace qv
