// The words of each message in order, kept by the posting driver so that a
// phrase is checked from the file instead of by reading and cutting the
// message.
//
// Rules:
// - A message's row in message_tokens starts with a varint naming how the
//   words were cut (the indexing run's settings that choose its words).
// - A whole sequence (the cut has kWholeSequence) then holds the number of
//   subject words, the message's distinct text words (a varint count, a
//   byte giving the bytes of each number, then their numbers in text_words,
//   increasing, each in that many bytes, low byte first), and for each word
//   of the subject and then of the text, in order, its place among the
//   distinct ones: 1 byte each for up to 256 distinct words, 2 for up to
//   65,536, else 4. Every word the cut gives is there, stop words
//   included, so a check leaves out the stop list of its own time and its
//   answer is that of reading the message. Such a row never changes when
//   words leave the index; it goes with the message's last word.
// - A row in the older form (files written before the text words) holds one
//   varint per word of the text only: 0 for a word the index did not hold,
//   else 1 + the word's place in the message's word list. When a message
//   loses words its places become 0. Its answer errs only towards Maybe: a
//   0 may be left out like a stop word; a word in `skip` is left out.
// - A check made under another cut gets Unknown and reads the message.
// - Text words are never removed: a number, once committed, names its word
//   for the life of the file.
#include <algorithm>
#include <cstring>
#include <functional>

#include "storage/posting_driver.h"

namespace qv {

namespace {
// Marks a whole sequence in the cut varint of a row.
constexpr uint32_t kWholeSequence = 0x20;

PostingDriver* postingDriverOf(File& f) {
  return f.isOpen() ? dynamic_cast<PostingDriver*>(f.driver()) : nullptr;
}

// Word numbers to places in `words` (0 for a word not there).
std::string encodeTokens(uint32_t cut, const std::vector<uint32_t>& tokens, const std::vector<uint32_t>& words) {
  std::string out;
  out.reserve(tokens.size() + tokens.size() / 2 + 1);
  appendVarint(out, cut);
  for (uint32_t t : tokens) {
    auto it = t == 0 ? words.end() : std::lower_bound(words.begin(), words.end(), t);
    appendVarint(out, it != words.end() && *it == t ? uint32_t(it - words.begin()) + 1 : 0);
  }
  return out;
}

// Bytes per place in a whole sequence of `distinct` distinct words.
size_t placeWidth(size_t distinct) { return distinct <= 0x100 ? 1 : distinct <= 0x10000 ? 2 : 4; }

// Bytes of a number up to `max`, low byte first.
size_t numberWidth(uint32_t max) { return max < 0x100 ? 1 : max < 0x10000 ? 2 : max < 0x1000000 ? 3 : 4; }

void appendFixed(std::string& out, uint32_t v, size_t width) {
  for (size_t b = 0; b < width; ++b) out.push_back(char((v >> (8 * b)) & 0xFF));
}

// A whole sequence: subject count, distinct words, places.
std::string encodeSequence(uint32_t cut, uint32_t subjectWords, const std::vector<uint32_t>& tokens) {
  std::vector<uint32_t> distinct(tokens);
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  const size_t idWidth = numberWidth(distinct.empty() ? 0 : distinct.back());
  const size_t width = placeWidth(distinct.size());
  std::string out;
  out.reserve(tokens.size() * width + distinct.size() * idWidth + 12);
  appendVarint(out, cut | kWholeSequence);
  appendVarint(out, subjectWords);
  appendVarint(out, uint32_t(distinct.size()));
  out.push_back(char(idWidth));
  for (uint32_t id : distinct) appendFixed(out, id, idWidth);
  for (uint32_t t : tokens)
    appendFixed(out, uint32_t(std::lower_bound(distinct.begin(), distinct.end(), t) - distinct.begin()), width);
  return out;
}

// The other way; false for a damaged row.
bool decodeTokens(const std::string& blob, const std::vector<uint32_t>& words, uint32_t& cut,
                  std::vector<uint32_t>& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(blob.data());
  const unsigned char* end = p + blob.size();
  if (!readVarint(p, end, cut)) return false;
  while (p < end) {
    uint32_t v = 0;
    if (!readVarint(p, end, v) || v > words.size()) return false;
    out.push_back(v == 0 ? 0 : words[v - 1]);
  }
  return true;
}

// Many reads of one kind share one read transaction of the file's own
// connection, when nothing else holds one open: each read outside it would
// take and drop the file's lock.
class ReadTogether {
 public:
  explicit ReadTogether(sqlite3* db) : db_(db) {
    began_ = db_ && sqlite3_get_autocommit(db_) && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~ReadTogether() {
    if (began_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  ReadTogether(const ReadTogether&) = delete;
  ReadTogether& operator=(const ReadTogether&) = delete;

 private:
  sqlite3* db_;
  bool began_ = false;
};

bool notPostingFile(File& f) {
  setError(ErrNotSupported, f.name(), "not a posting file");
  return false;
}

}  // namespace

bool wordMessages(File& f, uint32_t word, std::vector<uint32_t>& out) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->wordList(word, out) : notPostingFile(f);
}

uint32_t textWordNumber(File& f, const std::string& word) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->textWord(word) : uint32_t(notPostingFile(f));
}

bool textWordNumbers(File& f, const std::vector<std::string>& words, std::vector<uint32_t>& out) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->textWords(words, out) : notPostingFile(f);
}

bool setMessageSequence(File& f, uint32_t msg, uint32_t cut, uint32_t subjectWords, std::vector<uint32_t> words) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->setTokens(msg, cut, std::move(words), subjectWords, true) : notPostingFile(f);
}

