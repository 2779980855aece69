// CompuServe forum sessions captured by users' terminal programs, and
// CompuServe Mail as the host shows it, imported end to end with the line
// formats that read them: message counts, numbers, dates, sections, reply
// threads, texts free of the host's prompts and reply counts, and mail with
// its date, sender, subject and body.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "dictionary/dictionary.h"
#include "import/import_run.h"
#include "import/mime/mime_message.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "storage/collation.h"
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

struct ForumMessage {
  uint32_t number = 0, ref = 0, thread = 0;
  int section = -1;
  std::string sectionName;
  int32_t date = 0;  // forum messages keep no time
  std::string subject;  // the thread's
  std::string from, fromAddress, to;
  std::string text;
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

// True when a line of the text is one the host writes between messages.
bool hostLineIn(const std::string& text, std::string* which) {
  static const std::regex kHost(
      R"((^|\r\n)(There is 1 Reply\.|There are \d+ Replies\.|\* Repl(y|ies):|Press <CR>|Read action !|Enter choice))");
  std::smatch m;
  if (!std::regex_search(text, m, kHost)) return false;
  *which = m[2];
  return true;
}

class CisCaptureTest : public qvtest::MailImportTest {
 protected:
  void SetUp() override {
    corpus = qvtest::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    qvtest::MailImportTest::SetUp();
  }

