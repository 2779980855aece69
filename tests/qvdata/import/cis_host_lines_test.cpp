// Forum sessions and mail captured from the CompuServe host, read by the line
// formats: the host's reply counts and prompts around messages, messages
// shown without a "To:" line, the host's mail layout, and DOS end-of-file
// marks. The sample files are written here in the host's layout.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parser.h"
#include "import/parsers/host_lines.h"
#include "import/parsers/mail_layout.h"
#include "import/parsers/parsers.h"
#include "services/datetime.h"
#include "support/fake_import_context.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

using qv::dateFromYMD;
using qv::ImpHeaderRec;
using qv::KindForumDb;
using qv::KindMailDb;
using qv::timeFromHMS;
using qvtest::joinLines;

namespace {

// --- Host lines -------------------------------------------------------------------

TEST(CisHostLines, ReplyCounts) {
  using qv::cis::replyCountLine;
  for (const char* yes : {"There is 1 Reply.", "There are 2 Replies.", "There are 12 Replies.  ",
                          "* Reply:        56307", "* Replies:      55895, 56038", "* Replies: 1,2,3"})
    EXPECT_TRUE(replyCountLine(yes)) << yes;
  for (const char* no : {"There are many Replies.", "There is 1 Reply. Read it!", "There are  Replies.",
                         "* Replies: none", "* Reply:", " There is 1 Reply.", "There is 2 Reply.", ""})
    EXPECT_FALSE(replyCountLine(no)) << no;
}

TEST(CisHostLines, Prompts) {
  using qv::cis::hostPromptLine;
  for (const char* yes : {"Press <CR> !>", "Press <CR> for next or type CHOICES !>", "Press <CR> !>Q+|t,(~",
                          "Enter choice !>", "Enter choice !>3", "Enter choice !>4 5", "Read action !s",
                          "Read action !", "Last page !>"})
    EXPECT_TRUE(hostPromptLine(yes)) << yes;
  // Sentences with "!" or "!>" in them, and indented or quoted prompts.
  for (const char* no : {"Great job !", "Type GO at the !> prompt", "Type go at the !> prompt to go on",
                         "  Press <CR> !>", "> Enter choice !>3", "what's up !>", "x = a !> b", ""})
    EXPECT_FALSE(hostPromptLine(no)) << no;
}

TEST(CisHostLines, WhereTheTextEnds) {
  using qv::cis::messageEnd;
  using Lines = std::vector<std::string>;
  // Reply counts after the text, with blank lines around them.
  EXPECT_EQ(messageEnd(Lines{"#: 1", "text", "", "There is 1 Reply.", ""}, 1), 3u);
  EXPECT_EQ(messageEnd(Lines{"#: 1", "text", "", "* Replies:  5, 6", "", "Read action !s", ""}, 1), 3u);
  // A prompt ends the text, and the menus and answers after it go with it.
  EXPECT_EQ(messageEnd(Lines{"#: 1", "text", "", "Press <CR> !>m", "", "The Forum Menu", " 1 READ", "Enter choice !>1"}, 1),
            3u);
  // A reply count quoted inside a text is text.
  EXPECT_EQ(messageEnd(Lines{"#: 1", "It said", "There are 2 Replies.", "and I read them.", ""}, 1), 5u);
  // Nothing of the host: the whole message, trailing empty lines included.
  EXPECT_EQ(messageEnd(Lines{"#: 1", "text", "", ""}, 1), 4u);
  // Lines before `from` are never looked at.
  EXPECT_EQ(messageEnd(Lines{"Press <CR> !>", "text"}, 1), 2u);
}

// --- Reading captures -------------------------------------------------------------

class CisHostCapture : public ::testing::Test {
 protected:
  // Detects and converts `bytes` as `format` for an import of forum
  // messages (importKind KindForumDb) or mail (KindMailDb); returns the detection's answer.
  int readBytes(const std::string& format, const std::string& bytes, int importKind) {
    ctx_ = std::make_unique<qvtest::FakeImportContext>();
    ctx_->setFormat(format);
    ctx_->settings_.importForum = importKind == KindForumDb;
    ctx_->settings_.importMail = importKind == KindMailDb;
    ctx_->settings_.forumName = "Host Forum";
    if (importKind == KindMailDb) ctx_->addMailbox(dir_.path(), "Owner Box", "99999,111", {"owner@example.com"});
    std::string path = dir_.file("capture.txt");
    qvtest::writeFile(path, bytes);
    EXPECT_TRUE(ctx_->openLines(path));
    int kind = qv::detectLineFormat(format, qv::LineFile, importKind);
    if (kind == 0) return 0;
    ctx_->kindOfFile = kind;
    std::unique_ptr<qv::Parser> parser = qv::makeLineFamilyParser();
    qvtest::runParser(*parser, *ctx_);
    return kind;
  }
  int read(const std::string& format, const std::vector<std::string>& lines, int importKind) {
    return readBytes(format, joinLines(lines), importKind);
  }
  const ImpHeaderRec& msg(size_t i) { return ctx_->emitted.at(i); }

