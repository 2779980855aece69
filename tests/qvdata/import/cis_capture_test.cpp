// CompuServe forum sessions captured by users' terminal programs, and
// CompuServe Mail as the host shows it, read with the line formats that read
// them: message counts, numbers, dates, sections, reply references, texts
// free of the host's prompts and reply counts, and mail with its date,
// sender, subject and body; then imported end to end into threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "import/parser.h"
#include "import/parsers/parsers.h"
#include "mime/mime_message.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "storage/collation.h"
#include "support/fake_import_context.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::StoredMail;

namespace {

// The formats whose forum side reads "#:" / "Sb:" / "Fm:" / "To:" captures
// into the forum named in the import settings. (OzWin I and II take the
// forum from a parenthesis on the "#:" line, which the host does not write.)
const std::vector<std::string> kForumFormats = {"OzCIS", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"};
// The formats whose mail side reads the host's "Date:" / "From:" / "Subj:"
// layout. (OzWin II reads one more header line before the text.)
const std::vector<std::string> kMailFormats = {"OzCIS", "OzWin I", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"};

// What each capture holds, counted from the files ("#:" lines).
struct CaptureFacts {
  const char* file;
  size_t messages;
  uint32_t first, last;
  int32_t firstDate, lastDate;
  size_t sections;
};

const CaptureFacts kCaptures[] = {
    {"1990_CIS05_02.txt", 24, 3206, 3230, dateFromYMD(1990, 4, 30), dateFromYMD(1990, 5, 2), 6},
    {"1991_CIS01_12.txt", 504, 8496, 9101, dateFromYMD(1990, 11, 30), dateFromYMD(1991, 1, 12), 11},
    {"1992_CIS01_11.txt", 141, 13763, 13955, dateFromYMD(1991, 12, 30), dateFromYMD(1992, 1, 11), 10},
    {"1995_CIS11_24.txt", 6, 21267, 21272, dateFromYMD(1995, 11, 12), dateFromYMD(1995, 11, 20), 3},
    {"800trkthd.ham", 11, 55846, 56867, dateFromYMD(1991, 4, 28), dateFromYMD(1991, 5, 4), 1},
    {"vrfirst3", 97, 21212, 21584, dateFromYMD(1991, 11, 8), dateFromYMD(1991, 11, 14), 1},
    {"1203.ufo", 1, 2, 2, dateFromYMD(1987, 10, 23), dateFromYMD(1987, 10, 23), 1},
};

// What a capture's header lines say, read here with a plain pattern: each
// "#:" line's number and section, and the parent named by "#nnn-" at the
// start of the "Sb:" line two lines further down.
struct CaptureHeader {
  std::string section;  // "S10/OS9/6809 (CoCo)"
  uint32_t parent = 0;
};

std::map<uint32_t, CaptureHeader> captureHeaders(const std::string& path) {
  std::istringstream in(qvtest::readFile(path));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  static const std::regex kNumber(R"(^#: (\d+) (.*)$)");
  static const std::regex kParent(R"(^Sb: #(\d+)-)");
  std::map<uint32_t, CaptureHeader> out;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch m;
    if (!std::regex_match(lines[i], m, kNumber)) continue;
    CaptureHeader h;
    h.section = m[2];
    std::smatch p;
    if (i + 2 < lines.size() && std::regex_search(lines[i + 2], p, kParent)) h.parent = uint32_t(std::stoul(p[1]));
    out[uint32_t(std::stoul(m[1]))] = h;
  }
  return out;
}

// The host line a text holds, if any.
std::string hostLineIn(const std::string& text) {
  static const std::regex kHost(
      R"((^|\r\n)(There is 1 Reply\.|There are \d+ Replies\.|\* Repl(y|ies):|Press <CR>|Read action !|Enter choice))");
  std::smatch m;
  return std::regex_search(text, m, kHost) ? std::string(m[2]) : "";
}

// The facts a compuserve.expected.N file states of its input.
struct ExpectedMail {
  int32_t date = 0, time = 0;
  int zone = 0;
  std::string name, address, subject, body;
};

ExpectedMail readExpected(const std::string& path) {
  std::istringstream in(qvtest::readFile(path));
  ExpectedMail e;
  std::string line;
  while (std::getline(in, line) && !line.empty()) {
    if (line.starts_with("Date: ")) mime::parseDate(line.substr(6), e.date, e.time, e.zone);
    if (line.starts_with("Subject: ")) e.subject = line.substr(9);
    std::smatch m;
    static const std::regex kFrom(R"(^From: (.*) <(\d+)\.(\d+)@compuserve\.com>$)");
    if (std::regex_match(line, m, kFrom)) {
      e.name = m[1];
      e.address = std::string(m[2]) + "," + std::string(m[3]);  // the number as CompuServe writes it
    }
  }
  std::vector<std::string> body;
  while (std::getline(in, line)) body.push_back(line);
  for (size_t i = 0; i < body.size(); ++i) e.body += (i ? "\r\n" : "") + body[i];
  return e;
}

std::string corpusOrSkip() { return qvtest::corpusDir(); }

// --- Read by the parsers --------------------------------------------------------

class CisCaptureRead : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus = corpusOrSkip();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  }

