// The database list read as values: whole entries by ID and by name, the
// listing orders of the database selection, and the mailbox list that leaves
// the other kinds out.
#include <gtest/gtest.h>

#include "services/database_list.h"
#include "services/databases.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

class DatabaseListTest : public qvtest::InstallationTest {
 protected:
  uint32_t mailbox(const std::string& owner, const std::string& address, const std::string& alt = {}) {
    MailboxSpec spec;
    spec.owner = owner;
    spec.address = address;
    spec.alternatives[3] = alt;
    uint32_t id = AddMailbox(spec);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  static std::vector<std::string> names(const std::vector<DatabaseRecord>& list) {
    std::vector<std::string> out;
    for (const DatabaseRecord& r : list) out.push_back(r.name);
    return out;
  }
};

}  // namespace

TEST_F(DatabaseListTest, AnEntryIsReadWholeByIdOrByNameInAnyCase) {
  uint32_t box = mailbox("Owen Marsh", "owen@example.org", "o.marsh@example.net");
  std::optional<DatabaseRecord> r = readDatabase(box);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->id, box);
  EXPECT_EQ(r->name, "Owen Marsh");
  EXPECT_EQ(r->kind, KindMailDb);
  EXPECT_EQ(r->mailAddress, "owen@example.org");
  EXPECT_EQ(r->altAddresses[3], "o.marsh@example.net");
  EXPECT_TRUE(r->altAddresses[0].empty()) << "unused addresses come without their padding";
  EXPECT_TRUE(r->hasAltAddress());
  EXPECT_TRUE(r->importAllowed);
  EXPECT_EQ(r->status, DbStatusNormal);

  std::optional<DatabaseRecord> byName = readDatabase("OWEN MARSH");
  ASSERT_TRUE(byName);
  EXPECT_EQ(byName->id, box);
  EXPECT_FALSE(readDatabase(box + 1000));
  EXPECT_FALSE(readDatabase("Nobody"));
}

TEST_F(DatabaseListTest, AnEntryShowsWhatTheWindowsChanged) {
  uint32_t id = AddForumDatabase("Tools Forum");
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(setDatabaseStatus(id, DbStatusKeep));
  ASSERT_TRUE(setImportAllowed(id, false));
  ASSERT_TRUE(setAutoIndexing(id, true));
  ASSERT_TRUE(storeMessageCount(id, 42));
  std::optional<DatabaseRecord> r = readDatabase(id);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, DbStatusKeep);
  EXPECT_FALSE(r->importAllowed);
  EXPECT_TRUE(r->autoIndexing);
  EXPECT_EQ(r->messages, 42u);
  EXPECT_TRUE(r->counted);
  EXPECT_FALSE(r->hasAltAddress());
  ASSERT_TRUE(setAutoIndexing(id, false));
  EXPECT_FALSE(readDatabase(id)->autoIndexing);
}

TEST_F(DatabaseListTest, EveryKindIsListedByNameOrByDirectory) {
  uint32_t c = AddForumDatabase("charlie");    // F1
  uint32_t a = AddForumDatabase("Alpha News", KindNewsDb);  // F2
  uint32_t b = mailbox("bravo", "b@example.org");  // F3
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(names(listDatabases(kAllDbKinds, false)), (std::vector<std::string>{"Alpha News", "bravo", "charlie"}))
      << "names are ordered without regard to letter case";
  std::vector<DatabaseRecord> byDir = listDatabases(kAllDbKinds, true);
  ASSERT_EQ(byDir.size(), 3u);
  EXPECT_EQ(names(byDir), (std::vector<std::string>{"charlie", "Alpha News", "bravo"}));
  EXPECT_LT(byDir[0].dirNumber, byDir[1].dirNumber);
  EXPECT_LT(byDir[1].dirNumber, byDir[2].dirNumber);
  EXPECT_EQ(byDir[1].kind, KindNewsDb);
}

TEST_F(DatabaseListTest, TheMailboxListLeavesOtherKindsOutAndKeepsTheOrderTheyWereMade) {
  EXPECT_TRUE(mailboxRecords().empty());
  uint32_t zed = mailbox("Zed Box", "z@example.org");
  ASSERT_NE(AddForumDatabase("A Forum"), 0u);
  ASSERT_NE(AddForumDatabase("A Newsgroup", KindNewsDb), 0u);
  uint32_t amy = mailbox("Amy Box", "a@example.org", "amy@example.net");
  std::vector<DatabaseRecord> boxes = mailboxRecords();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].id, zed);
  EXPECT_EQ(boxes[1].id, amy);
  EXPECT_EQ(boxes[1].mailAddress, "a@example.org");
  EXPECT_FALSE(boxes[0].hasAltAddress());
  EXPECT_TRUE(boxes[1].hasAltAddress());
  for (const DatabaseRecord& r : boxes) EXPECT_EQ(r.kind, KindMailDb);
}
