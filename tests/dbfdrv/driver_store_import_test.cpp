// Other readers' DBF stores imported end to end: tables written through the
// driver from the store declarations (CISCOMM forum tables of 17 and 23
// columns, the CISCOMM mail table, NavCIS RECV.DBF and HRECV.DBF, OUI
// MESSAGE.DBF, all with memo files), read by the import run through the
// driver and posted into forums, the mailbox and newsgroups.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"
#include "support/archive_dump.h"
#include "support/reader_stores.h"
#include "support/services_fixture.h"

using namespace qv;
using qvtest::StoreRecord;

namespace {

struct Posted {
  uint32_t ref = 0, thread = 0, section = 0, from = 0, to = 0;
  int32_t date = 0;
  std::string text;
};

StoreRecord ccoRecord(const std::string& number, const std::string& parent, const std::string& sender,
                      const std::string& sendId, const std::string& recvr, const std::string& recvId) {
  return {{{"MSG_NUMBER", number},
           {"MSG_DATE", "19970305"},
           {"MSG_TIME", "10:15"},
           {"MSG_SUBJEC", "Modem trouble"},
           {"MSG_SENDER", sender},
           {"MSG_SENDID", sendId},
           {"MSG_RECVR", recvr},
           {"MSG_RECVID", recvId},
           {"MSG_PARENT", parent},
           {"MSG_THRDID", "501"},
           {"MSG_SECTNO", "4"},
           {"MSG_SECT", "Hardware"},
           {"MSG_TEXT", "Text of " + number + "\r\n"},
           {"MSG_SEQ", number},
           {"MSG_ISROOT", "T"}}};
}

StoreRecord navRecord(const std::string& forum, int internal, int number, int parent, const std::string& sender,
                      const std::string& sendId, const std::string& recvr, const std::string& recvId) {
  return {{{"IS_MAIL", internal == 0 ? "Y" : "N"},
           {"FORUM_NAME", forum},
           {"INTERNAL", std::to_string(internal)},
           {"SEC_NUMBER", "3"},
           {"SEC_NAME", "Cameras"},
           {"SUBJECT", "Lens question"},
           {"SEND_ID", sendId},
           {"SEND_NAME", sender},
           {"RECV_ID", recvId},
           {"RECV_NAME", recvr},
           {"MSG_NUMBER", std::to_string(number)},
           {"MSG_PARENT", std::to_string(parent)},
           {"KEEP", "F"},
           {"IS_DELETE", "F"},
           {"MSG_DATE", "05-Mar-97"},
           {"MSG_TIME", "14:22"},
           {"TIME_ZONE", "EST"},
           {"MSG_TEXT", "Body of " + std::to_string(number) + "\r\n"},
           {"IS_NAVCIS", "T"},
           {"NAV_CODES", "codes"},
           {"GROUP_LIST", "list"}}};
}

StoreRecord ouiRecord(const std::string& header, const std::string& body) {
  return {{{"IDENTIFIER", "ID"},
           {"INSTANCE", "1"},
           {"SUBJECT", "ignored"},
           {"MSG_DATE", "19970305"},
           {"SEND_ID", "sender"},
           {"MSG_BODY", body},
           {"MSG_EXTRA", header},
           {"MSG_ATTACH", ""}}};
}

class StoreImport : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    qvtest::InstallationTest::SetUp();
    qv::registerFoxProDriver();
  }

  ImportSettings settings(const std::string& format, const std::string& file) {
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    return s;
  }

  // Runs an import to its end; keeps what the window showed of the
  // table's progress while it was read.
  int run(const ImportSettings& s, ImportView* view = nullptr) {
    ImportRun r(s);
    progress.clear();
    converted.clear();
    for (int guard = 0; r.step() && guard < 100000; ++guard) {
      if (r.stage() == ImportStage::ConvertFile) progress.push_back({r.view().progress, r.view().progressMax});
      if (r.stage() == ImportStage::NextDatabase && converted.empty()) readConverted();
    }
    r.close();
    if (view) *view = r.view();
    return r.result();
  }

  uint32_t addMailbox(const std::string& owner, const std::string& address) {
    MailboxSpec spec;
    spec.owner = owner;
    spec.address = address;
    uint32_t id = AddMailbox(spec, false);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }

  template <typename Rec>
  std::vector<Rec> all(const std::string& db, int number, File& f, Rec& buffer) {
    std::vector<Rec> out;
    if (!findDatabase(db)) return out;
    useDatabase();
    OP_CLOSE(OpShared, {number});
    f.setFileOrder();
    while (f.next()) out.push_back(buffer);
    OP_CLOSE(OpRelease, {number});
    return out;
  }

  // The forum or newsgroup messages of a database by number, with their texts.
  std::map<uint32_t, Posted> messages(const std::string& db) {
    std::map<uint32_t, Posted> out;
    for (const MsgNmbrRec& m : all(db, FileMsgNmbr, MsgNmbr, MSG))
      out[m.MSGNUMBER] = {m.REFNUMBER, m.THREADNUMBER, m.SECSYSID, m.FROMID, m.TOID, m.DATE, ""};
    for (const MsgTextRec& t : all(db, FileMsgText, MsgText, TXT))
      if (out.count(t.MSGNUMBER)) out[t.MSGNUMBER].text = t.MsgText;
    return out;
  }

  std::map<uint32_t, PersonRec> persons(const std::string& db) {
    std::map<uint32_t, PersonRec> out;
    for (const PersonRec& p : all(db, FilePerson, Person, PER)) out[p.PERSONID] = p;
    return out;
  }

  // The section of a message: its number and name.
  std::string section(const std::string& db, uint32_t id) {
    for (const SectionsRec& s : all(db, FileSections, Sections, SEC))
      if (s.SECSYSID == id) return std::to_string(s.SECTIONNUMBER) + " " + s.DESCRIPTION.str();
    return "";
  }

  // The records conversion wrote into the temporary import file, read once
  // conversion is over and before they are posted (the run empties the file
  // when it closes).
  void readConverted() {
    RecordImage saved = saveRecord(ImpHeader.decl());
    ImpHeader.setFileOrder();
    while (ImpHeader.next()) converted.push_back(NHR);
    restoreRecord(ImpHeader.decl(), saved);
  }

  // A second run of the same settings adds nothing to the archive.
  void expectReimportAddsNothing(const ImportSettings& s) {
    std::string before = qvtest::dumpArchive(root);
    ImportView view;
    run(s, &view);
    EXPECT_EQ(view.imported, 0) << prompts.transcript();
    prompts.reset();
    std::string after = qvtest::dumpArchive(root);
    EXPECT_EQ(before, after) << qvtest::firstDifference(before, after);
  }

  std::vector<std::pair<int64_t, int64_t>> progress;  // (value, maximum) while a file was converted
  std::vector<ImpHeaderRec> converted;
};

