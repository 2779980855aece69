// Mail stores written by real mail clients and tools, imported end to end:
// message counts, subjects, senders and dates as their sources state them,
// and every file of every mail folder read by every mail format without a
// crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "services/datetime.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::StoredMail;
namespace fs = std::filesystem;

namespace {

class MailCorpusTest : public qvtest::MailImportTest {
 public:
  using qvtest::MailImportTest::bySubject;

 protected:
  void SetUp() override {
    corpus = qvtest::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    qvtest::MailImportTest::SetUp();
  }

  // Imports one corpus file and returns the stored mail.
  std::vector<StoredMail> import(const std::string& format, const std::string& file, ImportView* view = nullptr) {
    ImportView v;
    int result = importFiles(format, {corpus + "/" + file}, &v);
    EXPECT_EQ(result, 1) << file << "\n" << prompts.transcript();
    if (view) *view = v;
    return stored();
  }

  std::vector<std::string> subjects(const std::vector<StoredMail>& mails) {
    std::vector<std::string> out;
    for (const StoredMail& m : mails) out.push_back(m.subject);
    return out;
  }

  std::string corpus;
};

TEST_F(MailCorpusTest, UnixMailboxesCountEveryMessageOnce) {
  // Messages whose header block lacks To: or Date:, separators without "@"
  // or with the "@" far out, forwarded messages and quoted headers inside
  // bodies: none of them may merge or split messages.
  const std::map<std::string, size_t> counts = {
      {"mbox/mailbox-perl_mbox.src", 45}, {"mbox/mailbox-perl_mbox.win", 45},
      {"mbox/kde_cygwin.mbox", 16},       {"mbox/eudora2unix_test1.mbox", 5},
      {"mbox/perceval_mbox_no_fields.mbox", 6}, {"mbox/perceval_mbox_multipart.mbox", 2},
      {"mbox/perceval_mbox_complex.mbox", 2},   {"mbox/thunderbird_mbox_mboxrd", 2},
      {"mbox/perceval_mbox_unixfrom_encoding.mbox", 1}, {"mbox/perceval_mbox_unknown_encoding.mbox", 1},
      {"mbox/perceval_mbox_iso8859_encoding.mbox", 1},
  };
  for (const auto& [file, count] : counts) {
    ImportView v;
    int result = importFiles("Unix Mail", {corpus + "/" + file}, &v);
    EXPECT_EQ(result, 1) << file << prompts.transcript();
    EXPECT_EQ(v.tempRecords, int64_t(count)) << file;
  }
}

TEST_F(MailCorpusTest, PerlMailboxInBothLineEndsGivesTheSameMail) {
  auto unix = import("Unix Mail", "mbox/mailbox-perl_mbox.src");
  ASSERT_EQ(unix.size(), 45u);
  ImportView v;
  ASSERT_EQ(importFiles("Unix Mail", {corpus + "/mbox/mailbox-perl_mbox.win"}, &v), 1);
  EXPECT_EQ(v.tempRecords, 45);
  EXPECT_EQ(v.skipped, 45) << "the CR LF copy holds the same 45 mails: all are duplicates";
  EXPECT_NE(bySubject(unix, "Problem resizing images through perl script"), nullptr);
  EXPECT_NE(bySubject(unix, "Transparency question"), nullptr);
  int copies = 0;
  for (const StoredMail& m : unix) copies += int(m.copies.size());
  EXPECT_GT(copies, 0) << "the mailbox has Cc headers";
}

TEST_F(MailCorpusTest, BareTextContentTypeIsText) {
  // Eight mails of the Perl mailbox say "Content-Type: text" (no subtype):
  // their texts are stored, not named as attachments.
  auto mails = import("Unix Mail", "mbox/mailbox-perl_mbox.src");
  ASSERT_EQ(mails.size(), 45u);
  const StoredMail* font = bySubject(mails, "Font metrics");
  ASSERT_TRUE(font);
  EXPECT_NE(font->text.find("The problem with general font metrics in ImageMagick"), std::string::npos) << font->text;
  int yourMail = 0;
  for (const StoredMail& m : mails) {
    EXPECT_EQ(m.text.find("[Attachment: unnamed, application/octet-stream"), std::string::npos) << m.subject;
    yourMail += m.subject == "Re: your mail";
  }
  EXPECT_EQ(yourMail, 7);
}

TEST_F(MailCorpusTest, PipermailSeparatorsWithoutAt) {
  auto mails = import("Unix Mail", "mbox/perceval_mbox_single.mbox");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "[List-name] Protocol Buffers anyone?");
  EXPECT_EQ(mails[0].date, dateFromYMD(2010, 12, 1));
  EXPECT_EQ(mails[0].time, timeFromHMS(14, 26, 40));
  EXPECT_NE(mails[0].from.find("G\xC3\x96RAN LASTNAME"), std::string::npos) << mails[0].from;
  EXPECT_EQ(mails[0].text.find("From goran"), std::string::npos) << "the separator is not text";
}

