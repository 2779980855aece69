// The DBF-based reader stores (CISCOMM, NavCIS, OUI): each record's
// conversion into the temporary import record, field by field, and the
// reading of a table with its limit of unreadable records.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parsers/dbf_store_reader.h"
#include "import/parsers/dbf_stores.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "support/fake_import_context.h"
#include "support/memory_table.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using qv::dateFromYMD;
using qv::ImpHeaderRec;
using qv::KindForumDb;
using qv::KindMailDb;
using qv::timeFromHMS;
using qv::dbfstore::DbfRow;
using qv::dbfstore::RecordSource;
using qv::dbfstore::Store;
using qvtest::FakeImportContext;

namespace {

DbfRow row(std::initializer_list<std::pair<const char*, std::string>> columns) {
  DbfRow r;
  for (const auto& [name, value] : columns) r.columns[name] = value;
  return r;
}

// Fixed-width columns are blank-padded in the table.
std::string padded(const std::string& s, size_t width) { return s.size() >= width ? s : s + std::string(width - s.size(), ' '); }

DbfRow cisCommForumRow(const std::string& number, const std::string& sendId = "76543,210") {
  return row({{"MSG_NUMBER", padded(number, 10)},
              {"MSG_DATE", "19970305"},
              {"MSG_TIME", "14:22"},
              {"MSG_SUBJEC", padded("Printer drivers", 24)},
              {"MSG_SENDER", padded("John Smith", 25)},
              {"MSG_SENDID", padded(sendId, 11)},
              {"MSG_RECVR", padded("Mary Jones", 25)},
              {"MSG_RECVID", padded("INTERNET:mary@example.com", 11)},
              {"MSG_PARENT", padded("12299", 10)},
              {"MSG_SECTNO", "3 "},
              {"MSG_SECT", padded("Tools", 20)},
              {"MSG_TEXT", "Line one\r\nLine two\r\n"},
              {"MSG_FLAGS", "  "}});
}

DbfRow navCisRow(int64_t internal, const std::string& number) {
  return row({{"IS_MAIL", internal == 0 ? "T" : "F"},
              {"FORUM_NAME", padded("winforum", 20)},
              {"INTERNAL", padded(std::to_string(internal), 8)},
              {"SEC_NUMBER", "  7"},
              {"SEC_NAME", padded("Utilities", 20)},
              {"SUBJECT", "Re: backups\r\n"},
              {"SEND_ID", "internet:ann@example.org\r\n"},
              {"SEND_NAME", padded("Ann Lee", 40)},
              {"RECV_ID", "INTERNET:70000,1\r\n"},
              {"RECV_NAME", padded("Bob Roe", 40)},
              {"MSG_NUMBER", "  " + number},
              {"MSG_PARENT", "   12000"},
              {"KEEP", "F"},
              {"IS_DELETE", "F"},
              {"MSG_DATE", "05-Mar-97 "},
              {"MSG_TIME", " 9:05\r\n"},
              {"TIME_ZONE", "EST  "},
              {"MSG_TEXT", "Text one\nText two\n"}});
}

class DbfStoreConversion : public qvtest::ServicesTest {
 protected:
  void SetUp() override {
    qvtest::ServicesTest::SetUp();
    ctx.settings_.importForum = true;
    ctx.settings_.forumName = "CISCOMM FORUM";
  }
  void useMailbox() {
    ctx.settings_.importMail = true;
    ctx.addMailbox(dir.path(), "Owner Box", "99999,111", {"owner@example.com"});
  }
  const ImpHeaderRec& only() {
    EXPECT_EQ(ctx.emitted.size(), 1u);
    return ctx.emitted.at(0);
  }
  qvtest::TempDir dir;
  FakeImportContext ctx;
};

TEST_F(DbfStoreConversion, CisCommForumRecordFieldByField) {
  ctx.setFormat("CISCOMM");
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("12345"), false));
  const ImpHeaderRec& r = only();
  EXPECT_EQ(r.INTERNAL, ctx.targets.find("CISCOMM FORUM")->id);
  EXPECT_EQ(r.MSGNUMBER, 12345u);
  EXPECT_EQ(r.REFNUMBER, 12299u);
  EXPECT_EQ(r.FOR_DESCRIPTION.str(), "CISCOMM FORUM");
  EXPECT_EQ(r.SECTIONNUMBER, 3);
  EXPECT_EQ(r.SEC_DESCRIPTION.str(), "Tools");
  EXPECT_EQ(r.SUBJECT, "Printer drivers");
  EXPECT_EQ(r.S_CISADRESS.str(), "76543,210");
  EXPECT_EQ(r.S_NAME.str(), "John Smith");
  EXPECT_EQ(r.R_CISADRESS.str(), "mary@example.com");
  EXPECT_EQ(r.R_NAME.str(), "Mary Jones");
  EXPECT_EQ(r.DATE, dateFromYMD(1997, 3, 5));
  EXPECT_EQ(r.TIME, timeFromHMS(14, 22, 0)) << "a forum message keeps the time its table gives";
  EXPECT_EQ(r.MAILTYPE, qv::DirectionUndecided);
  EXPECT_EQ(r.MSGTEXT, "Line one\r\nLine two");
}

