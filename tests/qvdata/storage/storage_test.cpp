// The keyed-file layer: key order, positioning, writes, holds, transactions,
// damaged and foreign files, and the line and flat-file drivers.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <tuple>

#include "storage/file.h"
#include "storage/file_stamp.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace {

// A small file with a memo, strings, numbers, an array and keys of every kind.
struct ItemRec {
  uint32_t ID = 0;
  Str<10> NAME;
  int32_t DATE = 0;
  uint8_t FLAG = 0;
  std::array<Str<4>, 2> TAGS;
  std::string NOTE;
};
ItemRec ITM;

FileDecl& itemDecl() {
  static FileDecl d = [] {
    FileDecl decl{90, "Items", "ITM", "ARDENT"};
    DeclBuilder<ItemRec> b(decl, ITM);
    b.field("ID", &ItemRec::ID)
        .field("NAME", &ItemRec::NAME)
        .field("DATE", &ItemRec::DATE)
        .field("FLAG", &ItemRec::FLAG)
        .field("TAGS", &ItemRec::TAGS)
        .memo("NOTE", &ItemRec::NOTE, 100);
    b.key("IdKey", {{"ID", true}}, KeyUnique | KeyPrimary)
        .key("NameKey", {{"NAME"}, {"DATE", true}}, KeyDup | KeyNoCase)
        .key("CaseKey", {{"NAME"}}, KeyDup)
        .key("TagKey", {{"TAGS"}}, KeyUnique | KeyExcludeEmpty)
        .key("DateKey", {{"DATE"}}, KeyDup | KeyOnDemand);
    return decl;
  }();
  return d;
}

// A second declaration over the same table name with another layout.
struct OtherRec {
  uint32_t ID = 0;
  Str<12> NAME;
};
OtherRec OTH;
FileDecl& otherDecl() {
  static FileDecl d = [] {
    FileDecl decl{91, "Items", "OTH", "ARDENT"};
    DeclBuilder<OtherRec> b(decl, OTH);
    b.field("ID", &OtherRec::ID).field("NAME", &OtherRec::NAME);
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}

// One table declared twice: its code key without and then with letter case.
struct CodeRec {
  Str<20> CODE;
  uint32_t NUM = 0;
};
CodeRec COD9;
FileDecl codeDecl(bool nocase) {
  FileDecl d{92, "Codes", "CDS", "ARDENT"};
  DeclBuilder<CodeRec> b(d, COD9);
  b.field("CODE", &CodeRec::CODE).field("NUM", &CodeRec::NUM);
  b.key("CodeKey", {{"CODE"}}, KeyUnique | KeyPrimary | (nocase ? KeyNoCase : KeyDup))
      .key("NumKey", {{"NUM"}}, KeyDup);
  return d;
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file.setName(dir.file("IDX090.ADF"));
    ASSERT_TRUE(file.create()) << ErrorText();
    ASSERT_TRUE(file.open()) << ErrorText();
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    file.close();
  }
  void addItem(uint32_t id, const char* name, int32_t date, const char* tag = "") {
    file.clear();
    ITM.ID = id;
    ITM.NAME = name;
    ITM.DATE = date;
    ITM.TAGS[0] = tag;
    ITM.NOTE = "note " + std::to_string(id);
    ASSERT_TRUE(file.add()) << ErrorText();
  }
  std::vector<uint32_t> walk(const Key& k, bool forward = true) {
    std::vector<uint32_t> ids;
    file.set(k);
    while (forward ? file.next() : file.previous()) ids.push_back(ITM.ID);
    EXPECT_EQ(ErrorCode(), ErrNotAvailable);
    return ids;
  }
  TempDir dir;
  File file{itemDecl()};
  Key idKey = file.key("IdKey");
  Key nameKey = file.key("NameKey");
  Key caseKey = file.key("CaseKey");
  Key tagKey = file.key("TagKey");
  Key dateKey = file.key("DateKey");
};

using V = std::vector<uint32_t>;

TEST_F(StorageTest, KeyOrderFollowsDeclaration) {
  addItem(1, "beta", 10);
  addItem(2, "Alpha", 10);
  addItem(3, "alpha", 30);
  addItem(4, "ÉCOLE", 5);
  addItem(5, "école", 7);
  addItem(6, "Zulu", 1);
  addItem(7, "ALPHA", 30);
  // Descending primary key: newest ID first.
  EXPECT_EQ(walk(idKey), (V{7, 6, 5, 4, 3, 2, 1}));
  // Case-insensitive over Latin-1, date descending, ties in the order added.
  EXPECT_EQ(walk(nameKey), (V{3, 7, 2, 1, 6, 5, 4}));
  EXPECT_EQ(walk(nameKey, false), (V{4, 5, 6, 1, 2, 7, 3}));
  // Case-sensitive: capitals before small letters, accented after ASCII.
  EXPECT_EQ(walk(caseKey), (V{7, 2, 6, 3, 1, 4, 5}));
  // The key built on demand still walks in its order.
  EXPECT_EQ(walk(dateKey), (V{6, 4, 5, 1, 2, 3, 7}));
}

