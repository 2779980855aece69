// qvcli topic, classify and group run as a user runs them: topics added,
// renamed, listed and deleted; a topic attached over a thread and removed
// again, a date filter that excludes every message; the group command's
// export, print and classify, and its refusals of a wrong date range.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/temp_dir.h"

using namespace qvtest;

namespace {

// Two threads: 500 <- 501 <- 502 (March 1996), and 510.
const char* kForum =
    "#: 500 S4/Utilities\r\n    05-Mar-96 10:11\r\nSb: First post\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\nOne.\r\n\r\n"
    "#: 501 S4/Utilities\r\n    06-Mar-96 10:11\r\nSb: #500-First post\r\nFm: Bob Ray 33333,444\r\n"
    "To: Ann Lee 11111,222\r\n\r\nTwo.\r\n\r\n"
    "#: 502 S4/Utilities\r\n    07-Mar-96 10:11\r\nSb: #501-First post\r\nFm: Ann Lee 11111,222\r\n"
    "To: Bob Ray 33333,444\r\n\r\nThree.\r\n\r\n"
    "#: 510 S4/Utilities\r\n    08-Mar-96 10:11\r\nSb: Other topic\r\nFm: Bob Ray 33333,444\r\nTo: All\r\n\r\nFour.\r\n\r\n";

class QvcliTopics : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    writeFile(dir.file("capture.msg"), kForum);
    ProcessResult r = run({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum",
                           "--unattended", dir.file("capture.msg")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  ProcessResult run(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args, env);
  }
  std::string list() { return run({"topic", "Forum", "list"}).out; }
  // The messages of the topic, as show lists them in the export of its set.
  std::string topicCount(const std::string& text) {
    std::string l = list();
    size_t at = l.find(text);
    if (at == std::string::npos) return "none";
    size_t lineStart = l.rfind('\n', at);
    std::string line = l.substr(lineStart == std::string::npos ? 0 : lineStart + 1, at - lineStart);
    char id[16], count[16];
    if (std::sscanf(line.c_str(), "%15s %15s", id, count) != 2) return "?";
    return count;
  }

  TempDir dir;
  std::string root;
};

TEST_F(QvcliTopics, TopicsAreAddedRenamedListedAndDeleted) {
  ProcessResult r = run({"topic", "Forum", "add", "Fruit"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(list().find("Fruit"), std::string::npos);
  EXPECT_NE(run({"topic", "Forum", "add", "fruit"}).exitCode, 0) << "topics differ by more than letter case";
  EXPECT_NE(run({"topic", "Forum", "add", std::string(41, 'x')}).exitCode, 0);
  ASSERT_EQ(run({"topic", "Forum", "rename", "Fruit", "Vegetables"}).exitCode, 0);
  EXPECT_EQ(list().find("Fruit"), std::string::npos);
  EXPECT_NE(list().find("Vegetables"), std::string::npos);
  ASSERT_EQ(run({"topic", "Forum", "delete", "Vegetables"}).exitCode, 0);
  EXPECT_EQ(list(), "");
  EXPECT_NE(run({"topic", "Forum", "delete", "Vegetables"}).exitCode, 0);
  EXPECT_NE(run({"topic", "Nowhere", "list"}).exitCode, 0);
}

TEST_F(QvcliTopics, ClassifyAttachesOverAThreadAndRemovesAgain) {
  ASSERT_EQ(run({"topic", "Forum", "add", "Fruit"}).exitCode, 0);
  ProcessResult r = run({"classify", "Forum", "--topic", "Fruit", "--scope", "thread", "--id", "501"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("messages classified:   3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("messages filtered out: 0"), std::string::npos) << r.out;
  EXPECT_EQ(topicCount("Fruit"), "3");
  r = run({"export", "Forum", "--scope", "topic", "--topic", "Fruit", "--file", "topic.txt"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("3 messages written"), std::string::npos) << r.err;

  r = run({"classify", "Forum", "--topic", "Fruit", "--scope", "message", "--id", "501", "--remove"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(topicCount("Fruit"), "2");

  // The date filter: every message outside it, nothing changes.
  r = run({"classify", "Forum", "--topic", "Fruit", "--scope", "date", "--id", "500", "--remove", "--from",
           "1997-01-01", "--to", "1997-12-31"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("messages classified:   0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("messages filtered out: 4"), std::string::npos) << r.out;
  EXPECT_EQ(topicCount("Fruit"), "2");

  EXPECT_NE(run({"classify", "Forum", "--topic", "Nothing", "--scope", "thread", "--id", "501"}).exitCode, 0);
}

TEST_F(QvcliTopics, GroupRunsEachOperationAndChecksTheDateRange) {
  ASSERT_EQ(run({"topic", "Forum", "add", "Fruit"}).exitCode, 0);
  ProcessResult r = run({"group", "Forum", "--scope", "thread", "--id", "500", "--attach", "Fruit", "--from",
                         "1996-03-06", "--to", "1996-03-31"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("messages classified:   2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("messages filtered out: 1"), std::string::npos) << r.out;
  EXPECT_EQ(topicCount("Fruit"), "2");

  r = run({"group", "Forum", "--scope", "topic", "--topic", "Fruit", "--export", "group.txt"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("2 messages written"), std::string::npos) << r.err;
  r = run({"group", "Forum", "--scope", "date", "--id", "500", "--export", "dated.txt", "--from", "1996-03-07",
           "--to", "1996-03-07"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("1 messages written, 3 skipped"), std::string::npos) << r.err;

  r = run({"group", "Forum", "--scope", "topic", "--topic", "Fruit", "--remove", "Fruit"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(topicCount("Fruit"), "0");

  r = run({"group", "Forum", "--scope", "thread", "--id", "500", "--print", "--pdf", dir.file("thread.pdf")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("thread.pdf")));

  struct Bad {
    const char* from;
    const char* to;
    const char* text;
  };
  for (const Bad& b : {Bad{"1965-01-01", "1996-01-01", "A valid From-date must be entered"},
                       Bad{"1996-01-01", "2099-01-01", "A valid To-date must be entered"},
                       Bad{"1996-03-07", "1996-03-06", "A negative date range cannot be allowed."}}) {
    r = run({"group", "Forum", "--scope", "thread", "--id", "500", "--attach", "Fruit", "--from", b.from, "--to",
             b.to});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(b.text), std::string::npos) << r.err;
  }
  EXPECT_NE(run({"group", "Forum", "--scope", "thread", "--id", "500"}).exitCode, 0) << "no operation";
}

// A classification killed before or after a commit keeps the topic's count
// equal to its links, and a rerun ends as an uninterrupted run.
TEST_F(QvcliTopics, AKilledClassificationKeepsCountAndLinksEqualAndARerunCompletesIt) {
  std::string big;
  const int n = 700;  // three transactions
  for (int i = 0; i < n; ++i)
    big += "#: " + std::to_string(1000 + i) + " S4/Utilities\r\n    09-Mar-96 10:11\r\nSb: Topic " +
           std::to_string(i) + "\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\nText.\r\n\r\n";
  writeFile(dir.file("big.msg"), big);
  ASSERT_EQ(run({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum", "--unattended",
                 dir.file("big.msg")})
                .exitCode,
            0);
  const int all = n + 4;
  for (const char* point : {"classify-before-commit:2", "classify-commit:2"}) {
    std::string topic = std::string("T") + point;
    topic.resize(topic.find(':'));
    ASSERT_EQ(run({"topic", "Forum", "add", topic}).exitCode, 0);
    ProcessResult killed =
        run({"classify", "Forum", "--topic", topic, "--scope", "date", "--id", "500"}, {std::string("QV_CRASH_AT=") + point});
    EXPECT_EQ(killed.signal, 9) << point << killed.out << killed.err;
    std::string count = topicCount(topic);
    ProcessResult linked = run({"export", "Forum", "--scope", "topic", "--topic", topic, "--file", "t.txt"});
    EXPECT_NE(linked.err.find(count + " messages written"), std::string::npos) << point << ": count " << count << ", " << linked.err;
    EXPECT_TRUE(count == "300" || count == "600") << point << " " << count;
    ProcessResult rerun = run({"classify", "Forum", "--topic", topic, "--scope", "date", "--id", "500"});
    ASSERT_EQ(rerun.exitCode, 0) << rerun.err;
    EXPECT_EQ(topicCount(topic), std::to_string(all)) << point;
  }
}

}  // namespace