TEST_F(MailCorpusTest, ComplexMailboxSendersRecipientsAndCopies) {
  auto mails = import("Unix Mail", "mbox/perceval_mbox_complex.mbox");
  ASSERT_EQ(mails.size(), 2u);
  const StoredMail* a = bySubject(mails, "Re: Revisiting the Gnome Bindings");
  const StoredMail* b = bySubject(mails, "Re: Low memory hacks");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->fromAddress, "eloli@hotmail.com");
  EXPECT_EQ(a->from, "EUGENIA LOLI-QUERU ELOLI@HOTMAIL.COM");
  EXPECT_EQ(a->date, dateFromYMD(2004, 9, 22));
  EXPECT_EQ(a->time, timeFromHMS(2, 3, 40));
  // Received mail: the owner is the recipient; both list addresses are kept.
  EXPECT_EQ(a->toAddress, kOwnerAddress);
  ASSERT_EQ(a->copies.size(), 2u);
  for (const CCRRec& c : a->copies) EXPECT_EQ(c.RECIPTYPE.str(), "TO");
  EXPECT_EQ(b->fromAddress, "danilo@gnome.org");
  EXPECT_NE(b->from.find("DANILO"), std::string::npos) << b->from;
  int cc = 0;
  for (const CCRRec& c : b->copies) cc += c.RECIPTYPE.str() == "CC";
  EXPECT_EQ(cc, 4) << "a Cc of four addresses folded over two lines";
}

TEST_F(MailCorpusTest, MultipartMailKeepsThePlainAlternative) {
  auto mails = import("Unix Mail", "mbox/perceval_mbox_multipart.mbox");
  ASSERT_EQ(mails.size(), 2u);
  for (const StoredMail& m : mails) {
    EXPECT_EQ(m.text.find("<html"), std::string::npos);
    EXPECT_EQ(m.text.find("Content-Type"), std::string::npos);
    EXPECT_FALSE(m.text.empty());
  }
}

TEST_F(MailCorpusTest, BrokenMimeKeepsEveryText) {
  // Each sample is one message with a MIME fault; imported as a saved
  // message, its visible text (and the attachment it names) is stored.
  struct Sample {
    std::string file;
    std::vector<std::string> visible;
  };
  const std::vector<Sample> samples = {
      {"bad-final-boundary", {"A text section", "[Attachment: foo_9E5D72.zip, application/x-zip-compressed, 7 bytes]"}},
      {"bad-header-start", {"A text section"}},
      {"bad-header-wrap", {"A text section", "[Attachment: 7DDA4_foo_9E5D72.zip, application/x-zip-compressed, 7 bytes]"}},
      {"empty-header", {"A text section"}},
      {"html-only-inline", {"Test of HTML section", "[Attachment: favicon.png, image/png,"}},
      {"incorrect-charset", {"Mathematics and sciences:", "\xE2\x88\xAE E\xE2\x8B\x85" "da = Q", "Linguistics and dictionaries:"}},
      {"malformed-base64-attach", {"A text section", "[Attachment: some.doc, application/msword,"}},
      {"missing-content-type", {"A plain text email"}},
      {"missing-content-type2", {"A text section"}},
      {"unk-charset-html-only", {"Hello World!"}},
      {"unk-charset-part", {"A text section", "[Attachment: foo_9E5D72.zip"}},
      {"unk-encoding-part", {"A text section", "[Attachment: foo_9E5D72.zip"}},
  };
  int box = 0;
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    newMailbox("Broken " + std::to_string(++box));  // several samples share subject, date and text
    auto mails = import("Unix Mail", "mbox/enmime-low-quality/" + s.file + ".raw");
    ASSERT_EQ(mails.size(), 1u);
    for (const std::string& v : s.visible) EXPECT_NE(mails[0].text.find(v), std::string::npos) << v << "\n" << mails[0].text;
    EXPECT_EQ(mails[0].text.find("Content-Type"), std::string::npos) << mails[0].text;
  }
}