TEST_F(StorageTest, HasRecordsFollowsAddsDeletesAndOtherConnections) {
  EXPECT_FALSE(file.hasRecords());
  EXPECT_EQ(ErrorCode(), ErrNone);
  addItem(1, "a", 1);
  EXPECT_TRUE(file.hasRecords());
  file.clear();
  ITM.ID = 1;
  ASSERT_TRUE(file.get(idKey));
  ASSERT_TRUE(file.remove());
  EXPECT_FALSE(file.hasRecords());
  // Another File over the same path sees what this one wrote.
  File other{itemDecl()};
  other.setName(file.name());
  ASSERT_TRUE(other.open());
  EXPECT_FALSE(other.hasRecords());
  addItem(2, "b", 1);
  EXPECT_TRUE(other.hasRecords());
  other.close();
}

TEST_F(StorageTest, ExcludeEmptyKeyLeavesOutBlankValues) {
  addItem(1, "a", 1, "X");
  addItem(2, "b", 1);
  addItem(3, "c", 1);  // a second blank tag does not collide with the first
  addItem(4, "d", 1, "A");
  EXPECT_EQ(walk(tagKey), (V{4, 1}));
  file.clear();
  ITM.TAGS[0] = "";
  EXPECT_FALSE(file.get(tagKey));
  EXPECT_EQ(ErrorCode(), ErrNotFound);
  // The unique key still refuses a second non-blank value.
  file.clear();
  ITM.ID = 5;
  ITM.TAGS[0] = "X";
  EXPECT_FALSE(file.add());
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  EXPECT_EQ(file.records(), 4);
}

TEST_F(StorageTest, PositioningByValueAndPrefix) {
  addItem(1, "anna", 5);
  addItem(2, "anna", 9);
  addItem(3, "bert", 3);
  addItem(4, "bert", 8);
  addItem(5, "carl", 1);
  // Full key value: first record at or after ("BERT", 8) in key order.
  file.clear();
  ITM.NAME = "Bert";
  ITM.DATE = 8;
  file.set(nameKey, nameKey);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 4u);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 3u);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 5u);
  // Prefix: all of one name regardless of the later component.
  file.clear();
  ITM.NAME = "ANNA";
  file.setPrefix(nameKey, 1);
  std::vector<uint32_t> ids;
  while (file.next() && ITM.NAME == "anna") ids.push_back(ITM.ID);
  EXPECT_EQ(ids, (V{2, 1}));
  // Backwards from a value: records at or before it.
  file.clear();
  ITM.NAME = "bert";
  ITM.DATE = 3;
  file.set(nameKey, nameKey);
  ASSERT_TRUE(file.previous());
  EXPECT_EQ(ITM.ID, 3u);
  ASSERT_TRUE(file.previous());
  EXPECT_EQ(ITM.ID, 4u);
  // Turning round goes back over the same records.
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 3u);
  // A value past the end.
  file.clear();
  ITM.NAME = "zz";
  file.setPrefix(nameKey, 1);
  EXPECT_FALSE(file.next());
  EXPECT_EQ(ErrorCode(), ErrNotAvailable);
}

TEST_F(StorageTest, WalkSurvivesChangesBehindIt) {
  for (uint32_t i = 1; i <= 6; ++i) addItem(i, "n", int32_t(i));
  // Delete every record while walking: nothing is skipped or seen twice.
  file.set(idKey);
  std::vector<uint32_t> seen;
  while (file.next()) {
    seen.push_back(ITM.ID);
    ASSERT_TRUE(file.remove()) << ErrorText();
  }
  EXPECT_EQ(seen, (V{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(file.records(), 0);
  // Records added after the end was reached are found by the next read.
  addItem(10, "a", 1);
  file.set(idKey);
  ASSERT_TRUE(file.next());
  EXPECT_FALSE(file.next());
  addItem(5, "b", 1);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 5u);
}

TEST_F(StorageTest, PutChangesKeysAndMemo) {
  addItem(1, "old", 1);
  file.clear();
  ITM.ID = 1;
  ASSERT_TRUE(file.get(idKey));
  EXPECT_EQ(ITM.NOTE, "note 1");
  int64_t pos = file.position();
  ITM.NAME = "new";
  ITM.NOTE = std::string(150, 'x');  // longer than the memo may hold
  ASSERT_TRUE(file.put()) << ErrorText();
  file.clear();
  ITM.NAME = "NEW";
  ITM.DATE = 1;
  ASSERT_TRUE(file.get(nameKey));
  EXPECT_EQ(file.position(), pos);
  EXPECT_EQ(ITM.NOTE.size(), 100u);
  ASSERT_TRUE(file.getPosition(pos));
  EXPECT_EQ(ITM.NAME, "new");
  EXPECT_FALSE(file.getPosition(pos + 100));
  EXPECT_EQ(ErrorCode(), ErrNotFound);
}

TEST_F(StorageTest, FixedWidthTextCutsOnCharacterBoundary) {
  file.clear();
  ITM.ID = 1;
  ITM.NAME = "ääääää";  // 12 bytes into 10: five characters fit
  EXPECT_EQ(ITM.NAME.view(), "äääää");
  ASSERT_TRUE(file.add());
  file.clear();
  ITM.ID = 1;
  ASSERT_TRUE(file.get(idKey));
  EXPECT_EQ(ITM.NAME.view(), "äääää");
}

TEST_F(StorageTest, PositionsAreNeverReused) {
  addItem(1, "a", 1);
  addItem(2, "b", 1);
  int64_t second = file.position();
  ASSERT_TRUE(file.remove());
  addItem(3, "c", 1);
  EXPECT_GT(file.position(), second);
  file.setFileOrder();
  std::vector<uint32_t> ids;
  while (file.next()) ids.push_back(ITM.ID);
  EXPECT_EQ(ids, (V{1, 3}));
  file.setFileOrder(file.position());
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 3u);
}

TEST_F(StorageTest, AppendThenBuildKeys) {
  for (uint32_t i = 1; i <= 50; ++i) {
    file.clear();
    ITM.ID = i;
    ITM.NAME = i % 2 ? "odd" : "even";
    ITM.DATE = int32_t(i);
    ASSERT_TRUE(file.append()) << ErrorText();
  }
  // The primary key is kept while appending: a duplicate is refused at once.
  file.clear();
  ITM.ID = 7;
  EXPECT_FALSE(file.append());
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  ASSERT_TRUE(file.buildKeys()) << ErrorText();
  file.clear();
  ITM.NAME = "EVEN";
  file.setPrefix(nameKey, 1);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 50u);
  EXPECT_EQ(file.records(), 50);
}

