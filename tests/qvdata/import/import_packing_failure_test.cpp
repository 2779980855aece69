// An import whose originals cannot be packed (the packing thread fails) ends
// with a failure it reports, and the archive holds what it held before.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "dictionary/file_numbers.h"
#include "originals/originals_store.h"
#include "originals/pack_queue.h"
#include "services/db_kind.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

namespace {

void failEveryPacking(const qv::PackItem& item) {
  if (item.work != qv::PackWork::Nothing) throw std::bad_alloc();
}

class PackingFailure : public qvtest::MailImportTest {
 protected:
  void TearDown() override {
    qv::setPackFaultHook(nullptr);
    MailImportTest::TearDown();
  }

  // The originals the mailbox keeps, each content once.
  int64_t keptOriginals() {
    if (!qv::selectDatabase(mailbox)) return -1;
    qv::OP_CLOSE(qv::OpShared, {qv::FileMail, qv::FileOriginals});
    int64_t contents = 0;
    qv::Originals.setFileOrder();
    while (qv::Originals.next())
      if (qv::ORI.MSGID == 0 && !qv::ORI.HASH.blank()) ++contents;
    qv::OP_CLOSE(qv::OpRelease, {qv::FileMail, qv::FileOriginals});
    return contents;
  }

  // What the check of the originals finds wrong in the mailbox.
  std::vector<std::string> originalsCheck() {
    if (!qv::selectDatabase(mailbox)) return {"no mailbox"};
    qv::OP_CLOSE(qv::OpShared, {qv::FileMail, qv::FileOriginals});
    std::vector<std::string> found = qv::checkOriginals(qv::KindMailDb);
    qv::OP_CLOSE(qv::OpRelease, {qv::FileMail, qv::FileOriginals});
    return found;
  }
};

TEST_F(PackingFailure, TheRunReportsItsFailureAndTheArchiveStaysAsItWas) {
  qvtest::writeFile(dir.file("first.mbx"), qvtest::generatedMbox(3, kOwnerAddress));
  ASSERT_EQ(importFiles("Unix Mail", {dir.file("first.mbx")}), 1) << prompts.transcript();
  std::vector<qvtest::StoredMail> before = stored();
  ASSERT_EQ(before.size(), 3u);
  ASSERT_EQ(keptOriginals(), 3);
  ASSERT_EQ(originalsCheck(), std::vector<std::string>());

  qv::setPackFaultHook(&failEveryPacking);
  qvtest::writeFile(dir.file("second.mbx"), qvtest::generatedMbox(9, kOwnerAddress));
  qv::ImportView view;
  EXPECT_EQ(importFiles("Unix Mail", {dir.file("second.mbx")}, &view), 2);
  EXPECT_EQ(view.status, "The import was stopped: an original could not be packed.");
  EXPECT_EQ(view.imported, 0);
  bool told = false;
  for (const std::string& line : view.problems)
    if (line.find("Original packing error!") != std::string::npos) told = true;
  EXPECT_TRUE(told) << prompts.transcript();

  qv::setPackFaultHook(nullptr);
  std::vector<qvtest::StoredMail> after = stored();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].id, before[i].id);
    EXPECT_EQ(after[i].text, before[i].text);
  }
  EXPECT_EQ(keptOriginals(), 3);
  EXPECT_EQ(originalsCheck(), std::vector<std::string>());

  // The run after it imports as ever.
  EXPECT_EQ(importFiles("Unix Mail", {dir.file("second.mbx")}), 1) << prompts.transcript();
  EXPECT_EQ(stored().size(), 9u);
  EXPECT_EQ(keptOriginals(), 9);
  EXPECT_EQ(originalsCheck(), std::vector<std::string>());
}

}  // namespace
