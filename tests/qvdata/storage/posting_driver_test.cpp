// The posting-list driver of the word-occurrence file against the SQLite
// driver on the same declaration: random adds and removes, walks in both
// keys from every kind of start, positions, single reads and counts, inside
// and outside transactions and write streams; rollback; the conversion of a
// file written in the one-row-per-pair layout.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <random>
#include <set>

#include "storage/file.h"
#include "storage/posting_driver.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace {

struct PairRec {
  uint32_t SYSID = 0;
  uint32_t WORDID = 0;
};
PairRec REF, POS;

// The word-occurrence declaration under a given driver and buffer.
FileDecl makeDecl(const std::string& driver, PairRec& buffer) {
  FileDecl decl{0, "MasIdx", "MAS", driver};
  DeclBuilder<PairRec> b(decl, buffer);
  b.field("SYSID", &PairRec::SYSID).field("WORDID", &PairRec::WORDID);
  b.key("by_SysID", {{"SYSID"}, {"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
      .key("by_WordId", {{"WORDID"}, {"SYSID"}}, KeyDup | KeyExcludeEmpty);
  return decl;
}
FileDecl& refDecl() {
  static FileDecl d = makeDecl("ARDENT", REF);
  return d;
}
FileDecl& posDecl() {
  static FileDecl d = [] {
    registerPostingDriver();
    return makeDecl(kPostingDriverName, POS);
  }();
  return d;
}

using Pair = std::pair<uint32_t, uint32_t>;  // (SYSID, WORDID)
constexpr int kBySys = 0, kByWord = 1;

class PostingDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ref.setName(dir.file("REF.ADF"));
    pos.setName(dir.file("POS.ADF"));
    ASSERT_TRUE(ref.create()) << ErrorText();
    ASSERT_TRUE(pos.create()) << ErrorText();
    ASSERT_TRUE(ref.open()) << ErrorText();
    ASSERT_TRUE(pos.open()) << ErrorText();
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    ref.close();
    pos.close();
  }
  static Pair of(const PairRec& r) { return {r.SYSID, r.WORDID}; }
  static void put(PairRec& r, Pair p) { r.SYSID = p.first, r.WORDID = p.second; }

  // Up to `max` records of a walk, stepping by `steps` (true: next).
  std::vector<Pair> walkOf(File& f, PairRec& r, const std::vector<bool>& steps) {
    std::vector<Pair> out;
    for (bool forward : steps) {
      if (!(forward ? f.next() : f.previous())) {
        out.push_back({0, 0});
        continue;
      }
      out.push_back(of(r));
    }
    return out;
  }
  std::vector<Pair> all(File& f, PairRec& r, int key, bool forward) {
    std::vector<Pair> out;
    f.set(f.key(key));
    while (forward ? f.next() : f.previous()) out.push_back(of(r));
    return out;
  }
  // Both files hold the same records in the same key orders.
  void expectSame(const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(ref.records(), pos.records());
    EXPECT_EQ(ref.hasRecords(), pos.hasRecords());
    for (int key : {kBySys, kByWord})
      for (bool forward : {true, false}) EXPECT_EQ(all(ref, REF, key, forward), all(pos, POS, key, forward));
    // A word's messages read as one list are those of the walk.
    std::map<uint32_t, std::vector<uint32_t>> byWord;
    for (Pair p : all(ref, REF, kByWord, true)) byWord[p.second].push_back(p.first);
    byWord[999999];  // a word without messages
    for (const auto& [word, messages] : byWord) {
      std::vector<uint32_t> list;
      EXPECT_TRUE(wordMessages(pos, word, list)) << ErrorText();
      EXPECT_EQ(list, messages) << "word " << word;
    }
    std::set<Pair> a, b;
    ref.setFileOrder();
    while (ref.next()) a.insert(of(REF));
    pos.setFileOrder();
    while (pos.next()) b.insert(of(POS));
    EXPECT_EQ(a, b);
  }
  bool add(Pair p, bool append) {
    put(REF, p);
    put(POS, p);
    bool r = append ? ref.append() : ref.add();
    Err re = Err(ErrorCode());
    bool s = append ? pos.append() : pos.add();
    EXPECT_EQ(r, s) << p.first << "/" << p.second;
    if (!r) {
      EXPECT_EQ(re, ErrDuplicateKey);
      EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
    }
    return r;
  }
  bool remove(Pair p) {
    put(REF, p);
    put(POS, p);
    bool r = ref.get(ref.key(kBySys)) && ref.remove();
    bool s = pos.get(pos.key(kBySys)) && pos.remove();
    EXPECT_EQ(r, s) << p.first << "/" << p.second;
    return r;
  }

  TempDir dir;
  File ref{refDecl()};
  File pos{posDecl()};
};

TEST_F(PostingDriverTest, RandomWorkGivesTheSameAnswersAsTheSqliteDriver) {
  std::mt19937 rng(7);
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n) + 1; };
  for (int round = 0; round < 12; ++round) {
    int mode = round % 4;  // 0 plain, 1 transaction, 2 stream, 3 transaction rolled back
    std::vector<Pair> before;
    if (mode == 3) before = all(ref, REF, kBySys, true);
    if (mode == 1 || mode == 3) {
      ASSERT_TRUE(beginTransaction({&pos, &ref}, 1)) << ErrorText();
    } else if (mode == 2) {
      ASSERT_TRUE(ref.stream());
      ASSERT_TRUE(pos.stream());
    }
    for (int op = 0; op < (mode == 0 ? 80 : 250); ++op) {
      Pair p{pick(50), pick(40)};
      int what = int(rng() % 10);
      if (what < 6) {
        add(p, what == 0);
      } else if (what < 8) {
        remove(p);
      } else {
        // Reads in the middle of the writes: a pair, a prefix walk each way,
        // a walk from a whole value, and a walk resumed from a position.
        int key = int(rng() % 2);
        put(REF, p);
        put(POS, p);
        bool r = ref.get(ref.key(kBySys)), s = pos.get(pos.key(kBySys));
        ASSERT_EQ(r, s);
        std::vector<bool> steps = {true, true, false, true, false, false, false, true};
        put(REF, p);
        put(POS, p);
        ref.setPrefix(ref.key(key), 1);
        pos.setPrefix(pos.key(key), 1);
        ASSERT_EQ(walkOf(ref, REF, steps), walkOf(pos, POS, steps)) << "prefix " << key;
        put(REF, p);
        put(POS, p);
        ref.setPrefix(ref.key(key), 1);
        pos.setPrefix(pos.key(key), 1);
        std::vector<bool> back = {false, false, true, false};
        ASSERT_EQ(walkOf(ref, REF, back), walkOf(pos, POS, back)) << "prefix back " << key;
        put(REF, p);
        put(POS, p);
        ref.set(ref.key(key), ref.key(key));
        pos.set(pos.key(key), pos.key(key));
        ASSERT_EQ(walkOf(ref, REF, steps), walkOf(pos, POS, steps)) << "value " << key;
        if (r) {
          put(REF, p);
          put(POS, p);
          ASSERT_TRUE(ref.get(ref.key(kBySys)));
          ASSERT_TRUE(pos.get(pos.key(kBySys)));
          int64_t rp = ref.position(), sp = pos.position();
          EXPECT_NE(sp, 0);
          ref.setPosition(ref.key(key), rp);
          pos.setPosition(pos.key(key), sp);
          ASSERT_EQ(walkOf(ref, REF, steps), walkOf(pos, POS, steps)) << "position " << key;
          ASSERT_TRUE(pos.getPosition(sp));
          EXPECT_EQ(of(POS), p);
        }
      }
    }
    if (mode == 1) {
      ASSERT_TRUE(commitTransaction()) << ErrorText();
    } else if (mode == 3) {
      rollbackTransaction();
      EXPECT_EQ(all(ref, REF, kBySys, true), before);
    } else if (mode == 2) {
      ASSERT_TRUE(ref.flush());
      ASSERT_TRUE(pos.flush());
    }
    expectSame(("round " + std::to_string(round)).c_str());
  }
  // The same after the file is opened again.
  pos.close();
  ASSERT_TRUE(pos.open()) << ErrorText();
  expectSame("reopened");
  // Emptied and packed.
  ASSERT_TRUE(pos.pack()) << ErrorText();
  expectSame("packed");
  ASSERT_TRUE(pos.empty());
  ASSERT_TRUE(ref.empty());
  expectSame("emptied");
}