TEST_F(StorageTest, KeysLeftUnbuiltAreRebuiltAfterReopen) {
  addItem(1, "x", 1);
  file.clear();
  ITM.ID = 2;
  ASSERT_TRUE(file.append());
  // Closing builds the keys that appending left out; a crash would leave
  // them unbuilt, as reproduced here by hand.
  std::string path = file.name();
  file.close();
  {
    sqlite3* db;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE qv_meta SET value='1' WHERE name='keys_pending'; DROP INDEX ITM_NameKey;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  EXPECT_FALSE(file.open());
  EXPECT_EQ(ErrorCode(), ErrBadKeys);
  ASSERT_TRUE(file.buildKeys()) << ErrorText();
  ASSERT_TRUE(file.open()) << ErrorText();
  EXPECT_EQ(walk(nameKey).size(), 2u);
}

TEST(StorageOpen, KeyDeclaredAnotherWayIsMadeAnewOnOpen) {
  TempDir dir;
  FileDecl before = codeDecl(true), after = codeDecl(false);
  std::string path = dir.file("IDX092.ADF");
  {
    File f(before);
    f.setName(path);
    ASSERT_TRUE(f.create() && f.open()) << ErrorText();
    COD9.CODE = "AbCdE";
    COD9.NUM = 1;
    ASSERT_TRUE(f.add()) << ErrorText();
    COD9.CODE = "abcde";
    COD9.NUM = 2;
    EXPECT_FALSE(f.add()) << "one value without letter case";
    f.close();
  }
  File f(after);
  f.setName(path);
  ASSERT_TRUE(f.open()) << ErrorText();
  Key code = f.key("CodeKey");
  COD9.CODE = "abcde";
  EXPECT_FALSE(f.get(code)) << "compared exactly now";
  COD9.NUM = 2;
  ASSERT_TRUE(f.add()) << "the index of the old declaration is gone: " << ErrorText();
  COD9.CODE = "AbCdE";
  ASSERT_TRUE(f.get(code));
  EXPECT_EQ(COD9.NUM, 1u);
  COD9.CODE = "abcde";
  ASSERT_TRUE(f.get(code));
  EXPECT_EQ(COD9.NUM, 2u);
  COD9.NUM = 3;
  EXPECT_FALSE(f.add()) << "still unique";
  f.close();
  // Reopened under the same declaration, nothing is rebuilt and both stay.
  ASSERT_TRUE(f.open()) << ErrorText();
  f.set(code);
  std::vector<std::string> codes;
  while (f.next()) codes.push_back(COD9.CODE.str());
  EXPECT_EQ(codes, (std::vector<std::string>{"AbCdE", "abcde"}));
  f.close();
}

TEST_F(StorageTest, StampChangesWithEveryCommittedWrite) {
  std::string path = file.name();
  std::string s0 = storedFileStamp(path);
  ASSERT_FALSE(s0.empty());
  EXPECT_EQ(storedFileStamp(path), s0) << "nothing written";
  addItem(1, "a", 1);
  std::string s1 = storedFileStamp(path);
  EXPECT_NE(s1, s0);
  ASSERT_TRUE(file.stream());
  addItem(2, "b", 2);
  addItem(3, "c", 3);
  ASSERT_TRUE(file.flush());
  std::string s2 = storedFileStamp(path);
  EXPECT_NE(s2, s1);
  // A write by another connection.
  {
    sqlite3* db;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE Items SET FLAG = 1", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  EXPECT_NE(storedFileStamp(path), s2);
  // Another file, a missing one.
  File second(itemDecl());
  second.setName(dir.file("IDX091.ADF"));
  ASSERT_TRUE(second.create());
  EXPECT_NE(storedFileStamp(second.name()), storedFileStamp(path));
  EXPECT_EQ(storedFileStamp(dir.file("MISSING.ADF")), "");
}

// Reading beside a writer that appends (its keys wait for their rebuild) or
// after a crash: a read-only open reads the file as it is, in key order,
// and changes nothing; a writer still rebuilds the keys first.
TEST_F(StorageTest, AReadOnlyOpenReadsKeysWaitingForARebuild) {
  addItem(1, "b", 1);
  addItem(2, "a", 2);
  file.clear();
  ITM.ID = 3;
  ITM.NAME = "c";
  ASSERT_TRUE(file.append());
  std::string path = file.name();
  file.close();
  {
    sqlite3* db;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE qv_meta SET value='1' WHERE name='keys_pending'; DROP INDEX ITM_NameKey;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  std::string bytes = qvtest::readFile(path);
  ASSERT_TRUE(file.open(Share::ReadOnly)) << ErrorText();
  EXPECT_EQ(walk(nameKey), (V{2, 1, 3}));
  EXPECT_EQ(walk(idKey), (V{3, 2, 1}));
  file.close();
  EXPECT_EQ(qvtest::readFile(path), bytes) << "nothing was rebuilt";
  EXPECT_FALSE(file.open());
  EXPECT_EQ(ErrorCode(), ErrBadKeys);
}

TEST_F(StorageTest, OnDemandKeyIsDroppedByWritesAndRebuilt) {
  addItem(1, "a", 3);
  ASSERT_TRUE(file.buildKey(dateKey)) << ErrorText();
  EXPECT_FALSE(file.buildKey(dateKey));
  EXPECT_EQ(ErrorCode(), ErrKeyBuilt);
  addItem(2, "b", 2);  // the write leaves the key stale: it is dropped
  EXPECT_TRUE(file.buildKey(dateKey)) << ErrorText();
  EXPECT_EQ(walk(dateKey), (V{2, 1}));
}

TEST_F(StorageTest, HeldRecordRefusesAnotherHolder) {
  addItem(1, "a", 1);
  setCurrentHolder(1);
  file.clear();
  ITM.ID = 1;
  ASSERT_TRUE(file.get(idKey));
  ASSERT_TRUE(file.hold(1));
  ASSERT_TRUE(file.hold(1)) << "holding again by the same holder succeeds";
  std::thread other([&] {
    setCurrentHolder(2);
    EXPECT_FALSE(file.hold(0));
    EXPECT_EQ(ErrorCode(), ErrHeld);
    ITM.NAME = "changed";
    EXPECT_FALSE(file.put());
    EXPECT_EQ(ErrorCode(), ErrHeld);
    EXPECT_FALSE(file.remove());
    EXPECT_EQ(ErrorCode(), ErrHeld);
  });
  other.join();
  file.release();
  std::thread after([&] {
    setCurrentHolder(2);
    EXPECT_TRUE(file.hold(0)) << ErrorText();
    file.release();
  });
  after.join();
  setCurrentHolder(0);
}

TEST_F(StorageTest, HoldWaitsForRelease) {
  addItem(1, "a", 1);
  setCurrentHolder(1);
  ASSERT_TRUE(file.hold(1));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    setCurrentHolder(1);
    file.release();
  });
  std::thread waiter([&] {
    setCurrentHolder(2);
    EXPECT_TRUE(file.hold(3)) << ErrorText();
    file.release();
  });
  releaser.join();
  waiter.join();
  setCurrentHolder(0);
}

class StorageTxnTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    for (int i = 0; i < 2; ++i) {
      others[i] = std::make_unique<File>(itemDecl());
      others[i]->setName(dir.file("IDX09" + std::to_string(i + 1) + ".ADF"));
      ASSERT_TRUE(others[i]->create());
      ASSERT_TRUE(others[i]->open());
    }
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    for (auto& o : others) o->close();
    StorageTest::TearDown();
  }
  void addTo(File& f, uint32_t id) {
    f.clear();
    ITM.ID = id;
    ITM.NAME = "t";
    ASSERT_TRUE(f.add()) << ErrorText();
  }
  std::unique_ptr<File> others[2];
};