// The reader writes 17 columns; the declaration adds six flags that older
// tables lack. Both tables import alike, threads and sections right.
TEST_F(StoreImport, CisCommForumTablesOfSeventeenAndTwentyThreeColumns) {
  for (size_t columns : {size_t(17), size_t(0)}) {
    SCOPED_TRACE(columns);
    std::string forum = columns ? "NARROW FORUM" : "WIDE FORUM";
    std::string file = columns ? "NARROW.DBF" : "WIDE.DBF";
    std::vector<StoreRecord> rows = {ccoRecord("501", "0", "Ann Smith", "71234,567", "All", ""),
                                     ccoRecord("502", "501", "Bob Jones", "72345,678", "Ann Smith", "71234,567"),
                                     ccoRecord("503", "502", "Ann Smith", "71234,567", "Bob Jones", "72345,678")};
    rows[2].columns["MSG_SECTNO"] = "7";
    rows[2].columns["MSG_SECT"] = "Software";
    ASSERT_TRUE(qvtest::writeStoreTable(CcoStore, dir.file(file), rows, columns)) << ErrorText();
    ImportSettings s = settings("CISCOMM", file);
    s.importForum = true;
    s.forumName = forum;
    ASSERT_EQ(run(s), 1) << prompts.transcript();
    EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
    auto msgs = messages(forum);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[502].ref, 501u);
    EXPECT_EQ(msgs[503].ref, 502u);
    EXPECT_EQ(msgs[502].thread, msgs[501].thread);
    EXPECT_EQ(msgs[503].thread, msgs[501].thread);
    EXPECT_EQ(msgs[501].date, dateFromYMD(1997, 3, 5));
    EXPECT_EQ(msgs[502].text, "Text of 502");
    EXPECT_EQ(section(forum, msgs[501].section), "4 Hardware");
    EXPECT_EQ(section(forum, msgs[503].section), "7 Software");
    auto people = persons(forum);
    EXPECT_EQ(people[msgs[502].from].LASTNAME.str(), "Jones");
    EXPECT_EQ(people[msgs[502].from].ADDRESS.str(), "72345,678");
    EXPECT_EQ(people[msgs[502].to].LASTNAME.str(), "Smith");
    EXPECT_EQ(msgs[502].to, msgs[501].from);
    expectReimportAddsNothing(s);
  }
}

