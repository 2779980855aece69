// Corpus messages imported end to end, then read as the browsers and the
// printed report read them: a sender's name longer than the person fields
// comes back whole in the browse rows and the print block, a forum
// message's time of day in its browse row and its export data, and mail
// keeps its seconds.
#include <gtest/gtest.h>

#include <algorithm>

#include "browse/browse_rows.h"
#include "export/export_text.h"
#include "export/message_set.h"
#include "export/print_msg.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

using namespace qv;

namespace {

class WholeNamesAndTimes : public qvtest::MailImportTest {
 protected:
  void SetUp() override {
    corpus = qvtest::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    qvtest::MailImportTest::SetUp();
  }

  int importForum(const std::string& path, const std::string& forum) {
    ImportSettings s;
    s.format = "TAPCIS 6.x";
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {path};
    s.importForum = true;
    s.forumName = forum;
    ImportRun r(s);
    for (int guard = 0; r.step() && guard < 10000000; ++guard) {
    }
    r.close();
    return r.result();
  }

  // Every message of the current database as the export and the printed
  // report read it.
  std::vector<MessageData> walked() {
    std::vector<MessageData> out;
    MessageWalk walk({MessageSet::Database});
    EXPECT_TRUE(walk.open());
    while (walk.collect(1000)) {
    }
    for (uint32_t id : walk.ids()) {
      MessageData m;
      EXPECT_TRUE(walk.read(id, m));
      out.push_back(m);
    }
    walk.close();
    return out;
  }

  std::string corpus;
};

TEST_F(WholeNamesAndTimes, BrowseRowsAndPrintBlocksNameTheSenderWhole) {
  ASSERT_EQ(importFiles("Unix Mail", {corpus + "/eml/mailparser/mail_test_11", corpus + "/mbox/coppit/binary_body.txt",
                                      corpus + "/mbox/eudora2unix_test1.mbox"}),
            1)
      << prompts.transcript();
  ASSERT_TRUE(findDatabase(mailbox));
  useDatabase();
  std::vector<uint32_t> ids;
  for (const qvtest::StoredMail& m : stored()) ids.push_back(m.id);
  std::vector<std::string> senders;
  for (const BrowseRow& row : readBrowseRows(KindMailDb, ids)) senders.push_back(row.sender);
  for (const char* whole : {"служба ФНС Даниил Суворов", "Рекламное предложение", "The Department of Computer Science"})
    EXPECT_NE(std::find(senders.begin(), senders.end(), whole), senders.end()) << whole;

  std::vector<std::string> printed;
  for (const MessageData& m : walked())
    printed.push_back(printBlock(m, KindMailDb, "Mary Owner", DateYearFirst).header[3]);
  for (const char* from : {"From: служба ФНС Даниил Суворов <suvorov.s@nalg.ru>",
                           "From: Рекламное предложение <gerry@wongfaye.com>",
                           "From: The Department of Computer Science <oea.cs@fortyacres.utexas.edu>"})
    EXPECT_NE(std::find(printed.begin(), printed.end(), from), printed.end()) << from;

  // Mail keeps the seconds its source gives ("23:42:55").
  const qvtest::StoredMail* m = bySubject(stored(), "Email Attachment Test");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->time, timeFromHMS(23, 42, 55));
}

TEST_F(WholeNamesAndTimes, ForumMessagesKeepTheTimeOfTheirCapture) {
  ASSERT_EQ(importForum(corpus + "/compuserve-capture/800trkthd.ham", "Scanning"), 1) << prompts.transcript();
  ASSERT_TRUE(findDatabase("Scanning"));
  useDatabase();
  BrowseRow row;
  ASSERT_TRUE(readBrowseRow(KindForumDb, 55846, row));
  EXPECT_EQ(row.time, timeFromHMS(2, 35, 8));
  EXPECT_EQ(row.timeText, formatTime(timeFromHMS(2, 35, 8), int(KonfigGet(ItemTimeFormat))));
  std::map<uint32_t, int32_t> times;
  for (const MessageData& d : walked()) times[d.id] = d.time;
  EXPECT_EQ(times[55846], timeFromHMS(2, 35, 8));
  EXPECT_EQ(times[55895], timeFromHMS(16, 38, 36));
  EXPECT_EQ(clockTime(times[55895]), "16:38:36");
}

}  // namespace
