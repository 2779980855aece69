// The parsers of the CompuServe readers that keep messages as text lines, and
// the content detection of those files. The sample files are written here
// from the readers' layouts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parser.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"
#include "mime/dates.h"
#include "services/datetime.h"
#include "support/fake_import_context.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

using qv::dateFromYMD;
using qv::ImpHeaderRec;
using qv::KindForumDb;
using qv::KindMailDb;
using qv::timeFromHMS;
using qvtest::FakeImportContext;
using qvtest::TempDir;
using qvtest::joinLines;

namespace {

// Texts are joined with CR LF.
std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? "\r\n" : "") + lines[i];
  return s;
}

class LineParsersBase : public ::testing::Test {
 protected:
  // Writes `bytes` as the source file and converts it as `format`, with the
  // file kind detection would give (KindForumDb or KindMailDb).
  void convert(const std::string& format, const std::string& bytes, int kind) {
    path_ = dir_.file("source.txt");
    qvtest::writeFile(path_, bytes);
    ctx_.setFormat(format);
    ctx_.kindOfFile = kind;
    ASSERT_TRUE(ctx_.openLines(path_));
    parser_ = format == "NavCIS Save format" ? qv::makeNavCisSaveParser() : qv::makeLineFamilyParser();
    calls_ = qvtest::runParser(*parser_, ctx_);
  }
  void convert(const std::string& format, const std::vector<std::string>& lines, int kind) {
    convert(format, joinLines(lines), kind);
  }

  // The owner of the mail tests' mailbox.
  void useMailbox() {
    ctx_.addMailbox(dir_.path(), "Owner Box", "99999,111", {"owner@example.com"});
  }

  const ImpHeaderRec& msg(size_t i) { return ctx_.emitted.at(i); }

  TempDir dir_;
  FakeImportContext ctx_;
  std::unique_ptr<qv::Parser> parser_;
  std::string path_;
  int calls_ = 0;
};

// --- Text helpers -------------------------------------------------------------

TEST(LineParsersText, SourceBytesBecomeUtf8) {
  using qv::cis::decodeSource;
  // Windows-1252 bytes, including the ones that differ from Latin-1.
  EXPECT_EQ(decodeSource("Gr\xFC\xDF" "e \x80 \x93q\x94 \x8A"), "Grüße € “q” Š");
  // Valid UTF-8 is kept as it is.
  EXPECT_EQ(decodeSource("Grüße €"), "Grüße €");
  EXPECT_EQ(decodeSource("plain ascii"), "plain ascii");
  // The codes Windows-1252 leaves undefined are kept as C1 controls, not dropped.
  EXPECT_EQ(decodeSource("a\x81" "b"), "a\xC2\x81" "b");
  // Broken or overlong UTF-8 is read as Windows-1252.
  EXPECT_EQ(decodeSource("\xC3"), "Ã");
  EXPECT_EQ(decodeSource("\xC0\xAF"), "À¯");
  EXPECT_EQ(decodeSource("\xED\xA0\x80"), "í\xC2\xA0€");  // a surrogate
}

TEST(LineParsersText, DatesInEnglishAndGerman) {
  using qv::cis::parseDateTime;
  auto date = [](std::string_view s) { return parseDateTime(s).date; };
  EXPECT_EQ(date("12-Mar-96"), dateFromYMD(1996, 3, 12));
  EXPECT_EQ(date("12-MAR-96"), dateFromYMD(1996, 3, 12));
  EXPECT_EQ(date("12-Mär-96"), dateFromYMD(1996, 3, 12));
  EXPECT_EQ(date("12-MÄR-96"), dateFromYMD(1996, 3, 12));
  EXPECT_EQ(date("1-Mai-97"), dateFromYMD(1997, 5, 1));
  EXPECT_EQ(date(" 3-Okt-95"), dateFromYMD(1995, 10, 3));
  EXPECT_EQ(date("24-Dez-99"), dateFromYMD(1999, 12, 24));
  EXPECT_EQ(date("24-Dec-99"), dateFromYMD(1999, 12, 24));
  // Two-digit years fall in 1970 to 2069; four digits are taken as written.
  EXPECT_EQ(date("01-Jan-70"), dateFromYMD(1970, 1, 1));
  EXPECT_EQ(date("01-Jan-03"), dateFromYMD(2003, 1, 1));
  EXPECT_EQ(date("31-Dec-69"), dateFromYMD(2069, 12, 31));
  EXPECT_EQ(date("01-Feb-1998"), dateFromYMD(1998, 2, 1));
  // Unknown months, impossible days and other shapes give no date.
  EXPECT_EQ(date("12-Xyz-96"), 0);
  EXPECT_EQ(date("31-Feb-96"), 0);
  EXPECT_EQ(date("12/03/96"), 0);
  EXPECT_EQ(date(""), 0);
  EXPECT_EQ(date("123-Mar-96"), 0);
}

// The CompuServe readers and the mail and news decoder read month names and
// short years from one table and one rule: a name one of them takes, the
// other takes for the same month.
TEST(LineParsersText, MonthNamesAndYearsReadAsTheMailDecoderReadsThem) {
  const char* names[] = {"Jan", "Feb", "Mar", "M\xC3\xA4r", "M\xC3\x84R", "Mrz", "Apr", "May", "Mai", "Jun", "Jul",
                         "Aug", "Sep", "Oct", "Okt", "Nov", "Dec", "Dez", "jan", "dEZ"};
  for (const char* name : names) {
    for (const char* year : {"96", "03", "1998"}) {
      SCOPED_TRACE(std::string(name) + " " + year);
      int32_t mailDate = 0, mailTime = 0;
      int zone = 0;
      ASSERT_TRUE(qv::mime::parseDate(std::string("12 ") + name + " " + year, mailDate, mailTime, zone));
      EXPECT_EQ(qv::cis::parseDateTime(std::string("12-") + name + "-" + year).date, mailDate);
    }
  }
  EXPECT_EQ(qv::mime::monthOfName("Mrz"), 3);
  EXPECT_EQ(qv::mime::monthOfName("Xyz"), 0);
  EXPECT_EQ(qv::mime::monthOfName("Janu"), 0);
  EXPECT_EQ(qv::cis::parseDateTime("12-Janu-96").date, 0);
}