// The mail table: 12 columns, the addresses in memos; an "INTERNET:" prefix
// goes unless a CompuServe number follows it.
TEST_F(StoreImport, CisCommMailTableWithAddressMemos) {
  uint32_t box = addMailbox("Owner Person", "70000,1");
  std::vector<StoreRecord> rows = {
      {{{"MSG_NUMBER", "1"}, {"MSG_DATE", "19970307"}, {"MSG_TIME", "12:30"}, {"MSG_SUBJEC", "Lunch"},
        {"MSG_SENDER", "Carol"}, {"MSG_SENDID", "INTERNET:carol@example.com"}, {"MSG_RECVR", "Owner Person"},
        {"MSG_RECVID", "70000,1"}, {"MSG_TEXT", "Lunch on Friday?\nCarol\n"}}},
      {{{"MSG_NUMBER", "2"}, {"MSG_DATE", "19970308"}, {"MSG_TIME", "09:05"}, {"MSG_SUBJEC", "Re: Lunch"},
        {"MSG_SENDER", "Owner Person"}, {"MSG_SENDID", "70000,1"}, {"MSG_RECVR", "Dave"},
        {"MSG_RECVID", "INTERNET:76543,210"}, {"MSG_TEXT", "Yes.\r\n"}}}};
  ASSERT_TRUE(qvtest::writeStoreTable(CmaStore, dir.file("MAIL.DBF"), rows, 12)) << ErrorText();
  ImportSettings s = settings("CISCOMM", "MAIL.DBF");
  s.importMail = true;
  s.mailbox = box;
  ASSERT_EQ(run(s), 1) << prompts.transcript();
  auto mail = all("Owner Person", FileMail, Mail, MAI);
  ASSERT_EQ(mail.size(), 2u);
  auto people = persons("Owner Person");
  std::set<std::string> addresses;
  for (const MailRec& m : mail) {
    addresses.insert(people[m.FROMID].ADDRESS.str());
    addresses.insert(people[m.TOID].ADDRESS.str());
  }
  EXPECT_TRUE(addresses.count("carol@example.com")) << ::testing::PrintToString(addresses);
  // the prefix stays before a CompuServe number (addresses are kept in lower case)
  EXPECT_TRUE(addresses.count("internet:76543,210")) << ::testing::PrintToString(addresses);
  std::set<int32_t> times = {mail[0].TIME, mail[1].TIME};
  EXPECT_TRUE(times.count(timeFromHMS(12, 30, 0)));
  EXPECT_TRUE(times.count(timeFromHMS(9, 5, 0)));
  expectReimportAddsNothing(s);
}

