// The forms of commands that only read work where writing is refused (while
// the program holds the installation, as on read-only media) and change no
// file; a database whose directory is gone is reported, not read as empty.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

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

class ReadingCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ASSERT_EQ(qvcli({"init"}).exitCode, 0);
    ProcessResult r = qvcli({"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    writeFile(dir.file("mail.mbx"), generatedMbox(12, kOwner));
    r = qvcli({"import", "--format", "Unix Mail", "--mailbox", "Mary Owner", dir.file("mail.mbx")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(qvcli({"index", "Mary Owner", "--full", "--unattended"}).exitCode, 0);
    ASSERT_EQ(qvcli({"topic", "Mary Owner", "add", "Fruit"}).exitCode, 0);
  }
  ProcessResult qvcli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  // The number of the first mail show lists.
  std::string firstMail() {
    std::string out = qvcli({"show", "Mary Owner"}).out;
    return out.substr(0, out.find(' '));
  }

  TempDir dir;
  std::string root;
};

}  // namespace

TEST_F(ReadingCommandsTest, ListingFormsWorkWhileTheProgramHoldsTheInstallation) {
  std::string mail = firstMail();
  ASSERT_FALSE(mail.empty());
  int fd = ::open((root + "/CFG/QUORVANE.LCK").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  auto bytes = snapshotTree(root);
  auto times = modificationTimes(root);

  struct Reading {
    std::vector<std::string> args;
    std::string shows;  // a piece of what it lists
  };
  for (const Reading& c : std::vector<Reading>{
           {{"persons", "Mary Owner"}, kOwner},
           {{"persons", "Mary Owner", "--by", "address"}, kOwner},
           {{"words", "Mary Owner"}, "words, 0 marked for removal"},
           {{"words", "Mary Owner", "--by", "count"}, "words, 0 marked for removal"},
           {{"stoplist", "list"}, "non index words"},
           {{"topic", "Mary Owner", "list"}, "Fruit"},
           {{"export", "Mary Owner", "--scope", "message", "--id", mail, "--clipboard"}, "End Of Quote"}}) {
    ProcessResult r = qvcli(c.args);
    EXPECT_EQ(r.exitCode, 0) << c.args[0] << ": " << r.err;
    EXPECT_NE((r.out + r.err).find(c.shows), std::string::npos) << c.args[0] << ": " << r.out << r.err;
    EXPECT_EQ(snapshotTree(root), bytes) << c.args[0] << " changed a file";
    EXPECT_EQ(modificationTimes(root), times) << c.args[0] << " wrote a file";
  }
  // Their writing forms are still refused.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"stoplist", "add", "kiwi"}, {"topic", "Mary Owner", "add", "Nuts"}, {"words", "Mary Owner", "--mark", "x"}}) {
    ProcessResult r = qvcli(args);
    EXPECT_EQ(r.exitCode, 1) << args[0];
    EXPECT_NE(r.err.find("already running"), std::string::npos) << args[0] << ": " << r.err;
  }
  ::close(fd);
}

TEST_F(ReadingCommandsTest, ADatabaseWhoseDirectoryIsGoneIsReportedNotReadAsEmpty) {
  fs::rename(root + "/F1", root + "/F1.away");
  int fd = ::open((root + "/CFG/QUORVANE.LCK").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ProcessResult r = qvcli({"show", "Mary Owner"});
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_NE(r.err.find("Path Not Found: The path " + root + "/F1 does not exist."), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(root + "/F1")) << "nothing was made";
  ::close(fd);
}
