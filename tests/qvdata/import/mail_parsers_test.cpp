// The mail parsers over hand-made stores: message boundaries of every store,
// the separator and header tests, the decoded record of a message (subject,
// parties, direction, date, text, carbon copies), bounded memory, and
// Maildir trees and .eml folders imported end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parser.h"
#include "import/parsers/mail_lines.h"
#include "import/parsers/mail_message.h"
#include "import/skip_reasons.h"
#include "mime/charset.h"
#include "services/datetime.h"
#include "support/fake_import_context.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "support/transfer_encodings.h"

using qv::dateFromYMD;
using qv::timeFromHMS;
using qvtest::FakeImportContext;
using qvtest::crlf;
namespace fs = std::filesystem;
namespace mail = qv::mail;

namespace {

std::string header(const std::string& from, const std::string& to, const std::string& subject,
                   const std::string& date = "Tue, 18 May 2004 01:43:21 -0700") {
  return "From: " + from + "\nTo: " + to + "\nSubject: " + subject + "\nDate: " + date + "\n";
}

class MailParsersTest : public ::testing::Test {
 protected:
  // Runs the format's parser over the bytes with a mailbox owned by "Owner
  // Box" (main address owner@example.com, alternative owner@old.example).
  FakeImportContext& convert(const std::string& format, const std::string& bytes) {
    ctx_ = std::make_unique<FakeImportContext>();
    ctx_->setFormat(format);
    ctx_->slice = 2;  // several convert calls per file
    std::string d = dir_.file("box" + std::to_string(++runs_));
    fs::create_directories(d);
    ctx_->addMailbox(d, "Owner Box", "owner@example.com", {"owner@old.example"});
    std::string path = dir_.file("source" + std::to_string(runs_));
    qvtest::writeFile(path, bytes);
    EXPECT_TRUE(ctx_->openBlocks(path));
    auto parser = qv::makeParser(ctx_->format());
    EXPECT_NE(parser, nullptr);
    if (parser) qvtest::runParser(*parser, *ctx_);
    ctx_->closeSource();
    return *ctx_;
  }

  std::vector<std::string> subjects() const {
    std::vector<std::string> out;
    for (const qv::ImpHeaderRec& r : ctx_->emitted) out.push_back(r.HEADING.str());
    return out;
  }