TEST_F(StorageTxnTest, RollbackLeavesAllFilesUnchanged) {
  addTo(file, 1);
  addTo(*others[0], 1);
  ASSERT_TRUE(beginTransaction({&file, others[0].get(), others[1].get()}, 1)) << ErrorText();
  addTo(file, 2);
  addTo(*others[0], 2);
  addTo(*others[1], 2);
  file.clear();
  ITM.ID = 1;
  ASSERT_TRUE(file.get(idKey));
  ASSERT_TRUE(file.remove());
  EXPECT_EQ(file.records(), 1);
  rollbackTransaction();
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(file.records(), 1);
  EXPECT_EQ(others[0]->records(), 1);
  EXPECT_EQ(others[1]->records(), 0);
  file.clear();
  ITM.ID = 1;
  EXPECT_TRUE(file.get(idKey));
}

TEST_F(StorageTxnTest, CommitWritesAllFiles) {
  ASSERT_TRUE(beginTransaction({&file, others[0].get(), others[1].get()}, 1));
  for (uint32_t i = 1; i <= 3; ++i) {
    addTo(file, i);
    addTo(*others[0], i);
    addTo(*others[1], i);
  }
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_FALSE(beginTransaction({}, 1));
  for (File* f : {&file, others[0].get(), others[1].get()}) {
    f->close();
    ASSERT_TRUE(f->open());
    EXPECT_EQ(f->records(), 3);
  }
}

