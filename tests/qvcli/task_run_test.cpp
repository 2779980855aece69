// Scheduled tasks run by qvcli as cron or a systemd timer runs them: a task
// over sample mail and news that imports, merges duplicates, purges and
// indexes; its second run finds nothing new; due tasks; a held
// installation; and runs killed at several points, whose next run ends with
// the archive of an uninterrupted run.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qvcli_process.h"
#include "services/installation.h"
#include "support/archive_dump.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

ProcessResult qvcli(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args, env);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// The log report's lines without the date and time of its heading and the
// seconds of its steps.
std::vector<std::string> withoutTimes(const std::vector<std::string>& report) {
  std::vector<std::string> out;
  for (std::string l : report) {
    size_t t = l.find(" Time: ");
    if (t != std::string::npos) l = l.substr(0, t) + " Time: ...";
    if (l.rfind("Nightly ", 0) == 0) l = "Nightly ...";
    out.push_back(l);
  }
  return out;
}

// The archive for comparing a killed and rerun task with an uninterrupted
// one: the dump, but for the word-occurrence file, whose lists hold message
// IDs as they were drawn (a killed run draws some in vain); the word list
// with every word's message count stands for it.
std::string archiveOf(const std::string& root) {
  std::string kept;
  for (const std::string& l : lines(dumpArchive(root)))
    if (l.find("/IDX029.ADF ") == std::string::npos) kept += l + "\n";
  return kept + qvcli(root, {"words", "Mary Owner", "--by", "count"}).out;
}

const std::vector<std::string> kReport = {
    "",
    "Nightly ...",
    "Import procedures:",
    " Mail Result: No errors Time: ...",
    " News Result: No errors Time: ...",
    "Cleanup procedures:",
    " Mary Owner/Merging Duplicates Result: No errors Time: ...",
    " Mary Owner/Purging Messages Result: No errors Time: ...",
    " Mary Owner/Indexing Words Result: No errors Time: ...",
    " example.config/Merging Duplicates Result: No errors Time: ...",
    " example.config/Purging Messages Result: No errors Time: ...",
    " example.config/Indexing Words Result: Not run, automatic word indexing is off for this database ",
    " example.test/Merging Duplicates Result: No errors Time: ...",
    " example.test/Purging Messages Result: No errors Time: ...",
    " example.test/Indexing Words Result: Not run, automatic word indexing is off for this database ",
};
// A run that finds nothing new touches no database: no cleanup runs.
const std::vector<std::string> kReportNothingNew(kReport.begin(), kReport.begin() + 6);

