// An import that takes nothing says why: each source it could not read is
// named with the reason, also when the run is unattended and shows nothing;
// a FIFO or a device never holds the run up; temporary files that cannot be
// written (a full disk) stop the run with the reason before anything is
// posted; CompuServe Mail captured from the host goes to the mailbox, or the
// run says where it can go.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";

class ImportProblemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ASSERT_EQ(qvcli({"init"}).exitCode, 0);
    ProcessResult r = qvcli({"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  ProcessResult qvcli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  ProcessResult importMail(const std::vector<std::string>& paths, const std::string& method = "files") {
    std::vector<std::string> args = {"import", "--unattended", "--format", "Unix Mail", "--mailbox", "Mary Owner",
                                     "--method", method};
    args.insert(args.end(), paths.begin(), paths.end());
    return qvcli(args);
  }

  TempDir dir;
  std::string root;
};

// The lines of the summary that name a problem.
std::vector<std::string> problems(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t at = 0; (at = out.find("Problem:", at)) != std::string::npos; ++at)
    lines.push_back(out.substr(at, out.find('\n', at) - at));
  return lines;
}

bool anyHas(const std::vector<std::string>& lines, const std::string& a, const std::string& b) {
  for (const std::string& l : lines)
    if (l.find(a) != std::string::npos && l.find(b) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST_F(ImportProblemsTest, EverySourceNotReadIsNamedWithTheReason) {
  std::string missing = dir.file("missing.mbx");
  std::string directory = dir.path() + "/a directory";
  std::string fifo = dir.file("fifo.mbx");
  std::string empty = dir.file("empty.mbx");
  fs::create_directories(directory);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  writeFile(empty, "");
  struct Case {
    std::string path, reason;
  };
  for (const Case& c : std::vector<Case>{{missing, "does not exist"},
                                         {directory, "a directory, not a regular file"},
                                         {fifo, "a FIFO, not a regular file"},
                                         {"/dev/zero", "a device, not a regular file"},
                                         {empty, "no message found in it"}}) {
    ProcessResult r = importMail({c.path});
    EXPECT_EQ(r.exitCode, 1) << c.path << ": " << r.out << r.err;
    EXPECT_NE(r.out.find("Status:              No messages to import!"), std::string::npos) << r.out;
    EXPECT_TRUE(anyHas(problems(r.out), c.path, c.reason)) << c.path << ":\n" << r.out;
  }

  // A directory to read that is not there, and one without a matching file.
  ProcessResult r = importMail({dir.path() + "/gone"}, "dir");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(anyHas(problems(r.out), dir.path() + "/gone", "does not exist")) << r.out;
  r = importMail({directory}, "tree");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(anyHas(problems(r.out), "No file in " + directory, "matches")) << r.out;

  // Beside a good source, the bad one is still named and the good one read.
  writeFile(dir.file("good.mbx"), generatedMbox(3, kOwner));
  r = importMail({fifo, dir.file("good.mbx")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Messages imported:   3"), std::string::npos) << r.out;
  EXPECT_TRUE(anyHas(problems(r.out), fifo, "a FIFO")) << r.out;
}

TEST_F(ImportProblemsTest, TemporaryFilesThatCannotBeWrittenStopTheRunBeforeItPosts) {
  if (!fs::exists("/usr/bin/prlimit") || !fs::exists("/bin/sh")) GTEST_SKIP() << "prlimit is not installed";
  writeFile(dir.file("mail.mbx"), generatedMbox(1200, kOwner));
  ASSERT_GT(fs::file_size(dir.file("mail.mbx")), 300000u);
  // No file may grow past 200 KB, as on a disk that is full: the temporary
  // file of 1,200 mails cannot be written.
  ProcessResult r = runProgram("/bin/sh", {"-c", "trap '' XFSZ; exec /usr/bin/prlimit --fsize=200000 \"$0\" \"$@\"",
                                           QVCLI_PROGRAM, "--root", root, "import", "--unattended", "--format",
                                           "Unix Mail", "--mailbox", "Mary Owner", dir.file("mail.mbx")});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Status:              The import was stopped: its temporary files could not be written."),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(anyHas(problems(r.out), "TEMP/IDX0", "Record add error!")) << r.out;
  ProcessResult list = qvcli({"list"});
  EXPECT_NE(list.out.find("Mary Owner"), std::string::npos);
  EXPECT_NE(list.out.find(" 0  Mary Owner"), std::string::npos) << "nothing was posted: " << list.out;

  // With room again the same import takes every mail.
  r = qvcli({"import", "--unattended", "--format", "Unix Mail", "--mailbox", "Mary Owner", dir.file("mail.mbx")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Messages imported:   1200"), std::string::npos) << r.out;
}

TEST_F(ImportProblemsTest, CompuServeMailCapturedFromTheHostGoesToTheMailbox) {
  std::string capture = corpusDir() + "/compuserve-capture/cellular.ham";
  if (corpusDir().empty() || !fs::exists(capture)) GTEST_SKIP() << "the corpus file cellular.ham is not there";
  // A forum-only import reads the mail, counts it as skipped and says where it goes.
  ProcessResult r = qvcli({"import", "--unattended", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Radio",
                           capture});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Messages skipped:    1\n  mail not imported: 1"), std::string::npos) << r.out;
  EXPECT_TRUE(anyHas(problems(r.out), "cellular.ham holds CompuServe Mail", "which is imported into a mailbox")) << r.out;

  // Imported as the format's messages of both kinds, it goes to the mailbox.
  r = qvcli({"import", "--unattended", "--format", "TAPCIS 6.x", "--forum", "Radio", capture});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Messages imported:   1"), std::string::npos) << r.out;
  ProcessResult show = qvcli({"show", "Mary Owner"});
  EXPECT_NE(show.out.find("1989-03-01 15:01  BILLY ESTES <72757,3527>"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("800MHZ"), std::string::npos) << show.out;
}
