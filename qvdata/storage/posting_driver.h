// The keyed-file driver of the word-occurrence file: (message, word) pairs
// kept as posting lists in an SQLite database (driver name "POSTINGS").
//
// The file is declared like any keyed file, with two number fields (the
// message and the word) and two unique keys over both, one led by each. The
// driver stores per word the sorted list of its messages, in segments of
// delta-coded varints appended by each commit and merged when a word has
// many, and per message the sorted list of its words (docs/posting_file.md).
// It joins transactions across files as the SQLite driver's files do.
//
// Rules:
// - A record's stored position is its pair, (word << 32) | message: stable
//   while the record exists, the same in both keys, never 0.
// - Both keys order the records by their two numbers; file order is the
//   order in which messages last received words, and by word within one
//   message.
// - Writes are kept in memory (and answered from there) until the commit of
//   the transaction or stream they belong to; outside both a write is
//   written at once.
// - A file in the older layout (one row per pair) is converted on the first
//   open for writing, in one transaction.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "storage/posting_edits.h"
#include "storage/sqlite_driver.h"

namespace qv {

inline constexpr const char* kPostingDriverName = "POSTINGS";

// Makes the driver known to the keyed-file layer under kPostingDriverName.
void registerPostingDriver();

// The messages of a word, in increasing order, the writes not yet committed
// included: the whole list at once instead of a walk of MAS:by_WordId.
// False when `f` is not a posting file or the read fails.
bool wordMessages(File& f, uint32_t word, std::vector<uint32_t>& out);

// The words of each message's subject and text, in order, kept beside the
// lists for the phrase check (posting_tokens.cpp). Every word the cut gives
// is kept, stop words included, as a number the file gives the word for
// this use only (its text words), so that a check can leave out the stop
// list of its own time and never reads the text.
//
// The number of `word` among the file's text words, given to it now when it
// has none (written with the next commit). 0 when the file keeps no text
// words or a read failed.
uint32_t textWordNumber(File& f, const std::string& word);
// The numbers of `words` (0 for a word no kept sequence holds); false when
// the file keeps no text words or a read failed.
bool textWordNumbers(File& f, const std::vector<std::string>& words, std::vector<uint32_t>& out);
// Keeps the words of message `msg`: `subjectWords` words of its subject,
// then those of its text, as text-word numbers; `cut` names the settings
// they were cut under (a check under other settings reads the message).
// Written with the transaction or write stream in use; false when `f` is not
// a posting file or the write fails.
bool setMessageSequence(File& f, uint32_t msg, uint32_t cut, uint32_t subjectWords, std::vector<uint32_t> words);

// The older form of the same, which files written before the text words
// hold: the words of the text only, as word numbers of the index, 0 for a
// word the index does not hold. Still read; written only to make such files.
bool setMessageTokens(File& f, uint32_t msg, uint32_t cut, std::vector<uint32_t> words);

// Dirty pages the file's writes spilled from SQLite's page cache before a
// commit (SQLITE_DBSTATUS_CACHE_SPILL of the connections it wrote through)
// since it was opened; 0 when `f` is not a posting file.
int64_t postingCacheSpills(File& f);

enum class PhraseAnswer { Unknown, No, Maybe, Yes };
// From a sequence kept in the older form: whether the words `phrase` (word
// numbers) can stand next to each other in the text of `msg`, the words in
// `skip` left out as the phrase check leaves out stop words, and a word the
// index does not hold taken as one that may be left out. No only when they
// cannot; Unknown when the file keeps no words of that text in that form,
// or keeps them as cut under other settings.
PhraseAnswer phraseInTokens(File& f, uint32_t msg, uint32_t cut, const std::vector<uint32_t>& phrase,
                            const std::unordered_set<uint32_t>& skip);
// From the kept sequences, for each of `msgs` (increasing): Yes when
// `phrase` (text-word numbers, 0 for a word no sequence holds) stands in its
// subject or in its text with the words of `stop` (text-word numbers,
// increasing) left out, No when it does not, Unknown when the file keeps no
// sequence of that message cut under `cut` (then the message is read).
// False when `f` is not a posting file or a read failed.
bool phraseInSequences(File& f, uint32_t cut, const std::vector<uint32_t>& msgs, const std::vector<uint32_t>& phrase,
                       const std::vector<uint32_t>& stop, std::vector<PhraseAnswer>& out);

class PostingDriver : public SqlFileDriver {
 public:
  explicit PostingDriver(File& f);
  ~PostingDriver() override;