bool setMessageTokens(File& f, uint32_t msg, uint32_t cut, std::vector<uint32_t> words) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->setTokens(msg, cut, std::move(words), 0, false) : notPostingFile(f);
}

bool phraseInSequences(File& f, uint32_t cut, const std::vector<uint32_t>& msgs, const std::vector<uint32_t>& phrase,
                       const std::vector<uint32_t>& stop, std::vector<PhraseAnswer>& out) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->phraseInSequences(cut, msgs, phrase, stop, out) : notPostingFile(f);
}

PhraseAnswer phraseInTokens(File& f, uint32_t msg, uint32_t cut, const std::vector<uint32_t>& phrase,
                            const std::unordered_set<uint32_t>& skip) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->phrase(msg, cut, phrase, skip) : PhraseAnswer::Unknown;
}

bool PostingDriver::wordList(uint32_t word, std::vector<uint32_t>& out) {
  // A list remembered from an earlier read is not used once another
  // connection (another process) has committed to the file since.
  if (cur_ == &own_) {
    sqlite3_stmt* st = own_.prepare("PRAGMA data_version");
    if (!st) return failHere();
    int rc = sqlite3_step(st);
    int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) return failHere();
    if (version != dataVersion_) {
      dataVersion_ = version;
      ++gen_;
    }
  }
  const std::vector<uint32_t>* l = list(Words, word);
  if (!l) return false;
  out = *l;
  clearError();
  return true;
}

bool PostingDriver::setTokens(uint32_t msg, uint32_t cut, std::vector<uint32_t> words, uint32_t subjectWords,
                              bool whole) {
  if (!beforeWrite()) return false;
  if (!hasTokens_ || (whole && !hasTextWords_)) {
    setError(ErrNotSupported, file_.name(), "the file keeps no words of texts");
    return false;
  }
  if (whole && (subjectWords > words.size() || std::count(words.begin(), words.end(), 0u) > 0 ||
                (cut & kWholeSequence))) {
    setError(ErrOther, file_.name(), "not a sequence of text words");
    return false;
  }
  Edit* e = edit(Messages, msg, true);
  if (!e) return false;
  e->tokens = std::move(words);
  e->tokensCut = cut;
  e->tokensSubject = subjectWords;
  e->tokensWhole = whole;
  e->tokensSet = true;
  ++gen_;
  return writeThrough();
}

bool PostingDriver::loadTokens(uint32_t msg, std::string& blob, bool& found) {
  found = false;
  sqlite3_stmt* st = cur_->prepare("SELECT tokens FROM " + q("message_tokens") + " WHERE message = ?");
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, msg);
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    const char* data = static_cast<const char*>(sqlite3_column_blob(st, 0));
    blob.assign(data ? data : "", size_t(sqlite3_column_bytes(st, 0)));
    found = true;
  }
  sqlite3_reset(st);
  return rc == SQLITE_ROW || rc == SQLITE_DONE || failHere();
}

