// The parsers of the CompuServe readers' binary files: WinCIM, DOSCIM and
// CSNav filing-cabinet files, the CompuServe 3.x message cabinet, and
// GoldenCompass message files. The sample files are built here byte by byte
// from the readers' layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parser.h"
#include "import/parsers/binary_fields.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "support/fake_import_context.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using qv::dateFromYMD;
using qv::KindForumDb;
using qv::KindMailDb;
using qv::timeFromHMS;
using qvtest::FakeImportContext;
using qvtest::TempDir;

namespace {

// Little-endian fields as the readers write them.
class Bytes {
 public:
  Bytes& raw(std::string_view s) {
    b_.append(s);
    return *this;
  }
  Bytes& zeros(size_t n) {
    b_.append(n, '\0');
    return *this;
  }
  Bytes& u8(unsigned v) {
    b_.push_back(static_cast<char>(v & 0xFF));
    return *this;
  }
  Bytes& u16(unsigned v) { return u8(v).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  // A length byte and the bytes.
  Bytes& str(std::string_view s) { return u8(unsigned(s.size())).raw(s); }
  // The WinCIM family's date: four bytes passed over, day, month, year - 1970.
  Bytes& date(int y, int m, int d) { return raw("\x11\x22\x33\x44").dmy(y, m, d); }
  Bytes& dmy(int y, int m, int d) { return u8(unsigned(d)).u8(unsigned(m)).u8(unsigned(y - 1970)); }
  Bytes& hms(int h, int m, int s) { return u8(unsigned(s)).u8(unsigned(m)).u8(unsigned(h)); }
  // The CompuServe 3.x packed date and time.
  Bytes& packed(int y, int mo, int d, int h, int mi, int s) {
    uint32_t date = uint32_t((y - 1970) << 9 | mo << 5 | d);
    uint32_t time = uint32_t(h << 11 | mi << 5 | s / 2);
    return u32(date << 16 | time);
  }
  void patch16(size_t at, unsigned v) {
    b_[at] = static_cast<char>(v & 0xFF);
    b_[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  }
  size_t size() const { return b_.size(); }
  const std::string& bytes() const { return b_; }

 private:
  std::string b_;
};

const std::string kMagic("VIS000\x1A", 7);

struct Person {
  std::string name;
  std::string address;
};

// ---------------------------------------------------------------------------
// WinCIM family samples

struct ForumSample {
  uint32_t number = 4711;
  uint32_t reference = 4700;
  std::string forum = "CIS:WINFORUM";
  unsigned section = 3;
  std::string sectionName = "Tools";
  std::string subject = "Printer drivers";
  Person from{"John Smith", "12345,678"};
  Person to{"Mary Jones", "23456,789"};
  std::string text = "@lFirst line\r\nSecond line\r\n";
  unsigned headerLength = 5;
};

// A forum message file; `textStart` is the offset of its text.
std::string wincimForum(const ForumSample& s, size_t* textStart = nullptr) {
  Bytes b;
  b.raw(kMagic).u16(s.headerLength).u8(2).zeros(s.headerLength - 1);
  size_t lengthAt = b.size();
  b.u16(0);
  size_t last = lengthAt + 1;  // the block length's last byte
  b.date(1996, 3, 12).zeros(6).str(s.subject).str(s.from.name).str(s.from.address).zeros(1);
  b.str(s.to.name).str(s.to.address).zeros(4).raw("block rest");
  b.patch16(lengthAt, unsigned(b.size() - last));
  b.zeros(2).u32(s.number).u32(s.reference).zeros(9).u8(s.section).str(s.sectionName).str(s.forum);
  b.zeros(1).u32(77).u32(88).u8(3).raw("xyz");
  if (textStart) *textStart = b.size();
  b.raw(s.text);
  return b.bytes();
}

struct ThreadMessage {
  uint32_t number;
  uint32_t reference;
  Person from;
  Person to;
  std::string text;
};

Bytes threadHeader(const std::string& forum, unsigned section, const std::string& sectionName,
                   const std::string& subject) {
  Bytes b;
  b.raw(kMagic).u16(3).u8(3).zeros(2);
  b.zeros(2).u8(section).str(forum).u32(12345).str(sectionName).u8(2).raw("ab").u16(3).str(subject).zeros(4);
  return b;
}

void threadMessage(Bytes& b, const ThreadMessage& m, int day) {
  b.zeros(2).u32(m.number).u32(m.reference).zeros(9).date(1997, 5, day).zeros(6);
  b.str(m.from.name).str(m.from.address).str(m.to.name).str(m.to.address).zeros(1);
  b.u16(unsigned(m.text.size())).raw(m.text);
}

struct MailSample {
  std::string subject = "Meeting";
  Person from{"\"Anna Berg\"", "INTERNET:anna@example.org"};
  std::vector<Person> to = {{"Owner", "99999,111"}};
  std::vector<Person> moreTo;
  std::vector<Person> cc;
  std::vector<Person> bc;
  std::vector<Person> moreCc;
  std::vector<Person> moreBc;
  unsigned state = 0;
  int attachments = 0;
  std::string text = "@lHello\r\nthere";
};

void entries(Bytes& b, const std::vector<Person>& list) {
  for (const Person& p : list) b.str(p.name).str(p.address).raw("\x01\x02\x03\x04");
}

std::string wincimMail(const MailSample& s, size_t* textStart = nullptr) {
  Bytes b;
  b.raw(kMagic).u16(1).u8(1);
  b.zeros(16).str("Filing cabinet").str("Owner").str("99999,111").str("In Basket").u16(9);
  b.hms(14, 22, 6).dmy(1996, 3, 12).zeros(6);
  b.str(s.subject).str(s.from.name).str(s.from.address);
  b.u8(unsigned(s.to.size()));
  entries(b, s.to);
  b.zeros(2).u16(unsigned(s.moreTo.size()));
  entries(b, s.moreTo);
  b.u16(5).u8(s.state);
  b.u8(unsigned(s.cc.size()));
  entries(b, s.cc);
  b.u8(unsigned(s.bc.size()));
  entries(b, s.bc);
  b.str("reply to").zeros(17).str("x").zeros(1);
  b.u8(unsigned(s.attachments));
  for (int i = 0; i < s.attachments; ++i)
    b.zeros(1).u32(1000).str("FILE.ZIP").str("C:\\DOWNLOAD").zeros(1).zeros(4).str("binary");
  b.zeros(1);
  b.u16(unsigned(s.moreCc.size()));
  entries(b, s.moreCc);
  b.u16(unsigned(s.moreBc.size()));
  entries(b, s.moreBc);
  if (textStart) *textStart = b.size();
  b.raw(s.text);
  return b.bytes();
}

// ---------------------------------------------------------------------------
// Fixture

class BinaryReadersBase : public ::testing::Test {
 protected:
  // A fresh context for a format; settings may be changed before convert().
  FakeImportContext& fresh(const std::string& format) {
    ctx_ = std::make_unique<FakeImportContext>();
    ctx_->setFormat(format);
    return *ctx_;
  }
  FakeImportContext& ctx() { return *ctx_; }

  // Gives the context a mailbox owned by "Owner Box" (main address
  // 99999,111, alternative owner@example.com), its list in a directory of its own.
  void useMailbox() {
    std::string d = dir_.file("box" + std::to_string(++boxes_));
    std::filesystem::create_directories(d);
    ctx_->addMailbox(d, "Owner Box", "99999,111", {"owner@example.com"});
  }

  // Writes the file and runs the format's parser over it as the run does.
  void convert(const std::string& bytes) {
    std::string path = dir_.file("source.bin");
    qvtest::writeFile(path, bytes);
    ASSERT_TRUE(ctx_->openBlocks(path));
    const qv::FormatInfo& f = ctx_->format();
    parser_ = qv::makeParser(f);
    ASSERT_NE(parser_, nullptr);
    calls_ = qvtest::runParser(*parser_, *ctx_);
    ctx_->closeSource();
  }

  const qv::ImpHeaderRec& only() {
    EXPECT_EQ(ctx_->emitted.size(), 1u);
    static qv::ImpHeaderRec none;
    return ctx_->emitted.empty() ? none : ctx_->emitted.front();
  }

  TempDir dir_;
  std::unique_ptr<FakeImportContext> ctx_;
  std::unique_ptr<qv::Parser> parser_;
  int calls_ = 0;
  int boxes_ = 0;
};

// ===========================================================================
// WinCIM family

class BinaryReadersWinCim : public BinaryReadersBase {};

TEST_F(BinaryReadersWinCim, ForumMessageFieldsInOrder) {
  fresh("WinCIM");
  ForumSample s;
  s.from = {"J\xFCrgen M\xFCller", "76543,210"};  // Windows-1252
  convert(wincimForum(s));
  EXPECT_EQ(calls_, 1);  // read whole in one call
  const qv::ImpHeaderRec& r = only();
  qv::Target* t = ctx().targets.find("WINFORUM");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(r.INTERNAL, t->id);
  EXPECT_EQ(r.MSGNUMBER, 4711u);
  EXPECT_EQ(r.REFNUMBER, 4700u);
  EXPECT_EQ(r.FOR_DESCRIPTION.view(), "WINFORUM");
  EXPECT_EQ(r.SECTIONNUMBER, 3);
  EXPECT_EQ(r.SEC_DESCRIPTION.view(), "Tools");
  EXPECT_EQ(r.HEADING.view(), "Printer drivers");
  EXPECT_EQ(r.S_NAME.view(), "J\xC3\xBCrgen M\xC3\xBCller");
  EXPECT_EQ(r.S_CISADRESS.view(), "76543,210");
  EXPECT_EQ(r.R_NAME.view(), "Mary Jones");
  EXPECT_EQ(r.R_CISADRESS.view(), "23456,789");
  EXPECT_EQ(r.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(r.MAILTYPE, qv::DirectionUndecided);
  EXPECT_EQ(r.MSGTEXT, "First line\r\nSecond line\r\n");
  EXPECT_EQ(ctx().skipped, 0);
}

TEST_F(BinaryReadersWinCim, ForumMessageFamilyFormatsAndFieldRules) {
  // DOSCIM and CSNav read the same files.
  for (const char* format : {"DOSCIM", "CSNav"}) {
    fresh(format);
    ForumSample s;
    s.headerLength = 12;
    s.forum = "cis:Graphics";
    convert(wincimForum(s));
    EXPECT_EQ(only().FOR_DESCRIPTION.view(), "Graphics") << format;
  }
  // Strings keep 50 characters; lone LF and CR line ends become CR LF and
  // NUL padding goes; a reference to a newer message is no parent.
  fresh("WinCIM");
  ForumSample s;
  s.from.address = std::string(55, 'a');
  s.reference = 5000;
  s.text = std::string("one\ntwo\rthree\0\0", 15);
  convert(wincimForum(s));
  EXPECT_EQ(only().S_CISADRESS.view(), std::string(50, 'a'));
  EXPECT_EQ(only().REFNUMBER, 0u);
  EXPECT_EQ(only().MSGTEXT, "one\r\ntwo\r\nthree");
}

TEST_F(BinaryReadersWinCim, ForumMessageSkipRules) {
  // Already imported, reimport not allowed: skipped, nothing emitted.
  fresh("WinCIM");
  qv::Target& t = ctx().addTarget("WINFORUM", KindForumDb);
  ctx().markImported(t.id, 4711);
  convert(wincimForum(ForumSample()));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  fresh("WinCIM");
  qv::Target& again = ctx().addTarget("WINFORUM", KindForumDb);
  ctx().markImported(again.id, 4711);
  ctx().settings_.allowReimport = true;
  convert(wincimForum(ForumSample()));
  EXPECT_EQ(ctx().emitted.size(), 1u);

  // A database closed to imports.
  fresh("WinCIM");
  ctx().addTarget("WINFORUM", KindForumDb).allowed = false;
  convert(wincimForum(ForumSample()));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // Creation only: the database is made, the message counted as skipped.
  fresh("WinCIM");
  ctx().settings_.filter = qv::FilterCreateOnly;
  convert(wincimForum(ForumSample()));
  EXPECT_NE(ctx().targets.find("WINFORUM"), nullptr);
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // Forum import not selected.
  fresh("WinCIM");
  ctx().settings_.importForum = false;
  convert(wincimForum(ForumSample()));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // Invalid numbers and an empty forum name.
  for (uint32_t number : {0u, 9000000u}) {
    fresh("WinCIM");
    ForumSample s;
    s.number = number;
    convert(wincimForum(s));
    EXPECT_TRUE(ctx().emitted.empty()) << number;
    EXPECT_EQ(ctx().skipped, 1) << number;
  }
  fresh("WinCIM");
  ForumSample s;
  s.forum = "CIS:";
  convert(wincimForum(s));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);
}

TEST_F(BinaryReadersWinCim, SavedThreadWithThreeMessages) {
  fresh("WinCIM");
  Bytes b = threadHeader("CIS:MSDOS", 7, "Utilities", "Batch files");
  std::vector<ThreadMessage> msgs = {
      {100, 0, {"Ann Ash", "11111,111"}, {"All", ""}, "Question?"},
      {105, 100, {"Bob Birch", "22222,222"}, {"Ann Ash", "11111,111"}, "Answer.\r\nBye"},
      {107, 105, {"Ann Ash", "11111,111"}, {"Bob Birch", "22222,222"}, "Thanks"},
  };
  for (size_t i = 0; i < msgs.size(); ++i) threadMessage(b, msgs[i], int(10 + i));
  convert(b.bytes());
  ASSERT_EQ(ctx().emitted.size(), 3u);
  EXPECT_EQ(ctx().skipped, 0);
  for (size_t i = 0; i < 3; ++i) {
    const qv::ImpHeaderRec& r = ctx().emitted[i];
    EXPECT_EQ(r.MSGNUMBER, msgs[i].number);
    EXPECT_EQ(r.REFNUMBER, msgs[i].reference);
    EXPECT_EQ(r.FOR_DESCRIPTION.view(), "MSDOS");
    EXPECT_EQ(r.SECTIONNUMBER, 7);
    EXPECT_EQ(r.SEC_DESCRIPTION.view(), "Utilities");
    EXPECT_EQ(r.HEADING.view(), "Batch files");
    EXPECT_EQ(r.S_NAME.view(), msgs[i].from.name);
    EXPECT_EQ(r.S_CISADRESS.view(), msgs[i].from.address);
    EXPECT_EQ(r.R_NAME.view(), msgs[i].to.name);
    EXPECT_EQ(r.DATE, dateFromYMD(1997, 5, int(10 + i)));
    EXPECT_EQ(r.MSGTEXT, msgs[i].text);
  }

  // One message imported before: the others still come.
  fresh("WinCIM");
  ctx().markImported(ctx().addTarget("MSDOS", KindForumDb).id, 105);
  convert(b.bytes());
  ASSERT_EQ(ctx().emitted.size(), 2u);
  EXPECT_EQ(ctx().emitted[0].MSGNUMBER, 100u);
  EXPECT_EQ(ctx().emitted[1].MSGNUMBER, 107u);
  EXPECT_EQ(ctx().skipped, 1);
}

TEST_F(BinaryReadersWinCim, ReceivedMailWithRecipientsAndCopies) {
  fresh("WinCIM");
  useMailbox();
  MailSample s;
  s.subject = "Copy of: Meeting on Friday";
  s.moreTo = {{"Carl Cedar", "INTERNET:carl@example.net"}};
  s.cc = {{"Dora Dale", "33333,333"}};
  s.bc = {{"Emil Elm", "44444,444"}};
  s.moreCc = {{"Fay Fir", "55555,555"}};
  s.moreBc = {{"Gus Gale", "66666,666"}};
  s.attachments = 2;
  convert(wincimMail(s));
  const qv::ImpHeaderRec& r = only();
  EXPECT_EQ(r.INTERNAL, ctx().settings_.mailbox);
  EXPECT_EQ(r.MSGNUMBER, r.REFNUMBER);
  EXPECT_GE(r.MSGNUMBER, 250000u);
  EXPECT_EQ(r.HEADING.view(), "Meeting on Friday");
  EXPECT_EQ(r.S_NAME.view(), "Anna Berg");
  EXPECT_EQ(r.S_CISADRESS.view(), "anna@example.org");
  EXPECT_EQ(r.R_NAME.view(), "Owner Box");
  EXPECT_EQ(r.R_CISADRESS.view(), "99999,111");
  EXPECT_EQ(r.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(r.RECIPTYPE.view(), "TO");
  EXPECT_EQ(r.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(r.TIME, timeFromHMS(14, 22, 6));
  EXPECT_EQ(r.MSGTEXT, "Hello\r\nthere");

  struct Expected {
    const char* name;
    const char* address;
    const char* type;
  };
  std::vector<Expected> want = {{"Carl Cedar", "carl@example.net", "TO"},
                                {"Dora Dale", "33333,333", "CC"},
                                {"Emil Elm", "44444,444", "BC"},
                                {"Fay Fir", "55555,555", "CC"},
                                {"Gus Gale", "66666,666", "BC"}};
  ASSERT_EQ(ctx().carbonCopies.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const qv::ImpCCRRec& c = ctx().carbonCopies[i];
    EXPECT_EQ(c.MAILID, r.MSGNUMBER);
    EXPECT_EQ(c.R_NAME.view(), want[i].name);
    EXPECT_EQ(c.R_CISADRESS.view(), want[i].address);
    EXPECT_EQ(c.RECIPTYPE.view(), want[i].type);
  }
}

TEST_F(BinaryReadersWinCim, SentMailAndSenderRules) {
  // Sent from the owner's alternative address: the owner's main address and
  // name, the recipient's address in lower case.
  fresh("WinCIM");
  useMailbox();
  MailSample s;
  s.from = {"Me", "INTERNET:Owner@Example.com"};
  s.to = {{"Hal Hill", "INTERNET:Hal@Example.NET"}};
  convert(wincimMail(s));
  EXPECT_EQ(only().MAILTYPE, qv::MailSent);
  EXPECT_EQ(only().S_NAME.view(), "Owner Box");
  EXPECT_EQ(only().S_CISADRESS.view(), "99999,111");
  EXPECT_EQ(only().R_NAME.view(), "Hal Hill");
  EXPECT_EQ(only().R_CISADRESS.view(), "hal@example.net");
  EXPECT_TRUE(ctx().carbonCopies.empty());

  // Without a sender address the owner wrote it.
  fresh("WinCIM");
  useMailbox();
  s.from = {"", ""};
  convert(wincimMail(s));
  EXPECT_EQ(only().MAILTYPE, qv::MailSent);
  EXPECT_EQ(only().S_NAME.view(), "Owner Box");
  EXPECT_EQ(only().S_CISADRESS.view(), "99999,111");

  // A sender name that repeats the address is no name.
  fresh("WinCIM");
  useMailbox();
  s.from = {"INTERNET:zed@example.org", "INTERNET:zed@example.org"};
  convert(wincimMail(s));
  EXPECT_EQ(only().MAILTYPE, qv::MailReceived);
  EXPECT_EQ(only().S_NAME.view(), "");
  EXPECT_EQ(only().S_CISADRESS.view(), "zed@example.org");

  // A subject without "Copy of:" stays whole, cut to 50 characters.
  fresh("WinCIM");
  useMailbox();
  s.subject = std::string(60, 's');
  convert(wincimMail(s));
  EXPECT_EQ(only().HEADING.view(), std::string(50, 's'));
}

TEST_F(BinaryReadersWinCim, MailThatIsNotKeptOrHasNoTarget) {
  // State byte 4: the file yields no mail.
  fresh("WinCIM");
  useMailbox();
  MailSample s;
  s.state = 4;
  convert(wincimMail(s));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // No mailbox, or mail import not selected.
  fresh("WinCIM");
  convert(wincimMail(MailSample()));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);
  fresh("WinCIM");
  useMailbox();
  ctx().settings_.importMail = false;
  convert(wincimMail(MailSample()));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);
  EXPECT_TRUE(ctx().carbonCopies.empty());
}

TEST_F(BinaryReadersWinCim, TextsAreCutAt64000Bytes) {
  // Windows-1252 text growing past the limit when decoded: cut on a
  // character boundary.
  fresh("WinCIM");
  ForumSample s;
  s.text = std::string(30000, '\x80');  // the euro sign, three bytes of UTF-8
  convert(wincimForum(s));
  std::string euro = "\xE2\x82\xAC";
  EXPECT_EQ(only().MSGTEXT.size(), 63999u);
  EXPECT_TRUE(qv::cis::isValidUtf8(only().MSGTEXT));

  // A UTF-8 text longer than the limit stays UTF-8, even where the bytes
  // read end inside a character.
  fresh("WinCIM");
  s.text = "x";
  for (int i = 0; i < 30000; ++i) s.text += euro;
  convert(wincimForum(s));
  std::string want = "x";
  for (int i = 0; i < 21333; ++i) want += euro;
  EXPECT_EQ(only().MSGTEXT, want);

  // A text cut between CR and LF keeps no half line break.
  fresh("WinCIM");
  s.text = std::string(63999, 'y') + "\r\nmore";
  convert(wincimForum(s));
  EXPECT_EQ(only().MSGTEXT, std::string(63999, 'y'));
}

TEST_F(BinaryReadersWinCim, TruncatedFilesSkipTheMessage) {
  size_t forumText = 0, mailText = 0;
  std::string forum = wincimForum(ForumSample(), &forumText);
  MailSample ms;
  ms.cc = {{"Dora Dale", "33333,333"}};
  ms.attachments = 1;
  std::string mail = wincimMail(ms, &mailText);
  // Every cut before the text loses a field: the message is skipped. A cut
  // in the signature is no filing-cabinet file at all.
  for (size_t cut = 0; cut < forumText; ++cut) {
    fresh("WinCIM");
    convert(forum.substr(0, cut));
    EXPECT_TRUE(ctx().emitted.empty()) << cut;
    EXPECT_EQ(ctx().skipped, cut < kMagic.size() ? 0 : 1) << cut;
  }
  for (size_t cut = kMagic.size(); cut < mailText; ++cut) {
    fresh("WinCIM");
    useMailbox();
    convert(mail.substr(0, cut));
    EXPECT_TRUE(ctx().emitted.empty()) << cut;
    EXPECT_TRUE(ctx().carbonCopies.empty()) << cut;
    EXPECT_EQ(ctx().skipped, 1) << cut;
  }
  // A cut in the text keeps what is there.
  fresh("WinCIM");
  convert(forum.substr(0, forumText + 7));  // "@l" and five letters
  EXPECT_EQ(only().MSGTEXT, "First");

  // A thread cut inside its second message keeps the first.
  Bytes b = threadHeader("MSDOS", 1, "General", "Subject");
  threadMessage(b, {1, 0, {"A", "1,1"}, {"B", "2,2"}, "one"}, 1);
  size_t second = b.size();
  threadMessage(b, {2, 1, {"B", "2,2"}, {"A", "1,1"}, "two"}, 2);
  for (size_t cut = second + 1; cut < b.size(); ++cut) {
    fresh("WinCIM");
    convert(b.bytes().substr(0, cut));
    ASSERT_EQ(ctx().emitted.size(), 1u) << cut;
    EXPECT_EQ(ctx().emitted[0].MSGNUMBER, 1u);
    EXPECT_EQ(ctx().skipped, 1) << cut;
  }
}

TEST_F(BinaryReadersWinCim, LengthsThatRunPastTheData) {
  // A string whose length byte points past the end of the file.
  fresh("WinCIM");
  std::string bytes = wincimForum(ForumSample());
  size_t at = bytes.find("Tools") - 1;  // the section name's length byte
  bytes[at] = '\xF0';
  convert(bytes.substr(0, at + 20));
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // A block length past the end, and one shorter than the fields it holds.
  for (unsigned length : {0xFFFFu, 3u}) {
    fresh("WinCIM");
    bytes = wincimForum(ForumSample());
    size_t lengthAt = kMagic.size() + 3 + 4;  // after the header of length 5
    bytes[lengthAt] = char(length & 0xFF);
    bytes[lengthAt + 1] = char(length >> 8);
    convert(bytes);
    EXPECT_TRUE(ctx().emitted.empty()) << length;
    EXPECT_EQ(ctx().skipped, 1) << length;
  }

  // A header length past the end, and a header length of 0.
  for (unsigned length : {0xFFFFu, 0u}) {
    fresh("WinCIM");
    bytes = wincimForum(ForumSample());
    bytes[7] = char(length & 0xFF);
    bytes[8] = char(length >> 8);
    convert(bytes);
    EXPECT_TRUE(ctx().emitted.empty()) << length;
    EXPECT_EQ(ctx().skipped, 1) << length;
  }

  // A thread message whose text length runs past the end.
  fresh("WinCIM");
  Bytes b = threadHeader("MSDOS", 1, "General", "Subject");
  threadMessage(b, {1, 0, {"A", "1,1"}, {"B", "2,2"}, "one"}, 1);
  std::string thread = b.bytes();
  thread[thread.size() - 5] = '\x40';  // the text length: 64 bytes, 3 there
  convert(thread);
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);

  // A mail claiming 65535 further recipients.
  fresh("WinCIM");
  useMailbox();
  MailSample s;
  std::string mail = wincimMail(s);
  size_t count = mail.find("Owner", mail.find("Meeting")) + 5 + 1 + 9 + 4 + 2;  // after the first entry
  mail[count] = '\xFF';
  mail[count + 1] = '\xFF';
  convert(mail);
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);
}

TEST_F(BinaryReadersWinCim, FilesWithoutMessages) {
  // Empty, not a filing-cabinet file, and a record of another type.
  for (std::string bytes : {std::string(), std::string("VIS001\x1A\x05\x00\x02", 10), kMagic + std::string("\x01\x00\x07", 3)}) {
    fresh("WinCIM");
    convert(bytes);
    EXPECT_EQ(calls_, 1);
    EXPECT_TRUE(ctx().emitted.empty());
    EXPECT_EQ(ctx().skipped, 0);
  }
}

// ===========================================================================
// CompuServe 3.x

class BinaryReadersCs3 : public qvtest::ServicesTest {
 protected:
  TempDir dir_;
  std::unique_ptr<FakeImportContext> ctx_;
  std::unique_ptr<qv::Parser> parser_;
  int calls_ = 0;

