// Opening and closing the declared files by number: paths, use counts, the
// recovery from missing, foreign and damaged files, and the messages with
// which the program stops when it cannot go on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class FileServiceTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    dbDir = selectDatabase(1, 1);
  }
  std::string dbDir;
};

// ---- paths ----

TEST_F(FileServiceTest, PathsFollowTheDirectoryGlobals) {
  EXPECT_EQ(filePath(FileControl), root + "/CFG/IDX008.ADF");
  EXPECT_EQ(filePath(FileForums), root + "/CFG/IDX002.ADF");
  EXPECT_EQ(filePath(FileSearch), root + "/TEMP/IDX032.ADF");
  EXPECT_EQ(filePath(FileMsgNmbr), root + "/F1/IDX003.ADF");
  EXPECT_EQ(filePath(FileDbRef), root + "/F1/IDX022.DAT");
  EXPECT_EQ(filePath(FileWordList), root + "/F1/IDX028.DAT");
  EXPECT_EQ(filePath(FileMasIdx), root + "/F1/IDX029.ADF");

  // The word index may live under a root of its own.
  MasIdxPath = root + "/INDEX";
  EXPECT_EQ(filePath(FileMasIdx), root + "/INDEX/F1/IDX029.ADF");
  EXPECT_EQ(filePath(FilePurgeList), root + "/INDEX/F1/IDX033.DAT");
  EXPECT_EQ(filePath(FileMsgNmbr), root + "/F1/IDX003.ADF");

  // External files take the path the caller set, without trailing blanks.
  FileTmpName = "/some/where/source.dbf   ";
  EXPECT_EQ(filePath(FileCcoStore), "/some/where/source.dbf");
  EXPECT_EQ(filePath(FileRawFile), "/some/where/source.dbf");
}

// Every numbered file has its place: the configuration area, the temporary
// directory, the database's directory, its word-index directory or the
// source file an import names; the older keyed files end in .DAT.
TEST_F(FileServiceTest, EveryNumberedFileHasItsPath) {
  MasIdxPath = root + "/INDEX";
  FileTmpName = "/some/where/source.dbf";
  const std::map<int, std::string> expected = {
      {1, root + "/F1/IDX001.ADF"},
      {2, root + "/CFG/IDX002.ADF"},
      {3, root + "/F1/IDX003.ADF"},
      {4, root + "/F1/IDX004.ADF"},
      {5, root + "/F1/IDX005.ADF"},
      {6, root + "/F1/IDX006.ADF"},
      {7, root + "/F1/IDX007.ADF"},
      {8, root + "/CFG/IDX008.ADF"},
      {9, root + "/F1/IDX009.ADF"},
      {10, root + "/TEMP/IDX010.ADF"},
      {11, std::string("/some/where/source.dbf")},
      {12, std::string("/some/where/source.dbf")},
      {13, root + "/F1/IDX013.ADF"},
      {14, root + "/F1/IDX014.ADF"},
      {15, root + "/F1/IDX015.ADF"},
      {17, root + "/F1/IDX017.ADF"},
      {18, root + "/CFG/IDX018.ADF"},
      {19, root + "/TEMP/IDX019.ADF"},
      {20, std::string("/some/where/source.dbf")},
      {21, std::string("/some/where/source.dbf")},
      {22, root + "/F1/IDX022.DAT"},
      {23, root + "/F1/IDX023.ADF"},
      {24, root + "/TEMP/IDX024.ADF"},
      {25, root + "/F1/IDX025.ADF"},
      {26, root + "/CFG/IDX026.ADF"},
      {27, root + "/CFG/IDX027.ADF"},
      {28, root + "/INDEX/F1/IDX028.DAT"},
      {29, root + "/INDEX/F1/IDX029.ADF"},
      {30, root + "/CFG/IDX030.ADF"},
      {31, std::string("/some/where/source.dbf")},
      {32, root + "/TEMP/IDX032.ADF"},
      {33, root + "/INDEX/F1/IDX033.DAT"},
      {34, root + "/CFG/IDX034.ADF"},
      {35, root + "/CFG/IDX035.ADF"},
      {36, root + "/F1/IDX036.ADF"},
      {37, root + "/TEMP/IDX037.ADF"},
      {39, root + "/INDEX/F1/IDX039.ADF"},
      {40, std::string("/some/where/source.dbf")},
  };
  for (int n = kFirstFileNumber; n <= kLastFileNumber; ++n) {
    File* f = fileByNumber(n);
    auto it = expected.find(n);
    if (it == expected.end()) {
      EXPECT_EQ(f, nullptr) << "file " << n;
      continue;
    }
    ASSERT_NE(f, nullptr) << "file " << n;
    EXPECT_EQ(f->decl().number, n) << "the declaration carries its own number";
    EXPECT_EQ(filePath(n), it->second) << "file " << n;
  }
  EXPECT_EQ(fileByNumber(kFirstFileNumber - 1), nullptr);
  EXPECT_EQ(fileByNumber(kLastFileNumber + 1), nullptr);
}