  std::string capture(const std::string& name) { return corpus + "/compuserve-capture/" + name; }
  std::string onlineMail(const std::string& name) { return corpus + "/compuserve-online-mail/" + name; }

  // Reads `path` with `format` as an import of forum messages (importKind KindForumDb)
  // or mail (KindMailDb) does: content detection, then the parser. The records are in
  // ctx->emitted; the detection's answer is returned.
  int read(const std::string& format, const std::string& path, int importKind) {
    ctx = std::make_unique<qvtest::FakeImportContext>();
    ctx->setFormat(format);
    ctx->settings_.importForum = importKind == KindForumDb;
    ctx->settings_.importMail = importKind == KindMailDb;
    ctx->settings_.forumName = "Captures";
    if (importKind == KindMailDb) ctx->addMailbox(dir.path(), "Owner Box", "99999,111");
    EXPECT_TRUE(ctx->openLines(path));
    int kind = detectLineFormat(format, LineFile, importKind);
    if (kind == 0) return 0;
    ctx->kindOfFile = kind;
    std::unique_ptr<Parser> parser = makeLineFamilyParser();
    qvtest::runParser(*parser, *ctx);
    return kind;
  }

  // The forum messages read, by number.
  std::map<uint32_t, ImpHeaderRec> byNumber() {
    std::map<uint32_t, ImpHeaderRec> out;
    for (const ImpHeaderRec& r : ctx->emitted) out[r.MSGNUMBER] = r;
    return out;
  }

  std::string corpus;
  qvtest::TempDir dir;
  std::unique_ptr<qvtest::FakeImportContext> ctx;
};

TEST_F(CisCaptureRead, EveryCaptureGivesItsMessagesNumbersDatesSectionsAndParents) {
  for (const std::string& format : kForumFormats) {
    for (const CaptureFacts& c : kCaptures) {
      SCOPED_TRACE(format + " " + c.file);
      ASSERT_EQ(read(format, capture(c.file), KindForumDb), KindForumDb);
      EXPECT_EQ(ctx->skipped, 0);
      auto read = byNumber();
      ASSERT_EQ(read.size(), c.messages);
      ASSERT_EQ(ctx->emitted.size(), c.messages);
      EXPECT_EQ(read.begin()->first, c.first);
      EXPECT_EQ(read.rbegin()->first, c.last);

      auto headers = captureHeaders(capture(c.file));
      ASSERT_EQ(headers.size(), c.messages);
      int32_t firstDate = INT32_MAX, lastDate = 0;
      std::set<std::string> sections;
      for (const auto& [n, r] : read) {
        SCOPED_TRACE("message " + std::to_string(n));
        ASSERT_EQ(headers.count(n), 1u);
        const CaptureHeader& h = headers[n];
        EXPECT_EQ(r.FOR_DESCRIPTION.str(), "Captures");
        firstDate = std::min(firstDate, r.DATE);
        lastDate = std::max(lastDate, r.DATE);
        EXPECT_NE(r.TIME, 0);
        // The section as the host names it: "S10/OS9/6809 (CoCo)" is section
        // 10 named "OS9/6809 (CoCo)".
        std::string section = "S" + std::to_string(r.SECTIONNUMBER) + "/" + r.SEC_DESCRIPTION.str();
        EXPECT_EQ(section, h.section);
        sections.insert(section);
        // Every reply names the parent given after "#" on its "Sb:" line.
        EXPECT_EQ(r.REFNUMBER, h.parent);
        EXPECT_FALSE(r.MSGTEXT.empty());
        EXPECT_EQ(hostLineIn(r.MSGTEXT), "") << "the text holds a host line";
      }
      EXPECT_EQ(firstDate, c.firstDate);
      EXPECT_EQ(lastDate, c.lastDate);
      EXPECT_EQ(sections.size(), c.sections);
    }
  }
}