TEST_F(StorageTxnTest, SecondTransactionAndLockTimeout) {
  ASSERT_TRUE(beginTransaction({&file}, 1));
  EXPECT_FALSE(beginTransaction({others[0].get()}, 1));
  EXPECT_EQ(ErrorCode(), ErrTransaction);
  rollbackTransaction();
  // Another program holding the write lock makes the begin fail after the time-out.
  sqlite3* db;
  ASSERT_EQ(sqlite3_open(others[1]->name().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(beginTransaction({&file, others[1].get()}, 1));
  EXPECT_EQ(ErrorCode(), ErrHeld);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
  EXPECT_FALSE(transactionActive());
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_TRUE(beginTransaction({&file, others[1].get()}, 1)) << ErrorText();
  addTo(*others[1], 9);
  ASSERT_TRUE(commitTransaction());
}

TEST_F(StorageTxnTest, WalkContinuesAcrossTransactionBoundaries) {
  for (uint32_t i = 1; i <= 5; ++i) addTo(file, i);
  file.set(idKey);
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 5u);
  ASSERT_TRUE(beginTransaction({&file, others[0].get()}, 1));
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 4u);
  ASSERT_TRUE(file.remove());
  ASSERT_TRUE(commitTransaction());
  ASSERT_TRUE(file.next());
  EXPECT_EQ(ITM.ID, 3u);
  EXPECT_EQ(file.records(), 4);
}