TEST_F(FileServiceTest, WordIndexDirectoryUnderItsOwnRootIsMadeOnOpen) {
  MasIdxPath = root + "/INDEX";
  OP_CLOSE(OpShared, {FileMasIdx});
  EXPECT_TRUE(fs::is_regular_file(root + "/INDEX/F1/IDX029.ADF"));
  EXPECT_EQ(fs::status(root + "/INDEX/F1").permissions() & fs::perms::all, fs::perms::owner_all);
  OP_CLOSE(OpRelease, {FileMasIdx});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  // Emptying, packing and probing open the file too: each makes the
  // directory of a database whose word index was never opened.
  int dirNumber = 2;
  for (int action : {OpEmpty, OpPack, OpProbe}) {
    selectDatabase(uint32_t(dirNumber), 1);
    std::string indexDir = root + "/INDEX/F" + std::to_string(dirNumber++);
    ASSERT_FALSE(fs::exists(indexDir));
    EXPECT_FALSE(haltText([&] { OP_CLOSE(action, {FileWordList}); })) << "action " << action << prompts.transcript();
    EXPECT_TRUE(fs::is_regular_file(indexDir + "/IDX028.DAT")) << "action " << action;
  }
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

// ---- undefined numbers ----

TEST_F(FileServiceTest, UndefinedFileNumberStopsTheProgram) {
  const std::string expected = std::string(8, ' ') + "File no 16 not defined!" + std::string(9, ' ') + "\r\n" +
                               std::string(8, ' ') + "Quorvane will terminate!" + std::string(8, ' ');
  auto halted = haltText([] { OP_CLOSE(OpShared, {16}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(*halted, expected);
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, expected);
  EXPECT_EQ(r.caption, "Program Failure!");

  for (int n : {0, 38, 41, -3}) {
    prompts.reset();
    auto h = haltText([n] { OP_CLOSE(OpRelease, {n}); });
    ASSERT_TRUE(h) << "file no " << n;
    EXPECT_NE(h->find("File no " + std::to_string(n) + " not defined!"), std::string::npos) << *h;
    EXPECT_EQ(onlyRequest().caption, "Program Failure!");
  }
}

TEST_F(FileServiceTest, FilesBeforeAnUndefinedNumberAreStillHandled) {
  ASSERT_TRUE(haltText([] { OP_CLOSE(OpShared, {FileControl, FileMsgNmbr, 16, FilePerson}); }));
  EXPECT_EQ(useCount(FileMsgNmbr), 1);
  EXPECT_TRUE(MsgNmbr.isOpen());
  EXPECT_EQ(useCount(FilePerson), 0) << "a file after the undefined number is not opened";
  EXPECT_FALSE(fs::exists(dbDir + "/IDX005.ADF"));
  OP_CLOSE(OpRelease, {FileControl, FileMsgNmbr});
}

// ---- opening ----

TEST_F(FileServiceTest, MissingDatabaseFileIsCreatedOnFirstOpen) {
  std::string path = dbDir + "/IDX003.ADF";
  ASSERT_FALSE(fs::exists(path));
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_TRUE(fs::is_regular_file(path));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(MsgNmbr.isOpen());
  EXPECT_EQ(FileName, path);
  EXPECT_EQ(MsgNmbr.records(), 0);

  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = 7;
  ASSERT_TRUE(MsgNmbr.add()) << ErrorText();
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_FALSE(MsgNmbr.isOpen());

  // Opened again, the file keeps what it holds.
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_EQ(MsgNmbr.records(), 1);
  OP_CLOSE(OpRelease, {FileMsgNmbr});
}

TEST_F(FileServiceTest, MissingDatabaseDirectoryStopsWithThePathMessage) {
  selectDatabase(2, 1);
  fs::remove_all(root + "/F2");
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(*halted, "Check your directory setup in Preferences and run File/Rebuild.");
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The path " + root + "/F2 does not exist.\r\nQuorvane will terminate.");
  EXPECT_EQ(r.caption, "Path Not Found");
  EXPECT_FALSE(fs::exists(root + "/F2")) << "the directory is not made behind the user's back";
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());
}

TEST_F(FileServiceTest, DatabaseFileWithoutASelectedDatabaseIsRefused) {
  Mem.Dirnamn.clear();
  for (int action : {int(OpShared), int(OpExclusive), int(OpEmpty), int(OpPack), int(OpProbe)}) {
    prompts.reset();
    auto halted = haltText([action] { OP_CLOSE(action, {FileMsgNmbr}); });
    ASSERT_TRUE(halted) << "action " << action;
    EXPECT_EQ(onlyRequest().caption, "Invalid File Name Error") << "action " << action;
    EXPECT_FALSE(fs::exists(root + "/IDX003.ADF")) << "action " << action << " made a database file at the root";
  }
}

TEST_F(FileServiceTest, SearchFileOfAnotherLayoutIsAlwaysMadeAnew) {
  std::string path = filePath(FileSearch);
  writeForeignLayout(path, "Search", 5);
  OP_CLOSE(OpShared, {FileSearch});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  ASSERT_TRUE(Search.isOpen());
  EXPECT_EQ(Search.records(), 0);
  SEA.ID = 42;
  EXPECT_TRUE(Search.add()) << ErrorText();
  OP_CLOSE(OpRelease, {FileSearch});
}

TEST_F(FileServiceTest, SearchFileOfGarbageBytesIsMadeAnew) {
  std::string path = filePath(FileSearch);
  writeFile(path, std::string(3000, '\x5a') + "not a keyed file at all");
  OP_CLOSE(OpShared, {FileSearch});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  ASSERT_TRUE(Search.isOpen());
  EXPECT_EQ(Search.records(), 0);
  OP_CLOSE(OpRelease, {FileSearch});
}

TEST_F(FileServiceTest, MsgNmbrOfAnotherLayoutStopsAndIsLeftOnDisk) {
  std::string path = dbDir + "/IDX003.ADF";
  writeForeignLayout(path, "MsgNmbr", 0);
  std::string before = readFile(path);
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  const std::string text = "The file " + path +
                           " cannot be opened\r\nas the file definition is incorrect.\r\nQuorvane will terminate.";
  EXPECT_EQ(*halted, text);
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, text);
  EXPECT_EQ(r.caption, " File Open Error - Invalid record declaration");
  EXPECT_EQ(readFile(path), before) << "the messages must not be deleted";
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
}

TEST_F(FileServiceTest, SmallFileOfAnotherLayoutIsMadeAnewOnlyWhileEmpty) {
  std::string path = dbDir + "/IDX001.ADF";
  writeForeignLayout(path, "Codes", 0);
  OP_CLOSE(OpShared, {FileCodes});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  ASSERT_TRUE(Codes.isOpen());
  COD = CodesRec();
  COD.ID = 9;
  COD.INDEX = "topic";
  EXPECT_TRUE(Codes.add()) << ErrorText();
  OP_CLOSE(OpRelease, {FileCodes});

  // The same with records in it: the topics are kept and the program stops.
  fs::remove(path);
  writeForeignLayout(path, "Codes", 3);
  std::string before = readFile(path);
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileCodes}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(onlyRequest().caption, " File Open Error - Invalid record declaration");
  EXPECT_EQ(readFile(path), before);
}

