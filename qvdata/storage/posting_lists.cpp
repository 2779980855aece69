// The stored lists of the posting driver and the writes kept back for the
// commit.
//
// Rules:
// - A list is a sorted run of distinct numbers, stored as varints of the
//   differences between neighbours (the first from 0).
// - A word's messages are the union of its segments; a commit appends the
//   messages it adds as a new segment, and rewrites the word as one segment
//   when it removes messages or the word has kMaxSegments segments.
// - A message's words are one row, rewritten whole by every change; a
//   message that received words gets the next sequence number (file order).
// - An edit, once made, answers every read of its list until it is written.
#include <algorithm>

#include "storage/posting_driver.h"

namespace qv {

namespace {
// Segments a word may have before a commit merges them into one.
constexpr int64_t kMaxSegments = 8;
}  // namespace

void appendVarint(std::string& out, uint32_t v) {
  while (v >= 0x80) {
    out.push_back(char((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(char(v));
}

bool readVarint(const unsigned char*& p, const unsigned char* end, uint32_t& v) {
  uint64_t d = 0;
  int shift = 0;
  for (;;) {
    if (p >= end || shift > 28) return false;
    unsigned char c = *p++;
    d |= uint64_t(c & 0x7F) << shift;
    if (!(c & 0x80)) break;
    shift += 7;
  }
  if (d > UINT32_MAX) return false;
  v = uint32_t(d);
  return true;
}

std::string encodePostings(const std::vector<uint32_t>& ids) {
  std::string out;
  out.reserve(ids.size() * 2);
  uint32_t prev = 0;
  for (uint32_t id : ids) {
    appendVarint(out, id - prev);
    prev = id;
  }
  return out;
}

bool decodePostings(const void* data, size_t size, std::vector<uint32_t>& out) {
  const auto* p = static_cast<const unsigned char*>(data);
  const unsigned char* end = p + size;
  uint32_t prev = 0;
  while (p < end) {
    uint32_t d = 0;
    if (!readVarint(p, end, d)) return false;
    uint64_t v = uint64_t(prev) + d;
    if (v > UINT32_MAX || (d == 0 && !out.empty())) return false;
    prev = uint32_t(v);
    out.push_back(prev);
  }
  return true;
}

bool PostingDriver::loadStored(Side side, uint32_t id, std::vector<uint32_t>& out) {
  out.clear();
  sqlite3_stmt* st = side == Words ? cur_->prepare("SELECT messages FROM " + q("word_postings") +
                                                   " WHERE word = ? ORDER BY segment")
                                   : cur_->prepare("SELECT words FROM " + q("message_words") + " WHERE message = ?");
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, id);
  int rc;
  bool sorted = true;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    size_t before = out.size();
    if (!decodePostings(sqlite3_column_blob(st, 0), size_t(sqlite3_column_bytes(st, 0)), out)) {
      sqlite3_reset(st);
      setError(ErrBadKeys, file_.name(), "a damaged posting list");
      return false;
    }
    if (before > 0 && before < out.size() && out[before] <= out[before - 1]) sorted = false;
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) return failHere();
  if (!sorted) std::sort(out.begin(), out.end());
  return true;
}

PostingDriver::Edit* PostingDriver::edit(Side side, uint32_t id, bool load) {
  bool made = false;
  Edit& e = edits_[side].at(id, made);
  if (side == Messages) load = true;
  if (load && !e.loaded) {
    std::vector<uint32_t> stored;
    if (!loadStored(side, id, stored)) {
      if (e.added.empty() && !e.rewrite) edits_[side].erase(id);
      return nullptr;
    }
    if (side == Messages) e.stored = stored;
    std::vector<uint32_t> added = e.added;
    std::sort(added.begin(), added.end());
    e.ids.clear();
    std::merge(stored.begin(), stored.end(), added.begin(), added.end(), std::back_inserter(e.ids));
    e.loaded = true;
  }
  return &e;
}

const std::vector<uint32_t>* PostingDriver::list(Side side, uint32_t id) {
  if (edits_[side].contains(id)) {
    Edit* e = edit(side, id, true);
    return e ? &e->ids : nullptr;
  }
  Cached& c = cache_[side];
  if (c.gen != gen_ || c.id != id) {
    c.gen = UINT64_MAX;
    if (!loadStored(side, id, c.ids)) return nullptr;
    c.id = id;
    c.gen = gen_;
  }
  return &c.ids;
}

// The nearest word (or message) after or before `id` that has a record, in
// the file or among the edits. False at the end, and after a failure (with
// its error set).
bool PostingDriver::neighbour(Side side, uint32_t id, bool forward, uint32_t& out) {
  const std::string sql =
      side == Words ? std::string("SELECT word FROM ") + q("word_postings") +
                          (forward ? " WHERE word > ? ORDER BY word LIMIT 1" : " WHERE word < ? ORDER BY word DESC LIMIT 1")
                    : std::string("SELECT message FROM ") + q("message_words") +
                          (forward ? " WHERE message > ? ORDER BY message LIMIT 1"
                                   : " WHERE message < ? ORDER BY message DESC LIMIT 1");
  PostingEdits& edits = edits_[side];
  uint32_t at = id;
  for (;;) {
    sqlite3_stmt* st = cur_->prepare(sql);
    if (!st) return failHere();
    sqlite3_bind_int64(st, 1, at);
    int rc = sqlite3_step(st);
    bool inFile = rc == SQLITE_ROW;
    uint32_t fileId = inFile ? uint32_t(sqlite3_column_int64(st, 0)) : 0;
    sqlite3_reset(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return failHere();
    uint32_t editId = 0;
    bool inEdits = forward ? edits.after(at, editId) : edits.before(at, editId);
    if (!inFile && !inEdits) return false;
    uint32_t cand = !inFile ? editId : !inEdits ? fileId : forward ? std::min(fileId, editId) : std::max(fileId, editId);
    const std::vector<uint32_t>* l = list(side, cand);
    if (!l) return false;
    if (!l->empty()) {
      out = cand;
      return true;
    }
    at = cand;
  }
}

bool PostingDriver::storedCount(int64_t& n) {
  if (stored_ < 0) {
    std::string v;
    bool found = false;
    if (!getMeta("records", v, found)) return false;
    stored_ = found ? std::stoll(v) : 0;
  }
  n = stored_;
  return true;
}

bool PostingDriver::nextSequence(int64_t& seq) {
  if (nextSeq_ == 0) {
    sqlite3_stmt* st = cur_->prepare("SELECT coalesce(max(sequence), 0) + 1 FROM " + q("message_words"));
    if (!st) return failHere();
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) nextSeq_ = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) return failHere();
  }
  seq = nextSeq_++;
  return true;
}

bool PostingDriver::sequenceOf(uint32_t msg, int64_t& seq, bool& found) {
  found = false;
  sqlite3_stmt* st = cur_->prepare("SELECT sequence FROM " + q("message_words") + " WHERE message = ?");
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, msg);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    seq = sqlite3_column_int64(st, 0);
    found = true;
  }
  sqlite3_reset(st);
  return rc == SQLITE_ROW || rc == SQLITE_DONE || failHere();
}

