// The originals store of a database: the setting, writing and reading
// originals, one content for many messages, letting go of them, and the
// check against the messages.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/file_service.h"
#include "services/record_helpers.h"
#include "storage/file.h"
#include "support/services_fixture.h"

namespace {

using namespace qv;

class OriginalsStore : public qvtest::InstallationTest {
 protected:
  // Writes with the Originals file open in a transaction of its own, as
  // posting writes them.
  template <typename Fn>
  bool inTransaction(Fn fn) {
    OP_CLOSE(OpShared, {FileOriginals});
    bool ok = beginTransaction({&Originals}, 5) && fn() && commitTransaction();
    if (transactionActive()) rollbackTransaction();
    OP_CLOSE(OpRelease, {FileOriginals});
    return ok;
  }
  bool write(uint32_t id, const std::string& bytes) {
    return inTransaction([&] { return writeOriginal(id, packOriginal(bytes), ReportQuiet); });
  }
  bool remove(uint32_t id) {
    return inTransaction([&] { return removeOriginal(id, ReportQuiet); });
  }
  int64_t contentRows() {
    int64_t n = 0;
    OP_CLOSE(OpShared, {FileOriginals});
    Originals.setFileOrder();
    while (Originals.next())
      if (ORI.MSGID == 0 && !ORI.HASH.blank()) ++n;
    OP_CLOSE(OpRelease, {FileOriginals});
    return n;
  }
  void addMail(uint32_t id) {
    OP_CLOSE(OpShared, {FileMail});
    MAI = MailRec();
    MAI.MAILID = id;
    ASSERT_TRUE(Mail.add());
    OP_CLOSE(OpRelease, {FileMail});
  }
};

std::string sampleMail(int n) {
  std::string s = "From: a@example.org\r\nTo: b@example.org\r\nSubject: note " + std::to_string(n) +
                  "\r\nMIME-Version: 1.0\r\n\r\n";
  for (int i = 0; i < 200; ++i) s += "line " + std::to_string(i) + " of a fairly repetitive body\r\n";
  s += std::string("\0\x01\xff binary tail", 15);
  return s;
}

TEST(OriginalPacking, PacksAndUnpacksEveryKind) {
  std::string bytes = sampleMail(1);
  for (int packing : {PackStored, PackZlib, PackZstd}) {
    std::string packed = packBytes(bytes, packing);
    ASSERT_FALSE(packed.empty()) << packing;
    std::string back;
    ASSERT_TRUE(unpackBytes(packed, packing, bytes.size(), back)) << packing;
    EXPECT_EQ(back, bytes) << packing;
    // A wrong size or damaged data is refused, not handed back.
    EXPECT_FALSE(unpackBytes(packed, packing, bytes.size() + 1, back)) << packing;
  }
  std::string back;
  EXPECT_FALSE(unpackBytes("garbage", PackZstd, 100, back));
  EXPECT_EQ(originalHash(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  PackedOriginal p = packOriginal(bytes);
  EXPECT_EQ(p.packing, kOriginalPacking);
  EXPECT_LT(p.data.size(), bytes.size());
  PackedOriginal tiny = packOriginal("x");
  EXPECT_EQ(tiny.packing, PackStored);
  EXPECT_EQ(tiny.data, "x");
}

TEST_F(OriginalsStore, OldDatabaseReadsAsKeepingNone) {
  selectDatabase(7, KindMailDb);
  EXPECT_FALSE(originalsFileExists());
  EXPECT_FALSE(keepsOriginals(KindMailDb));
  EXPECT_FALSE(readOriginal(KindMailDb, 1234).has_value());
  // Asking makes no file.
  EXPECT_FALSE(originalsFileExists());
  // Turning the setting off for a database without the file makes none either.
  EXPECT_TRUE(setKeepOriginals(KindMailDb, false, ReportQuiet));
  EXPECT_FALSE(originalsFileExists());
}

TEST_F(OriginalsStore, NewMailboxesAndNewsgroupsKeepOriginals) {
  MailboxSpec spec;
  spec.owner = "Owner Name";
  spec.address = "owner@example.org";
  uint32_t mailbox = AddMailbox(spec, false, ReportQuiet);
  ASSERT_NE(mailbox, 0u);
  uint32_t group = AddForumDatabase("comp.test.originals", KindNewsDb, ReportQuiet);
  ASSERT_NE(group, 0u);
  uint32_t forum = AddForumDatabase("A Forum", KindForumDb, ReportQuiet);
  ASSERT_NE(forum, 0u);

  ASSERT_TRUE(qv::selectDatabase(mailbox));
  EXPECT_TRUE(keepsOriginals(Mem.ForumType));
  ASSERT_TRUE(qv::selectDatabase(group));
  EXPECT_TRUE(keepsOriginals(Mem.ForumType));
  ASSERT_TRUE(qv::selectDatabase(forum));
  EXPECT_FALSE(keepsOriginals(Mem.ForumType));
  EXPECT_FALSE(originalsFileExists());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(OriginalsStore, SettingIsPerDatabaseAndForumsKeepNone) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  EXPECT_TRUE(keepsOriginals(KindMailDb));
  ASSERT_TRUE(write(500, sampleMail(1)));
  ASSERT_TRUE(setKeepOriginals(KindMailDb, false, ReportQuiet));
  EXPECT_FALSE(keepsOriginals(KindMailDb));
  // What was kept stays readable.
  EXPECT_EQ(readOriginal(KindMailDb, 500), sampleMail(1));

  selectDatabase(8, KindNewsDb);
  EXPECT_FALSE(keepsOriginals(KindNewsDb));
  ASSERT_TRUE(setKeepOriginals(KindNewsDb, true, ReportQuiet));
  EXPECT_TRUE(keepsOriginals(KindNewsDb));

  selectDatabase(9, KindForumDb);
  EXPECT_FALSE(setKeepOriginals(KindForumDb, true, ReportQuiet));
  EXPECT_FALSE(keepsOriginals(KindForumDb));
  EXPECT_FALSE(originalsFileExists());

  selectDatabase(7, KindMailDb);
  EXPECT_FALSE(keepsOriginals(KindMailDb));
  EXPECT_FALSE(readOriginal(KindMailDb, 501).has_value());
}

TEST_F(OriginalsStore, OneContentForManyMessagesUntilTheLastGoes) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  ASSERT_TRUE(write(501, sampleMail(1)));
  ASSERT_TRUE(write(502, sampleMail(1)));
  ASSERT_TRUE(write(503, sampleMail(2)));
  EXPECT_EQ(contentRows(), 2);
  EXPECT_EQ(readOriginal(KindMailDb, 501), sampleMail(1));
  EXPECT_EQ(readOriginal(KindMailDb, 502), sampleMail(1));
  EXPECT_EQ(readOriginal(KindMailDb, 503), sampleMail(2));

  // Writing the same original again changes nothing.
  ASSERT_TRUE(write(502, sampleMail(1)));
  EXPECT_EQ(contentRows(), 2);

  // One copy goes, the other keeps the content.
  ASSERT_TRUE(remove(501));
  EXPECT_FALSE(readOriginal(KindMailDb, 501).has_value());
  EXPECT_EQ(readOriginal(KindMailDb, 502), sampleMail(1));
  EXPECT_EQ(contentRows(), 2);
  ASSERT_TRUE(remove(502));
  EXPECT_EQ(contentRows(), 1);
  // Removing a message without an original is no failure.
  EXPECT_TRUE(remove(502));
  EXPECT_TRUE(remove(9999));

  // A message given another original lets the first one go.
  ASSERT_TRUE(write(503, sampleMail(3)));
  EXPECT_EQ(readOriginal(KindMailDb, 503), sampleMail(3));
  EXPECT_EQ(contentRows(), 1);
}

// A transaction cut short by a kill leaves a journal that a read-only open
// cannot get past: the writer still finds the database keeping originals
// (the journal rolled back) instead of taking it for one that keeps none.
TEST_F(OriginalsStore, AJournalLeftByAKillDoesNotTurnKeepingOff) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  for (uint32_t id = 600; id < 640; ++id) ASSERT_TRUE(write(id, sampleMail(int(id))));
  Originals.close();
  std::string path = filePath(FileOriginals);
  // A writer whose changes spilled to the file before it could commit: the
  // file and its journal as a kill at that moment leaves them.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE Originals SET REFS = REFS + 7 WHERE MSGID = 0; "
                             "DELETE FROM Originals WHERE MSGID = 0 AND HASH = ''",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  std::string killed = std::filesystem::path(path).parent_path().string() + "/../F8";
  std::filesystem::create_directories(killed);
  std::filesystem::copy_file(path, killed + "/IDX036.ADF");
  ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
  std::filesystem::copy_file(path + "-journal", killed + "/IDX036.ADF-journal");
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  EXPECT_TRUE(keepsOriginalsIn(8, KindMailDb));
  selectDatabase(8, KindMailDb);
  EXPECT_TRUE(keepsOriginals(KindMailDb));
  EXPECT_EQ(readOriginal(KindMailDb, 611), sampleMail(611));
}

TEST_F(OriginalsStore, PackGivesTheSpaceOfRemovedOriginalsBack) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  // Bytes that do not pack, so that the file grows with them.
  std::string noise;
  uint32_t x = 1;
  for (int i = 0; i < 200000; ++i) noise += char((x = x * 1103515245 + 12345) >> 24);
  for (uint32_t id = 800; id < 810; ++id) ASSERT_TRUE(write(id, std::to_string(id) + noise));
  std::string path = filePath(FileOriginals);
  Originals.close();
  auto full = std::filesystem::file_size(path);
  for (uint32_t id = 800; id < 809; ++id) ASSERT_TRUE(remove(id));
  OP_CLOSE(OpPack, {FileOriginals});
  auto packed = std::filesystem::file_size(path);
  EXPECT_LT(packed, full / 4) << full << " -> " << packed;
  EXPECT_EQ(readOriginal(KindMailDb, 809), std::to_string(809) + noise);
  EXPECT_TRUE(keepsOriginals(KindMailDb));
}

