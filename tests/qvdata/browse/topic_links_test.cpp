// Topics attached to messages: one link toggled from the check list, and
// whole sets classified by the group operation, with the date filter, the
// topic counts kept equal to the links, and the browsers' topic views.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "browse/browse_view.h"
#include "browse_fixture.h"
#include "maintenance/classify_run.h"
#include "services/datetime.h"
#include "services/topics.h"

using namespace qv;

namespace {

using Ids = std::vector<uint32_t>;

class TopicLinksTest : public qvtest::BrowseTest {
 protected:
  uint32_t topic(const std::string& text) {
    Topic t;
    t.text = text;
    uint32_t id = addTopic(t);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  // Every link, by topic, messages in increasing order.
  static std::map<uint32_t, Ids> links() {
    std::map<uint32_t, Ids> out;
    OP_CLOSE(OpShared, {FileSIndex});
    SIndex.set(SIN_IdKey);
    while (SIndex.next()) out[SIN.ID].push_back(SIN.MSGNUMBER);
    OP_CLOSE(OpRelease, {FileSIndex});
    for (auto& [id, ids] : out) std::sort(ids.begin(), ids.end());
    return out;
  }
  static Ids linksOf(uint32_t topicId) { return links()[topicId]; }
  static uint32_t countOf(uint32_t topicId) {
    for (const Topic& t : listTopics())
      if (t.id == topicId) return t.count;
    ADD_FAILURE() << "no topic " << topicId;
    return 0;
  }
  static ClassifyRequest request(int rank, bool attach, uint32_t messageId, uint32_t topicId) {
    ClassifyRequest r;
    r.scope = 2 * rank + (attach ? 0 : 1);
    r.messageId = messageId;
    r.topicId = topicId;
    return r;
  }
  static ClassifyView run(const ClassifyRequest& r, int expected = ClassifyDone) {
    ClassifyRun run(r);
    while (run.step()) {
    }
    EXPECT_EQ(run.result(), expected);
    return run.view();
  }
  static Ids topicView(int kind, int mode, uint32_t topicId) {
    BrowseState s;
    s.kind = kind;
    s.mode = mode;
    s.topicId = topicId;
    BrowseView v(s);
    Ids out;
    for (bool ok = v.toFirst(); ok; ok = v.next()) out.push_back(v.current());
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(TopicLinksTest, AttachingAndDetachingLeavesLinksAndCountAsTheyWere) {
  sampleForum();
  uint32_t fruit = topic("Fruit"), other = topic("Other");
  ASSERT_TRUE(setTopicLink(other, 502, true));
  auto before = links();
  ASSERT_TRUE(setTopicLink(fruit, 500, true));
  EXPECT_EQ(topicsOfMessage(500), Ids{fruit});
  EXPECT_EQ(countOf(fruit), 1u);
  ASSERT_TRUE(setTopicLink(fruit, 500, true)) << "attaching an attached topic";
  EXPECT_EQ(linksOf(fruit), Ids{500}) << "one link only";
  EXPECT_EQ(countOf(fruit), 1u) << "the count does not grow without a new link";
  ASSERT_TRUE(setTopicLink(fruit, 500, false));
  ASSERT_TRUE(setTopicLink(fruit, 500, false)) << "detaching a detached topic";
  EXPECT_EQ(links(), before);
  EXPECT_EQ(countOf(fruit), 0u);
  EXPECT_EQ(countOf(other), 1u);
  EXPECT_TRUE(topicsOfMessage(500).empty());
}

TEST_F(TopicLinksTest, DeletingATopicLeavesItsLinks) {
  sampleForum();
  uint32_t fruit = topic("Fruit");
  ASSERT_TRUE(setTopicLink(fruit, 503, true));
  ASSERT_TRUE(deleteTopic(fruit));
  EXPECT_EQ(linksOf(fruit), Ids{503}) << "orphaned links wait for the purge";
}

TEST_F(TopicLinksTest, ClassifyingAThreadAttachesEachMessageOnceAndCountsTheLinks) {
  sampleForum();
  uint32_t fruit = topic("Fruit");
  ASSERT_TRUE(setTopicLink(fruit, 504, true));  // one of the thread has it already
  ClassifyView v = run(request(2, true, 501, fruit));
  EXPECT_EQ(v.classified, 3);
  EXPECT_EQ(v.filtered, 0);
  EXPECT_EQ(v.linksAdded, 2);
  EXPECT_EQ(linksOf(fruit), (Ids{500, 501, 504}));
  EXPECT_EQ(countOf(fruit), 3u);
  run(request(2, true, 500, fruit));
  EXPECT_EQ(linksOf(fruit), (Ids{500, 501, 504})) << "classifying twice leaves one link each";
  EXPECT_EQ(countOf(fruit), 3u);
  EXPECT_EQ(topicView(KindForumDb, FmTopic, fruit), (Ids{500, 501, 504})) << "the browser's topic view";
}

TEST_F(TopicLinksTest, EveryScopeOfAForumDatabase) {
  sampleForum();
  uint32_t t = topic("Scoped");
  struct Case {
    int rank;
    uint32_t current;
    Ids expected;
  };
  // Thread 1000: 500 501 504; 1001: 502 505; 1002: 503 (section 200).
  // Senders: 10 wrote 500 503 504; receivers: 10 got 501 502.
  const Case cases[] = {{1, 502, {502}},           {2, 505, {502, 505}},           {3, 500, {500, 503, 504}},
                        {4, 501, {501, 502}},      {5, 503, {503}},                {5, 500, {500, 501, 502, 504, 505}},
                        {6, 500, {500, 501, 502, 503, 504, 505}}};
  for (const Case& c : cases) {
    ClassifyView v = run(request(c.rank, true, c.current, t));
    EXPECT_EQ(linksOf(t), c.expected) << "rank " << c.rank << " from " << c.current;
    EXPECT_EQ(countOf(t), c.expected.size());
    EXPECT_EQ(v.classified, int64_t(c.expected.size()));
    run(request(c.rank, false, c.current, t));
    EXPECT_EQ(linksOf(t), Ids{}) << "removing over the same scope, rank " << c.rank;
    EXPECT_EQ(countOf(t), 0u);
  }
  // Rank 7: the messages of an index word; 8: those of another topic; 9: the
  // last search result. Their entries whose message is gone are passed over.
  ClassifyRequest word = request(7, true, 0, t);
  word.wordId = 7;
  ClassifyView v = run(word);
  EXPECT_EQ(linksOf(t), (Ids{500, 504}));
  EXPECT_EQ(v.missing, 1);
  ClassifyRequest unword = word;
  unword.scope = 15;
  run(unword);
  ClassifyRequest byTopic = request(8, true, 0, t);
  byTopic.setTopicId = 77;
  run(byTopic);
  EXPECT_EQ(linksOf(t), (Ids{501, 503}));
  EXPECT_EQ(linksOf(77), (Ids{501, 503, 998})) << "the set's topic is not touched";
  byTopic.scope = 17;
  run(byTopic);
  run(request(9, true, 0, t));
  EXPECT_EQ(linksOf(t), (Ids{500, 505}));
  EXPECT_EQ(countOf(t), 2u);
}

TEST_F(TopicLinksTest, RemovingOverTheMessageScopeRemovesOnlyItsLink) {
  sampleForum();
  uint32_t t = topic("Fruit");
  run(request(2, true, 500, t));
  ASSERT_EQ(linksOf(t), (Ids{500, 501, 504}));
  ClassifyView v = run(request(1, false, 501, t));
  EXPECT_EQ(v.classified, 1);
  EXPECT_EQ(v.linksRemoved, 1);
  EXPECT_EQ(linksOf(t), (Ids{500, 504}));
  EXPECT_EQ(countOf(t), 2u);
}

TEST_F(TopicLinksTest, ADateFilterThatExcludesEverythingChangesNothing) {
  sampleForum();
  uint32_t t = topic("Fruit");
  ASSERT_TRUE(setTopicLink(t, 503, true));
  auto before = links();
  for (bool attach : {true, false}) {
    ClassifyRequest r = request(6, attach, 500, t);
    r.filter.dateRange = true;
    r.filter.fromDate = 200;
    r.filter.toDate = 300;
    ClassifyView v = run(r);
    EXPECT_EQ(v.classified, 0);
    EXPECT_EQ(v.filtered, 6) << "every message shown as filtered out";
    EXPECT_EQ(links(), before);
    EXPECT_EQ(countOf(t), 1u);
  }
  // The range's ends are inside it.
  ClassifyRequest r = request(6, true, 500, t);
  r.filter.dateRange = true;
  r.filter.fromDate = 101;
  r.filter.toDate = 103;
  ClassifyView v = run(r);
  EXPECT_EQ(v.filtered, 3) << "500, 503 and 505 lie outside";
  EXPECT_EQ(linksOf(t), (Ids{501, 502, 503, 504}));
  EXPECT_EQ(countOf(t), 4u);
}

TEST_F(TopicLinksTest, MailScopesWalkThePartnerSenderAndRecipient) {
  uint32_t owner = sampleMailbox();
  (void)owner;
  uint32_t t = topic("Family");
  run(request(2, true, 701, t));  // partner 21: 700 701 703
  EXPECT_EQ(linksOf(t), (Ids{700, 701, 703}));
  run(request(2, false, 700, t));
  run(request(3, true, 702, t));  // sender 22: 702
  EXPECT_EQ(linksOf(t), Ids{702});
  run(request(6, true, 702, t));
  EXPECT_EQ(linksOf(t), (Ids{700, 701, 702, 703, 704}));
  EXPECT_EQ(countOf(t), 5u);
  EXPECT_EQ(topicView(KindMailDb, MmTopic, t), (Ids{700, 701, 702, 703, 704}));
  ClassifyView v = run(request(5, true, 702, t), ClassifyFailed);
  EXPECT_EQ(v.classified, 0) << "a mail database has no sections";
}

TEST_F(TopicLinksTest, RefusalsChangeNothing) {
  sampleForum();
  uint32_t t = topic("Fruit");
  auto before = links();
  run(request(2, true, 500, 0), ClassifyFailed);
  EXPECT_NE(prompts.transcript().find("No topic selected!"), std::string::npos);
  run(request(2, true, 500, t + 1000), ClassifyFailed);
  run(request(2, true, 4242, t), ClassifyFailed);
  ClassifyRequest bad = request(1, true, 500, t);
  bad.scope = 1;
  run(bad, ClassifyFailed);
  EXPECT_EQ(links(), before);
}

TEST_F(TopicLinksTest, ALongRunCommitsInSlicesAndKeepsTheCountAtEveryCommit) {
  makeDatabase(KindForumDb);
  section(100, 1, "General");
  person(10, "Ann", "Lee");
  thread(1000, 100, "Long thread");
  const uint32_t n = 2 * kClassifySlice + 50;
  for (uint32_t i = 0; i < n; ++i) message(10000 + i, 1000, 10, 10, int32_t(100 + i % 7));
  uint32_t t = topic("Long");
  ClassifyRun r(request(2, true, 10000, t));
  int slices = 0;
  while (r.step()) {
    if (r.view().classified > 0) {
      ++slices;
      EXPECT_EQ(countOf(t), linksOf(t).size()) << "after " << r.view().classified;
    }
  }
  ASSERT_EQ(r.result(), ClassifyDone);
  EXPECT_GE(slices, 2);
  EXPECT_EQ(linksOf(t).size(), size_t(n));
  EXPECT_EQ(countOf(t), n);

  // Aborted after its first slice: what was committed stays, and counts.
  uint32_t u = topic("Aborted");
  ClassifyRun a(request(2, true, 10000, u));
  while (a.step() && a.view().classified == 0) {
  }
  a.cancel();
  EXPECT_EQ(a.result(), ClassifyCancelled);
  EXPECT_EQ(linksOf(u).size(), size_t(kClassifySlice));
  EXPECT_EQ(countOf(u), uint32_t(kClassifySlice));
}

}  // namespace

namespace {

TEST(GroupDateRange, BothDatesLieBetween1965And2099AndToIsNotBeforeFrom) {
  const int32_t first = dateFromYMD(1965, 1, 1), last = dateFromYMD(2099, 1, 1);
  const int32_t d = dateFromYMD(1996, 3, 5);
  EXPECT_EQ(dateRangeFault(d, d), DateRangeFault::None) << "a range of one day";
  EXPECT_EQ(dateRangeFault(first, d), DateRangeFault::From) << "1 January 1965 itself is not after it";
  EXPECT_EQ(dateRangeFault(first + 1, last - 1), DateRangeFault::None);
  EXPECT_EQ(dateRangeFault(0, d), DateRangeFault::From);
  EXPECT_EQ(dateRangeFault(d, last), DateRangeFault::To);
  EXPECT_EQ(dateRangeFault(0, last), DateRangeFault::From) << "From is tested first";
  EXPECT_EQ(dateRangeFault(d + 1, d), DateRangeFault::Negative);
  EXPECT_STREQ(dateRangeFaultText(DateRangeFault::Negative), "A negative date range cannot be allowed.");
  EXPECT_STREQ(dateRangeFaultText(DateRangeFault::None), "");
}

}  // namespace