TEST(StorageOpen, FailuresAreToldApart) {
  TempDir dir;
  File f(itemDecl());
  f.setName(dir.file("missing.ADF"));
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrFileNotFound);
  f.setName(dir.file("nodir/IDX090.ADF"));
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrPathNotFound);
  EXPECT_FALSE(f.create());
  EXPECT_EQ(ErrorCode(), ErrPathNotFound);
  f.setName("");
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrInvalidFileName);

  // Garbage bytes in place of an archive file: refused as a foreign layout, left as it was.
  std::string garbage(3000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char(i * 37 + 11);
  qvtest::writeFile(dir.file("garbage.ADF"), garbage);
  f.setName(dir.file("garbage.ADF"));
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrLayout);
  EXPECT_EQ(qvtest::readFile(dir.file("garbage.ADF")), garbage);

  // A file written under another layout.
  File other(otherDecl());
  other.setName(dir.file("other.ADF"));
  ASSERT_TRUE(other.create());
  f.setName(dir.file("other.ADF"));
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrLayout);

  // Created files are private to their owner.
  struct stat st;
  ASSERT_EQ(::stat(dir.file("other.ADF").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(StorageOpen, OwnerPasswordAndShareModes) {
  TempDir dir;
  FileDecl& d = itemDecl();
  d.password = "secret";
  File f(d);
  f.setName(dir.file("IDX090.ADF"));
  ASSERT_TRUE(f.create());
  EXPECT_FALSE(f.open(Share::Shared, "wrong"));
  EXPECT_EQ(ErrorCode(), ErrAccessDenied);
  ASSERT_TRUE(f.open(Share::Exclusive));
  File g(d);
  g.setName(f.name());
  EXPECT_FALSE(g.open(Share::ReadOnly));
  EXPECT_EQ(ErrorCode(), ErrAccessDenied);
  f.close();
  ASSERT_TRUE(f.open(Share::DenyWrite));
  EXPECT_FALSE(g.open(Share::Shared));
  ASSERT_TRUE(g.open(Share::ReadOnly));
  g.clear();
  ITM.ID = 1;
  EXPECT_FALSE(g.add());
  EXPECT_EQ(ErrorCode(), ErrAccessDenied);
  g.close();
  f.close();
  d.password.clear();
}

TEST_F(StorageTest, EmptyPackStreamAndOptions) {
  ASSERT_TRUE(file.stream());
  for (uint32_t i = 1; i <= 100; ++i) addItem(i, "s", 1);
  ASSERT_TRUE(file.flush());
  EXPECT_EQ(file.records(), 100);
  ASSERT_TRUE(file.empty());
  EXPECT_EQ(file.records(), 0);
  ASSERT_TRUE(file.pack()) << ErrorText();
  EXPECT_TRUE(file.sendOption("FULLBUILD=OFF"));
  EXPECT_TRUE(file.sendOption("QUICKSCAN = ON"));
  EXPECT_FALSE(file.sendOption("NOSUCH=ON"));
  EXPECT_EQ(ErrorCode(), ErrInvalidOption);
  EXPECT_FALSE(file.sendOption("QUICKSCAN=maybe"));
}

// A scratch file open through one driver is emptied by making it anew: it
// gives its room back, keeps its open (and its password check), and takes
// rows again; opened through a second driver too, its rows are deleted and
// both see none.
TEST(StorageScratch, EmptyingMakesTheFileAnewOrDeletesItsRowsWhenShared) {
  TempDir dir;
  FileDecl d = itemDecl();
  d.scratch = true;
  d.heldWhileOpen = true;
  File f(d);
  f.setName(dir.file("IDX099.ADF"));
  ASSERT_TRUE(f.create()) << ErrorText();
  ASSERT_TRUE(f.open(Share::Exclusive)) << ErrorText();
  auto fill = [&](uint32_t from) {
    ASSERT_TRUE(f.stream());
    for (uint32_t i = from; i < from + 20000; ++i) {
      f.clear();
      ITM.ID = i;
      ITM.NAME = "n";
      ITM.NOTE = std::string(90, char('a' + i % 26));
      ASSERT_TRUE(f.add()) << ErrorText();
    }
    ASSERT_TRUE(f.flush());
  };
  fill(1);
  uintmax_t full = std::filesystem::file_size(f.name());
  ASSERT_TRUE(f.empty()) << ErrorText();
  EXPECT_EQ(f.records(), 0);
  EXPECT_LT(std::filesystem::file_size(f.name()), full / 50);
  EXPECT_TRUE(f.isOpen());
  File other(d);
  other.setName(f.name());
  EXPECT_FALSE(other.open(Share::ReadOnly));  // still held exclusively
  fill(50000);
  f.clear();
  ITM.ID = 50001;
  ASSERT_TRUE(f.get(f.key("IdKey")));
  EXPECT_EQ(ITM.NOTE, std::string(90, char('a' + 50001 % 26)));
  f.close();

  d.heldWhileOpen = false;
  File g(d), h(d);
  g.setName(f.name());
  h.setName(f.name());
  ASSERT_TRUE(g.open(Share::Shared)) << ErrorText();
  ASSERT_TRUE(h.open(Share::Shared)) << ErrorText();
  EXPECT_EQ(h.records(), 20000);
  ASSERT_TRUE(g.empty()) << ErrorText();
  EXPECT_EQ(g.records(), 0);
  EXPECT_EQ(h.records(), 0);
  h.close();
  g.close();
}

TEST_F(StorageTest, ReadingTheRecordsOfAListOfKeyValues) {
  addItem(1, "one", 10);
  addItem(2, "two", 10);
  addItem(3, "three", 30);
  addItem(4, "four", 40);
  struct Seen {
    uint32_t id;
    std::string name, note;
    int64_t pos;
    bool operator==(const Seen&) const = default;
  };
  auto readEach = [&](const Key& k, const std::vector<int64_t>& values, size_t stopAfter = 100) {
    std::vector<Seen> out;
    bool whole = file.getEach(k, values, [&] {
      out.push_back({ITM.ID, ITM.NAME.str(), ITM.NOTE, file.position()});
      return out.size() < stopAfter;
    });
    EXPECT_EQ(whole, out.size() < stopAfter) << ErrorText();
    return out;
  };
  auto readOne = [&](const Key& k, uint32_t id, int32_t date) {
    file.clear();
    ITM.ID = id;
    ITM.DATE = date;
    EXPECT_TRUE(file.get(k)) << id << " " << date;
    return Seen{ITM.ID, ITM.NAME.str(), ITM.NOTE, file.position()};
  };
  // In the order asked, a value asked twice read twice, one no record has passed over.
  EXPECT_EQ(readEach(idKey, {3, 99, 1, 3, 4}),
            (std::vector<Seen>{readOne(idKey, 3, 0), readOne(idKey, 1, 0), readOne(idKey, 3, 0), readOne(idKey, 4, 0)}));
  // Of records sharing a value, the first in file order, as get() reads it.
  EXPECT_EQ(readEach(dateKey, {30, 10}), (std::vector<Seen>{readOne(dateKey, 0, 30), readOne(dateKey, 0, 10)}));
  EXPECT_EQ(readEach(idKey, {4, 3, 2, 1}, 2).size(), 2u) << "the callback stops the reading";
  EXPECT_EQ(ErrorCode(), ErrNone);
  EXPECT_TRUE(readEach(idKey, {}).empty());
  EXPECT_FALSE(file.getEach(nameKey, {1}, [] { return true; })) << "a key of text and date is refused";
  EXPECT_NE(ErrorCode(), ErrNone);
  // Only some fields read: those are filled, in the same order and choice of records.
  std::vector<std::pair<uint32_t, std::string>> named;
  ASSERT_TRUE(file.getEach(
      idKey, {4, 99, 1, 4},
      [&] {
        named.push_back({ITM.ID, ITM.NAME.str()});
        return true;
      },
      {"NAME", "ID"}))
      << ErrorText();
  EXPECT_EQ(named, (std::vector<std::pair<uint32_t, std::string>>{{4, "four"}, {1, "one"}, {4, "four"}}));
  std::vector<int32_t> dates;
  ASSERT_TRUE(file.getEach(
      dateKey, {30, 10},
      [&] {
        dates.push_back(ITM.DATE);
        return true;
      },
      {"DATE"}));
  EXPECT_EQ(dates, (std::vector<int32_t>{30, 10}));
  EXPECT_FALSE(file.getEach(idKey, {1}, [] { return true; }, {"NOSUCH"})) << "a field the file has not";
  EXPECT_NE(ErrorCode(), ErrNone);
}

TEST_F(StorageTxnTest, AddingManyRecordsInOneGoAddsAllOrNone) {
  addTo(file, 2);
  std::vector<uint32_t> ids = {5, 2, 7, 9};
  size_t at = 0;
  auto next = [&] {
    if (at == ids.size()) return false;
    file.clear();
    ITM.ID = ids[at++];
    ITM.NAME = "many";
    return true;
  };
  // A value that is there already ends the adding, and nothing is added.
  EXPECT_FALSE(file.addEach(next));
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  EXPECT_EQ(file.records(), 1);
  // Passed over when asked.
  at = 0;
  ASSERT_TRUE(file.addEach(next, true)) << ErrorText();
  EXPECT_EQ(walk(idKey), (V{9, 7, 5, 2}));
  EXPECT_EQ(file.records(), 4);
  file.clear();
  ITM.ID = 7;
  ASSERT_TRUE(file.get(idKey));
  EXPECT_EQ(ITM.NAME.str(), "many");
  // Inside a transaction the records go with it.
  ASSERT_TRUE(beginTransaction({&file, others[0].get()}, 1));
  ids = {11, 12};
  at = 0;
  ASSERT_TRUE(file.addEach(next));
  EXPECT_EQ(file.records(), 6);
  rollbackTransaction();
  EXPECT_EQ(file.records(), 4);
}

// A file of numbers only, which the SQLite driver adds in one statement.
struct NumberRec {
  uint32_t ID = 0;
  int32_t DELTA = 0;
  double SHARE = 0;
};
NumberRec NUM;

TEST_F(StorageTest, AddingManyRecordsOfNumbersInOneStatement) {
  FileDecl decl{93, "Numbers", "NUM", "ARDENT"};
  DeclBuilder<NumberRec> b(decl, NUM);
  b.field("ID", &NumberRec::ID).field("DELTA", &NumberRec::DELTA).field("SHARE", &NumberRec::SHARE);
  b.key("IdKey", {{"ID", true}}, KeyUnique | KeyPrimary);
  File numbers(decl);
  numbers.setName(dir.file("IDX093.ADF"));
  ASSERT_TRUE(numbers.create() && numbers.open()) << ErrorText();
  std::vector<NumberRec> rows = {{4000000000u, -7, 0.25}, {3, 2147483647, -1e300}, {3, 0, 0}, {9, -2147483647 - 1, 1.5}};
  size_t at = 0;
  auto next = [&] {
    if (at == rows.size()) return false;
    NUM = rows[at++];
    return true;
  };
  EXPECT_FALSE(numbers.addEach(next));
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  EXPECT_EQ(numbers.records(), 0) << "none of them added";
  at = 0;
  ASSERT_TRUE(numbers.addEach(next, true)) << ErrorText();
  EXPECT_EQ(numbers.records(), 3);
  std::vector<std::tuple<uint32_t, int32_t, double>> stored;
  numbers.setFileOrder();
  while (numbers.next()) stored.push_back({NUM.ID, NUM.DELTA, NUM.SHARE});
  EXPECT_EQ(stored, (std::vector<std::tuple<uint32_t, int32_t, double>>{
                        {4000000000u, -7, 0.25}, {3, 2147483647, -1e300}, {9, -2147483647 - 1, 1.5}}))
      << "in the order given, the second record of ID 3 passed over";
  NUM.ID = 9;
  ASSERT_TRUE(numbers.get(numbers.key("IdKey")));
  EXPECT_EQ(NUM.SHARE, 1.5);
  numbers.close();
}

// A file of one number a record (a result file of message IDs): added as a
// flat list, in the order given, a repeated key passed over.
struct OneNumberRec {
  uint32_t ID = 0;
};
OneNumberRec ONE;

TEST_F(StorageTest, AddingManyRecordsOfOneNumberInOneStatement) {
  FileDecl decl{94, "OneNumber", "ONE", "ARDENT"};
  decl.reusePositions = true;
  DeclBuilder<OneNumberRec> b(decl, ONE);
  b.field("ID", &OneNumberRec::ID);
  b.key("IdKey", {{"ID", true}}, KeyUnique | KeyPrimary);
  File ones(decl);
  ones.setName(dir.file("IDX094.ADF"));
  ASSERT_TRUE(ones.create() && ones.open()) << ErrorText();
  std::vector<uint32_t> ids = {7, 4000000000u, 1, 7, 0, 12};
  size_t at = 0;
  auto next = [&] {
    if (at == ids.size()) return false;
    ONE.ID = ids[at++];
    return true;
  };
  EXPECT_FALSE(ones.addEach(next));
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  EXPECT_EQ(ones.records(), 0) << "none of them added";
  at = 0;
  ASSERT_TRUE(ones.addEach(next, true)) << ErrorText();
  std::vector<uint32_t> stored;
  ones.setFileOrder();
  while (ones.next()) stored.push_back(ONE.ID);
  EXPECT_EQ(stored, (std::vector<uint32_t>{7, 4000000000u, 1, 0, 12})) << "in the order given, the second 7 passed over";
  ones.close();
}

// ---- Line and flat-file drivers ----

struct LineRec {
  std::string LINE;
};
LineRec LIN;
FileDecl& lineDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Lines", "LIN", "LINE"};
    DeclBuilder<LineRec> b(decl, LIN);
    b.memo("LINE", &LineRec::LINE, 8);
    return decl;
  }();
  return d;
}