TEST_F(OriginalsStore, EmptyAndBinaryOriginalsComeBackExactly) {
  selectDatabase(7, KindNewsDb);
  ASSERT_TRUE(setKeepOriginals(KindNewsDb, true, ReportQuiet));
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += char(i * 7919 % 256);
  ASSERT_TRUE(write(601, ""));
  ASSERT_TRUE(write(602, binary));
  EXPECT_EQ(readOriginal(KindNewsDb, 601), std::string());
  EXPECT_EQ(readOriginal(KindNewsDb, 602), binary);
}

// Bytes whose SHA-256 ends in one blank: the field keeps them without it.
std::string bytesHashingToATrailingBlank() {
  for (int n = 0;; ++n) {
    std::string s = sampleMail(n);
    if (originalHash(s).substr(62) == "20" && originalHash(s).substr(60, 2) != "20") return s;
  }
}

// The hashes of the rows of the open file, as stored.
std::vector<std::string> storedHashes() {
  std::vector<std::string> hashes;
  Originals.setFileOrder();
  while (Originals.next())
    if (!ORI.HASH.blank() && !isDictionaryRow(ORI.HASH.view())) hashes.push_back(ORI.HASH.str());
  ORI.DATA.clear();
  return hashes;
}

TEST_F(OriginalsStore, NewFilesNameContentsByTheBytesOfTheirHash) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  std::string blankEnded = bytesHashingToATrailingBlank();
  for (uint32_t id : {701u, 702u, 703u, 704u}) addMail(id);
  ASSERT_TRUE(write(701, sampleMail(1)));
  ASSERT_TRUE(write(702, sampleMail(1)));
  ASSERT_TRUE(write(703, sampleMail(2)));
  ASSERT_TRUE(write(704, blankEnded));
  EXPECT_EQ(contentRows(), 3);

  OP_CLOSE(OpShared, {FileOriginals, FileMail});
  EXPECT_EQ(originalsHashForm(), HashForm::Bytes);
  std::vector<std::string> hashes = storedHashes();
  EXPECT_EQ(hashes.size(), 7u);
  for (const std::string& h : hashes) EXPECT_LE(h.size(), 32u);
  // A hash that ended in a blank is stored without it, and still names
  // its content.
  EXPECT_EQ(std::count(hashes.begin(), hashes.end(), storedHash(originalHash(blankEnded), HashForm::Bytes).substr(0, 31)),
            2);
  EXPECT_EQ(hashOfStored(storedHash(originalHash(blankEnded), HashForm::Bytes).substr(0, 31)), originalHash(blankEnded));
  EXPECT_EQ(checkOriginals(KindMailDb), std::vector<std::string>());
  OP_CLOSE(OpRelease, {FileOriginals, FileMail});

  EXPECT_EQ(readOriginal(KindMailDb, 701), sampleMail(1));
  EXPECT_EQ(readOriginal(KindMailDb, 702), sampleMail(1));
  EXPECT_EQ(readOriginal(KindMailDb, 703), sampleMail(2));
  EXPECT_EQ(readOriginal(KindMailDb, 704), blankEnded);
  // The same original again adds nothing; the last message takes its content along.
  ASSERT_TRUE(write(704, blankEnded));
  EXPECT_EQ(contentRows(), 3);
  ASSERT_TRUE(remove(704));
  ASSERT_TRUE(remove(701));
  EXPECT_EQ(contentRows(), 2);
  EXPECT_EQ(readOriginal(KindMailDb, 702), sampleMail(1));
}

