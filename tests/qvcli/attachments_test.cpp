// qvcli attachments and qvcli export --original, run as a user runs them:
// the parts of a mail's original listed and saved as new private files
// under safe names, the originals exported as a mailbox file and as .eml
// files, and plain messages when a message or database has no original.
#include <gtest/gtest.h>
#include <algorithm>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "originals/mbox_writer.h"
#include "originals/original_packing.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/installation.h"
#include "services/record_helpers.h"
#include "qvcli_process.h"
#include "support/temp_dir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

const std::string kPdf = std::string("%PDF-1.4\n\x00\x01\x02\xff binary", 20);

// Mail 1 with a text, a PDF named with a path and a nameless image; mail 2
// plain.
const std::string kFirst =
    "From: Fay Brown <fay@example.org>\nTo: Mary Owner <mary@owner.example>\nSubject: Report\n"
    "Date: Mon, 1 Mar 2004 10:00:00 +0000\nMessage-ID: <r1@example.org>\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\n\n"
    "--b\nContent-Type: text/plain\n\nThe report.\nFrom the office.\n"
    "--b\nContent-Type: application/pdf; name=\"../../report.pdf\"\nContent-Transfer-Encoding: base64\n\n"
    "JVBERi0xLjQKAAEC/yBiaW5hcnk=\n"
    "--b\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--b--\n";
const std::string kSecond =
    "From: Gus Carter <gus@example.org>\nTo: Mary Owner <mary@owner.example>\nSubject: Plain\n"
    "Date: Tue, 2 Mar 2004 10:00:00 +0000\nMessage-ID: <r2@example.org>\n\nJust text.\n";

class QvcliAttachments : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ASSERT_EQ(run({"init"}).exitCode, 0);
    ASSERT_EQ(run({"mailbox", "add", "--owner", "Mary Owner", "--address", "mary@owner.example"}).exitCode, 0);
    writeFile(dir.file("in.mbox"), "From fay Mon Mar  1 10:00:00 2004\n" + qv::mboxrdQuote(kFirst) + "\n" +
                                       "From gus Tue Mar  2 10:00:00 2004\n" + kSecond + "\n");
    ProcessResult r = run({"import", "--format", "Unix Mail", "--unattended", dir.file("in.mbox")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    keepOriginals();
  }

  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }

  // The mails' IDs, and their originals as this test wrote them (kept by
  // the import, or written here where it kept none).
  void keepOriginals() {
    std::string error;
    ASSERT_TRUE(qv::openInstallation(root, error)) << error;
    ASSERT_TRUE(qv::findDatabase("Mary Owner"));
    qv::useDatabase();
    qv::OP_CLOSE(qv::OpShared, {qv::FileMail});
    qv::Mail.set(qv::MAI_DateKey);
    while (qv::Mail.next()) ids.push_back(qv::MAI.MAILID);
    qv::OP_CLOSE(qv::OpRelease, {qv::FileMail});
    ASSERT_EQ(ids.size(), 2u);
    std::sort(ids.begin(), ids.end());
    qv::OP_CLOSE(qv::OpShared, {qv::FileOriginals});
    bool ok = qv::beginTransaction({&qv::Originals}, 5);
    for (size_t i = 0; ok && i < 2; ++i)
      if (!qv::readOriginal(qv::KindMailDb, ids[i]))
        ok = qv::writeOriginal(ids[i], qv::packOriginal(i == 0 ? kFirst : kSecond), qv::ReportQuiet);
    ok = ok && qv::commitTransaction();
    if (qv::transactionActive()) qv::rollbackTransaction();
    qv::OP_CLOSE(qv::OpRelease, {qv::FileOriginals});
    for (uint32_t id : ids) originals.push_back(qv::readOriginal(qv::KindMailDb, id).value_or(""));
    qv::Originals.close();
    qv::closeInstallation();
    ASSERT_TRUE(ok);
    // The import kept each mail as the mailbox holds it: the separator line
    // left out, the quoted From line as it was written.
    EXPECT_EQ(originals[0].substr(0, kFirst.size()), kFirst);
    EXPECT_EQ(originals[1].substr(0, kSecond.size()), kSecond);
  }

  TempDir dir;
  std::string root;
  std::vector<uint32_t> ids;
  std::vector<std::string> originals;  // as kept, in the order of ids
};

