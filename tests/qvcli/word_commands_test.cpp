// qvcli index, words and stoplist run as a user runs them: the recount of a
// fully indexed database has nothing to do and an unattended run then
// indexes nothing; a word marked with words --mark stays marked and the next
// run moves it to the stop list; the stop list refuses a word it has and
// changes and deletes words; the automatic-indexing switch is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forum_capture_fixture.h"

using namespace qvtest;

namespace {

const char* kForum =
    "#: 500 S4/Utilities\r\n    05-Mar-96 10:11\r\nSb: Gardening\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\n"
    "Tomatoes like sunshine.\r\n\r\n"
    "#: 501 S4/Utilities\r\n    06-Mar-96 10:11\r\nSb: Gardening\r\nFm: Bob Ray 33333,444\r\nTo: All\r\n\r\n"
    "Tomatoes need water.\r\n\r\n";

class QvcliWords : public QvcliForumTest {
 protected:
  void SetUp() override { importCapture(kForum, false); }
};

TEST_F(QvcliWords, AFullyIndexedDatabaseHasNothingToDoAndAnUnattendedRunIndexesNothing) {
  ProcessResult r = run({"index", "Forum", "--recount"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Recommended action:  full index")) << r.out;
  r = run({"index", "Forum", "--unattended"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Messages indexed:    2")) << r.out;

  r = run({"index", "Forum", "--recount"});
  EXPECT_TRUE(has(r.out, "Recommended action:  nothing to do")) << r.out;
  r = run({"index", "Forum", "--unattended"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Result:              nothing to do")) << r.out;
  EXPECT_FALSE(has(r.out, "Messages indexed")) << r.out;
}

TEST_F(QvcliWords, AMarkedWordStaysMarkedAndTheNextRunStopListsIt) {
  ASSERT_EQ(run({"index", "Forum"}).exitCode, 0);
  ProcessResult r = run({"words", "Forum", "--mark", "tomatoes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Marked in a later run of the program, and a pending mark asks for a partial run.
  r = run({"words", "Forum"});
  EXPECT_TRUE(has(r.out, "* TOMATOES")) << r.out;
  EXPECT_TRUE(has(run({"index", "Forum", "--recount"}).out, "partial index"));
  EXPECT_NE(run({"words", "Forum", "--mark", "cucumbers"}).exitCode, 0);

  ASSERT_EQ(run({"index", "Forum", "--unattended"}).exitCode, 0);
  r = run({"words", "Forum"});
  EXPECT_FALSE(has(r.out, "TOMATOES")) << r.out;
  EXPECT_TRUE(has(r.out, "SUNSHINE")) << r.out;
  EXPECT_TRUE(has(run({"stoplist", "list"}).out, "\nTOMATOES\n"));
  EXPECT_TRUE(has(run({"search", "Forum", "--and", "sunshine"}).out, "500"));

  // Unmarking before a run keeps the word.
  ASSERT_EQ(run({"words", "Forum", "--mark", "water"}).exitCode, 0);
  ASSERT_EQ(run({"words", "Forum", "--unmark", "water"}).exitCode, 0);
  ASSERT_EQ(run({"index", "Forum", "--partial"}).exitCode, 0);
  EXPECT_TRUE(has(run({"words", "Forum", "--by", "count"}).out, "WATER"));
}

TEST_F(QvcliWords, TheStopListRefusesADuplicateAndChangesAndDeletesWords) {
  ProcessResult r = run({"stoplist", "add", "rhubarb"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(run({"stoplist", "list"}).out, "\nRHUBARB\n"));
  r = run({"stoplist", "add", "Rhubarb"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(has(r.err, "RHUBARB is a non index word already")) << r.err;
  ASSERT_EQ(run({"stoplist", "change", "rhubarb", "celery"}).exitCode, 0);
  std::string list = run({"stoplist", "list"}).out;
  EXPECT_FALSE(has(list, "RHUBARB"));
  EXPECT_TRUE(has(list, "\nCELERY\n"));
  ASSERT_EQ(run({"stoplist", "delete", "celery"}).exitCode, 0);
  EXPECT_FALSE(has(run({"stoplist", "list"}).out, "CELERY"));
  r = run({"stoplist", "delete", "celery"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(has(r.err, "is not a non index word")) << r.err;
  EXPECT_NE(run({"stoplist", "sort"}).exitCode, 0);
}

TEST_F(QvcliWords, TheAutomaticIndexingSwitchIsKeptAndWrongOptionsAreRefused) {
  ProcessResult r = run({"index", "Forum", "--auto", "on"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Automatic indexing:  on"));
  EXPECT_FALSE(has(r.out, "Messages indexed"));  // the switch alone runs nothing
  EXPECT_NE(run({"index", "Forum", "--auto", "maybe"}).exitCode, 0);
  EXPECT_NE(run({"index", "Forum", "--full", "--partial"}).exitCode, 0);
  EXPECT_NE(run({"words", "Forum", "--by", "size"}).exitCode, 0);
  EXPECT_NE(run({"words", "Nowhere"}).exitCode, 0);
  for (const char* command : {"index", "words", "stoplist"}) {
    r = run({command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command;
    EXPECT_TRUE(has(r.out, "Usage: qvcli")) << command;
  }
}

}  // namespace
