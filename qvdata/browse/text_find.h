// The standard search's engine (TEXTFIND for forum and newsgroup databases,
// MAILFIND for mail): finds the next message of the browser's current view
// whose subject or text holds the find string of findSettings().
//
// A search starts from the message the browser published in its context and
// walks the view exactly as the browser does (BrowseView), one message on in
// the chosen direction per examined message. Each step examines at most a
// batch of messages, so a window can drive it from a timer. The subject is
// the thread's heading (forum and newsgroup) or the mail's subject; the text
// is the message text. Both are compared in upper case unless the case must
// match, with AISINB (whole words when asked).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "browse/browse_state.h"
#include "services/file_scope.h"

namespace qv {

class BrowseView;

inline constexpr size_t kFindStringChars = 20;

// The find string as it is kept: at most 20 characters (UTF-8 characters, cut
// on a character boundary).
std::string cutFindString(std::string_view s);

struct TextFindOptions {
  int scope = 1;       // 1 subject and text, 2 subject only
  int direction = 1;   // 1 forward in the view's order, 2 backward
  int32_t fromDate = 0;  // messages dated before it are passed over; 0: no limit
  int32_t toDate = 0;    // messages dated after it are passed over; 0: no limit
};

enum class FindStep : int {
  Searching = 0,   // nothing found yet; step again
  SubjectHit = 1,  // the subject holds the string (browser event 1301)
  TextHit = 2,     // the text holds it (browser event 1302)
  EndOfView = 3,   // no further message in this direction (browser event 1303)
};

class TextFind {
 public:
  // kind: a DbKind. Opens the files it reads until destroyed.
  explicit TextFind(int kind);
  ~TextFind();
  TextFind(const TextFind&) = delete;
  TextFind& operator=(const TextFind&) = delete;

  // Starts a search with the find settings as they are now. Its first step
  // reads the browser's view and current message from the context slot and
  // walks on from that message. Without a current message (or one the view
  // no longer holds) the search starts at the view's first message
  // (backward: its last) and tests it too.
  void start(const TextFindOptions& options);
  // Examines at most `batch` messages (at least one). Record buffers it reads
  // are put back before it returns.
  FindStep step(int batch);
  bool searching() const { return searching_; }
  // The message of the last hit; 0 before any.
  uint32_t found() const { return found_; }
  // The view the search walks, with `selected` set to the last hit.
  const BrowseState& view() const { return state_; }
  // Messages examined since the start.
  int64_t examined() const { return examined_; }

 private:
  FindStep test(uint32_t id);

  int kind_;
  TextFindOptions options_;
  BrowseState state_;
  std::unique_ptr<BrowseView> walk_;
  std::string pattern_;
  bool matchCase_ = false;
  bool wholeWords_ = false;
  bool searching_ = false;
  bool positioned_ = false;
  uint32_t found_ = 0;
  int64_t examined_ = 0;
  FileScope files_;  // the files the find reads, while it lives
};

// The subject and text test of one message as the find makes it, with the
// find settings as they are now: SubjectHit, TextHit or Searching (no hit).
// The message's records must be readable (its database's files open).
FindStep testMessage(int kind, uint32_t id, int scope);

}  // namespace qv