// A file made before contents were named by their bytes keeps its hex
// hashes: what it holds reads as before, and what is added to it is named
// alike, so that a message met again takes no more room.
TEST_F(OriginalsStore, FilesOfHexHashesKeepThem) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  OP_CLOSE(OpShared, {FileOriginals});
  ORI = OriginalsRec();
  ASSERT_TRUE(Originals.get(ORI_IdKey));
  ORI.PACKING = uint8_t(HashForm::Hex);  // the settings row as files made before have it
  ASSERT_TRUE(Originals.put());
  OP_CLOSE(OpRelease, {FileOriginals});
  addMail(801);
  addMail(802);
  ASSERT_TRUE(write(801, sampleMail(1)));
  ASSERT_TRUE(write(802, sampleMail(1)));
  // Turning the setting off and on again does not change the form.
  ASSERT_TRUE(setKeepOriginals(KindMailDb, false, ReportQuiet));
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  EXPECT_EQ(contentRows(), 1);

  OP_CLOSE(OpShared, {FileOriginals, FileMail});
  EXPECT_EQ(originalsHashForm(), HashForm::Hex);
  for (const std::string& h : storedHashes()) EXPECT_EQ(h, originalHash(sampleMail(1)));
  EXPECT_EQ(checkOriginals(KindMailDb), std::vector<std::string>());
  OP_CLOSE(OpRelease, {FileOriginals, FileMail});
  EXPECT_EQ(readOriginal(KindMailDb, 801), sampleMail(1));
  ASSERT_TRUE(remove(801));
  EXPECT_EQ(readOriginal(KindMailDb, 802), sampleMail(1));
  ASSERT_TRUE(remove(802));
  EXPECT_EQ(contentRows(), 0);
}