TEST(LineParsersText, TimeFollowsTheDate) {
  using qv::cis::parseDateTime;
  EXPECT_EQ(parseDateTime("12-Mar-96 14:22").time, timeFromHMS(14, 22, 0));
  EXPECT_EQ(parseDateTime("12-Mar-96  14:22:10").time, timeFromHMS(14, 22, 10));
  EXPECT_EQ(parseDateTime("12-Mar-96 9:05 EST").time, timeFromHMS(9, 5, 0));
  // A date with an unknown month still gives its time.
  EXPECT_EQ(parseDateTime("12-Xyz-96 14:22").time, timeFromHMS(14, 22, 0));
  EXPECT_EQ(parseDateTime("12-Mar-96").time, 0);
  EXPECT_EQ(parseDateTime("12-Mar-96 25:00").time, 0);
  EXPECT_EQ(parseDateTime("12-Mar-96 12:60").time, 0);
  EXPECT_EQ(parseDateTime("12-Mar-96 12:30:15:00").time, 0);
  EXPECT_EQ(parseDateTime("12-Mar-96 noon").time, 0);
}

TEST(LineParsersText, MessageNumbersAndForumNames) {
  using qv::cis::forumName;
  using qv::cis::messageNumber;
  EXPECT_EQ(messageNumber("1"), 1u);
  EXPECT_EQ(messageNumber("8999999"), 8999999u);
  EXPECT_EQ(messageNumber("0012345"), 12345u);
  EXPECT_EQ(messageNumber("0"), 0u);
  EXPECT_EQ(messageNumber("9000000"), 0u);
  EXPECT_EQ(messageNumber("99999999999999999999"), 0u);
  EXPECT_EQ(messageNumber("12a"), 0u);
  EXPECT_EQ(messageNumber(""), 0u);
  EXPECT_EQ(forumName("CIS:WINFORUM"), "WINFORUM");
  EXPECT_EQ(forumName(" cis: Windows Forum "), "Windows Forum");
  EXPECT_EQ(forumName("Windows Forum"), "Windows Forum");
  EXPECT_EQ(forumName("CIS:"), "");
}

TEST(LineParsersText, MailPartiesWithInternetAddresses) {
  std::string name, address;
  qv::cis::splitMailParty("\"Joe Bloggs\" >INTERNET:joe@example.com", name, address);
  EXPECT_EQ(name, "Joe Bloggs");
  EXPECT_EQ(address, "joe@example.com");
  qv::cis::splitMailParty("Joe Bloggs \xC2\xB3 INTERNET joe@example.com", name, address);
  EXPECT_EQ(name, "Joe Bloggs");
  EXPECT_EQ(address, "joe@example.com");
  qv::cis::splitMailParty("INTERNET:joe@example.com", name, address);
  EXPECT_EQ(name, "");
  EXPECT_EQ(address, "joe@example.com");
  // Without INTERNET, the CompuServe split.
  qv::cis::splitMailParty("John Smith 12345.678", name, address);
  EXPECT_EQ(name, "John Smith");
  EXPECT_EQ(address, "12345,678");
}

TEST(LineParsersText, TextDropsLeadingEmptyLinesAndStopsAt64000Bytes) {
  qv::cis::TextBuilder b;
  b.add("");
  b.add("   ");
  b.add("first");
  b.add("");
  b.add("third");
  EXPECT_EQ(b.text(), "first\r\n\r\nthird");

  qv::cis::TextBuilder big;
  const std::string line(99, 'x');
  while (!big.full()) big.add(line + "ä");  // 101 bytes of UTF-8
  EXPECT_LE(big.text().size(), qv::cis::kMaxText);
  EXPECT_GT(big.text().size(), qv::cis::kMaxText - 4);
  EXPECT_TRUE(qv::cis::isValidUtf8(big.text()));
  EXPECT_NE(big.text().back(), '\r');
}

// --- OzWin forum files --------------------------------------------------------

class LineParsersOzWin : public LineParsersBase {};

