#include "import/parsers/block_reader.h"

#include <cstring>

namespace qv {

namespace {
char* blockBuffer(File& f) {
  const FileDecl& d = f.decl();
  return static_cast<char*>(d.buffer) + d.fields[0].offset;
}
}  // namespace

void BlockReader::rewind() {
  buf_.clear();
  seek(0);
}

void BlockReader::seek(int64_t offset) {
  // Within the window the bytes read stay: readers that jump about a store
  // (the index and blocks of an Outlook Express store) mostly move a little.
  if (!buf_.empty() && offset >= base_ && offset <= base_ + int64_t(buf_.size())) {
    pos_ = size_t(offset - base_);
    return;
  }
  buf_.clear();
  pos_ = 0;
  base_ = offset < 0 ? 0 : offset;
  next_ = base_;
  eof_ = false;
}

bool BlockReader::fill(size_t need) {
  while (buf_.size() - pos_ < need && !eof_) {
    // Drop what was consumed, keeping the window bounded.
    if (pos_ > 0 && buf_.size() + kBlock > kWindow) {
      buf_.erase(0, pos_);
      base_ += int64_t(pos_);
      pos_ = 0;
    }
    size_t want = std::min<size_t>(kBlock, size_t(file_->decl().fields[0].size));
    if (!file_->getBlock(next_, int64_t(want)) || file_->bytes() <= 0) {
      eof_ = true;
      break;
    }
    size_t got = size_t(file_->bytes());
    buf_.append(blockBuffer(*file_), got);
    next_ += int64_t(got);
    if (got < want) eof_ = true;
  }
  return buf_.size() - pos_ >= need;
}

bool BlockReader::atEnd() { return !fill(1); }

int BlockReader::peek(size_t ahead) {
  if (!fill(ahead + 1)) return -1;
  return static_cast<unsigned char>(buf_[pos_ + ahead]);
}

int BlockReader::get() {
  if (!fill(1)) return -1;
  return static_cast<unsigned char>(buf_[pos_++]);
}

void BlockReader::skip(size_t n) {
  while (n > 0) {
    if (!fill(1)) return;
    size_t step = std::min(n, buf_.size() - pos_);
    pos_ += step;
    n -= step;
  }
}

bool BlockReader::startsWith(std::string_view s) {
  if (!fill(s.size())) return false;
  return std::memcmp(buf_.data() + pos_, s.data(), s.size()) == 0;
}

bool BlockReader::readLine(std::string& line, size_t maxLength, bool crEnds) {
  line.clear();
  lineEnded_ = false;
  lineEnd_ = {};
  if (maxLength == 0) maxLength = 1;  // every call takes at least one byte
  if (!fill(1)) return false;
  for (;;) {
    if (!fill(1)) return true;
    const char* start = buf_.data() + pos_;
    size_t avail = buf_.size() - pos_;
    size_t room = maxLength - line.size();
    size_t scan = std::min(avail, room);
    const void* lf = std::memchr(start, '\n', scan);
    const void* cr = crEnds ? std::memchr(start, '\r', scan) : nullptr;
    if (lf && cr && cr < lf && static_cast<const char*>(cr) + 1 == lf) cr = nullptr;  // CR LF
    const char* end = static_cast<const char*>(lf);
    if (cr && (!end || static_cast<const char*>(cr) < end)) {
      // A CR not followed by LF ends the line by itself (the LF may be in the next block).
      const char* c = static_cast<const char*>(cr);
      size_t n = size_t(c - start);
      if (size_t(c - buf_.data()) + 1 >= buf_.size()) fill(n + 2);
      start = buf_.data() + pos_;
      c = start + n;
      bool crlf = size_t(pos_ + n + 1) < buf_.size() && start[n + 1] == '\n';
      line.append(start, n);
      pos_ += n + (crlf ? 2 : 1);
      lineEnded_ = true;
      lineEnd_ = crlf ? "\r\n" : "\r";
      return true;
    }
    if (end) {
      size_t n = size_t(end - start);
      line.append(start, n);
      pos_ += n + 1;
      lineEnd_ = "\n";
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
        lineEnd_ = "\r\n";
      }
      lineEnded_ = true;
      return true;
    }
    line.append(start, scan);
    pos_ += scan;
    if (line.size() >= maxLength) return true;
  }
}

size_t BlockReader::read(std::string& out, size_t n) {
  size_t done = 0;
  while (done < n && fill(1)) {
    size_t step = std::min(n - done, buf_.size() - pos_);
    out.append(buf_.data() + pos_, step);
    pos_ += step;
    done += step;
  }
  return done;
}

}  // namespace qv
