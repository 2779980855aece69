#include "browse/text_find.h"

#include <algorithm>

#include "browse/browse_view.h"
#include "browse/hit_scan.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_service.h"
#include "services/messages.h"
#include "storage/buffer_guard.h"
#include "wordindex/whole_words.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

// The files a view of the kind may walk or the test reads: headers, texts,
// threads, the word index, the topic links and the result set.
std::vector<int> findFiles(int kind) {
  if (kind == KindMailDb) return {FileMail, FileMsgText, FileMasIdx, FileSIndex, FileSearch};
  return {FileMsgNmbr, FileMsgText, FileThreads, FileMasIdx, FileSIndex, FileSearch};
}

bool holds(std::string_view text, const std::string& pattern, bool matchCase, bool wholeWords) {
  if (matchCase) return AISINB(wholeWords ? 1 : 0, text, pattern) > 0;
  return AISINB(wholeWords ? 1 : 0, wordUpper(text), pattern) > 0;
}

std::string subjectOf(int kind, uint32_t id) { return readMessage(kind, id) ? subjectOfMessage(kind) : std::string(); }

int32_t dateOf(int kind, uint32_t id) {
  if (!readMessage(kind, id)) return 0;
  return kind == KindMailDb ? MAI.DATE : MSG.DATE;
}

FindStep testWith(int kind, uint32_t id, int scope, const std::string& pattern, bool matchCase, bool wholeWords) {
  if (pattern.empty()) return FindStep::Searching;
  if (holds(subjectOf(kind, id), pattern, matchCase, wholeWords)) return FindStep::SubjectHit;
  if (scope == 2) return FindStep::Searching;
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  if (!MsgText.get(TXT_IdKey)) return FindStep::Searching;  // no text: nothing to find in it
  return holds(TXT.MsgText, pattern, matchCase, wholeWords) ? FindStep::TextHit : FindStep::Searching;
}

// The find string as compared: cut, and upper case unless the case must match.
std::string patternOf(const FindSettings& s) {
  std::string p = cutFindString(s.findString);
  return s.matchCase ? p : wordUpper(p);
}

}  // namespace

std::string cutFindString(std::string_view s) {
  size_t chars = 0, i = 0;
  while (i < s.size() && chars < kFindStringChars) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    // A broken sequence counts its lead byte as one character.
    size_t j = 1;
    while (j < len && i + j < s.size() && (static_cast<unsigned char>(s[i + j]) & 0xC0) == 0x80) ++j;
    i += j;
    ++chars;
  }
  return std::string(s.substr(0, i));
}

TextFind::TextFind(int kind) : kind_(kind), files_(findFiles(kind)) {}

TextFind::~TextFind() {
  walk_.reset();  // before the files go
}

void TextFind::start(const TextFindOptions& options) {
  options_ = options;
  const FindSettings& s = findSettings();
  pattern_ = patternOf(s);
  matchCase_ = s.matchCase;
  wholeWords_ = s.wholeWords;
  walk_.reset();
  positioned_ = false;
  searching_ = !pattern_.empty();
  examined_ = 0;
}

FindStep TextFind::step(int batch) {
  if (!searching_) return FindStep::EndOfView;
  // The record buffers a step reads are put back when it returns, so that
  // the browser's records stay as it left them.
  BufferGuard keep({&MsgNmbr, &Mail, &Threads, &MsgText, &MasIdx, &SIndex, &Search});
  const bool forward = options_.direction != 2;
  for (int n = 0; n < std::max(1, batch); ++n) {
    bool moved;
    if (!positioned_) {
      // The view and the message to start from are read when the walk
      // begins, so that a browser told of the start has published them.
      positioned_ = true;
      state_ = readBrowseContext(kind_);
      walk_ = std::make_unique<BrowseView>(state_);
      if (state_.selected != 0 && walk_->toMessage(state_.selected))
        moved = forward ? walk_->next() : walk_->previous();
      else
        moved = forward ? walk_->toFirst() : walk_->toLast();
    } else {
      moved = forward ? walk_->next() : walk_->previous();
    }
    if (!moved) {
      searching_ = false;
      return FindStep::EndOfView;
    }
    const uint32_t id = walk_->current();
    ++examined_;
    if (options_.fromDate != 0 || options_.toDate != 0) {
      int32_t d = dateOf(kind_, id);
      if ((options_.fromDate != 0 && d < options_.fromDate) || (options_.toDate != 0 && d > options_.toDate))
        continue;
    }
    FindStep r = testWith(kind_, id, options_.scope, pattern_, matchCase_, wholeWords_);
    if (r != FindStep::Searching) {
      found_ = id;
      state_.selected = id;
      searching_ = false;
      return r;
    }
  }
  return FindStep::Searching;
}

FindStep testMessage(int kind, uint32_t id, int scope) {
  const FindSettings& s = findSettings();
  return testWith(kind, id, scope, patternOf(s), s.matchCase, s.wholeWords);
}

}  // namespace qv