  qvtest::TempDir dir_;
  std::unique_ptr<FakeImportContext> ctx_;
  int runs_ = 0;
};

using Subjects = std::vector<std::string>;

TEST(MailLines, SeparatorsAndHeaderLines) {
  mail::MailLine header{"From: x@y", true, true}, body{"just text", true, true}, cut{"To: x", false, true};
  // The asctime forms, with "@", without it (pipermail), and the Mozilla forms.
  EXPECT_TRUE(mail::mboxSeparator("From joe@example.org Wed Dec  1 08:26:40 2010", &header));
  EXPECT_TRUE(mail::mboxSeparator("From goran at domain.com  Wed Dec  1 08:26:40 2010", &header));
  EXPECT_TRUE(mail::mboxSeparator("From MAILER-DAEMON Fri Jul  8 12:08:34 2011", &header));
  EXPECT_TRUE(mail::mboxSeparator("From ???@??? Mon Dec 13 18:45:29 2010", &header));
  EXPECT_TRUE(mail::mboxSeparator("From - Fri Aug 24 11:55:47 2018", &header));
  EXPECT_TRUE(mail::mboxSeparator("From -", &header));
  EXPECT_TRUE(mail::mboxSeparator("From ", &header));
  EXPECT_TRUE(mail::mboxSeparator("From joe@example.org", &header)) << "the written form";
  // Body lines: no date, no header after it, not a line start after it.
  EXPECT_FALSE(mail::mboxSeparator("From Russia with love", &header));
  EXPECT_FALSE(mail::mboxSeparator("From joe@example.org Wed Dec  1 08:26:40 2010", &body));
  EXPECT_FALSE(mail::mboxSeparator("From joe@example.org Wed Dec  1 08:26:40 2010", &cut));
  EXPECT_FALSE(mail::mboxSeparator("From joe@example.org Wed Dec  1 08:26:40 2010", nullptr));
  EXPECT_FALSE(mail::mboxSeparator("From: joe@example.org", &header));
  EXPECT_FALSE(mail::mboxSeparator("Fromage 12:30 2010", &header));

  EXPECT_TRUE(mail::mozillaSeparator("From - ", &body)) << "the written form needs nothing after it";
  EXPECT_TRUE(mail::mozillaSeparator("From -", &header));
  EXPECT_FALSE(mail::mozillaSeparator("From -", &body));
  EXPECT_FALSE(mail::mozillaSeparator("From Russia with love", &header));

  // The recognised names are compared as written, first letter first.
  EXPECT_TRUE(mail::unixHeaderLine("Received: from x"));
  EXPECT_TRUE(mail::unixHeaderLine("Message-Id: <a@b>"));
  EXPECT_FALSE(mail::unixHeaderLine("Message-ID: <a@b>"));
  EXPECT_FALSE(mail::unixHeaderLine("Return-Path: <a@b>"));
  EXPECT_TRUE(mail::unixHeaderLine("From joe@example.org Wed"));
  EXPECT_FALSE(mail::unixHeaderLine("From cygwin-return-12862-listarch-cygwin=sourceware.cygnus.com@x"));
  EXPECT_EQ(mail::messageHeaderBit("Subject: x") | mail::messageHeaderBit("To: y"), 12u);
  EXPECT_EQ(mail::messageHeaderBit("SUBJECT: x"), 0u);

  std::string s = ">>From here";
  mail::unescapeFrom(s);
  EXPECT_EQ(s, ">From here");
  s = "> From: quoted";
  mail::unescapeFrom(s);
  EXPECT_EQ(s, "> From: quoted");
}

TEST_F(MailParsersTest, EudoraStartsAtTheFirstSeparatorAndConvertsItsHtml) {
  std::string mbx = crlf("Junk before the first message\nFrom: not@a.message\n\n"
                         "From ???@??? Mon Dec 13 18:45:29 2010\n" +
                         header("Ann <ann@example.org>", "owner@example.com", "One") +
                         "Content-Type: multipart/alternative; boundary=\"gone\"\n\n<x-html><html><body>"
                         "<p>Bl&aring;b&auml;r &amp; <b>r&ouml;d</b></p></body></html></x-html>\n"
                         "From ???@??? Mon Dec 13 18:46:00 2010\n" +
                         header("Bob <bob@example.org>", "owner@example.com", "Two") +
                         "\n<x-flowed>Flowed text.</x-flowed>\nAttachment Converted: \"c:\\attach\\a.txt\"\n");
  auto& ctx = convert("Eudora", mbx);
  ASSERT_EQ(subjects(), (Subjects{"One", "Two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "Bl\xC3\xA5" "b\xC3\xA4r & r\xC3\xB6" "d\r\n");
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, "Flowed text.\r\nAttachment Converted: \"c:\\attach\\a.txt\"\r\n");
}

TEST_F(MailParsersTest, MacEudoraTextIsMacRoman) {
  // "\xC7IC\xC8" is «IC» in Mac Roman and ÇICÈ in Windows-1252. A mailbox
  // with CR line ends is Eudora's for the Mac; a declared charset still wins.
  auto box = [](const std::string& ends, const std::string& contentType) {
    std::string s = "From ???@??? Mon Dec 13 18:45:29 2010\nFrom: a@example.org\nTo: owner@example.com\n"
                    "Subject: Quote \xC7IC\xC8\nDate: Mon, 13 Dec 2010 18:45:29 +0100\n" + contentType +
                    "\nSee \xC7IC\xC8 here.\n";
    std::string out;
    for (char c : s) out += c == '\n' ? ends : std::string(1, c);
    return out;
  };
  const std::string guillemets = "\xC2\xAB" "IC\xC2\xBB", windows = "\xC3\x87IC\xC3\x88";
  auto& mac = convert("Eudora", box("\r", ""));
  ASSERT_EQ(mac.emitted.size(), 1u);
  EXPECT_EQ(mac.emitted[0].MSGTEXT, "See " + guillemets + " here.\r\n");
  EXPECT_EQ(mac.emitted[0].HEADING.str(), "Quote " + guillemets);
  auto& us = convert("Eudora", box("\r", "Content-Type: text/plain; charset=us-ascii\n"));
  EXPECT_EQ(us.emitted.at(0).MSGTEXT, "See " + guillemets + " here.\r\n") << "US-ASCII says nothing of 8-bit bytes";
  auto& declared = convert("Eudora", box("\r", "Content-Type: text/plain; charset=iso-8859-1\n"));
  EXPECT_EQ(declared.emitted.at(0).MSGTEXT, "See " + windows + " here.\r\n");
  EXPECT_EQ(declared.emitted.at(0).HEADING.str(), "Quote " + windows);
  auto& win = convert("Eudora", box("\r\n", ""));
  EXPECT_EQ(win.emitted.at(0).MSGTEXT, "See " + windows + " here.\r\n");
  // Other stores with CR line ends keep the usual rule.
  auto& unix = convert("Unix Mail", box("\r", ""));
  EXPECT_EQ(unix.emitted.at(0).MSGTEXT, "See " + windows + " here.\r\n");
}

TEST_F(MailParsersTest, RecordOfAMessage) {
  // An RFC 2047 subject, a quoted-printable soft break, further recipients,
  // and a date written in the sender's zone.
  std::string m =
      "From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <joerg@example.de>\n"
      "To: Owner <OWNER@example.com>, Carl <carl@example.org>\n"
      "Cc: Dora <dora@example.org>, carl@example.org, Owner <owner@example.com>\n"
      "Bcc: eve@example.org\n"
      "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgTcO8bmNoZW4=?=\n"
      "Date: Sun, 21 Jul 1996 17:02:55 -0800\n"
      "Content-Type: text/plain; charset=iso-8859-1\n"
      "Content-Transfer-Encoding: quoted-printable\n\n"
      "A soft =\nbreak and =E5=F6.\n";
  auto& ctx = convert("Unix Mail", "From joerg@example.de Sun Jul 21 17:02:55 1996\n" + m);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  const qv::ImpHeaderRec& r = ctx.emitted[0];
  EXPECT_EQ(r.HEADING.str(), "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen");
  EXPECT_EQ(r.S_NAME.str(), "J\xC3\xB6rg M\xC3\xBCller");
  EXPECT_EQ(r.S_CISADRESS.str(), "joerg@example.de");
  EXPECT_EQ(r.R_NAME.str(), "Owner Box");
  EXPECT_EQ(r.R_CISADRESS.str(), "owner@example.com");
  EXPECT_EQ(r.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(r.RECIPTYPE.str(), "TO");
  EXPECT_EQ(r.MSGNUMBER, r.REFNUMBER);
  EXPECT_EQ(r.INTERNAL, ctx.settings().mailbox);
  EXPECT_EQ(r.DATE, dateFromYMD(1996, 7, 21));
  EXPECT_EQ(r.TIME, timeFromHMS(17, 2, 55));
  EXPECT_EQ(r.MSGTEXT, "A soft break and \xC3\xA5\xC3\xB6.\r\n");
  // Each further recipient once; the owner's own address is left to posting.
  std::vector<std::string> copies;
  for (const qv::ImpCCRRec& c : ctx.carbonCopies) {
    EXPECT_EQ(c.MAILID, r.MSGNUMBER);
    copies.push_back(c.RECIPTYPE.str() + " " + c.R_CISADRESS.str());
  }
  EXPECT_EQ(copies, (std::vector<std::string>{"TO OWNER@example.com", "TO carl@example.org", "CC dora@example.org",
                                              "CC carl@example.org", "BC eve@example.org"}));
}

TEST_F(MailParsersTest, MailFromTheOwnersAlternativeAddressIsSent) {
  auto& ctx = convert("Unix Mail", header("Me <Owner@Old.Example>", "Friend <Friend@Example.org>, x@example.org",
                                          "Sent by me") + "\nHello.\n");
  ASSERT_EQ(ctx.emitted.size(), 1u);
  const qv::ImpHeaderRec& r = ctx.emitted[0];
  EXPECT_EQ(r.MAILTYPE, qv::MailSent);
  EXPECT_EQ(r.S_CISADRESS.str(), "owner@example.com");
  EXPECT_EQ(r.S_NAME.str(), "Owner Box");
  EXPECT_EQ(r.R_CISADRESS.str(), "friend@example.org");
  EXPECT_EQ(r.R_NAME.str(), "Friend");
  ASSERT_EQ(ctx.carbonCopies.size(), 1u) << "the stored recipient is no copy";
  EXPECT_EQ(ctx.carbonCopies[0].R_CISADRESS.str(), "x@example.org");
}

TEST_F(MailParsersTest, TextsHoldNeitherBase64NorTags) {
  std::string m = header("a@example.org", "owner@example.com", "Parts") +
                  "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\n"
                  "Content-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: base64\n\n"
                  "PHA+SGVsbG8gJmFyaW5nOyAmb3VtbDs8L3A+\n--b1\n"
                  "Content-Type: application/pdf; name=\"r.pdf\"\nContent-Transfer-Encoding: base64\n\n"
                  "JVBERi0xLjQK\n--b1--\n";
  auto& ctx = convert("Unix Mail", m);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  const std::string& t = ctx.emitted[0].MSGTEXT;
  EXPECT_NE(t.find("Hello \xC3\xA5 \xC3\xB6"), std::string::npos) << t;
  EXPECT_EQ(t.find("PHA+"), std::string::npos);
  EXPECT_EQ(t.find("JVBERi"), std::string::npos);
  EXPECT_NE(t.find("r.pdf"), std::string::npos) << "the attachment is named";
}

TEST_F(MailParsersTest, TextsAreUtf8WhateverTheCharsetSays) {
  // A UCS-4 body whose code point lies beyond Unicode (found by fuzzing).
  auto& ctx = convert("Pegasus", header("a@example.org", "owner@example.com", "Wide") +
                                     "Content-Type: text/plain; charset=ucs-4\n\n.so.");
  ASSERT_EQ(ctx.emitted.size(), 1u);
  EXPECT_TRUE(qv::mime::isValidUtf8(ctx.emitted[0].MSGTEXT));
  EXPECT_NE(ctx.emitted[0].MSGTEXT.find("\xEF\xBF\xBD"), std::string::npos) << "U+FFFD stands for it";
}

TEST_F(MailParsersTest, HeaderBlocksWithoutSeparators) {
  // A file without separator lines: text before the first message is passed
  // over up to a block with three of the four headers; once a message has
  // begun, header blocks in its body are its text, however many of the four
  // they hold (a forwarded message, a quoted header): one message.
  std::string store = "Preamble text.\n\n" + header("a@example.org", "owner@example.com", "First") +
                      "\nBody one.\n\nSubject: not a message\nFrom: quoted@example.org\n\nMore of one.\n"
                      "From: b@example.org\nTo: owner@example.com\nSubject: Forwarded\n\nBody two.\n";
  for (std::string format : {"Unix Mail", "Becky Mail", "Agent Mail"}) {
    SCOPED_TRACE(format);
    auto& ctx = convert(format, store);
    ASSERT_EQ(subjects(), (Subjects{"First"}));
    EXPECT_EQ(ctx.emitted[0].MSGTEXT,
              "Body one.\r\n\r\nSubject: not a message\r\nFrom: quoted@example.org\r\n\r\nMore of one.\r\n"
              "From: b@example.org\r\nTo: owner@example.com\r\nSubject: Forwarded\r\n\r\nBody two.\r\n");
    ASSERT_EQ(ctx.originals.size(), 1u);
    EXPECT_EQ(ctx.originals[0], store.substr(store.find("From: a@")));
  }
  // A file that begins with a block of MIME headers alone is a message too.
  auto& mime = convert("Unix Mail", "MIME-Version: 1.0\nContent-Type: text/plain\n\nNothing but MIME headers.\n");
  ASSERT_EQ(mime.emitted.size(), 1u);
  EXPECT_EQ(mime.emitted[0].MSGTEXT, "Nothing but MIME headers.\r\n");
}

TEST_F(MailParsersTest, DotLinesEndBeckyMessagesOnly) {
  // A Becky folder: "." before a header line or the end of the file ends a
  // message, and stuffed dots are undone; a "." line before text is text.
  std::string store = header("a@example.org", "owner@example.com", "One") + "\n..\n...dots\n.\ntext after a dot\n.\n" +
                      "Return-Path: b@example.org\n" + header("b@example.org", "owner@example.com", "Two") +
                      "..: dot\n\nBody two.\n.\n";
  auto& ctx = convert("Becky Mail", store);
  ASSERT_EQ(subjects(), (Subjects{"One", "Two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, ".\r\n..dots\r\n\r\ntext after a dot\r\n");
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, "Body two.\r\n");
  // To Unix Mail a "." line is text: one message that keeps every dot.
  convert("Unix Mail", store);
  ASSERT_EQ(subjects(), (Subjects{"One"}));
  EXPECT_EQ(ctx_->emitted[0].MSGTEXT.substr(0, 11), "..\r\n...dots");
}

TEST_F(MailParsersTest, MboxSeparatorsDecideInAnMbox) {
  // Messages with fewer than three of the four headers, a forwarded header
  // block inside a body, a separator with its "@" far out, escaped lines.
  std::string box =
      "From cygwin-return-12862-listarch-cygwin=sourceware.cygnus.com@sourceware.cygnus.com Sat Jul 01 19:33:02 "
      "2000\nFrom: a@example.org\nSubject: Only two\n\nForwarded:\n\n" +
      header("x@example.org", "y@example.org", "Inner") + "\nInner body.\n>From the start.\n\n"
      "From b at example.org  Sun Jul  2 08:00:00 2000\nSubject: Pipermail\n\nLast.\n";
  auto& ctx = convert("Unix Mail", box);
  ASSERT_EQ(subjects(), (Subjects{"Only two", "Pipermail"}));
  EXPECT_NE(ctx.emitted[0].MSGTEXT.find("Subject: Inner\r\n"), std::string::npos);
  EXPECT_NE(ctx.emitted[0].MSGTEXT.find("\r\nFrom the start.\r\n"), std::string::npos);
  EXPECT_EQ(ctx.emitted[0].MSGTEXT.find("From b"), std::string::npos) << "a separator is never text";
  EXPECT_EQ(ctx.emitted[1].DATE, dateFromYMD(2000, 7, 2)) << "the separator's date stands in for a Date header";
}

TEST_F(MailParsersTest, ForwardedMessagesStayInTheMessageThatForwardsThem) {
  // A mailbox attached as a message/rfc822 part holds separator lines and
  // header blocks of its own; they end nothing.
  auto forwarding = [](const std::string& closing) {
    return header("a@example.org", "owner@example.com", "Forwarding") +
           "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B1\"\n\n--B1\nContent-Type: text/plain\n\n"
           "See the attached mailbox.\n--B1\nContent-Type: MESSAGE/rfc822; name=Mailbox\n\n"
           "From x@example.org Fri Jul 10 18:59:26 1998\n" +
           header("x@example.org", "list@example.org", "Inner one") + "\nFirst inner text.\n\n"
           "From y@example.org Fri Jul 10 19:00:00 1998\n" +
           header("y@example.org", "list@example.org", "Inner two") + "\nSecond inner text.\n" + closing;
  };
  std::string next = "From b@example.org Sat Jul 11 10:00:00 1998\n" +
                     header("b@example.org", "owner@example.com", "Next") + "\nNext text.\n";
  std::string box = "From a@example.org Fri Jul 10 20:00:00 1998\n" + forwarding("--B1--\n\n") + next;
  auto& ctx = convert("Unix Mail", box);
  ASSERT_EQ(subjects(), (Subjects{"Forwarding", "Next"}));
  const std::string& text = ctx.emitted[0].MSGTEXT;
  EXPECT_NE(text.find("---------- Forwarded message ----------\r\nFrom: x@example.org"), std::string::npos) << text;
  EXPECT_NE(text.find("Second inner text."), std::string::npos) << text;

  // A saved message (no separators) with an attached message: one message.
  convert("Unix Mail", forwarding("--B1--\n"));
  EXPECT_EQ(subjects(), (Subjects{"Forwarding"}));

  // A forwarded part whose closing boundary never comes cannot swallow the
  // rest of the store: past a megabyte, separators count again.
  std::string filler;
  while (filler.size() < (1u << 20) + 1000) filler += "a line of the forwarded mailbox's last message\n";
  convert("Unix Mail", "From a@example.org Fri Jul 10 20:00:00 1998\n" + forwarding(filler + "\n") + next);
  EXPECT_EQ(subjects(), (Subjects{"Forwarding", "Next"}));

  // A message pasted between the markers of an included message.
  std::string pasted = "From a@example.org Fri Jul 10 20:00:00 1998\n" +
                       header("a@example.org", "owner@example.com", "Quoting") +
                       "\nHave a look:\n\n----- Begin Included Message -----\n\n"
                       "From x@example.org Thu May  1 09:58:06 1997\n" +
                       header("x@example.org", "list@example.org", "Pasted") + "\nPasted text.\n\n"
                       "----- End Included Message -----\n\n- Ann\n\n" + next;
  auto& quoting = convert("Unix Mail", pasted);
  ASSERT_EQ(subjects(), (Subjects{"Quoting", "Next"}));
  EXPECT_NE(quoting.emitted[0].MSGTEXT.find("- Ann"), std::string::npos);
}

TEST_F(MailParsersTest, MacLineEndsByteOrderMarkAndLongLines) {
  // A long line whose continuation piece looks like a separator is no boundary.
  std::string longLine = std::string(mail::kPiece, 'x') + "From - Mon Dec 13 18:45:30 2010\rFrom: c@example.org\r";
  std::string mac = "\xEF\xBB\xBF" "From - Mon Dec 13 18:45:29 2010\r" +
                    header("a@example.org", "owner@example.com", "Mac one") + "\r" + longLine +
                    "From - Mon Dec 13 18:46:29 2010\r" + header("b@example.org", "owner@example.com", "Mac two") +
                    "\rLast.\r";
  for (char& c : mac)
    if (c == '\n') c = '\r';
  for (std::string format : {"Unix Mail", "Netscape Mail"}) {
    SCOPED_TRACE(format);
    auto& ctx = convert(format, mac);
    ASSERT_EQ(subjects(), (Subjects{"Mac one", "Mac two"}));
    EXPECT_EQ(ctx.emitted[1].MSGTEXT, "Last.\r\n");
  }
}

TEST_F(MailParsersTest, HugeMessagesAreCutNotKept) {
  std::string body;
  std::string line(999, 'z');
  while (body.size() <= mail::kMaxMessage) body += line + "\n";
  std::string box = "From a@example.org Mon Dec 13 18:45:29 2010\n" +
                    header("a@example.org", "owner@example.com", "Huge") + "\n" + body +
                    "From b@example.org Mon Dec 13 18:46:29 2010\n" +
                    header("b@example.org", "owner@example.com", "After") + "\nSmall.\n";
  auto& ctx = convert("Unix Mail", box);
  ASSERT_EQ(subjects(), (Subjects{"Huge", "After"}));
  EXPECT_LE(ctx.emitted[0].MSGTEXT.size(), 64000u);
}

TEST_F(MailParsersTest, AttachmentsOfHugeMessagesGiveTheirWholeSize) {
  // An attachment whose encoded form runs past the bytes the decoder keeps
  // of a message: its line gives the size the whole original holds.
  constexpr size_t kSize = 13000000;
  std::string data(kSize, '\0');
  for (size_t i = 0; i < kSize; ++i) data[i] = char((i * 2654435761u) >> 24);
  std::string box = "From a@example.org Mon Dec 13 18:45:29 2010\n" +
                    header("a@example.org", "owner@example.com", "Huge") +
                    "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                    "Content-Type: text/plain\n\nSee attached.\n--b\n"
                    "Content-Type: application/octet-stream; name=big.bin\nContent-Transfer-Encoding: base64\n\n" +
                    qvtest::base64(data) + "--b--\n";
  ASSERT_GT(box.size(), mail::kMaxMessage);
  auto& ctx = convert("Unix Mail", box);
  ASSERT_EQ(subjects(), (Subjects{"Huge"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "See attached.\r\n\r\n[Attachment: big.bin, application/octet-stream, 13000000 bytes]\r\n");
}

TEST(MailMessageBytes, LinesStopAtTheCapWithTheirLineEnds) {
  mail::MessageBytes m;
  m.begin();
  m.addLine(std::string(mail::kMaxMessage - 3, 'x'), true);
  m.addLine("abc", true);  // only "ab" still fits
  ASSERT_EQ(m.bytes().size(), mail::kMaxMessage);
  EXPECT_EQ(m.bytes().substr(m.bytes().size() - 4), "x\nab");
  m.addLine("more", true);
  EXPECT_EQ(m.bytes().size(), mail::kMaxMessage);
  EXPECT_EQ(m.take().size(), mail::kMaxMessage);
  // The next message starts empty, whatever room it was given.
  m.begin();
  m.addLine("next", false);
  m.addLine("", true);
  EXPECT_EQ(m.bytes(), "next\n");
}

// IE Mail and Outlook Express records: a file header, then per message the
// marker 0 127 0 127, number, record size and text size, the text, padding.
std::string mbxRecord(uint32_t number, const std::string& text, uint32_t claimedSize) {
  std::string r("\x00\x7F\x00\x7F", 4);
  for (uint32_t v : {number, claimedSize, claimedSize - 16})
    for (int i = 0; i < 4; ++i) r.push_back(char((v >> (8 * i)) & 0xFF));
  return r + text + std::string(3, '\0');
}

TEST_F(MailParsersTest, MbxRecordsAreFoundByTheirMarkers) {
  std::string head = "JMF6" + std::string(0x50, '\0');
  std::string one = crlf("X-POP3-Rcpt: someone\nReceived: from x\n" +
                         header("a@example.org", "owner@example.com", "First") + "\nBody \x7F") +
                    std::string("\x00", 1) + crlf(" one.\n");
  // Content headers before the first of the four stay part of the header block.
  std::string two = crlf("MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
                         "Content-Transfer-Encoding: base64\n" +
                         header("b@example.org", "owner@example.com", "Second") + "\nSGVsbG8gd29ybGQ=\n");
  std::string three = crlf("binary junk\n" + header("c@example.org", "owner@example.com", "Third") + "\nCut sho");
  std::string file = head + mbxRecord(1, one, 9999) + mbxRecord(2, two, 3) + mbxRecord(3, three, 500);
  file.resize(file.size() - 3);  // the store ends inside the last record
  for (std::string format : {"Outlook Express Mail", "IE Mail"}) {
    SCOPED_TRACE(format);
    auto& ctx = convert(format, file);
    ASSERT_EQ(subjects(), (Subjects{"First", "Second", "Third"}));
    EXPECT_EQ(ctx.emitted[0].MSGTEXT, "Body  one.\r\n") << "a 127, 0 pair is dropped";
    EXPECT_EQ(ctx.emitted[1].MSGTEXT, "Hello world\r\n");
    EXPECT_EQ(ctx.emitted[2].MSGTEXT, "Cut sho\r\n");
  }
  convert("Outlook Express Mail", std::string("\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F", 8) + std::string(600, '\0'));
  EXPECT_TRUE(ctx_->emitted.empty());
}

TEST_F(MailParsersTest, PegasusFoldersSkipTheirHeader) {
  std::string head = "My folder" + std::string(77, '\0') + "ID:1234:folder" + std::string(28, '\0');
  ASSERT_EQ(head.size(), 128u);
  std::string folder = head + crlf(header("a@example.org", "owner@example.com", "One") + "\nText one.\n") + "\x1A" +
                       crlf(header("b@example.org", "owner@example.com", "Two") + "\nText two.\n") + "\x1A\r\n";
  auto& ctx = convert("Pegasus", folder);
  ASSERT_EQ(subjects(), (Subjects{"One", "Two"}));
  EXPECT_EQ(ctx.emitted[0].S_CISADRESS.str(), "a@example.org");
  // A new-mail file: one message, no header, no end byte.
  convert("Pegasus", crlf(header("c@example.org", "owner@example.com", "Three") + "\nText.\n"));
  EXPECT_EQ(subjects(), (Subjects{"Three"}));
  convert("Pegasus", head);
  EXPECT_TRUE(ctx_->emitted.empty());
}

TEST_F(MailParsersTest, NothingIsConvertedWithoutAMailImport) {
  std::string box = header("a@example.org", "owner@example.com", "One") + "\nText.\n";
  auto& ctx = convert("Unix Mail", box);
  EXPECT_EQ(ctx.emitted.size(), 1u);
  ctx.settings_.filter = qv::FilterCreateOnly;
  std::string path = dir_.file("again");
  qvtest::writeFile(path, box);
  ASSERT_TRUE(ctx.openBlocks(path));
  auto parser = qv::makeParser(ctx.format());
  qvtest::runParser(*parser, ctx);
  EXPECT_EQ(ctx.emitted.size(), 1u);
  EXPECT_EQ(ctx.skipped, 1);
  // Each skip names its reason for the run's summary.
  ctx.settings_.filter = qv::FilterAll;
  ctx.settings_.importMail = false;
  ASSERT_TRUE(ctx.openBlocks(path));
  qvtest::runParser(*qv::makeParser(ctx.format()), ctx);
  ctx.settings_.importMail = true;
  ctx.settings_.mailbox = 0;
  ASSERT_TRUE(ctx.openBlocks(path));
  qvtest::runParser(*qv::makeParser(ctx.format()), ctx);
  EXPECT_EQ(ctx.emitted.size(), 1u);
  EXPECT_EQ(ctx.skippedFor, (std::map<std::string, int>{{qv::kSkipCreationOnly, 1},
                                                         {qv::kSkipMailNotImported, 1},
                                                         {qv::kSkipNoMailbox, 1}}));
  // The summary lists the most frequent reason first.
  EXPECT_EQ(qv::skipReasonLines({{qv::kSkipNoMailbox, 1}, {qv::kSkipNoMessageId, 3}}),
            (std::vector<std::string>{"no Message-ID: 3", "no mailbox open to imports: 1"}));
}

// ---------------------------------------------------------------------------
// Maildir trees and .eml folders, through the import run.

class MailFoldersTest : public qvtest::MailImportTest {};

TEST_F(MailFoldersTest, MaildirTreeOneMessagePerFile) {
  std::string top = dir.file("Maildir");
  for (std::string sub : {"cur", "new", "tmp", ".Sent/cur"}) fs::create_directories(top + "/" + sub);
  qvtest::writeFile(top + "/cur/1.host:2,S", "Return-Path: <a@example.org>\nDelivered-To: mary\n" +
                                                 header("Ann <a@example.org>", kOwnerAddress, "In cur") +
                                                 "\nBody one.\n");
  qvtest::writeFile(top + "/new/2.host", header("b@example.org", kOwnerAddress, "In new") + "\nBody two.\n");
  // A draft with only a subject and a sender: still one message.
  qvtest::writeFile(top + "/.Sent/cur/3.host:2,S",
                    "From: Mary <" + std::string(kOwnerAlternative) + ">\nSubject: Draft\n\nUnsent.\n");
  // Files of mail programs beside the messages are no messages.
  qvtest::writeFile(top + "/dovecot-uidlist", "3 V1234 N4\n1 :1.host\n");
  qvtest::writeFile(top + "/subscriptions", "Sent\n");
  qv::ImportView v;
  ASSERT_EQ(importMail("Unix Mail", qv::SelectTree, top, {"*"}, &v), 1) << prompts.transcript();
  auto mails = stored();
  ASSERT_EQ(mails.size(), 3u);
  const qvtest::StoredMail* cur = bySubject(mails, "In cur");
  ASSERT_TRUE(cur);
  EXPECT_EQ(cur->text, "Body one.\r\n");
  EXPECT_EQ(cur->fromAddress, "a@example.org");
  const qvtest::StoredMail* draft = bySubject(mails, "Draft");
  ASSERT_TRUE(draft);
  EXPECT_TRUE(draft->fromOwner);
  EXPECT_EQ(draft->text, "Unsent.\r\n");
}

TEST_F(MailFoldersTest, EmlFolderAndCarbonCopiesEndToEnd) {
  std::string folder = dir.file("saved");
  fs::create_directories(folder);
  qvtest::writeFile(folder + "/one.eml",
                    crlf(header("Ann <a@example.org>", std::string(kOwnerAddress) + ", Bob <b@example.org>", "One") +
                         "Cc: Carl <c@example.org>, " + kOwnerAlternative + "\n\nText one.\n"));
  qvtest::writeFile(folder + "/two.eml", crlf(header("b@example.org", kOwnerAddress, "Two") + "\nText two.\n"));
  qvtest::writeFile(folder + "/notes.txt", "Not a message at all.\n");
  ASSERT_EQ(importMail("Unix Mail", qv::SelectDirectory, folder, {"*.eml"}), 1) << prompts.transcript();
  auto mails = stored();
  ASSERT_EQ(mails.size(), 2u);
  const qvtest::StoredMail* one = bySubject(mails, "One");
  ASSERT_TRUE(one);
  std::vector<std::string> copies;
  for (const qv::CCRRec& c : one->copies) copies.push_back(c.RECIPTYPE.str() + " " + c.R_CISADRESS.str());
  std::sort(copies.begin(), copies.end());
  EXPECT_EQ(copies, (std::vector<std::string>{"CC c@example.org", "TO b@example.org"}))
      << "the owner's own addresses are no copies";
}

}  // namespace
