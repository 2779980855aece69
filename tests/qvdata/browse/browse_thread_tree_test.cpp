// The thread tree: levels from the reply references (self references,
// purged parents, cycles), the depth-first order of the rows, the row texts
// by node text and date format, and the tree of a stored thread.
#include <gtest/gtest.h>

#include "browse/display_names.h"
#include "browse/thread_tree.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

TreeNode node(uint32_t number, uint32_t parent, const std::string& sender = "Ann Lee", int32_t date = 0) {
  TreeNode n;
  n.number = number;
  n.parent = parent;
  n.sender = sender;
  n.date = date;
  return n;
}

// "number:level:icon" of every row after the leading empty one.
std::vector<std::string> shape(const std::vector<TreeRow>& rows) {
  std::vector<std::string> out;
  for (size_t i = 1; i < rows.size(); ++i)
    out.push_back(std::to_string(rows[i].number) + ":" + std::to_string(rows[i].level) + ":" +
                  std::to_string(rows[i].icon));
  return out;
}

using Shape = std::vector<std::string>;

}  // namespace

TEST(ThreadTreeLevels, MessagesWithoutReferencesAreAllTopLeavesInNumberOrder) {
  std::vector<TreeNode> nodes = {node(10, 0), node(12, 0), node(15, 15), node(20, 0)};
  EXPECT_EQ(assignLevels(nodes), 1);
  auto rows = treeRows(nodes, 1, 10);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].number, 0u) << "the list starts with an empty row for message 0";
  EXPECT_EQ(rows[0].text, "");
  EXPECT_EQ(rows[0].icon, TreeNoIcon);
  EXPECT_EQ(shape(rows), (Shape{"10:1:1", "12:1:1", "15:1:1", "20:1:1"}))
      << "a message naming itself as its parent is a top message too";
}

TEST(ThreadTreeLevels, AReplyWhosePurgedParentIsGoneIsATopMessage) {
  // 7 was purged: 8 replies to it, 9 replies to 8.
  std::vector<TreeNode> nodes = {node(5, 0), node(8, 7), node(9, 8)};
  EXPECT_EQ(assignLevels(nodes), 2);
  EXPECT_EQ(shape(treeRows(nodes, 1, 10)), (Shape{"5:1:1", "8:1:2", "9:2:1"}));
}

TEST(ThreadTreeLevels, DepthFirstPreOrderOfAKnownTree) {
  //   1            10 (a second top message, numbered between the replies)
  //   +- 2
  //   |  +- 4
  //   |  |  +- 9
  //   |  +- 6
  //   +- 3
  //      +- 5
  //   11 replies to 10
  std::vector<TreeNode> nodes = {node(1, 0), node(2, 1), node(3, 1), node(4, 2), node(5, 3),
                                 node(6, 2), node(9, 4), node(10, 0), node(11, 10)};
  EXPECT_EQ(assignLevels(nodes), 4);
  EXPECT_EQ(shape(treeRows(nodes, 1, 10)),
            (Shape{"1:1:2", "2:2:2", "4:3:2", "9:4:1", "6:3:1", "3:2:2", "5:3:1", "10:1:2", "11:2:1"}));
}

TEST(ThreadTreeLevels, RepliesNumberedBeforeTheirParentsGetTheirLevels) {
  // A chain numbered backwards: 50 <- 40 <- 30 <- 20 <- 10.
  std::vector<TreeNode> nodes = {node(10, 20), node(20, 30), node(30, 40), node(40, 50), node(50, 0)};
  EXPECT_EQ(assignLevels(nodes), 5);
  EXPECT_EQ(shape(treeRows(nodes, 1, 10)), (Shape{"50:1:2", "40:2:2", "30:3:2", "20:4:2", "10:5:1"}));
}

TEST(ThreadTreeLevels, ALongChainNumberedBackwardsIsOneDeepBranch) {
  // 50,000 messages, each answering the next higher number.
  const uint32_t n = 50000;
  std::vector<TreeNode> nodes;
  for (uint32_t i = 1; i <= n; ++i) nodes.push_back(node(i, i == n ? 0 : i + 1));
  EXPECT_EQ(assignLevels(nodes), int(n));
  auto rows = treeRows(nodes, 1, 10);
  ASSERT_EQ(rows.size(), n + 1);
  EXPECT_EQ(rows[1].number, n);
  EXPECT_EQ(rows[n].number, 1u);
  EXPECT_EQ(rows[n].level, int(n));
  EXPECT_EQ(rows[n].icon, TreeLeaf);
}

