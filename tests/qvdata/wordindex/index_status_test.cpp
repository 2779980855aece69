// What the windows ask of a database's word index: whether the active
// database has one (asking makes no file), and the state an indexing run
// left in the database's list entry.
#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "support/services_fixture.h"
#include "wordindex/index_status.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

constexpr int kFullIndex = 1;

class IndexStatusTest : public qvtest::InstallationTest {
 protected:
  uint32_t mailbox(const std::string& owner) {
    MailboxSpec spec;
    spec.owner = owner;
    spec.address = "owner@example.org";
    uint32_t id = AddMailbox(spec, false);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  // Adds a mail with its text to the active database.
  void mail(const std::string& text) {
    FileScope files({FileControl, FileMail, FileMsgText});
    uint32_t id = NextNr();
    MAI = MailRec();
    MAI.MAILID = id;
    MAI.SUBJECT = "note";
    TXT = MsgTextRec();
    TXT.MSGNUMBER = id;
    TXT.MsgText = text;
    ASSERT_TRUE(Mail.add() && MsgText.add()) << ErrorText();
  }
};

}  // namespace

TEST_F(IndexStatusTest, OnlyADatabaseWithIndexEntriesIsIndexedAndAskingMakesNoFile) {
  EXPECT_FALSE(isWordIndexed()) << "no database is active";
  uint32_t box = mailbox("Owen");
  uint32_t other = mailbox("Ruth");
  ASSERT_TRUE(ActivateDatabase(box));
  std::string masIdx = filePath(FileMasIdx);
  EXPECT_FALSE(isWordIndexed());
  EXPECT_FALSE(fs::exists(masIdx)) << "asking made the word-occurrence file";

  mail("The laserjet driver fails again");
  std::optional<IndexState> before = readIndexState(box);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->lastMsgId, 0u);
  IndexRun run(kFullIndex, 4, box, *before);
  while (run.step()) {
  }
  ASSERT_EQ(run.result(), 1);
  ASSERT_TRUE(storeIndexState(box, run.state()));
  EXPECT_TRUE(isWordIndexed());

  ASSERT_TRUE(ActivateDatabase(other));
  EXPECT_FALSE(isWordIndexed()) << "another database's index is not this one's";
}

TEST_F(IndexStatusTest, TheStateIsReadBackAsItWasStored) {
  uint32_t box = mailbox("Owen");
  ASSERT_TRUE(storeIndexState(box, IndexState{17, 5, 1}));
  std::optional<IndexState> s = readIndexState(box);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->lastMsgId, 17u);
  EXPECT_EQ(s->recsLastTime, 5u);
  EXPECT_EQ(s->wordListNeedsUpdate, 1);
  EXPECT_FALSE(readIndexState(box + 1000)) << "a database not in the list has no state";
}
