// qvcli export of a whole mailbox whose mails carry no date, as a user runs
// it: a date range leaves them out and says why, --scope all takes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/temp_dir.h"

using namespace qvtest;

namespace {

class QvcliExportScope : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string corpus = corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the corpus is not there";
    root = dir.path() + "/root";
    ASSERT_EQ(run({"init"}).exitCode, 0);
    ASSERT_EQ(run({"mailbox", "add", "--owner", "Mary Owner", "--address", "mary@owner.example"}).exitCode, 0);
    // Two mails, neither with a Date: header.
    ProcessResult r = run({"import", "--format", "Unix Mail", "--unattended",
                           corpus + "/netscape-mail/mimekit_unmunged.mbox"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  static size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  TempDir dir;
  std::string root;
};

}  // namespace

TEST_F(QvcliExportScope, UndatedMailIsNamedAsSuchAndScopeAllExportsIt) {
  ProcessResult r = run({"export", "Mary Owner", "--scope", "date", "--since", "1970-01-01", "--until", "2099-12-31",
                         "--layout", "3", "--file", "dated.mbx", "--outbox", "dated-out.mbx"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("0 messages written, 0 skipped, 2 without a date left out by the date range"),
            std::string::npos)
      << r.err;

  r = run({"export", "Mary Owner", "--scope", "all", "--layout", "3", "--file", "all.mbx", "--outbox", "all-out.mbx"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("2 messages written, 0 skipped"), std::string::npos) << r.err;
  // The files written, one a line on standard output.
  std::string written;
  for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
    written += readFile(r.out.substr(at, end - at));
  EXPECT_EQ(count(written, "Subject: "), 2u) << written;
  EXPECT_NE(written.find("Another test message with an unmunged From line"), std::string::npos);

  r = run({"export", "Mary Owner", "--scope", "all", "--since", "1970-01-01"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("--scope all takes every message"), std::string::npos) << r.err;
}