// NavCIS 1.6x (RECV.DBF) and 1.7x- (HRECV.DBF): forum messages into their
// forums, mail into the mailbox; KEEP and IS_DELETE give the status; a
// deleted record is not read.
TEST_F(StoreImport, NavCisStoresOfBothVersions) {
  uint32_t box = addMailbox("Owner Person", "70000,1");
  for (std::string format : {"NavCIS 1.6x", "NavCIS 1.7x-"}) {
    SCOPED_TRACE(format);
    const bool old = format == "NavCIS 1.6x";
    std::string file = old ? "RECV.DBF" : "HRECV.DBF";
    std::string forum = old ? "Photo Forum" : "Photo Forum Two", mac = old ? "Mac Forum" : "Mac Forum Two";
    std::vector<StoreRecord> rows = {
        navRecord(forum, 5, 1001, 0, "Ann Smith", "71234,567", "Bob Jones", "72345,678"),
        navRecord(forum, 5, 1002, 1001, "Bob Jones", "72345,678", "Ann Smith", "71234,567"),
        navRecord(forum, 5, 1003, 1001, "Gone Person", "79999,999", "Ann Smith", "71234,567"),
        navRecord(mac, 9, 42, 0, "Pete Brown", "INTERNET:pete@example.com", "All", ""),
        navRecord("", 0, 0, 0, "Carol", "INTERNET:carol@example.com", "Owner Person", "70000,1")};
    rows[0].columns["KEEP"] = "T";
    rows[1].columns["IS_DELETE"] = "T";
    rows[2].deleted = true;
    rows[4].columns["MSG_TIME"] = old ? "12:30:15\r\n" : " 9:05\r\n";
    rows[4].columns["MSG_TEXT"] = "Mail from the store " + file;
    ASSERT_TRUE(qvtest::writeStoreTable(HreStore, dir.file(file), rows)) << ErrorText();
    ImportSettings s = settings(format, file);
    s.importForum = true;
    s.importMail = true;
    s.mailbox = box;
    ASSERT_EQ(run(s), 1) << prompts.transcript();
    EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

    ASSERT_EQ(converted.size(), 4u);
    std::map<uint32_t, uint8_t> status;
    for (const ImpHeaderRec& r : converted) status[r.MSGNUMBER] = r.DUMMY;
    EXPECT_EQ(status[1001], 1);
    EXPECT_EQ(status[1002], 2);
    EXPECT_EQ(status[42], 0);
    // times of five and of eight characters
    for (const ImpHeaderRec& r : converted) {
      if (r.INTERNAL != box) continue;
      EXPECT_EQ(r.TIME, old ? timeFromHMS(12, 30, 15) : timeFromHMS(9, 5, 0));
    }

    std::string upper = forum, macUpper = mac;
    for (std::string* t : {&upper, &macUpper})
      for (char& c : *t) c = char(std::toupper(static_cast<unsigned char>(c)));
    auto photo = messages(upper);
    ASSERT_EQ(photo.size(), 2u);
    EXPECT_EQ(photo[1002].ref, 1001u);
    EXPECT_EQ(photo[1002].thread, photo[1001].thread);
    EXPECT_EQ(photo[1001].text, "Body of 1001");
    EXPECT_EQ(photo[1001].date, dateFromYMD(1997, 3, 5));
    EXPECT_EQ(section(upper, photo[1001].section), "3 Cameras");
    EXPECT_EQ(persons(upper)[photo[1002].from].LASTNAME.str(), "Jones");
    auto macMsgs = messages(macUpper);
    ASSERT_EQ(macMsgs.size(), 1u);
    EXPECT_EQ(persons(macUpper)[macMsgs[42].from].ADDRESS.str(), "pete@example.com");
    expectReimportAddsNothing(s);
  }
  auto mail = all("Owner Person", FileMail, Mail, MAI);
  ASSERT_EQ(mail.size(), 2u);  // one from each store
  std::set<int32_t> times = {mail[0].TIME, mail[1].TIME};
  EXPECT_TRUE(times.count(timeFromHMS(12, 30, 15))) << "posting keeps the seconds";
  EXPECT_TRUE(times.count(timeFromHMS(9, 5, 0)));
  EXPECT_EQ(persons("Owner Person")[mail[0].FROMID].ADDRESS.str(), "carol@example.com");
}

// OUI keeps the header of each message in one memo and its body in another:
// articles go to their newsgroup, threaded by their references; a mail goes
// to the mailbox.
TEST_F(StoreImport, OuiStoreOfArticlesAndMail) {
  uint32_t box = addMailbox("Owner Person", "owner@example.com");
  std::vector<StoreRecord> rows = {
      ouiRecord("From: Ann Lee <ann@example.org>\r\nNewsgroups: comp.lang.c\r\nSubject: Pointers\r\n"
                "Message-ID: <a1@example.org>\r\nDate: Wed, 5 Mar 1997 14:22:31 +0000\r\n",
                "First article\r\n"),
      ouiRecord("From: Bob Roe <bob@example.org>\r\nNewsgroups: comp.lang.c\r\nSubject: Re: Pointers\r\n"
                "Message-ID: <b2@example.org>\r\nReferences: <a1@example.org>\r\n"
                "Date: Thu, 6 Mar 1997 09:00:00 +0000\r\n",
                "A reply\r\n"),
      ouiRecord("From: Carol <carol@example.com>\nTo: owner@example.com\nSubject: Hello\n"
                "Date: Wed, 5 Mar 1997 14:22:31 +0000\n",
                "Mail body\n"),
      ouiRecord("", "no header")};
  ASSERT_TRUE(qvtest::writeStoreTable(OuiStore, dir.file("MESSAGE.DBF"), rows)) << ErrorText();
  ImportSettings s = settings("OUI", "MESSAGE.DBF");
  s.importNews = true;
  s.importMail = true;
  s.mailbox = box;
  ImportView view;
  ASSERT_EQ(run(s, &view), 1) << prompts.transcript();
  EXPECT_EQ(view.skipped, 1);
  auto news = messages("comp.lang.c");
  ASSERT_EQ(news.size(), 2u);
  auto first = news.begin(), second = std::next(first);
  EXPECT_EQ(second->second.ref, first->first);
  EXPECT_EQ(second->second.thread, first->second.thread);
  EXPECT_NE(first->second.text.find("First article"), std::string::npos) << first->second.text;
  EXPECT_EQ(persons("comp.lang.c")[second->second.from].ADDRESS.str(), "bob@example.org");
  auto mail = all("Owner Person", FileMail, Mail, MAI);
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0].SUBJECT.str(), "Hello");
  EXPECT_EQ(persons("Owner Person")[mail[0].FROMID].ADDRESS.str(), "carol@example.com");
  expectReimportAddsNothing(s);
}

