// The word search over the index (BUILDSEARCH's engine): an AND list of
// words that must all occur and an OR list of which one must occur, each
// word possibly negated (it must not occur), optionally a phrase whose words
// must stand next to each other in the text.
//
// A search is seeded from the index: every message of the rarest AND word,
// or of every OR word when those are rarer together. The seeding pauses
// after every (word-index item ItemSearchPause) index entries to ask whether to go on;
// the other words then filter the seeded messages. A request made only of
// negated words is answered by scanning the messages from the newest, at
// most 1000 hits at a time. Questions and messages go through the prompt
// interface. run() starts the search or continues a paused one.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "wordindex/stop_list.h"

namespace qv {

class FileScope;  // services/file_scope.h

enum class PhraseAnswer;  // storage/posting_driver.h

struct SearchWord {
  std::string word;  // upper case
  int32_t wordId = 0;
  int32_t count = 0;  // messages holding it (WOR.WORDCOUNT)
  bool negated = false;
};

class WordSearch {
 public:
  // kind: the DbKind of the current database.
  explicit WordSearch(int kind);

  std::vector<SearchWord> andList, orList;
  // A phrase search: these words must stand next to each other, in this
  // order, in the text or subject of every message found.
  std::vector<std::string> phrase;
  // At most this many messages are found, the newest: the search stops once
  // it has them (the other words and the phrase are checked only as far as
  // needed). 0: no limit.
  size_t limit = 0;

  // Starts the search, or continues it from its resume points. False when it
  // was refused or found nothing (the user has been told).
  bool run();
  // The matching message IDs, each once, highest (newest) first.
  std::vector<uint32_t> results() const;
  // True when a paused seeding or the scan by messages has more to read.
  bool morePending() const;
  // True when the last run stopped at the limit with messages left unchecked
  // (there may be more matches).
  bool stoppedAtLimit() const { return stoppedAtLimit_; }
  // The lists changed: forget the resume points and the results.
  void reset();

 private:
  bool seed();
  bool scanMessages();
  void filter(std::vector<uint32_t>& ids);
  // filter() over the newest of `ids` first, block by block, until `limit`
  // of them pass; the older ones are left unchecked.
  void filterNewest(std::vector<uint32_t>& ids);
  // Keeps the newest `limit` of `ids` (increasing), noting when some went.
  void keepNewest(std::vector<uint32_t>& ids);
  // The phrase check of the messages found, newest first, until `limit` pass.
  void keepPhraseHits(bool anyPositive, FileScope& moreScope);
  bool phraseIn(uint32_t id);
  // The phrase's answer for each candidate from the words the index keeps
  // of it in order; Unknown where it keeps none (the message is read then).
  std::vector<PhraseAnswer> sequenceAnswers(const std::vector<uint32_t>& candidates);
  std::vector<uint32_t> postings(int32_t wordId);
  bool holds(uint32_t id, int32_t wordId);

  int kind_;
  // Adds messages (increasing, distinct) to those found.
  void addFound(const std::vector<uint32_t>& ids);

  std::vector<uint32_t> found_;  // increasing, distinct
  bool stoppedAtLimit_ = false;
  std::shared_ptr<const StopWords> stop_;  // the stop list while the phrase check runs
  // While the phrase check runs: the phrase's word numbers (empty when not
  // all known) and the indexed words now on the stop list.
  std::vector<uint32_t> phraseIds_;
  std::shared_ptr<const std::unordered_set<uint32_t>> stopIds_;
  // Seeding state: which seed word, and the key position reached in it.
  bool seeded_ = false;
  bool seedFromOr_ = false;
  bool seedDone_ = false;
  size_t seedWord_ = 0;
  int64_t seedPos_ = 0;
  std::vector<uint32_t> pending_;  // seeded, not yet filtered
  // Scan by messages.
  bool scanning_ = false;
  bool scanDone_ = false;
  int64_t scanPos_ = 0;
};

// Whether `phrase` stands in the subject or the indexed text of message `id`
// of a database of kind `kind`, words on `stop` left out: the check every
// phrase hit passes, read from the message itself.
bool phraseInText(int kind, uint32_t id, const std::vector<std::string>& phrase, const StopWords& stop);

// The current database has a word index (MasIdx holds records); otherwise
// tells the user to build it first and returns false.
bool databaseIndexed();

// Replaces the result set of the last search (Search, FileSearch) with `ids`.
bool writeSearchFile(const std::vector<uint32_t>& ids);

}  // namespace qv
