// A browser's view brought in step with the records: the chosen item read
// again or dropped, and a selection without a subject or without messages
// given up for the number view.
#include <gtest/gtest.h>

#include "browse/browse_state.h"
#include "browse/view_settle.h"
#include "browse_fixture.h"

using namespace qv;

namespace {

class ViewSettleTest : public qvtest::BrowseTest {};

TEST_F(ViewSettleTest, ATopicViewWithoutATopicBecomesTheNumberView) {
  sampleForum();
  BrowseState s = state(KindForumDb, FmTopic);
  EXPECT_TRUE(settleView(s));
  EXPECT_EQ(s.mode, int(FmNumber));
  // Topic 77 has links but no topic record: it was deleted.
  s = state(KindForumDb, FmTopic);
  s.topicId = 77;
  EXPECT_TRUE(settleView(s));
  EXPECT_EQ(s.mode, int(FmNumber));
  EXPECT_EQ(s.topicId, 0u);
}

TEST_F(ViewSettleTest, AThreadThatWentTakesItsLimitAlong) {
  sampleForum();
  BrowseState s = state(KindForumDb, FmThread);
  s.threadNumber = 4242;
  s.threadHeading = "Gone";
  s.limitThread = true;
  EXPECT_TRUE(settleView(s));
  EXPECT_EQ(s.mode, int(FmNumber));
  EXPECT_EQ(s.threadNumber, 0u);
  EXPECT_TRUE(s.threadHeading.empty());
  EXPECT_FALSE(s.limitThread);

  // A thread that is there is read again and stays.
  s = state(KindForumDb, FmThread);
  s.threadNumber = 1002;
  s.threadHeading = "Old name";
  s.limitThread = true;
  EXPECT_FALSE(settleView(s));
  EXPECT_EQ(s.mode, int(FmThread));
  EXPECT_EQ(s.threadHeading, "Cherries");
}

TEST_F(ViewSettleTest, AnUnlimitedViewStaysWhenItsPersonWent) {
  sampleForum();
  BrowseState s = state(KindForumDb, FmSender);
  s.sender = who(99, "GONE");
  EXPECT_TRUE(refreshSubject(s));
  EXPECT_EQ(s.sender.id, 0u);
  s.sender = who(99, "GONE");
  EXPECT_FALSE(settleView(s));
  EXPECT_EQ(s.mode, int(FmSender));
}

TEST_F(ViewSettleTest, APersonReadAgainKeepsTheAlphaOfItsMessages) {
  sampleMailbox();
  BrowseState s = state(KindMailDb, MmPartner);
  s.partner = who(21, "BROWNISH");
  s.partner.name = "Someone";
  s.limitPartner = true;
  EXPECT_FALSE(refreshSubject(s));
  EXPECT_EQ(s.partner.alpha, "BROWNISH");
  EXPECT_EQ(s.partner.name, "Fay Brown");
  // Limited to an alpha no mail holds, the view is empty: the date view takes over.
  EXPECT_TRUE(settleView(s));
  EXPECT_EQ(s.mode, int(MmDate));
  EXPECT_EQ(numberView(KindMailDb), int(MmDate));
}

TEST_F(ViewSettleTest, AResultWithMessagesStays) {
  sampleForum();
  BrowseState s = state(KindForumDb, FmResult);
  EXPECT_FALSE(settleView(s));
  EXPECT_EQ(s.mode, int(FmResult));
}

}  // namespace