TEST_F(DbfStoreConversion, CisCommNumbersOutsideTheRangeAndReimportsAreSkipped) {
  ctx.setFormat("CISCOMM");
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("0"), false));
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("9000000"), false));
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("8999999"), false));
  EXPECT_EQ(ctx.skipped, 2);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  ctx.markImported(ctx.emitted[0].INTERNAL, 8999999);
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("8999999"), false));
  EXPECT_EQ(ctx.skipped, 3);
  ctx.settings_.allowReimport = true;
  ctx.imported.clear();
  ctx.settings_.importForum = false;
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, cisCommForumRow("100"), false));
  EXPECT_EQ(ctx.skipped, 4);
  EXPECT_EQ(ctx.emitted.size(), 1u);
}

TEST_F(DbfStoreConversion, InternetPrefixDroppedOnlyBeforeOtherThanCompuServeNumbers) {
  using qv::dbfstore::withoutInternetPrefix;
  EXPECT_EQ(withoutInternetPrefix("INTERNET:ann@example.org"), "ann@example.org");
  EXPECT_EQ(withoutInternetPrefix("internet:ann@example.org"), "ann@example.org");
  EXPECT_EQ(withoutInternetPrefix("INTERNET:76543,210"), "INTERNET:76543,210");
  EXPECT_EQ(withoutInternetPrefix("76543,210"), "76543,210");
  EXPECT_EQ(withoutInternetPrefix("INTERNETann"), "INTERNETann");
}

TEST_F(DbfStoreConversion, NavCisTimesOfFiveAndEightCharacters) {
  using qv::dbfstore::navCisTime;
  EXPECT_EQ(navCisTime("14:22"), timeFromHMS(14, 22, 0));
  EXPECT_EQ(navCisTime(" 9:05\r\n"), timeFromHMS(9, 5, 0));
  EXPECT_EQ(navCisTime("14:22:31"), timeFromHMS(14, 22, 31));
  EXPECT_EQ(navCisTime("9:22:31"), timeFromHMS(9, 22, 31));
  EXPECT_EQ(navCisTime("14:22:3"), 0);
  EXPECT_EQ(navCisTime("1422"), 0);
  EXPECT_EQ(navCisTime("ab:cd"), 0);
  EXPECT_EQ(navCisTime("25:00"), 0);
  EXPECT_EQ(navCisTime(""), 0);
}