// The message after (or before) sequence `seq` in file order; found = 0 at the end.
bool PostingDriver::messageAtSequence(int64_t seq, bool forward, uint32_t& msg, int64_t& found) {
  found = 0;
  sqlite3_stmt* st = cur_->prepare("SELECT message, sequence FROM " + q("message_words") +
                                   (forward ? " WHERE sequence > ? ORDER BY sequence LIMIT 1"
                                            : " WHERE sequence < ? ORDER BY sequence DESC LIMIT 1"));
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, seq);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    msg = uint32_t(sqlite3_column_int64(st, 0));
    found = sqlite3_column_int64(st, 1);
  }
  sqlite3_reset(st);
  return rc == SQLITE_ROW || rc == SQLITE_DONE || failHere();
}

bool PostingDriver::writeWord(uint32_t word, Edit& e) {
  if (!e.rewrite && e.added.empty()) return true;
  if (!e.rewrite) {
    sqlite3_stmt* st =
        cur_->prepare("SELECT count(*), coalesce(max(segment), 0) FROM " + q("word_postings") + " WHERE word = ?");
    if (!st) return failHere();
    sqlite3_bind_int64(st, 1, word);
    int rc = sqlite3_step(st);
    int64_t segments = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    int64_t last = rc == SQLITE_ROW ? sqlite3_column_int64(st, 1) : 0;
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) return failHere();
    if (segments + 1 < kMaxSegments) {
      std::sort(e.added.begin(), e.added.end());
      std::string blob = encodePostings(e.added);
      sqlite3_stmt* ins = cur_->prepare("INSERT INTO " + q("word_postings") +
                                        "(word, segment, count, messages) VALUES(?, ?, ?, ?)");
      if (!ins) return failHere();
      sqlite3_bind_int64(ins, 1, word);
      sqlite3_bind_int64(ins, 2, last + 1);
      sqlite3_bind_int64(ins, 3, int64_t(e.added.size()));
      sqlite3_bind_blob(ins, 4, blob.data(), int(blob.size()), SQLITE_STATIC);
      rc = sqlite3_step(ins);
      sqlite3_reset(ins);
      return rc == SQLITE_DONE || failHere();
    }
    if (!edit(Words, word, true)) return false;
  }
  sqlite3_stmt* del = cur_->prepare("DELETE FROM " + q("word_postings") + " WHERE word = ?");
  if (!del) return failHere();
  sqlite3_bind_int64(del, 1, word);
  int rc = sqlite3_step(del);
  sqlite3_reset(del);
  if (rc != SQLITE_DONE) return failHere();
  if (e.ids.empty()) return true;
  std::string blob = encodePostings(e.ids);
  sqlite3_stmt* ins =
      cur_->prepare("INSERT INTO " + q("word_postings") + "(word, segment, count, messages) VALUES(?, 1, ?, ?)");
  if (!ins) return failHere();
  sqlite3_bind_int64(ins, 1, word);
  sqlite3_bind_int64(ins, 2, int64_t(e.ids.size()));
  sqlite3_bind_blob(ins, 3, blob.data(), int(blob.size()), SQLITE_STATIC);
  rc = sqlite3_step(ins);
  sqlite3_reset(ins);
  return rc == SQLITE_DONE || failHere();
}