TEST_F(CisCaptureRead, HostLinesEndTheTextAndQuotedHeadersStayInIt) {
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    read(format, capture("1990_CIS05_02.txt"), KindForumDb);
    auto m1990 = byNumber();
    // "There are 2 Replies." follows the signature; the text keeps the
    // host's blank line after the body, as a message without replies does.
    EXPECT_TRUE(m1990[3216].MSGTEXT.ends_with("array of pointers.\r\n\r\nBill\r\n")) << m1990[3216].MSGTEXT;
    EXPECT_TRUE(m1990[3227].MSGTEXT.ends_with("\r\nPete\r\n")) << m1990[3227].MSGTEXT;
    EXPECT_TRUE(m1990[3229].MSGTEXT.ends_with("Thanks.  Ches.\r\n")) << "the last message ends before the prompt";
    EXPECT_EQ(m1990[3216].REFNUMBER, 3173u) << "a parent outside the file is named too";
    EXPECT_EQ(m1990[3216].HEADING.str(), "C arrays");
    EXPECT_EQ(m1990[3227].REFNUMBER, 3216u);
    EXPECT_EQ(m1990[3206].SEC_DESCRIPTION.str(), "Tandy CoCo");
    EXPECT_EQ(m1990[3206].SECTIONNUMBER, 10);
    EXPECT_EQ(m1990[3206].DATE, dateFromYMD(1990, 4, 30));
    EXPECT_EQ(m1990[3206].TIME, timeFromHMS(23, 42, 34));
    EXPECT_EQ(m1990[3206].S_NAME.str(), "Bruce MacKenzie");
    EXPECT_EQ(m1990[3206].S_CISADRESS.str(), "71725,376");
    EXPECT_EQ(m1990[3206].R_NAME.str(), "Mark Griffith") << "\"(X)\" is no part of the name";
    EXPECT_EQ(m1990[3206].R_CISADRESS.str(), "76070,41");

    read(format, capture("800trkthd.ham"), KindForumDb);
    auto m800 = byNumber();
    // "* Replies:", then the prompt "Read action !s".
    EXPECT_TRUE(m800[55846].MSGTEXT.ends_with("track a conversation?  \r\n")) << m800[55846].MSGTEXT;
    EXPECT_TRUE(m800[56191].MSGTEXT.ends_with("\r\nTom\r\n\r\n")) << m800[56191].MSGTEXT;
    EXPECT_EQ(m800[55846].HEADING.str(), "800 Mhz scanning") << "a thread's first \"#\" is dropped";
    EXPECT_EQ(m800[55846].REFNUMBER, 0u);
    EXPECT_EQ(m800[56038].REFNUMBER, 55846u);
    EXPECT_EQ(m800[56038].HEADING.str(), "800 Mhz scanning");

    // Two bodies begin with a line quoting a whole header: they start no message.
    read(format, capture("1992_CIS01_11.txt"), KindForumDb);
    auto m1992 = byNumber();
    EXPECT_TRUE(m1992[13891].MSGTEXT.starts_with(
        "Sb: problems with c files Fm: Bruce Baker 73747,3137 To: all\r\n\r\nI recently dowmloaded"))
        << m1992[13891].MSGTEXT;
    EXPECT_TRUE(m1992[13892].MSGTEXT.starts_with("Sb: boot with ramdisk Fm: Bruce Baker To: all\r\n"))
        << m1992[13892].MSGTEXT;
    EXPECT_EQ(m1992[13892].SEC_DESCRIPTION.str(), "OS9/6809 (CoCo)");
    EXPECT_TRUE(m1992[13955].MSGTEXT.ends_with("David Nelms 72527,640\r\n")) << m1992[13955].MSGTEXT;
  }
}

