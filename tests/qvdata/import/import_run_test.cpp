// The import run from source files to posted messages: every line format,
// mail direction, reimport, database creation only, stops, missing and
// foreign files, low disk space and unattended runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "import/parsers/dbf_store_reader.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"
#include "support/memory_table.h"
#include "support/services_fixture.h"
#include "support/text_lines.h"

using namespace qv;
using qvtest::crlf;
namespace fs = std::filesystem;

namespace {

struct Posted {
  uint32_t number, ref, thread, from, to, section;
  int32_t date;
  std::string subject, text;
};

class ImportRunTest : public qvtest::InstallationTest {
 protected:
  void TearDown() override {
    setFreeSpaceFunction(nullptr);
    qvtest::InstallationTest::TearDown();
  }

  std::string source(const std::string& name, const std::string& text) {
    std::string p = dir.file(name);
    qvtest::writeFile(p, crlf(text));
    return p;
  }

  ImportSettings settings(const std::string& format, std::vector<std::string> files) {
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = std::move(files);
    s.importForum = true;
    return s;
  }

  // Runs an import to its end and returns its result.
  int run(const ImportSettings& s, ImportView* view = nullptr) {
    ImportRun r(s);
    int guard = 0;
    while (r.step() && ++guard < 100000) {
    }
    r.close();
    if (view) *view = r.view();
    return r.result();
  }

  uint32_t databaseId(const std::string& name) {
    if (!findDatabase(name)) return 0;
    return FOR.ID;
  }

  // The messages of a forum or newsgroup database, by number.
  std::map<uint32_t, Posted> messages(const std::string& db) {
    std::map<uint32_t, Posted> out;
    if (!findDatabase(db)) return out;
    useDatabase();
    OP_CLOSE(OpShared, {FileMsgNmbr, FileMsgText, FileThreads});
    MsgNmbr.set(MSG_IdKey);
    while (MsgNmbr.next()) {
      Posted p{MSG.MSGNUMBER, MSG.REFNUMBER, MSG.THREADNUMBER, MSG.FROMID, MSG.TOID, MSG.SECSYSID, MSG.DATE, "", ""};
      out[p.number] = p;
    }
    for (auto& [n, p] : out) {
      THR = ThreadsRec();
      THR.THREADNUMBER = p.thread;
      if (Threads.get(THR_ThreadKey)) p.subject = joinedHeading(THR.ALPHA, THR.BETA);
      TXT = MsgTextRec();
      TXT.MSGNUMBER = n;
      if (MsgText.get(TXT_IdKey)) p.text = TXT.MsgText;
    }
    OP_CLOSE(OpRelease, {FileMsgNmbr, FileMsgText, FileThreads});
    return out;
  }

  PersonRec person(const std::string& db, uint32_t id) {
    findDatabase(db);
    useDatabase();
    OP_CLOSE(OpShared, {FilePerson});
    PER = PersonRec();
    PER.PERSONID = id;
    Person.get(PER_PersonKey);
    PersonRec p = PER;
    OP_CLOSE(OpRelease, {FilePerson});
    return p;
  }

  template <typename Rec>
  std::vector<Rec> all(const std::string& db, int number, File& f, Rec& buffer) {
    std::vector<Rec> out;
    findDatabase(db);
    useDatabase();
    OP_CLOSE(OpShared, {number});
    f.setFileOrder();
    while (f.next()) out.push_back(buffer);
    OP_CLOSE(OpRelease, {number});
    return out;
  }

  size_t saveFileRecords() {
    OP_CLOSE(OpShared, {FileImpRegistry});
    size_t n = size_t(ImpRegistry.records());
    OP_CLOSE(OpRelease, {FileImpRegistry});
    return n;
  }