  std::string capture(const std::string& name) { return corpus + "/compuserve-capture/" + name; }
  std::string onlineMail(const std::string& name) { return corpus + "/compuserve-online-mail/" + name; }

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
    OP_CLOSE(OpShared, {3, 4, 5, 6, 7});
    MsgNmbr.set(MSG_IdKey);
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> persons;  // number -> from, to
    std::map<uint32_t, uint32_t> sections;
    while (MsgNmbr.next()) {
      ForumMessage m;
      m.number = MSG.MSGNUMBER;
      m.ref = MSG.REFNUMBER;
      m.thread = MSG.THREADNUMBER;
      m.date = MSG.DATE;
      persons[m.number] = {MSG.FROMID, MSG.TOID};
      sections[m.number] = MSG.SECSYSID;
      out[m.number] = m;
    }
    for (auto& [n, m] : out) {
      SEC = SectionsRec();
      SEC.SECSYSID = sections[n];
      if (Sections.get(SEC_SysIdKey)) {
        m.section = SEC.SECTIONNUMBER;
        m.sectionName = SEC.DESCRIPTION.str();
      }
      THR = ThreadsRec();
      THR.THREADNUMBER = m.thread;
      if (Threads.get(THR_ThreadKey))
        m.subject = THR.ALPHA.str() +
                    (THR.BETA.blank() ? "" : std::string(THR.ALPHA.raw().substr(THR.ALPHA.view().size())) + THR.BETA.str());
      PER = PersonRec();
      PER.PERSONID = persons[n].first;
      if (Person.get(PER_PersonKey)) {
        m.from = PER.PERSONSTRING.str();
        m.fromAddress = PER.ADDRESS.str();
      }
      PER = PersonRec();
      PER.PERSONID = persons[n].second;
      if (Person.get(PER_PersonKey)) m.to = PER.PERSONSTRING.str();
      TXT = MsgTextRec();
      TXT.MSGNUMBER = n;
      if (MsgText.get(TXT_IdKey)) m.text = TXT.MsgText;
    }
    OP_CLOSE(OpRelease, {3, 4, 5, 6, 7});
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

TEST_F(CisCaptureTest, EveryCaptureGivesItsMessagesSectionsAndThreads) {
  int forumNumber = 0;
  for (const std::string& format : kForumFormats) {
    for (const CaptureFacts& c : kCaptures) {
      SCOPED_TRACE(format + " " + c.file);
      std::string forum = "Capture " + std::to_string(++forumNumber);
      ImportView v;
      prompts.reset();
      ASSERT_EQ(importForum(format, capture(c.file), forum, &v), 1) << prompts.transcript();
      EXPECT_EQ(v.tempRecords, int64_t(c.messages));
      EXPECT_EQ(v.skipped, 0);
      auto stored = forumMessages(forum);
      ASSERT_EQ(stored.size(), c.messages);
      EXPECT_EQ(stored.begin()->first, c.first);
      EXPECT_EQ(stored.rbegin()->first, c.last);

      int32_t firstDate = INT32_MAX, lastDate = 0;
      std::set<std::pair<int, std::string>> sections;
      auto headers = captureHeaders(capture(c.file));
      ASSERT_EQ(headers.size(), c.messages);
      for (const auto& [n, m] : stored) {
        SCOPED_TRACE("message " + std::to_string(n));
        firstDate = std::min(firstDate, m.date);
        lastDate = std::max(lastDate, m.date);
        sections.insert({m.section, m.sectionName});
        // The section as the host names it: "S10/OS9/6809 (CoCo)" is section
        // 10 named "OS9/6809 (CoCo)".
        ASSERT_EQ(headers.count(n), 1u);
        const CaptureHeader& h = headers[n];
        EXPECT_EQ("S" + std::to_string(m.section) + "/" + m.sectionName, h.section);
        // Every reply names its parent; a parent in the file holds it in its thread.
        EXPECT_EQ(m.ref, h.parent);
        if (h.parent != 0 && stored.count(h.parent)) {
          EXPECT_EQ(m.thread, stored[h.parent].thread);
        }
        std::string host;
        EXPECT_FALSE(hostLineIn(m.text, &host)) << "the text holds the host's \"" << host << "\"";
        EXPECT_FALSE(m.text.empty());
      }
      EXPECT_EQ(firstDate, c.firstDate);
      EXPECT_EQ(lastDate, c.lastDate);
      EXPECT_EQ(sections.size(), c.sections);
    }
  }
}

TEST_F(CisCaptureTest, HostLinesEndTheTextAndQuotedHeadersStayInIt) {
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    ASSERT_EQ(importForum(format, capture("1990_CIS05_02.txt"), format + " 1990"), 1) << prompts.transcript();
    auto m1990 = forumMessages(format + " 1990");
    // "There are 2 Replies." follows the signature; the text keeps the
    // host's blank line after the body, as a message without replies does.
    EXPECT_TRUE(m1990[3216].text.ends_with("array of pointers.\r\n\r\nBill\r\n")) << m1990[3216].text;
    EXPECT_TRUE(m1990[3227].text.ends_with("\r\nPete\r\n")) << m1990[3227].text;
    EXPECT_EQ(m1990[3229].text.find("Press <CR>"), std::string::npos) << "the last message ends before the prompt";
    EXPECT_EQ(m1990[3216].ref, 3173u) << "a parent outside the file is still named";
    EXPECT_EQ(m1990[3227].ref, 3216u);
    EXPECT_EQ(m1990[3227].thread, m1990[3216].thread);
    EXPECT_EQ(m1990[3206].sectionName, "Tandy CoCo");
    EXPECT_EQ(m1990[3206].section, 10);

    ASSERT_EQ(importForum(format, capture("800trkthd.ham"), format + " 800"), 1) << prompts.transcript();
    auto m800 = forumMessages(format + " 800");
    // "* Replies:", then "Read action !s": both host lines.
    EXPECT_TRUE(m800[55846].text.ends_with("track a conversation?  \r\n")) << m800[55846].text;
    EXPECT_TRUE(m800[56191].text.ends_with("\r\nTom\r\n\r\n")) << m800[56191].text;
    EXPECT_EQ(m800[55846].subject, "800 Mhz scanning");
    EXPECT_EQ(m800[56038].ref, 55846u);
    EXPECT_EQ(m800[56418].thread, m800[55846].thread) << "three replies down";
    EXPECT_EQ(m800[55846].sectionName, "VHF/UHF Scanning");

    // Two bodies begin with a line quoting a whole header.
    ASSERT_EQ(importForum(format, capture("1992_CIS01_11.txt"), format + " 1992"), 1) << prompts.transcript();
    auto m1992 = forumMessages(format + " 1992");
    EXPECT_TRUE(m1992[13891].text.starts_with("Sb: problems with c files Fm: Bruce Baker 73747,3137 To: all\r\n\r\n"
                                              "I recently dowmloaded"))
        << m1992[13891].text;
    EXPECT_TRUE(m1992[13892].text.starts_with("Sb: boot with ramdisk Fm: Bruce Baker To: all\r\n")) << m1992[13892].text;
    EXPECT_EQ(m1992[13892].sectionName, "OS9/6809 (CoCo)");
    EXPECT_TRUE(m1992[13955].text.ends_with("David Nelms 72527,640\r\n")) << m1992[13955].text;
  }
}

TEST_F(CisCaptureTest, MailShownForumStyleWithoutRecipient) {
  // "#: 2 S0/EasyPlex", a date with its zone and no "To:" line.
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    ASSERT_EQ(importForum(format, capture("1203.ufo"), format + " ufo"), 1) << prompts.transcript();
    auto m = forumMessages(format + " ufo");
    ASSERT_EQ(m.size(), 1u);
    const ForumMessage& e = m[2];
    EXPECT_EQ(e.section, 0);
    EXPECT_EQ(e.sectionName, "EasyPlex");
    EXPECT_EQ(e.date, dateFromYMD(1987, 10, 23));
    EXPECT_EQ(e.subject, "APva 10/23 1653  UFO Sightings");
    EXPECT_EQ(e.fromAddress, "72135,424");
    EXPECT_EQ(e.from, "EXECUTIVE NEWS SVC. 72135,424");
    EXPECT_TRUE(e.text.starts_with("By DIRK BEVERIDGE Associated Press Writer")) << e.text;
  }
  for (std::string format : {"TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format + " as mail");
    std::string owner = freshMailbox(format);
    ImportView v;
    ASSERT_EQ(importFiles(format, {capture("1203.ufo")}, &v), 1) << prompts.transcript();
    auto mails = stored();
    ASSERT_EQ(mails.size(), 1u);
    const StoredMail& m = mails.back();
    EXPECT_EQ(m.subject, "APva 10/23 1653  UFO Sightings");
    EXPECT_EQ(m.fromAddress, "72135,424");
    EXPECT_FALSE(m.fromOwner) << "received";
    EXPECT_EQ(m.toAddress, owner);
    EXPECT_EQ(m.date, dateFromYMD(1987, 10, 23));
    EXPECT_TRUE(m.text.starts_with("By DIRK BEVERIDGE")) << m.text;
  }
}

TEST_F(CisCaptureTest, CaptureOfHostMenusOnlyHoldsNoMessage) {
  for (const std::string& format : kForumFormats) {
    SCOPED_TRACE(format);
    prompts.reset();
    ImportView v;
    importForum(format, capture("1994_CIS08_25.txt"), "Menus", &v);
    EXPECT_EQ(v.tempRecords, 0);
    EXPECT_EQ(v.imported, 0);
    EXPECT_NE(prompts.transcript().find("No messages found"), std::string::npos) << prompts.transcript();
    EXPECT_FALSE(findDatabase("Menus")) << "no database is made for a file without messages";
  }
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
    if (line.starts_with("From: ")) {
      std::smatch m;
      static const std::regex kFrom(R"(^From: (.*) <(\d+)\.(\d+)@compuserve\.com>$)");
      if (std::regex_match(line, m, kFrom)) {
        e.name = m[1];
        e.address = std::string(m[2]) + "," + std::string(m[3]);  // the number as CompuServe writes it
      }
    }
  }
  std::vector<std::string> body;
  while (std::getline(in, line)) body.push_back(line);
  for (size_t i = 0; i < body.size(); ++i) e.body += (i ? "\r\n" : "") + body[i];
  return e;
}