TEST_F(LineParsersOzWin, SeveralForumsAndSectionsInOneFile) {
  convert("OzWin II",
          {
              "Captured by the reader on 12 March",  // before the first message: ignored
              "",
              "#: 7788 S3/Tools (Windows Forum)",
              "    12-Mar-96 14:22:10",
              "Sb: Tools question",
              "Fm: John Smith 12345,678",
              "To: Mary Jones 23456.789",
              "-----",
              "",
              "How do I use the tools?",
              "  Indented line",
              "",
              "#: 7790 S3/Tools (Windows Forum)",
              "     5-Mar-96 09:05",
              "Sb: #7788-Re: Tools question",
              "Fm: Mary Jones 23456,789",
              "To: John Smith 12345,678 (X)",
              "",
              "Like this.",
              "#: 501 (X) S12/Utilities/Misc (CIS:WINUTIL)",
              "    03-Okt-95 08:00",
              "Sb: Utility list",
              "Fm: Zed Zero [76543,210]",
              "To: All 0,0",
              "",
              "Here is the list.",
              "#: 502 General (cis:Windows Forum)",
              "    24-Dez-95 23:59:59",
              "Sb: No section number",
              "Fm: Zed Zero 76543,210",
              "To: All 0,0",
              "",
              "Text.",
          },
          1);
  ASSERT_EQ(ctx_.emitted.size(), 4u);
  EXPECT_EQ(ctx_.skipped, 0);

  qv::Target* windows = ctx_.targets.find("Windows Forum");
  qv::Target* winutil = ctx_.targets.find("WINUTIL");
  ASSERT_NE(windows, nullptr);
  ASSERT_NE(winutil, nullptr);
  EXPECT_EQ(windows->kind, KindForumDb);
  EXPECT_TRUE(windows->received);

  const ImpHeaderRec& a = msg(0);
  EXPECT_EQ(a.INTERNAL, windows->id);
  EXPECT_EQ(a.MSGNUMBER, 7788u);
  EXPECT_EQ(a.REFNUMBER, 0u);
  EXPECT_EQ(a.FOR_DESCRIPTION.str(), "Windows Forum");
  EXPECT_EQ(a.SECTIONNUMBER, 3);
  EXPECT_EQ(a.SEC_DESCRIPTION.str(), "Tools");
  EXPECT_EQ(a.HEADING.str(), "Tools question");
  EXPECT_EQ(a.S_NAME.str(), "John Smith");
  EXPECT_EQ(a.S_CISADRESS.str(), "12345,678");
  EXPECT_EQ(a.R_NAME.str(), "Mary Jones");
  EXPECT_EQ(a.R_CISADRESS.str(), "23456,789");
  EXPECT_EQ(a.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(a.TIME, timeFromHMS(14, 22, 10));
  EXPECT_EQ(a.MAILTYPE, qv::DirectionUndecided);
  EXPECT_TRUE(a.RECIPTYPE.blank());
  // Line 6 is no part of the text, leading empty lines are dropped.
  EXPECT_EQ(a.MSGTEXT, crlf({"How do I use the tools?", "  Indented line", ""}));

  const ImpHeaderRec& b = msg(1);
  EXPECT_EQ(b.MSGNUMBER, 7790u);
  EXPECT_EQ(b.REFNUMBER, 7788u);
  EXPECT_EQ(b.HEADING.str(), "Re: Tools question");
  EXPECT_EQ(b.DATE, dateFromYMD(1996, 3, 5));  // one-digit day
  EXPECT_EQ(b.TIME, timeFromHMS(9, 5, 0));
  EXPECT_EQ(b.R_NAME.str(), "John Smith");  // "(X)" trimmed
  EXPECT_EQ(b.R_CISADRESS.str(), "12345,678");
  EXPECT_EQ(b.MSGTEXT, "Like this.");

  const ImpHeaderRec& c = msg(2);
  EXPECT_EQ(c.INTERNAL, winutil->id);
  EXPECT_EQ(c.FOR_DESCRIPTION.str(), "WINUTIL");
  EXPECT_EQ(c.MSGNUMBER, 501u);
  EXPECT_EQ(c.SECTIONNUMBER, 12);
  EXPECT_EQ(c.SEC_DESCRIPTION.str(), "Utilities/Misc");
  EXPECT_EQ(c.DATE, dateFromYMD(1995, 10, 3));
  EXPECT_EQ(c.S_CISADRESS.str(), "76543,210");

  const ImpHeaderRec& d = msg(3);
  EXPECT_EQ(d.INTERNAL, windows->id);
  EXPECT_EQ(d.SECTIONNUMBER, 0);
  EXPECT_EQ(d.SEC_DESCRIPTION.str(), "General");
  EXPECT_EQ(d.DATE, dateFromYMD(1995, 12, 24));
  EXPECT_EQ(d.TIME, timeFromHMS(23, 59, 59));
}

TEST_F(LineParsersOzWin, SubjectReferenceRules) {
  auto message = [](const std::string& number, const std::string& subject) {
    return std::vector<std::string>{"#: " + number + " S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: " + subject,
                                    "Fm: A B 1,1",                      "To: C D 2,2",         "",
                                    "text"};
  };
  std::vector<std::string> lines;
  for (const auto& [number, subject] : std::vector<std::pair<std::string, std::string>>{
           {"12400", "#12345-Re: topic"},      // a parent
           {"42345", "#12345-Re: topic"},      // exactly 30,000 below: still a parent
           {"42346", "#12345-Re: topic"},      // more than 30,000 below: no parent
           {"12300", "#12345-Re: topic"},      // above the message's own number
           {"12400", "12345-Re: bare digits"},  // without "#"
           {"1234600", "#1234567-Re: seven digits"},
           {"500", "#1 fan club"},
           {"500", "#0-zero"},
       }) {
    auto m = message(number, subject);
    lines.insert(lines.end(), m.begin(), m.end());
  }
  convert("OzWin I", lines, KindForumDb);
  ASSERT_EQ(ctx_.emitted.size(), 8u);
  EXPECT_EQ(msg(0).REFNUMBER, 12345u);
  EXPECT_EQ(msg(0).HEADING.str(), "Re: topic");
  EXPECT_EQ(msg(1).REFNUMBER, 12345u);
  EXPECT_EQ(msg(2).REFNUMBER, 0u);
  EXPECT_EQ(msg(2).HEADING.str(), "12345-Re: topic");
  EXPECT_EQ(msg(3).REFNUMBER, 0u);
  EXPECT_EQ(msg(3).HEADING.str(), "12345-Re: topic");
  EXPECT_EQ(msg(4).REFNUMBER, 12345u);
  EXPECT_EQ(msg(4).HEADING.str(), "Re: bare digits");
  EXPECT_EQ(msg(5).REFNUMBER, 1234567u);
  EXPECT_EQ(msg(5).HEADING.str(), "Re: seven digits");
  EXPECT_EQ(msg(6).REFNUMBER, 0u);
  EXPECT_EQ(msg(6).HEADING.str(), "1 fan club");
  EXPECT_EQ(msg(7).REFNUMBER, 0u);
  EXPECT_EQ(msg(7).HEADING.str(), "0-zero");
}

TEST_F(LineParsersOzWin, ParentFromParOnTheHeaderLine) {
  convert("OzWin II",
          {
              "#: 7791 S3/Tools Par: 7788 (Windows Forum)",
              "    12-Mar-96 14:30",
              "Sb: #7000-Re: Tools question",
              "Fm: Mary Jones 23456,789",
              "To: John Smith 12345,678",
              "",
              "Text.",
          },
          1);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).REFNUMBER, 7788u);
  // The subject is taken whole: no reference is looked for in it.
  EXPECT_EQ(msg(0).HEADING.str(), "7000-Re: Tools question");
  EXPECT_EQ(msg(0).SECTIONNUMBER, 3);
  EXPECT_EQ(msg(0).SEC_DESCRIPTION.str(), "Tools");
}

TEST_F(LineParsersOzWin, ParentAfterParMustBeOlder) {
  std::vector<std::string> lines;
  for (const char* first : {"#: 7791 S3/Tools Par: 7795 (Windows Forum)", "#: 7792 S3/Tools Par: 7792 (Windows Forum)"})
    for (const char* l : {first, "    12-Mar-96 14:30", "Sb: Re: Tools", "Fm: Mary Jones 23456,789", "To: All", "", "x"})
      lines.push_back(l);
  convert("OzWin II", lines, KindForumDb);
  ASSERT_EQ(ctx_.emitted.size(), 2u);
  EXPECT_EQ(msg(0).REFNUMBER, 0u) << "a newer message is no parent";
  EXPECT_EQ(msg(1).REFNUMBER, 0u) << "nor is the message itself";
}