TEST_F(CisCaptureRead, MailShownForumStyleHasNoToLine) {
  // "#: 2 S0/EasyPlex", a date with its zone and no "To:" line.
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    read(format, capture("1203.ufo"), KindForumDb);
    ASSERT_EQ(ctx->emitted.size(), 1u);
    const ImpHeaderRec& r = ctx->emitted[0];
    EXPECT_EQ(r.MSGNUMBER, 2u);
    EXPECT_EQ(r.SECTIONNUMBER, 0);
    EXPECT_EQ(r.SEC_DESCRIPTION.str(), "EasyPlex");
    EXPECT_EQ(r.DATE, dateFromYMD(1987, 10, 23));
    EXPECT_EQ(r.TIME, timeFromHMS(16, 12, 0));
    EXPECT_EQ(r.HEADING.str(), "APva 10/23 1653  UFO Sightings");
    EXPECT_EQ(r.S_NAME.str(), "Executive News Svc.");
    EXPECT_EQ(r.S_CISADRESS.str(), "72135,424");
    EXPECT_EQ(r.R_NAME.str(), "");
    EXPECT_EQ(r.R_CISADRESS.str(), "");
    EXPECT_TRUE(r.MSGTEXT.starts_with("By DIRK BEVERIDGE Associated Press Writer \r\n")) << r.MSGTEXT;
  }
  // The formats whose mail begins with "#:" read it as a received mail.
  for (std::string format : {"TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format + " mail");
    ASSERT_EQ(read(format, capture("1203.ufo"), KindMailDb), KindMailDb);
    ASSERT_EQ(ctx->emitted.size(), 1u);
    const ImpHeaderRec& r = ctx->emitted[0];
    EXPECT_EQ(r.MAILTYPE, qv::MailReceived);
    EXPECT_EQ(r.HEADING.str(), "APva 10/23 1653  UFO Sightings");
    EXPECT_EQ(r.S_CISADRESS.str(), "72135,424");
    EXPECT_EQ(r.R_NAME.str(), "Owner Box");
    EXPECT_EQ(r.R_CISADRESS.str(), "99999,111");
    EXPECT_EQ(r.DATE, dateFromYMD(1987, 10, 23));
    EXPECT_TRUE(r.MSGTEXT.starts_with("By DIRK BEVERIDGE")) << r.MSGTEXT;
  }
}

TEST_F(CisCaptureRead, CaptureOfHostMenusOnlyHoldsNoMessage) {
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    EXPECT_EQ(read(format, capture("1994_CIS08_25.txt"), KindForumDb), 0) << "no \"#:\" line";
    ctx->kindOfFile = KindForumDb;
    std::unique_ptr<Parser> parser = makeLineFamilyParser();
    LineFile.setFileOrder();
    qvtest::runParser(*parser, *ctx);
    EXPECT_TRUE(ctx->emitted.empty());
    EXPECT_EQ(ctx->skipped, 0);
  }
}

TEST_F(CisCaptureRead, OnlineMailMatchesTheStatedFacts) {
  for (const std::string& format : kMailFormats) {
    for (int n : {1, 2}) {
      SCOPED_TRACE(format + " input." + std::to_string(n));
      ExpectedMail e = readExpected(onlineMail("compuserve.expected." + std::to_string(n)));
      ASSERT_NE(e.date, 0);
      ASSERT_FALSE(e.address.empty());
      ASSERT_EQ(read(format, onlineMail("compuserve.input." + std::to_string(n)), KindMailDb), KindMailDb);
      ASSERT_EQ(ctx->emitted.size(), 1u) << "body lines that look like headers start no mail";
      EXPECT_EQ(ctx->skipped, 0);
      const ImpHeaderRec& r = ctx->emitted[0];
      // The date and time as written; the zone is not kept.
      EXPECT_EQ(r.DATE, e.date);
      EXPECT_EQ(r.TIME, e.time);
      EXPECT_EQ(r.HEADING.str(), e.subject);
      EXPECT_EQ(r.S_NAME.str(), e.name);
      EXPECT_EQ(r.S_CISADRESS.str(), e.address);
      EXPECT_EQ(r.MAILTYPE, qv::MailReceived);
      EXPECT_EQ(r.R_CISADRESS.str(), "99999,111");
      EXPECT_EQ(r.MSGTEXT, e.body);
    }
  }
}

