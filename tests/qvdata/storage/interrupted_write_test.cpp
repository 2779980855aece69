// A file left by a writer killed in the middle of a transaction that had
// already written into it: the next reader that may write the file rolls the
// journal back and reads what was last committed; one that may not is told
// that the interrupted job must be run again, and nothing is changed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "storage/file.h"
#include "storage/posting_driver.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

using namespace qv;
using qvtest::TempDir;
namespace fs = std::filesystem;

namespace {

struct NoteRec {
  uint32_t ID = 0;
  std::string NOTE;
};
NoteRec NTR;

FileDecl& noteDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Notes", "NTR", "ARDENT"};
    DeclBuilder<NoteRec> b(decl, NTR);
    b.field("ID", &NoteRec::ID).memo("NOTE", &NoteRec::NOTE, 2000);
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}

struct PairRec {
  uint32_t SYSID = 0;
  uint32_t WORDID = 0;
};
PairRec PAI;

FileDecl& pairDecl() {
  static FileDecl d = [] {
    registerPostingDriver();
    FileDecl decl{0, "MasIdx", "PAI", kPostingDriverName};
    DeclBuilder<PairRec> b(decl, PAI);
    b.field("SYSID", &PairRec::SYSID).field("WORDID", &PairRec::WORDID);
    b.key("by_SysID", {{"SYSID"}, {"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
        .key("by_WordId", {{"WORDID"}, {"SYSID"}}, KeyDup | KeyExcludeEmpty);
    return decl;
  }();
  return d;
}

constexpr int kRecords = 60;

// A keyed file of kRecords notes and a word-occurrence file of as many pairs.
void writeFiles(const std::string& notes, const std::string& pairs) {
  File n(noteDecl()), p(pairDecl());
  n.setName(notes);
  p.setName(pairs);
  ASSERT_TRUE(n.create() && n.open()) << ErrorText();
  ASSERT_TRUE(p.create() && p.open()) << ErrorText();
  for (uint32_t i = 1; i <= kRecords; ++i) {
    NTR.ID = i;
    NTR.NOTE = std::string(1000, char('a' + i % 26));
    ASSERT_TRUE(n.add()) << ErrorText();
    PAI.SYSID = i;
    PAI.WORDID = 7;
    ASSERT_TRUE(p.add()) << ErrorText();
  }
}

// A writer that changes the file well past what its page cache holds (so
// that the changes reach the file before the commit) and is killed before
// it commits: the file and its journal as a kill leaves them.
void killWriterIn(const std::string& path) {
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) ::_exit(2);
    int rc = sqlite3_exec(db,
                          "PRAGMA cache_size = 2; BEGIN; CREATE TABLE junk(x); "
                          "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 300) "
                          "INSERT INTO junk SELECT randomblob(1000) FROM c; "
                          "UPDATE qv_meta SET value = 'x' || value;",
                          nullptr, nullptr, nullptr);
    ::_exit(rc == SQLITE_OK ? 0 : 3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer did not get to its kill";
  ASSERT_TRUE(fs::exists(path + "-journal"));
}

// Opens both files read-only and reads every record; 0 when all is as last
// committed, else what went wrong (the child of an unprivileged run reports
// through its exit status).
int readBoth(const std::string& notes, const std::string& pairs) {
  File n(noteDecl()), p(pairDecl());
  n.setName(notes);
  p.setName(pairs);
  if (!n.open(Share::ReadOnly)) return ErrorCode() == ErrInterrupted ? 10 : 11;
  if (!p.open(Share::ReadOnly)) return ErrorCode() == ErrInterrupted ? 20 : 21;
  int notesRead = 0, pairsRead = 0;
  n.setFileOrder();
  while (n.next()) notesRead += NTR.NOTE == std::string(1000, char('a' + NTR.ID % 26));
  p.set(p.key(0));
  while (p.next()) pairsRead += PAI.WORDID == 7;
  return notesRead == kRecords && pairsRead == kRecords ? 0 : 30;
}

}  // namespace

TEST(InterruptedWrite, AReaderThatMayWriteRollsTheJournalBack) {
  TempDir dir;
  std::string notes = dir.file("IDX090.ADF"), pairs = dir.file("IDX091.ADF");
  writeFiles(notes, pairs);
  killWriterIn(notes);
  killWriterIn(pairs);
  EXPECT_EQ(readBoth(notes, pairs), 0) << ErrorText();
  EXPECT_FALSE(fs::exists(notes + "-journal"));
  EXPECT_FALSE(fs::exists(pairs + "-journal"));
}

TEST(InterruptedWrite, AReaderThatMayNotWriteIsToldTheJobMustRunAgain) {
  for (bool notesKilled : {true, false}) {
    TempDir dir;
    std::string notes = dir.file("IDX090.ADF"), pairs = dir.file("IDX091.ADF");
    writeFiles(notes, pairs);
    killWriterIn(notesKilled ? notes : pairs);
    auto before = qvtest::snapshotTree(dir.path());
    qvtest::setTreeWritable(dir.path(), false);
    int result = qvtest::runUnprivileged(dir.path(), [&] { return readBoth(notes, pairs); });
    qvtest::setTreeWritable(dir.path(), true);
    EXPECT_EQ(result, notesKilled ? 10 : 20) << "refused as left by an interrupted job";
    EXPECT_EQ(qvtest::snapshotTree(dir.path()), before) << "nothing was changed";
  }
}