  uint32_t addMailbox(const std::string& owner, const std::string& address, const std::string& alt = "") {
    MailboxSpec spec;
    spec.owner = owner;
    spec.address = address;
    spec.alternatives[0] = alt;
    uint32_t id = AddMailbox(spec, false);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
};

const char* kOzWin2 = R"(Lines before the first message are ignored.
#: 7780 S3/Tools (Windows Forum)
    12-Mär-96  14:22:10
Sb: Printer drivers
Fm: John Smith 12345,678
To: All

The driver fails.
Any ideas?

#: 7788 S3/Tools (Windows Forum)
    13-Mar-96  09:01
Sb: #7780-Printer drivers
Fm: Mary Jones 23456,789
To: John Smith 12345,678


Try the new one.
#: 7790 S3/Tools (Windows Forum)
     1-Okt-96  10:00
Sb: #7780-Printer drivers
Fm: John Smith 12345,678
To: Mary Jones 23456,789

Thanks, that works.
#: 42 S1/General (CIS:Mac Forum)
    24-Dez-97  23:59
Sb: Hello Mac
Fm: Pete Brown >INTERNET:pete@example.com
To: All

Mac text.
#: 43 S2/Hardware (Mac Forum)
    25-Dez-97  08:00
Sb: Disks
Fm: Pete Brown >INTERNET:pete@example.com
To: All

Disk text.
)";

TEST_F(ImportRunTest, OzWinTwoFileFeedsSeveralForumsWithThreadsPersonsAndCounts) {
  ImportView v;
  ASSERT_EQ(run(settings("OzWin II", {source("a.msg", kOzWin2)}), &v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 5);
  EXPECT_EQ(v.skipped, 0);
  EXPECT_EQ(v.status, "The import process has finished!");

  auto win = messages("Windows Forum");
  ASSERT_EQ(win.size(), 3u);
  // One thread through the reply references, in one section.
  EXPECT_EQ(win[7788].ref, 7780u);
  EXPECT_EQ(win[7788].thread, win[7780].thread);
  EXPECT_EQ(win[7790].thread, win[7780].thread);
  EXPECT_EQ(win[7780].subject, "Printer drivers");
  EXPECT_EQ(win[7780].section, win[7790].section);
  EXPECT_EQ(win[7780].date, dateFromYMD(1996, 3, 12));  // German month
  EXPECT_EQ(win[7790].date, dateFromYMD(1996, 10, 1));
  EXPECT_EQ(win[7780].text, "The driver fails.\r\nAny ideas?\r\n");  // up to the next message
  EXPECT_EQ(win[7788].text, "Try the new one.");  // leading empty lines dropped

  // Persons with their counts: John sent two, received one.
  PersonRec john = person("Windows Forum", win[7780].from);
  EXPECT_EQ(john.LASTNAME.str(), "Smith");
  EXPECT_EQ(john.FIRSTNAME.str(), "John");
  EXPECT_EQ(john.ADDRESS.str(), "12345,678");
  EXPECT_EQ(john.FROMCOUNT, 2u);
  EXPECT_EQ(john.TOCOUNT, 1u);
  EXPECT_EQ(win[7788].to, win[7780].from);

  // Thread and section counts.
  auto threads = all("Windows Forum", FileThreads, Threads, THR);
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0].MSGCOUNT, 3u);
  auto sections = all("Windows Forum", FileSections, Sections, SEC);
  ASSERT_EQ(sections.size(), 1u);
  EXPECT_EQ(sections[0].SECTIONNUMBER, 3);
  EXPECT_EQ(sections[0].DESCRIPTION.str(), "Tools");
  EXPECT_EQ(sections[0].MSGCOUNT, 3u);

  // "CIS:" is dropped from the forum name; two sections there.
  auto mac = messages("Mac Forum");
  ASSERT_EQ(mac.size(), 2u);
  EXPECT_NE(mac[42].section, mac[43].section);
  EXPECT_EQ(mac[42].date, dateFromYMD(1997, 12, 24));
  EXPECT_EQ(person("Mac Forum", mac[42].from).ADDRESS.str(), "pete@example.com");