TEST_F(CisCaptureTest, OnlineMailMatchesTheStatedFacts) {
  for (const std::string& format : kMailFormats) {
    for (int n : {1, 2}) {
      SCOPED_TRACE(format + " input." + std::to_string(n));
      ExpectedMail e = readExpected(onlineMail("compuserve.expected." + std::to_string(n)));
      ASSERT_NE(e.date, 0);
      ASSERT_FALSE(e.address.empty());
      std::string owner = freshMailbox(format + " " + std::to_string(n));
      ImportView v;
      ASSERT_EQ(importFiles(format, {onlineMail("compuserve.input." + std::to_string(n))}, &v), 1)
          << prompts.transcript();
      auto mails = stored();
      ASSERT_EQ(mails.size(), 1u) << "body lines that look like headers start no mail";
      const StoredMail& m = mails.back();
      // The date and time as written; the zone is not kept.
      EXPECT_EQ(m.date, e.date);
      EXPECT_EQ(m.time, e.time);
      EXPECT_EQ(m.subject, e.subject);
      EXPECT_EQ(m.fromAddress, e.address);
      EXPECT_EQ(m.from, qv::foldUpper(e.name) + " " + e.address);
      EXPECT_FALSE(m.fromOwner);
      EXPECT_EQ(m.toAddress, owner);
      EXPECT_EQ(m.text, e.body);
    }
  }
}

TEST_F(CisCaptureTest, MailCaptureInTheHostLayout) {
  for (const std::string& format : kMailFormats) {
    SCOPED_TRACE(format);
    freshMailbox(format);
    ImportView v;
    ASSERT_EQ(importFiles(format, {capture("cellular.ham")}, &v), 1) << prompts.transcript();
    auto mails = stored();
    ASSERT_EQ(mails.size(), 1u);
    const StoredMail& m = mails.back();
    EXPECT_EQ(m.subject, "800MHZ");
    EXPECT_EQ(m.date, dateFromYMD(1989, 3, 1));
    EXPECT_EQ(m.time, timeFromHMS(15, 1, 0));
    EXPECT_EQ(m.fromAddress, "72757,3527");
    EXPECT_EQ(m.from, "BILLY ESTES 72757,3527");
    EXPECT_TRUE(m.text.starts_with("800 - 1300 MHZ LISTENING GUIDE")) << m.text.substr(0, 80);
    EXPECT_TRUE(m.text.ends_with(".910  .940  .970\r\n\r\n")) << "the DOS end-of-file mark is no part of the text";
  }
}

}  // namespace