TEST_F(FileServiceTest, DbRefOfAnotherLayoutIsMadeAnewWhileEmpty) {
  std::string path = dbDir + "/IDX022.DAT";
  writeForeignLayout(path, "DbRef", 0);
  OP_CLOSE(OpShared, {FileDbRef});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_TRUE(DbRef.isOpen());
  OP_CLOSE(OpRelease, {FileDbRef});
}

TEST_F(FileServiceTest, GarbageInPlaceOfMsgNmbrStopsAndTouchesNothing) {
  OP_CLOSE(OpShared, {FilePerson});  // a neighbour that is open meanwhile
  OP_CLOSE(OpRelease, {FilePerson});
  std::string path = dbDir + "/IDX003.ADF";
  writeFile(path, "This is no keyed file, just some text that happens to be there.\r\n");
  auto before = snapshotTree(root);
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The file " + path +
                        " cannot be opened\r\nas the file definition is incorrect.\r\nQuorvane will terminate.");
  EXPECT_EQ(r.caption, " File Open Error - Invalid record declaration");
  EXPECT_EQ(snapshotTree(root), before);
}

TEST_F(FileServiceTest, DamagedKeysAreRebuiltOnOpen) {
  OP_CLOSE(OpShared, {FilePerson});
  for (uint32_t id : {3u, 1u, 2u}) {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.PERSONSTRING = "PERSON " + std::to_string(id);
    ASSERT_TRUE(Person.add()) << ErrorText();
  }
  OP_CLOSE(OpRelease, {FilePerson});
  std::string path = dbDir + "/IDX005.ADF";
  auto markDamaged = [&] {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT OR REPLACE INTO qv_meta(name, value) VALUES('keys_pending', '1');"
                           "DROP INDEX IF EXISTS PER_StringKey;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
  };
  markDamaged();

  OP_CLOSE(OpShared, {FilePerson});
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text,
            "The file " + path + " cannot be opened\r\ndue to corrupted indices.\r\nAutomatic rebuild will take place.");
  EXPECT_EQ(r.caption, "File Open Error - Bad keys");
  ASSERT_TRUE(Person.isOpen());
  PER = PersonRec();
  PER.PERSONSTRING = "person 2";
  ASSERT_TRUE(Person.get(PER_StringKey)) << "the rebuilt key finds the record: " << ErrorText();
  EXPECT_EQ(PER.PERSONID, 2u);
  OP_CLOSE(OpRelease, {FilePerson});

  // Unattended, the rebuild happens without a word.
  markDamaged();
  prompts.reset();
  Mem.DoTask = RunUnattended;
  OP_CLOSE(OpShared, {FilePerson});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_TRUE(Person.isOpen());
  OP_CLOSE(OpRelease, {FilePerson});
}