TEST_F(PostingDriverTest, AWordsLastMessageGoesAndTheWalkGoesOnToTheNextWord) {
  for (Pair p : {Pair{1, 5}, Pair{2, 5}, Pair{3, 5}, Pair{1, 9}, Pair{4, 9}}) ASSERT_TRUE(add(p, true));
  ASSERT_TRUE(pos.stream());
  // Deleted one by one from the word's first record, as the purge does.
  for (;;) {
    put(POS, {0, 5});
    pos.setPrefix(pos.key(kByWord), 1);
    if (!pos.next() || POS.WORDID != 5) break;
    ASSERT_TRUE(pos.remove());
  }
  EXPECT_EQ(of(POS), (Pair{1, 9}));
  ASSERT_TRUE(pos.flush());
  EXPECT_EQ(pos.records(), 2);
  put(POS, {1, 5});
  EXPECT_FALSE(pos.get(pos.key(kBySys)));
  EXPECT_EQ(ErrorCode(), ErrNotFound);
  put(POS, {1, 9});
  EXPECT_TRUE(pos.get(pos.key(kBySys)));
}

TEST_F(PostingDriverTest, RolledBackTransactionLeavesTheFileAsItWas) {
  ASSERT_TRUE(beginTransaction({&pos, &ref}, 1)) << ErrorText();
  for (uint32_t m = 1; m <= 30; ++m)
    for (uint32_t w = 1; w <= 10; ++w)
      if ((m + w) % 3) {
        ASSERT_TRUE(add({m, w}, true));
      }
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  pos.close();
  std::string bytes = qvtest::readFile(pos.name());
  ASSERT_TRUE(pos.open());
  ASSERT_TRUE(beginTransaction({&pos}, 1)) << ErrorText();
  for (uint32_t m = 31; m <= 40; ++m) {
    put(POS, {m, 1});
    ASSERT_TRUE(pos.add());
  }
  put(POS, {2, 2});
  ASSERT_TRUE(pos.get(pos.key(kBySys)));
  ASSERT_TRUE(pos.remove());
  EXPECT_EQ(pos.records(), ref.records() + 10 - 1);
  rollbackTransaction();
  expectSame("rolled back");
  pos.close();
  EXPECT_EQ(qvtest::readFile(pos.name()), bytes);
}