TEST_F(LineParsersOzWin, BadHeadersSkipOnlyTheirMessage) {
  auto good = [](const std::string& number) {
    return std::vector<std::string>{"#: " + number + " S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: ok",
                                    "Fm: A B 1,1",                      "To: C D 2,2",         "",
                                    "text " + number};
  };
  std::vector<std::string> lines;
  auto add = [&](const std::vector<std::string>& m) { lines.insert(lines.end(), m.begin(), m.end()); };
  add(good("1"));
  add({"#: 0 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: zero", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 9000000 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: big", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 12a45 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: text", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 3 S1/Gen no forum", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 4 S1/Gen (CIS:)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 5 S1/Gen (Forum)", "    01-Jan-96 10:00", "Subject: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 6 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: s", "From: A B 1,1", "To: C D 2,2", "", "x"});
  add({"#: 7 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1"});
  add(good("8999999"));
  convert("OzWin II", lines, KindForumDb);
  ASSERT_EQ(ctx_.emitted.size(), 2u);
  EXPECT_EQ(msg(0).MSGNUMBER, 1u);
  EXPECT_EQ(msg(0).MSGTEXT, "text 1");
  EXPECT_EQ(msg(1).MSGNUMBER, 8999999u);
  EXPECT_EQ(msg(1).MSGTEXT, "text 8999999");
  EXPECT_EQ(ctx_.skipped, 8);
}

TEST_F(LineParsersOzWin, LongMessagesAreCut) {
  std::vector<std::string> lines = {"#: 10 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: long",
                                    "Fm: A B 1,1",          "To: C D 2,2",         ""};
  for (int i = 1; i <= 3000; ++i) lines.push_back("line " + std::to_string(i));
  std::vector<std::string> wide = {"#: 11 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: wide",
                                   "Fm: A B 1,1",          "To: C D 2,2",         ""};
  // Windows-1252 "ä" is two bytes of UTF-8: the cut must not split one.
  for (int i = 0; i < 800; ++i) wide.push_back(std::string(99, 'x') + "\xE4");
  lines.insert(lines.end(), wide.begin(), wide.end());
  lines.insert(lines.end(), {"#: 12 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: after", "Fm: A B 1,1",
                             "To: C D 2,2", "", "short"});
  convert("OzWin I", lines, KindForumDb);
  ASSERT_EQ(ctx_.emitted.size(), 3u);

  // 2500 lines are held: the header's six and 2494 of text.
  std::string text = msg(0).MSGTEXT;
  EXPECT_TRUE(text.starts_with("line 1\r\nline 2\r\n"));
  EXPECT_TRUE(text.ends_with("\r\nline 2494"));

  const std::string& w = msg(1).MSGTEXT;
  EXPECT_LE(w.size(), qv::cis::kMaxText);
  EXPECT_GT(w.size(), qv::cis::kMaxText - 4);
  EXPECT_TRUE(qv::cis::isValidUtf8(w));
  EXPECT_TRUE(w.starts_with(std::string(99, 'x') + "ä\r\n"));

  EXPECT_EQ(msg(2).MSGTEXT, "short");
}

TEST_F(LineParsersOzWin, TargetAndFilterRules) {
  auto message = [](const std::string& number, const std::string& forum) {
    return std::vector<std::string>{"#: " + number + " S1/Gen (" + forum + ")", "    01-Jan-96 10:00", "Sb: s",
                                    "Fm: A B 1,1", "To: C D 2,2", "", "x"};
  };
  qv::Target& closed = ctx_.addTarget("Closed Forum", KindForumDb);
  closed.allowed = false;
  qv::Target& open = ctx_.addTarget("Open Forum", KindForumDb);
  ctx_.markImported(open.id, 100);
  ctx_.addTarget("Mail Box", KindMailDb);
  std::vector<std::string> lines;
  for (const auto& m : {message("100", "Open Forum"), message("101", "Open Forum"), message("102", "Closed Forum"),
                        message("103", "Mail Box"), message("104", "New Forum")})
    lines.insert(lines.end(), m.begin(), m.end());
  convert("OzWin I", lines, KindForumDb);

  // Already imported, closed to imports, and a name of another kind are skipped.
  ASSERT_EQ(ctx_.emitted.size(), 2u);
  EXPECT_EQ(msg(0).MSGNUMBER, 101u);
  EXPECT_EQ(msg(1).MSGNUMBER, 104u);
  EXPECT_EQ(ctx_.skipped, 3);
  ASSERT_NE(ctx_.targets.find("New Forum"), nullptr);
  EXPECT_EQ(msg(1).INTERNAL, ctx_.targets.find("New Forum")->id);
}

TEST_F(LineParsersOzWin, ReimportAllowedConvertsRecordedMessages) {
  qv::Target& open = ctx_.addTarget("Open Forum", KindForumDb);
  ctx_.markImported(open.id, 100);
  ctx_.settings_.allowReimport = true;
  convert("OzWin I",
          {"#: 100 S1/Gen (Open Forum)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"}, KindForumDb);
  EXPECT_EQ(ctx_.emitted.size(), 1u);
}

TEST_F(LineParsersOzWin, CreationOnlyMakesTheDatabasesButConvertsNothing) {
  ctx_.settings_.filter = qv::FilterCreateOnly;
  convert("OzWin I",
          {"#: 1 S1/Gen (First)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x",
           "#: 2 S1/Gen (Second)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"},
          1);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 2);
  EXPECT_NE(ctx_.targets.find("First"), nullptr);
  EXPECT_NE(ctx_.targets.find("Second"), nullptr);
}

TEST_F(LineParsersOzWin, ForumMessagesNeedForumImport) {
  ctx_.settings_.importForum = false;
  convert("OzWin I",
          {"#: 1 S1/Gen (First)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"}, KindForumDb);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 1);
  EXPECT_EQ(ctx_.targets.find("First"), nullptr);
}

TEST_F(LineParsersOzWin, WindowsAndUtf8BytesAreDecoded) {
  convert("OzWin I",
          "#: 1 S1/M\xFCnchen (K\xF6ln Forum)\r\n"
          "     7-M\xE4r-96 10:00\r\n"
          "Sb: Gr\xFC\xDF" "e\r\n"
          "Fm: J\xFCrgen M\xFCller 12345,678\r\n"
          "To: Ren\xC3\xA9 Dupont 23456,789\r\n"
          "\r\n"
          "Preis: 10 \x80\r\n"
          "Schon UTF-8: \xC3\xA4\xC3\xB6\xC3\xBC\r\n",
          1);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).FOR_DESCRIPTION.str(), "Köln Forum");
  EXPECT_EQ(msg(0).SEC_DESCRIPTION.str(), "München");
  EXPECT_EQ(msg(0).DATE, dateFromYMD(1996, 3, 7));
  EXPECT_EQ(msg(0).HEADING.str(), "Grüße");
  EXPECT_EQ(msg(0).S_NAME.str(), "Jürgen Müller");
  EXPECT_EQ(msg(0).R_NAME.str(), "René Dupont");
  EXPECT_EQ(msg(0).MSGTEXT, "Preis: 10 €\r\nSchon UTF-8: äöü");
}

