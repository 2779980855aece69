// Originals exported by the export run (layout 5): to one mboxrd mailbox
// file in the temporary directory, or one .eml file per message; messages
// without an original skipped, forum databases and databases that keep no
// originals refused, and the export file's name checked as every export
// file's is.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

#include "dictionary/file_numbers.h"
#include "export/copy_msg.h"
#include "export/export_names.h"
#include "originals/mbox_writer.h"
#include "originals/original_packing.h"
#include "originals/originals_export.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/installation.h"
#include "services/record_helpers.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

std::string mail(int n, const std::string& body) {
  return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) + "@example.org>\r\n" +
         "To: Mary Owner <mary@owner.example>\r\nSubject: originals " + std::to_string(n) + "\r\n" +
         "Date: Mon, " + std::to_string(n) + " Mar 2004 10:00:00 +0000\r\nMessage-ID: <o" + std::to_string(n) +
         "@example.org>\r\n\r\n" + body;
}

class ExportOriginals : public qvtest::MailImportTest {
 protected:
  // Imports three mails, each keeping `raws[i]` as its original; returns
  // their IDs, oldest first.
  std::vector<uint32_t> importThree() {
    raws = {mail(1, "From the start of a line.\r\n>From quoted once.\r\n"),
            mail(2, "Second.\r\n"), mail(3, "Third, last line without its end.")};
    std::string box;
    for (const std::string& r : raws) box += "From someone Mon Mar  1 10:00:00 2004\r\n" + mboxrdQuote(r) + "\r\n\r\n";
    qvtest::writeFile(dir.file("in.mbox"), box);
    EXPECT_EQ(importFiles("Unix Mail", {dir.file("in.mbox")}), 1) << prompts.transcript();
    std::vector<uint32_t> ids;
    for (const qvtest::StoredMail& m : stored()) ids.push_back(m.id);
    EXPECT_EQ(ids.size(), 3u);
    // The originals as this test wants them, whatever the import kept.
    EXPECT_TRUE(findDatabase(mailbox));
    useDatabase();
    OP_CLOSE(OpShared, {FileOriginals});
    bool ok = beginTransaction({&Originals}, 5);
    for (size_t i = 0; ok && i < ids.size(); ++i) ok = writeOriginal(ids[i], packOriginal(raws[i]), ReportQuiet);
    ok = ok && commitTransaction();
    if (transactionActive()) rollbackTransaction();
    OP_CLOSE(OpRelease, {FileOriginals});
    EXPECT_TRUE(ok);
    return ids;
  }

  int run(CopyRequest r, CopyView* view = nullptr) {
    EXPECT_TRUE(findDatabase(mailbox));
    useDatabase();
    CopyRun run(r);
    while (run.step()) {
    }
    if (view) *view = run.view();
    path = run.path1();
    return run.result();
  }

  CopyRequest wholeDatabase() {
    CopyRequest r;
    r.scope = 12;
    r.layout = kLayoutOriginals;
    return r;
  }

  std::vector<std::string> raws;
  std::string path;
};

TEST_F(ExportOriginals, MailboxFileHoldsEveryOriginalQuotedAsMboxrd) {
  importThree();
  CopyView v;
  ASSERT_EQ(run(wholeDatabase(), &v), CopyDone) << prompts.transcript();
  EXPECT_EQ(v.written, 3);
  EXPECT_EQ(path, exportPath(kOriginalsFileName));
  std::string expected;
  for (const std::string& r : raws) expected += mboxEntry(r);
  EXPECT_EQ(qvtest::readFile(path), expected);
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A named file, appended to with the odd scope code.
  CopyRequest r = wholeDatabase();
  r.defaultNames = false;
  r.file1 = "mine.mbox";
  ASSERT_EQ(run(r), CopyDone);
  r.scope = 13;
  ASSERT_EQ(run(r), CopyDone);
  EXPECT_EQ(qvtest::readFile(exportPath("mine.mbox")), expected + expected);
}

