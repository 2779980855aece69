// Export and print runs over imported databases: the sets of every scope,
// replace and append, the ID range, progress, the two mail files, the
// clipboard, refusals, and round trips of exports through the importers.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "export/clipboard.h"
#include "export/copy_msg.h"
#include "export/export_names.h"
#include "export/print_msg.h"
#include "import/formats.h"
#include "import/import_run.h"
#include "import/parser.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "wordindex/search.h"

using namespace qv;

namespace {

std::string crlf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Two threads in one section: 500 <- 501 <- 502, and 510.
const char* kForum =
    "#: 500 S4/Utilities\n    05-Mar-96 10:11\nSb: First post\nFm: Ann Lee 11111,222\nTo: All\n\nBody one.\n"
    "Second line.\n\n"
    "#: 501 S4/Utilities\n    06-Mar-96 10:11\nSb: #500-First post\nFm: Bob Ray 33333,444\n"
    "To: Ann Lee 11111,222\n\nBody two.\n\n"
    "#: 502 S4/Utilities\n    07-Mar-96 10:11\nSb: #501-First post\nFm: Ann Lee 11111,222\n"
    "To: Bob Ray 33333,444\n\nBody three.\n\n"
    "#: 510 S4/Utilities\n    08-Mar-96 10:11\nSb: Other topic\nFm: Bob Ray 33333,444\nTo: All\n\nBody four.\n\n";

class RecordingClipboard : public Clipboard {
 public:
  void setText(const std::string& t) override { text_ = t; }
  std::string text() override { return text_; }
  std::string text_;
};

class ExportRunTest : public qvtest::InstallationTest {
 protected:
  void TearDown() override {
    setClipboard(nullptr);
    qvtest::InstallationTest::TearDown();
  }

  int import(const std::string& format, const std::string& file, const std::string& forum, uint32_t mailbox = 0) {
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = std::filesystem::path(file).parent_path().string();
    s.masks = {std::filesystem::path(file).filename().string()};
    s.importForum = mailbox == 0;
    s.importMail = mailbox != 0;
    s.mailbox = mailbox;
    s.forumName = forum;
    ImportRun r(s);
    while (r.step()) {
    }
    r.close();
    return r.result();
  }

  std::string source(const std::string& name, const std::string& text) {
    qvtest::writeFile(dir.file(name), crlf(text));
    return dir.file(name);
  }

  void use(const std::string& db) {
    ASSERT_TRUE(findDatabase(db)) << db;
    useDatabase();
  }

  void forum(const std::string& text = kForum) {
    ASSERT_EQ(import("TAPCIS 6.x", source("forum.msg", text), "Test Forum"), 1) << prompts.transcript();
    use("Test Forum");
  }

  static std::string exported(const std::string& name) { return qvtest::readFile(exportPath(name)); }

  // The message numbers of the "#:" lines of an export, in file order.
  static std::vector<uint32_t> numbers(const std::string& text) {
    std::vector<uint32_t> out;
    for (size_t p = text.find("#: "); p != std::string::npos; p = text.find("\r\n#: ", p + 1))
      out.push_back(uint32_t(std::stoul(text.substr(text[p] == '#' ? p + 3 : p + 5))));
    return out;
  }

  int copy(int scope, uint32_t id, CopyRequest r = {}) {
    r.scope = scope;
    r.messageId = id;
    return CopyMsg(r);
  }

  uint32_t mailbox() {
    MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    uint32_t id = AddMailbox(spec, false);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }

  // One received and one sent mail.
  void mail() {
    uint32_t box = mailbox();
    std::string tap =
        "#: 1\n    14-Mar-96 10:00\nSb: Hello Owen\nFm: Friend One >INTERNET:one@example.com\n"
        "To: Owen Owner >INTERNET:owen@example.com\n\nReceived text.\n\n"
        "#: 2\n    15-Mar-96 11:30\nSb: Re: Hello Owen\nFm: Owen Owner >INTERNET:owen@example.com\n"
        "To: Friend One >INTERNET:one@example.com\n\nSent text.\n\n";
    ASSERT_EQ(import("TAPCIS 6.x", source("mail.msg", tap), "", box), 1) << prompts.transcript();
    use("Owen Owner");
  }
};

TEST_F(ExportRunTest, ThreadInLayoutOneReplacedAndAppended) {
  forum();
  ASSERT_EQ(copy(4, 501), CopyDone) << prompts.transcript();
  std::string text = exported("SaveMsg.Txt");
  EXPECT_EQ(numbers(text), (std::vector<uint32_t>{500, 501, 502}));
  EXPECT_NE(text.find("#: 501 S4/Utilities  [Test Forum]\r\n    06-Mar-96 10:11:00 \r\nSb: #500-First post\r\n"
                      "Fm: Ray,Bob 33333,444\r\nTo: Lee,Ann 11111,222\r\n\r\nBody two.\r\n\r\n#: 502"),
            std::string::npos)
      << text;
  ASSERT_EQ(copy(3, 510), CopyDone);
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{500, 501, 502, 510}));
  ASSERT_EQ(copy(2, 510), CopyDone);
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{510}));
}

