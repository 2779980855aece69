// qvcli addresses run as a user runs it: the address book of a forum
// database in each offered format, the formats a kind does not offer, the
// refused names and options, and --help, which runs nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/temp_dir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

const char* kForum =
    "#: 500 S4/Utilities\r\n    05-Mar-96 10:11\r\nSb: First post\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\nOne.\r\n\r\n"
    "#: 501 S4/Utilities\r\n    06-Mar-96 10:11\r\nSb: #500-First post\r\nFm: Bob Ray 33333,444\r\n"
    "To: Ann Lee 11111,222\r\n\r\nTwo.\r\n\r\n";

class QvcliAddresses : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    writeFile(dir.file("capture.msg"), kForum);
    ProcessResult r = run({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum",
                           "--unattended", dir.file("capture.msg")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  // The file a successful run printed.
  std::string written(const ProcessResult& r) {
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string path = r.out.substr(0, r.out.find('\n'));
    EXPECT_TRUE(fs::is_regular_file(path)) << r.out;
    return readFile(path);
  }

  TempDir dir;
  std::string root;
};

TEST_F(QvcliAddresses, ForumMembersInTheOfferedFormats) {
  ProcessResult r = run({"addresses", "Forum", "--format", "tapcis"});
  // The recipient "All" of forum messages is a person too, with no name.
  EXPECT_EQ(written(r), " All|\r\nAnn Lee 11111,222|\r\nBob Ray 33333,444|\r\n");
  EXPECT_NE(r.err.find("3 persons written"), std::string::npos) << r.err;
  EXPECT_EQ(fs::path(r.out.substr(0, r.out.find('\n'))).filename(), "Address.Txt");

  r = run({"addresses", "Forum", "--format", "ozwin2", "--file", "members.ab"});
  const char kBook[] = "\0\x03" "All\0\0\x07" "Ann Lee\x09" "11111,222\0\0\x07" "Bob Ray\x09" "33333,444\0\0";
  EXPECT_EQ(written(r), std::string(kBook, sizeof kBook - 1));
  EXPECT_EQ(fs::path(r.out.substr(0, r.out.find('\n'))).filename(), "members.ab");

  r = run({"addresses", "Forum", "--format", "vcard"});
  std::string cards = written(r);
  EXPECT_NE(cards.find("FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL:11111.222@compuserve.com\r\n"), std::string::npos) << cards;
}

TEST_F(QvcliAddresses, FormatsNamesAndOptionsThatAreRefused) {
  ProcessResult r = run({"addresses", "Forum", "--format", "eudora"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("a forum database offers the formats ozwin2, tapcis, vcard, not eudora"), std::string::npos)
      << r.err;
  r = run({"addresses", "Forum", "--format", "rfc822"});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"addresses", "Forum", "--format", "ldif"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("unknown format"), std::string::npos) << r.err;
  r = run({"addresses", "Forum"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--format is required"), std::string::npos) << r.err;
  r = run({"addresses", "Forum", "--format", "tapcis", "--file", "../escape.txt"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Do not include the path, just the filename!"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(root + "/escape.txt"));
  r = run({"addresses", "Forum", "--format", "tapcis", "--file", "IDX005.ADF"});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"addresses", "Nowhere", "--format", "tapcis"});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"addresses", "Forum", "--format", "tapcis", "--bogus"});
  EXPECT_EQ(r.exitCode, 1);
}

TEST_F(QvcliAddresses, HelpRunsNothing) {
  std::string fresh = dir.path() + "/never";
  ProcessResult r = runQvcli({"--root", fresh, "addresses", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("addresses DB --format tapcis|eudora|rfc822|ozwin2|vcard"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(fresh));
}

}  // namespace
