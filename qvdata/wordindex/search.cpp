#include "wordindex/search.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"
#include "storage/file_stamp.h"
#include "storage/posting_driver.h"
#include "wordindex/bar_lines.h"
#include "wordindex/index_text.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

constexpr size_t kScanHits = 1000;
// With a limit, candidates are checked in blocks of four times the limit,
// and of at least this many.
constexpr size_t kLimitBlock = 256;

std::shared_ptr<const std::unordered_set<uint32_t>> stoppedWordIds(const std::shared_ptr<const StopWords>& stop);

// Runs `check` (which keeps those of a block that pass) over `ids`
// (increasing) block by block from the newest down, until `limit` have
// passed; without a limit over all of them as one block. Gives those that
// passed, increasing; `unchecked` tells whether older ones were left.
std::vector<uint32_t> checkNewestFirst(const std::vector<uint32_t>& ids, size_t limit,
                                       const std::function<void(std::vector<uint32_t>&)>& check, bool& unchecked) {
  const size_t block = limit == 0 ? std::max<size_t>(ids.size(), 1) : std::max(limit * 4, kLimitBlock);
  std::vector<std::vector<uint32_t>> parts;  // newest block first
  size_t passed = 0;
  size_t hi = ids.size();
  while (hi > 0 && (limit == 0 || passed < limit)) {
    size_t lo = hi > block ? hi - block : 0;
    std::vector<uint32_t> part(ids.begin() + long(lo), ids.begin() + long(hi));
    check(part);
    passed += part.size();
    parts.push_back(std::move(part));
    hi = lo;
  }
  unchecked = hi > 0;
  std::vector<uint32_t> out;
  out.reserve(passed);
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) out.insert(out.end(), part->begin(), part->end());
  return out;
}

// Message files of a kind, opened for the phrase check.
std::vector<int> headerFiles(int kind) {
  return kind == KindMailDb ? std::vector<int>{FileMail} : std::vector<int>{FileMsgNmbr, FileThreads};
}

}  // namespace

WordSearch::WordSearch(int kind) : kind_(kind) {}

void WordSearch::reset() {
  found_.clear();
  seeded_ = seedFromOr_ = seedDone_ = false;
  seedWord_ = 0;
  seedPos_ = 0;
  pending_.clear();
  scanning_ = scanDone_ = false;
  scanPos_ = 0;
}

bool WordSearch::morePending() const { return (seeded_ && !seedDone_) || (scanning_ && !scanDone_); }

std::vector<uint32_t> WordSearch::results() const { return std::vector<uint32_t>(found_.rbegin(), found_.rend()); }