TEST_F(DbfStoreConversion, NavCisDatesAndStatus) {
  using qv::dbfstore::navCisDate;
  EXPECT_EQ(navCisDate("05-Mar-97"), dateFromYMD(1997, 3, 5));
  EXPECT_EQ(navCisDate("31 Dec 99\r\n"), dateFromYMD(1999, 12, 31));
  EXPECT_EQ(navCisDate("05-Xyz-97"), 0);
  EXPECT_EQ(navCisDate("5-Mar-97"), 0);
  EXPECT_EQ(qv::dbfstore::navCisStatus("T", "F"), 1);
  EXPECT_EQ(qv::dbfstore::navCisStatus("F", "T"), 2);
  EXPECT_EQ(qv::dbfstore::navCisStatus("T", "T"), 1);
  EXPECT_EQ(qv::dbfstore::navCisStatus(" ", " "), 0);
}

TEST_F(DbfStoreConversion, NavCisForumRecord) {
  ctx.setFormat("NavCIS 1.7x-");
  DbfRow r = navCisRow(3, "12345");
  r.columns["IS_DELETE"] = "T";
  ASSERT_TRUE(qv::dbfstore::convertNavCis(ctx, r));
  const ImpHeaderRec& m = only();
  EXPECT_EQ(m.INTERNAL, ctx.targets.find("WINFORUM")->id);
  EXPECT_EQ(m.FOR_DESCRIPTION.str(), "WINFORUM");
  EXPECT_EQ(m.MSGNUMBER, 12345u);
  EXPECT_EQ(m.REFNUMBER, 12000u);
  EXPECT_EQ(m.SECTIONNUMBER, 7);
  EXPECT_EQ(m.SEC_DESCRIPTION.str(), "Utilities");
  EXPECT_EQ(m.SUBJECT, "Re: backups");
  EXPECT_EQ(m.S_CISADRESS.str(), "ann@example.org");
  EXPECT_EQ(m.S_NAME.str(), "Ann Lee");
  EXPECT_EQ(m.R_CISADRESS.str(), "INTERNET:70000,1");
  EXPECT_EQ(m.R_NAME.str(), "Bob Roe");
  EXPECT_EQ(m.DUMMY, 2);
  EXPECT_EQ(m.DATE, dateFromYMD(1997, 3, 5));
  EXPECT_EQ(m.TIME, timeFromHMS(9, 5, 0)) << "a forum message keeps the time its table gives";
  EXPECT_EQ(m.MSGTEXT, "Text one\r\nText two");
}

TEST_F(DbfStoreConversion, NavCisMailRecord) {
  ctx.setFormat("NavCIS 1.6x");
  useMailbox();
  DbfRow r = navCisRow(0, "12345");
  r.columns["KEEP"] = "T";
  r.columns["SEND_ID"] = "99999,111\r\n";  // the owner sent it
  r.columns["MSG_TIME"] = "14:22:31\r\n";
  ASSERT_TRUE(qv::dbfstore::convertNavCis(ctx, r));
  const ImpHeaderRec& m = only();
  EXPECT_EQ(m.INTERNAL, ctx.mailbox()->id);
  EXPECT_EQ(m.MSGNUMBER, m.REFNUMBER);
  EXPECT_NE(m.MSGNUMBER, 12345u);
  EXPECT_EQ(m.MAILTYPE, qv::MailSent);
  EXPECT_EQ(m.RECIPTYPE.str(), "TO");
  EXPECT_EQ(m.S_NAME.str(), "Owner Box");
  EXPECT_EQ(m.DUMMY, 1);
  EXPECT_EQ(m.TIME, timeFromHMS(14, 22, 31));
  EXPECT_EQ(m.MSGTEXT, "Text one\r\nText two");
}

TEST_F(DbfStoreConversion, NavCisKindsNotSelectedAreSkipped) {
  ctx.setFormat("NavCIS 1.6x");
  ASSERT_TRUE(qv::dbfstore::convertNavCis(ctx, navCisRow(0, "1")));  // mail not selected
  ctx.settings_.importForum = false;
  ASSERT_TRUE(qv::dbfstore::convertNavCis(ctx, navCisRow(5, "1")));
  EXPECT_EQ(ctx.skipped, 2);
  EXPECT_TRUE(ctx.emitted.empty());
}