// Part of writing a message's edit: its tokens given anew, or its stored
// tokens following a change of its words.
bool PostingDriver::writeTokens(uint32_t msg, Edit& e) {
  if (!hasTokens_ || (!e.tokensSet && !e.rewrite)) return true;
  std::string blob;
  if (e.tokensSet) {
    blob = e.tokensWhole ? encodeSequence(e.tokensCut, e.tokensSubject, e.tokens)
                         : encodeTokens(e.tokensCut, e.tokens, e.ids);
  } else {
    bool found = false;
    std::string old;
    if (!loadTokens(msg, old, found)) return false;
    if (!found || e.stored == e.ids) return true;
    const auto* p = reinterpret_cast<const unsigned char*>(old.data());
    uint32_t cut = 0;
    if (readVarint(p, p + old.size(), cut) && (cut & kWholeSequence)) {
      if (!e.ids.empty()) return true;  // a whole sequence stays while the message has words
    } else {
      std::vector<uint32_t> tokens;
      if (decodeTokens(old, e.stored, cut, tokens)) blob = encodeTokens(cut, tokens, e.ids);
      // A damaged row is dropped: the phrase check then reads the text.
    }
  }
  if (e.ids.empty() || blob.empty()) {
    sqlite3_stmt* del = cur_->prepare("DELETE FROM " + q("message_tokens") + " WHERE message = ?");
    if (!del) return failHere();
    sqlite3_bind_int64(del, 1, msg);
    int rc = sqlite3_step(del);
    sqlite3_reset(del);
    return rc == SQLITE_DONE || failHere();
  }
  sqlite3_stmt* st = cur_->prepare("INSERT OR REPLACE INTO " + q("message_tokens") + "(message, tokens) VALUES(?, ?)");
  if (!st) return failHere();
  sqlite3_bind_int64(st, 1, msg);
  sqlite3_bind_blob(st, 2, blob.data(), int(blob.size()), SQLITE_STATIC);
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  return rc == SQLITE_DONE || failHere();
}

PhraseAnswer PostingDriver::phrase(uint32_t msg, uint32_t cut, const std::vector<uint32_t>& words,
                                   const std::unordered_set<uint32_t>& skip) {
  if (!hasTokens_ || words.empty() || edits_[Messages].contains(msg)) return PhraseAnswer::Unknown;
  std::string blob;
  bool found = false;
  if (!loadTokens(msg, blob, found) || !found) return PhraseAnswer::Unknown;
  ++gen_;  // look at the file again
  const std::vector<uint32_t>* list = this->list(Messages, msg);
  std::vector<uint32_t> tokens;
  uint32_t madeUnder = 0;
  if (!list || !decodeTokens(blob, *list, madeUnder, tokens) || madeUnder != cut || (madeUnder & kWholeSequence))
    return PhraseAnswer::Unknown;
  // The text's words as the phrase check keeps them; a word the index does
  // not hold may be a stop word now and is left out, which errs towards Maybe.
  std::vector<uint32_t> kept;
  kept.reserve(tokens.size());
  for (uint32_t t : tokens)
    if (t != 0 && !skip.count(t)) kept.push_back(t);
  clearError();
  return std::search(kept.begin(), kept.end(), words.begin(), words.end()) != kept.end() ? PhraseAnswer::Maybe
                                                                                        : PhraseAnswer::No;
}

// ---- text words ----

bool PostingDriver::createTextWordTable() {
  return exec("CREATE TABLE IF NOT EXISTS " + q("text_words") + "(id INTEGER PRIMARY KEY, word TEXT NOT NULL UNIQUE)");
}

bool PostingDriver::loadTextWords() {
  textWords_.clear();
  textPending_.clear();
  textWritten_ = 0;
  nextTextWord_ = 1;
  sqlite3_stmt* st = cur_->prepare("SELECT id, word FROM " + q("text_words"));
  if (!st) return failHere();
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    auto id = uint32_t(sqlite3_column_int64(st, 0));
    const char* w = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    textWords_.emplace(std::string(w ? w : "", size_t(sqlite3_column_bytes(st, 1))), id);
    nextTextWord_ = std::max(nextTextWord_, id + 1);
  }
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) {
    textWords_.clear();
    return failHere();
  }
  textWordsLoaded_ = true;
  return true;
}

uint32_t PostingDriver::textWord(const std::string& word) {
  if (!hasTextWords_ || readOnly()) {
    setError(ErrNotSupported, file_.name(), "the file keeps no text words");
    return 0;
  }
  if (!textWordsLoaded_ && !loadTextWords()) return 0;
  auto [it, added] = textWords_.emplace(word, nextTextWord_);
  if (added) {
    textPending_.emplace_back(nextTextWord_, word);
    ++nextTextWord_;
  }
  return it->second;
}

bool PostingDriver::textWords(const std::vector<std::string>& words, std::vector<uint32_t>& out) {
  out.assign(words.size(), 0);
  if (!hasTextWords_) {
    setError(ErrNotSupported, file_.name(), "the file keeps no text words");
    return false;
  }
  if (textWordsLoaded_) {
    for (size_t i = 0; i < words.size(); ++i) {
      auto it = textWords_.find(words[i]);
      if (it != textWords_.end()) out[i] = it->second;
    }
    clearError();
    return true;
  }
  sqlite3_stmt* st = cur_->prepare("SELECT id FROM " + q("text_words") + " WHERE word = ?");
  if (!st) return failHere();
  ReadTogether together(cur_ == &own_ ? own_.db : nullptr);
  for (size_t i = 0; i < words.size(); ++i) {
    sqlite3_bind_text(st, 1, words[i].data(), int(words[i].size()), SQLITE_STATIC);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) out[i] = uint32_t(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return failHere();
  }
  clearError();
  return true;
}

// Part of writing the edits: the text words given since the last write.
bool PostingDriver::writeTextWords() {
  if (textWritten_ >= textPending_.size()) return true;
  sqlite3_stmt* st = cur_->prepare("INSERT INTO " + q("text_words") + "(id, word) VALUES(?, ?)");
  if (!st) return failHere();
  for (; textWritten_ < textPending_.size(); ++textWritten_) {
    const auto& [id, word] = textPending_[textWritten_];
    sqlite3_bind_int64(st, 1, id);
    sqlite3_bind_text(st, 2, word.data(), int(word.size()), SQLITE_STATIC);
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) return failHere();
  }
  return true;
}

// After a commit the words written are the file's; after a rollback they are
// written again with the next commit, under the numbers already given.
void PostingDriver::textWordsCommitted(bool committed) {
  if (committed) textPending_.erase(textPending_.begin(), textPending_.begin() + ptrdiff_t(textWritten_));
  textWritten_ = 0;
}

// ---- the phrase from whole sequences ----

