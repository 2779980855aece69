// The lines of one decoded text part gathered for the stored text, with
// uuencoded and yEnc blocks found in them and taken out as attachments (not
// a public header).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mime/mime_internal.h"
#include "mime/uudecode.h"

namespace qv::mime::detail {

// Collects decoded lines of one text part: keeps at most keepCap bytes of
// it, and takes uuencoded and yEnc blocks out as attachments.
class TextCollector {
 public:
  // With `keepBlocks` the lines of each block are kept as written (its
  // begin line to its end line), for the lister of a message's parts.
  TextCollector(size_t keepCap, bool findBlocks, bool keepBlocks = false)
      : keepCap_(keepCap), findBlocks_(findBlocks), keepBlocks_(keepBlocks) {}

  void feed(const char* p, size_t n) {
    total_ += n;
    if (sample_.size() < kSample) sample_.append(p, std::min(n, kSample - sample_.size()));
    size_t i = 0;
    while (i < n) {
      const char* nl = static_cast<const char*>(std::memchr(p + i, '\n', n - i));
      size_t end = nl ? size_t(nl - p) + 1 : n;
      partial_.append(p + i, end - i);
      i = end;
      if (nl) {
        line(partial_, true);
        partial_.clear();
      } else if (partial_.size() >= kLongLine) {
        line(partial_, false);
        partial_.clear();
      }
    }
  }

  void finish() {
    if (!partial_.empty()) line(partial_, false);
    partial_.clear();
    endBlock(false);
    if (state_ == State::Begin) keep(beginLine_);
    state_ = State::Text;
  }

  std::string& kept() { return kept_; }
  bool cut() const { return cut_; }
  uint64_t total() const { return total_; }
  const std::string& sample() const { return sample_; }
  // A block found: its file name bytes, decoded size, and whether it stops
  // before its end line (a block cut short, which cannot be decoded whole).
  struct Block {
    std::string name;
    uint64_t size = 0;
    bool cutShort = false;
  };
  const std::vector<Block>& blocks() const { return blocks_; }
  // The lines of each block found, as written (kept with `keepBlocks`).
  const std::vector<std::string>& blockLines() const { return blockLines_; }

 private:
  static constexpr size_t kSample = 8192;
  static constexpr size_t kLongLine = 65536;
  enum class State { Text, Begin, Uu, Yenc };

  size_t keepCap_;
  bool findBlocks_;
  bool keepBlocks_;
  std::string blockRaw_;
  std::vector<std::string> blockLines_;
  std::string kept_, partial_, sample_, beginLine_, blockName_;
  bool cut_ = false;
  uint64_t total_ = 0, blockSize_ = 0;
  State state_ = State::Text;
  std::vector<Block> blocks_;

  void keep(std::string_view s) {
    if (cut_) return;
    if (kept_.size() + s.size() <= keepCap_) {
      kept_.append(s);
      return;
    }
    // Cut after an ASCII byte so that no multi-byte character is split.
    size_t room = keepCap_ - kept_.size();
    while (room > 0 && static_cast<unsigned char>(s[room - 1]) >= 0x80) --room;
    kept_.append(s.substr(0, room));
    cut_ = true;
  }

  static std::string_view stripEol(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
  }

  static bool uuBeginLine(std::string_view l, std::string& name) {
    if (l.substr(0, 6) != "begin ") return false;
    size_t i = 6, start = 6;
    while (i < l.size() && l[i] >= '0' && l[i] <= '7') ++i;
    if (i - start < 3 || i - start > 4 || i >= l.size() || l[i] != ' ') return false;
    std::string_view n = l.substr(i + 1);
    while (!n.empty() && isWsp(n.back())) n.remove_suffix(1);
    if (n.empty()) return false;
    name = std::string(n);
    return true;
  }

  static std::string yencParam(std::string_view l, std::string_view key) {
    size_t p = l.find(key);
    if (p == std::string_view::npos) return "";
    std::string_view v = l.substr(p + key.size());
    if (key == " name=") return std::string(v);
    size_t e = v.find(' ');
    return std::string(v.substr(0, e));
  }

  // The block ends, at its end line (`whole`) or cut short.
  void endBlock(bool whole) {
    if (state_ != State::Uu && state_ != State::Yenc) return;
    blocks_.push_back({blockName_, blockSize_, !whole});
    if (keepBlocks_) blockLines_.push_back(std::move(blockRaw_));
    blockRaw_.clear();
    if (!cut_) {
      Attachment a{blockName_, "application/octet-stream", blockSize_, !whole};
      keep(attachmentLine(a) + "\n");
    }
    state_ = State::Text;
  }

  void takeBlockLine(std::string_view raw) {
    if (keepBlocks_) blockRaw_.append(raw);
  }

  void line(std::string_view raw, bool complete) {
    std::string_view l = stripEol(raw);
    if (!findBlocks_) {
      keep(raw);
      return;
    }
    switch (state_) {
      case State::Text: break;
      case State::Begin: {
        int n = complete ? uuLineCount(l, false) : -1;
        if (n > 0) {
          state_ = State::Uu;
          blockSize_ = uint64_t(n);
          takeBlockLine(raw);
          return;
        }
        keep(beginLine_);
        state_ = State::Text;
        break;
      }
      case State::Uu: {
        if (l == "end") {
          takeBlockLine(raw);
          endBlock(true);
          return;
        }
        // A line shorter than its count lost its trailing blanks on the way.
        int n = !complete ? -1 : l.empty() ? 0 : uuLineCount(l, true);
        if (n >= 0) {
          blockSize_ += uint64_t(n);
          takeBlockLine(raw);
          return;
        }
        endBlock(false);  // a block cut short
        break;
      }
      case State::Yenc: {
        takeBlockLine(raw);
        if (l.substr(0, 5) == "=yend") {
          endBlock(true);
          return;
        }
        if (l.substr(0, 6) == "=ypart") return;
        for (size_t i = 0; i < l.size(); ++i) {
          if (l[i] == '=') ++i;
          ++blockSize_;
        }
        return;
      }
    }
    // Plain text, or the start of a block.
    std::string name;
    if (complete && uuBeginLine(l, name)) {
      state_ = State::Begin;
      beginLine_ = std::string(raw);
      blockRaw_.clear();
      takeBlockLine(raw);
      blockName_ = name;
      blockSize_ = 0;
      return;
    }
    if (complete && l.substr(0, 8) == "=ybegin " && l.find(" name=") != std::string_view::npos) {
      state_ = State::Yenc;
      blockRaw_.clear();
      takeBlockLine(raw);
      blockName_ = yencParam(l, " name=");
      blockSize_ = 0;
      return;
    }
    keep(raw);
  }
};

}  // namespace qv::mime::detail