TEST_F(QvcliAttachments, ListsAndSavesThePartsUnderSafeNames) {
  ProcessResult r = run({"attachments", "Mary Owner", std::to_string(ids[0])});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("../../report.pdf"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("application/pdf"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("image/png"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 20\n"), std::string::npos) << r.out;

  std::string out = dir.file("saved");
  r = run({"attachments", "Mary Owner", std::to_string(ids[0]), "--save", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/report.pdf"), kPdf);
  EXPECT_EQ(readFile(out + "/attachment-3"), "\x89PNG\r\n\x1a\n");
  EXPECT_TRUE(fs::exists(out + "/attachment-1"));  // the text part
  EXPECT_FALSE(fs::exists(dir.path() + "/report.pdf"));
  struct stat st{};
  ASSERT_EQ(::stat((out + "/report.pdf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // One part again: a new name, the first file as it was.
  writeFile(out + "/report.pdf", "mine");
  r = run({"attachments", "Mary Owner", std::to_string(ids[0]), "--save", out, "--part", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, out + "/report (2).pdf\n");
  EXPECT_EQ(readFile(out + "/report.pdf"), "mine");
  EXPECT_EQ(readFile(out + "/report (2).pdf"), kPdf);
  r = run({"attachments", "Mary Owner", std::to_string(ids[0]), "--save", out, "--part", "9"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("no part 9"), std::string::npos) << r.err;
}

// The ID of the mail with the subject, as `show` lists it; "" when none.
std::string idOf(const std::string& listing, const std::string& subject) {
  size_t at = listing.find("  " + subject + "\n");
  if (at == std::string::npos) return "";
  size_t start = listing.rfind('\n', at);
  start = start == std::string::npos ? 0 : start + 1;
  return listing.substr(start, listing.find(' ', start) - start);
}

TEST_F(QvcliAttachments, SavesEveryPartOnceAndNoDamagedOne) {
  // Many parts, one of them uuencoded data cut short.
  std::string many = "From: Hal <hal@example.org>\nTo: Mary Owner <mary@owner.example>\nSubject: Many parts\n"
                     "Date: Wed, 3 Mar 2004 10:00:00 +0000\nMIME-Version: 1.0\n"
                     "Content-Type: multipart/mixed; boundary=\"m\"\n\n";
  constexpr int kParts = 300;
  for (int i = 1; i <= kParts; ++i)
    many += "--m\nContent-Type: application/octet-stream; name=\"p" + std::to_string(i) +
            ".bin\"\nContent-Transfer-Encoding: base64\n\nAAEC\n";
  many += "--m\nContent-Type: application/zip; name=\"cut.zip\"\nContent-Transfer-Encoding: x-uuencode\n\n"
          "begin 644 cut.zip\nM4$L#!!0````(`\n--m--\n";
  writeFile(dir.file("many.eml"), many);
  ProcessResult r = run({"import", "--format", "Unix Mail", "--unattended", dir.file("many.eml")});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string id = idOf(run({"show", "Mary Owner"}).out, "Many parts");
  ASSERT_FALSE(id.empty());

  r = run({"attachments", "Mary Owner", id});
  EXPECT_NE(r.out.find("damaged: its uuencoded data stops before its end line"), std::string::npos) << r.out;
  std::string out = dir.file("many");
  r = run({"attachments", "Mary Owner", id, "--save", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("part 301 not saved: it is damaged (its uuencoded data stops before its end line)"),
            std::string::npos) << r.err;
  for (int i = 1; i <= kParts; ++i) EXPECT_EQ(readFile(out + "/p" + std::to_string(i) + ".bin"), std::string("\0\1\2", 3));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), kParts);
  EXPECT_FALSE(fs::exists(out + "/cut.zip"));

  // A uuencoded part whose lines lost their trailing blanks saves whole.
  std::string corpus = corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  r = run({"import", "--format", "Unix Mail", "--unattended", corpus + "/eml/mailparser/mail_test_15"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  id = idOf(run({"show", "Mary Owner"}).out, "Urgent Request for Order Quotation");
  ASSERT_FALSE(id.empty()) << run({"show", "Mary Owner"}).out;
  std::string quote = dir.file("quote");
  r = run({"attachments", "Mary Owner", id, "--save", quote});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string zip = readFile(quote + "/REQUEST FOR QUOTE.zip");
  EXPECT_EQ(zip.size(), 251141u);
  EXPECT_EQ(qv::originalHash(zip), "ca14eb36578710df5f903bc19bd364de2eb27cb64e08cdad5e6b8758f17067cd");
}

TEST_F(QvcliAttachments, ExportsTheOriginalsAsAMailboxAndAsEmlFiles) {
  ProcessResult r = run({"export", "Mary Owner", "--scope", "date", "--original", "--file", "orig.mbox"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string path = r.out.substr(0, r.out.find('\n'));
  EXPECT_EQ(fs::path(path).filename(), "orig.mbox");
  EXPECT_EQ(readFile(path), qv::mboxEntry(originals[0]) + qv::mboxEntry(originals[1]));

  std::string eml = dir.file("eml");
  r = run({"export", "Mary Owner", "--scope", "date", "--original", "--eml", eml});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(eml + "/" + std::to_string(ids[0]) + ".eml"), originals[0]);
  EXPECT_EQ(readFile(eml + "/" + std::to_string(ids[1]) + ".eml"), originals[1]);

  // No export file may take an archive file's name.
  r = run({"export", "Mary Owner", "--scope", "date", "--original", "--file", "IDX036.ADF"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("belongs to the archive"), std::string::npos) << r.err;
}

TEST_F(QvcliAttachments, TellsWhenThereIsNoOriginal) {
  ASSERT_EQ(run({"forum", "add", "Forum"}).exitCode, 0);
  ProcessResult r = run({"attachments", "Forum", "1"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("has no originals"), std::string::npos) << r.err;
  r = run({"attachments", "Mary Owner", "999999"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("no message 999999"), std::string::npos) << r.err;

  // A message whose original is gone.
  std::string error;
  ASSERT_TRUE(qv::openInstallation(root, error)) << error;
  ASSERT_TRUE(qv::findDatabase("Mary Owner"));
  qv::useDatabase();
  qv::OP_CLOSE(qv::OpShared, {qv::FileOriginals});
  bool ok = qv::beginTransaction({&qv::Originals}, 5) && qv::removeOriginal(ids[1], qv::ReportQuiet) &&
            qv::commitTransaction();
  if (qv::transactionActive()) qv::rollbackTransaction();
  qv::OP_CLOSE(qv::OpRelease, {qv::FileOriginals});
  qv::Originals.close();
  qv::closeInstallation();
  ASSERT_TRUE(ok);
  r = run({"attachments", "Mary Owner", std::to_string(ids[1])});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("has no original"), std::string::npos) << r.err;
}

}  // namespace
