// Export and print text without a database: header layouts, person strings,
// dates, wrapping, the clipboard frame and export file names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "export/export_headers.h"
#include "export/export_names.h"
#include "export/print_msg.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

using Lines = std::vector<std::string>;

MessageData forumReply() {
  MessageData m;
  m.id = 12400;
  m.ref = 12345;
  m.date = dateFromYMD(1997, 12, 5);
  m.subject = "Printer drivers";
  m.from = {"Smith", "John", "12345,678"};
  m.to = {"", "", "All"};
  m.sectionNumber = 3;
  m.sectionName = "Tools";
  m.text = "Body";
  return m;
}

TEST(ExportHeaders, ForumLayoutsOneAndFour) {
  MessageData m = forumReply();
  EXPECT_EQ(fileHeader(KindForumDb, 1, m, "Windows Forum"),
            (Lines{"#: 12400 S3/Tools  [Windows Forum]", "    05-Dec-97 00:00:00 ", "Sb: #12345-Printer drivers",
                   "Fm: Smith,John 12345,678", "To: All"}));
  Lines four = fileHeader(KindForumDb, 4, m, "Windows Forum");
  ASSERT_EQ(four.size(), 6u);
  EXPECT_EQ(four[0], "#: 12400 S3/Tools  [CIS:Windows Forum]");
  EXPECT_EQ(four[2], "Sb: Printer drivers") << "layout 4 names the parent in its own line";
  EXPECT_EQ(four[5], "Replies:      TID:           Par:12345      Chd:           Sib:");
  m.ref = 0;
  EXPECT_EQ(fileHeader(KindForumDb, 1, m, "F")[2], "Sb: Printer drivers");
  EXPECT_EQ(fileHeader(KindForumDb, 4, m, "F")[5], "Replies:      TID:           Par:           Chd:           Sib:");
  EXPECT_TRUE(fileHeader(KindForumDb, 2, m, "F").empty());

  Lines clip = clipboardHeader(KindForumDb, 1, forumReply(), "Windows Forum");
  EXPECT_EQ(clip.back(), "MsgNo: 12400 (reply to 12345)");
  EXPECT_EQ(clip[3], "Date: 05-Dec-97");
}

TEST(ExportHeaders, NewsgroupMessageWithAndWithoutIdentifiers) {
  MessageData m = forumReply();
  m.from = {"Smith", "John", "12345,678"};
  Lines h = fileHeader(KindNewsDb, 3, m, "comp.lang.c");
  // 5 Dec 1997 was a Friday.
  EXPECT_EQ(h[0], "From ???@??? Fri Dec 05 00:00:00 1997");
  EXPECT_EQ(h[1], "From: John Smith <12345.678@compuserve.com>");
  EXPECT_EQ(h[3], "Date: 05-Dec-1997 00:00:00 ");
  EXPECT_EQ(h[5], "Message-ID: ");
  EXPECT_EQ(h.size(), 6u) << "no References line without the parent's identifier";

  m.idString = "<b@x>";
  m.refIdString = "<a@x>";
  Lines clip = clipboardHeader(KindNewsDb, 3, m, "comp.lang.c");
  EXPECT_EQ(clip.front(), " From: John Smith <12345.678@compuserve.com>");
  EXPECT_EQ(clip[4], " Message-ID: <b@x>");
  EXPECT_EQ(clip[5], " References: <a@x>");
}

TEST(ExportHeaders, MailLayoutsByDirection) {
  MessageData m;
  m.id = 250001;
  m.date = dateFromYMD(1997, 12, 5);
  m.time = timeFromHMS(14, 2, 9);
  m.subject = "Hello";
  m.from = {"Jones", "Mary", "mary@example.com"};
  m.to = {"Owner", "Owen", "70000,100"};
  EXPECT_EQ(fileHeader(KindMailDb, 2, m, ""),
            (Lines{"From ???@??? Fri Dec 05 14:02:09 1997", "Date: Fri, 05 Dec 1997 14:02:09",
                   "From: Mary Jones <mary@example.com>", "To: Owen Owner <70000.100@compuserve.com>",
                   "Subject: Hello"}));
  EXPECT_EQ(fileHeader(KindMailDb, 1, m, ""),
            (Lines{"#: 250001 S0/CompuServe Mail  [MAIL]", "    05-Dec-97  14:02:09", "Sb: Hello",
                   "Fm: Mary Jones > INTERNET:mary@example.com", "To: Owner,Owen 70000,100"}));
  Lines four = fileHeader(KindMailDb, 4, m, "");
  EXPECT_EQ(four[0], "Date:  05-Dec-97 14:02:09  MsgID:             ToID: 70000,100");
  EXPECT_EQ(four[1], std::string("From:  Mary Jones") + std::string(kVerticalLine) + ">INTERNET:mary@example.com");

  std::swap(m.from, m.to);
  m.outgoing = true;
  EXPECT_EQ(fileHeader(KindMailDb, 2, m, "")[1], "To: Mary Jones <mary@example.com>");
  EXPECT_EQ(fileHeader(KindMailDb, 4, m, ""),
            (Lines{"Date:  05-Dec-97 14:02:09  MsgID: OUTBOX", "MgTo:  Mary Jones >INTERNET:mary@example.com",
                   "Subj:  Hello"}));
  EXPECT_EQ(fileHeader(KindMailDb, 3, m, "")[1], "Date: Fri, 05 Dec 1997 14:02:09");
}

