// The rebuild and the merge run as a user runs them: an installation whose
// database list is lost comes back whole and finds what it found before;
// a merge killed at a commit and run again ends as an uninterrupted merge.
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

ProcessResult qvcli(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args, env);
}

std::string renamed(std::string text, const std::string& from, const std::string& to) {
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size())) text.replace(p, from.size(), to);
  return text;
}

// `list` without the IDs, which a rebuild draws anew.
std::string listWithoutIds(const std::string& root) {
  ProcessResult r = qvcli(root, {"list"});
  std::istringstream lines(r.out);
  std::string line, out;
  while (std::getline(lines, line)) out += line.substr(std::min(line.size(), line.find(' '))) + "\n";
  return out;
}

void import(const std::string& root, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"import", "--unattended"};
  all.insert(all.end(), args.begin(), args.end());
  ProcessResult r = qvcli(root, all);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
}

const std::vector<std::string> kDatabases = {"Big Forum", "Second Forum", "Third Forum", "Mary Owner", "John Box",
                                             "comp.test"};

}  // namespace

TEST(RebuildAsAUser, AnInstallationWithoutItsDatabaseListComesBackWholeAndFindsTheSame) {
  TempDir dir, sources;
  std::string root = dir.path() + "/q";
  ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
  ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner}).exitCode, 0);
  ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "John Box", "--address", "john@box.example"}).exitCode, 0);
  std::string forum = generatedForumCapture(60);
  writeFile(sources.file("f1.msg"), forum);
  writeFile(sources.file("f2.msg"), renamed(forum, "(Big Forum)", "(Second Forum)"));
  writeFile(sources.file("f3.msg"), renamed(generatedForumCapture(25), "(Big Forum)", "(Third Forum)"));
  writeFile(sources.file("mary.mbx"), generatedMbox(80, kOwner));
  writeFile(sources.file("john.mbx"), generatedMbox(30, "john@box.example"));
  writeFile(sources.file("news.txt"), generatedNews(50));
  for (const char* f : {"f1.msg", "f2.msg", "f3.msg"}) import(root, {"--format", "OzWin II", sources.file(f)});
  import(root, {"--format", "Unix Mail", "--mailbox", "Mary Owner", sources.file("mary.mbx")});
  import(root, {"--format", "Unix Mail", "--mailbox", "John Box", sources.file("john.mbx")});
  import(root, {"--format", "Unix News", sources.file("news.txt")});
  std::vector<std::string> hits;
  for (const std::string& db : kDatabases) {
    ProcessResult r = qvcli(root, {"index", db, "--full", "--unattended"});
    ASSERT_EQ(r.exitCode, 0) << db << r.err;
    r = qvcli(root, {"search", db, "--wildcard", "t*"});
    ASSERT_EQ(r.exitCode, 0) << db << r.err;
    hits.push_back(r.out);
  }
  std::string before = listWithoutIds(root);
  for (const std::string& db : kDatabases) EXPECT_NE(before.find(db), std::string::npos) << before;

  fs::remove(root + "/CFG/IDX002.ADF");
  EXPECT_EQ(listWithoutIds(root).find("Big Forum"), std::string::npos);
  ProcessResult r = qvcli(root, {"rebuild"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" All databases are connected"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Newsgroup  F"), std::string::npos) << r.out;
  EXPECT_EQ(listWithoutIds(root), before);
  for (size_t i = 0; i < kDatabases.size(); ++i) {
    ProcessResult s = qvcli(root, {"search", kDatabases[i], "--wildcard", "t*"});
    EXPECT_EQ(s.out, hits[i]) << kDatabases[i];
  }
  for (const char* db : {"Mary Owner", "John Box", "comp.test"}) {
    ProcessResult check = qvcli(root, {"check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
  // A mailbox owner is known again: new mail is told sent and received as before.
  ProcessResult again = qvcli(root, {"import", "--unattended", "--format", "Unix Mail", "--mailbox", "Mary Owner",
                                     sources.file("mary.mbx")});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(listWithoutIds(root), before);

  ProcessResult nextId = qvcli(root, {"rebuild", "--next-id"});
  EXPECT_EQ(nextId.exitCode, 0) << nextId.err;
  EXPECT_NE(nextId.out.find("Checking for highest existing ID ...OK!"), std::string::npos) << nextId.out;
  EXPECT_EQ(qvcli(root, {"rebuild", "--bogus"}).exitCode, 1);
}

class MergeKillRerunTest : public ::testing::TestWithParam<std::string> {
 protected:
  // Two mailboxes, two forums and two newsgroups, half of each pair's
  // messages shared; and the archive uninterrupted merges make of it.
  static void SetUpTestSuite() {
    prepared_ = new TempDir;
    TempDir sources;
    std::string root = prepared_->path();
    ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
    ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner}).exitCode, 0);
    ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "Mary Again", "--address", kOwner}).exitCode, 0);
    std::string mail = generatedMbox(300, kOwner);
    size_t half = mail.find("From ", mail.size() / 2);
    writeFile(sources.file("a.mbx"), mail);
    writeFile(sources.file("b.mbx"), mail.substr(half));
    writeFile(sources.file("a.msg"), generatedForumCapture(300));
    writeFile(sources.file("b.msg"), renamed(generatedForumCapture(150), "(Big Forum)", "(Other Forum)"));
    writeFile(sources.file("a.txt"), generatedNews(300));
    writeFile(sources.file("b.txt"), renamed(generatedNews(150), "Newsgroups: comp.test", "Newsgroups: comp.other"));
    import(root, {"--format", "Unix Mail", "--mailbox", "Mary Owner", sources.file("a.mbx")});
    import(root, {"--format", "Unix Mail", "--mailbox", "Mary Again", sources.file("b.mbx")});
    for (const char* f : {"a.msg", "b.msg"}) import(root, {"--format", "OzWin II", sources.file(f)});
    for (const char* f : {"a.txt", "b.txt"}) import(root, {"--format", "Unix News", sources.file(f)});
    TempDir baseline;
    copyTo(baseline.path());
    mergeAll(baseline.path());
    expected_ = new std::string(dumpArchive(baseline.path()));
  }
  static void TearDownTestSuite() {
    delete prepared_;
    delete expected_;
  }
  static void copyTo(const std::string& dir) {
    fs::copy(prepared_->path(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  static std::vector<std::vector<std::string>> merges() {
    return {{"Mary Owner", "Mary Again"}, {"Big Forum", "Other Forum"}, {"comp.test", "comp.other"}};
  }
  static void mergeAll(const std::string& root) {
    for (const auto& m : merges()) {
      ProcessResult r = qvcli(root, {"merge", m[0], m[1], "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << m[0] << ": " << r.out << r.err;
    }
  }
  static TempDir* prepared_;
  static std::string* expected_;
};

TempDir* MergeKillRerunTest::prepared_ = nullptr;
std::string* MergeKillRerunTest::expected_ = nullptr;

TEST_P(MergeKillRerunTest, RerunEndsAsAnUninterruptedMerge) {
  ASSERT_TRUE(expected_ && !expected_->empty());
  TempDir dir;
  copyTo(dir.path());
  for (const auto& m : merges()) {
    ProcessResult r =
        qvcli(dir.path(), {"merge", m[0], m[1], "--unattended", "--commit-every", "50"}, {"QV_CRASH_AT=" + GetParam()});
    EXPECT_EQ(r.signal, SIGKILL) << m[0] << " was not killed at " << GetParam() << ": " << r.out << r.err;
  }
  mergeAll(dir.path());
  std::string actual = dumpArchive(dir.path());
  EXPECT_TRUE(actual == *expected_) << GetParam() << ": differs at " << firstDifference(*expected_, actual);
  for (const char* db : {"Mary Again", "comp.other"}) {
    ProcessResult check = qvcli(dir.path(), {"check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Interruptions, MergeKillRerunTest,
                         ::testing::Values("conversion-message:100", "posting-message:70", "posting-commit:2"),
                         [](const ::testing::TestParamInfo<std::string>& paramInfo) {
                           std::string n;
                           for (char c : paramInfo.param) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });
