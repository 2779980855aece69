// The connection of a transaction is kept between transactions over the same
// files and made anew whenever it could reach a file that is no longer the
// one it attached, or hold pages a rollback or another writer made stale.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>

#include "storage/collation.h"
#include "storage/file.h"
#include "storage/posting_driver.h"
#include "storage/sqlite_driver.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace fs = std::filesystem;

namespace {

struct NoteRec {
  uint32_t ID = 0;
  Str<12> NAME;
  std::string TEXT;
};
NoteRec NTE;

FileDecl& noteDecl() {
  static FileDecl d = [] {
    FileDecl decl{94, "Notes", "NTE", "ARDENT"};
    DeclBuilder<NoteRec> b(decl, NTE);
    b.field("ID", &NoteRec::ID).field("NAME", &NoteRec::NAME).memo("TEXT", &NoteRec::TEXT, 100);
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary).key("NameKey", {{"NAME"}}, KeyDup | KeyNoCase);
    return decl;
  }();
  return d;
}

// A file of the word-occurrence driver, which does not keep its statements
// on a transaction's connection.
struct PairRec {
  uint32_t SYSID = 0;
  uint32_t WORDID = 0;
};
PairRec PAIR;

FileDecl& pairDecl() {
  static FileDecl d = [] {
    registerPostingDriver();
    FileDecl decl{0, "MasIdx", "MAS", kPostingDriverName};
    DeclBuilder<PairRec> b(decl, PAIR);
    b.field("SYSID", &PairRec::SYSID).field("WORDID", &PairRec::WORDID);
    b.key("by_SysID", {{"SYSID"}, {"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
        .key("by_WordId", {{"WORDID"}, {"SYSID"}}, KeyDup | KeyExcludeEmpty);
    return decl;
  }();
  return d;
}

constexpr int kFiles = 3;

class TransactionConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kFiles; ++i) {
      files[i] = std::make_unique<File>(noteDecl());
      files[i]->setName(path(i));
      ASSERT_TRUE(files[i]->create()) << ErrorText();
      ASSERT_TRUE(files[i]->open()) << ErrorText();
    }
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    for (auto& f : files) f->close();
    releaseKeptConnection(nullptr);
  }
  std::string path(int i) const { return dir.file("IDX09" + std::to_string(i) + ".ADF"); }
  std::vector<File*> all() { return {files[0].get(), files[1].get(), files[2].get()}; }
  void add(File& f, uint32_t id) {
    f.clear();
    NTE.ID = id;
    NTE.NAME = "note";
    NTE.TEXT = "text " + std::to_string(id);
    ASSERT_TRUE(f.add()) << ErrorText();
  }
  // One committed transaction that adds record `id` to every file given.
  void commitAdding(const std::vector<File*>& list, uint32_t id) {
    ASSERT_TRUE(beginTransaction(list, 1)) << ErrorText();
    for (File* f : list) add(*f, id);
    ASSERT_TRUE(commitTransaction()) << ErrorText();
  }
  bool has(File& f, uint32_t id) {
    f.clear();
    NTE.ID = id;
    return f.get(f.key("IdKey"));
  }
  // Records stored in the file at `p`, read by a connection of its own.
  int64_t storedAt(const std::string& p) { return storedRecordCount(p, "Notes"); }

  TempDir dir;
  std::unique_ptr<File> files[kFiles];
};

TEST_F(TransactionConnectionTest, RepeatedTransactionsOverTheSameFilesShareOneConnection) {
  uint64_t before = transactionConnectionsOpened();
  for (uint32_t id = 1; id <= 20; ++id) commitAdding(all(), id);
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u);
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(storedAt(path(i)), 20) << i;
    EXPECT_TRUE(has(*files[i], 20));
  }
  // The statements prepared in one transaction serve the next: a read by key
  // and a change inside the same kept connection.
  ASSERT_TRUE(beginTransaction(all(), 1));
  ASSERT_TRUE(has(*files[1], 7));
  NTE.NAME = "changed";
  ASSERT_TRUE(files[1]->put()) << ErrorText();
  ASSERT_TRUE(commitTransaction());
  ASSERT_TRUE(has(*files[1], 7));
  EXPECT_EQ(NTE.NAME.str(), "changed");
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u);

  // Another set of files, or the same files in another order, gets a
  // connection of its own; coming back makes one anew.
  commitAdding({files[0].get()}, 21);
  EXPECT_EQ(transactionConnectionsOpened() - before, 2u);
  commitAdding({files[2].get(), files[1].get(), files[0].get()}, 22);
  EXPECT_EQ(transactionConnectionsOpened() - before, 3u);
  commitAdding(all(), 23);
  EXPECT_EQ(transactionConnectionsOpened() - before, 4u);
}