TEST(ExportText, PersonStringsWithoutNames) {
  EXPECT_EQ(forumPerson({"Smith", "", "12345,678"}), "Smith 12345,678");
  EXPECT_EQ(forumPerson({"", "", "12345,678"}), "12345,678");
  EXPECT_EQ(internetPerson({"Smith", "", "js@x.org"}), "Smith <js@x.org>");
  EXPECT_EQ(internetPerson({"", "", "js@x.org"}), "<js@x.org>");
  EXPECT_EQ(capturePerson({"", "", "js@x.org"}), "INTERNET:js@x.org");
  EXPECT_EQ(mailFileSender({"", "", "12345,678"}), std::string(kVerticalLine) + "12345,678");
  EXPECT_EQ(mailFileRecipient({"Smith", "", "12345,678"}), "Smith 12345,678");
  EXPECT_FALSE(isCompuServeNumber("12345,"));
  EXPECT_FALSE(isCompuServeNumber("1a345,678"));
}

TEST(ExportText, WrappingCountsCharactersAndBreaksAtBlanks) {
  Lines out;
  wrapLine(std::string(200, 'x'), 78, out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].size(), 78u);
  EXPECT_EQ(out[1].size(), 78u);
  EXPECT_EQ(out[2].size(), 44u);

  out.clear();
  wrapLine("aaaa bbbb cccc", 9, out);
  EXPECT_EQ(out, (Lines{"aaaa bbbb", "cccc"})) << "a blank right after the width lets the width stand";
  out.clear();
  wrapLine("aaa bbb ccc", 6, out);
  EXPECT_EQ(out, (Lines{"aaa", "bbb", "ccc"}));

  out.clear();
  std::string umlauts;
  for (int i = 0; i < 10; ++i) umlauts += "\xC3\xA4";  // ä, two bytes each
  wrapLine(umlauts, 4, out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4");

  EXPECT_EQ(textLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(textLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(bodyLines("short\r\n" + std::string(100, 'y'), false, 78).size(), 2u);
}

TEST(ExportText, ClipboardFrame) {
  std::string t = clipboardText(KindMailDb, {"Sb: Hello"}, "line one\r\nline two", false, 78);
  Lines l = textLines(t);
  const std::string rule(64, '-');
  ASSERT_EQ(l.size(), 11u);
  EXPECT_EQ(l[0], rule);
  EXPECT_EQ(l[1], "         Mail retrieved by Quorvane Message Archiver            ");
  EXPECT_EQ(l[3], "Sb: Hello");
  EXPECT_EQ(l[4], rule);
  EXPECT_EQ(l[6], "line two");
  EXPECT_EQ(l[8], "                            End Of Quote                        ");
  EXPECT_EQ(l[10], "");
  EXPECT_EQ(t.substr(t.size() - 4), "\r\n\r\n");
  EXPECT_EQ(textLines(clipboardText(KindForumDb, {}, "", false, 78))[1],
            "         Message retrieved by Quorvane Message Archiver         ");
}

TEST(ExportText, PrintBlockCutsLongTexts) {
  MessageData m = forumReply();
  m.text = std::string(40000, 'z') + "\r\ntail";
  PrintBlock b = printBlock(m, KindForumDb, "Windows Forum", 10);
  EXPECT_EQ(b.header[0], "Message: 12400  (reply to 12345)");
  EXPECT_EQ(b.header[1], "Date: 1997-12-05");
  EXPECT_EQ(b.header[3], "Section: Tools");
  EXPECT_EQ(b.header[4], "From: Smith,John 12345,678");
  ASSERT_EQ(b.lines.size(), 1u);
  EXPECT_EQ(b.lines[0].size(), kPrintTextMax);
  EXPECT_EQ(printBlock(m, KindNewsDb, "comp.lang.c", 10).header[3], "Newsgroup: comp.lang.c");
  EXPECT_EQ(printBlock(m, KindMailDb, "Owen", 10).header[0], "Mail: 12400  (reply to 12345)");
  EXPECT_EQ(reportTitle(KindMailDb), "Mail from the Quorvane Message Archiver Database");
  EXPECT_EQ(reportTitle(KindNewsDb), "Messages from the Quorvane Message Archiver Database");
}

// Each kind has its own layout item; the general item stands in for one
// left at 0, and layout 1 for both.
class ExportLayoutTest : public qvtest::InstallationTest {};

TEST_F(ExportLayoutTest, EachKindReadsItsOwnItem) {
  KonfigSet(ItemExportHeaders, 0);
  KonfigSet(ItemExportLayoutForum, 4);
  KonfigSet(ItemExportLayoutMail, 2);
  KonfigSet(ItemExportLayoutNews, 0);
  EXPECT_EQ(exportLayout(KindForumDb), 4);
  EXPECT_EQ(exportLayout(KindMailDb), 2);
  EXPECT_EQ(exportLayout(KindNewsDb), 1);
  KonfigSet(ItemExportHeaders, 3);
  EXPECT_EQ(exportLayout(KindNewsDb), 3);
  EXPECT_TRUE(twoFileLayout(KindMailDb, 2));
  EXPECT_FALSE(twoFileLayout(KindForumDb, 2));
  EXPECT_FALSE(twoFileLayout(KindMailDb, 1));

  const int type = Mem.ForumType;
  Mem.ForumType = KindNewsDb;
  EXPECT_EQ(exportedKind(), KindNewsDb);
  Mem.ForumType = 0;
  EXPECT_EQ(exportedKind(), KindForumDb) << "no kind: written as forum";
  Mem.ForumType = type;
}

class ExportNamesTest : public qvtest::InstallationTest {};

TEST_F(ExportNamesTest, RefusesPathsArchiveFilesAndNonFiles) {
  EXPECT_EQ(exportNameProblem("SaveMsg.Txt"), "");
  EXPECT_EQ(exportNameProblem("../x.txt"), "Do not include the path, just the filename!");
  EXPECT_EQ(exportNameProblem("a\\b"), "Do not include the path, just the filename!");
  EXPECT_EQ(exportNameProblem(".."), "Do not include the path, just the filename!");
  EXPECT_NE(exportNameProblem("idx032.adf"), "");
  EXPECT_NE(exportNameProblem("IDX010.ADF-journal"), "");
  EXPECT_NE(exportNameProblem(std::string(41, 'a')), "");
  EXPECT_NE(exportNameProblem("a\nb"), "");
  std::filesystem::create_directory(exportPath("Folder"));
  EXPECT_NE(exportNameProblem("Folder"), "");
  std::filesystem::create_symlink("/etc/passwd", exportPath("Link.Txt"));
  EXPECT_NE(exportNameProblem("Link.Txt"), "");
  EXPECT_FALSE(checkExportName("../x"));
  EXPECT_EQ(onlyRequest().caption, "Filename error");
}

// A file written on request anywhere (a printed report) keeps the same
// rules: never an archive file, never among the archive's own files.
TEST_F(ExportNamesTest, FilesWrittenOnRequestKeepClearOfTheArchive) {
  namespace fs = std::filesystem;
  selectDatabase(3, KindForumDb);
  std::string outside = dir.path() + "/../report-" + std::to_string(::getpid()) + ".pdf";
  EXPECT_EQ(outputFileProblem(outside), "") << "a place outside the installation";
  EXPECT_EQ(outputFileProblem(root + "/report.pdf"), "") << "beside the archive's directories";
  EXPECT_EQ(outputFileProblem(exportPath("report.pdf")), "") << "the temporary directory";

  const std::string archive = "The file IDX008.ADF belongs to the archive and cannot be overwritten.";
  EXPECT_EQ(outputFileProblem(root + "/CFG/IDX008.ADF"), archive);
  EXPECT_EQ(outputFileProblem(dir.path() + "/../IDX008.ADF"), archive) << "wherever it is";
  EXPECT_NE(outputFileProblem(root + "/CFG/IDX002.ADF-mj1A2B3C4D"), "");
  EXPECT_NE(outputFileProblem(root + "/CFG/QUORVANE.LCK"), "");

  const std::string among = "The file report.pdf would be written among the archive's own files.\r\nChoose another directory.";
  EXPECT_EQ(outputFileProblem(root + "/CFG/report.pdf"), among);
  EXPECT_EQ(outputFileProblem(root + "/F3/report.pdf"), among);
  EXPECT_EQ(outputFileProblem(root + "/F12/sub/report.pdf"), among);
  // Through a link to the configuration directory.
  fs::create_directory_symlink(root + "/CFG", dir.path() + "/../cfg-link-" + std::to_string(::getpid()));
  std::string link = dir.path() + "/../cfg-link-" + std::to_string(::getpid());
  EXPECT_EQ(outputFileProblem(link + "/report.pdf"), among);
  fs::remove(link);
  // Another name of an archive file.
  std::string hard = dir.path() + "/copy-of-control";
  fs::create_hard_link(root + "/CFG/IDX008.ADF", hard);
  EXPECT_NE(outputFileProblem(hard), "");

  EXPECT_NE(outputFileProblem(""), "");
  EXPECT_NE(outputFileProblem(root + "/a\x1b[2J.pdf"), "");
  EXPECT_FALSE(checkOutputFile(root + "/CFG/IDX008.ADF"));
  EXPECT_EQ(onlyRequest().caption, "Filename error");
}

}  // namespace