TEST(ThreadTreeLevels, ACycleEndsAndEveryMessageIsShownOnce) {
  // 3 -> 4 -> 5 -> 3 form a cycle, 6 replies to 5, 1 is an ordinary top message.
  std::vector<TreeNode> nodes = {node(1, 0), node(3, 5), node(4, 3), node(5, 4), node(6, 5)};
  EXPECT_EQ(assignLevels(nodes), 4);
  for (const TreeNode& n : nodes) EXPECT_GT(n.level, 0) << n.number;
  EXPECT_EQ(shape(treeRows(nodes, 1, 10)), (Shape{"1:1:1", "3:1:2", "4:2:2", "5:3:2", "6:4:1"}))
      << "the lowest message of the cycle becomes its top";

  // Two messages answering each other, and one answering itself through a chain of one.
  std::vector<TreeNode> pair = {node(8, 9), node(9, 8)};
  assignLevels(pair);
  EXPECT_EQ(shape(treeRows(pair, 1, 10)), (Shape{"8:1:2", "9:2:1"}));
}

TEST(ThreadTreeText, RowTextByNodeTextAndDateFormat) {
  TreeNode n = node(4711, 0, "Ann Lee", dateFromYMD(1996, 3, 5));
  EXPECT_EQ(treeRowText(n, 1, 10), "Ann Lee");
  EXPECT_EQ(treeRowText(n, 2, 10), "Ann Lee 4711");
  EXPECT_EQ(treeRowText(n, 3, 10), "Ann Lee 1996-03-05");
  EXPECT_EQ(treeRowText(n, 4, 2), "Ann Lee 4711 03-05-1996");
  EXPECT_EQ(treeRowText(n, 5, 6), "Ann Lee 05-03-1996 4711");
  EXPECT_EQ(treeRowText(n, 3, 17), "Ann Lee " + formatDate(n.date, 17));

  EXPECT_EQ(senderLabel("Ann      ", "Lee   "), "Ann Lee");
  EXPECT_EQ(senderLabel("", "Lee"), "Lee") << "no blank in front of a lone last name";
  EXPECT_EQ(senderLabel("", ""), "");
  std::string longName = senderLabel("Maximiliane-Théodora", "Wolkenstein-Rodeneck");
  EXPECT_EQ(longName, "Maximiliane-Théodora Wolkenstein-Ro") << "at most 35 characters, not bytes";

  TreeNode missing = node(9, 0, "");
  EXPECT_EQ(treeRowText(missing, 2, 10), " 9") << "a missing person leaves the label blank";
}

// ---- The tree of a stored thread ----

class ThreadTreeBuild : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    selectDatabase(1, KindForumDb);
    OP_CLOSE(OpShared, {FileMsgNmbr, FilePerson});
    addPerson(100, "Ann", "Lee");
    addPerson(101, "Bob", "Ray");
  }
  void TearDown() override {
    OP_CLOSE(OpRelease, {FileMsgNmbr, FilePerson});
    InstallationTest::TearDown();
  }
  static void addPerson(uint32_t id, const std::string& first, const std::string& last) {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.FIRSTNAME = first;
    PER.LASTNAME = last;
    PER.PERSONSTRING = first + " " + last;
    ASSERT_TRUE(Person.add());
  }
  static void addMessage(uint32_t number, uint32_t thread, const std::string& alpha, uint32_t ref, uint32_t from) {
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = number;
    MSG.THREADNUMBER = thread;
    MSG.THREADALPHA = alpha;
    MSG.REFNUMBER = ref;
    MSG.FROMID = from;
    MSG.DATE = dateFromYMD(1996, 3, int(number % 28) + 1);
    ASSERT_TRUE(MsgNmbr.add());
  }
};

TEST_F(ThreadTreeBuild, BuildsTheThreadOfAMessageOnly) {
  addMessage(500, 7000, "First post", 0, 100);
  addMessage(501, 7000, "First post", 500, 101);
  addMessage(502, 7000, "First post", 501, 100);
  addMessage(503, 7000, "First post", 500, 999);  // sender not in the person file
  addMessage(510, 7001, "Other", 0, 101);          // another thread
  addMessage(511, 7002, "First post", 500, 101);   // another thread of the same heading

  MSG.MSGNUMBER = 12345;  // the caller's buffers survive
  PER.PERSONID = 23456;
  ThreadTree tree;
  ASSERT_TRUE(buildThreadTree(502, 2, 10, tree));
  EXPECT_EQ(MSG.MSGNUMBER, 12345u);
  EXPECT_EQ(PER.PERSONID, 23456u);
  EXPECT_EQ(tree.threadNumber, 7000u);
  EXPECT_EQ(tree.threadAlpha, "First post");
  EXPECT_EQ(tree.depth, 3);
  EXPECT_EQ(shape(tree.rows), (Shape{"500:1:2", "501:2:2", "502:3:1", "503:2:1"}));
  EXPECT_EQ(tree.rows[1].text, "Ann Lee 500");
  EXPECT_EQ(tree.rows[2].text, "Bob Ray 501");
  EXPECT_EQ(tree.rows[4].text, " 503");

  EXPECT_EQ(threadOfMessage(511), 7002u);
  EXPECT_EQ(MSG.MSGNUMBER, 12345u);
  EXPECT_EQ(threadOfMessage(999), 0u);
  EXPECT_FALSE(buildThreadTree(999, 2, 10, tree));
  EXPECT_TRUE(tree.rows.empty());
  EXPECT_EQ(tree.threadNumber, 0u);
}