// The words of a message in order, as text-word numbers: numbers given in a
// transaction that rolls back stay given and are written with the next
// commit; the phrase is answered from the row, stop words left out, subject
// and text apart; the row goes with the message's last word.
TEST_F(PostingDriverTest, SequencesAnswerThePhraseAndKeepTheirWordsThroughARollback) {
  ASSERT_TRUE(beginTransaction({&pos}, 1)) << ErrorText();
  uint32_t alpha = textWordNumber(pos, "ALPHA"), bravo = textWordNumber(pos, "BRAVO");
  ASSERT_NE(alpha, 0u);
  ASSERT_NE(bravo, alpha);
  put(POS, {1, 5});
  ASSERT_TRUE(pos.add());
  ASSERT_TRUE(setMessageSequence(pos, 1, 0, 0, {alpha, bravo}));
  rollbackTransaction();
  EXPECT_EQ(textWordNumber(pos, "ALPHA"), alpha);
  uint32_t the = textWordNumber(pos, "THE");
  EXPECT_NE(the, 0u);
  EXPECT_NE(the, alpha);
  EXPECT_NE(the, bravo);
  EXPECT_FALSE(setMessageSequence(pos, 2, 0, 0, {alpha, 0}));
  ASSERT_TRUE(beginTransaction({&pos}, 1)) << ErrorText();
  for (uint32_t m : {1u, 2u, 3u}) {
    put(POS, {m, 5});
    ASSERT_TRUE(pos.add());
  }
  // 1: subject "alpha", text "bravo"; 2: text "alpha the bravo"; 3: text "bravo alpha".
  ASSERT_TRUE(setMessageSequence(pos, 1, 0, 1, {alpha, bravo}));
  ASSERT_TRUE(setMessageSequence(pos, 2, 0, 0, {alpha, the, bravo}));
  ASSERT_TRUE(setMessageSequence(pos, 3, 0, 0, {bravo, alpha}));
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  pos.close();
  ASSERT_TRUE(pos.open(Share::ReadOnly)) << ErrorText();
  std::vector<uint32_t> numbers;
  ASSERT_TRUE(textWordNumbers(pos, {"ALPHA", "BRAVO", "THE", "DELTA"}, numbers)) << ErrorText();
  EXPECT_EQ(numbers, (std::vector<uint32_t>{alpha, bravo, the, 0}));
  using A = PhraseAnswer;
  constexpr uint32_t kOtherCut = 1;  // numbers indexed: not the cut the rows were made under
  auto answers = [&](std::vector<uint32_t> phrase, std::vector<uint32_t> stop, uint32_t cut = 0) {
    std::vector<A> out;
    EXPECT_TRUE(phraseInSequences(pos, cut, {1, 2, 3, 4}, phrase, stop, out)) << ErrorText();
    return out;
  };
  EXPECT_EQ(answers({alpha, bravo}, {}), (std::vector<A>{A::No, A::No, A::No, A::Unknown}));
  EXPECT_EQ(answers({alpha, bravo}, {the}), (std::vector<A>{A::No, A::Yes, A::No, A::Unknown}));
  EXPECT_EQ(answers({bravo, alpha}, {the}), (std::vector<A>{A::No, A::No, A::Yes, A::Unknown}));
  EXPECT_EQ(answers({alpha}, {}), (std::vector<A>{A::Yes, A::Yes, A::Yes, A::Unknown}));
  EXPECT_EQ(answers({alpha, 0}, {}), (std::vector<A>{A::No, A::No, A::No, A::Unknown}));
  EXPECT_EQ(answers({alpha, bravo}, {the}, kOtherCut), (std::vector<A>(4, A::Unknown)));
  pos.close();
  // Damaged rows: cut short (read from the message), or with a place past
  // the distinct words (a word that is kept, read safely).
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(pos.name().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "UPDATE message_tokens SET tokens = substr(tokens, 1, 4) WHERE message = 1;"
                           "UPDATE message_tokens SET tokens = substr(tokens, 1, length(tokens) - 2) || x'0900' "
                           "WHERE message = 2;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  ASSERT_TRUE(pos.open(Share::ReadOnly)) << ErrorText();
  EXPECT_EQ(answers({alpha, bravo}, {the}), (std::vector<A>{A::Unknown, A::No, A::No, A::Unknown}));
  pos.close();
  // The row goes with the message's last word.
  ASSERT_TRUE(pos.open()) << ErrorText();
  put(POS, {2, 5});
  ASSERT_TRUE(pos.get(pos.key(kBySys)) && pos.remove()) << ErrorText();
  EXPECT_EQ(answers({alpha, bravo}, {the}), (std::vector<A>{A::Unknown, A::Unknown, A::No, A::Unknown}));
}

// A word's messages read once and changed by another connection (another
// process) are read again, not answered from memory.
TEST_F(PostingDriverTest, AWordsMessagesChangedByAnotherConnectionAreReadAgain) {
  for (Pair p : {Pair{1, 5}, Pair{2, 5}, Pair{3, 5}}) ASSERT_TRUE(add(p, false));
  std::vector<uint32_t> list;
  ASSERT_TRUE(wordMessages(pos, 5, list)) << ErrorText();
  EXPECT_EQ(list, (std::vector<uint32_t>{1, 2, 3}));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(pos.name().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "DELETE FROM word_postings WHERE word = 5", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  ASSERT_TRUE(wordMessages(pos, 5, list)) << ErrorText();
  EXPECT_TRUE(list.empty());
}

TEST_F(PostingDriverTest, TransactionCommitsThePostingsWithTheOtherFiles) {
  ASSERT_TRUE(beginTransaction({&ref, &pos}, 1)) << ErrorText();
  ASSERT_TRUE(add({1, 1}, false));
  ASSERT_TRUE(add({2, 1}, false));
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  // Another connection sees both files' records.
  File other(posDecl());
  other.setName(pos.name());
  pos.close();
  ASSERT_TRUE(other.open(Share::ReadOnly)) << ErrorText();
  EXPECT_EQ(other.records(), 2);
  other.close();
}

// File order puts a message where it last received words, so that walking
// it backwards finds the messages indexed last, as with one row per pair.
TEST_F(PostingDriverTest, FileOrderEndsWithTheMessagesWrittenLast) {
  for (uint32_t flush = 0; flush < 3; ++flush) {
    ASSERT_TRUE(beginTransaction({&pos, &ref}, 1)) << ErrorText();
    for (uint32_t m = 1 + flush * 10; m <= 10 + flush * 10; ++m)
      for (uint32_t w = 1; w <= 4; ++w) ASSERT_TRUE(add({m, w * 3 + flush}, true));
    ASSERT_TRUE(commitTransaction()) << ErrorText();
  }
  auto distinctBackwards = [](File& f, PairRec& r) {
    std::vector<uint32_t> out;
    f.setFileOrder();
    while (f.previous())
      if (out.empty() || out.back() != r.SYSID) out.push_back(r.SYSID);
    return out;
  };
  EXPECT_EQ(distinctBackwards(ref, REF), distinctBackwards(pos, POS));
  EXPECT_EQ(distinctBackwards(pos, POS).front(), 30u);
}

TEST_F(PostingDriverTest, AFileInTheOlderLayoutIsConvertedOnceAndLosesNothing) {
  ASSERT_TRUE(beginTransaction({&pos, &ref}, 1)) << ErrorText();
  for (uint32_t m = 1; m <= 40; ++m)
    for (uint32_t w = 1; w <= 12; ++w)
      if ((m * w) % 5 != 1) {
        ASSERT_TRUE(add({m, w}, false));
      }
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  put(REF, {3, 3});
  ASSERT_TRUE(ref.get(ref.key(kBySys)));
  ASSERT_TRUE(ref.remove());
  put(POS, {3, 3});
  ASSERT_TRUE(pos.get(pos.key(kBySys)));
  ASSERT_TRUE(pos.remove());
  ref.close();
  pos.close();
  // The reference file is one of the older layout: opened through the posting driver.
  File old(posDecl());
  old.setName(ref.name());
  EXPECT_FALSE(old.open(Share::ReadOnly));
  EXPECT_EQ(ErrorCode(), ErrLayout);
  ASSERT_TRUE(old.open()) << ErrorText();
  ASSERT_TRUE(pos.open());
  EXPECT_EQ(old.records(), pos.records());
  for (int key : {kBySys, kByWord})
    for (bool forward : {true, false}) EXPECT_EQ(all(old, POS, key, forward), all(pos, POS, key, forward));
  old.close();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(ref.name().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema WHERE name = 'MasIdx'", -1, &st, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 0);
  sqlite3_finalize(st);
  sqlite3_close(db);
  // Opened again it is read as it is.
  ASSERT_TRUE(old.open(Share::ReadOnly)) << ErrorText();
  EXPECT_EQ(old.records(), pos.records());
}

TEST(PostingCoding, ListsRoundTripAndDamageIsRefused) {
  std::vector<uint32_t> ids = {1, 2, 127, 128, 300, 16384, 70000, 0xFFFFFFFFu};
  std::string blob = encodePostings(ids);
  std::vector<uint32_t> back;
  ASSERT_TRUE(decodePostings(blob.data(), blob.size(), back));
  EXPECT_EQ(back, ids);
  back.clear();
  EXPECT_FALSE(decodePostings(blob.data(), blob.size() - 1, back));  // cut in a number
  std::string overflow = "\x81\xff\xff\xff\xff\x0f";
  back.clear();
  EXPECT_FALSE(decodePostings(overflow.data(), overflow.size(), back));
}

}  // namespace