TEST_F(ExportRunTest, EveryForumScopeWalksItsSet) {
  forum();
  struct Case {
    int scope;
    uint32_t current;
    std::vector<uint32_t> ids;
  };
  for (const Case& c : {Case{6, 502, {500, 502}}, Case{8, 501, {501}}, Case{10, 501, {500, 501, 502, 510}},
                        Case{12, 0, {500, 501, 502, 510}}}) {
    SCOPED_TRACE(c.scope);
    ASSERT_EQ(copy(c.scope, c.current), CopyDone) << prompts.transcript();
    EXPECT_EQ(numbers(exported("SaveMsg.Txt")), c.ids);
  }

  // Word, topic and search result, from records written as the index,
  // the topic links and the search would write them.
  OP_CLOSE(OpShared, {FileMasIdx, FileSIndex});
  for (auto [word, id] : {std::pair<uint32_t, uint32_t>{7, 502}, {7, 500}, {8, 501}}) {
    MAS = MasIdxRec();
    MAS.SYSID = id;
    MAS.WORDID = word;
    ASSERT_TRUE(MasIdx.add());
  }
  SIN = SIndexRec();
  SIN.ID = 99;
  SIN.MSGNUMBER = 510;
  ASSERT_TRUE(SIndex.add());
  OP_CLOSE(OpRelease, {FileMasIdx, FileSIndex});
  ASSERT_TRUE(writeSearchFile({510, 501, 999999}));

  CopyRequest r;
  r.wordId = 7;
  ASSERT_EQ(copy(14, 0, r), CopyDone);
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{500, 502}));
  r.topicId = 99;
  ASSERT_EQ(copy(16, 0, r), CopyDone);
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{510}));
  CopyRequest result;
  result.scope = 18;
  CopyRun run(result);
  while (run.step()) {
  }
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{501, 510}));
  EXPECT_EQ(run.view().skipped, 1) << "a result that is not in this database is passed over";
}

TEST_F(ExportRunTest, IdRangeAndProgressEveryFiftyMessages) {
  std::string big;
  for (int i = 1; i <= 120; ++i)
    big += "#: " + std::to_string(1000 + i) + " S1/General\n    05-Mar-96 10:11\nSb: Topic " + std::to_string(i) +
           "\nFm: Ann Lee 11111,222\nTo: All\n\nText " + std::to_string(i) + ".\n\n";
  forum(big);
  CopyRequest r;
  r.scope = 12;
  std::vector<int64_t> seen;
  ASSERT_EQ(CopyMsg(r, [&](const CopyView& v) { seen.push_back(v.written); }), CopyDone);
  EXPECT_EQ(seen, (std::vector<int64_t>{50, 100, 120}));

  r.filter.idRange = true;
  r.filter.lowId = 1010;
  r.filter.highId = 1012;
  CopyRun run(r);
  while (run.step()) {
  }
  EXPECT_EQ(numbers(exported("SaveMsg.Txt")), (std::vector<uint32_t>{1010, 1011, 1012}));
  EXPECT_EQ(run.view().skipped, 117);
}

TEST_F(ExportRunTest, MailLayoutTwoSplitsReceivedAndOwnMail) {
  mail();
  KonfigSet(ItemExportLayoutMail, 2);
  ASSERT_EQ(copy(12, 0), CopyDone) << prompts.transcript();
  std::string in = exported("InBox.Mbx"), out = exported("OutBox.Mbx");
  EXPECT_EQ(in.rfind("From ???@??? Thu Mar 14 10:00:00 1996\r\nDate: Thu, 14 Mar 1996 10:00:00\r\n"
                     "From: Friend One <one@example.com>\r\nTo: Owen Owner <owen@example.com>\r\n"
                     "Subject: Hello Owen\r\n\r\nReceived text.\r\n\r\n",
                     0),
            0u)
      << in;
  EXPECT_EQ(out.find("Received"), std::string::npos);
  EXPECT_EQ(out.rfind("From ???@??? Fri Mar 15 11:30:00 1996\r\nTo: Friend One <one@example.com>\r\n", 0), 0u) << out;

  CopyRequest same;
  same.defaultNames = false;
  same.file1 = same.file2 = "Both.Mbx";
  prompts.reset();
  EXPECT_EQ(copy(12, 0, same), CopyFailed);
  EXPECT_EQ(onlyRequest().text, "Inbox and Outbox files cannot have the same name.");
  EXPECT_EQ(onlyRequest().caption, "File name conflict");
  EXPECT_FALSE(std::filesystem::exists(exportPath("Both.Mbx")));

  prompts.reset();
  EXPECT_EQ(copy(10, 0), CopyFailed) << "a mail database has no sections";
  EXPECT_EQ(prompts.requests.size(), 1u);
}

