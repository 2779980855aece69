// The directory and tree methods take the masks in their DOS meaning: mail
// stores without an extension ("Inbox" of Unix and Thunderbird mailboxes)
// are found by "*.*" and "*.".
#include <gtest/gtest.h>

#include <filesystem>

#include "support/mail_import.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class ImportMasksTest : public MailImportTest {
 protected:
  void SetUp() override {
    MailImportTest::SetUp();
    fs::create_directories(dir.file("Mail/Local Folders"));
    writeFile(dir.file("Mail/Local Folders/Inbox"),
              "From ann@example.org Tue Mar  5 10:11:00 1996\n"
              "From: Ann Lee <ann@example.org>\nTo: Mary Owner <mary@owner.example>\n"
              "Subject: Found without an extension\nDate: Tue, 5 Mar 1996 10:11:00 +0000\n\nHello.\n\n");
  }
};

}  // namespace

TEST_F(ImportMasksTest, TheDirectoryMethodFindsAStoreWithoutExtensionByStarDotStar) {
  ASSERT_EQ(importMail("Unix Mail", qv::SelectDirectory, dir.file("Mail/Local Folders"), {"*.*"}), 1)
      << prompts.transcript();
  auto mails = stored();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "Found without an extension");
}

TEST_F(ImportMasksTest, TheTreeMethodFindsAStoreWithoutExtensionByStarDot) {
  writeFile(dir.file("Mail/Local Folders/Inbox.msf"), "// an index of the mailbox, not mail\n");
  ASSERT_EQ(importMail("Unix Mail", qv::SelectTree, dir.file("Mail"), {"*."}), 1) << prompts.transcript();
  auto mails = stored();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "Found without an extension");
}