TEST_F(MailCorpusTest, MboxrdEscapesAreUndone) {
  auto mails = import("Unix Mail", "mbox/thunderbird_mbox_mboxrd");
  ASSERT_EQ(subjects(mails), (std::vector<std::string>{"Sample message 1", "Sample message 2"}));
  EXPECT_NE(mails[0].text.find("\r\nFrom (should be escaped).\r\n"), std::string::npos) << mails[0].text;
}

TEST_F(MailCorpusTest, MboxParsingCases) {
  // The mbox cases of another parser's test suite, with the counts a sound
  // reading gives: a "From " line right after a body line starts a message
  // (mailarc-1 line 825, mailarc-3 line 822); a mailbox forwarded as a
  // message/rfc822 part, or pasted between "Begin/End Included Message",
  // belongs to the message that forwards it; an unterminated multipart does
  // not swallow the messages after it (malformed: 54 pipermail posts).
  const std::map<std::string, size_t> counts = {
      {"binary_body.txt", 1},   {"hessbug.txt", 1},       {"invalid-boundaries.txt", 8},
      {"mailarc-1.txt", 14},    {"mailarc-1-dos.txt", 14}, {"mailarc-2.txt", 4},
      {"mailarc-3.txt", 14},    {"mailseparators.txt", 3}, {"malformed.txt", 54},
      {"newlines_at_beginning.txt", 1}, {"separators1.sep", 4}, {"separators2.sep", 2},
      {"vm-emacs.txt", 1}};
  for (const auto& [file, count] : counts) {
    ImportView v;
    EXPECT_EQ(importFiles("Unix Mail", {corpus + "/mbox/coppit/" + file}, &v), 1) << file << prompts.transcript();
    EXPECT_EQ(v.tempRecords, int64_t(count)) << file;
  }
}