TEST_F(CisCaptureRead, MailCaptureInTheHostLayout) {
  for (const std::string& format : kMailFormats) {
    SCOPED_TRACE(format);
    ASSERT_EQ(read(format, capture("cellular.ham"), KindMailDb), KindMailDb);
    ASSERT_EQ(ctx->emitted.size(), 1u);
    const ImpHeaderRec& r = ctx->emitted[0];
    EXPECT_EQ(r.HEADING.str(), "800MHZ");
    EXPECT_EQ(r.DATE, dateFromYMD(1989, 3, 1));
    EXPECT_EQ(r.TIME, timeFromHMS(15, 1, 0));
    EXPECT_EQ(r.S_NAME.str(), "BILLY ESTES");
    EXPECT_EQ(r.S_CISADRESS.str(), "72757,3527");
    EXPECT_TRUE(r.MSGTEXT.starts_with("800 - 1300 MHZ LISTENING GUIDE")) << r.MSGTEXT.substr(0, 80);
    EXPECT_TRUE(r.MSGTEXT.ends_with(".910  .940  .970\r\n\r\n")) << "the DOS end-of-file mark is no part of the text";
  }
  // A forum import finds no forum message in it.
  for (const std::string& format : kForumFormats) {
    read(format, capture("cellular.ham"), KindForumDb);
    EXPECT_TRUE(ctx->emitted.empty()) << format;
  }
}

// --- Imported end to end ----------------------------------------------------------

struct ForumMessage {
  uint32_t number = 0, ref = 0, thread = 0;
  int section = -1;
  std::string sectionName;
  std::string from;
  std::string text;
};

class CisCaptureImport : public qvtest::MailImportTest {
 protected:
  void SetUp() override {
    corpus = corpusOrSkip();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    qvtest::MailImportTest::SetUp();
  }

  std::string capture(const std::string& name) { return corpus + "/compuserve-capture/" + name; }

  // Imports one file as forum messages into the forum `forum`.
  int importForum(const std::string& format, const std::string& path, const std::string& forum,
                  ImportView* view = nullptr) {
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {path};
    s.importForum = true;
    s.forumName = forum;
    ImportRun r(s);
    for (int guard = 0; r.step() && guard < 10000000; ++guard) {
    }
    r.close();
    if (view) *view = r.view();
    return r.result();
  }

  // The messages of a forum by number, with their sections, threads,
  // senders and texts.
  std::map<uint32_t, ForumMessage> forumMessages(const std::string& forum) {
    std::map<uint32_t, ForumMessage> out;
    if (!findDatabase(forum)) return out;
    useDatabase();
    OP_CLOSE(OpShared, {FileMsgNmbr, FileMsgText, FilePerson, FileSections});
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> links;  // number -> sender, section
    MsgNmbr.set(MSG_IdKey);
    while (MsgNmbr.next()) {
      ForumMessage m;
      m.number = MSG.MSGNUMBER;
      m.ref = MSG.REFNUMBER;
      m.thread = MSG.THREADNUMBER;
      links[m.number] = {MSG.FROMID, MSG.SECSYSID};
      out[m.number] = m;
    }
    for (auto& [n, m] : out) {
      SEC = SectionsRec();
      SEC.SECSYSID = links[n].second;
      if (Sections.get(SEC_SysIdKey)) {
        m.section = SEC.SECTIONNUMBER;
        m.sectionName = SEC.DESCRIPTION.str();
      }
      PER = PersonRec();
      PER.PERSONID = links[n].first;
      if (Person.get(PER_PersonKey)) m.from = PER.PERSONSTRING.str();
      TXT = MsgTextRec();
      TXT.MSGNUMBER = n;
      if (MsgText.get(TXT_IdKey)) m.text = TXT.MsgText;
    }
    OP_CLOSE(OpRelease, {FileMsgNmbr, FileMsgText, FilePerson, FileSections});
    return out;
  }

