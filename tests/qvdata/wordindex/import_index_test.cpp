// The word index an import keeps in its pass, with words moved to the stop
// list on the way and many commits, is the one a full indexing run of the
// same database builds from its texts afterwards, to the last word number
// and moved word.
#include <gtest/gtest.h>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/globals.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "wordindex/index_run.h"

using namespace qv;

namespace {

class ImportIndexTest : public qvtest::MailImportTest {
 protected:
  void TearDown() override {
    indexTuning() = IndexTuning();
    qvtest::MailImportTest::TearDown();
  }

  ImportView importIndexed(const std::string& file, int commitMessages) {
    ImportSettings s;
    s.format = "Unix Mail";
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    s.importMail = true;
    s.mailbox = mailbox;
    s.commitMessages = commitMessages;
    s.indexWords = true;
    ImportRun r(s);
    while (r.step()) {
    }
    r.close();
    EXPECT_EQ(r.result(), 1) << prompts.transcript();
    return r.view();
  }
};

TEST_F(ImportIndexTest, TheIndexOfTheImportsPassIsTheOneAFullRunBuilds) {
  indexTuning().flushPairs = 2000;
  indexTuning().frequentAfter = 150;  // words move to the stop list during the import
  Mem.DoTask = RunUnattended;
  qvtest::writeFile(dir.file("first.mbx"), qvtest::generatedMbox(400, kOwnerAddress));
  qvtest::writeFile(dir.file("second.mbx"), qvtest::generatedMbox(250, "other@owner.example"));
  // Two imports: the second adds to an index the first made.
  ImportView first = importIndexed("first.mbx", 30);
  EXPECT_EQ(first.indexed, 400);
  // The second mailbox repeats many mails of the first (skipped): only the new are indexed.
  ImportView second = importIndexed("second.mbx", 17);
  EXPECT_GT(second.imported, 10);
  EXPECT_EQ(second.indexed, second.imported);
  std::string onePass = qvtest::dumpArchive(root);
  ASSERT_NE(onePass.find("CFG/STOPMOVE.ADF"), std::string::npos) << "no word was moved to the stop list";

  ASSERT_TRUE(findDatabase(mailbox));
  useDatabase();
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  ASSERT_EQ(INDEXFILE1(1, 4, mailbox, state), 1) << prompts.transcript();
  std::string full = qvtest::dumpArchive(root);
  EXPECT_TRUE(onePass == full) << qvtest::firstDifference(full, onePass);
}

}  // namespace