TEST_F(MailCorpusTest, MboxParsingCasesLoseNoMessage) {
  auto contains = [](const StoredMail* m, const std::string& s) {
    return m != nullptr && m->text.find(s) != std::string::npos;
  };
  // Binary bytes in a text mailbox: the text is kept, decoded.
  auto mails = import("Unix Mail", "mbox/coppit/binary_body.txt");
  const StoredMail* ad = bySubject(mails, "\xD0\xA0\xD0\xB5\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xBC\xD0\xB0: "
                                          "\xD0\x94\xD0\xB8\xD0\xB7\xD0\xB0\xD0\xB9\xD0\xBD \xD0\xB4\xD0\xBB\xD1\x8F "
                                          "\xD0\x92\xD0\xB0\xD1\x81!!!");  // Реклама: Дизайн для Вас!!!
  ASSERT_TRUE(ad) << (mails.empty() ? "" : mails[0].subject);
  EXPECT_GT(ad->text.size(), 1000u);

  // A mailbox that begins with an empty line.
  newMailbox("Newlines");
  mails = import("Unix Mail", "mbox/coppit/newlines_at_beginning.txt");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "Re: Serial Interface");
  EXPECT_EQ(mails[0].fromAddress, "dblank@comp.uark.edu");

  // A body line "From this principle ..." is text, not a separator.
  newMailbox("Separators");
  ImportView v;
  ASSERT_EQ(importFiles("Unix Mail", {corpus + "/mbox/coppit/separators2.sep"}, &v), 1);
  EXPECT_EQ(v.tempRecords, 2);
  mails = stored();
  ASSERT_EQ(mails.size(), 2u) << "two replies with one subject, sender and text differ";
  EXPECT_TRUE(contains(&mails[0], "\r\nFrom this principle, all of life and physics may be deduced.\r\n") ||
              contains(&mails[1], "\r\nFrom this principle, all of life and physics may be deduced.\r\n"));
  newMailbox("Separators 1");
  mails = import("Unix Mail", "mbox/coppit/separators1.sep");
  EXPECT_EQ(subjects(mails), (std::vector<std::string>{"XXX XXXXXXXXXX XXXX XXXXXXX XXXXX",
                                                       "XXXXX =?XXX-XXXX-X?X?XXX=XXX?= XX XXXXX",
                                                       "[PATCH] SIIG 8-port serial boards support",
                                                       "Re: Cryptopartition mounten"}));
  EXPECT_TRUE(contains(&mails[0], "Subject: preputback test results")) << "a forwarded message is text";

  // The forwarded mailboxes are text of the messages that forward them.
  newMailbox("Archive 3");
  mails = import("Unix Mail", "mbox/coppit/mailarc-3.txt");
  ASSERT_EQ(mails.size(), 14u);
  int forwarding = 0;
  for (const StoredMail& m : mails) {
    if (!contains(&m, "---------- Forwarded message ----------\r\nFrom: Christina Willrich & Richard Man")) continue;
    ++forwarding;
    EXPECT_TRUE(contains(&m, "Subject: icc11 Handyboard library available\r\n")) << m.text;
    EXPECT_TRUE(contains(&m, "At long last, I dusted off Chuck McManis Handyboard library")) << m.text;
  }
  EXPECT_EQ(forwarding, 2);
  int second = 0;
  for (const StoredMail& m : mails) second += contains(&m, "From someone2@imagecraft.com");
  EXPECT_EQ(second, 1) << "the second message of the forwarded mailbox stays in it";
  const StoredMail* chuck = nullptr;
  for (const StoredMail& m : mails)
    if (m.fromAddress == "cmcmanis@freegate.com") chuck = &m;
  EXPECT_NE(chuck, nullptr) << "a separator right after a body line starts a message";

  // A message pasted between "Begin Included Message" and its end stays in
  // the message that quotes it, with the quoting message's signature.
  newMailbox("Archive 2");
  mails = import("Unix Mail", "mbox/coppit/mailarc-2.txt");
  ASSERT_EQ(mails.size(), 4u);
  const StoredMail* unix = bySubject(mails, "questions re: unix version of IC");
  EXPECT_TRUE(contains(unix, "Subject: [LASER] Which Circuit for OPT210?")) << (unix ? unix->text : "");
  EXPECT_TRUE(contains(unix, "- Joshua"));
}

// The same five mails as saved by Eudora for Windows (CR LF) and for the Mac
// (CR alone, attachment lines of its own).
void checkEudora(MailCorpusTest& t, const std::vector<StoredMail>& mails) {
  const std::vector<std::string> expected = {
      "Email Attachment Test", "UT Department of Computer Science Newsletter:  News@UTCS",
      "Appointment reminder from Austin Dental Arts", "This is a test", "Another email test"};
  ASSERT_EQ(mails.size(), 5u);
  for (const std::string& s : expected) EXPECT_NE(t.bySubject(mails, s), nullptr) << s;
  const StoredMail* news = t.bySubject(mails, expected[1]);
  ASSERT_TRUE(news);
  EXPECT_EQ(news->text.find("<x-html>"), std::string::npos);
  EXPECT_EQ(news->text.find("<p"), std::string::npos) << "Eudora's HTML is converted to text";
  EXPECT_NE(news->text.find("From the Chair"), std::string::npos);
  const StoredMail* first = t.bySubject(mails, expected[0]);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->fromAddress, "jonabbey@arlut.utexas.edu");
  EXPECT_NE(first->text.find("ttachment "), std::string::npos) << "the converted attachments stay named";
  EXPECT_EQ(first->date, dateFromYMD(2010, 12, 12));
  EXPECT_EQ(first->time, timeFromHMS(23, 42, 55));
}

TEST_F(MailCorpusTest, EudoraForWindows) { checkEudora(*this, import("Eudora", "eudora/eudora2unix/win-eudora-7.1/In.mbx")); }