  // Makes a new mailbox the target (the same mail read again would be a
  // duplicate) and returns its main address.
  std::string freshMailbox(const std::string& name) {
    newMailbox(name);
    return findDatabase(mailbox) ? FOR.MAILADDRESS.str() : "";
  }

  std::string corpus;
};

TEST_F(CisCaptureImport, RepliesGoIntoTheirParentsThreads) {
  // Each capture with another of the formats, so that every one is posted.
  size_t next = 0;
  for (const CaptureFacts& c : kCaptures) {
    const std::string& format = kForumFormats[next++ % kForumFormats.size()];
    SCOPED_TRACE(format + " " + c.file);
    std::string forum = std::string("Capture ") + c.file;
    ImportView v;
    prompts.reset();
    ASSERT_EQ(importForum(format, capture(c.file), forum, &v), 1) << prompts.transcript();
    EXPECT_EQ(v.imported, int64_t(c.messages));
    EXPECT_EQ(v.skipped, 0);
    auto stored = forumMessages(forum);
    ASSERT_EQ(stored.size(), c.messages);
    auto headers = captureHeaders(capture(c.file));
    std::set<std::string> sections;
    for (const auto& [n, m] : stored) {
      SCOPED_TRACE("message " + std::to_string(n));
      const CaptureHeader& h = headers[n];
      EXPECT_EQ(m.ref, h.parent);
      // A parent in the file holds the reply in its thread, also when the
      // reply comes first in the file.
      if (h.parent != 0 && stored.count(h.parent)) {
        EXPECT_EQ(m.thread, stored[h.parent].thread);
      }
      EXPECT_EQ("S" + std::to_string(m.section) + "/" + m.sectionName, h.section);
      sections.insert(m.sectionName);
      EXPECT_EQ(hostLineIn(m.text), "");
    }
    EXPECT_EQ(sections.size(), c.sections);
  }
  auto ufo = forumMessages("Capture 1203.ufo");
  EXPECT_EQ(ufo[2].from, "EXECUTIVE NEWS SVC. 72135,424");
}

TEST_F(CisCaptureImport, CaptureOfHostMenusOnlyAnswersNoMessagesFound) {
  ImportView v;
  importForum("TAPCIS 6.x", capture("1994_CIS08_25.txt"), "Menus", &v);
  EXPECT_EQ(v.tempRecords, 0);
  EXPECT_EQ(v.imported, 0);
  EXPECT_NE(prompts.transcript().find("No messages found in selected file(s)!"), std::string::npos)
      << prompts.transcript();
  EXPECT_FALSE(findDatabase("Menus")) << "no database is made for a file without messages";
}

TEST_F(CisCaptureImport, HostMailIsStoredWithItsSender) {
  for (std::string format : {"OzCIS", "TAPCIS 6.x"}) {
    SCOPED_TRACE(format);
    std::string owner = freshMailbox(format);
    ImportView v;
    ASSERT_EQ(importFiles(format, {corpus + "/compuserve-online-mail/compuserve.input.1", capture("cellular.ham")}, &v),
              1)
        << prompts.transcript();
    auto mails = stored();
    ASSERT_EQ(mails.size(), 2u);
    const StoredMail* reply = bySubject(mails, "Re: Message to be converted");
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->from, "BILL B. BALL 76543,210");
    EXPECT_EQ(reply->fromAddress, "76543,210");
    EXPECT_EQ(reply->toAddress, owner);
    EXPECT_EQ(reply->date, dateFromYMD(1992, 6, 6));
    EXPECT_EQ(reply->time, timeFromHMS(15, 3, 0));
    EXPECT_NE(reply->text.find("\r\nDate:  01-Jan-92 12:34 EST\r\nReply to: don't touch this\r\n"), std::string::npos);
    const StoredMail* guide = bySubject(mails, "800MHZ");
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->from, "BILLY ESTES 72757,3527");
  }
}

}  // namespace