struct BlockRec {
  Str<16> CHAR;
};
BlockRec BLK;
FileDecl& blockDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Blocks", "BLK", "FLAT"};
    DeclBuilder<BlockRec> b(decl, BLK);
    b.field("CHAR", &BlockRec::CHAR);
    return decl;
  }();
  return d;
}

TEST(LineDriver, ReadsLinesAndWritesCrLf) {
  TempDir dir;
  qvtest::writeFile(dir.file("in.txt"), "one\r\ntwo\nthree is long\r\n\r\nlast");
  File f(lineDecl());
  f.setName(dir.file("in.txt"));
  ASSERT_TRUE(f.open(Share::ReadOnly));
  f.setFileOrder();
  std::vector<std::string> lines;
  std::vector<int64_t> pos;
  while (f.next()) {
    lines.push_back(LIN.LINE);
    pos.push_back(f.position());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three is", " long", "", "last"}));
  EXPECT_EQ(pos[1], 5);
  ASSERT_TRUE(f.getPosition(pos[1]));
  EXPECT_EQ(LIN.LINE, "two");
  f.close();

  f.setName(dir.file("out.txt"));
  ASSERT_TRUE(f.create());
  ASSERT_TRUE(f.open());
  LIN.LINE = "abc";
  ASSERT_TRUE(f.add());
  LIN.LINE = "";
  ASSERT_TRUE(f.add());
  f.close();
  EXPECT_EQ(qvtest::readFile(dir.file("out.txt")), "abc\r\n\r\n");
}

TEST(FlatDriver, ReadsAndWritesBlocks) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += char(i);
  qvtest::writeFile(dir.file("raw.bin"), bytes);
  File f(blockDecl());
  f.setName(dir.file("raw.bin"));
  ASSERT_TRUE(f.open());
  EXPECT_EQ(f.records(), 3);
  f.setFileOrder();
  std::vector<int64_t> sizes;
  while (f.next()) sizes.push_back(f.bytes());
  EXPECT_EQ(sizes, (std::vector<int64_t>{16, 16, 8}));
  ASSERT_TRUE(f.getBlock(30, 5));
  EXPECT_EQ(f.bytes(), 5);
  EXPECT_EQ(BLK.CHAR.c[0], char(30));
  EXPECT_FALSE(f.getBlock(40, 5));
  EXPECT_EQ(ErrorCode(), ErrNotAvailable);
  std::memcpy(BLK.CHAR.c, "XYZ", 3);
  ASSERT_TRUE(f.addBlock(3));
  f.close();
  EXPECT_EQ(qvtest::readFile(dir.file("raw.bin")), bytes + "XYZ");
}

}  // namespace