  // The database list: counts and self-descriptions of the new databases.
  auto list = listDatabases(KindForumDb);
  ASSERT_EQ(list.size(), 2u);
  for (const DatabaseEntry& d : list) {
    EXPECT_EQ(d.messages, d.name == "Mac Forum" ? 2u : 3u);
    auto ref = all(d.name, FileDbRef, DbRef, REF);
    ASSERT_EQ(ref.size(), 1u);
    EXPECT_EQ(ref[0].DESCRIPTION.str(), d.name);
    EXPECT_EQ(ref[0].TYPE, KindForumDb);
  }
  EXPECT_EQ(saveFileRecords(), 5u);
}

// The same forum message in the layout of each line format.
std::string forumFile(const std::string& format, bool withForumName) {
  bool tapcis5 = format == "TAPCIS 5.x";
  std::string forum = withForumName ? " (Test Forum)" : "";
  std::string date = tapcis5 ? "    05-MAR-96 10:11" : "    5-Mar-96  10:11";
  std::string at = tapcis5 ? "@b" : "";
  return "#: 500 S4/Utilities" + forum + "\n" + date + "\nSb: First post" + at + "\nFm: Ann Lee 11111,222" + at +
         "\nTo: All\n\nBody one.\n#: 501 S4/Utilities" + forum + "\n" + date +
         "\nSb: #500-First post\nFm: Bob Ray 33333,444\nTo: Ann Lee 11111,222\n\nBody two.\n";
}