bool PostingDriver::writeMessage(uint32_t msg, Edit& e) {
  if (!writeTokens(msg, e)) return false;
  if (!e.rewrite) return true;
  if (e.ids.empty()) {
    sqlite3_stmt* del = cur_->prepare("DELETE FROM " + q("message_words") + " WHERE message = ?");
    if (!del) return failHere();
    sqlite3_bind_int64(del, 1, msg);
    int rc = sqlite3_step(del);
    sqlite3_reset(del);
    return rc == SQLITE_DONE || failHere();
  }
  int64_t seq = 0;
  bool found = false;
  if (!e.grew && !sequenceOf(msg, seq, found)) return false;
  if ((e.grew || !found) && !nextSequence(seq)) return false;
  std::string blob = encodePostings(e.ids);
  sqlite3_stmt* st = cur_->prepare("INSERT OR REPLACE INTO " + q("message_words") +
                                   "(message, sequence, count, words) VALUES(?, ?, ?, ?)");
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, msg);
  sqlite3_bind_int64(st, 2, seq);
  sqlite3_bind_int64(st, 3, int64_t(e.ids.size()));
  sqlite3_bind_blob(st, 4, blob.data(), int(blob.size()), SQLITE_STATIC);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE || failHere();
}

// Writes the edits through the connection in use (the transaction's, or the
// driver's own inside its write stream) and forgets them.
bool PostingDriver::writeEdits() {
  if (!writeTextWords()) return false;
  if (edits_[Words].empty() && edits_[Messages].empty() && countDelta_ == 0) return true;
  int64_t stored = 0;
  if (!storedCount(stored)) return false;
  // In increasing order of the numbers, as the rows lie in the file (and
  // the messages' sequence numbers are given in that order).
  for (uint32_t word : edits_[Words].ordered())
    if (!writeWord(word, *edits_[Words].find(word))) return false;
  for (uint32_t msg : edits_[Messages].ordered())
    if (!writeMessage(msg, *edits_[Messages].find(msg))) return false;
  if (!setMeta("records", std::to_string(stored + countDelta_))) return false;
  stored_ = stored + countDelta_;
  edits_[Words].clear();
  edits_[Messages].clear();
  countDelta_ = 0;
  return true;
}

void PostingDriver::forgetEdits() {
  edits_[Words].clear();
  edits_[Messages].clear();
  countDelta_ = 0;
  cache_[Words].gen = cache_[Messages].gen = UINT64_MAX;
}

}  // namespace qv