TEST_F(FileServiceTest, FileInUseElsewhereIsRefused) {
  // A second program holds the file exclusively.
  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpForceClose, {FileMsgNmbr});
  File other(MsgNmbr.decl());
  other.setName(dbDir + "/IDX003.ADF");
  ASSERT_TRUE(other.open(Share::Exclusive)) << ErrorText();

  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(*halted, "Check your network access rights or the possible need for SHARE or VSHARE");
  EXPECT_EQ(onlyRequest().text, "The file " + dbDir + "/IDX003.ADF cannot be opened!\r\nQuorvane will terminate.");
  EXPECT_EQ(onlyRequest().caption, " File Open Error - Access denied");
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  other.close();
}

TEST_F(FileServiceTest, ExclusiveOpenKeepsOthersOut) {
  File other(MsgNmbr.decl());
  other.setName(dbDir + "/IDX003.ADF");

  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_TRUE(other.open(Share::Shared)) << "shared use admits others: " << ErrorText();
  other.close();
  OP_CLOSE(OpRelease, {FileMsgNmbr});

  OP_CLOSE(OpExclusive, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 1);
  EXPECT_FALSE(other.open(Share::ReadOnly));
  EXPECT_EQ(ErrorCode(), ErrAccessDenied);
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_TRUE(other.open(Share::Shared)) << ErrorText();
  other.close();
}