TEST_F(TransactionConnectionTest, BetweenTransactionsTheKeptConnectionHoldsNoLockAndNoStalePage) {
  commitAdding(all(), 1);
  commitAdding(all(), 2);
  // Another program writes the file meanwhile: it gets the write lock, and
  // the next transaction sees what it did.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path(1).c_str(), &other), SQLITE_OK);
  registerCollations(other);
  sqlite3_busy_timeout(other, 100);
  EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM \"Notes\" WHERE ID = 1; COMMIT", nullptr, nullptr,
                         nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(other);
  sqlite3_close(other);
  uint64_t before = transactionConnectionsOpened();
  ASSERT_TRUE(beginTransaction(all(), 1));
  EXPECT_FALSE(has(*files[1], 1));
  EXPECT_TRUE(has(*files[1], 2));
  add(*files[1], 1);
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_EQ(transactionConnectionsOpened(), before);
  EXPECT_EQ(storedAt(path(1)), 2);
}

TEST_F(TransactionConnectionTest, ARollbackEndsTheConnection) {
  commitAdding(all(), 1);
  uint64_t before = transactionConnectionsOpened();
  ASSERT_TRUE(beginTransaction(all(), 1));
  add(*files[0], 2);
  add(*files[2], 2);
  rollbackTransaction();
  commitAdding(all(), 3);
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u) << "the rolled-back connection is not reused";
  EXPECT_FALSE(has(*files[0], 2));
  EXPECT_FALSE(has(*files[2], 2));
  for (int i = 0; i < kFiles; ++i) EXPECT_EQ(storedAt(path(i)), 2) << i;
}

TEST_F(TransactionConnectionTest, AClosedDeletedAndRecreatedFileIsNotReachedThroughAStaleAttachment) {
  commitAdding(all(), 1);
  files[2]->close();
  fs::remove(path(2));
  ASSERT_TRUE(files[2]->create()) << ErrorText();
  ASSERT_TRUE(files[2]->open()) << ErrorText();
  uint64_t before = transactionConnectionsOpened();
  commitAdding(all(), 2);
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u);
  // The new file holds the new record alone.
  EXPECT_EQ(storedAt(path(2)), 1);
  EXPECT_TRUE(has(*files[2], 2));
  EXPECT_FALSE(has(*files[2], 1));
}

TEST_F(TransactionConnectionTest, AFileReplacedUnderItsNameIsAttachedAnew) {
  commitAdding(all(), 1);
  // Another file takes the name of file 1 while it stays open here.
  File replacement(noteDecl());
  replacement.setName(dir.file("IDX099.ADF"));
  ASSERT_TRUE(replacement.create());
  fs::rename(dir.file("IDX099.ADF"), path(1));
  uint64_t before = transactionConnectionsOpened();
  ASSERT_TRUE(beginTransaction(all(), 1));
  add(*files[0], 2);
  add(*files[1], 2);
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u);
  EXPECT_EQ(storedAt(path(1)), 1) << "the record went to the file the name leads to";
}

TEST_F(TransactionConnectionTest, AFileEmptiedPackedOrRekeyedOutsideATransactionIsAttachedAnew) {
  commitAdding(all(), 1);
  commitAdding(all(), 2);
  uint64_t before = transactionConnectionsOpened();
  ASSERT_TRUE(files[0]->empty()) << ErrorText();
  ASSERT_TRUE(beginTransaction(all(), 1));
  EXPECT_FALSE(has(*files[0], 1));
  add(*files[0], 3);
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_EQ(transactionConnectionsOpened() - before, 1u);
  EXPECT_EQ(storedAt(path(0)), 1);

  ASSERT_TRUE(files[1]->pack()) << ErrorText();
  commitAdding(all(), 4);
  EXPECT_EQ(transactionConnectionsOpened() - before, 2u);

  ASSERT_TRUE(files[2]->buildKeys()) << ErrorText();
  commitAdding(all(), 5);
  EXPECT_EQ(transactionConnectionsOpened() - before, 3u);
  ASSERT_TRUE(has(*files[2], 5));
  EXPECT_EQ(storedAt(path(2)), 4);
}

TEST_F(TransactionConnectionTest, AConnectionWithAFileWhoseDriverKeepsNoStatementsIsNotKept) {
  File pairs(pairDecl());
  pairs.setName(dir.file("IDX029.ADF"));
  ASSERT_TRUE(pairs.create()) << ErrorText();
  ASSERT_TRUE(pairs.open()) << ErrorText();
  uint64_t before = transactionConnectionsOpened();
  for (uint32_t id = 1; id <= 3; ++id) {
    ASSERT_TRUE(beginTransaction({files[0].get(), &pairs}, 1)) << ErrorText();
    add(*files[0], id);
    pairs.clear();
    PAIR.SYSID = id;
    PAIR.WORDID = 7;
    ASSERT_TRUE(pairs.add()) << ErrorText();
    ASSERT_TRUE(commitTransaction()) << ErrorText();
  }
  EXPECT_EQ(transactionConnectionsOpened() - before, 3u);
  EXPECT_EQ(pairs.records(), 3);
  EXPECT_EQ(storedAt(path(0)), 3);
  pairs.close();
}

}  // namespace
