// The state of an indexing run (wordindex/index_run.h) shared by the files
// that carry out its stages: index_run.cpp starts, indexes and ends a run;
// index_flush.cpp writes a flush and removes the words that leave the
// index; import_index.cpp feeds a run the messages an import posts. Only
// those three files include this one.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "services/engine_run.h"
#include "services/prompt.h"
#include "wordindex/index_run.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_table.h"

namespace qv {

namespace indexing {

// A moved word's share of the occurrence records from which its records
// are removed by copying the file rather than one by one.
inline constexpr double kCopyShare = 50.7;
// Seconds a flush waits for its files.
inline constexpr int kFlushWait = 5;

enum class Stage {
  Start,
  MovePending,   // words marked for removal go to the stop list
  RemoveByKey,   // their occurrence records are deleted one by one
  DeleteWords,   // and the words leave the word list
  Prepare,
  Index,
  FlushPairs,    // a flush: the occurrence records,
  FlushWords,    // the word counts,
  FlushRemove,   // the occurrence records of words moved to the stop list,
  FlushCommit,   // the moved words and the commit, then the resume point
  Finish,
  Done,
};

// The words of a message in order as text-word numbers: its subject's,
// then its text's, for the phrase check.
struct TextWords {
  uint32_t msg = 0;
  uint32_t subjectWords = 0;
  std::vector<uint32_t> words;
};

// Shows a message of the run ("|" breaks a line) unless it runs unattended.
void tell(const std::string& text, const std::string& caption, Icon icon = Icon::Exclamation);
// Calls the probe of indexTuning() at `point`.
void observe(IndexPoint point);

}  // namespace indexing

// The run on the engine base: one stage a slice; the base holds the run's
// state, its end and its files, and ends it on a halt or a full memory.
struct IndexRun::Impl : EngineRun {
  EngineView engine;  // the base's view: the failure of a run ended by it
  int mode;
  int batch;
  uint32_t database;
  IndexState state;
  IndexView view;
  indexing::Stage stage = indexing::Stage::Start;
  int result = 2;
  bool cancelled = false;
  bool closed = false;
  bool quiet = false;  // no "Indexing finished!": the caller reports the end
  // Fed by an import (import_index.cpp): the texts come from the posting,
  // not from MsgText, and the run holds the index files only.
  bool fed = false;

  int kind = 0;
  bool indexNumbers = true, indexFooters = false, moveFrequent = true;

  StopWords stop;
  // Every word met: those of the index, and stop words with their text-word
  // numbers (all words outside the index that have such a number are stop
  // words).
  indexing::WordTable words;
  size_t indexWords = 0;  // entries of `words` that are not stop words
  bool wordListComplete = false;  // every stored word is in `words` (the list was empty)
  int32_t nextWordId = 1;
  std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (message ID, word ID) since the last flush
  // The words of each message indexed since the last flush, for the phrase check.
  std::vector<indexing::TextWords> texts;
  uint32_t msgStamp = 0;
  std::unordered_map<uint32_t, std::string> headings;  // thread subjects

  // Progress through MsgText.
  int64_t savedCount = 0;  // texts indexed before this run
  int64_t passed = 0;      // texts passed in this run
  int64_t lastTextPos = 0; // position of the last text passed
  int64_t skipPos = 0;     // the resume point, passed over once
  uint32_t currentMsg = 0;
  bool textsEnded = false;
  bool checkExisting = true;  // messages may already have occurrence records
  bool bulk = false;          // MasIdx is appended without key maintenance

  // Words leaving the index: moved to the stop list now or marked before.
  std::unordered_set<uint32_t> removeIds;
  std::vector<int64_t> removeWordPositions;  // their WordList records
  int32_t lastRemovedCount = 0;
  std::vector<uint32_t> removeQueue;  // word IDs whose occurrences are still to be deleted
  std::vector<std::string> movedWords;  // moved to the stop list since the last flush

  // The flush under way (its transaction is open from beginFlush to commitFlush).
  size_t flushAt = 0;
  std::vector<uint32_t> dirtyWords;  // entries of `words`
  bool flushOpen = false;
  bool finishing = false;       // flush everything, then finish

  Impl(int m, int b, uint32_t db, const IndexState& s)
      : EngineRun(engine, kNoBatchRules), mode(m), batch(b), database(db), state(s) {
    if (batch < 1 || batch > 7) batch = 4;
    begin(0);
  }

  // EngineRun: one stage; false once the run has ended.
  bool runSlice(std::chrono::milliseconds) override;
  // A run the base ended (a halt, no memory) closes as not completed: its
  // open flush is rolled back.
  void ended() override {
    if (!closed) close(2);
  }

  bool full() const { return mode == 1; }

  // ---- stages ----

  // Reads the settings the words are cut under and opens the record of moved
  // words; false (told, the run closed) when the configuration cannot be read.
  bool readSettings();
  void start();
  // Starts a run that an import feeds (import_index.cpp): the index files
  // held, the words read; false when it could not start (closed).
  bool startFed();
  void movePending();
  void removeByKey();
  void deleteWords();
  void prepare();
  void indexBatch();
  void indexMessage();
  // Cuts the words of message `id` from its subject and text and counts them.
  void cutMessage(uint32_t id, const std::string& subject, std::string_view text);
  // Counts the word for the message (unless it is a stop word); its
  // text-word number, 0 when there is none.
  uint32_t addWord(const CutWord& w, uint32_t msg);
  // The entry of a word not met before; WordTable::kNone after a failed read
  // (told, and the run ended).
  uint32_t newWord(const CutWord& w, indexing::WordTable::Hash h, uint32_t msg);
  // The files the run holds besides the texts and headers.
  static std::vector<int> indexFiles();
  // Reads the stop list, the next word number and the resume point.
  void prepareWords();
  void beginFlush(bool finish);
  void flushPairs(size_t limit);
  void flushWords(size_t limit);
  void flushRemove(size_t limit);
  void commitFlush();
  void beginRemoval();
  bool removeSome(size_t limit);
  void finish();
  void close(int res);

  bool removeByCopy();
  void appendFailed();
  void wordWriteFailed();
  std::string headingOf(uint32_t thread);
  bool textHeader(uint32_t id, std::string& subject);
  // The subject the index takes for the message in the header buffer (MAI or
  // MSG): a mail's whole subject, a forum message's thread heading.
  std::string bufferedSubject();
  bool hasOccurrences(uint32_t id);
  void updateView();
};

}  // namespace qv