TEST_F(FileServiceTest, EmptyingAFileInUseElsewhereStops) {
  OP_CLOSE(OpShared, {FileMsgNmbr});
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = 1;
  ASSERT_TRUE(MsgNmbr.add());
  OP_CLOSE(OpRelease, {FileMsgNmbr});

  File other(MsgNmbr.decl());
  other.setName(dbDir + "/IDX003.ADF");
  ASSERT_TRUE(other.open(Share::Shared)) << ErrorText();
  auto halted = haltText([] { OP_CLOSE(OpEmpty, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(onlyRequest().text, "The file " + dbDir +
                                    "/IDX003.ADF cannot be emptied.\r\nExclusive access not granted \r\nQuorvane will "
                                    "terminate.");
  EXPECT_EQ(onlyRequest().caption, "File Empty Error");
  EXPECT_EQ(other.records(), 1) << "nothing was deleted";
  other.close();
}

// ---- use counts ----

TEST_F(FileServiceTest, TwoOpensNeedTwoReleases) {
  OP_CLOSE(OpShared, {FileMsgNmbr, FilePerson});
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 2);
  EXPECT_EQ(useCount(FilePerson), 1);

  OP_CLOSE(OpRelease, {FileMsgNmbr, FilePerson});
  EXPECT_EQ(useCount(FileMsgNmbr), 1);
  EXPECT_TRUE(MsgNmbr.isOpen()) << "still used by one procedure";
  EXPECT_EQ(useCount(FilePerson), 0);
  EXPECT_FALSE(Person.isOpen());

  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());

  // A release too many leaves the count at 0.
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 1);
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(FileServiceTest, ForceCloseEndsEveryUse) {
  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpForceClose, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
}

TEST_F(FileServiceTest, EmptyPackAndDeleteLeaveTheCountAtZero) {
  auto addMessages = [] {
    for (uint32_t id = 1; id <= 3; ++id) {
      MSG = MsgNmbrRec();
      MSG.MSGNUMBER = id;
      ASSERT_TRUE(MsgNmbr.add()) << ErrorText();
    }
  };
  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpShared, {FileMsgNmbr});
  addMessages();

  OP_CLOSE(OpPack, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_EQ(MsgNmbr.records(), 3) << "packing keeps the records";

  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpEmpty, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());
  OP_CLOSE(OpShared, {FileMsgNmbr});
  EXPECT_EQ(MsgNmbr.records(), 0) << "emptying deletes the records";
  addMessages();

  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpDelete, {FileMsgNmbr});
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
  EXPECT_FALSE(MsgNmbr.isOpen());
  EXPECT_FALSE(fs::exists(dbDir + "/IDX003.ADF"));
  // Deleting a file that is not there is no error.
  OP_CLOSE(OpDelete, {FileMsgNmbr});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(FileServiceTest, ProbeReportsALayoutMismatchSilently) {
  OP_CLOSE(OpShared, {FileMsgNmbr});
  OP_CLOSE(OpRelease, {FileMsgNmbr});
  EXPECT_TRUE(OP_CLOSE(OpProbe, {FileMsgNmbr}));
  EXPECT_FALSE(MsgNmbr.isOpen());
  EXPECT_EQ(useCount(FileMsgNmbr), 0);

  std::string path = dbDir + "/IDX001.ADF";
  writeForeignLayout(path, "Codes", 2);
  std::string before = readFile(path);
  EXPECT_FALSE(OP_CLOSE(OpProbe, {FileMsgNmbr, FileCodes}));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(readFile(path), before);
  EXPECT_FALSE(Codes.isOpen());
  EXPECT_EQ(useCount(FileCodes), 0);

  // Even a file that could be made anew is only reported by a probe.
  fs::remove(path);
  writeForeignLayout(path, "Codes", 0);
  before = readFile(path);
  EXPECT_FALSE(OP_CLOSE(OpProbe, {FileCodes}));
  EXPECT_EQ(readFile(path), before);
}

TEST_F(FileServiceTest, UnattendedFailuresStillStopButShowNothing) {
  Mem.DoTask = RunUnattended;
  std::string path = dbDir + "/IDX003.ADF";
  writeForeignLayout(path, "MsgNmbr", 1);
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  EXPECT_NE(halted->find("as the file definition is incorrect."), std::string::npos);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

}  // namespace