TEST_F(LineParsersOzWin, SlicesAndProgress) {
  std::vector<std::string> lines = {"preamble"};
  for (int n = 1; n <= 5; ++n)
    lines.insert(lines.end(), {"#: " + std::to_string(n) + " S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: s",
                               "Fm: A B 1,1", "To: C D 2,2", "", "x"});
  ctx_.slice = 2;
  convert("OzWin I", lines, KindForumDb);
  EXPECT_EQ(ctx_.emitted.size(), 5u);
  // Two messages per call: the third call converts the last and ends the file.
  EXPECT_EQ(calls_, 3);
  EXPECT_EQ(ctx_.progressed, static_cast<int64_t>(lines.size()));
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(msg(i).MSGNUMBER, i + 1);
}

TEST_F(LineParsersOzWin, AWriteFailureEndsTheFile) {
  ctx_.failEmit = true;
  convert("OzWin I",
          {"#: 1 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x",
           "#: 2 S1/Gen (Forum)", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"},
          1);
  EXPECT_EQ(calls_, 1);
  EXPECT_EQ(ctx_.skipped, 0);
}

// --- OzCIS, TAPCIS and AUTOSIG forum files --------------------------------------

class LineParsersTapcis : public LineParsersBase {};

TEST_F(LineParsersTapcis, ForumFilesGoToTheForumOfTheSettings) {
  ctx_.settings_.forumName = "IBM Forum";
  for (const char* format : {"OzCIS", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    ctx_.emitted.clear();
    convert(format,
            {"#: 345678 S2/Hardware", "     9-Nov-97 18:45", "Sb: #345600-Disk drives", "Fm: Ann Lee 71234,567",
             "To: Bob Ray 72345,678", "", "", "Body."},
            1);
    ASSERT_EQ(ctx_.emitted.size(), 1u);
    EXPECT_EQ(msg(0).FOR_DESCRIPTION.str(), "IBM Forum");
    EXPECT_EQ(msg(0).INTERNAL, ctx_.targets.find("IBM Forum")->id);
    EXPECT_EQ(msg(0).MSGNUMBER, 345678u);
    EXPECT_EQ(msg(0).REFNUMBER, 345600u);
    EXPECT_EQ(msg(0).SECTIONNUMBER, 2);
    EXPECT_EQ(msg(0).SEC_DESCRIPTION.str(), "Hardware");
    EXPECT_EQ(msg(0).HEADING.str(), "Disk drives");
    EXPECT_EQ(msg(0).DATE, dateFromYMD(1997, 11, 9));
    EXPECT_EQ(msg(0).TIME, timeFromHMS(18, 45, 0));
    EXPECT_EQ(msg(0).MSGTEXT, "Body.");
  }
}

TEST_F(LineParsersTapcis, Tapcis5ForumMarkersAndUpperCaseDates) {
  ctx_.settings_.forumName = "IBM Forum";
  convert("TAPCIS 5.x",
          {"#: 4711 S7/Tools", "    05-M\xC4R-96 08:15:00", "Sb: Question about tools@b",
           "Fm: Ann Lee 71234,567@b", "To: Bob Ray 72345,678 (X)", "", "Text."},
          1);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).HEADING.str(), "Question about tools");
  EXPECT_EQ(msg(0).S_NAME.str(), "Ann Lee");
  EXPECT_EQ(msg(0).S_CISADRESS.str(), "71234,567");
  EXPECT_EQ(msg(0).R_CISADRESS.str(), "72345,678");
  EXPECT_EQ(msg(0).SECTIONNUMBER, 7);
  EXPECT_EQ(msg(0).DATE, dateFromYMD(1996, 3, 5));
  EXPECT_EQ(msg(0).TIME, timeFromHMS(8, 15, 0));
}

TEST_F(LineParsersTapcis, ForumFilesWithoutATargetForumConvertNothing) {
  convert("TAPCIS 6.x",
          {"#: 1 S1/Gen", "    01-Jan-96 10:00", "Sb: s", "Fm: A B 1,1", "To: C D 2,2", "", "x"}, KindForumDb);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 1);
}

// --- Mail ---------------------------------------------------------------------

class LineParsersMail : public LineParsersBase {};

TEST_F(LineParsersMail, OzCisMailReceivedAndSent) {
  useMailbox();
  ctx_.next = 500;
  convert("OzCIS",
          {
              "",
              "",
              "Date:  12-Mar-96 14:22",
              "From: John Smith 12345,678",
              "Subj: Hello there",
              "Line four is passed over",
              "",
              "Hi!",
              "Date:  13-Mar-96 09:05:33",
              "MgTo: INTERNET:joe@example.com",
              "Subj: Reply",
              "Line four",
              "Thanks.",
              "Date:  14-Mar-96 10:00",
              "CC: somebody",
              "Subj: Neither From nor MgTo",
              "",
              "x",
              "Date:  15-Mar-96 10:00",
              "From: Ann Lee 71234,567",
              "Subject: wrong label",
              "",
              "x",
          },
          2);
  ASSERT_EQ(ctx_.emitted.size(), 2u);
  EXPECT_EQ(ctx_.skipped, 1);
  uint32_t box = ctx_.settings_.mailbox;

  const ImpHeaderRec& in = msg(0);
  EXPECT_EQ(in.INTERNAL, box);
  EXPECT_EQ(in.MSGNUMBER, 500u);
  EXPECT_EQ(in.REFNUMBER, 500u);
  EXPECT_EQ(in.FOR_DESCRIPTION.str(), "Owner Box");
  EXPECT_EQ(in.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(in.RECIPTYPE.str(), "TO");
  EXPECT_EQ(in.S_NAME.str(), "John Smith");
  EXPECT_EQ(in.S_CISADRESS.str(), "12345,678");
  EXPECT_EQ(in.R_NAME.str(), "Owner Box");
  EXPECT_EQ(in.R_CISADRESS.str(), "99999,111");
  EXPECT_EQ(in.HEADING.str(), "Hello there");
  EXPECT_EQ(in.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(in.TIME, timeFromHMS(14, 22, 0));
  EXPECT_EQ(in.MSGTEXT, "Hi!");
  EXPECT_EQ(in.SECTIONNUMBER, 0);

  const ImpHeaderRec& out = msg(1);
  EXPECT_EQ(out.MSGNUMBER, 501u);
  EXPECT_EQ(out.REFNUMBER, 501u);
  EXPECT_EQ(out.MAILTYPE, qv::MailSent);
  EXPECT_EQ(out.S_NAME.str(), "Owner Box");
  EXPECT_EQ(out.S_CISADRESS.str(), "99999,111");
  EXPECT_EQ(out.R_NAME.str(), "");
  EXPECT_EQ(out.R_CISADRESS.str(), "joe@example.com");
  EXPECT_EQ(out.TIME, timeFromHMS(9, 5, 33));
  // A "Date:  " line that neither "From:" nor "MgTo:" follows begins no mail:
  // it is a line of the text.
  EXPECT_EQ(out.MSGTEXT, "Thanks.\r\nDate:  14-Mar-96 10:00\r\nCC: somebody\r\nSubj: Neither From nor MgTo\r\n\r\nx");
}

TEST_F(LineParsersMail, OzWin2MailTextStartsOnLineSix) {
  useMailbox();
  convert("OzWin II",
          {"Date:  12-Mar-96 14:22", "From: John Smith 12345,678", "Subj: Hello", "line 4", "line 5", "Body."}, KindMailDb);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).MSGTEXT, "Body.");
}