  bool open(Share share, const std::string& password) override;
  void close() override;
  bool create() override;
  int64_t records() override;
  bool hasRecords() override;
  bool empty() override;
  bool pack() override;
  bool buildKeys() override;
  bool buildKey(int key) override;
  bool stream() override;
  bool flush() override;
  bool option(std::string_view name, std::string_view value) override;
  void setStart(int key) override;
  void setValue(int key, int components) override;
  void setPosition(int key, int64_t pos) override;
  bool next() override;
  bool previous() override;
  bool get(int key) override;
  bool getPosition(int64_t pos) override;
  bool add() override;
  bool put() override;
  bool remove() override;
  int64_t position() override { return curPos_; }

  bool readOnly() const override { return share_ == Share::ReadOnly; }
  bool finishStream() override;
  void enterTransaction(sqlite3* db, const std::string& schema) override;
  void resetStatements() override;
  bool beforeCommit() override;
  void leaveTransaction(bool committed) override;
  void yieldReads() override;

  int64_t cacheSpills() const { return spilled_; }

  // The two sides of the index: a word's messages, a message's words.
  enum Side { Words = 0, Messages = 1 };

  // The phrase support (posting_tokens.cpp).
  bool wordList(uint32_t word, std::vector<uint32_t>& out);
  bool setTokens(uint32_t msg, uint32_t cut, std::vector<uint32_t> words, uint32_t subjectWords, bool whole);
  PhraseAnswer phrase(uint32_t msg, uint32_t cut, const std::vector<uint32_t>& words,
                      const std::unordered_set<uint32_t>& skip);
  uint32_t textWord(const std::string& word);
  bool textWords(const std::vector<std::string>& words, std::vector<uint32_t>& out);
  bool phraseInSequences(uint32_t cut, const std::vector<uint32_t>& msgs, const std::vector<uint32_t>& phrase,
                         const std::vector<uint32_t>& stop, std::vector<PhraseAnswer>& out);

 private:
  using Edit = PostingEdit;
  // The walk. Key order runs over (entity << 32 | partner) within the
  // inclusive bounds low (next) and high (previous); file order over
  // (message sequence, word) from a point (msg << 32 | word, its sequence).
  struct Walk {
    int key = -2;  // -2 none, -1 file order, else a key
    uint64_t low = 0, high = 0;
    bool haveLast = false;
    uint64_t last = 0;  // the composite of the last record returned
    bool point = false;      // file order: from a record rather than an end
    bool inclusive = false;  // file order: the point's record itself comes first
    int64_t seq = 0;         // file order: the point's message sequence
    uint64_t at = 0;         // file order: the point, msg << 32 | word
  };

  bool fail(int rc);
  bool failHere() { return fail(sqlite3_extended_errcode(cur_->db)); }
  bool exec(const std::string& sql);
  std::string q(const std::string& table) const;
  bool openConnection(int flags);
  bool createTables();
  bool createTokenTable();
  bool checkDeclaration();
  bool getMeta(const std::string& name, std::string& value, bool& found);
  bool setMeta(const std::string& name, const std::string& value);
  bool beforeWrite();
  bool writeThrough();