std::vector<uint32_t> WordSearch::postings(int32_t wordId) {
  std::vector<uint32_t> ids;
  if (wordMessages(MasIdx, uint32_t(wordId), ids)) return ids;
  ids.clear();
  MAS = MasIdxRec();
  MAS.WORDID = uint32_t(wordId);
  MasIdx.setPrefix(MAS_by_WordId, 1);
  while (MasIdx.next() && MAS.WORDID == uint32_t(wordId)) ids.push_back(MAS.SYSID);
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool WordSearch::holds(uint32_t id, int32_t wordId) {
  MAS.SYSID = id;
  MAS.WORDID = uint32_t(wordId);
  return MasIdx.get(MAS_by_SysID);
}

bool WordSearch::run() {
  if (andList.empty() && orList.empty()) {
    Message("Nothing (More) to Search for!", "No Search", Icon::Exclamation);
    return false;
  }
  bool anyPositive = std::any_of(andList.begin(), andList.end(), [](const SearchWord& w) { return !w.negated; }) ||
                     std::any_of(orList.begin(), orList.end(), [](const SearchWord& w) { return !w.negated; });
  // The texts are read only to go through every message (no word to find)
  // or to check a phrase.
  std::vector<int> files = {FileMasIdx};
  if (!anyPositive) files.push_back(FileMsgText);
  FileScope scope(files);
  FileScope moreScope(std::vector<int>{});  // the files a phrase check reads besides
  stoppedAtLimit_ = false;
  bool ok = anyPositive ? seed() : scanMessages();
  if (ok && !phrase.empty()) {
    keepPhraseHits(anyPositive, moreScope);
    if (found_.empty()) {
      scope.release();
      moreScope.release();
      Message("No documents contain the phrase. Sorry!", "No Matches", Icon::Information, BtnRetry, BtnRetry);
      return false;
    }
  }
  scope.release();
  moreScope.release();
  if (!ok) return false;
  if (found_.empty()) {
    Message("No Messages Match your Search Criteria. Sorry!", "No Matches", Icon::Information);
    return false;
  }
  return true;
}

void WordSearch::keepPhraseHits(bool anyPositive, FileScope& moreScope) {
  stop_ = storedStopList();  // as it is now: words may have moved there since the last search
  phraseIds_.clear();
  bool opened = false;
  // Messages the index cannot answer for are read: their texts and subjects,
  // and the word list. Opened once, when the first such message comes.
  auto openForReading = [&] {
    opened = true;
    std::vector<int> more = headerFiles(kind_);
    more.push_back(FileWordList);
    if (anyPositive) more.push_back(FileMsgText);
    moreScope = FileScope(more);
    // The phrase's word numbers, when every word is among the AND words.
    for (const std::string& p : phrase) {
      auto w = std::find_if(andList.begin(), andList.end(),
                            [&](const SearchWord& a) { return !a.negated && a.word == p && a.wordId > 0; });
      if (w == andList.end()) {
        phraseIds_.clear();
        break;
      }
      phraseIds_.push_back(uint32_t(w->wordId));
    }
    if (!phraseIds_.empty()) stopIds_ = stoppedWordIds(stop_);
  };
  // The index answers for the messages whose words it keeps in order; the
  // others are read.
  bool unchecked = false;
  std::vector<uint32_t> hits = checkNewestFirst(found_, limit, [&](std::vector<uint32_t>& part) {
    std::vector<PhraseAnswer> answers = sequenceAnswers(part);
    if (!opened && std::count(answers.begin(), answers.end(), PhraseAnswer::Unknown) > 0) openForReading();
    std::vector<uint32_t> keep;
    for (size_t i = 0; i < part.size(); ++i)
      if (answers[i] == PhraseAnswer::Yes || (answers[i] == PhraseAnswer::Unknown && phraseIn(part[i])))
        keep.push_back(part[i]);
    part.swap(keep);
  }, unchecked);
  stop_.reset();
  stopIds_.reset();
  if (unchecked) stoppedAtLimit_ = true;
  found_ = std::move(hits);
  keepNewest(found_);
}

// Seeds from the rarest AND word or from the OR words, pausing to ask, then filters.
bool WordSearch::seed() {
  std::vector<const SearchWord*> seeds;
  if (seeded_ && seedDone_) reset();  // a finished search starts again
  if (!seeded_) {
    const SearchWord* rarest = nullptr;
    for (const SearchWord& w : andList)
      if (!w.negated && (!rarest || w.count < rarest->count)) rarest = &w;
    int64_t orTotal = 0;
    bool orPositive = false;
    for (const SearchWord& w : orList)
      if (!w.negated) {
        orTotal += w.count;
        orPositive = true;
      }
    seedFromOr_ = !rarest || (orPositive && rarest->count > orTotal);
    if (seedFromOr_ && !orPositive) {
      Message("Logic Error - should not have NOTS on OR list here!", "Internal Error", Icon::Hand);
      return false;
    }
    seeded_ = true;
    seedWord_ = 0;
    seedPos_ = 0;
  }
  if (seedFromOr_) {
    for (const SearchWord& w : orList)
      if (!w.negated) seeds.push_back(&w);
  } else {
    const SearchWord* rarest = nullptr;
    for (const SearchWord& w : andList)
      if (!w.negated && (!rarest || w.count < rarest->count)) rarest = &w;
    seeds.push_back(rarest);
  }
  int64_t pauseEvery = std::max<int64_t>(1, WSVarsGet(ItemSearchPause));
  int64_t read = 0;
  // One seed word's messages are distinct already; several may share some.
  std::unordered_set<uint32_t> seen;
  const bool distinct = seeds.size() == 1 && pending_.empty();
  if (!distinct) seen.insert(pending_.begin(), pending_.end());
  bool paused = false;
  auto askToGoOn = [&] {
    // The position reached is kept; the user decides whether to read on.
    Button b = Message(barLines(std::to_string(found_.size() + pending_.size()) +
                                " search hits found!|But there are more records to search.|Would you like to "
                                "search more records now?"),
                       "Search More?", Icon::Question, BtnYes | BtnNo, BtnYes);
    return b == BtnYes;
  };
  while (seedWord_ < seeds.size() && !paused) {
    const uint32_t wid = uint32_t(seeds[seedWord_]->wordId);
    std::vector<uint32_t> list;
    if (wordMessages(MasIdx, wid, list)) {
      // The word's messages at once, read as the walk of MAS:by_WordId would
      // read them (a record's position is word << 32 | message).
      auto at = list.begin();
      if (seedPos_ > 0) at = std::upper_bound(list.begin(), list.end(), uint32_t(uint64_t(seedPos_) & 0xFFFFFFFFu));
      while (at != list.end()) {
        if (distinct || seen.insert(*at).second) pending_.push_back(*at);
        seedPos_ = int64_t((uint64_t(wid) << 32) | *at);
        bool have = ++at != list.end();
        if (++read % pauseEvery == 0 && (have || seedWord_ + 1 < seeds.size()) && !askToGoOn()) {
          paused = true;
          break;
        }
      }
      if (paused && at != list.end()) break;
      ++seedWord_;
      seedPos_ = 0;
      continue;
    }
    MAS = MasIdxRec();
    MAS.WORDID = wid;
    bool resumed = seedPos_ > 0;
    if (resumed)
      MasIdx.setPosition(MAS_by_WordId, seedPos_);
    else
      MasIdx.setPrefix(MAS_by_WordId, 1);
    bool have = MasIdx.next() && MAS.WORDID == wid;
    if (have && resumed && MasIdx.position() == seedPos_) have = MasIdx.next() && MAS.WORDID == wid;
    while (have) {
      if (seen.insert(MAS.SYSID).second) pending_.push_back(MAS.SYSID);
      seedPos_ = MasIdx.position();
      have = MasIdx.next() && MAS.WORDID == wid;
      if (++read % pauseEvery == 0 && (have || seedWord_ + 1 < seeds.size()) && !askToGoOn()) {
        paused = true;
        break;
      }
    }
    if (paused && have) break;
    ++seedWord_;
    seedPos_ = 0;
  }
  seedDone_ = seedWord_ >= seeds.size();
  std::vector<uint32_t> ids = std::move(pending_);
  pending_.clear();
  // One word's messages are in order already.
  if (!std::is_sorted(ids.begin(), ids.end())) std::sort(ids.begin(), ids.end());
  filterNewest(ids);
  addFound(ids);
  // A phrase still checks the candidates: the limit holds for what passes.
  if (phrase.empty()) keepNewest(found_);
  return true;
}

void WordSearch::filterNewest(std::vector<uint32_t>& ids) {
  if (limit == 0 || !phrase.empty() || ids.size() <= limit) {
    filter(ids);
    return;
  }
  bool unchecked = false;
  ids = checkNewestFirst(ids, limit, [&](std::vector<uint32_t>& part) { filter(part); }, unchecked);
  if (unchecked) stoppedAtLimit_ = true;
  keepNewest(ids);
}

void WordSearch::keepNewest(std::vector<uint32_t>& ids) {
  if (limit == 0 || ids.size() <= limit) return;
  ids.erase(ids.begin(), ids.end() - long(limit));
  stoppedAtLimit_ = true;
}

// The AND words other than the seed, then the OR list.
void WordSearch::filter(std::vector<uint32_t>& ids) {
  const SearchWord* seedWord = nullptr;
  if (!seedFromOr_)
    for (const SearchWord& w : andList)
      if (!w.negated && (!seedWord || w.count < seedWord->count)) seedWord = &w;
  auto apply = [&](const SearchWord& w, bool mustHold) {
    if (ids.empty()) return;
    std::vector<uint32_t> out;
    if (int64_t(w.count) <= int64_t(ids.size()) * 8) {
      // Few enough occurrences: walk them and merge.
      std::vector<uint32_t> post = postings(w.wordId);
      if (mustHold)
        std::set_intersection(ids.begin(), ids.end(), post.begin(), post.end(), std::back_inserter(out));
      else
        std::set_difference(ids.begin(), ids.end(), post.begin(), post.end(), std::back_inserter(out));
    } else {
      for (uint32_t id : ids)
        if (holds(id, w.wordId) == mustHold) out.push_back(id);
    }
    ids.swap(out);
  };
  for (const SearchWord& w : andList)
    if (&w != seedWord) apply(w, !w.negated);
  if (orList.empty()) return;
  if (!seedFromOr_) {
    // At least one OR word must be there.
    std::vector<uint32_t> any;
    bool positive = false;
    for (const SearchWord& w : orList) {
      if (w.negated) continue;
      positive = true;
      std::vector<uint32_t> part = ids;
      apply(w, true);
      std::vector<uint32_t> merged;
      std::set_union(any.begin(), any.end(), ids.begin(), ids.end(), std::back_inserter(merged));
      any.swap(merged);
      ids.swap(part);
    }
    if (positive) ids.swap(any);
  }
  for (const SearchWord& w : orList)
    if (w.negated) apply(w, false);
}

// A request of NOT words only: the messages from the newest down that hold none of them.
bool WordSearch::scanMessages() {
  if (!scanning_) {
    Button b = Message(barLines("The Search you have requested has too many matches.|The 1st " +
                             std::to_string(kScanHits) +
                             " will be found or try a more restrictive Search.|Would you like to Continue or Cancel "
                             "the Search?"),
                       "Too Many Matches", Icon::Question, BtnOk | BtnCancel, BtnOk);
    if (b != BtnOk) return false;
    scanning_ = true;
    scanPos_ = 0;
  }
  if (scanDone_) {
    Message("Nothing (More) to Search for!", "No Search", Icon::Exclamation);
    return false;
  }
  if (scanPos_ > 0)
    MsgText.setPosition(TXT_IdKey, scanPos_);
  else
    MsgText.set(TXT_IdKey);
  bool skipFirst = scanPos_ > 0;
  size_t hits = 0;
  bool ended = true;
  std::vector<uint32_t> more;
  while (MsgText.previous()) {
    if (skipFirst) {
      skipFirst = false;
      if (MsgText.position() == scanPos_) continue;
    }
    scanPos_ = MsgText.position();
    uint32_t id = TXT.MSGNUMBER;
    bool keep = true;
    for (const SearchWord& w : andList)
      if (keep && holds(id, w.wordId)) keep = false;
    for (const SearchWord& w : orList)
      if (keep && holds(id, w.wordId)) keep = false;
    if (!keep) continue;
    more.push_back(id);
    if (++hits >= kScanHits || (limit > 0 && hits >= limit)) {
      if (limit > 0 && hits >= limit) stoppedAtLimit_ = true;
      ended = false;
      break;
    }
  }
  std::sort(more.begin(), more.end());
  more.erase(std::unique(more.begin(), more.end()), more.end());
  addFound(more);
  scanDone_ = ended;
  return true;
}

void WordSearch::addFound(const std::vector<uint32_t>& ids) {
  if (found_.empty()) {
    found_ = ids;
    return;
  }
  std::vector<uint32_t> merged;
  merged.reserve(found_.size() + ids.size());
  std::set_union(found_.begin(), found_.end(), ids.begin(), ids.end(), std::back_inserter(merged));
  found_.swap(merged);
}

namespace {

// Whether the phrase stands in `piece` as the index cuts it, stop words left out.
bool phraseInPiece(std::string_view piece, const std::vector<std::string>& phrase, const StopWords& stop,
                   bool numbers) {
  std::vector<std::string> seq;
  WordCutter cut(piece);
  CutWord w;
  while (cut.next(w))
    if (acceptWord(w, numbers) && !stop.count(w.word)) seq.push_back(w.word);
  return std::search(seq.begin(), seq.end(), phrase.begin(), phrase.end()) != seq.end();
}

bool phraseInSubject(int kind, uint32_t id, const std::vector<std::string>& phrase, const StopWords& stop,
                     bool numbers) {
  std::string subject;
  if (readMessage(kind, id)) subject = subjectOfMessage(kind);
  return phraseInPiece(subject, phrase, stop, numbers);
}

// The indexed parts of the text are read as one piece.
bool phraseInBody(int kind, uint32_t id, const std::vector<std::string>& phrase, const StopWords& stop,
                  bool numbers) {
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  if (!MsgText.get(TXT_IdKey)) TXT.MsgText.clear();
  std::string text;
  forEachIndexedPart(TXT.MsgText, kind, footersIndexed(kind), [&](std::string_view piece) {
    text.append(piece);
    text += ' ';
  });
  return phraseInPiece(text, phrase, stop, numbers);
}

// The numbers a file gives the words of the stop list, made by `make` once
// for each state of the stop list and of the file (one cache per kind of
// numbers).
template <typename Numbers>
std::shared_ptr<const Numbers> numbersOfStopWords(int file, const std::shared_ptr<const StopWords>& stop,
                                                  const std::function<std::shared_ptr<Numbers>()>& make) {
  static std::mutex mutex;
  static std::shared_ptr<const StopWords> forStop;
  static std::string forFile;
  static std::shared_ptr<const Numbers> cached;
  std::lock_guard<std::mutex> lock(mutex);
  std::string stamp = storedFileStamp(filePath(file));
  if (cached && forStop == stop && !stamp.empty() && stamp == forFile) return cached;
  std::shared_ptr<Numbers> made = make();
  if (!made) return nullptr;
  cached = made;
  forStop = stop;
  forFile = stamp;
  return cached;
}

// The indexed words that are on the stop list now (put there by hand since
// they were indexed), for each state of the stop list and word list.
std::shared_ptr<const std::unordered_set<uint32_t>> stoppedWordIds(const std::shared_ptr<const StopWords>& stop) {
  return numbersOfStopWords<std::unordered_set<uint32_t>>(FileWordList, stop, [&] {
    auto ids = std::make_shared<std::unordered_set<uint32_t>>();
    BufferGuard keep({&WordList});
    for (const std::string& w : *stop) {
      WOR = WordListRec();
      WOR.THEWORD = w;
      if (WordList.get(WOR_by_theWord)) ids->insert(uint32_t(WOR.WORDID));
    }
    return ids;
  });
}

// The stop list's words among the occurrence file's text words, increasing;
// null when the file keeps none.
std::shared_ptr<const std::vector<uint32_t>> stoppedTextWords(const std::shared_ptr<const StopWords>& stop) {
  return numbersOfStopWords<std::vector<uint32_t>>(FileMasIdx, stop, [&]() -> std::shared_ptr<std::vector<uint32_t>> {
    std::vector<std::string> words(stop->begin(), stop->end());
    auto numbers = std::make_shared<std::vector<uint32_t>>();
    if (!textWordNumbers(MasIdx, words, *numbers)) return nullptr;
    numbers->erase(std::remove(numbers->begin(), numbers->end(), 0u), numbers->end());
    std::sort(numbers->begin(), numbers->end());
    return numbers;
  });
}

}  // namespace

bool phraseInText(int kind, uint32_t id, const std::vector<std::string>& phrase, const StopWords& stop) {
  bool numbers = WSVarsGet(ItemIndexNumbers) != 0;
  return phraseInSubject(kind, id, phrase, stop, numbers) || phraseInBody(kind, id, phrase, stop, numbers);
}

std::vector<PhraseAnswer> WordSearch::sequenceAnswers(const std::vector<uint32_t>& candidates) {
  std::vector<PhraseAnswer> answers(candidates.size(), PhraseAnswer::Unknown);
  std::vector<uint32_t> words;
  if (!textWordNumbers(MasIdx, phrase, words)) return answers;
  std::shared_ptr<const std::vector<uint32_t>> stop = stoppedTextWords(stop_);
  bool numbers = WSVarsGet(ItemIndexNumbers) != 0;
  if (!stop || !phraseInSequences(MasIdx, textCut(numbers, footersIndexed(kind_)), candidates, words, *stop, answers))
    answers.assign(candidates.size(), PhraseAnswer::Unknown);
  return answers;
}

// The subject is read; the text only when the words the index keeps of it
// leave the phrase possible.
bool WordSearch::phraseIn(uint32_t id) {
  const StopWords& stop = *stop_;
  bool numbers = WSVarsGet(ItemIndexNumbers) != 0;
  if (phraseInSubject(kind_, id, phrase, stop, numbers)) return true;
  if (stopIds_ && phraseInTokens(MasIdx, id, textCut(numbers, footersIndexed(kind_)), phraseIds_, *stopIds_) ==
                      PhraseAnswer::No)
    return false;
  return phraseInBody(kind_, id, phrase, stop, numbers);
}

bool databaseIndexed() {
  FileScope scope({FileMasIdx});
  bool indexed = MasIdx.hasRecords();
  scope.release();
  if (!indexed)
    Message("This database has no word index yet.\r\nBuild the word index first, then search again.",
            " Database not indexed!", Icon::Exclamation);
  return indexed;
}

bool writeSearchFile(const std::vector<uint32_t>& ids) {
  FileScope scope({FileSearch});
  size_t next = 0;
  bool ok = Search.stream() && Search.empty() && Search.addEach(
                                                     [&] {
                                                       if (next == ids.size()) return false;
                                                       SEA.ID = ids[next++];
                                                       return true;
                                                     },
                                                     true);
  ok = Search.flush() && ok;
  return ok;
}

}  // namespace qv
