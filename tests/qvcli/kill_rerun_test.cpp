// An import killed at any point and run again ends with exactly the archive
// of an uninterrupted run: every file of the installation is compared, record
// by record, with one made by runs that were never interrupted.
#include <gtest/gtest.h>

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
constexpr int kMails = 260;   // posting commits every hundred messages (kCommitEvery): several commits
constexpr int kForum = 230;
constexpr int kNews = 230;
const char* kCommitEvery = "100";

struct Kind {
  std::string name;
  std::vector<std::string> importArgs;  // after "import"
};

std::vector<Kind> kinds(const std::string& sources) {
  return {
      {"mail", {"--format", "Unix Mail", "--mailbox", "Mary Owner", sources + "/mail.mbx"}},
      {"forum", {"--format", "OzWin II", sources + "/forum.msg"}},
      {"news", {"--format", "Unix News", sources + "/news.txt"}},
      {"groups", {"--format", "Unix News", sources + "/groups.txt"}},
  };
}

// The databases whose originals are checked after the last run.
const char* const kKeepingOriginals[] = {"Mary Owner", "comp.test", "comp.second", "comp.third"};

// Articles of two newsgroups the import makes, one after the other.
std::string twoNewGroups() {
  std::string out;
  for (const char* group : {"comp.second", "comp.third"}) {
    std::string news = generatedNews(kNews / 2);
    for (size_t at = 0; (at = news.find("comp.test", at)) != std::string::npos; at += 9) news.replace(at, 9, group);
    std::string host = std::string("@") + group + ".example>";
    for (size_t at = 0; (at = news.find("@example.com>", at)) != std::string::npos; at += host.size())
      news.replace(at, 13, host);
    out += news;
  }
  return out;
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void makeInstallation(const std::string& root) {
  ProcessResult r = runQvcli({"--root", root, "init"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runQvcli({"--root", root, "mailbox", "add", "--owner", "Mary Owner", "--address", kOwner, "--alt",
                "m.owner@old.example"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
}

ProcessResult import(const std::string& root, const Kind& k, const std::string& crashAt = "") {
  std::vector<std::string> env;
  if (!crashAt.empty()) env.push_back("QV_CRASH_AT=" + crashAt);
  return runQvcli(with({"--root", root, "import", "--unattended", "--commit-every", kCommitEvery}, k.importArgs), env);
}

// One interruption plan: for each kind, the crash points its import passes
// through one after the other before a last run completes.
struct Plan {
  std::string label;
  std::map<std::string, std::vector<std::string>> crashes;
};

class KillRerunTest : public ::testing::TestWithParam<Plan> {
 protected:
  static void SetUpTestSuite() {
    sources_ = new TempDir;
    writeFile(sources_->file("mail.mbx"), generatedMbox(kMails, kOwner));
    writeFile(sources_->file("forum.msg"), generatedForumCapture(kForum));
    writeFile(sources_->file("news.txt"), generatedNews(kNews));
    writeFile(sources_->file("groups.txt"), twoNewGroups());
    TempDir baseline;
    makeInstallation(baseline.path());
    for (const Kind& k : kinds(sources_->path())) {
      ProcessResult r = import(baseline.path(), k);
      ASSERT_EQ(r.exitCode, 0) << k.name << ": " << r.out << r.err;
    }
    expected_ = new std::string(dumpArchive(baseline.path()));
    // The mailbox and the newsgroup keep their originals, part of what is compared.
    ASSERT_NE(expected_->find("/IDX036.ADF"), std::string::npos);
    // Both trained a dictionary from their first originals, which a rerun
    // must pack with as the uninterrupted run did.
    ASSERT_NE(expected_->find("dictionary "), std::string::npos);
  }
  static void TearDownTestSuite() {
    delete sources_;
    delete expected_;
  }

  static TempDir* sources_;
  static std::string* expected_;
};

TempDir* KillRerunTest::sources_ = nullptr;
std::string* KillRerunTest::expected_ = nullptr;

TEST_P(KillRerunTest, RerunEndsWithTheArchiveOfAnUninterruptedRun) {
  const Plan& plan = GetParam();
  ASSERT_FALSE(expected_->empty());
  TempDir dir;
  makeInstallation(dir.path());
  for (const Kind& k : kinds(sources_->path())) {
    auto it = plan.crashes.find(k.name);
    if (it != plan.crashes.end()) {
      for (const std::string& point : it->second) {
        ProcessResult r = import(dir.path(), k, point);
        EXPECT_EQ(r.signal, SIGKILL) << k.name << " was not killed at " << point << ": " << r.out << r.err;
        // Between the kill and the rerun the database list counts what the
        // database holds.
        ProcessResult list = runQvcli({"--root", dir.path(), "list"});
        EXPECT_EQ(list.exitCode, 0) << list.err;
      }
    }
    ProcessResult r = import(dir.path(), k);
    ASSERT_EQ(r.exitCode, 0) << k.name << ": " << r.out << r.err;
  }
  std::string actual = dumpArchive(dir.path());
  for (const char* db : kKeepingOriginals) {
    ProcessResult check = runQvcli({"--root", dir.path(), "check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
  EXPECT_EQ(actual.size(), expected_->size());
  EXPECT_TRUE(actual == *expected_) << plan.label << " differs at " << firstDifference(*expected_, actual);
}

INSTANTIATE_TEST_SUITE_P(
    Interruptions, KillRerunTest,
    ::testing::Values(
        Plan{"during conversion", {{"mail", {"conversion-message:40"}}, {"forum", {"conversion-message:7"}}}},
        Plan{"before the first commit",
             {{"mail", {"posting-message:30"}}, {"forum", {"posting-message:1"}}, {"news", {"posting-message:99"}}}},
        Plan{"at the first commit",
             {{"mail", {"posting-commit:1"}}, {"forum", {"posting-commit:1"}}, {"news", {"posting-commit:1"}}}},
        Plan{"after a commit", {{"mail", {"posting-message:150"}}, {"news", {"posting-message:120"}}}},
        Plan{"at the last commit", {{"mail", {"posting-last-commit:1"}}, {"forum", {"posting-last-commit:1"}}}},
        // Killed just after the import made a newsgroup's database: the rerun
        // keeps the originals of its articles as an uninterrupted run does.
        Plan{"after making the first new group", {{"groups", {"database-made:1"}}}},
        Plan{"after making the second new group", {{"groups", {"database-made:2"}}}},
        Plan{"twice, then a rerun",
             {{"mail", {"posting-commit:2", "posting-message:20", "conversion-message:3"}},
              {"forum", {"posting-message:130", "posting-commit:1"}},
              {"news", {"posting-commit:2", "posting-message:5"}},
              {"groups", {"database-made:2", "posting-message:50"}}}}),
    [](const ::testing::TestParamInfo<Plan>& planInfo) {
      std::string n;
      for (char c : planInfo.param.label) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

}  // namespace