  // Lists (posting_lists.cpp).
  Side sideOf(int key) const { return key == wordKey_ ? Words : Messages; }
  bool loadStored(Side side, uint32_t id, std::vector<uint32_t>& out);
  // The edit of a list, made on first use; `load` reads the whole list in.
  // Null after a failed read.
  Edit* edit(Side side, uint32_t id, bool load);
  const std::vector<uint32_t>* list(Side side, uint32_t id);
  bool neighbour(Side side, uint32_t id, bool forward, uint32_t& out);
  bool writeEdits();
  // writeEdits with the page cache made large enough for it first
  // (posting_cache.cpp), counting the pages spilled.
  bool writeEditsInCache();
  bool pragmaValue(const std::string& name, int64_t& value);
  int64_t cachePages(int64_t pageSize);
  void raiseCache(int64_t bytes);
  void sizeCacheForEdits();
  void noteSpills();
  bool commitEdits();  // writeEdits and COMMIT, else ROLLBACK and forget
  bool writeWord(uint32_t word, Edit& e);
  bool writeMessage(uint32_t msg, Edit& e);
  bool writeTokens(uint32_t msg, Edit& e);
  bool loadTokens(uint32_t msg, std::string& blob, bool& found);
  bool createTextWordTable();
  bool loadTextWords();
  bool writeTextWords();
  void textWordsCommitted(bool committed);
  bool nextSequence(int64_t& seq);
  bool sequenceOf(uint32_t msg, int64_t& seq, bool& found);
  bool messageAtSequence(int64_t seq, bool forward, uint32_t& msg, int64_t& found);
  bool storedCount(int64_t& n);
  void forgetEdits();
  bool convertOlderLayout();

  // Walks (posting_walk.cpp).
  bool seek(Side side, uint64_t bound, bool forward, uint64_t& out);
  bool step(bool forward);
  bool fileStep(bool forward);
  bool hasPair(uint32_t word, uint32_t msg);
  void load(uint32_t word, uint32_t msg);
  void bufferPair(uint32_t& word, uint32_t& msg) const;

  std::string path_;
  SqlConn own_;
  SqlConn txn_;
  SqlConn* cur_ = &own_;
  Share share_ = Share::Shared;
  bool streaming_ = false;
  bool quickScan_ = false;
  bool hasTokens_ = false;  // the file has the table of the texts' words
  bool hasTextWords_ = false;  // and the table of the text words
  // The text words, loaded whole by the first number given: word to number,
  // the next number, and those given and not yet committed (`textWritten_`
  // of them written in the transaction under way).
  std::unordered_map<std::string, uint32_t> textWords_;
  bool textWordsLoaded_ = false;
  uint32_t nextTextWord_ = 1;
  std::vector<std::pair<uint32_t, std::string>> textPending_;
  size_t textWritten_ = 0;
  int msgField_ = -1, wordField_ = -1;
  int msgKey_ = -1, wordKey_ = -1;
  PostingEdits edits_[2];
  int64_t spilled_ = 0;      // pages spilled before a commit (postingCacheSpills)
  int64_t countDelta_ = 0;   // records added less removed since the last write
  int64_t stored_ = -1;      // records in the file as written; -1 unknown
  int64_t nextSeq_ = 0;      // 0 unknown
  // The last list read from the file, per side, while gen_ is unchanged.
  struct Cached {
    uint32_t id = 0;
    uint64_t gen = UINT64_MAX;
    std::vector<uint32_t> ids;
  } cache_[2];
  uint64_t gen_ = 0;
  int64_t dataVersion_ = -1;  // SQLite's data version at the last word list read (wordList)
  int64_t curPos_ = 0;
  Walk walk_;
};

// Delta-coded varints of a sorted list of numbers (posting_lists.cpp).
std::string encodePostings(const std::vector<uint32_t>& ids);
bool decodePostings(const void* data, size_t size, std::vector<uint32_t>& out);
// One varint; reading stops at `end` or at a number over 32 bits (false).
void appendVarint(std::string& out, uint32_t v);
bool readVarint(const unsigned char*& p, const unsigned char* end, uint32_t& v);

}  // namespace qv