namespace {
// The page size asked for a file is the one it is made with, and a pack
// keeps it; a file held while open works through writes, reads and a
// reopen, and leaves the file to others once closed.
int64_t pageSizeOf(const std::string& path) {
  sqlite3* db = nullptr;
  int64_t size = -1;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    size = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  sqlite3_close_v2(db);
  return size;
}

TEST(StorageOpen, PageSizeAndALockHeldWhileOpen) {
  TempDir dir;
  FileDecl d = codeDecl(false);
  d.pageSize = 16384;
  d.heldWhileOpen = true;
  File f(d);
  f.setName(dir.file("IDX092.ADF"));
  ASSERT_TRUE(f.create());
  ASSERT_TRUE(f.open()) << ErrorText();
  for (uint32_t i = 0; i < 300; ++i) {
    COD9 = CodeRec();
    COD9.CODE = "code" + std::to_string(i);
    COD9.NUM = i;
    ASSERT_TRUE(f.add()) << ErrorText();
  }
  COD9 = CodeRec();
  COD9.CODE = "code17";
  ASSERT_TRUE(f.get(f.key("CodeKey")));
  EXPECT_EQ(COD9.NUM, 17u);
  f.close();
  EXPECT_EQ(pageSizeOf(dir.file("IDX092.ADF")), 16384);
  ASSERT_TRUE(f.open());
  ASSERT_TRUE(f.pack());
  EXPECT_EQ(f.records(), 300);
  f.close();
  EXPECT_EQ(pageSizeOf(dir.file("IDX092.ADF")), 16384);
  // Without a page size asked for, SQLite's own.
  File plain(itemDecl());
  plain.setName(dir.file("IDX090.ADF"));
  ASSERT_TRUE(plain.create());
  EXPECT_EQ(pageSizeOf(dir.file("IDX090.ADF")), 4096);
}

TEST(StorageOpen, EmptyFileCountsAsMissing) {
  TempDir dir;
  qvtest::writeFile(dir.file("IDX090.ADF"), "");
  File f(itemDecl());
  f.setName(dir.file("IDX090.ADF"));
  EXPECT_FALSE(f.open());
  EXPECT_EQ(ErrorCode(), ErrFileNotFound);
  ASSERT_TRUE(f.create());
  EXPECT_TRUE(f.open()) << ErrorText();
  f.close();
}
}  // namespace