  qvtest::TempDir dir_;
  std::unique_ptr<qvtest::FakeImportContext> ctx_;
};

const std::vector<std::string> kSession = {
    "Enter choice !>2",
    "",
    "#: 3216 S10/OS9/6809 (CoCo)",
    "    01-May-90  22:16:53",
    "Sb: #3173-#C arrays",
    "Fm: Bill Dickhaus 70325,523",
    "To: Mark Griffith 76070,41 (X)",
    "",
    "How do I define a pointer?",
    "There is 1 Reply. (I quote the host here.)",
    "",
    "Bill",
    "",
    "There are 2 Replies.",
    "",
    "#: 3227 S10/OS9/6809 (CoCo)",
    "    02-May-90  17:07:45",
    "Sb: #3216-C arrays",
    "Fm: Pete Lyall 76703,4230",
    "To: Bill Dickhaus 70325,523",
    "",
    "Sb: C arrays Fm: Pete Lyall To: Bill",
    "",
    "Pete",
    "",
    "* Reply:        3230",
    "",
    "Read action !s",
    "",
    "#: 2 S0/EasyPlex",
    "    23-Oct-87 16:12 MST",
    "Sb: APva 10/23 1653  UFO Sightings",
    "Fm: Executive News Svc. [72135,424]",
    "",
    "By the Associated Press",
    "",
    "Press <CR> !>m",
    "",
    "The Forum Messages Menu",
    "",
    " 1 SELECT (Read by section and subject)",
    "",
    "Enter choice !>",
};

TEST_F(CisHostCapture, ForumSessionInEveryFormatThatNamesItsForum) {
  for (const char* format : {"OzCIS", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    ASSERT_EQ(read(format, kSession, KindForumDb), KindForumDb);
    ASSERT_EQ(ctx_->emitted.size(), 3u);
    EXPECT_EQ(ctx_->skipped, 0);
    const ImpHeaderRec& a = msg(0);
    EXPECT_EQ(a.MSGNUMBER, 3216u);
    EXPECT_EQ(a.REFNUMBER, 3173u);
    EXPECT_EQ(a.HEADING.str(), "C arrays");
    EXPECT_EQ(a.SECTIONNUMBER, 10);
    EXPECT_EQ(a.SEC_DESCRIPTION.str(), "OS9/6809 (CoCo)");
    EXPECT_EQ(a.FOR_DESCRIPTION.str(), "Host Forum");
    EXPECT_EQ(a.R_NAME.str(), "Mark Griffith");
    EXPECT_EQ(a.MSGTEXT, "How do I define a pointer?\r\nThere is 1 Reply. (I quote the host here.)\r\n\r\nBill\r\n");

    // A quoted header line is text; "* Reply:" and the prompt are not.
    const ImpHeaderRec& b = msg(1);
    EXPECT_EQ(b.REFNUMBER, 3216u);
    EXPECT_EQ(b.MSGTEXT, "Sb: C arrays Fm: Pete Lyall To: Bill\r\n\r\nPete\r\n");

    // Shown without a "To:" line; the prompt and the menu after it are cut.
    const ImpHeaderRec& c = msg(2);
    EXPECT_EQ(c.MSGNUMBER, 2u);
    EXPECT_EQ(c.SECTIONNUMBER, 0);
    EXPECT_EQ(c.SEC_DESCRIPTION.str(), "EasyPlex");
    EXPECT_EQ(c.S_NAME.str(), "Executive News Svc.");
    EXPECT_EQ(c.S_CISADRESS.str(), "72135,424");
    EXPECT_EQ(c.R_NAME.str(), "");
    EXPECT_EQ(c.R_CISADRESS.str(), "");
    EXPECT_EQ(c.DATE, dateFromYMD(1987, 10, 23));
    EXPECT_EQ(c.TIME, timeFromHMS(16, 12, 0));
    EXPECT_EQ(c.MSGTEXT, "By the Associated Press\r\n");
  }
}

TEST_F(CisHostCapture, ALineFiveThatIsNeitherToNorEmptyStillSkips) {
  read("TAPCIS 6.x",
       {"#: 5 S1/General", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "Cc: C D 2,2", "", "x",
        "#: 6 S1/General", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1"},
       1);
  EXPECT_TRUE(ctx_->emitted.empty());
  EXPECT_EQ(ctx_->skipped, 2) << "a header that ends after Fm: is no message";
}

TEST_F(CisHostCapture, DosEndOfFileMarksArePassedOver) {
  std::string bytes = joinLines({"#: 7 S1/General", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: All", "",
                                 "text", ""}) +
                      "\x1A\x1A\r\n\x1A";
  readBytes("TAPCIS 6.x", bytes, KindForumDb);
  ASSERT_EQ(ctx_->emitted.size(), 1u);
  EXPECT_EQ(msg(0).MSGTEXT, "text\r\n");
  // A Ctrl-Z inside a line is text.
  read("TAPCIS 6.x",
       {"#: 7 S1/General", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: All", "", "a\x1A" "b"}, KindForumDb);
  ASSERT_EQ(ctx_->emitted.size(), 1u);
  EXPECT_EQ(msg(0).MSGTEXT, "a\x1A" "b");
}

TEST_F(CisHostCapture, LoneCarriageReturnsBecomeLineEnds) {
  // Terminal programs keep the CR of an overprinted line; a file may end in
  // a CR without its LF.
  std::string bytes = joinLines({"#: 7 S1/General", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: All", "",
                                 "\r", "one\rtwo", "three\r\r"}) +
                      "end\r";
  readBytes("TAPCIS 6.x", bytes, KindForumDb);
  ASSERT_EQ(ctx_->emitted.size(), 1u);
  EXPECT_EQ(msg(0).MSGTEXT, "one\r\ntwo\r\nthree\r\n\r\nend");
}

const std::vector<std::string> kHostMail = {
    "",
    "Date:  06-Jun-92 15:03 EDT",
    "From:  Bill B. Ball [76543,210]",
    "Reply to: Message to be converted",
    "",
    "Do not convert these lines:",
    "Date:  01-Jan-92 12:34 EST",
    "Reply to: don't touch this",
    "",
    "Date:  05-Jan-92 20:06 PST",
    "From:  Mark M. Mark [70001,1111]",
    "Subj:  A subject",
    "",
    "Here is",
    "another",
    "",
    "Last page !>",
    "Date:  07-Jan-92 08:00 PST",
    "MgTo:  Mark M. Mark [70001,1111]",
    "Reply to: Re: A subject",
    "",
    "Sent.",
};

TEST_F(CisHostCapture, HostMailLayoutInEveryMailFormat) {
  for (const char* format : {"OzCIS", "OzWin I", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    ASSERT_EQ(read(format, kHostMail, KindMailDb), KindMailDb);
    ASSERT_EQ(ctx_->emitted.size(), 3u);
    EXPECT_EQ(ctx_->skipped, 0);
    const ImpHeaderRec& a = msg(0);
    EXPECT_EQ(a.MAILTYPE, qv::MailReceived);
    EXPECT_EQ(a.DATE, dateFromYMD(1992, 6, 6));
    EXPECT_EQ(a.TIME, timeFromHMS(15, 3, 0));
    EXPECT_EQ(a.S_NAME.str(), "Bill B. Ball");
    EXPECT_EQ(a.S_CISADRESS.str(), "76543,210");
    EXPECT_EQ(a.R_NAME.str(), "Owner Box");
    EXPECT_EQ(a.R_CISADRESS.str(), "99999,111");
    EXPECT_EQ(a.HEADING.str(), "Re: Message to be converted");
    // "Date:  " without "From:" or "MgTo:" after it begins no mail.
    EXPECT_EQ(a.MSGTEXT, "Do not convert these lines:\r\nDate:  01-Jan-92 12:34 EST\r\nReply to: don't touch this\r\n");

    const ImpHeaderRec& b = msg(1);
    EXPECT_EQ(b.HEADING.str(), "A subject");
    EXPECT_EQ(b.MSGTEXT, "Here is\r\nanother\r\n") << "the host's prompt is no part of the text";

    const ImpHeaderRec& c = msg(2);
    EXPECT_EQ(c.MAILTYPE, qv::MailSent);
    EXPECT_EQ(c.S_NAME.str(), "Owner Box");
    EXPECT_EQ(c.R_NAME.str(), "Mark M. Mark");
    EXPECT_EQ(c.HEADING.str(), "Re: A subject") << "a reply's subject gets no second \"Re:\"";
  }
}

TEST_F(CisHostCapture, TapcisMailFilesHoldBothLayouts) {
  std::vector<std::string> lines = kHostMail;
  for (const char* l : {"#: 1 Mail", "    12-Mar-96 14:22:05", "Sb: Hello", "Fm: Joe 12345,678",
                        "To: Owner Box 99999,111", "", "Hi there."})
    lines.push_back(l);
  for (const char* format : {"TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    ASSERT_EQ(read(format, lines, KindMailDb), KindMailDb);
    ASSERT_EQ(ctx_->emitted.size(), 4u);
    EXPECT_EQ(msg(2).MSGTEXT, "Sent.") << "a \"#:\" line ends the mail before it";
    EXPECT_EQ(msg(3).HEADING.str(), "Hello");
    EXPECT_EQ(msg(3).MSGTEXT, "Hi there.");
  }
  // The OzCIS family keeps its own rule: its mail files begin mail with
  // "Date:  " only; "#:" is text there.
  ASSERT_EQ(read("OzCIS", lines, KindMailDb), KindMailDb);
  ASSERT_EQ(ctx_->emitted.size(), 3u);
  EXPECT_TRUE(msg(2).MSGTEXT.starts_with("Sent.\r\n#: 1 Mail\r\n")) << msg(2).MSGTEXT;
}

TEST_F(CisHostCapture, DetectionOfHostMail) {
  // TAPCIS and AUTOSIG: the host's mail layout is mail, whatever the import
  // takes, unless the file has forum messages ("#:") as well.
  std::vector<std::string> withForum = kHostMail;
  for (const char* l : {"#: 1 S1/General", "    12-Mar-96 14:22:05", "Sb: Hello", "Fm: Joe 12345,678",
                        "To: All", "", "Hi there."})
    withForum.push_back(l);
  for (const char* format : {"TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(read(format, kHostMail, KindMailDb), KindMailDb);
    EXPECT_EQ(read(format, kHostMail, KindForumDb), KindMailDb) << "a file of nothing but the host's mail";
    EXPECT_EQ(read(format, withForum, KindForumDb), KindForumDb);
    EXPECT_EQ(read(format, {"Date:  01-Jan-92 12:34 EST", "Reply to: x", "", "text"}, KindMailDb), 0)
        << "\"Date:\" without \"From:\" or \"MgTo:\"";
    // A "Date:  " line at the very end, and a header after a broken one.
    EXPECT_EQ(read(format, {"text", "Date:  01-Jan-92 12:34 EST"}, KindMailDb), 0);
    EXPECT_EQ(read(format, {"Date:  01-Jan-92", "Date:  02-Jan-92 10:00", "From: A 1,1", "Subj: s", "", "t"}, KindMailDb), KindMailDb);
    ASSERT_EQ(ctx_->emitted.size(), 1u);
    EXPECT_EQ(msg(0).DATE, dateFromYMD(1992, 1, 2));
  }
}

}  // namespace