TEST_F(MailCorpusTest, EudoraForTheMac) { checkEudora(*this, import("Eudora", "eudora/eudora2unix/mac-eudora-6.2.4/In")); }

TEST_F(MailCorpusTest, BeckyFolderEndsMessagesAtADotLine) {
  // Four messages, each ended by a line holding a single "."; body lines
  // beginning with "." are stored with one dot more.
  auto mails = import("Becky Mail", "becky/test.bmf");
  ASSERT_EQ(subjects(mails), (std::vector<std::string>{"\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB",  // メール
                                                       "2\xE9\x80\x9A\xE3\x82\x81",                 // 2通め
                                                       "\xE3\x83\x89\xE3\x83\x83\xE3\x83\x88",      // ドット
                                                       "\xE3\x83\x89\xE3\x83\x83\xE3\x83\x88\xE3\x83\x98\xE3\x83\x83"
                                                       "\xE3\x83\x80"}));  // ドットヘッダ
  const int minutes[][2] = {{23, 51}, {26, 9}, {30, 2}, {32, 32}};  // minute, second
  for (size_t i = 0; i < mails.size(); ++i) {
    SCOPED_TRACE(mails[i].subject);
    EXPECT_EQ(mails[i].fromAddress, "hiikezoe@expample.com");
    EXPECT_NE(mails[i].from.find("HIROYUKI IKEZOE"), std::string::npos) << mails[i].from;
    EXPECT_EQ(mails[i].date, dateFromYMD(2011, 8, 27));
    EXPECT_EQ(mails[i].time, timeFromHMS(8, minutes[i][0], minutes[i][1])) << "stored to the second";
    EXPECT_EQ(mails[i].text.find("Return-Path"), std::string::npos) << mails[i].text;
    if (i != 2) {
      EXPECT_EQ(mails[i].text.find("."), std::string::npos) << "the end line is no text\n" << mails[i].text;
    }
  }
  EXPECT_EQ(mails[0].text, "\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB\r\n");
  EXPECT_EQ(mails[2].text, ".\r\n...\r\n.\r\n.\r\n.\r\n\r\n\r\n\r\n\r\n.\r\n");
}

TEST_F(MailCorpusTest, MozillaSeparators) {
  // 29 messages, all with "From - " and an empty date.
  auto mails = import("Netscape Mail", "netscape-mail/mimekit_content-length.mbox");
  EXPECT_EQ(mails.size(), 29u);
  const StoredMail* first = bySubject(mails, "Re: mailusr1@navstar1 3.0b6gold #1");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->fromAddress, "mailusr1@navstar1.mcom.com");
  EXPECT_EQ(first->date, dateFromYMD(1996, 7, 21));
  EXPECT_EQ(first->time, timeFromHMS(17, 2, 55));
  int jwz = 0;
  for (const StoredMail& m : mails) jwz += m.fromAddress == "jwz@netscape.com";
  EXPECT_GE(jwz, 2);
}

TEST_F(MailCorpusTest, MozillaSeparatorsWithoutTrailingBlank) {
  // "From -" alone after a byte-order mark; the "From Russia with love" body
  // lines are text, not separators.
  auto mails = import("Netscape Mail", "netscape-mail/mimekit_unmunged.mbox");
  ASSERT_EQ(subjects(mails), (std::vector<std::string>{"This is a test message with an unmunged From line",
                                                       "Another test message with an unmunged From line"}));
  for (const StoredMail& m : mails) EXPECT_NE(m.text.find("\r\nFrom Russia with love\r\n"), std::string::npos);
  EXPECT_NE(mails[1].text.find("Year: 1963"), std::string::npos);
}

TEST_F(MailCorpusTest, ThunderbirdOldAndNewSeparators) {
  int box = 0;
  for (std::string file : {"netscape-mail/thunderbird_mbox_modern", "netscape-mail/thunderbird_mbox_unquoted"}) {
    for (std::string format : {"Netscape Mail", "Unix Mail"}) {
      SCOPED_TRACE(file + " as " + format);
      auto mails = import(format, file);
      ASSERT_EQ(subjects(mails), (std::vector<std::string>{"Sample message 1", "Sample message 2"}));
      EXPECT_NE(mails[0].text.find("This could cause problems"), std::string::npos);
      newMailbox("Box " + std::to_string(++box));
    }
  }
}