TEST_F(ExportOriginals, EmlFilesHoldTheOriginalsAndNeverReplaceAFile) {
  std::vector<uint32_t> ids = importThree();
  std::string eml = dir.file("eml");
  fs::create_directory(eml);
  qvtest::writeFile(eml + "/" + std::to_string(ids[0]) + ".eml", "mine");
  CopyRequest r = wholeDatabase();
  r.emlDir = eml;
  ASSERT_EQ(run(r), CopyDone) << prompts.transcript();
  EXPECT_EQ(qvtest::readFile(eml + "/" + std::to_string(ids[0]) + ".eml"), "mine");
  EXPECT_EQ(qvtest::readFile(eml + "/" + std::to_string(ids[0]) + " (2).eml"), raws[0]);
  EXPECT_EQ(qvtest::readFile(eml + "/" + std::to_string(ids[2]) + ".eml"), raws[2]);
}

TEST_F(ExportOriginals, MessagesWithoutOriginalsAreSkippedAndNamesChecked) {
  std::vector<uint32_t> ids = importThree();
  OP_CLOSE(OpShared, {FileOriginals});
  bool ok = beginTransaction({&Originals}, 5) && removeOriginal(ids[1], ReportQuiet) && commitTransaction();
  if (transactionActive()) rollbackTransaction();
  OP_CLOSE(OpRelease, {FileOriginals});
  ASSERT_TRUE(ok);
  CopyView v;
  ASSERT_EQ(run(wholeDatabase(), &v), CopyDone);
  EXPECT_EQ(v.written, 2);
  EXPECT_EQ(v.skipped, 1);
  EXPECT_EQ(qvtest::readFile(path), mboxEntry(raws[0]) + mboxEntry(raws[2]));

  // An export file may not be named like one of the archive's files.
  CopyRequest r = wholeDatabase();
  r.defaultNames = false;
  r.file1 = "IDX036.ADF";
  prompts.reset();
  EXPECT_EQ(run(r), CopyFailed);
  EXPECT_NE(prompts.transcript().find("Filename error"), std::string::npos) << prompts.transcript();
  EXPECT_FALSE(fs::exists(exportPath("IDX036.ADF")));
}

// A damaged original is left out of the file, but named: the export says
// which message could not be written instead of counting it as skipped.
TEST_F(ExportOriginals, DamagedOriginalsAreNamedNotSilentlySkipped) {
  std::vector<uint32_t> ids = importThree();
  OP_CLOSE(OpShared, {FileOriginals});
  std::string hash = storedHash(originalHash(raws[1]), originalsHashForm());
  ORI = OriginalsRec();
  ORI.HASH = hash;
  ASSERT_TRUE(Originals.get(ORI_IdKey));
  ORI.DATA[ORI.DATA.size() / 2] ^= 0x55;
  ASSERT_TRUE(Originals.put());
  OP_CLOSE(OpRelease, {FileOriginals});
  CopyView v;
  prompts.reset();
  ASSERT_EQ(run(wholeDatabase(), &v), CopyDone);
  EXPECT_EQ(v.written, 2);
  EXPECT_EQ(v.damaged, 1);
  EXPECT_NE(v.damage.find("Message " + std::to_string(ids[1])), std::string::npos) << v.damage;
  EXPECT_NE(prompts.transcript().find("could not be exported"), std::string::npos) << prompts.transcript();
  EXPECT_EQ(qvtest::readFile(path), mboxEntry(raws[0]) + mboxEntry(raws[2]));
}

TEST_F(ExportOriginals, DatabasesWithoutOriginalsAreRefused) {
  importThree();
  // A database made before originals were kept has no Originals file.
  ASSERT_TRUE(findDatabase(mailbox));
  useDatabase();
  Originals.close();
  ASSERT_TRUE(fs::remove(filePath(FileOriginals)));
  prompts.reset();
  EXPECT_EQ(run(wholeDatabase()), CopyFailed);
  EXPECT_NE(prompts.transcript().find("keeps no originals"), std::string::npos) << prompts.transcript();
  EXPECT_FALSE(fs::exists(exportPath(kOriginalsFileName)));
}

}  // namespace