TEST_F(ImportRunTest, EveryLineFormatImportsForumMessages) {
  for (std::string format : {"OzCIS", "OzWin I", "OzWin II", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    bool named = format == "OzWin I" || format == "OzWin II";
    std::string db = named ? "Test Forum" : format + " forum";
    ImportSettings s = settings(format, {source(format + ".txt", forumFile(format, named))});
    if (!named) s.forumName = db;
    prompts.reset();
    ASSERT_EQ(run(s), 1) << prompts.transcript();
    auto m = messages(db);
    ASSERT_EQ(m.size(), 2u) << prompts.transcript();
    EXPECT_EQ(m[501].ref, 500u);
    EXPECT_EQ(m[501].thread, m[500].thread);
    EXPECT_EQ(m[500].subject, "First post");
    EXPECT_EQ(m[500].date, dateFromYMD(1996, 3, 5));
    EXPECT_EQ(m[500].text, "Body one.");
    EXPECT_EQ(person(db, m[500].from).ADDRESS.str(), "11111,222");
    if (named) {  // the next format's file names the same forum: start again clean
      OP_CLOSE(OpShared, {FileForums});
      FOR = ForumsRec();
      FOR.DESCRIPTION = db;
      if (Forums.get(FOR_AlphaKey)) Forums.remove();
      OP_CLOSE(OpRelease, {FileForums});
    }
  }
}

TEST_F(ImportRunTest, NavCisSaveFileImportsForumMessages) {
  std::string text =
      "Subject:  First post                        Msg Number: 900\n"
      "   From:  Ann Lee 11111,222\n"
      "     To:  All\n"
      "  Forum:  Save Forum   Sec: 5-Chat\n"
      "\n"
      "Saved body.\n"
      "Subject:  #900     Re: First post           Msg Number: 901\n"
      "   From:  Bob Ray 33333,444\n"
      "     To:  Ann Lee 11111,222\n"
      "  Forum:  Save Forum   Sec: 5-Chat\n"
      "\n"
      "Reply body.\n";
  ASSERT_EQ(run(settings("NavCIS Save format", {source("n.sav", text)})), 1) << prompts.transcript();
  auto m = messages("Save Forum");
  ASSERT_EQ(m.size(), 2u) << prompts.transcript();
  EXPECT_EQ(m[901].ref, 900u);
  EXPECT_EQ(m[901].thread, m[900].thread);
  EXPECT_EQ(person("Save Forum", m[901].from).LASTNAME.str(), "Ray");
}

TEST_F(ImportRunTest, MailIsFiledSentOrReceivedByTheOwnersAddresses) {
  addMailbox("Owen Owner", "70000,100", "owner@example.com");
  // OzCIS mail: From: a received mail, MgTo: a sent one.
  std::string oz =
      "\nDate:  12-Mar-96  14:22\nFrom: Friend One 12121,212\nSubj: Hello Owen\n\nHi Owen.\n"
      "Date:  13-Mar-96  09:30:15\nMgTo: Friend One 12121,212\nSubj: Re: Hello Owen\n\nHi back.\n";
  // TAPCIS 6.x mail from the owner's alternative address: sent.
  std::string tap =
      "#: 1\n    14-Mar-96 10:00\nSb: From the other address\nFm: Owen >INTERNET:owner@example.com\n"
      "To: Friend Two >INTERNET:two@example.com\n\nSent text.\n";
  ImportSettings s = settings("OzCIS", {source("mail.msg", oz)});
  s.importForum = false;
  s.importMail = true;
  s.mailbox = databaseId("Owen Owner");
  ASSERT_EQ(run(s), 1) << prompts.transcript();
  s.format = "TAPCIS 6.x";
  s.masks = {source("mail2.msg", tap)};
  ASSERT_EQ(run(s), 1) << prompts.transcript();

  auto mails = all("Owen Owner", FileMail, Mail, MAI);
  ASSERT_EQ(mails.size(), 3u);
  std::map<std::string, MailRec> bySubject;
  for (auto& m : mails) bySubject[m.SUBJECT.str()] = m;
  findDatabase("Owen Owner");
  uint32_t owner = FOR.PERSONID;
  const MailRec& in = bySubject["Hello Owen"];
  const MailRec& out = bySubject["Re: Hello Owen"];
  const MailRec& alt = bySubject["From the other address"];
  EXPECT_EQ(in.TOID, owner);
  EXPECT_EQ(in.PAIRID, in.FROMID);
  EXPECT_EQ(out.FROMID, owner);
  EXPECT_EQ(out.PAIRID, out.TOID);
  EXPECT_EQ(out.TIME, timeFromHMS(9, 30, 15)) << "a mail keeps its seconds";
  EXPECT_EQ(alt.FROMID, owner) << "mail from an alternative address is the owner's";
  EXPECT_EQ(person("Owen Owner", out.TOID).ADDRESS.str(), "12121,212");
  EXPECT_EQ(person("Owen Owner", owner).FROMCOUNT, 2u);
  EXPECT_EQ(person("Owen Owner", owner).TOCOUNT, 1u);
}

TEST_F(ImportRunTest, ReimportSkipsOrUpdatesWithoutGrowingCounts) {
  std::string path = source("a.msg", kOzWin2);
  ASSERT_EQ(run(settings("OzWin II", {path})), 1);
  auto before = messages("Windows Forum");

  // Without reimport every recorded message is skipped before conversion.
  ImportView v;
  run(settings("OzWin II", {path}), &v);
  EXPECT_EQ(v.imported, 0);
  EXPECT_EQ(v.skipped, 5);
  EXPECT_EQ(v.tempRecords, 0);

  // With reimport the messages and texts are updated in place; counts stay.
  qvtest::writeFile(path, crlf(std::string(kOzWin2).replace(std::string(kOzWin2).find("Any ideas?"), 10, "Changed!!!")));
  ImportSettings s = settings("OzWin II", {path});
  s.allowReimport = true;
  ASSERT_EQ(run(s, &v), 1);
  EXPECT_EQ(v.imported, 5);
  auto after = messages("Windows Forum");
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[7780].text, "The driver fails.\r\nChanged!!!\r\n");
  EXPECT_EQ(person("Windows Forum", after[7780].from).FROMCOUNT, 2u);
  auto threads = all("Windows Forum", FileThreads, Threads, THR);
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0].MSGCOUNT, 3u);
  EXPECT_EQ(saveFileRecords(), 5u);
}