TEST_F(LineParsersMail, TapcisAndAutosigMailByTheOwnerAddresses) {
  useMailbox();
  for (const char* format : {"TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(format);
    ctx_.emitted.clear();
    ctx_.skipped = 0;
    convert(format,
            {
                "#: 1 Mail",
                "    12-Mar-96 14:22:05",
                "Sb: Hello",
                "Fm: \"Joe Bloggs\" >INTERNET:joe@example.com",
                "To: Owner Box 99999,111",
                "",
                "Hi there.",
                "#: 2 Mail",
                "    13-Mar-96 08:00",
                "Sb: Re: Hello",
                "Fm: Owner at home >INTERNET:Owner@Example.com",
                "To: Joe >INTERNET:Joe@Example.COM",
                "",
                "Answer.",
                "#: 3 Mail",
                "    13-Mar-96 08:00",
                "Sb: No recipient line",
                "Fm: Ann Lee 71234,567",
                "",
                "Received without a To: line.",
                "#: 4 Mail",
                "    13-Mar-96 08:00",
                "Sb: Sent without a recipient",
                "Fm: Owner at home >INTERNET:owner@example.com",
                "",
                "x",
                "#: 5 Mail",
                "    13-Mar-96 08:00",
                "Sb: Something else on line five",
                "Fm: Ann Lee 71234,567",
                "Cc: Joe",
                "",
                "x",
            },
            2);
    ASSERT_EQ(ctx_.emitted.size(), 3u);
    EXPECT_EQ(ctx_.skipped, 2);
    // The host shows received mail without a "To:" line: the mailbox is the
    // recipient and the text follows the empty line 5.
    EXPECT_EQ(msg(2).MAILTYPE, qv::MailReceived);
    EXPECT_EQ(msg(2).S_CISADRESS.str(), "71234,567");
    EXPECT_EQ(msg(2).R_NAME.str(), "Owner Box");
    EXPECT_EQ(msg(2).R_CISADRESS.str(), "99999,111");
    EXPECT_EQ(msg(2).MSGTEXT, "Received without a To: line.");
    const ImpHeaderRec& in = msg(0);
    EXPECT_EQ(in.MAILTYPE, qv::MailReceived);
    EXPECT_EQ(in.S_NAME.str(), "Joe Bloggs");
    EXPECT_EQ(in.S_CISADRESS.str(), "joe@example.com");
    EXPECT_EQ(in.R_NAME.str(), "Owner Box");
    EXPECT_EQ(in.R_CISADRESS.str(), "99999,111");
    EXPECT_EQ(in.DATE, dateFromYMD(1996, 3, 12));
    EXPECT_EQ(in.TIME, timeFromHMS(14, 22, 5));
    EXPECT_EQ(in.MSGTEXT, "Hi there.");
    EXPECT_EQ(in.RECIPTYPE.str(), "TO");

    // Sent from an alternative address: the owner's name and main address.
    const ImpHeaderRec& out = msg(1);
    EXPECT_EQ(out.MAILTYPE, qv::MailSent);
    EXPECT_EQ(out.S_NAME.str(), "Owner Box");
    EXPECT_EQ(out.S_CISADRESS.str(), "99999,111");
    EXPECT_EQ(out.R_NAME.str(), "Joe");
    EXPECT_EQ(out.R_CISADRESS.str(), "joe@example.com");
    EXPECT_EQ(out.MSGTEXT, "Answer.");
    EXPECT_NE(out.MSGNUMBER, in.MSGNUMBER);
    EXPECT_EQ(out.REFNUMBER, out.MSGNUMBER);
  }
}

TEST_F(LineParsersMail, Tapcis5DirectionFromTheOutbox) {
  useMailbox();
  convert("TAPCIS 5.x",
          {
              "#: 1 Mail/Inbox",
              "    12-MAR-96 14:22",
              "Sb: Hello@b",
              "Fm: John Smith 12345,678@b",
              "Line five is passed over",
              "Received text.",
              "#: 2 Mail/Outbox",
              "    13-MAR-96 15:00",
              "Sb: Reply",
              "Fm: Owner Box 99999,111",
              "To: Joe >INTERNET:joe@example.com@b",
              "",
              "Sent text.",
              "#: 3 Mail/Outbox",
              "    13-MAR-96 15:00",
              "Sb: Missing To",
              "Fm: Owner Box 99999,111",
              "Cc: Joe",
              "",
              "x",
          },
          2);
  ASSERT_EQ(ctx_.emitted.size(), 2u);
  EXPECT_EQ(ctx_.skipped, 1);
  EXPECT_EQ(msg(0).MAILTYPE, qv::MailReceived);
  EXPECT_EQ(msg(0).HEADING.str(), "Hello");
  EXPECT_EQ(msg(0).S_NAME.str(), "John Smith");
  EXPECT_EQ(msg(0).S_CISADRESS.str(), "12345,678");
  EXPECT_EQ(msg(0).R_NAME.str(), "Owner Box");
  EXPECT_EQ(msg(0).R_CISADRESS.str(), "99999,111");
  EXPECT_EQ(msg(0).MSGTEXT, "Received text.");
  EXPECT_EQ(msg(1).MAILTYPE, qv::MailSent);
  EXPECT_EQ(msg(1).S_NAME.str(), "Owner Box");
  EXPECT_EQ(msg(1).S_CISADRESS.str(), "99999,111");
  EXPECT_EQ(msg(1).R_NAME.str(), "Joe");
  EXPECT_EQ(msg(1).R_CISADRESS.str(), "joe@example.com");
  EXPECT_EQ(msg(1).MSGTEXT, "Sent text.");
}

TEST_F(LineParsersMail, MailNeedsMailImportAndAMailbox) {
  // No mailbox in the settings.
  convert("OzCIS", {"Date:  12-Mar-96 14:22", "From: John Smith 12345,678", "Subj: Hello", "", "Hi!"}, KindMailDb);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 1);

  useMailbox();
  ctx_.settings_.importMail = false;
  ctx_.skipped = 0;
  convert("OzCIS", {"Date:  12-Mar-96 14:22", "From: John Smith 12345,678", "Subj: Hello", "", "Hi!"}, KindMailDb);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 1);

  ctx_.settings_.importMail = true;
  ctx_.settings_.filter = qv::FilterCreateOnly;
  ctx_.skipped = 0;
  uint32_t before = ctx_.next;
  convert("OzCIS", {"Date:  12-Mar-96 14:22", "From: John Smith 12345,678", "Subj: Hello", "", "Hi!"}, KindMailDb);
  EXPECT_TRUE(ctx_.emitted.empty());
  EXPECT_EQ(ctx_.skipped, 1);
  EXPECT_EQ(ctx_.next, before);  // no number is used up by a skipped mail
}

