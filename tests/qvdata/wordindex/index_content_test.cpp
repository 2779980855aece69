// The index an indexing run leaves of a generated corpus, to the byte: the
// word list (number, word, count), the stop list, and every row the
// occurrence file holds (each word's segments, each message's words and
// place in file order, the texts' word sequences, the text words) hash to a
// known value. Corpus, settings and flush size are fixed, so the value moves
// only when what the index holds moves; a change in how the run keeps its
// words in memory must leave it where it is.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "corpus_gen.h"
#include "corpus_post.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "support/services_fixture.h"
#include "wordindex/index_run.h"

using namespace qv;

namespace {

// The hash of the index of the corpus below as the run writes it.
constexpr uint64_t kKnownIndex = 0xc9b11307546d4d75ull;

constexpr size_t kFlushPairs = 3000;       // several flushes, several segments a word
constexpr int64_t kFrequentAfter = 200;    // and words moved to the stop list on the way

// FNV-1a over the rows, each field followed by a separator.
struct Digest {
  uint64_t h = 1469598103934665603ull;
  int64_t rows = 0;
  void bytes(const void* p, size_t n) {
    const auto* c = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
      h ^= c[i];
      h *= 1099511628211ull;
    }
  }
  void field(const std::string& s) {
    bytes(s.data(), s.size());
    bytes("\x1f", 1);
  }
  void field(int64_t v) { field(std::to_string(v)); }
  void endRow() {
    bytes("\x1e", 1);
    ++rows;
  }
};

// Every row of `sql`'s result, its columns as text or bytes.
bool digestRows(sqlite3* db, const std::string& sql, Digest& d) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      const void* p = sqlite3_column_blob(st, c);
      d.field(std::string(p ? static_cast<const char*>(p) : "", size_t(sqlite3_column_bytes(st, c))));
    }
    d.endRow();
  }
  sqlite3_finalize(st);
  return rc == SQLITE_DONE;
}

class IndexContentTest : public qvtest::InstallationTest {
 protected:
  void TearDown() override {
    indexTuning() = IndexTuning();
    qvtest::InstallationTest::TearDown();
  }
};

TEST_F(IndexContentTest, TheIndexOfAGeneratedCorpusIsTheKnownOne) {
  indexTuning().flushPairs = kFlushPairs;
  indexTuning().frequentAfter = kFrequentAfter;
  Mem.DoTask = RunUnattended;
  qvbench::CorpusGenerator gen({.messages = 1200, .seed = 23, .vocabulary = 3000});
  qvbench::PostedCorpus posted;
  std::string error;
  ASSERT_TRUE(qvbench::postCorpus(gen, "Generated", posted, error)) << error;
  findDatabase(posted.database);
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  ASSERT_EQ(INDEXFILE1(2, 4, posted.database, state), 1) << prompts.transcript();

  Digest words, stops, postings;
  OP_CLOSE(OpShared, {FileWordList, FileStopList});
  WordList.set(WOR_by_WordId);
  while (WordList.next()) {
    words.field(WOR.WORDID);
    words.field(WOR.THEWORD.str());
    words.field(WOR.WORDCOUNT);
    words.endRow();
  }
  StopList.set(STO_BY_THEWORD);
  while (StopList.next()) {
    stops.field(STO.THEWORD.str());
    stops.endRow();
  }
  OP_CLOSE(OpRelease, {FileWordList, FileStopList});

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(filePath(FileMasIdx).c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  for (const char* sql : {"SELECT word, segment, count, messages FROM word_postings ORDER BY word, segment",
                          "SELECT message, sequence, count, words FROM message_words ORDER BY message",
                          "SELECT message, tokens FROM message_tokens ORDER BY message",
                          "SELECT id, word FROM text_words ORDER BY id",
                          "SELECT value FROM qv_meta WHERE name = 'records'"})
    EXPECT_TRUE(digestRows(db, sql, postings)) << sql << ": " << sqlite3_errmsg(db);
  sqlite3_close(db);

  EXPECT_GT(words.rows, 1000);
  EXPECT_GT(postings.rows, 5000);
  Digest all;
  for (const Digest* d : {&words, &stops, &postings}) all.bytes(&d->h, sizeof d->h);
  char shown[17];
  std::snprintf(shown, sizeof shown, "%016llx", static_cast<unsigned long long>(all.h));
  EXPECT_EQ(all.h, kKnownIndex) << "0x" << shown << ": " << words.rows << " words, " << stops.rows
                                << " stop words, " << postings.rows << " rows of the occurrence file";
}

}  // namespace