  FakeImportContext& fresh() {
    ctx_ = std::make_unique<FakeImportContext>();
    ctx_->setFormat("CompuServe 3.x");
    return *ctx_;
  }
  void useMailbox() {
    std::string d = dir_.file("box");
    std::filesystem::create_directories(d);
    ctx_->addMailbox(d, "Owner Box", "99999,111", {"owner@example.com"});
  }
  // Runs the parser as the run does: start, first pass, convert calls.
  bool convert(const std::string& bytes) {
    std::string path = dir_.file("FCABINET.DAT");
    qvtest::writeFile(path, bytes);
    EXPECT_TRUE(ctx_->openBlocks(path));
    parser_ = qv::makeParser(ctx_->format());
    calls_ = 0;
    bool started = parser_->start(*ctx_);
    if (started) {
      while (!parser_->firstPass(*ctx_)) {
      }
      while (!parser_->convert(*ctx_)) ++calls_;
      ++calls_;
    }
    ctx_->closeSource();
    return started;
  }
};

struct Cs3Forum {
  std::string subject = "Printer drivers";
  Person from{"John Smith", "12345,678"};
  Person to{"Mary Jones", "23456,789"};
  std::string section = "Tools";
  std::string forum = "CIS:WINFORUM";
  unsigned sectionNumber = 3;
  uint32_t number = 4711;
  uint32_t reference = 4700;
  std::string text = "@lHello forum";
};

Bytes cs3Start(unsigned kind, const std::string& subject, const Person& from, const std::string& section,
               const std::string& forum) {
  Bytes b;
  b.raw("~CS~FCR~").zeros(2).u8(0).zeros(93).u8(kind).zeros(4).packed(1998, 7, 21, 16, 45, 30).zeros(4);
  b.str(subject).str(from.name).str(from.address).str(section).str(forum).str("N").str("Y");
  return b;
}

std::string cs3Forum(const Cs3Forum& s) {
  Bytes b = cs3Start(2, s.subject, s.from, s.section, s.forum);
  b.zeros(2).str("x").u8(s.sectionNumber).zeros(4).str(s.to.name).str(s.to.address).zeros(4);
  b.u32(s.number).u32(s.reference).zeros(10).u32(uint32_t(s.text.size())).raw(s.text);
  return b.bytes();
}

std::string cs3Mail(const std::string& subject, const Person& from, const std::vector<Person>& to,
                    const std::vector<Person>& cc, const std::string& text) {
  Bytes b = cs3Start(9, subject, from, "", "");
  b.u16(unsigned(to.size()));
  for (const Person& p : to) b.str(p.name).str(p.address);
  b.u16(unsigned(cc.size()));
  for (const Person& p : cc) b.str(p.name).str(p.address);
  b.u32(uint32_t(text.size())).raw(text);
  return b.bytes();
}

std::string cabinet(const std::vector<std::string>& records) {
  std::string s = "FCAB" + std::string(28, '\0');
  for (const std::string& r : records) s += r;
  return s;
}

TEST_F(BinaryReadersCs3, CabinetWithForumMessagesAndMail) {
  fresh();
  useMailbox();
  Cs3Forum second;
  second.number = 4800;
  second.reference = 4711;
  second.forum = "Graphics";
  second.subject = std::string(80, 'g');
  second.text = "line 1\r\nline 2";
  std::string shortRecord = "~CS~FCR~" + std::string(100, '\0');
  std::string otherKind = cs3Start(5, "folder", {"", ""}, "", "").bytes() + std::string(60, '\0');
  std::string mail = cs3Mail("Copy of: Lunch", {"\"Anna Berg\"", "INTERNET:anna@example.org"},
                             {{"Owner", "99999,111"}, {"Carl Cedar", "carl@example.net"}},
                             {{"Dora Dale", "33333,333"}}, "@lSee you");
  ASSERT_TRUE(convert(cabinet({cs3Forum(Cs3Forum()), shortRecord, cs3Forum(second), otherKind, mail})));
  EXPECT_EQ(ctx_->skipped, 0);
  ASSERT_EQ(ctx_->emitted.size(), 3u);

  const qv::ImpHeaderRec& f = ctx_->emitted[0];
  EXPECT_EQ(f.MSGNUMBER, 4711u);
  EXPECT_EQ(f.REFNUMBER, 4700u);
  EXPECT_EQ(f.FOR_DESCRIPTION.view(), "WINFORUM");
  EXPECT_EQ(f.INTERNAL, ctx_->targets.find("WINFORUM")->id);
  EXPECT_EQ(f.SECTIONNUMBER, 3);
  EXPECT_EQ(f.SEC_DESCRIPTION.view(), "Tools");
  EXPECT_EQ(f.HEADING.view(), "Printer drivers");
  EXPECT_EQ(f.S_NAME.view(), "John Smith");
  EXPECT_EQ(f.S_CISADRESS.view(), "12345,678");
  EXPECT_EQ(f.R_NAME.view(), "Mary Jones");
  EXPECT_EQ(f.R_CISADRESS.view(), "23456,789");
  EXPECT_EQ(f.DATE, dateFromYMD(1998, 7, 21));
  EXPECT_EQ(f.TIME, timeFromHMS(16, 45, 30));
  EXPECT_EQ(f.MSGTEXT, "Hello forum");

  const qv::ImpHeaderRec& g = ctx_->emitted[1];
  EXPECT_EQ(g.MSGNUMBER, 4800u);
  EXPECT_EQ(g.REFNUMBER, 4711u);
  EXPECT_EQ(g.FOR_DESCRIPTION.view(), "Graphics");
  EXPECT_EQ(g.HEADING.view(), std::string(50, 'g'));
  EXPECT_EQ(g.MSGTEXT, "line 1\r\nline 2");

  const qv::ImpHeaderRec& m = ctx_->emitted[2];
  EXPECT_EQ(m.INTERNAL, ctx_->settings_.mailbox);
  EXPECT_EQ(m.MSGNUMBER, m.REFNUMBER);
  EXPECT_EQ(m.HEADING.view(), "Lunch");
  EXPECT_EQ(m.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(m.S_NAME.view(), "Anna Berg");
  EXPECT_EQ(m.S_CISADRESS.view(), "anna@example.org");
  EXPECT_EQ(m.R_NAME.view(), "Owner Box");
  EXPECT_EQ(m.R_CISADRESS.view(), "99999,111");
  EXPECT_EQ(m.RECIPTYPE.view(), "TO");
  EXPECT_EQ(m.MSGTEXT, "See you");
  ASSERT_EQ(ctx_->carbonCopies.size(), 2u);
  EXPECT_EQ(ctx_->carbonCopies[0].MAILID, m.MSGNUMBER);
  EXPECT_EQ(ctx_->carbonCopies[0].R_NAME.view(), "Carl Cedar");
  EXPECT_EQ(ctx_->carbonCopies[0].RECIPTYPE.view(), "TO");
  EXPECT_EQ(ctx_->carbonCopies[1].R_NAME.view(), "Dora Dale");
  EXPECT_EQ(ctx_->carbonCopies[1].R_CISADRESS.view(), "33333,333");
  EXPECT_EQ(ctx_->carbonCopies[1].RECIPTYPE.view(), "CC");
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(BinaryReadersCs3, SentMailAndMissingSender) {
  fresh();
  useMailbox();
  std::string sent = cs3Mail("Plans", {"Me", "INTERNET:owner@example.com"}, {{"Hal Hill", "Hal@Example.NET"}}, {},
                             "text");
  std::string unsent = cs3Mail("Draft", {"", ""}, {{"Ida Ivy", "77777,777"}}, {}, "A draft, never sent yet.");
  ASSERT_TRUE(convert(cabinet({sent, unsent})));
  ASSERT_EQ(ctx_->emitted.size(), 2u);
  for (const qv::ImpHeaderRec& r : ctx_->emitted) {
    EXPECT_EQ(r.MAILTYPE, qv::MailSent);
    EXPECT_EQ(r.S_NAME.view(), "Owner Box");
    EXPECT_EQ(r.S_CISADRESS.view(), "99999,111");
  }
  EXPECT_EQ(ctx_->emitted[0].R_CISADRESS.view(), "hal@example.net");
  EXPECT_EQ(ctx_->emitted[1].R_NAME.view(), "Ida Ivy");
  EXPECT_NE(ctx_->emitted[0].MSGNUMBER, ctx_->emitted[1].MSGNUMBER);
}

TEST_F(BinaryReadersCs3, NotACabinetIsRejected) {
  fresh();
  EXPECT_FALSE(convert("FCAX" + cs3Forum(Cs3Forum())));
  EXPECT_TRUE(ctx_->emitted.empty());
  const qv::PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, dir_.file("FCABINET.DAT") + " is not a CompuServe 3.x file!\r\nThis file will be skipped!");
  EXPECT_EQ(r.caption, "Warning!");

  // An empty file is no cabinet either; in a scheduled run nothing is shown.
  prompts.reset();
  qv::Mem.DoTask = qv::RunUnattended;
  fresh();
  EXPECT_FALSE(convert(""));
  EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(BinaryReadersCs3, AtMostNineRecordsPerCall) {
  fresh();
  std::vector<std::string> records;
  for (uint32_t n = 1; n <= 20; ++n) {
    Cs3Forum s;
    s.number = n;
    s.reference = 0;
    records.push_back(cs3Forum(s));
  }
  ASSERT_TRUE(convert(cabinet(records)));
  EXPECT_EQ(ctx_->emitted.size(), 20u);
  EXPECT_EQ(calls_, 3);  // 9 + 9 + 2
}

TEST_F(BinaryReadersCs3, RecordsFoundAcrossFirstPassSlices) {
  // Markers more than a million bytes apart, one straddling the point where
  // a first-pass call stops.
  fresh();
  Cs3Forum big;
  big.text.clear();
  size_t head = cabinet({cs3Forum(big)}).size();
  big.text = std::string(999996 - head, 'b');
  std::string file = cabinet({cs3Forum(big)});
  ASSERT_EQ(file.size(), 999996u);
  Cs3Forum s;
  s.number = 5000;
  file += cs3Forum(s);
  ASSERT_TRUE(convert(file));
  ASSERT_EQ(ctx_->emitted.size(), 2u);
  EXPECT_EQ(ctx_->emitted[0].MSGTEXT, std::string(64000, 'b'));
  EXPECT_EQ(ctx_->emitted[1].MSGNUMBER, 5000u);
}

TEST_F(BinaryReadersCs3, BrokenRecords) {
  fresh();
  Cs3Forum s;
  // A text length past the record: the text is empty, the message kept.
  std::string longText = cs3Forum(s);
  longText[longText.size() - s.text.size() - 2] = '\x10';
  // A string whose length runs past the record, followed by another record.
  Cs3Forum t;
  t.number = 4712;
  std::string badString = cs3Forum(t);
  size_t at = badString.find("Mary Jones") - 1;
  badString = badString.substr(0, at) + "\xFF" + "Mary";
  // A message record that ends within 50 bytes after its date.
  std::string cut = cs3Start(2, "s", {"n", "a"}, "x", "y").bytes();
  // A record whose byte after the marker is not 0.
  Cs3Forum u;
  u.number = 4713;
  std::string notZero = cs3Forum(u);
  notZero[10] = 1;
  Cs3Forum last;
  last.number = 4714;
  ASSERT_TRUE(convert(cabinet({longText, badString, cut, notZero, cs3Forum(last)})));
  ASSERT_EQ(ctx_->emitted.size(), 2u);
  EXPECT_EQ(ctx_->emitted[0].MSGNUMBER, 4711u);
  EXPECT_EQ(ctx_->emitted[0].MSGTEXT, "");
  EXPECT_EQ(ctx_->emitted[1].MSGNUMBER, 4714u);
  EXPECT_EQ(ctx_->skipped, 2);  // the bad string and the cut record

  // A cabinet cut anywhere in its only record never reads past the end.
  std::string whole = cabinet({cs3Forum(Cs3Forum())});
  for (size_t len = 4; len < whole.size(); len += 3) {
    fresh();
    ASSERT_TRUE(convert(whole.substr(0, len)));
    EXPECT_LE(ctx_->emitted.size(), 1u);
    if (!ctx_->emitted.empty()) {
      EXPECT_EQ(ctx_->emitted[0].MSGTEXT, "");
    }
  }
}

TEST_F(BinaryReadersCs3, SkipRules) {
  fresh();
  ctx_->markImported(ctx_->addTarget("WINFORUM", KindForumDb).id, 4711);
  std::string mail = cs3Mail("m", {"A", "1,1"}, {{"B", "2,2"}}, {}, "t");
  ctx_->settings_.importMail = false;
  Cs3Forum bad;
  bad.number = 9000000;
  ASSERT_TRUE(convert(cabinet({cs3Forum(Cs3Forum()), mail, cs3Forum(bad)})));
  EXPECT_TRUE(ctx_->emitted.empty());
  EXPECT_EQ(ctx_->skipped, 3);

  fresh();
  ctx_->settings_.filter = qv::FilterCreateOnly;
  ASSERT_TRUE(convert(cabinet({cs3Forum(Cs3Forum())})));
  EXPECT_NE(ctx_->targets.find("WINFORUM"), nullptr);
  EXPECT_TRUE(ctx_->emitted.empty());
  EXPECT_EQ(ctx_->skipped, 1);
}

// ===========================================================================
// GoldenCompass

class BinaryReadersGoldenCompass : public BinaryReadersBase {
 protected:
  std::string forumFile() {
    return "GoldenCompass capture of 12-Mar-96\r\n"
           "#: not a message, no number\r\n"
           "\r\n"
           "#: 12345 S3/Tools\r\n"
           "    12-Mar-96 14:22\r\n"
           "Sb: Printer drivers\r\n"
           "Fm: John Smith 12345,678\r\n"
           "To: Mary Jones 23456,789\r\n"
           "\r\n"
           "\r\n"
           "Text line 1\r\n"
           "Text line 2\r\n"
           "#: 12400 S3/Tools\r\n"
           "     13-Mar-96 09:05\r\n"
           "Sb: #12345-Re: Printer drivers\r\n"
           "Fm: Mary Jones 23456,789\r\n"
           "To: John Smith 12345,678 (X)\r\n"
           "\r\n"
           "Reply \xE4 text\r\n"
           "#: 12500 S3/Tools\r\n"
           "    14-Mar-96 10:00\r\n"
           "Subject missing\r\n";
  }
};

TEST_F(BinaryReadersGoldenCompass, ForumMessages) {
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  ctx().settings_.forumName = "CIS:Gold Forum";
  convert(forumFile());
  ASSERT_EQ(ctx().emitted.size(), 2u);
  EXPECT_EQ(ctx().skipped, 2);  // the number-less "#:" and the message without "Sb:"
  const qv::ImpHeaderRec& a = ctx().emitted[0];
  EXPECT_EQ(a.MSGNUMBER, 12345u);
  EXPECT_EQ(a.REFNUMBER, 0u);
  EXPECT_EQ(a.FOR_DESCRIPTION.view(), "Gold Forum");
  EXPECT_EQ(a.INTERNAL, ctx().targets.find("Gold Forum")->id);
  EXPECT_EQ(a.SECTIONNUMBER, 3);
  EXPECT_EQ(a.SEC_DESCRIPTION.view(), "Tools");
  EXPECT_EQ(a.HEADING.view(), "Printer drivers");
  EXPECT_EQ(a.S_NAME.view(), "John Smith");
  EXPECT_EQ(a.S_CISADRESS.view(), "12345,678");
  EXPECT_EQ(a.R_NAME.view(), "Mary Jones");
  EXPECT_EQ(a.DATE, dateFromYMD(1996, 3, 12));
  EXPECT_EQ(a.TIME, timeFromHMS(14, 22, 0));
  EXPECT_EQ(a.MSGTEXT, "Text line 1\r\nText line 2");
  const qv::ImpHeaderRec& b = ctx().emitted[1];
  EXPECT_EQ(b.MSGNUMBER, 12400u);
  EXPECT_EQ(b.REFNUMBER, 12345u);
  EXPECT_EQ(b.HEADING.view(), "Re: Printer drivers");
  EXPECT_EQ(b.R_NAME.view(), "John Smith");
  EXPECT_EQ(b.R_CISADRESS.view(), "12345,678");
  EXPECT_EQ(b.DATE, dateFromYMD(1996, 3, 13));
  EXPECT_EQ(b.MSGTEXT, "Reply \xC3\xA4 text");

  // Two messages per call with a slice of 2.
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  ctx().slice = 2;
  ctx().settings_.forumName = "Gold Forum";
  convert(forumFile());
  EXPECT_EQ(ctx().emitted.size(), 2u);
  EXPECT_EQ(calls_, 2);

  // Without a forum name, or imported before.
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  convert(forumFile());
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 4);
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  ctx().settings_.forumName = "Gold Forum";
  ctx().markImported(ctx().addTarget("Gold Forum", KindForumDb).id, 12400);
  convert(forumFile());
  ASSERT_EQ(ctx().emitted.size(), 1u);
  EXPECT_EQ(ctx().emitted[0].MSGNUMBER, 12345u);
}

TEST_F(BinaryReadersGoldenCompass, MailThreePerCall) {
  fresh("GoldenCompass");
  ctx().kindOfFile = KindMailDb;
  useMailbox();
  std::string file = "preamble\n";
  for (int i = 0; i < 5; ++i) {
    bool sent = i == 4;
    file += "#: " + std::to_string(100 + i) + "\n";
    file += "    12-Mar-96 14:2" + std::to_string(i) + "\n";
    file += "Sb: Subject " + std::to_string(i) + "\n";
    file += sent ? "Fm: Owner Box 99999,111\n" : "Fm: Anna Berg >INTERNET:anna@example.org\n";
    file += sent ? "To: Hal Hill 12121,212\n" : "To: Owner Box 99999,111\n";
    file += "\nBody " + std::to_string(i) + "\n";
  }
  convert(file);
  ASSERT_EQ(ctx().emitted.size(), 5u);
  EXPECT_EQ(calls_, 2);  // 3 + 2
  const qv::ImpHeaderRec& r = ctx().emitted[0];
  EXPECT_EQ(r.MAILTYPE, qv::MailReceived);
  EXPECT_EQ(r.S_NAME.view(), "Anna Berg");
  EXPECT_EQ(r.S_CISADRESS.view(), "anna@example.org");
  EXPECT_EQ(r.R_NAME.view(), "Owner Box");
  EXPECT_EQ(r.HEADING.view(), "Subject 0");
  EXPECT_EQ(r.TIME, timeFromHMS(14, 20, 0));
  EXPECT_EQ(r.MSGTEXT, "Body 0");
  EXPECT_EQ(r.MSGNUMBER, r.REFNUMBER);
  const qv::ImpHeaderRec& s = ctx().emitted[4];
  EXPECT_EQ(s.MAILTYPE, qv::MailSent);
  EXPECT_EQ(s.S_NAME.view(), "Owner Box");
  EXPECT_EQ(s.R_NAME.view(), "Hal Hill");
  EXPECT_EQ(s.R_CISADRESS.view(), "12121,212");
}

TEST_F(BinaryReadersGoldenCompass, FilesWithoutMessages) {
  for (std::string bytes : {std::string(), std::string("just text\r\nno marker\r\n"), std::string("#:")}) {
    fresh("GoldenCompass");
    ctx().kindOfFile = KindForumDb;
    ctx().settings_.forumName = "Gold Forum";
    convert(bytes);
    EXPECT_EQ(calls_, 1);
    EXPECT_TRUE(ctx().emitted.empty());
  }
  // A message cut inside its header is skipped.
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  ctx().settings_.forumName = "Gold Forum";
  convert("#: 12345 S3/Tools\r\n    12-Mar-96 14:22\r\nSb: Printer");
  EXPECT_TRUE(ctx().emitted.empty());
  EXPECT_EQ(ctx().skipped, 1);
}

TEST_F(BinaryReadersGoldenCompass, ClassicLineEndsAndPadding) {
  // Lone CR line ends and NUL padding: texts keep CR LF line ends only.
  fresh("GoldenCompass");
  ctx().kindOfFile = KindForumDb;
  ctx().settings_.forumName = "Gold Forum";
  static const char kFile[] =
      "#: 12345 S3/Tools\r    12-Mar-96 14:22\rSb: Printer\rFm: John Smith 12345,678\r"
      "To: Mary Jones 23456,789\r\rone\rtwo\0\0\0\r\0\0";
  convert(std::string(kFile, sizeof kFile - 1));
  EXPECT_EQ(only().MSGNUMBER, 12345u);
  EXPECT_EQ(only().HEADING.view(), "Printer");
  EXPECT_EQ(only().MSGTEXT, "one\r\ntwo\r\n");  // the padding's own line is empty
}

// ===========================================================================
// Field readers

class BinaryReadersFields : public BinaryReadersBase {};

TEST_F(BinaryReadersFields, PackedDateAndTime) {
  qv::cis::PackedDateTime d = qv::cis::unpackDateTime(uint32_t((29u << 9 | 2u << 5 | 29u) << 16 | (23u << 11 | 59u << 5 | 29u)));
  EXPECT_EQ(d.date, 0);  // 1999 had no 29 February
  EXPECT_EQ(d.time, timeFromHMS(23, 59, 58));
  d = qv::cis::unpackDateTime(uint32_t((30u << 9 | 2u << 5 | 29u) << 16 | (24u << 11)));
  EXPECT_EQ(d.date, dateFromYMD(2000, 2, 29));
  EXPECT_EQ(d.time, 0);  // hour 24
}

TEST_F(BinaryReadersFields, ReadsStopAtTheLimit) {
  Bytes b;
  b.u16(0x1234).u32(0xA1B2C3D4).str("abc").u8(200).raw("short");
  std::string path = dir_.file("fields.bin");
  qvtest::writeFile(path, b.bytes());
  fresh("WinCIM");
  ASSERT_TRUE(ctx().openBlocks(path));
  qv::BlockReader r(ctx().source());
  qv::cis::FieldReader f(r, 9);  // up to the string's last byte but one
  EXPECT_EQ(f.u16(), 0x1234);
  EXPECT_EQ(f.u32(), 0xA1B2C3D4u);
  EXPECT_EQ(f.remaining(), 3);
  EXPECT_EQ(f.string(50), "");  // four bytes needed, three left
  EXPECT_FALSE(f.ok());
  EXPECT_EQ(f.u32(), 0u);

  r.seek(6);
  qv::cis::FieldReader g(r);
  EXPECT_EQ(g.string(2), "ab");
  EXPECT_EQ(g.string(50), "");  // 200 bytes claimed, 5 there
  EXPECT_FALSE(g.ok());
  ctx().closeSource();
}

}  // namespace
