// Sequential reading of a line file with look-ahead, for the parsers and the
// content detection of the line formats.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "import/parsers/cis_text.h"
#include "storage/file.h"
#include "storage/fixedstr.h"

namespace qv::cis {

// The text of the last line a line file read: its one memo field.
inline std::string* lineBuffer(File& f) {
  FileDecl& d = f.decl();
  if (d.buffer == nullptr || d.fields.empty() || d.fields[0].type != FieldType::Memo) return nullptr;
  return reinterpret_cast<std::string*>(static_cast<char*>(d.buffer) + d.fields[0].offset);
}

class LineReader {
 public:
  explicit LineReader(File& f) : file_(&f) {}

  // Called once for every line taken from the file (not for lines given back).
  void onFileLine(std::function<void()> f) { onLine_ = std::move(f); }

  // Back to the first line of the file.
  void rewind() {
    file_->setFileOrder();
    back_.clear();
    end_ = false;
  }

  // The next line's bytes; false at the end of the file (a read error ends it
  // too). A line of nothing but DOS end-of-file marks (Ctrl-Z) is no line of
  // the text and is passed over.
  bool next(std::string& line) {
    if (!back_.empty()) {
      line = std::move(back_.back());
      back_.pop_back();
      return true;
    }
    std::string* buf = lineBuffer(*file_);
    for (;;) {
      if (end_) return false;
      if (buf == nullptr || !file_->next()) {
        end_ = true;
        return false;
      }
      if (onLine_) onLine_();
      if (!endOfFileMarks(*buf)) break;
    }
    line = *buf;
    return true;
  }

  // Gives lines back in reading order: the next calls of next() return them
  // first, in the same order.
  void giveBack(std::vector<std::string> lines) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) back_.push_back(std::move(*it));
  }

  // True when the file has ended and no line is given back.
  bool atEnd() const { return end_ && back_.empty(); }

 private:
  static bool endOfFileMarks(const std::string& line) {
    return !line.empty() && line.find_first_not_of('\x1A') == std::string::npos;
  }

  File* file_;
  std::vector<std::string> back_;  // the next line last
  bool end_ = false;
  std::function<void()> onLine_;
};

// The lines of one message as the line parsers hold them: at most
// kMaxLines lines, each whole. Lines past the limit are dropped (the message
// is cut). The bytes held are bounded too: no more than seven lines ever
// precede a message's text, so holding eight full line records keeps every
// byte of text that fits in kMaxText.
struct MessageLines {
  static constexpr size_t kMaxLines = 2500;
  static constexpr size_t kMaxBytes = 8 * (64000 + 2);

  std::vector<std::string> lines;  // raw bytes
  size_t bytes = 0;

  void clear() {
    lines.clear();
    bytes = 0;
  }
  // Keeps the first n lines only.
  void cut(size_t n) {
    if (n < lines.size()) lines.resize(n);
  }
  void hold(std::string line) {
    if (lines.size() >= kMaxLines || bytes >= kMaxBytes) return;
    bytes += line.size() + 2;
    lines.push_back(std::move(line));
  }
  // Line n (1-based) decoded and cut to the width the header rules read;
  // empty when the message has fewer lines.
  std::string header(size_t n) const {
    if (n == 0 || n > lines.size()) return {};
    std::string s = decodeSource(lines[n - 1]);
    s.resize(utf8CutLength(s, kHeaderWidth));
    return s;
  }
  // True when line n (1-based) exists and starts with `prefix`.
  bool lineStarts(size_t n, std::string_view prefix) const {
    return n >= 1 && n <= lines.size() && lines[n - 1].starts_with(prefix);
  }
  // The text: lines from n (1-based) on, decoded, leading empty lines
  // dropped, joined with CR LF, cut at kMaxText bytes.
  std::string text(size_t n) const {
    TextBuilder b;
    for (size_t i = n == 0 ? 0 : n - 1; i < lines.size() && !b.full(); ++i) b.add(decodeSource(lines[i]));
    return b.take();
  }

  static constexpr size_t kHeaderWidth = 400;
};

// Cuts a sequence of lines into messages. A message begins with a line that
// starts one (and the lines read with it, see collect()) and runs up to the
// next such line or the end; lines before the first message are passed over.
class MessageSplitter {
 public:
  void reset() {
    next_.clear();
    haveNext_ = false;
  }

  // True when the first lines of the next message are read already.
  bool holdsNext() const { return haveNext_; }

  // Reads the next message into `msg`; false when there is none. `read(line)`
  // gives the next line, false at the end. `starts(line, more)` tells whether
  // a line begins a message; the lines it reads after it to tell go into
  // `more` when they belong to the message's beginning.
  template <class Read, class Starts>
  bool collect(MessageLines& msg, Read&& read, Starts&& starts) {
    msg.clear();
    std::string line;
    while (!haveNext_) {
      if (!read(line)) return false;
      haveNext_ = begins(line, starts);
    }
    for (std::string& l : next_) msg.hold(std::move(l));
    next_.clear();
    haveNext_ = false;
    while (!haveNext_ && read(line)) {
      haveNext_ = begins(line, starts);
      if (!haveNext_) msg.hold(std::move(line));
    }
    return true;
  }

 private:
  // True when the line begins a message: then it and the lines read with it
  // become the next message's first lines.
  template <class Starts>
  bool begins(std::string& line, Starts& starts) {
    std::vector<std::string> more;
    if (!starts(line, more)) return false;
    next_.push_back(std::move(line));
    for (std::string& l : more) next_.push_back(std::move(l));
    return true;
  }

  std::vector<std::string> next_;  // the first lines of the next message
  bool haveNext_ = false;
};

}  // namespace qv::cis
