// Reading the word-occurrence file through the posting driver: walks in key
// and file order, and single records by pair or position.
//
// Rules (those of the SQLite driver's walks):
// - A walk is set (setStart, setValue, setPosition) and then stepped;
//   stepping without a walk, or past the end, fails with ErrNotAvailable.
// - next() from a value gives the first record at or after it, previous()
//   the last at or before it (a prefix of the key counts as its whole
//   range); after a record was returned both go on from that record, so a
//   change to the file in between neither repeats nor skips one.
// - Every new walk and every single read looks at the file again; a walk
//   keeps the list it stands in while the driver changes nothing.
#include <algorithm>

#include "storage/posting_driver.h"

namespace qv {

namespace {
constexpr uint64_t kLow32 = 0xFFFFFFFFull;
uint64_t pairOf(uint32_t hi, uint32_t lo) { return (uint64_t(hi) << 32) | lo; }
}  // namespace

void PostingDriver::setStart(int key) {
  walk_ = Walk();
  walk_.key = key;
  walk_.low = 0;
  walk_.high = UINT64_MAX;
  ++gen_;  // look at the file again
  clearError();
}

void PostingDriver::setValue(int key, int components) {
  setStart(key);
  if (key < 0 || components <= 0) return;
  uint32_t word, msg;
  bufferPair(word, msg);
  uint32_t first = key == wordKey_ ? word : msg, second = key == wordKey_ ? msg : word;
  if (components == 1) {
    walk_.low = pairOf(first, 0);
    walk_.high = pairOf(first, 0xFFFFFFFFu);
  } else {
    walk_.low = walk_.high = pairOf(first, second);
  }
}

void PostingDriver::setPosition(int key, int64_t pos) {
  walk_ = Walk();
  if (!getPosition(pos)) return;  // no walk: stepping fails
  uint32_t word = uint32_t(uint64_t(pos) >> 32), msg = uint32_t(pos);
  walk_.key = key;
  if (key >= 0) {
    walk_.low = walk_.high = key == wordKey_ ? pairOf(word, msg) : pairOf(msg, word);
    return;
  }
  if (!writeEdits()) {
    walk_.key = -2;
    return;
  }
  bool found = false;
  if (!sequenceOf(msg, walk_.seq, found)) {
    walk_.key = -2;
    return;
  }
  walk_.point = true;
  walk_.inclusive = true;
  walk_.at = pairOf(msg, word);
  clearError();
}

// The first record at or after `bound` (forward), or the last at or before it.
bool PostingDriver::seek(Side side, uint64_t bound, bool forward, uint64_t& out) {
  uint32_t a = uint32_t(bound >> 32), b = uint32_t(bound & kLow32);
  const std::vector<uint32_t>* l = list(side, a);
  if (!l) return false;
  if (forward) {
    auto it = std::lower_bound(l->begin(), l->end(), b);
    if (it != l->end()) {
      out = pairOf(a, *it);
      return true;
    }
  } else {
    auto it = std::upper_bound(l->begin(), l->end(), b);
    if (it != l->begin()) {
      out = pairOf(a, *std::prev(it));
      return true;
    }
  }
  uint32_t e = 0;
  if (!neighbour(side, a, forward, e)) return false;
  l = list(side, e);
  if (!l || l->empty()) return false;
  out = pairOf(e, forward ? l->front() : l->back());
  return true;
}

bool PostingDriver::next() { return step(true); }
bool PostingDriver::previous() { return step(false); }

bool PostingDriver::step(bool forward) {
  clearError();
  if (walk_.key == -2) {
    setError(ErrNotAvailable, file_.name(), "no walk was set");
    return false;
  }
  if (walk_.key == -1) return fileStep(forward);
  auto end = [&] {
    if (ErrorCode() == ErrNone) setError(ErrNotAvailable, file_.name());
    return false;
  };
  uint64_t bound = forward ? walk_.low : walk_.high;
  if (walk_.haveLast) {
    if (forward ? walk_.last == UINT64_MAX : walk_.last == 0) return end();
    bound = forward ? walk_.last + 1 : walk_.last - 1;
  }
  Side side = sideOf(walk_.key);
  uint64_t c = 0;
  if (!seek(side, bound, forward, c)) return end();
  walk_.haveLast = true;
  walk_.last = c;
  uint32_t entity = uint32_t(c >> 32), partner = uint32_t(c & kLow32);
  if (side == Words)
    load(entity, partner);
  else
    load(partner, entity);
  return true;
}

// File order: messages by their sequence, a message's words in order. The
// edits are written first (the sequence numbers are given then).
bool PostingDriver::fileStep(bool forward) {
  auto end = [&] {
    if (ErrorCode() == ErrNone) setError(ErrNotAvailable, file_.name());
    return false;
  };
  if (!writeEdits()) return false;
  int64_t seq = walk_.point ? walk_.seq : forward ? 0 : INT64_MAX;
  if (walk_.point) {
    uint32_t msg = uint32_t(walk_.at >> 32), word = uint32_t(walk_.at & kLow32);
    int64_t now = 0;
    bool found = false;
    if (!sequenceOf(msg, now, found)) return false;
    if (found && now == seq) {
      const std::vector<uint32_t>* l = list(Messages, msg);
      if (!l) return false;
      auto it = forward ? (walk_.inclusive ? std::lower_bound(l->begin(), l->end(), word)
                                           : std::upper_bound(l->begin(), l->end(), word))
                        : (walk_.inclusive ? std::upper_bound(l->begin(), l->end(), word)
                                           : std::lower_bound(l->begin(), l->end(), word));
      bool have = forward ? it != l->end() : it != l->begin();
      if (have) {
        uint32_t w = forward ? *it : *std::prev(it);
        walk_.at = pairOf(msg, w);
        walk_.inclusive = false;
        load(w, msg);
        return true;
      }
    }
  }
  for (;;) {
    uint32_t msg = 0;
    int64_t found = 0;
    if (!messageAtSequence(seq, forward, msg, found)) return false;
    if (found == 0) return end();
    const std::vector<uint32_t>* l = list(Messages, msg);
    if (!l) return false;
    seq = found;
    if (l->empty()) continue;
    uint32_t w = forward ? l->front() : l->back();
    walk_.point = true;
    walk_.inclusive = false;
    walk_.seq = seq;
    walk_.at = pairOf(msg, w);
    load(w, msg);
    return true;
  }
}

bool PostingDriver::hasPair(uint32_t word, uint32_t msg) {
  if (word == 0 || msg == 0) {
    setError(ErrNotFound, file_.name());
    return false;
  }
  const std::vector<uint32_t>* l = list(Messages, msg);
  if (!l) return false;
  if (!std::binary_search(l->begin(), l->end(), word)) {
    setError(ErrNotFound, file_.name());
    return false;
  }
  clearError();
  return true;
}

bool PostingDriver::get(int) {
  uint32_t word, msg;
  bufferPair(word, msg);
  ++gen_;  // look at the file again
  if (!hasPair(word, msg)) return false;
  load(word, msg);
  return true;
}

bool PostingDriver::getPosition(int64_t pos) {
  uint32_t word = uint32_t(uint64_t(pos) >> 32), msg = uint32_t(pos);
  ++gen_;
  if (pos <= 0 || !hasPair(word, msg)) {
    if (ErrorCode() == ErrNone) setError(ErrNotFound, file_.name());
    return false;
  }
  load(word, msg);
  return true;
}

}  // namespace qv