TEST_F(ImportRunTest, DatabaseCreationOnlyMakesTheDatabasesAndNoMessages) {
  ImportSettings s = settings("OzWin II", {source("a.msg", kOzWin2)});
  s.filter = FilterCreateOnly;
  ImportView v;
  run(s, &v);
  EXPECT_EQ(v.imported, 0);
  EXPECT_EQ(v.skipped, 5);
  auto list = listDatabases(KindForumDb);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(messages("Windows Forum").empty());
  EXPECT_EQ(saveFileRecords(), 0u);
}

TEST_F(ImportRunTest, StopDuringPostingKeepsWhatWasPostedWithItsCounts) {
  std::string text;
  for (int i = 1; i <= 120; ++i)
    text += "#: " + std::to_string(1000 + i) + " S1/Chat (Big Forum)\n    1-Jan-99  10:00\nSb: Topic " +
            std::to_string(i % 7) + "\nFm: Person " + std::to_string(i % 5) + " 1000" + std::to_string(i % 5) +
            ",1\nTo: All\n\nText " + std::to_string(i) + "\n";
  ImportRun r(settings("OzWin II", {source("big.msg", text)}));
  while (r.step() && r.stage() != ImportStage::PostMessages) {
  }
  ASSERT_EQ(r.stage(), ImportStage::PostMessages);
  r.step();  // one slice posted
  // Counts are committed with the messages: nothing to warn about, the run
  // closes at once, not completed, and what was posted stays.
  EXPECT_TRUE(r.stop());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_TRUE(r.closed());
  EXPECT_EQ(r.result(), 2);
  EXPECT_EQ(r.view().status, "The import was interrupted: the messages posted so far are kept.");
  auto posted = messages("Big Forum");
  EXPECT_GT(posted.size(), 0u);
  EXPECT_LT(posted.size(), 120u);
  EXPECT_EQ(posted.size(), size_t(r.view().imported));
  // Every count agrees with the messages kept.
  ASSERT_TRUE(findDatabase("Big Forum"));
  EXPECT_EQ(FOR.MSGCOUNT, posted.size());
  useDatabase();
  OP_CLOSE(OpShared, {FilePerson, FileSections, FileThreads});
  uint64_t persons = 0, threads = 0, sections = 0;
  Person.setFileOrder();
  while (Person.next()) persons += PER.FROMCOUNT;
  Threads.setFileOrder();
  while (Threads.next()) threads += THR.MSGCOUNT;
  Sections.setFileOrder();
  while (Sections.next()) sections += SEC.MSGCOUNT;
  OP_CLOSE(OpRelease, {FilePerson, FileSections, FileThreads});
  EXPECT_EQ(persons, posted.size());
  EXPECT_EQ(threads, posted.size());
  EXPECT_EQ(sections, posted.size());
}

TEST_F(ImportRunTest, StopDuringConversionLeavesDatabasesUnchanged) {
  std::string text;
  for (int i = 1; i <= 80; ++i)
    text += "#: " + std::to_string(i) + " S1/Chat (Quiet Forum)\n    1-Jan-99  10:00\nSb: T\nFm: A B 1,1\nTo: All\n\nx\n";
  ImportRun r(settings("OzWin II", {source("q.msg", text)}));
  while (r.step() && r.stage() != ImportStage::ConvertFile) {
  }
  r.step();
  EXPECT_TRUE(r.stop());
  EXPECT_TRUE(prompts.requests.empty()) << "no question before posting";
  EXPECT_TRUE(listDatabases().empty());
}

