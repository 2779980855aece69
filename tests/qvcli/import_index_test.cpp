// An import that indexes the words of the messages it posts (`import
// --index`) leaves the same word index as an indexing run after a plain
// import, for generated mail, forum messages and news and for the sample
// mailboxes; and one killed at any point, run again, ends with the archive
// and index of an uninterrupted one.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
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
const char* kCommitEvery = "40";  // many posting commits, and as many commits of the index

struct Source {
  std::string name;      // the kind, for plans and messages
  std::string database;  // the database the import posts into
  std::vector<std::string> importArgs;
};

void makeInstallation(const std::string& root) {
  ProcessResult r = runQvcli({"--root", root, "init"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runQvcli({"--root", root, "mailbox", "add", "--owner", "Mary Owner", "--address", kOwner});
  ASSERT_EQ(r.exitCode, 0) << r.err;
}

ProcessResult import(const std::string& root, const Source& s, bool index, const std::string& crashAt = "") {
  std::vector<std::string> args = {"--root", root, "import", "--unattended", "--commit-every", kCommitEvery};
  if (index) args.push_back("--index");
  args.insert(args.end(), s.importArgs.begin(), s.importArgs.end());
  std::vector<std::string> env;
  if (!crashAt.empty()) env.push_back("QV_CRASH_AT=" + crashAt);
  return runQvcli(args, env);
}

// Imports every source into a new installation at `root`, the words indexed
// in the import's pass or by an indexing run after each import.
void build(const std::string& root, const std::vector<Source>& sources, bool onePass) {
  makeInstallation(root);
  for (const Source& s : sources) {
    ProcessResult r = import(root, s, onePass);
    ASSERT_EQ(r.exitCode, 0) << s.name << ": " << r.out << r.err;
    if (onePass) {
      EXPECT_NE(r.out.find("Messages indexed:"), std::string::npos) << s.name << ": " << r.out;
    } else {
      r = runQvcli({"--root", root, "index", s.database, "--unattended"});
      ASSERT_EQ(r.exitCode, 0) << s.name << ": " << r.out << r.err;
    }
  }
}

class ImportIndexTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sources_ = new TempDir;
    writeFile(sources_->file("mail.mbx"), generatedMbox(300, kOwner));
    writeFile(sources_->file("forum.msg"), generatedForumCapture(230));
    writeFile(sources_->file("news.txt"), generatedNews(230));
  }
  static void TearDownTestSuite() { delete sources_; }

  static std::vector<Source> generated() {
    const std::string d = sources_->path();
    return {
        {"mail", "Mary Owner", {"--format", "Unix Mail", "--mailbox", "Mary Owner", d + "/mail.mbx"}},
        {"forum", "Big Forum", {"--format", "OzWin II", d + "/forum.msg"}},
        {"news", "comp.test", {"--format", "Unix News", d + "/news.txt"}},
    };
  }

  static TempDir* sources_;
};

TempDir* ImportIndexTest::sources_ = nullptr;

TEST_F(ImportIndexTest, OnePassGivesTheIndexOfARunAfterTheImport) {
  TempDir onePass, afterwards;
  build(onePass.path(), generated(), true);
  build(afterwards.path(), generated(), false);
  std::string expected = dumpArchive(afterwards.path());
  std::string actual = dumpArchive(onePass.path());
  ASSERT_NE(expected.find("IDX029.ADF word "), std::string::npos) << "nothing was indexed";
  ASSERT_NE(expected.find("IDX029.ADF sequence "), std::string::npos);
  EXPECT_TRUE(actual == expected) << firstDifference(expected, actual);
  // Nothing is left for an indexing run to do.
  for (const Source& s : generated()) {
    ProcessResult r = runQvcli({"--root", onePass.path(), "index", s.database, "--recount"});
    EXPECT_NE(r.out.find("nothing to do"), std::string::npos) << s.name << ": " << r.out << r.err;
  }
}

TEST_F(ImportIndexTest, OnePassGivesTheIndexOfARunAfterTheImportForTheSampleMailboxes) {
  std::string corpus = corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  std::vector<std::string> boxes;
  std::error_code ec;
  for (fs::directory_iterator it(corpus + "/mbox", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) boxes.push_back(it->path().string());
  ASSERT_FALSE(boxes.empty());
  std::sort(boxes.begin(), boxes.end());
  Source all{"sample mailboxes", "Mary Owner", {"--format", "Unix Mail", "--mailbox", "Mary Owner"}};
  all.importArgs.insert(all.importArgs.end(), boxes.begin(), boxes.end());
  TempDir onePass, afterwards;
  build(onePass.path(), {all}, true);
  build(afterwards.path(), {all}, false);
  std::string expected = dumpArchive(afterwards.path());
  std::string actual = dumpArchive(onePass.path());
  ASSERT_NE(expected.find("IDX029.ADF word "), std::string::npos) << "nothing was indexed";
  EXPECT_TRUE(actual == expected) << firstDifference(expected, actual);
}

// Killed at a point of an import with indexing, once or twice, then run to
// its end: the archive and the index are those of an uninterrupted run.
TEST_F(ImportIndexTest, AKilledImportWithIndexingRunAgainEndsAsAnUninterruptedOne) {
  TempDir baseline;
  build(baseline.path(), generated(), true);
  const std::string expected = dumpArchive(baseline.path());
  const std::vector<std::map<std::string, std::vector<std::string>>> plans = {
      // between a posting's commit and its words' commit
      {{"mail", {"index-commit:2"}}, {"forum", {"index-commit:1"}}, {"news", {"index-commit:3"}}},
      // in the middle of a posting, after some words were committed
      {{"mail", {"posting-message:150"}}, {"news", {"posting-message:100"}}},
      // twice, at the last commits
      {{"mail", {"index-commit:5", "posting-last-commit:1"}}, {"forum", {"posting-commit:3", "index-commit:1"}}},
  };
  for (size_t p = 0; p < plans.size(); ++p) {
    TempDir dir;
    makeInstallation(dir.path());
    for (const Source& s : generated()) {
      auto it = plans[p].find(s.name);
      if (it != plans[p].end()) {
        for (const std::string& point : it->second) {
          ProcessResult r = import(dir.path(), s, true, point);
          EXPECT_EQ(r.signal, SIGKILL) << "plan " << p << ": " << s.name << " was not killed at " << point << ": "
                                       << r.out << r.err;
        }
      }
      ProcessResult r = import(dir.path(), s, true);
      ASSERT_EQ(r.exitCode, 0) << s.name << ": " << r.out << r.err;
    }
    std::string actual = dumpArchive(dir.path());
    EXPECT_TRUE(actual == expected) << "plan " << p << " differs at " << firstDifference(expected, actual);
  }
}

}  // namespace