TEST_F(ExportRunTest, NewsgroupMessagesWithTheirIdentifiers) {
  std::string spool =
      "From news@example.org Fri Dec  5 10:00:00 1997\nNewsgroups: comp.test\nMessage-ID: <a@x.org>\n"
      "From: Ann Lee <ann@x.org>\nDate: Fri, 5 Dec 1997 10:00:00 +0000\nSubject: Question\n\nFirst.\n\n"
      "From news@example.org Sat Dec  6 10:00:00 1997\nNewsgroups: comp.test\nMessage-ID: <b@x.org>\n"
      "References: <a@x.org>\nFrom: Bob Ray <bob@x.org>\nDate: Sat, 6 Dec 1997 10:00:00 +0000\n"
      "Subject: Re: Question\n\nSecond.\n";
  ImportSettings s;
  s.format = "Unix News";
  s.method = SelectFiles;
  s.path = dir.path();
  s.masks = {"spool"};
  s.importNews = true;
  qvtest::writeFile(dir.file("spool"), spool);
  ImportRun run(s);
  while (run.step()) {
  }
  run.close();
  ASSERT_EQ(run.result(), 1) << prompts.transcript();
  use("comp.test");
  ASSERT_EQ(copy(12, 0), CopyDone) << prompts.transcript();
  std::string text = exported("SaveMsg.Txt");
  EXPECT_NE(text.find("From ???@??? Sat Dec 06 10:00:00 1997\r\nFrom: Bob Ray <bob@x.org>\r\n"
                      "Newsgroups: comp.test\r\nDate: 06-Dec-1997 10:00:00 \r\nSubject: Question\r\n"
                      "Message-ID: <b@x.org>\r\nReferences: <a@x.org>\r\n\r\nSecond.\r\n"),
            std::string::npos)
      << text;

  // The reply's identifier lost from the message-ID file: an empty line.
  OP_CLOSE(OpShared, {FileMsgIdIndex});
  MST = MsgIdIndexRec();
  MST.IDSTRING = "<b@x.org>";
  ASSERT_TRUE(MsgIdIndex.get(MST_IDSTRINGKEY));
  uint32_t reply = MST.MSGNUMBER;
  ASSERT_TRUE(MsgIdIndex.remove());
  OP_CLOSE(OpRelease, {FileMsgIdIndex});
  ASSERT_EQ(copy(2, reply), CopyDone);
  EXPECT_NE(exported("SaveMsg.Txt").find("\r\nMessage-ID: \r\nReferences: <a@x.org>\r\n"), std::string::npos);
}

TEST_F(ExportRunTest, ClipboardAndRefusalsLeaveFilesAlone) {
  forum();
  RecordingClipboard clip;
  EXPECT_EQ(copy(1, 501), CopyFailed) << "no clipboard installed";
  setClipboard(&clip);
  prompts.reset();
  ASSERT_EQ(copy(1, 501), CopyDone) << prompts.transcript();
  EXPECT_NE(clip.text_.find("\r\nSubject: First post\r\nFrom: Ray,Bob 33333,444\r\n"), std::string::npos);
  EXPECT_NE(clip.text_.find("MsgNo: 501 (reply to 500)\r\n" + std::string(64, '-') + "\r\nBody two.\r\n"),
            std::string::npos)
      << clip.text_;

  ASSERT_EQ(copy(2, 510), CopyDone);
  std::string before = exported("SaveMsg.Txt");
  prompts.reset();
  EXPECT_EQ(copy(4, 4242), CopyFailed);
  EXPECT_EQ(onlyRequest().text, "The message 4242 is not in the database.");
  CopyRequest bad;
  bad.defaultNames = false;
  bad.file1 = "IDX003.ADF";
  EXPECT_EQ(copy(2, 510, bad), CopyFailed);
  EXPECT_EQ(exported("SaveMsg.Txt"), before);
}

