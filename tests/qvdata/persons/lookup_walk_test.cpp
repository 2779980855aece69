// The look-up walks: each list's records in its sort orders, a page at a
// time from either end or around a record, positioned by a typed text or
// an ID, with the file's record buffer left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browse_fixture.h"
#include "services/file_service.h"
#include "persons/lookup_sources.h"
#include "services/lookup_walk.h"
#include "wordindex/word_marks.h"

using namespace qv;

namespace {

class LookupWalkTest : public qvtest::BrowseTest {
 protected:
  static std::vector<uint32_t> ids(const std::vector<LookupEntry>& entries) {
    std::vector<uint32_t> out;
    for (const LookupEntry& e : entries) out.push_back(e.id);
    return out;
  }
  static std::vector<uint32_t> all(const LookupWalk& w, int order, bool forward = true) {
    bool end = false;
    std::vector<uint32_t> out = ids(w.walk(order, 0, 100, forward, end));
    EXPECT_TRUE(end);
    return out;
  }
  static uint32_t idAt(const LookupWalk& w, int64_t pos) {
    LookupEntry e;
    return pos != 0 && w.entryAt(pos, e) ? e.id : 0;
  }
};

TEST_F(LookupWalkTest, ThreadsComeByHeadingWithTheirCountsAndStatus) {
  sampleForum();
  auto w = threadWalk();
  EXPECT_EQ(w->records(), 3);
  EXPECT_EQ(all(*w, 0), (std::vector<uint32_t>{1001, 1002, 1000}));
  EXPECT_EQ(all(*w, 0, false), (std::vector<uint32_t>{1000, 1002, 1001}));
  LookupEntry e;
  ASSERT_TRUE(w->entryOfId(1000, e));
  EXPECT_EQ(e.texts, (std::vector<std::string>{"Pears and apples", "0"}));
  EXPECT_EQ(e.status, 0);
  EXPECT_NE(e.pos, 0);
  EXPECT_FALSE(w->entryOfId(4242, e));
}

TEST_F(LookupWalkTest, AWalkFromARecordLeavesThatRecordOutAndSaysWhenItRanOut) {
  sampleForum();
  auto w = threadWalk();
  LookupEntry cherries;
  ASSERT_TRUE(w->entryOfId(1002, cherries));
  bool end = true;
  EXPECT_EQ(ids(w->walk(0, cherries.pos, 1, true, end)), std::vector<uint32_t>{1000});
  EXPECT_FALSE(end);
  EXPECT_EQ(ids(w->walk(0, cherries.pos, 5, false, end)), std::vector<uint32_t>{1001});
  EXPECT_TRUE(end);
  EXPECT_EQ(idAt(*w, cherries.pos), 1002u);
}

TEST_F(LookupWalkTest, ATextPositionsAtTheFirstRecordAtOrAfterIt) {
  sampleForum();
  auto w = threadWalk();
  bool past = true;
  EXPECT_EQ(idAt(*w, w->seek(0, "Ch", past)), 1002u);
  EXPECT_FALSE(past);
  EXPECT_EQ(idAt(*w, w->seek(0, "  Bz ", past)), 1002u);
  EXPECT_EQ(w->seek(0, "Zzz", past), 0);
  EXPECT_TRUE(past);
}

TEST_F(LookupWalkTest, WalksLeaveTheRecordBufferAsTheyFoundIt) {
  sampleForum();
  auto w = threadWalk();
  OP_CLOSE(OpShared, {FileThreads});
  THR = ThreadsRec();
  THR.THREADNUMBER = 4242;
  THR.ALPHA = "Kept";
  bool end = false, past = false;
  LookupEntry e;
  w->walk(0, 0, 10, true, end);
  w->seek(0, "Ch", past);
  w->entryOfId(1000, e);
  w->entryAt(e.pos, e);
  EXPECT_EQ(THR.THREADNUMBER, 4242u);
  EXPECT_EQ(THR.ALPHA.str(), "Kept");
  OP_CLOSE(OpRelease, {FileThreads});
}

TEST_F(LookupWalkTest, AWalkHoldsItsFileOpenForAsLongAsItLives) {
  sampleForum();
  const int before = useCount(FileSections);
  {
    auto w = sectionWalk();
    EXPECT_EQ(useCount(FileSections), before + 1);
  }
  EXPECT_EQ(useCount(FileSections), before);
}

TEST_F(LookupWalkTest, SectionsComeByNumberAndATextPositionsByItsLeadingNumber) {
  sampleForum();
  auto w = sectionWalk();
  bool end = false;
  std::vector<LookupEntry> entries = w->walk(0, 0, 10, true, end);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].texts, (std::vector<std::string>{"01 General", "0"}));
  EXPECT_EQ(entries[1].texts, (std::vector<std::string>{"04 Utilities", "0"}));
  EXPECT_EQ(entries[1].id, 200u);
  bool past = false;
  EXPECT_EQ(idAt(*w, w->seek(0, "03 Anything", past)), 200u);
  EXPECT_EQ(w->seek(0, "Utilities", past), 0);  // no number: positions nothing
  EXPECT_FALSE(past);
  EXPECT_EQ(w->seek(0, "300", past), 0);  // no section has a number above 255
  EXPECT_EQ(w->seek(0, "9", past), 0);
  EXPECT_TRUE(past);
}

