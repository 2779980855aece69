// qvcli dedup: the summary and exits as a script sees them, and a run killed
// at a commit (or just before one) and run again ends with the archive of
// an uninterrupted run, whose person counts a count run leaves as they are.
// Every file of the installation is compared record by record.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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
const std::vector<std::string> kDatabases = {"Mary Owner", "Big Forum", "comp.test"};

ProcessResult qvcli(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args, env);
}

// Replaces every second occurrence of `from`, so that a correspondent
// writes under two names (or two spellings of one address).
std::string everySecond(std::string text, const std::string& from, const std::string& to) {
  size_t at = 0;
  for (int n = 0; (at = text.find(from, at)) != std::string::npos; ++n) {
    if (n % 2) {
      text.replace(at, from.size(), to);
      at += to.size();
    } else {
      at += from.size();
    }
  }
  return text;
}

// The person records of an archive dump.
std::string personLines(const std::string& dump) {
  std::string out, line;
  for (size_t at = 0; at < dump.size();) {
    size_t end = dump.find('\n', at);
    if (end == std::string::npos) end = dump.size();
    line = dump.substr(at, end - at);
    if (line.find("IDX005.ADF Person:") != std::string::npos) out += line + "\n";
    at = end + 1;
  }
  return out;
}

// An installation with a mailbox, a forum and a newsgroup whose
// correspondents write under several person strings of one address.
void prepare(const std::string& root) {
  TempDir sources;
  std::string mbox = generatedMbox(200, kOwner);
  mbox = everySecond(mbox, "From: Ann Archer <person0@example.org>", "From: Annie A <PERSON0@Example.org>");
  mbox = everySecond(mbox, "From: Mary Owner <mary@owner.example>", "From: Mary at work <MARY@owner.example>");
  std::string forum = everySecond(generatedForumCapture(150), "Fm: Ann Archer 70000,100", "Fm: A. Archer 70000.100");
  forum = everySecond(forum, "Fm: Bob Baker 70001,101", "Fm: Robert Baker [70001,101]");
  std::string news = everySecond(generatedNews(150), "From: Bob Baker <person1@example.org>",
                                 "From: Robert Baker <person1@example.org>");
  writeFile(sources.file("mail.mbx"), mbox);
  writeFile(sources.file("forum.msg"), forum);
  writeFile(sources.file("news.txt"), news);
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
  // Counted once, so that the newsgroup's answers name their receivers and
  // only the merging changes the counts.
  for (const std::string& db : kDatabases) {
    ProcessResult r = qvcli(root, {"count", db, "--unattended"});
    ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
  }
}

class DedupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prepared_ = new TempDir;
    prepare(prepared_->path());
    TempDir baseline;
    copyTo(baseline.path());
    for (const std::string& db : kDatabases) {
      ProcessResult r = qvcli(baseline.path(), {"dedup", db, "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
      summaries_->push_back(r.out);
    }
    afterDedup_ = new std::string(dumpArchive(baseline.path()));
    count(baseline.path());
    expected_ = new std::string(dumpArchive(baseline.path()));
  }
  static void TearDownTestSuite() {
    delete prepared_;
    delete expected_;
    delete afterDedup_;
    summaries_->clear();
  }

  static void copyTo(const std::string& dir) {
    fs::copy(prepared_->path(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  static void count(const std::string& root) {
    for (const std::string& db : kDatabases) {
      ProcessResult r = qvcli(root, {"count", db, "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
    }
  }

  static TempDir* prepared_;
  static std::string* expected_;
  static std::string* afterDedup_;
  static std::vector<std::string>* summaries_;
};

TempDir* DedupTest::prepared_ = nullptr;
std::string* DedupTest::expected_ = nullptr;
std::string* DedupTest::afterDedup_ = nullptr;
std::vector<std::string>* DedupTest::summaries_ = new std::vector<std::string>;

TEST_F(DedupTest, SummariesInTheWindowsWordsAndCountsACountRunKeeps) {
  ASSERT_EQ(summaries_->size(), 3u);
  const std::string& mail = (*summaries_)[0];
  EXPECT_NE(mail.find("Existing Mail Partners in database:"), std::string::npos) << mail;
  // Ann Archer under a second name and in capitals (the owner's second name is the owner's: the import
  // knows the owner's address in any case).
  EXPECT_NE(mail.find("Duplicate Mail Partners merged:                1"), std::string::npos) << mail;
  EXPECT_NE(mail.find("The time for completion was: "), std::string::npos) << mail;
  const std::string& forum = (*summaries_)[1];
  EXPECT_NE(forum.find("Duplicate Forum Members merged:                2"), std::string::npos) << forum;
  const std::string& news = (*summaries_)[2];
  EXPECT_NE(news.find("Duplicate Newsgroup Participants merged:       1"), std::string::npos) << news;
  // The run left every person's counts as a count run makes them.
  ASSERT_TRUE(afterDedup_ && expected_);
  std::string persons = personLines(*afterDedup_);
  EXPECT_NE(persons.find("Person:"), std::string::npos);
  EXPECT_TRUE(persons == personLines(*expected_))
      << "a count run changed " << firstDifference(persons, personLines(*expected_));
}

TEST_F(DedupTest, WrongArgumentsFailAndHelpRunsNothing) {
  TempDir dir;
  copyTo(dir.path());
  EXPECT_NE(qvcli(dir.path(), {"dedup"}).exitCode, 0);
  EXPECT_NE(qvcli(dir.path(), {"dedup", "no such database"}).exitCode, 0);
  EXPECT_NE(qvcli(dir.path(), {"dedup", "comp.test", "--fast"}).exitCode, 0);
  std::string before = dumpArchive(dir.path());
  ProcessResult help = runQvcli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("dedup DB"), std::string::npos) << help.out;
  EXPECT_EQ(dumpArchive(dir.path()), before);
}

class DedupKillRerunTest : public DedupTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(DedupKillRerunTest, RerunEndsAsAnUninterruptedRun) {
  ASSERT_TRUE(expected_ && !expected_->empty());
  TempDir dir;
  copyTo(dir.path());
  for (const std::string& db : kDatabases) {
    ProcessResult r = qvcli(dir.path(), {"dedup", db, "--unattended"}, {"QV_CRASH_AT=" + GetParam()});
    EXPECT_EQ(r.signal, SIGKILL) << db << " was not killed at " << GetParam() << ": " << r.out << r.err;
  }
  for (const std::string& db : kDatabases) {
    ProcessResult r = qvcli(dir.path(), {"dedup", db, "--unattended"});
    ASSERT_EQ(r.exitCode, 0) << db << ": " << r.out << r.err;
  }
  count(dir.path());
  std::string actual = dumpArchive(dir.path());
  EXPECT_TRUE(actual == *expected_) << GetParam() << ": differs at " << firstDifference(*expected_, actual);
  for (const char* db : {"Mary Owner", "comp.test"}) {
    ProcessResult check = qvcli(dir.path(), {"check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Interruptions, DedupKillRerunTest,
                         ::testing::Values("dup-before-commit:1", "dup-commit:1", "dup-before-commit:2", "dup-commit:3"),
                         [](const ::testing::TestParamInfo<std::string>& paramInfo) {
                           std::string n;
                           for (char c : paramInfo.param) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

}  // namespace
