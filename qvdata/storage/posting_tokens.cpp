// The words of each message's text in order, kept by the posting driver so
// that a phrase check can rule out the texts that cannot hold a phrase
// without reading them.
//
// Rules:
// - A message's row in message_tokens holds a varint naming how the text was
//   cut (the indexing run's settings that choose its words), then one varint
//   per word of its text: 0 for a word the index does not hold (a stop word
//   when it was indexed), else 1 + the word's place in the message's word
//   list. A check made under another cut gets Unknown.
// - When a message loses words (a word leaves the index), its row follows:
//   their places become 0. A message that gains words without new tokens
//   keeps its row; the words it gained read as 0 there.
// - The answer errs only towards Maybe: a 0 may be left out of the text,
//   like a stop word; a word in `skip` is left out; any other word stays.
#include <algorithm>

#include "storage/posting_driver.h"

namespace qv {

namespace {
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
}  // namespace

bool setMessageTokens(File& f, uint32_t msg, uint32_t cut, std::vector<uint32_t> words) {
  PostingDriver* d = postingDriverOf(f);
  if (!d) {
    setError(ErrNotSupported, f.name(), "not a posting file");
    return false;
  }
  return d->setTokens(msg, cut, std::move(words));
}

PhraseAnswer phraseInTokens(File& f, uint32_t msg, uint32_t cut, const std::vector<uint32_t>& phrase,
                            const std::unordered_set<uint32_t>& skip) {
  PostingDriver* d = postingDriverOf(f);
  return d ? d->phrase(msg, cut, phrase, skip) : PhraseAnswer::Unknown;
}

bool PostingDriver::setTokens(uint32_t msg, uint32_t cut, std::vector<uint32_t> words) {
  if (!beforeWrite()) return false;
  if (!hasTokens_) {
    setError(ErrNotSupported, file_.name(), "the file keeps no words of texts");
    return false;
  }
  Edit* e = edit(Messages, msg, true);
  if (!e) return false;
  e->tokens = std::move(words);
  e->tokensCut = cut;
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
    blob = encodeTokens(e.tokensCut, e.tokens, e.ids);
  } else {
    bool found = false;
    std::string old;
    if (!loadTokens(msg, old, found)) return false;
    if (!found || e.stored == e.ids) return true;
    std::vector<uint32_t> tokens;
    uint32_t cut = 0;
    if (decodeTokens(old, e.stored, cut, tokens)) blob = encodeTokens(cut, tokens, e.ids);
    // A damaged row is dropped: the phrase check then reads the text.
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
  if (!hasTokens_ || words.empty() || edits_[Messages].count(msg)) return PhraseAnswer::Unknown;
  std::string blob;
  bool found = false;
  if (!loadTokens(msg, blob, found) || !found) return PhraseAnswer::Unknown;
  ++gen_;  // look at the file again
  const std::vector<uint32_t>* list = this->list(Messages, msg);
  std::vector<uint32_t> tokens;
  uint32_t madeUnder = 0;
  if (!list || !decodeTokens(blob, *list, madeUnder, tokens) || madeUnder != cut) return PhraseAnswer::Unknown;
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

}  // namespace qv