TEST_F(ImportRunTest, MissingAndForeignFilesAreSkippedAndChangeNothing) {
  ASSERT_EQ(run(settings("OzWin II", {source("a.msg", kOzWin2)})), 1);
  auto before = qvtest::snapshotTree(qv::Mem.FileDir + "/F1");
  auto listBefore = listDatabases();
  prompts.reset();

  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += char((i * 131 + 7) % 256);
  qvtest::writeFile(dir.file("garbage.msg"), garbage);
  std::string truncated = std::string(kOzWin2).substr(0, 40);  // a "#:" line and half a date
  qvtest::writeFile(dir.file("truncated.msg"), truncated);
  std::string navcis = "Subject:  Hi   Msg Number: 5\n   From:  A B 1,1\n     To:  All\n  Forum:  F   Sec: 1-x\n\nx\n";
  qvtest::writeFile(dir.file("other.msg"), crlf(navcis));

  ImportView v;
  int result = run(settings("OzWin II", {dir.file("missing.msg"), dir.file("garbage.msg"), dir.file("truncated.msg"),
                                         dir.file("other.msg")}),
                   &v);
  EXPECT_EQ(v.imported, 0);
  std::string shown = prompts.transcript();
  EXPECT_NE(shown.find("The file " + dir.file("missing.msg") + " does not exist and will be skipped!"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("Not a Forum message or mail file!\r\nMessages will not be imported!"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("No messages found in selected file(s)!\r\nImport unsuccessful!"), std::string::npos) << shown;
  EXPECT_NE(result, 1);
  EXPECT_EQ(qvtest::snapshotTree(qv::Mem.FileDir + "/F1"), before);
  EXPECT_EQ(listDatabases().size(), listBefore.size());
}

TEST_F(ImportRunTest, UnattendedRunShowsNothing) {
  Mem.DoTask = RunUnattended;
  std::string garbage(3000, '\x01');
  qvtest::writeFile(dir.file("garbage.msg"), garbage);
  setFreeSpaceFunction([](const std::string&) { return int64_t(1000); });
  ImportView v;
  run(settings("OzWin II", {dir.file("missing.msg"), dir.file("garbage.msg"), source("a.msg", kOzWin2)}), &v);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(v.caption, "Scheduled import");
}

TEST_F(ImportRunTest, LowSpaceDuringConversionAsksAndCancels) {
  std::string text;
  for (int i = 1; i <= 200; ++i)
    text += "#: " + std::to_string(i) + " S1/Chat (Space Forum)\n    1-Jan-99  10:00\nSb: T\nFm: A B 1,1\nTo: All\n\nx\n";
  setFreeSpaceFunction([](const std::string&) { return int64_t(1234567); });
  prompts.script(BtnOk);      // go on once
  prompts.script(BtnCancel);  // then give up
  ImportView v;
  int result = run(settings("OzWin II", {source("s.msg", text)}), &v);
  EXPECT_NE(result, 1);
  ASSERT_GE(prompts.requests.size(), 2u) << prompts.transcript();
  const PromptRequest& q = prompts.requests[0];
  EXPECT_EQ(q.caption, "Warning");
  EXPECT_EQ(q.buttons, unsigned(BtnOk | BtnCancel));
  EXPECT_EQ(q.defaultButton, BtnCancel);
  EXPECT_EQ(q.text.rfind("You have only 1,234,567 bytes free on disk ", 0), 0u) << q.text;
  EXPECT_NE(q.text.find("This may be too little for the temporary importfile."), std::string::npos);
  EXPECT_TRUE(listDatabases().empty()) << "nothing was posted";
}

TEST_F(ImportRunTest, LowSpaceWhilePostingStopsAfterCommitting) {
  std::string text;
  for (int i = 1; i <= 200; ++i)
    text += "#: " + std::to_string(i) + " S1/Chat (Full Forum)\n    1-Jan-99  10:00\nSb: T\nFm: A B 1,1\nTo: All\n\nx\n";
  std::string dataRoot;
  setFreeSpaceFunction([&](const std::string& d) {
    return d == Mem.FileDir && d != Mem.TempDir ? int64_t(100) : int64_t(1) << 40;
  });
  // Keep the temporary directory apart from the data root so the two checks differ.
  ImportRun r(settings("OzWin II", {source("f.msg", text)}));
  std::string temp = Mem.TempDir;
  ASSERT_NE(temp, Mem.FileDir);
  prompts.script(BtnOk);  // there is room for the copy of the temporary file after all
  prompts.script(BtnCancel);
  int guard = 0;
  while (r.step() && ++guard < 10000) {
  }
  r.close();
  std::string shown = prompts.transcript();
  EXPECT_NE(shown.find("This may be too little for this process."), std::string::npos) << shown;
  EXPECT_NE(shown.find("This may be too little to allow import."), std::string::npos) << shown;
  size_t posted = messages("Full Forum").size();
  EXPECT_GT(posted, 0u);
  EXPECT_LT(posted, 200u);
}

}  // namespace

namespace {

qv::dbfstore::DbfRow navRow(const std::string& forum, int64_t internal, const std::string& number,
                            const std::string& parent, const std::string& subject, const std::string& from,
                            const std::string& fromId, const std::string& to, const std::string& toId) {
  qv::dbfstore::DbfRow r;
  r.columns = {{"FORUM_NAME", forum},   {"INTERNAL", std::to_string(internal)},
               {"SEC_NUMBER", "5"},     {"SEC_NAME", "Chat"},
               {"SUBJECT", subject + "\r\n"}, {"SEND_ID", fromId + "\r\n"},
               {"SEND_NAME", from},     {"RECV_ID", toId + "\r\n"},
               {"RECV_NAME", to},       {"MSG_NUMBER", number},
               {"MSG_PARENT", parent},  {"KEEP", "F"},
               {"IS_DELETE", "F"},      {"MSG_DATE", "05-Mar-97"},
               {"MSG_TIME", "14:22"},   {"MSG_TEXT", "Body of " + number + "\r\n"}};
  return r;
}

}  // namespace

// A NavCIS store (its table given in memory in place of the DBF driver)
// imports into two forums and the mailbox, with threads and persons; a
// deleted record is not read and four unreadable ones are passed over.
TEST_F(ImportRunTest, NavCisStoreImportsForumsAndMail) {
  addMailbox("Owner Box", "99999,111");
  std::vector<qvtest::MemoryTable::Entry> rows = {
      {navRow("winforum", 7, "900", "0", "First post", "Ann Lee", "11111,222", "All", ""), false, false},
      {navRow("winforum", 7, "901", "900", "Re: First post", "Bob Ray", "33333,444", "Ann Lee", "11111,222"), false,
       false},
      {navRow("winforum", 7, "902", "900", "Deleted", "Bob Ray", "33333,444", "Ann Lee", "11111,222"), false, true},
      {{}, true, false},
      {navRow("MACFORUM", 9, "42", "0", "Disks", "Pete Brown", "INTERNET:pete@example.com", "All", ""), false,
       false},
      {{}, true, false},
      {{}, true, false},
      {{}, true, false},
      {navRow("", 0, "0", "0", "Mail subject", "Ann Lee", "11111,222", "Owner", "99999,111"), false, false},
  };
  qv::dbfstore::setRecordSourceOpener([&](qv::dbfstore::Store store, const std::string&, std::string&) {
    EXPECT_EQ(store, qv::dbfstore::Store::NavCis);
    return std::make_unique<qvtest::MemoryTable>(rows);
  });
  ImportSettings s = settings("NavCIS 1.7x-", {source("HRECV.DBF", "table")});
  s.importMail = true;
  s.mailbox = databaseId("Owner Box");
  int result = run(s);
  qv::dbfstore::setRecordSourceOpener(nullptr);
  ASSERT_EQ(result, 1) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  auto win = messages("WINFORUM");
  ASSERT_EQ(win.size(), 2u);
  EXPECT_EQ(win[901].ref, 900u);
  EXPECT_EQ(win[901].thread, win[900].thread);
  EXPECT_EQ(win[900].date, dateFromYMD(1997, 3, 5));
  EXPECT_EQ(win[900].text, "Body of 900");
  EXPECT_EQ(person("WINFORUM", win[901].from).LASTNAME.str(), "Ray");
  auto mac = messages("MACFORUM");
  ASSERT_EQ(mac.size(), 1u);
  EXPECT_EQ(person("MACFORUM", mac[42].from).ADDRESS.str(), "pete@example.com");
  auto mail = all("Owner Box", FileMail, Mail, MAI);
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].TIME, timeFromHMS(14, 22, 0));
}