TEST_F(DbfStoreConversion, CisCommMailRecord) {
  ctx.setFormat("CISCOMM");
  ctx.settings_.importForum = false;
  useMailbox();
  DbfRow r = cisCommForumRow("1");
  r.columns["MSG_SENDID"] = "INTERNET:ann@example.org";
  r.columns["MSG_RECVID"] = "99999,111";
  r.columns["MSG_TEXT"] = "Hello\nthere\n";
  ASSERT_TRUE(qv::dbfstore::convertCisComm(ctx, r, true));
  const ImpHeaderRec& m = only();
  EXPECT_EQ(m.INTERNAL, ctx.mailbox()->id);
  EXPECT_EQ(m.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(m.S_CISADRESS.str(), "ann@example.org");
  EXPECT_EQ(m.R_NAME.str(), "Owner Box");
  EXPECT_EQ(m.DATE, dateFromYMD(1997, 3, 5));
  EXPECT_EQ(m.TIME, timeFromHMS(14, 22, 0));
  EXPECT_EQ(m.MSGTEXT, "Hello\r\nthere");
  EXPECT_EQ(qv::dbfstore::storeOf(ctx.format(), ctx.settings_), Store::CisCommMail);
  ctx.settings_.importForum = true;
  EXPECT_EQ(qv::dbfstore::storeOf(ctx.format(), ctx.settings_), Store::CisCommForum);
}

TEST_F(DbfStoreConversion, OuiHeaderLinesSplitAtCrLfOrLf) {
  using qv::dbfstore::ouiHeaderLines;
  EXPECT_EQ(ouiHeaderLines("A: 1\r\nB: 2\r\n"), (std::vector<std::string>{"A: 1", "B: 2"}));
  EXPECT_EQ(ouiHeaderLines("\nA: 1\nB: 2\n\nbody"), (std::vector<std::string>{"A: 1", "B: 2"}));
  // With a CR in the text, a lone LF does not end a line.
  EXPECT_EQ(ouiHeaderLines("A: 1\nx\r\nB: 2"), (std::vector<std::string>{"A: 1\nx", "B: 2"}));
  EXPECT_TRUE(ouiHeaderLines("  \r\n").empty());
}

TEST_F(DbfStoreConversion, OuiArticlesAndMail) {
  ctx.setFormat("OUI");
  ctx.settings_.importNews = true;
  useMailbox();
  qv::news::ArticleWriter articles(ctx);
  DbfRow news = row({{"MSG_EXTRA",
                      "From: Ann Lee <ann@example.org>\r\nNewsgroups: comp.lang.c\r\nSubject: Pointers\r\n"
                      "Message-ID: <a1@example.org>\r\nDate: Wed, 5 Mar 1997 14:22:31 +0000\r\n"},
                     {"MSG_BODY", "Body of the article\r\n"}});
  ASSERT_TRUE(qv::dbfstore::convertOui(ctx, news, articles));
  DbfRow mail = row({{"MSG_EXTRA",
                      "From: Ann Lee <ann@example.org>\nTo: owner@example.com\nSubject: Hello\n"
                      "Date: Wed, 5 Mar 1997 14:22:31 +0000\n"},
                     {"MSG_BODY", "Mail body\n"}});
  ASSERT_TRUE(qv::dbfstore::convertOui(ctx, mail, articles));
  ASSERT_TRUE(qv::dbfstore::convertOui(ctx, row({{"MSG_EXTRA", "\r\n"}, {"MSG_BODY", "x"}}), articles));
  EXPECT_EQ(ctx.skipped, 1);
  ASSERT_EQ(ctx.emitted.size(), 2u);
  const qv::Target* group = ctx.targets.find("comp.lang.c");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(ctx.emitted[0].INTERNAL, group->id);
  EXPECT_EQ(ctx.emitted[0].SUBJECT, "Pointers");
  EXPECT_NE(ctx.emitted[0].MSGTEXT.find("Body of the article"), std::string::npos);
  EXPECT_EQ(ctx.emitted[1].INTERNAL, ctx.mailbox()->id);
  EXPECT_EQ(ctx.emitted[1].SUBJECT, "Hello");
  EXPECT_EQ(ctx.emitted[1].MAILTYPE, qv::MailReceived);
}

using MemorySource = qvtest::MemoryTable;

class DbfStoreTable : public DbfStoreConversion {
 protected:
  // A CISCOMM forum table of `count` records, those at the given indexes unreadable.
  std::unique_ptr<MemorySource> table(int count, std::vector<int> bad, std::vector<int> deleted = {}) {
    std::vector<MemorySource::Entry> entries;
    for (int i = 0; i < count; ++i) {
      MemorySource::Entry e;
      e.row = cisCommForumRow(std::to_string(1000 + i));
      for (int b : bad) e.bad = e.bad || b == i;
      for (int d : deleted) e.deleted = e.deleted || d == i;
      entries.push_back(e);
    }
    return std::make_unique<MemorySource>(std::move(entries));
  }
  // Reads the whole table, two records per call.
  qv::dbfstore::StoreReader& run(std::unique_ptr<MemorySource> source) {
    ctx.setFormat("CISCOMM");
    reader = std::make_unique<qv::dbfstore::StoreReader>(Store::CisCommForum, std::move(source));
    bool failed = false;
    for (int calls = 0; calls < 1000 && !reader->convert(ctx, 2, failed);) ++calls;
    EXPECT_FALSE(failed);
    return *reader;
  }
  std::unique_ptr<qv::dbfstore::StoreReader> reader;
};

TEST_F(DbfStoreTable, FourUnreadableRecordsPassAndDeletedOnesAreNotRead) {
  run(table(20, {2, 3, 9, 15}, {5, 6}));
  EXPECT_EQ(reader->badRecords(), 4);
  EXPECT_FALSE(reader->skippedTable());
  EXPECT_EQ(ctx.emitted.size(), 14u);
  EXPECT_EQ(ctx.emitted.front().MSGNUMBER, 1000u);
  EXPECT_EQ(ctx.emitted.back().MSGNUMBER, 1019u);
  EXPECT_EQ(ctx.progressed, 20);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(DbfStoreTable, FifthUnreadableRecordSkipsTheTableWithThePercentageReached) {
  run(table(20, {1, 3, 4, 5, 8, 12}));
  EXPECT_EQ(reader->badRecords(), 5);
  EXPECT_TRUE(reader->skippedTable());
  // Records 0, 2, 6 and 7 (0-based) were converted before the fifth bad record, record 9 of 20.
  EXPECT_EQ(ctx.emitted.size(), 4u);
  const qv::PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text,
            "Quorvane has processed 45 % of this CISCOM file and have encountered 5 bad records! They are probably "
            "deleted records that are still retained in the file. To ensure data integrity this file will be "
            "skipped! \r\n\r\nTo physically remove deleted records from your CISCOM file, always use the PACK "
            "option when closing your CISCOM session after records have been purged!");
}

TEST_F(DbfStoreTable, InTaskModeTheTableIsSkippedWithoutAMessage) {
  qv::Mem.DoTask = qv::RunUnattended;
  run(table(10, {0, 1, 2, 3, 4}));
  qv::Mem.DoTask = qv::RunInteractive;
  EXPECT_TRUE(reader->skippedTable());
  EXPECT_TRUE(ctx.emitted.empty());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST(DbfStoreMessages, EachReaderNamesItselfAndItsAdvice) {
  std::string nav = qv::dbfstore::badRecordsMessage(Store::NavCis, 7);
  EXPECT_NE(nav.find("processed 7 % of this NavCIS file and have"), std::string::npos);
  EXPECT_NE(nav.find("always use the EXIT and PACK option when closing your NavCIS session"), std::string::npos);
  std::string oui = qv::dbfstore::badRecordsMessage(Store::Oui, 100);
  EXPECT_NE(oui.find("100 % of this OUI file "), std::string::npos);
  EXPECT_NE(oui.find("your OUI file, always use the PACK option when closing your OUI session"), std::string::npos);
}

}  // namespace