class StoreBadRecords : public StoreImport {
 protected:
  // A NavCIS table of 20 forum messages (numbers 2001 to 2020), those at
  // the given (0-based) indexes with their memo gone, two deleted.
  ImportSettings table(std::vector<int> gone) {
    std::vector<StoreRecord> rows;
    for (int i = 0; i < 20; ++i) {
      rows.push_back(navRecord("Bad Forum", 5, 2001 + i, 0, "Ann Smith", "71234,567", "All", ""));
      for (int g : gone) rows.back().memoGone = rows.back().memoGone || g == i;
    }
    rows[1].deleted = rows[2].deleted = true;
    EXPECT_TRUE(qvtest::writeStoreTable(HreStore, dir.file("HRECV.DBF"), rows)) << ErrorText();
    ImportSettings s = settings("NavCIS 1.7x-", "HRECV.DBF");
    s.importForum = true;
    return s;
  }
};

TEST_F(StoreBadRecords, FourUnreadableRecordsArePassedOver) {
  ASSERT_EQ(run(table({3, 4, 10, 19})), 1) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  auto msgs = messages("BAD FORUM");
  EXPECT_EQ(msgs.size(), 14u);
  EXPECT_FALSE(msgs.count(2004));
  EXPECT_TRUE(msgs.count(2006));
  EXPECT_TRUE(msgs.count(2019));
}

TEST_F(StoreBadRecords, TheFifthSkipsTheTableNamingThePercentageReached) {
  // deleted records 2 and 3 (1-based) are no bad records; the fifth bad one is record 9 of 20
  ASSERT_EQ(run(table({3, 4, 5, 6, 8, 12})), 1) << prompts.transcript();
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text.rfind("Quorvane has processed 45 % of this NavCIS file and have encountered 5 bad records!", 0), 0u)
      << r.text;
  EXPECT_NE(r.text.find("always use the EXIT and PACK option"), std::string::npos);
  // what was converted before stays
  auto msgs = messages("BAD FORUM");
  EXPECT_EQ(msgs.size(), 2u);
  EXPECT_TRUE(msgs.count(2001));
  EXPECT_TRUE(msgs.count(2008));
}

TEST_F(StoreBadRecords, InTaskModeTheTableIsSkippedSilently) {
  Mem.DoTask = RunUnattended;
  int result = run(table({0, 3, 4, 5, 6}));
  Mem.DoTask = RunInteractive;
  EXPECT_EQ(result, 2);  // nothing was converted
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_TRUE(messages("BAD FORUM").empty());
}

// While a table is read the bar runs over its record count, deleted records
// included, and stands at the number of the record reached.
TEST_F(StoreImport, ProgressRunsOverTheTablesRecords) {
  std::vector<StoreRecord> rows;
  for (int i = 0; i < 300; ++i) rows.push_back(navRecord("Count Forum", 5, 3001 + i, 0, "Ann Smith", "71234,567", "All", ""));
  rows[299].deleted = true;
  ASSERT_TRUE(qvtest::writeStoreTable(HreStore, dir.file("HRECV.DBF"), rows)) << ErrorText();
  ImportSettings s = settings("NavCIS 1.7x-", "HRECV.DBF");
  s.importForum = true;
  ASSERT_EQ(run(s), 1) << prompts.transcript();
  std::vector<int64_t> values;
  for (const auto& [value, maximum] : progress)
    if (maximum == 300 && (values.empty() || value != values.back())) values.push_back(value);
  // one run slice of records per step, the last one a deleted record
  ASSERT_GE(values.size(), 3u);
  const int64_t slice = values[0];
  EXPECT_GT(slice, 0);
  for (size_t i = 1; i < values.size(); ++i) EXPECT_EQ(values[i] - values[i - 1], slice) << i;
  EXPECT_LT(values.back(), 300);
  EXPECT_GE(values.back() + slice, 300);
  EXPECT_EQ(messages("COUNT FORUM").size(), 299u);
}

}  // namespace