class QvcliTaskRun : public ::testing::TestWithParam<std::string> {
 protected:
  // An installation with a mailbox indexed by tasks, a definition for an
  // mbox file and one for a news spool, and the task that runs both with
  // every cleanup; and the archive its uninterrupted run makes.
  static void SetUpTestSuite() {
    std::string corpus = corpusDir();
    if (corpus.empty()) return;
    prepared_ = new TempDir;
    std::string root = prepared_->path();
    std::vector<std::vector<std::string>> setup = {
        {"init"},
        {"mailbox", "add", "--owner", "Mary Owner", "--address", "mary@owner.example"},
        {"index", "Mary Owner", "--auto", "on"},
        {"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Mary Owner", "--path", corpus + "/mbox",
         "--method", "files", "--masks", "mailbox-perl_mbox.src"},
        {"definition", "add", "News", "--format", "Unix News", "--target", "Mary Owner", "--path",
         corpus + "/news-spool/inn/articles", "--method", "dir", "--masks", "*"},
        {"task", "add", "Nightly", "--definition", "Mail", "--definition", "News", "--dedup", "--purge", "--count",
         "--index", "--weekdays", "mon,tue,wed,thu,fri,sat,sun", "--time", "00:00"},
    };
    for (const auto& args : setup) {
      ProcessResult r = qvcli(root, args);
      ASSERT_EQ(r.exitCode, 0) << args[0] << ": " << r.out << r.err;
    }
    TempDir once;
    copyTo(once.path());
    ProcessResult r = qvcli(once.path(), {"task", "run", "Nightly"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    expected_ = new std::string(dumpArchive(once.path()));
    expectedArchive_ = new std::string(archiveOf(once.path()));
  }
  static void TearDownTestSuite() {
    delete prepared_;
    delete expected_;
    delete expectedArchive_;
    prepared_ = nullptr;
    expected_ = nullptr;
    expectedArchive_ = nullptr;
  }
  void SetUp() override {
    if (!prepared_) GTEST_SKIP() << "corpus folder not found; skipped";
    ASSERT_TRUE(expected_) << "the uninterrupted run failed";
    root = dir.path() + "/root";
    copyTo(root);
  }
  static void copyTo(const std::string& to) { fs::copy(prepared_->path(), to, fs::copy_options::recursive); }
  std::string log() const { return readFile(root + "/CFG/TaskLog.Txt"); }

  static TempDir* prepared_;
  static std::string* expected_;
  static std::string* expectedArchive_;
  TempDir dir;
  std::string root;
};

TempDir* QvcliTaskRun::prepared_ = nullptr;
std::string* QvcliTaskRun::expected_ = nullptr;
std::string* QvcliTaskRun::expectedArchive_ = nullptr;

TEST_F(QvcliTaskRun, RunsEveryStepLogsItAndASecondRunFindsNothingNew) {
  ProcessResult r = qvcli(root, {"task", "run", "Nightly"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(withoutTimes(lines(r.out)), kReport) << r.out;
  EXPECT_EQ(log(), r.out) << "the report printed is the one logged";
  EXPECT_EQ(dumpArchive(root), *expected_);
  std::string list = qvcli(root, {"list"}).out;
  for (const char* db : {"Mary Owner", "example.test"}) {
    ProcessResult check = qvcli(root, {"check", db});
    EXPECT_EQ(check.exitCode, 0) << db << ": " << check.out << check.err;
  }
  ProcessResult search = qvcli(root, {"search", "Mary Owner", "--and", "perl"});
  EXPECT_EQ(search.exitCode, 0) << search.err;
  EXPECT_FALSE(search.out.empty()) << "the task indexed the mailbox";

  ProcessResult again = qvcli(root, {"task", "run", "Nightly"});
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(withoutTimes(lines(again.out)), kReportNothingNew);
  EXPECT_EQ(qvcli(root, {"list"}).out, list) << "nothing new was imported";
  EXPECT_EQ(dumpArchive(root), *expected_);
  EXPECT_EQ(log(), r.out + again.out);
  std::string tasks = qvcli(root, {"task", "list"}).out;
  EXPECT_NE(tasks.find("active; "), std::string::npos) << tasks;
  EXPECT_NE(tasks.find("Result: No errors"), std::string::npos) << tasks;
}

TEST_F(QvcliTaskRun, DueRunsOnlyTasksThatAreDue) {
  ProcessResult r = qvcli(root, {"task", "edit", "Nightly", "--inactive"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = qvcli(root, {"task", "due"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_NE(r.err.find("No task is due."), std::string::npos) << r.err;
  // A one-off request for a moment already past today is due now; it runs once.
  r = qvcli(root, {"task", "add", "Once", "--definition", "News", "--once", "2000-01-01 00:00"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = qvcli(root, {"task", "due"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(lines(r.out).at(1).rfind("Once ", 0), 0u) << r.out;
  std::string tasks = qvcli(root, {"task", "list"}).out;
  EXPECT_NE(tasks.find("Once\n  inactive;"), std::string::npos) << tasks;
  r = qvcli(root, {"task", "due"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.empty()) << "run once: " << r.out;
}

TEST_F(QvcliTaskRun, AHeldInstallationRefusesOrIsWaitedFor) {
  std::string error;
  ASSERT_TRUE(qv::openInstallation(root, error)) << error;  // as the program holds it
  ProcessResult r = qvcli(root, {"task", "run", "Nightly"});
  EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
  EXPECT_NE(r.err.find("already running"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  r = qvcli(root, {"task", "due"});
  EXPECT_EQ(r.exitCode, 4) << r.err;

  ProcessResult waited;
  std::thread runner([&] { waited = qvcli(root, {"task", "run", "Nightly", "--wait"}); });
  // Whenever it looks, the runner finds the installation held and waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(fs::exists(root + "/CFG/TaskLog.Txt")) << "nothing ran beside the holder";
  qv::closeInstallation();
  runner.join();
  EXPECT_EQ(waited.exitCode, 0) << waited.out << waited.err;
  EXPECT_EQ(dumpArchive(root), *expected_);
}

TEST_F(QvcliTaskRun, AnswersHelpWithoutRunningAnything) {
  for (const char* sub : {"run", "due", "list"}) {
    ProcessResult r = qvcli(root, {"task", sub, "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("task list | run NAME"), std::string::npos) << r.out;
  }
  ProcessResult r = qvcli(root, {"definition", "run", "Mail", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(fs::exists(root + "/CFG/TaskLog.Txt"));
  EXPECT_EQ(qvcli(root, {"task", "run", "No such task"}).exitCode, 2);
}

TEST_P(QvcliTaskRun, AKilledRunIsCompletedByTheNextRun) {
  ProcessResult killed = qvcli(root, {"task", "run", "Nightly"}, {"QV_CRASH_AT=" + GetParam()});
  ASSERT_EQ(killed.signal, SIGKILL) << "not killed at " << GetParam() << ": " << killed.out << killed.err;
  for (const char* db : {"Mary Owner"}) {
    ProcessResult check = qvcli(root, {"check", db});
    EXPECT_EQ(check.exitCode, 0) << "after the kill, " << db << ": " << check.out << check.err;
  }
  ProcessResult r = qvcli(root, {"task", "run", "Nightly"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string actual = archiveOf(root);
  EXPECT_TRUE(actual == *expectedArchive_) << GetParam() << ": differs at "
                                           << firstDifference(*expectedArchive_, actual);
  EXPECT_NE(actual.find("perl"), std::string::npos) << "the word list is there";
  EXPECT_EQ(withoutTimes(lines(r.out)), kReport);
}

INSTANTIATE_TEST_SUITE_P(Interruptions, QvcliTaskRun,
                         ::testing::Values("conversion-message:20", "posting-message:10", "posting-last-commit:1",
                                           "task-step-reported:1", "task-step-reported:2", "dup-commit:1",
                                           "task-step-reported:4", "task-before-log:1"),
                         [](const ::testing::TestParamInfo<std::string>& point) {
                           std::string n;
                           for (char c : point.param) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

}  // namespace