// --- NavCIS save files ----------------------------------------------------------

class LineParsersNavCis : public LineParsersBase {};

TEST_F(LineParsersNavCis, ForumMessagesAndMail) {
  useMailbox();
  convert("NavCIS Save format",
          {
              "NavCIS saved messages",
              "Subject:  #12300-Re: Printing problem              Msg Number: 12345",
              "   From:  John Smith 12345,678",
              "     To:  Mary Jones 23456,789",
              "  Forum:  CIS:WINFORUM Sec: 3-Printing",
              "   Date:  12-Mar-96 14:22",
              "",
              "Try the other driver.",
              "Subject:  quoted in the text, not a header",
              "Bye.",
              "Subject:  Zero                                     Msg Number: 0",
              "   From:  John Smith 12345,678",
              "     To:  Mary Jones 23456,789",
              "  Forum:  CIS:WINFORUM Sec: 3-Printing",
              "",
              "x",
              "Subject:  #99999-Not a parent                      Msg Number: 12400",
              "   From:  John Smith 12345,678",
              "     To:  Mary Jones 23456,789",
              "  Forum:  Other Forum Sec: 11-Misc-Stuff",
              "",
              "Text.",
              "Subject:  Lunch?",
              "   From:  Joe >INTERNET:joe@example.com",
              "     To:  Owner Box 99999,111",
              "   Date:  5-Okt-97 12:30",
              "",
              "Lunch at noon?",
          },
          1);
  ASSERT_EQ(ctx_.emitted.size(), 3u);
  EXPECT_EQ(ctx_.skipped, 1);

  const ImpHeaderRec& a = msg(0);
  EXPECT_EQ(a.MSGNUMBER, 12345u);
  EXPECT_EQ(a.REFNUMBER, 12300u);
  EXPECT_EQ(a.HEADING.str(), "Re: Printing problem");
  EXPECT_EQ(a.FOR_DESCRIPTION.str(), "WINFORUM");
  EXPECT_EQ(a.INTERNAL, ctx_.targets.find("WINFORUM")->id);
  EXPECT_EQ(a.SECTIONNUMBER, 3);
  EXPECT_EQ(a.SEC_DESCRIPTION.str(), "Printing");
  EXPECT_EQ(a.S_NAME.str(), "John Smith");
  EXPECT_EQ(a.S_CISADRESS.str(), "12345,678");
  EXPECT_EQ(a.R_NAME.str(), "Mary Jones");
  EXPECT_EQ(a.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(a.TIME, timeFromHMS(14, 22, 0));
  EXPECT_EQ(a.MSGTEXT, crlf({"Try the other driver.", "Subject:  quoted in the text, not a header", "Bye."}));

  const ImpHeaderRec& b = msg(1);
  EXPECT_EQ(b.MSGNUMBER, 12400u);
  EXPECT_EQ(b.REFNUMBER, 0u);  // a parent cannot be newer than its reply
  EXPECT_EQ(b.HEADING.str(), "Not a parent");
  EXPECT_EQ(b.FOR_DESCRIPTION.str(), "Other Forum");
  EXPECT_EQ(b.SECTIONNUMBER, 11);
  EXPECT_EQ(b.SEC_DESCRIPTION.str(), "Misc-Stuff");
  EXPECT_EQ(b.DATE, 0);

  const ImpHeaderRec& m = msg(2);
  EXPECT_EQ(m.INTERNAL, ctx_.settings_.mailbox);
  EXPECT_EQ(m.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(m.RECIPTYPE.str(), "TO");
  EXPECT_EQ(m.HEADING.str(), "Lunch?");
  EXPECT_EQ(m.S_NAME.str(), "Joe");
  EXPECT_EQ(m.S_CISADRESS.str(), "joe@example.com");
  EXPECT_EQ(m.R_NAME.str(), "Owner Box");
  EXPECT_EQ(m.R_CISADRESS.str(), "99999,111");
  EXPECT_EQ(m.DATE, dateFromYMD(1997, 10, 5));
  EXPECT_EQ(m.REFNUMBER, m.MSGNUMBER);
  EXPECT_EQ(m.MSGTEXT, "Lunch at noon?");
}

TEST_F(LineParsersNavCis, SubjectCutsCountCharactersNotBytes) {
  // Windows-1252 letters are two bytes each once decoded: the subject ends
  // two characters before "Msg Number:" and starts one character after the
  // parent's number.
  convert("NavCIS Save format",
          {"Subject:  #900\xC4Gr\xFC\xDF\xD6\xD6Msg Number: 901", "   From:  Ann Lee 11111,222", "     To:  All",
           "  Forum:  Save Forum   Sec: 5-Chat", "", "x"},
          1);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).REFNUMBER, 900u);
  EXPECT_EQ(msg(0).HEADING.str(), "Grüß");
}