TEST_F(MailCorpusTest, OutlookExpressMbxRecords) {
  auto one = import("Outlook Express Mail", "oe-mail/mbx2mbox/test1.mbx");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].subject, "TEST");
  EXPECT_EQ(one[0].fromAddress, "userid@host.domain.com");
  EXPECT_EQ(one[0].date, dateFromYMD(2000, 4, 2));
  EXPECT_EQ(one[0].time, timeFromHMS(18, 52, 33));
  EXPECT_EQ(one[0].text, "This is just a test message\r\n");

  // Size fields that lead nowhere; markers found by scanning. The same
  // three mails under two names: the second import finds them all again.
  auto three = import("IE Mail", "oe-mail/mbx2mbox/test2.dbx");
  ImportView v;
  ASSERT_EQ(importFiles("Outlook Express Mail", {corpus + "/oe-mail/mbx2mbox/test3.mbx"}, &v), 1);
  EXPECT_EQ(v.tempRecords, 3);
  three = stored();
  ASSERT_EQ(three.size(), 4u);
  std::vector<StoredMail> mails(three.begin() + 1, three.end());
  EXPECT_EQ(subjects(mails), (std::vector<std::string>{"test", "blah", "test2"}));
  for (const StoredMail& m : mails) {
    EXPECT_EQ(m.from, "USER ID USERID@HOST.DOMAIN.COM");
    EXPECT_EQ(m.date, dateFromYMD(1998, 6, 8));
  }
  EXPECT_EQ(mails[0].time, timeFromHMS(13, 10, 16));
  EXPECT_EQ(mails[1].time, timeFromHMS(15, 45, 47));
  EXPECT_EQ(mails[2].time, timeFromHMS(15, 55, 8));
  for (const StoredMail& m : mails) EXPECT_EQ(m.text.find("=\r\n"), std::string::npos) << m.text;
}

