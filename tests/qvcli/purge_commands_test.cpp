// qvcli status, purge and count as a script runs them: the summary in the
// window's words, non-zero exits for wrong arguments and for a database
// marked for deletion that nobody confirmed, and the database then intact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"

using namespace qvtest;

namespace {

ProcessResult qvcli(const std::string& root, std::vector<std::string> args) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args);
}

TEST(PurgeCommandsTest, SummariesExitsAndADatabaseMarkedForDeletion) {
  TempDir dir;
  std::string root = dir.path();
  writeFile(dir.file("news.txt"), generatedNews(40));
  ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
  ProcessResult r = qvcli(root, {"import", "--unattended", "--format", "Unix News", dir.file("news.txt")});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  r = qvcli(root, {"count", "comp.test"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Number of messages:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Number of threads:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The time for completion was: "), std::string::npos) << r.out;

  // Wrong arguments fail without touching anything.
  EXPECT_NE(qvcli(root, {"status", "comp.test", "--message", "12x", "delete"}).exitCode, 0);
  EXPECT_NE(qvcli(root, {"status", "comp.test", "--message", "1", "gone"}).exitCode, 0);
  EXPECT_NE(qvcli(root, {"status", "comp.test", "--section", "1", "delete"}).exitCode, 0);  // newsgroups have none
  EXPECT_NE(qvcli(root, {"purge", "comp.test", "--age-weeks", "0"}).exitCode, 0);
  EXPECT_NE(qvcli(root, {"purge", "no such database"}).exitCode, 0);

  r = qvcli(root, {"status", "comp.test", "--database", "delete"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = qvcli(root, {"purge", "comp.test", "--unattended"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("nothing was deleted"), std::string::npos) << r.out;
  r = qvcli(root, {"count", "comp.test"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Number of messages:                  40"), std::string::npos) << r.out;

  // Back to normal, a purge with nothing marked deletes nothing.
  ASSERT_EQ(qvcli(root, {"status", "comp.test", "--database", "normal"}).exitCode, 0);
  r = qvcli(root, {"purge", "comp.test"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Number of deleted messages:          0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Number of remaining messages:        40"), std::string::npos) << r.out;
}

}  // namespace
