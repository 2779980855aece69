// A halt in the library ends qvcli, not the library: the command's text is
// told on stderr, the program exits with the halt status, and the
// installation is let go for the next command.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/generated_sources.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";

class HaltTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ASSERT_EQ(qvcli({"init"}).exitCode, 0);
    ProcessResult r = qvcli({"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    writeFile(dir.file("mail.mbx"), generatedMbox(3, kOwner));
    r = qvcli({"import", "--format", "Unix Mail", "--mailbox", "Mary Owner", dir.file("mail.mbx")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  ProcessResult qvcli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  TempDir dir;
  std::string root;
};

TEST_F(HaltTest, AMissingDatabaseDirectoryEndsTheCommandWithStatusThreeAndTheText) {
  fs::rename(root + "/F1", root + "/F1.away");
  ProcessResult r = qvcli({"show", "Mary Owner"});
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  // The message that explains the halt, then the halt's own text, told once
  // the command has ended.
  size_t message = r.err.find("Path Not Found: The path " + root + "/F1 does not exist.\nQuorvane will terminate.");
  size_t halt = r.err.find("qvcli: Check your directory setup in Preferences and run File/Rebuild.\n");
  EXPECT_NE(message, std::string::npos) << r.err;
  EXPECT_NE(halt, std::string::npos) << r.err;
  EXPECT_LT(message, halt) << r.err;
  EXPECT_FALSE(fs::exists(root + "/F1")) << "nothing was made";
  // The installation was let go: the next command has it.
  fs::rename(root + "/F1.away", root + "/F1");
  r = qvcli({"show", "Mary Owner"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

}  // namespace