TEST_F(MailCorpusTest, OutlookExpressDbxStores) {
  auto mails = import("Outlook Express Mail", "oe-dbx/mbx2mbox/test4.dbx");
  ASSERT_EQ(subjects(mails), (std::vector<std::string>(3, "Daily source update"))) << prompts.transcript();
  const int days[] = {1, 3, 4};
  for (size_t i = 0; i < mails.size(); ++i) {
    EXPECT_EQ(mails[i].fromAddress, "root");
    EXPECT_EQ(mails[i].date, dateFromYMD(1999, 6, days[i]));
    EXPECT_EQ(mails[i].time, timeFromHMS(1, 0, 1));
    EXPECT_EQ(mails[i].text.rfind("Parsing supfile \"/etc/cvsupfile\"\r\n", 0), 0u) << mails[i].text;
  }

  // The stated 28 messages; a second import of the store imports nothing new.
  ImportView v;
  ASSERT_EQ(importFiles("Outlook Express Mail", {corpus + "/oe-dbx/iped_test_OutlookDBX.dbx"}, &v), 1);
  EXPECT_EQ(v.tempRecords, 28);
  EXPECT_EQ(v.imported, 28);
  ASSERT_EQ(importFiles("Outlook Express Mail", {corpus + "/oe-dbx/iped_test_OutlookDBX.dbx"}, &v), 1);
  EXPECT_EQ(v.imported, 0);
  EXPECT_EQ(v.skipped, 28);
  EXPECT_EQ(stored().size(), 31u);
  EXPECT_NE(bySubject(stored(), "Mensagem teste"), nullptr);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(MailCorpusTest, OutlookExpressSixFoldersByMask) {
  // The folder stores of one installation, chosen by a mask in capitals:
  // masks match names whatever their case. Each message store gives the
  // messages its header counts, as many as the "Subject:" lines found in
  // its raw bytes; the folder list and the offline store are skipped,
  // saying so.
  ImportView v;
  ASSERT_EQ(importMail("Outlook Express Mail", SelectDirectory, corpus + "/oe-dbx/kde-oe6", {"*.DBX"}, &v), 1)
      << prompts.transcript();
  const std::map<std::string, int> counts = {{"Posteingang", 1}, {"acpi-devel", 4}, {"ck", 5},
                                             {"hal-commit", 4},  {"hal", 3},        {"kde", 5},
                                             {"kmail", 5},       {"linux-kernel", 4}, {"Mailinglists", 0}};
  int total = 0;
  for (const auto& [name, count] : counts) total += count;
  EXPECT_EQ(v.tempRecords, total);
  EXPECT_EQ(v.imported + v.skipped, total);
  std::string said = prompts.transcript();
  EXPECT_NE(said.find("Folders.dbx is the folder list of Outlook Express"), std::string::npos) << said;
  EXPECT_NE(said.find("Offline.dbx is the list of offline work"), std::string::npos) << said;
  EXPECT_EQ(said.find("damaged"), std::string::npos) << said;
  for (const auto& [name, count] : counts) {
    newMailbox("Box " + name);
    ImportView one;
    importFiles("Outlook Express Mail", {corpus + "/oe-dbx/kde-oe6/" + name + ".dbx"}, &one);
    EXPECT_EQ(one.tempRecords, count) << name;
  }
}

TEST_F(MailCorpusTest, PegasusFolders) {
  const std::map<std::string, size_t> counts = {{"main.pmm", 9},    {"fol06708.pmm", 7}, {"fol05548.pmm", 6},
                                                {"fol073d0.pmm", 6}, {"junk.pmm", 1},     {"copyself.pmm", 1}};
  for (const auto& [file, count] : counts) {
    ImportView v;
    EXPECT_EQ(importFiles("Pegasus", {corpus + "/pegasus/kde-pmail/" + file}, &v), 1) << file;
    EXPECT_EQ(v.tempRecords, int64_t(count)) << file;
  }
  auto mails = stored();
  const StoredMail* about = bySubject(mails, "About this folder");
  ASSERT_TRUE(about) << "the folder header is not part of the first message";
  EXPECT_EQ(about->fromAddress, "support@pmail.gen.nz");

  // A folder of nothing but its header holds no message.
  ImportView v;
  importFiles("Pegasus", {corpus + "/pegasus/kde-pmail/fol05efe.pmm"}, &v);
  EXPECT_EQ(v.tempRecords, 0);
  EXPECT_NE(prompts.transcript().find("No messages found"), std::string::npos);
}

TEST_F(MailCorpusTest, PegasusNewMailAndUnixFolders) {
  ImportView v;
  ASSERT_EQ(importMail("Pegasus", SelectDirectory, corpus + "/pegasus/kde-pmail", {"*.cnm"}, &v), 1);
  EXPECT_EQ(v.tempRecords, 5) << "one message per new-mail file";
  EXPECT_NE(bySubject(stored(), "PATCH sending queued email using a customTransport"), nullptr);
  // A Pegasus folder in the Unix layout: seven messages, each opened by a
  // "From ???@???" line, whether read as Pegasus, Unix Mail or Eudora.
  for (std::string format : {"Pegasus", "Unix Mail", "Eudora"}) {
    ASSERT_EQ(importFiles(format, {corpus + "/pegasus/kde-pmail/unx07307.mbx"}, &v), 1);
    EXPECT_EQ(v.tempRecords, 7) << format;
  }
}

TEST_F(MailCorpusTest, EveryMailFileUnderEveryMailFormat) {
  for (std::string format : {"Eudora", "IE Mail", "Outlook Express Mail", "Netscape Mail", "Pegasus", "Unix Mail",
                             "Becky Mail", "Agent Mail"}) {
    for (std::string folder : {"mbox", "netscape-mail", "eudora", "oe-mail", "oe-dbx", "pegasus"}) {
      SCOPED_TRACE(format + " over " + folder);
      ImportView v;
      int result = importMail(format, SelectTree, corpus + "/" + folder, {"*"}, &v);
      EXPECT_TRUE(result == 1 || v.tempRecords == 0) << prompts.transcript();
    }
  }
}

}  // namespace