TEST_F(OriginalsStore, CheckReportsEveryKindOfFault) {
  selectDatabase(7, KindMailDb);
  ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
  addMail(701);
  addMail(702);
  ASSERT_TRUE(write(701, sampleMail(1)));
  ASSERT_TRUE(write(702, sampleMail(2)));
  OP_CLOSE(OpShared, {FileMail});
  EXPECT_EQ(checkOriginals(KindMailDb), std::vector<std::string>());
  OP_CLOSE(OpRelease, {FileMail});

  addMail(703);              // a mail without its original
  ASSERT_TRUE(write(799, sampleMail(3)));  // an original without its mail
  // A damaged content.
  OP_CLOSE(OpShared, {FileOriginals});
  std::string hash = storedHash(originalHash(sampleMail(2)), originalsHashForm());
  ORI = OriginalsRec();
  ORI.HASH = hash;
  ASSERT_TRUE(Originals.get(ORI_IdKey));
  ORI.DATA[ORI.DATA.size() / 2] ^= 0x55;
  ASSERT_TRUE(Originals.put());
  OP_CLOSE(OpRelease, {FileOriginals});

  OP_CLOSE(OpShared, {FileMail});
  std::vector<std::string> faults = checkOriginals(KindMailDb);
  OP_CLOSE(OpRelease, {FileMail});
  auto has = [&](const std::string& text) {
    return std::any_of(faults.begin(), faults.end(),
                       [&](const std::string& f) { return f.find(text) != std::string::npos; });
  };
  EXPECT_EQ(faults.size(), 3u);
  EXPECT_TRUE(has("mail 703 has no original"));
  EXPECT_TRUE(has("mail 799 belongs to no mail"));
  EXPECT_TRUE(has("is damaged"));
  EXPECT_FALSE(readOriginal(KindMailDb, 702).has_value());

  // Without the setting, a mail without original is no fault.
  ASSERT_TRUE(setKeepOriginals(KindMailDb, false, ReportQuiet));
  OP_CLOSE(OpShared, {FileMail});
  faults = checkOriginals(KindMailDb);
  OP_CLOSE(OpRelease, {FileMail});
  EXPECT_FALSE(has("mail 703 has no original"));
}

}  // namespace
