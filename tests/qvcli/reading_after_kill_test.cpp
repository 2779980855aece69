// Reading what a killed import left: a file whose journal the kill left
// behind (the transaction had already written into it) is rolled back by
// the next reader that may write it, so that show and check read what was
// committed; where the files cannot be written, reading says that the
// interrupted job must be run again, and check never calls sound what it
// could not read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/generated_sources.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";

// Mails long enough that a hundred of them fill more than SQLite's page
// cache: a posting transaction writes into its files before it commits.
std::string longMails(int count) {
  std::string line = "A line of a long mail, long enough to fill the page cache of the posting.\n";
  std::string out;
  for (int i = 1; i <= count; ++i) {
    out += "From sender@example.org Sat Mar  6 21:39:44 2004\nFrom: Sender " + std::to_string(i % 7) +
           " <sender" + std::to_string(i % 7) + "@example.org>\nTo: " + kOwner + "\nSubject: Long mail " +
           std::to_string(i) + "\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nMessage-ID: <long" + std::to_string(i) +
           "@example.org>\n\n";
    for (int l = 0; l < 500; ++l) out += std::to_string(i) + " " + line;
    out += "\n";
  }
  return out;
}

class ReadingAfterKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ASSERT_EQ(qvcli({"init"}).exitCode, 0);
    ProcessResult r = qvcli({"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  ProcessResult qvcli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args, env);
  }
  // An import of 300 long mails killed at its second commit: the first 100
  // are committed, the next 100 written into the files but not committed.
  void killedImport() {
    writeFile(dir.file("long.mbx"), longMails(300));
    ProcessResult r = qvcli({"import", "--unattended", "--commit-every", "100", "--format", "Unix Mail", "--mailbox",
                             "Mary Owner", dir.file("long.mbx")},
                            {"QV_CRASH_AT=posting-commit:2"});
    ASSERT_EQ(r.signal, SIGKILL) << r.out << r.err;
    ASSERT_FALSE(journals().empty()) << "the kill left no journal";
  }
  // The journals a writer had begun to play into their files (their header
  // written, not zeroed), which make the files unreadable to a read-only
  // connection until they are rolled back.
  std::vector<std::string> journals() {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.path().string().ends_with("-journal") && readFile(e.path()).substr(0, 8) != std::string(8, '\0'))
        found.push_back(e.path().string());
    return found;
  }
  static int lines(const std::string& s) { return int(std::count(s.begin(), s.end(), '\n')); }

  TempDir dir;
  std::string root;
};

}  // namespace

TEST_F(ReadingAfterKillTest, ReadersThatMayWriteRollBackAndReadWhatWasCommitted) {
  killedImport();
  ProcessResult show = qvcli({"show", "Mary Owner"});
  ASSERT_EQ(show.exitCode, 0) << show.err;
  EXPECT_EQ(lines(show.out), 100) << "the mails of the first commit";
  EXPECT_TRUE(journals().empty()) << "the journals were rolled back";
  ProcessResult check = qvcli({"check", "Mary Owner"});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("originals kept, no fault found"), std::string::npos) << check.out;

  // The rerun posts the rest.
  ProcessResult r = qvcli({"import", "--unattended", "--commit-every", "100", "--format", "Unix Mail", "--mailbox",
                           "Mary Owner", dir.file("long.mbx")});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(lines(qvcli({"show", "Mary Owner"}).out), 300);
  EXPECT_EQ(qvcli({"check", "Mary Owner"}).exitCode, 0);
}

TEST_F(ReadingAfterKillTest, ReadersThatMayNotWriteSayTheJobMustRunAgain) {
  killedImport();
  auto before = snapshotTree(root);
  setTreeWritable(dir.path(), false);
  // Results: 1 it named no interrupted job, 10 + the exit status when show
  // did not stop with status 3.
  int result = runUnprivileged(dir.path(), [&] {
    ProcessResult show = qvcli({"show", "Mary Owner"});
    if (show.exitCode != 3) return 10 + show.exitCode;
    if (show.err.find("was left unfinished by an interrupted job") == std::string::npos ||
        show.err.find("Run the interrupted job again") == std::string::npos)
      return 1;
    return 0;
  });
  setTreeWritable(dir.path(), true);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(snapshotTree(root), before) << "nothing was changed";
}

// Only the Originals file was left with its journal: check says that it
// cannot read it instead of "originals not kept, no fault found".
TEST_F(ReadingAfterKillTest, CheckNeverCallsSoundAFileItCouldNotRead) {
  writeFile(dir.file("mail.mbx"), generatedMbox(30, kOwner));
  ProcessResult r = qvcli({"import", "--unattended", "--format", "Unix Mail", "--mailbox", "Mary Owner",
                           dir.file("mail.mbx")});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string originals = root + "/F1/IDX036.ADF";
  ASSERT_TRUE(fs::exists(originals));
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A writer killed after its changes reached the file.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(originals.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) ::_exit(2);
    int rc = sqlite3_exec(db,
                          "PRAGMA cache_size = 2; BEGIN; CREATE TABLE junk(x); "
                          "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 300) "
                          "INSERT INTO junk SELECT randomblob(1000) FROM c;",
                          nullptr, nullptr, nullptr);
    ::_exit(rc == SQLITE_OK ? 0 : 3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(fs::exists(originals + "-journal"));

  setTreeWritable(dir.path(), false);
  int result = runUnprivileged(dir.path(), [&] {
    ProcessResult check = qvcli({"check", "Mary Owner"});
    if (check.exitCode != 1) return 1;
    if (check.err.find("cannot be read") == std::string::npos) return 2;
    return 0;
  });
  setTreeWritable(dir.path(), true);
  EXPECT_EQ(result, 0);
  ProcessResult check = qvcli({"check", "Mary Owner"});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("originals kept, no fault found"), std::string::npos) << check.out;
}
