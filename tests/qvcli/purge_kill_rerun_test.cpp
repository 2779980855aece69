// A purge killed at a commit (or just before one) and run again ends with
// the archive of an uninterrupted purge, and a count run after either gives
// the same counters: every file of the installation is compared record by
// record.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";
const std::vector<std::string> kDatabases = {"Mary Owner", "Big Forum", "comp.test"};  // the forum as its capture names it

ProcessResult qvcli(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args, env);
}

// The message IDs `show` lists for a database.
std::vector<std::string> messageIds(const std::string& root, const std::string& db) {
  std::vector<std::string> out;
  ProcessResult r = qvcli(root, {"show", db});
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    std::string first = line.substr(0, line.find(' '));
    if (!first.empty() && first.find_first_not_of("0123456789") == std::string::npos) out.push_back(first);
  }
  return out;
}

class PurgeKillRerunTest : public ::testing::TestWithParam<std::string> {
 protected:
  // An installation with a mailbox, a forum and a newsgroup, indexed, a
  // fifth of each database's messages marked for deletion; and the archive
  // an uninterrupted purge and count make of it.
  static void SetUpTestSuite() {
    prepared_ = new TempDir;
    TempDir sources;
    writeFile(sources.file("mail.mbx"), generatedMbox(200, kOwner));
    writeFile(sources.file("forum.msg"), generatedForumCapture(150));
    writeFile(sources.file("news.txt"), generatedNews(150));
    std::string root = prepared_->path();
    ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
    ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner}).exitCode, 0);
    for (const std::vector<std::string>& import :
         {std::vector<std::string>{"--format", "Unix Mail", "--mailbox", "Mary Owner", sources.file("mail.mbx")},
          std::vector<std::string>{"--format", "OzWin II", sources.file("forum.msg")},
          std::vector<std::string>{"--format", "Unix News", sources.file("news.txt")}}) {
      std::vector<std::string> args = {"import", "--unattended"};
      args.insert(args.end(), import.begin(), import.end());
      ProcessResult r = qvcli(root, args);
      ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    for (const std::string& db : kDatabases) {
      ProcessResult r = qvcli(root, {"index", db, "--full", "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
      std::vector<std::string> ids = messageIds(root, db);
      ASSERT_GT(ids.size(), 50u) << db;
      for (size_t i = 0; i < ids.size(); i += 5) {
        r = qvcli(root, {"status", db, "--message", ids[i], "delete"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
      }
    }
    TempDir baseline;
    copyTo(baseline.path());
    purgeAndCount(baseline.path());
    expected_ = new std::string(dumpArchive(baseline.path()));
  }
  static void TearDownTestSuite() {
    delete prepared_;
    delete expected_;
  }

  static void copyTo(const std::string& dir) {
    fs::copy(prepared_->path(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  static void purgeAndCount(const std::string& root) {
    for (const std::string& db : kDatabases) {
      ProcessResult r = qvcli(root, {"purge", db, "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
      r = qvcli(root, {"count", db, "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
    }
  }

  static TempDir* prepared_;
  static std::string* expected_;
};

TempDir* PurgeKillRerunTest::prepared_ = nullptr;
std::string* PurgeKillRerunTest::expected_ = nullptr;

TEST_P(PurgeKillRerunTest, RerunEndsAsAnUninterruptedPurge) {
  ASSERT_TRUE(expected_ && !expected_->empty());
  TempDir dir;
  copyTo(dir.path());
  for (const std::string& db : kDatabases) {
    ProcessResult r = qvcli(dir.path(), {"purge", db, "--unattended"}, {"QV_CRASH_AT=" + GetParam()});
    EXPECT_EQ(r.signal, SIGKILL) << db << " was not killed at " << GetParam() << ": " << r.out << r.err;
  }
  purgeAndCount(dir.path());
  std::string actual = dumpArchive(dir.path());
  EXPECT_TRUE(actual == *expected_) << GetParam() << ": differs at " << firstDifference(*expected_, actual);
  for (const char* db : {"Mary Owner", "comp.test"}) {
    ProcessResult check = qvcli(dir.path(), {"check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Interruptions, PurgeKillRerunTest,
                         ::testing::Values("purge-before-commit:1", "purge-commit:1", "purge-before-commit:2", "purge-commit:3"),
                         [](const ::testing::TestParamInfo<std::string>& paramInfo) {
                           std::string n;
                           for (char c : paramInfo.param) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

}  // namespace
