// qvcli search --ids and --limit run as a script runs them: --ids prints the
// numbers of the same hits, in the same order, as the full listing; --limit N
// gives the first N lines of the full listing (the newest N hits), also when
// the newest candidates fail the other words or the phrase and older ones
// must be checked; the result kept for export holds what was listed.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sstream>
#include <string>
#include <vector>

#include "forum_capture_fixture.h"

using namespace qvtest;

namespace {

constexpr int kMessages = 600;
// The newest messages hold "hedgehog" too, and "apple orchard" stands as a
// phrase only in the oldest ones: with a small limit the search must go
// past the newest candidates to find its hits.
constexpr int kNewestWithHedgehog = 400;
constexpr int kOldestWithPhrase = 40;

std::string capture() {
  std::string text;
  for (int i = 1; i <= kMessages; ++i) {
    int day = 1 + (i - 1) / 25;  // a later day every 25 messages
    text += "#: " + std::to_string(1000 + i) + " S4/Utilities\r\n    " + (day < 10 ? "0" : "") + std::to_string(day) +
            "-Mar-96 10:11\r\nSb: Orchard notes " + std::to_string(i % 7) +
            "\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\n";
    std::string body = "The apple trees";
    if (i > kMessages - kNewestWithHedgehog) body += " and a hedgehog";
    body += i <= kOldestWithPhrase ? " in the apple orchard" : " orchard apple";
    text += body + ".\r\n\r\n";
  }
  return text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> firstLines(const std::vector<std::string>& all, size_t n) {
  return std::vector<std::string>(all.begin(), all.begin() + long(std::min(n, all.size())));
}

// The number that opens each line of a listing.
std::vector<std::string> numbers(const std::vector<std::string>& listing) {
  std::vector<std::string> out;
  for (const std::string& line : listing) out.push_back(line.substr(0, line.find(' ')));
  return out;
}

class QvcliSearchIdsLimit : public QvcliForumTest {
 protected:
  void SetUp() override { importCapture(capture(), true); }
  std::vector<std::string> search(std::vector<std::string> args) {
    args.insert(args.begin(), {"search", "Forum"});
    ProcessResult r = run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return lines(r.out);
  }
};

TEST_F(QvcliSearchIdsLimit, IdsPrintTheNumbersOfTheFullListingInItsOrder) {
  std::vector<std::string> full = search({"--and", "apple"});
  ASSERT_EQ(full.size(), size_t(kMessages));
  std::vector<std::string> ids = search({"--and", "apple", "--ids"});
  EXPECT_EQ(ids, numbers(full));
  // Newest first: the numbers fall.
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_GT(std::stoul(ids[i - 1]), std::stoul(ids[i])) << i;
  // Each listed line: number, date, subject.
  EXPECT_TRUE(has(full.front(), "1996-03-24  Orchard notes ")) << full.front();
  EXPECT_TRUE(has(full.back(), "1996-03-01  Orchard notes ")) << full.back();
}

TEST_F(QvcliSearchIdsLimit, ALimitGivesTheNewestHitsOfTheFullListing) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--and", "apple"}, {"--and", "apple", "--not", "hedgehog"},
        {"--and", "apple", "--and", "hedgehog"}, {"--or", "hedgehog", "--or", "trees"},
        {"--phrase", "apple orchard"}}) {
    std::vector<std::string> full = search(words);
    ASSERT_FALSE(full.empty());
    for (size_t limit : {size_t(1), size_t(3), size_t(250), size_t(kMessages + 1)}) {
      std::vector<std::string> args = words;
      args.insert(args.end(), {"--limit", std::to_string(limit)});
      EXPECT_EQ(search(args), firstLines(full, limit)) << words[1] << " limit " << limit;
      args.push_back("--ids");
      EXPECT_EQ(search(args), numbers(firstLines(full, limit))) << words[1] << " limit " << limit;
    }
  }
  // The hits that pass lie past the newest candidates.
  EXPECT_EQ(search({"--and", "apple", "--not", "hedgehog"}).size(), size_t(kMessages - kNewestWithHedgehog));
  EXPECT_EQ(search({"--phrase", "apple orchard"}).size(), size_t(kOldestWithPhrase));
}

TEST_F(QvcliSearchIdsLimit, TheCountSaysWhenTheLimitStoppedTheSearch) {
  ProcessResult r = run({"search", "Forum", "--and", "apple", "--limit", "5"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.err, "5 messages found (stopped at the limit; there may be more)")) << r.err;
  r = run({"search", "Forum", "--phrase", "apple orchard", "--limit", "100"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.err, "40 messages found\n")) << r.err;
  EXPECT_FALSE(has(r.err, "stopped")) << r.err;
}

// The IDs of the result file, in file order.
std::vector<std::string> keptResult(const std::string& root) {
  std::vector<std::string> ids;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2((root + "/TEMP/IDX032.ADF").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT ID FROM Search ORDER BY qv_pos", -1, &st, nullptr) == SQLITE_OK)
      while (sqlite3_step(st) == SQLITE_ROW) ids.push_back(std::to_string(sqlite3_column_int64(st, 0)));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return ids;
}

TEST_F(QvcliSearchIdsLimit, TheResultKeptForExportIsWhatWasListed) {
  std::vector<std::string> listed = search({"--and", "hedgehog", "--limit", "4", "--ids"});
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(keptResult(root), listed);
  listed = numbers(search({"--phrase", "apple orchard", "--limit", "7"}));
  ASSERT_EQ(listed.size(), 7u);
  EXPECT_EQ(keptResult(root), listed);
}

TEST_F(QvcliSearchIdsLimit, AWrongLimitIsRefusedAndTheHelpNamesBothOptions) {
  for (const char* bad : {"0", "-3", "many", "5x", ""}) {
    ProcessResult r = run({"search", "Forum", "--and", "apple", "--limit", bad});
    EXPECT_NE(r.exitCode, 0) << bad;
    EXPECT_TRUE(has(r.err, "--limit takes a number of messages above 0")) << bad << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << bad;
  }
  ProcessResult r = run({"search", "--help"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(has(r.out, "[--limit N] [--ids]")) << r.out;
  EXPECT_TRUE(has(r.out, "--ids: the message numbers only")) << r.out;
}

}  // namespace