TEST_F(LookupWalkTest, ThePickListShowsLastFirstAndFindsANameWrittenEitherWay) {
  sampleForum();
  auto w = personPickWalk();
  EXPECT_EQ(all(*w, PersonByName), (std::vector<uint32_t>{13, 10, 11, 12}));
  LookupEntry e;
  ASSERT_TRUE(w->entryOfId(13, e));
  EXPECT_EQ(e.texts[0], "Adams, Dee");
  bool past = false;
  EXPECT_EQ(idAt(*w, w->seek(PersonByName, "Ray, Bob", past)), 11u);
  EXPECT_EQ(idAt(*w, w->seek(PersonByName, "Bob Ray", past)), 11u);
  EXPECT_EQ(idAt(*w, w->seek(PersonByName, "Ra", past)), 11u);
  EXPECT_EQ(w->seek(PersonByName, "   ", past), 0);
}

TEST_F(LookupWalkTest, PersonsComeByAddressInTheAddressOrder) {
  makeDatabase(KindMailDb);
  ASSERT_TRUE(qvtest::addPerson(31, "Ivy", "Able", 2, 3, "zoe@example.org"));
  ASSERT_TRUE(qvtest::addPerson(32, "Jon", "Zorn", 0, 0, "abe@example.org"));
  auto w = personPickWalk();
  std::vector<uint32_t> byAddress = all(*w, PersonByAddress);
  ASSERT_GE(byAddress.size(), 2u);
  auto at = [&](uint32_t id) { return std::find(byAddress.begin(), byAddress.end(), id) - byAddress.begin(); };
  EXPECT_LT(at(32), at(31));
  LookupEntry e;
  ASSERT_TRUE(w->entryOfId(31, e));
  EXPECT_EQ(e.texts, (std::vector<std::string>{"Able, Ivy", "zoe@example.org", "2", "3"}));
  bool past = false;
  EXPECT_EQ(idAt(*w, w->seek(PersonByAddress, "zo", past)), 31u);
}

TEST_F(LookupWalkTest, ThePersonListShowsTheWindowNameAndPositionsByTheLastName) {
  sampleForum();
  auto w = personListWalk();
  EXPECT_EQ(all(*w, PersonByName), (std::vector<uint32_t>{13, 10, 11, 12}));
  LookupEntry e;
  ASSERT_TRUE(w->entryOfId(10, e));
  EXPECT_EQ(e.texts[0], "Lee,Ann");
  EXPECT_FALSE(w->entryOfId(0, e));
  bool past = false;
  EXPECT_EQ(idAt(*w, w->seek(PersonByName, "Z", past)), 12u);
}

TEST_F(LookupWalkTest, WordsComeByWordOrByCount) {
  sampleForum();
  ASSERT_TRUE(qvtest::addWordEntry(8, "BANANA", 5));
  ASSERT_TRUE(qvtest::addWordEntry(9, "CHERRY", 1));
  ASSERT_TRUE(refreshWordCountOrder());  // the count order is built on demand
  auto w = wordWalk();
  EXPECT_EQ(all(*w, WordByWord), (std::vector<uint32_t>{7, 8, 9}));
  EXPECT_EQ(all(*w, WordByCount), (std::vector<uint32_t>{9, 7, 8}));
  LookupEntry e;
  ASSERT_TRUE(w->entryOfId(8, e));
  EXPECT_EQ(e.texts, (std::vector<std::string>{"BANANA", "5"}));
  bool past = false;
  EXPECT_EQ(idAt(*w, w->seek(WordByWord, "banana", past)), 8u);
  EXPECT_EQ(idAt(*w, w->seek(WordByCount, " 4 ", past)), 8u);
  EXPECT_EQ(w->seek(WordByCount, "four", past), 0);
  EXPECT_FALSE(past);
}

}  // namespace