TEST_F(ExportRunTest, PrintRunMakesTitleAndBlocksOfTheSet) {
  forum();
  PrintRequest r;
  r.scope = 2;
  r.messageId = 502;
  PrintRun run(r);
  std::vector<PrintBlock> blocks;
  while (run.step())
    for (PrintBlock& b : run.takeBlocks()) blocks.push_back(std::move(b));
  for (PrintBlock& b : run.takeBlocks()) blocks.push_back(std::move(b));
  ASSERT_EQ(run.result(), PrintDone);
  EXPECT_EQ(run.view().title, "Messages from the Quorvane Message Archiver Database");
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[1].header[0], "Message: 501  (reply to 500)");
  EXPECT_EQ(blocks[0].lines, (std::vector<std::string>{"Body one.", "Second line."}));

  mail();
  r.scope = 5;
  PrintRun section(r);
  while (section.step()) {
  }
  EXPECT_EQ(section.result(), PrintFailed) << "mail has no sections to print";
}

// What an exported text reads back as: the empty line that closes every
// exported message comes back as the text's last line break.
std::string closedText(std::string t) {
  while (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) t.resize(t.size() - 2);
  return t;
}

struct Message {
  uint32_t ref;
  int32_t date;
  std::string subject, from, to, text;
  bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Message& m) {
  return o << m.ref << "|" << m.date << "|" << m.subject << "|" << m.from << "|" << m.to << "|" << m.text;
}

// The messages of the current forum database, by number, as the export reads them.
std::map<uint32_t, Message> forumMessages() {
  std::map<uint32_t, Message> out;
  MessageWalk walk({MessageSet::Database});
  EXPECT_TRUE(walk.open());
  while (walk.collect(1000)) {
  }
  for (uint32_t id : walk.ids()) {
    MessageData m;
    EXPECT_TRUE(walk.read(id, m));
    out[id] = {m.ref, m.date, m.subject, forumPerson(m.from), forumPerson(m.to), closedText(m.text)};
  }
  return out;
}

TEST_F(ExportRunTest, ForumExportImportsBackThroughTheCaptureReader) {
  forum();
  std::map<uint32_t, Message> before = forumMessages();
  ASSERT_EQ(copy(12, 0), CopyDone);
  std::filesystem::copy_file(exportPath("SaveMsg.Txt"), dir.file("SaveMsg.Txt"));
  ASSERT_EQ(import("TAPCIS 6.x", dir.file("SaveMsg.Txt"), "Copy Forum"), 1) << prompts.transcript();
  use("Copy Forum");
  std::map<uint32_t, Message> after = forumMessages();
  EXPECT_EQ(after, before);
}

struct Mailed {
  int32_t date, time;
  bool outgoing;
  std::string partner, text;
  bool operator==(const Mailed&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Mailed& m) {
  return o << m.date << "|" << m.time << "|" << m.outgoing << "|" << m.partner << "|" << m.text;
}

// The mail of the current mailbox by subject, as the export reads it.
std::map<std::string, Mailed> mailMessages() {
  std::map<std::string, Mailed> out;
  MessageWalk walk({MessageSet::Database});
  EXPECT_TRUE(walk.open());
  while (walk.collect(1000)) {
  }
  for (uint32_t id : walk.ids()) {
    MessageData m;
    EXPECT_TRUE(walk.read(id, m));
    out[m.subject] = {m.date, m.time, m.outgoing, internetPerson(m.outgoing ? m.to : m.from), closedText(m.text)};
  }
  return out;
}

TEST_F(ExportRunTest, MailExportImportsBackThroughTheMailboxReader) {
  const FormatInfo* eudora = formatByName("Eudora");
  if (eudora == nullptr || makeParser(*eudora) == nullptr)
    GTEST_SKIP() << "the Eudora mailbox reader is not built yet";
  mail();
  KonfigSet(ItemExportLayoutMail, 2);
  std::map<std::string, Mailed> before = mailMessages();
  ASSERT_EQ(copy(12, 0), CopyDone);
  for (const char* f : {"InBox.Mbx", "OutBox.Mbx"}) std::filesystem::copy_file(exportPath(f), dir.file(f));

  MailboxSpec spec;
  spec.owner = "Copy Owner";
  spec.address = "owen@example.com";
  uint32_t box = AddMailbox(spec, false);
  ASSERT_EQ(import("Eudora", dir.file("InBox.Mbx"), "", box), 1) << prompts.transcript();
  ASSERT_EQ(import("Eudora", dir.file("OutBox.Mbx"), "", box), 1) << prompts.transcript();
  use("Copy Owner");
  std::map<std::string, Mailed> after = mailMessages();
  EXPECT_EQ(after, before);
}

}  // namespace