TEST_F(LineParsersNavCis, AHeaderBlockInsideALookAheadIsFound) {
  convert("NavCIS Save format",
          {
              "Subject:  broken block",
              "Subject:  Real one                    Msg Number: 77",
              "   From:  A B 1,1",
              "     To:  C D 2,2",
              "  Forum:  Forum Sec: 1-General",
              "",
              "Body.",
          },
          1);
  ASSERT_EQ(ctx_.emitted.size(), 1u);
  EXPECT_EQ(msg(0).MSGNUMBER, 77u);
  EXPECT_EQ(msg(0).HEADING.str(), "Real one");
  EXPECT_EQ(msg(0).MSGTEXT, "Body.");
  EXPECT_EQ(ctx_.progressed, 7);  // every line counted once
}

// --- Files that are no message files -------------------------------------------

class LineParsersGarbage : public LineParsersBase {};

TEST_F(LineParsersGarbage, EmptyAndBinaryFilesGiveNothing) {
  std::string binary;
  uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245 + 12345;
    binary.push_back(static_cast<char>(x >> 23));
  }
  binary += "#:";  // a boundary at the very end, without a header
  binary += std::string(70000, '\xFF');  // and a line longer than a line record
  ctx_.settings_.forumName = "Forum";
  useMailbox();
  for (const char* format : {"OzCIS", "OzWin I", "OzWin II", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG",
                             "NavCIS Save format"}) {
    for (int kind : {KindForumDb, KindMailDb}) {
      SCOPED_TRACE(std::string(format) + " kind " + std::to_string(kind));
      for (const std::string& bytes : {std::string(), binary, std::string("\r\n\r\n\n\n")}) {
        convert(format, bytes, kind);
        EXPECT_TRUE(ctx_.emitted.empty());
        EXPECT_LT(calls_, 100000);
        ctx_.closeSource();
      }
    }
  }
}

// --- Detection -----------------------------------------------------------------

class LineParsersDetection : public ::testing::Test {
 protected:
  int detect(const std::string& format, const std::vector<std::string>& lines, int importKind = KindForumDb) {
    return detectBytes(format, joinLines(lines), importKind);
  }
  int detectBytes(const std::string& format, const std::string& bytes, int importKind = KindForumDb) {
    std::string path = dir_.file("detect.txt");
    qvtest::writeFile(path, bytes);
    qv::LineFile.setName(path);
    EXPECT_TRUE(qv::LineFile.open(qv::Share::ReadOnly));
    int r = qv::detectLineFormat(format, qv::LineFile, importKind);
    // The file is left at its start.
    if (!bytes.empty()) {
      std::string first = bytes.substr(0, bytes.find('\n'));
      if (first.ends_with('\r') && first.size() < bytes.size()) first.pop_back();
      EXPECT_TRUE(qv::LineFile.next());
      EXPECT_EQ(qv::ASC.LINE, first);
    }
    qv::LineFile.close();
    return r;
  }
  TempDir dir_;
};

TEST_F(LineParsersDetection, OzFamily) {
  for (const char* f : {"OzCIS", "OzWin I", "OzWin II"}) {
    SCOPED_TRACE(f);
    // Blank lines, then "Date:  " and "MgTo:" or "From:": mail.
    EXPECT_EQ(detect(f, {"", "", "Date:  12-Mar-96 14:22", "MgTo: Joe 1,1", "Subj: x"}), KindMailDb);
    EXPECT_EQ(detect(f, {"Date:  12-Mar-96 14:22", "From: Joe 1,1"}), KindMailDb);
    EXPECT_EQ(detect(f, {"Date:  12-Mar-96 14:22", "Subj: x"}), 0);
    EXPECT_EQ(detect(f, {"Date:  12-Mar-96 14:22"}), 0);
    // "Date:" with one blank is no mail header.
    EXPECT_EQ(detect(f, {"Date: 12-Mar-96", "From: Joe 1,1", "#: 1 S1/Gen (F)", "  1-Jan-96", "Sb: s"}), KindForumDb);
    // "#:" with "Sb:" two lines further: forum.
    EXPECT_EQ(detect(f, {"junk", "#: 1 S1/Gen (F)", "  1-Jan-96", "Sb: s"}), KindForumDb);
    EXPECT_EQ(detect(f, {"#: 1 S1/Gen (F)", "Sb: s", "Fm: x"}), 0);
    EXPECT_EQ(detect(f, {"#: 1 S1/Gen (F)", "  1-Jan-96"}), 0);
    EXPECT_EQ(detect(f, {"nothing", "here"}), 0);
  }
}

TEST_F(LineParsersDetection, TapcisFamilyFollowsTheImportKind) {
  for (const char* f : {"TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(detect(f, {"", "#: 1 S1/Gen", "x"}, KindForumDb), KindForumDb);
    EXPECT_EQ(detect(f, {"", "#: 1 S1/Gen", "x"}, KindMailDb), KindMailDb);
    EXPECT_EQ(detect(f, {"Sb: x", " #: not at the start"}, KindForumDb), 0);
  }
}

TEST_F(LineParsersDetection, NavCis) {
  const std::string f = "NavCIS Save format";
  EXPECT_EQ(detect(f, {"Subject:  x", "   From:  a", "     To:  b", "  Forum:  F Sec: 1-G"}), KindForumDb);
  EXPECT_EQ(detect(f, {"Subject:  x", "   From:  a", "     To:  b", "   Date:  1-Jan-96"}), KindMailDb);
  // The first block is followed by another line; a later block decides.
  EXPECT_EQ(detect(f, {"Subject:  x", "   From:  a", "     To:  b", "   Cc:  c", "", "Subject:  y", "   From:  a",
                       "     To:  b", "   Date:  1-Jan-96"}),
            KindMailDb);
  // A block starting inside the lines read for a broken one.
  EXPECT_EQ(detect(f, {"Subject:  x", "Subject:  y", "   From:  a", "     To:  b", "  Forum:  F"}), KindForumDb);
  EXPECT_EQ(detect(f, {"Subject:  x", "   From:  a", "     To:  b"}), 0);
  EXPECT_EQ(detect(f, {"Subject: x", "   From:  a", "     To:  b", "   Date:  1-Jan-96"}), 0);
}

TEST_F(LineParsersDetection, NoMessageFiles) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
  for (const char* f : {"OzCIS", "OzWin II", "TAPCIS 6.x", "NavCIS Save format", "WinCIM", "nonsense"}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(detectBytes(f, ""), 0);
    EXPECT_EQ(detectBytes(f, binary), 0);
  }
}

}  // namespace
