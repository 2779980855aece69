// qvcli search keeps its result for export and print; when the result file
// refuses the new set, the command still lists the hits but fails, naming
// the cause, instead of ending as if the set had been kept.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "forum_capture_fixture.h"

using namespace qvtest;

namespace {

const char* kForum =
    "#: 500 S4/Utilities\r\n    05-Mar-96 10:11\r\nSb: Gardening\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\n"
    "Tomatoes like sunshine.\r\n\r\n"
    "#: 501 S4/Utilities\r\n    06-Mar-96 10:11\r\nSb: Watering\r\nFm: Bob Ray 33333,444\r\nTo: All\r\n\r\n"
    "Tomatoes need water.\r\n\r\n";

bool execSql(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

class QvcliSearchKept : public QvcliForumTest {
 protected:
  void SetUp() override { importCapture(kForum, true); }
};

TEST_F(QvcliSearchKept, AResultFileThatRefusesTheSetFailsTheCommandAfterTheListing) {
  ProcessResult r = run({"search", "Forum", "--and", "tomatoes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(has(r.err, "could not be kept")) << r.err;
  // The result file takes no more rows.
  ASSERT_TRUE(execSql(root + "/TEMP/IDX032.ADF",
                      "CREATE TRIGGER refuse BEFORE INSERT ON Search BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
  r = run({"search", "Forum", "--and", "tomatoes", "--ids"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;  // both hits listed
  EXPECT_TRUE(has(r.err, "2 messages found")) << r.err;
  EXPECT_TRUE(has(r.err, "the result could not be kept for export and print")) << r.err;
}

}  // namespace