namespace {

// One whole sequence, read in place.
struct Sequence {
  uint32_t subjectWords = 0;
  const unsigned char* ids = nullptr;  // the distinct text words, increasing
  size_t n = 0;
  size_t idWidth = 1;
  const unsigned char* places = nullptr;
  size_t count = 0;  // places
  size_t width = 1;  // bytes per place
  static uint32_t fixed(const unsigned char* p, size_t w) {
    uint32_t v = p[0];
    for (size_t b = 1; b < w; ++b) v |= uint32_t(p[b]) << (8 * b);
    return v;
  }
  uint32_t id(size_t i) const { return fixed(ids + i * idWidth, idWidth); }
  uint32_t place(size_t i) const { return fixed(places + i * width, width); }
  // The place of text word `word`; n when the message lacks it.
  size_t find(uint32_t word) const {
    size_t lo = 0, hi = n;
    while (lo < hi) {
      size_t mid = (lo + hi) / 2;
      if (id(mid) < word)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo < n && id(lo) == word ? lo : n;
  }
};

// The parts of a row after its cut; false when they do not fit together.
// A place is checked against n where it is read.
bool decodeSequence(const unsigned char* p, const unsigned char* end, Sequence& s) {
  uint32_t n = 0;
  if (!readVarint(p, end, s.subjectWords) || !readVarint(p, end, n) || p >= end) return false;
  s.n = n;
  s.idWidth = *p++;
  if (s.idWidth < 1 || s.idWidth > 4 || uint64_t(n) * s.idWidth > uint64_t(end - p)) return false;
  s.ids = p;
  p += n * s.idWidth;
  s.width = placeWidth(n);
  s.places = p;
  s.count = size_t(end - p) / s.width;
  return size_t(end - p) % s.width == 0 && s.subjectWords <= s.count;
}

// Whether the phrase (places) stands in places [from, to) once the places
// that are stop words are left out. The phrase's own places are not.
bool phraseInPlaces(const Sequence& s, size_t from, size_t to, const std::vector<uint32_t>& phrase,
                    const std::function<bool(uint32_t)>& isStop) {
  for (size_t i = from; i < to; ++i) {
    if (s.width == 1) {
      // The first word's next place, found a byte at a time.
      const void* at = std::memchr(s.places + i, int(phrase[0]), to - i);
      if (!at) break;
      i = size_t(static_cast<const unsigned char*>(at) - s.places);
    } else if (s.place(i) != phrase[0]) {
      continue;
    }
    size_t k = 1, j = i + 1;
    while (k < phrase.size() && j < to) {
      uint32_t at = s.place(j++);
      if (at == phrase[k])
        ++k;
      else if (!isStop(at))
        break;
    }
    if (k == phrase.size()) return true;
  }
  return false;
}

}  // namespace

bool PostingDriver::phraseInSequences(uint32_t cut, const std::vector<uint32_t>& msgs,
                                      const std::vector<uint32_t>& phrase, const std::vector<uint32_t>& stop,
                                      std::vector<PhraseAnswer>& out) {
  out.assign(msgs.size(), PhraseAnswer::Unknown);
  if (!hasTokens_ || phrase.empty()) {
    clearError();
    return true;
  }
  sqlite3_stmt* st = cur_->prepare("SELECT tokens FROM " + q("message_tokens") + " WHERE message = ?");
  if (!st) return failHere();
  Sequence seq;
  ReadTogether together(cur_ == &own_ ? own_.db : nullptr);
  std::vector<uint32_t> places(phrase.size());
  // A place past the distinct words (a damaged row) counts as a word that is kept.
  auto isStop = [&](uint32_t place) {
    return place < seq.n && std::binary_search(stop.begin(), stop.end(), seq.id(place));
  };
  auto answer = [&](const unsigned char* p, const unsigned char* end) {
    uint32_t madeUnder = 0;
    if (!p || !readVarint(p, end, madeUnder) || madeUnder != (cut | kWholeSequence) || !decodeSequence(p, end, seq))
      return PhraseAnswer::Unknown;
    // The phrase's words as places; one the message lacks, or one now on
    // the stop list, rules it out.
    for (size_t i = 0; i < phrase.size(); ++i) {
      size_t at = phrase[i] == 0 ? seq.n : seq.find(phrase[i]);
      if (at == seq.n) return PhraseAnswer::No;
      places[i] = uint32_t(at);
      if (isStop(places[i])) return PhraseAnswer::No;
    }
    return phraseInPlaces(seq, 0, seq.subjectWords, places, isStop) ||
                   phraseInPlaces(seq, seq.subjectWords, seq.count, places, isStop)
               ? PhraseAnswer::Yes
               : PhraseAnswer::No;
  };
  // The rows are read through one blob handle moved from row to row, which
  // costs less than a statement per row; after the first message without a
  // row (the handle is then spent) through the statement.
  sqlite3_blob* blob = nullptr;
  bool byBlob = true;
  std::string bytes;
  for (size_t m = 0; m < msgs.size(); ++m) {
    if (edits_[Messages].contains(msgs[m])) continue;  // a write not yet committed: read the message
    if (byBlob) {
      int rc = blob ? sqlite3_blob_reopen(blob, msgs[m])
                    : sqlite3_blob_open(cur_->db, cur_->schema.c_str(), "message_tokens", "tokens", msgs[m], 0, &blob);
      if (rc == SQLITE_OK) {
        bytes.resize(size_t(sqlite3_blob_bytes(blob)));
        if (sqlite3_blob_read(blob, bytes.data(), int(bytes.size()), 0) == SQLITE_OK) {
          const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
          out[m] = answer(p, p + bytes.size());
          continue;
        }
      }
      sqlite3_blob_close(blob);
      blob = nullptr;
      byBlob = false;
    }
    sqlite3_bind_int64(st, 1, msgs[m]);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, 0));
      out[m] = answer(p, p + sqlite3_column_bytes(st, 0));
    }
    sqlite3_reset(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      out.assign(msgs.size(), PhraseAnswer::Unknown);
      return failHere();
    }
  }
  if (blob) sqlite3_blob_close(blob);
  clearError();
  return true;
}

}  // namespace qv
