// Every mail and news parser hands each message's original to the import:
// its bytes as the store holds them, line ends and all, without the store's
// separator lines. Over the sample corpus, the originals of a file with the
// store's separators between them give back the file; end to end, the
// originals land in the mailbox's store beside their mail, each content once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string_view>
#include <sstream>

#include <openssl/evp.h>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "import/formats.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/globals.h"
#include "support/fake_import_context.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using qvtest::FakeImportContext;

namespace {

std::string md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

// Compares a text with a copy that another tool made of it: the places
// where the copy differs, each a run of at most `most` bytes of the text
// replaced by at most `most` other bytes, after which both go on alike for
// 32 bytes (or both end). -1 when they part for longer.
int strayRuns(std::string_view text, std::string_view copy, size_t most = 16) {
  int runs = 0;
  size_t i = 0, j = 0;
  auto alike = [&](size_t a, size_t b) {
    size_t n = std::min<size_t>(32, std::max(text.size() - a, copy.size() - b));
    return text.substr(a, n) == copy.substr(b, n);
  };
  while (i < text.size() || j < copy.size()) {
    if (i < text.size() && j < copy.size() && text[i] == copy[j]) {
      ++i, ++j;
      continue;
    }
    bool found = false;
    for (size_t d = 1; d <= 2 * most && !found; ++d)
      for (size_t di = 0; di <= std::min(d, most) && !found; ++di) {
        size_t dj = d - di;
        if (dj > most || i + di > text.size() || j + dj > copy.size()) continue;
        if (alike(i + di, j + dj)) {
          i += di, j += dj;
          found = true;
        }
      }
    if (!found) return -1;
    ++runs;
  }
  return runs;
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The mboxrd quoting a store's reader undid: every line of >s followed by
// "From " gets one > more.
std::string mboxrdQuoted(const std::string& original) {
  std::string out;
  size_t pos = 0;
  while (pos < original.size()) {
    size_t n = 0;
    while (pos + n < original.size() && original[pos + n] == '>') ++n;
    if (original.compare(pos + n, 5, "From ") == 0) out += '>';
    size_t eol = original.find('\n', pos);
    size_t end = eol == std::string::npos ? original.size() : eol + 1;
    out.append(original, pos, end - pos);
    pos = end;
  }
  return out;
}

// The dot-stuffing of the stores that end a message with a "." line: a
// line that begins with "." gets one more.
std::string dotStuffed(const std::string& original) {
  std::string out;
  for (size_t i = 0; i < original.size(); ++i) {
    if (original[i] == '.' && (i == 0 || original[i - 1] == '\n')) out += '.';
    out += original[i];
  }
  return out;
}

// One line that begins with `start` and is ended by a line end, alone.
bool oneLineStartingWith(std::string_view gap, std::string_view start) {
  if (gap.substr(0, start.size()) != start) return false;
  size_t eol = gap.find_first_of("\r\n");
  if (eol == std::string_view::npos) return false;
  size_t end = gap.compare(eol, 2, "\r\n") == 0 ? eol + 2 : eol + 1;
  return end == gap.size();
}

using GapTest = std::function<bool(std::string_view gap, bool first, bool last)>;

// Runs the parser of `format` over the file at `path`; a mail format's
// messages go to a mailbox made in `mailboxDir` (none for news).
std::unique_ptr<FakeImportContext> convertFile(const std::string& format, const std::string& path,
                                               const std::string& mailboxDir = {}, int slice = 0) {
  auto ctx = std::make_unique<FakeImportContext>();
  ctx->setFormat(format);
  if (slice) ctx->slice = slice;
  if (!mailboxDir.empty()) {
    fs::create_directories(mailboxDir);
    ctx->addMailbox(mailboxDir, "Owner Box", "owner@example.com");
  }
  EXPECT_TRUE(ctx->openBlocks(path)) << path;
  auto parser = qv::makeParser(ctx->format());
  EXPECT_NE(parser, nullptr);
  if (parser) qvtest::runParser(*parser, *ctx);
  ctx->closeSource();
  return ctx;
}

class OriginalsFromParsers : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus = qvtest::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  }

  FakeImportContext& convert(const std::string& format, const std::string& path, bool news) {
    ctx_ = convertFile(format, path, news ? std::string() : dir_.file("box" + std::to_string(++runs_)), 3);
    return *ctx_;
  }

  // The originals of a file, in order, stand in its bytes with nothing but
  // what `gapOk` allows between them (separator lines, record headers).
  void expectOriginalsCoverFile(const std::string& format, const std::string& file, const GapTest& gapOk,
                                size_t messages, bool news = false) {
    std::string path = corpus + "/" + file;
    std::string source = readBytes(path);
    FakeImportContext& ctx = convert(format, path, news);
    ASSERT_EQ(ctx.emitted.size(), messages) << file;
    ASSERT_EQ(ctx.originals.size(), ctx.emitted.size()) << file;
    size_t pos = 0;
    for (size_t i = 0; i < ctx.originals.size(); ++i) {
      ASSERT_TRUE(ctx.originals[i].has_value()) << file << " message " << i;
      const std::string& o = *ctx.originals[i];
      ASSERT_FALSE(o.empty()) << file << " message " << i;
      size_t at = source.find(o, pos);
      size_t length = o.size();
      for (const std::string& stored : {mboxrdQuoted(o), dotStuffed(o)}) {
        if (at != std::string::npos) break;
        at = source.find(stored, pos);
        length = stored.size();
      }
      ASSERT_NE(at, std::string::npos) << file << ": message " << i << " is not in the file as it stands";
      std::string_view gap(source.data() + pos, at - pos);
      EXPECT_TRUE(gapOk(gap, i == 0, false)) << file << ": before message " << i << ": [" << gap << "]";
      pos = at + length;
    }
    std::string_view rest(source.data() + pos, source.size() - pos);
    EXPECT_TRUE(gapOk(rest, ctx.originals.empty(), true)) << file << ": after the last: [" << rest << "]";
  }

  std::string corpus;
  qvtest::TempDir dir_;
  std::unique_ptr<FakeImportContext> ctx_;
  int runs_ = 0;
};

// An empty line, as an mbox writes one after a message.
size_t emptyLine(std::string_view s) {
  for (std::string_view eol : {"\r\n", "\n", "\r"})
    if (s.substr(0, eol.size()) == eol) return eol.size();
  return 0;
}

// mbox stores: a separator line before each message, and an empty line
// before it (or at the end) when the store wrote one; before the first,
// nothing else but a byte-order mark.
GapTest separatorLines(std::string_view separator) {
  return [separator](std::string_view gap, bool first, bool last) {
    if (!first) gap.remove_prefix(emptyLine(gap));
    if (last) return gap.empty();
    if (first && gap.substr(0, 3) == "\xEF\xBB\xBF") gap.remove_prefix(3);
    return oneLineStartingWith(gap, separator);
  };
}

TEST_F(OriginalsFromParsers, UnixMailboxesInEveryLineEnd) {
  struct Case {
    const char* file;
    size_t messages;
  } cases[] = {
      {"mbox/mailbox-perl_mbox.src", 45},      {"mbox/mailbox-perl_mbox.win", 45},
      {"mbox/kde_cygwin.mbox", 16},            {"mbox/thunderbird_mbox_mboxrd", 2},
      {"mbox/perceval_mbox_single.mbox", 1},   {"mbox/perceval_mbox_complex.mbox", 2},
      {"mbox/perceval_mbox_multipart.mbox", 2}, {"mbox/eudora2unix_test1.mbox", 5},
  };
  for (const Case& c : cases) expectOriginalsCoverFile("Unix Mail", c.file, separatorLines("From "), c.messages);
}

TEST_F(OriginalsFromParsers, EudoraForWindowsAndTheMac) {
  expectOriginalsCoverFile("Eudora", "eudora/eudora2unix/win-eudora-7.1/In.mbx", separatorLines("From ???@???"), 5);
  // Classic Mac line ends (CR alone) stay as they are.
  expectOriginalsCoverFile("Eudora", "eudora/eudora2unix/mac-eudora-6.2.4/In", separatorLines("From ???@???"), 5);
  ASSERT_FALSE(ctx_->originals.empty());
  EXPECT_EQ(ctx_->originals[0]->find('\n'), std::string::npos);
  EXPECT_NE(ctx_->originals[0]->find('\r'), std::string::npos);
}

TEST_F(OriginalsFromParsers, NetscapeMailWithItsSeparators) {
  expectOriginalsCoverFile("Netscape Mail", "netscape-mail/mimekit_content-length.mbox", separatorLines("From "), 29);
  expectOriginalsCoverFile("Netscape Mail", "netscape-mail/thunderbird_mbox_modern", separatorLines("From "), 2);
  // "From Russia with love" lines are text, not separators.
  expectOriginalsCoverFile("Netscape Mail", "netscape-mail/mimekit_unmunged.mbox", separatorLines("From "), 2);
}

TEST_F(OriginalsFromParsers, OutlookExpressRecordsKeepTheirText) {
  std::string path = corpus + "/oe-mail/mbx2mbox/test2.dbx";
  std::string source = readBytes(path);
  FakeImportContext& ctx = convert("Outlook Express Mail", path, false);
  ASSERT_EQ(ctx.originals.size(), 3u);
  for (const auto& o : ctx.originals) {
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->substr(0, 5) == "From:" || o->find(':') < 40, true) << *o;
    // The record's text as the store holds it, less the padding at its end.
    EXPECT_NE(source.find(*o), std::string::npos);
  }
}

TEST_F(OriginalsFromParsers, OutlookExpressDbxStoresGiveEachMessagesText) {
  // The source states 28 messages of distinct MD5s, the first and the last
  // named: they are the MD5s of the message texts as the store keeps them.
  FakeImportContext& ctx = convert("Outlook Express Mail", corpus + "/oe-dbx/iped_test_OutlookDBX.dbx", false);
  ASSERT_EQ(ctx.emitted.size(), 28u);
  ASSERT_EQ(ctx.originals.size(), 28u);
  std::set<std::string> sums;
  for (const auto& o : ctx.originals) {
    ASSERT_TRUE(o.has_value());
    sums.insert(md5Hex(*o));
  }
  EXPECT_EQ(sums.size(), 28u);
  EXPECT_EQ(md5Hex(*ctx.originals.front()), "6852BF85343E903FDF6F83C33F582B2E");
  EXPECT_EQ(md5Hex(*ctx.originals.back()), "58F528FF2A6C7BF215AE07C0AFB8FB53");

  // The three messages of test4.dbx against the mailbox another tool made
  // of them: the same lines, but that tool let bytes of the store's block
  // headers at the seams of the blocks (and junk after the last), which the
  // text read here does not have: the texts differ by short runs of bytes,
  // at most one per block of 512 bytes.
  FakeImportContext& four = convert("Outlook Express Mail", corpus + "/oe-dbx/mbx2mbox/test4.dbx", false);
  ASSERT_EQ(four.originals.size(), 3u);
  std::string expected = readBytes(corpus + "/oe-dbx/mbx2mbox/expected/test4.real");
  std::vector<std::string> messages;
  std::regex separator("(^|\n)From [^\n]*\n");
  for (std::sregex_token_iterator it(expected.begin(), expected.end(), separator, -1), end; it != end; ++it)
    if (it->length() > 0) messages.push_back(*it);
  ASSERT_EQ(messages.size(), 3u);
  int strays = 0;
  size_t blocks = 0;
  for (size_t m = 0; m < 3; ++m) {
    ASSERT_TRUE(four.originals[m].has_value());
    std::string text = *four.originals[m];
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "CR LF line ends";
    text = std::regex_replace(text, std::regex("\r\n"), "\n");
    int runs = strayRuns(text, messages[m]);
    EXPECT_GE(runs, 0) << "message " << m << " differs for long";
    strays += runs;
    blocks += four.originals[m]->size() / 0x200 + 1;
  }
  EXPECT_LE(size_t(strays), blocks);
}

TEST_F(OriginalsFromParsers, PegasusFoldersEndEachMessageWithCtrlZ) {
  std::string path = corpus + "/pegasus/kde-pmail/main.pmm";
  std::string source = readBytes(path);
  FakeImportContext& ctx = convert("Pegasus", path, false);
  ASSERT_EQ(ctx.originals.size(), 9u);
  size_t pos = 128;  // the folder's header
  for (const auto& o : ctx.originals) {
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(source.compare(pos, o->size(), *o), 0);
    pos += o->size();
    EXPECT_EQ(source[pos], '\x1a');
    ++pos;
  }
}

TEST_F(OriginalsFromParsers, BeckyFoldersLoseTheirEndLines) {
  GapTest dotLines = [](std::string_view gap, bool first, bool last) {
    if (first) return gap.empty();
    return gap == ".\r\n" || gap == ".\n" || (last && gap.empty());
  };
  expectOriginalsCoverFile("Becky Mail", "becky/test.bmf", dotLines, 4);
}

TEST_F(OriginalsFromParsers, NewsSpoolArticlesAreTheirFiles) {
  for (const char* name : {"1", "2", "3", "4", "5", "7", "bad-subj", "xref"}) {
    std::string path = corpus + "/news-spool/inn/articles/" + name;
    FakeImportContext& ctx = convert("Unix News", path, true);
    ASSERT_EQ(ctx.originals.size(), 1u) << name;
    ASSERT_TRUE(ctx.originals[0].has_value()) << name;
    EXPECT_EQ(*ctx.originals[0], readBytes(path)) << name;
  }
  for (const char* name : {"nntp_1.txt", "nntp_2.txt"}) {
    std::string path = corpus + "/news-spool/perceval/" + name;
    FakeImportContext& ctx = convert("Unix News", path, true);
    ASSERT_EQ(ctx.originals.size(), 1u) << name;
    EXPECT_EQ(*ctx.originals[0], readBytes(path)) << name;
  }
}

TEST(OriginalsFromNewsStores, ArticlesBetweenSeparatorsAndInHeaderStores) {
  qvtest::TempDir dir;
  std::string a1 = "Newsgroups: comp.test\r\nFrom: a@example.org\r\nSubject: one\r\nMessage-ID: <1@x>\r\n"
                   "Date: Mon, 1 Jan 2001 10:00:00 +0000\r\n\r\nbody one\r\n\r\n";
  std::string a2 = "Newsgroups: comp.test\r\nFrom: b@example.org\r\nSubject: two\r\nMessage-ID: <2@x>\r\n"
                   "Date: Mon, 1 Jan 2001 11:00:00 +0000\r\n\r\nbody two\r\n";
  auto run = [&](const std::string& format, const std::string& bytes) {
    std::string path = dir.file(format);
    qvtest::writeFile(path, bytes);
    return convertFile(format, path);
  };
  auto spool = run("Unix News", "From x Mon Jan  1 10:00:00 2001\r\n" + a1 + "From y Mon Jan  1 11:00:00 2001\r\n" + a2);
  ASSERT_EQ(spool->originals.size(), 2u);
  // The empty line before the next separator is the store's.
  EXPECT_EQ(spool->originals[0], a1.substr(0, a1.size() - 2));
  EXPECT_EQ(spool->originals[1], a2);
  auto netscape = run("Netscape News", a1 + a2);
  ASSERT_EQ(netscape->originals.size(), 2u);
  EXPECT_EQ(netscape->originals[0], a1);
  EXPECT_EQ(netscape->originals[1], a2);
}

TEST(OriginalsFromMailStores, LongLinesAndMixedLineEndsComeBackWhole) {
  qvtest::TempDir dir;
  std::string longLine(9000, 'x');
  std::string m1 = "From: a@example.org\nTo: b@example.org\nSubject: one\nDate: Mon, 1 Jan 2001 10:00:00 +0000\n\n" +
                   longLine + "\r\nmixed\rends\r\n\r\n";
  std::string m2 = "From: b@example.org\r\nTo: a@example.org\r\nSubject: two\r\nDate: Mon, 1 Jan 2001 11:00:00 "
                   "+0000\r\n\r\n>From here, quoted\r\nlast line without an end";
  std::string path = dir.file("box");
  qvtest::writeFile(path, "From a@example.org Mon Jan  1 10:00:00 2001\n" + m1 + "From b@example.org Mon Jan  1 11:00:00 2001\r\n" + m2);
  auto converted = convertFile("Unix Mail", path, dir.file("db"));
  FakeImportContext& ctx = *converted;
  ASSERT_EQ(ctx.originals.size(), 2u);
  EXPECT_EQ(ctx.originals[0], m1.substr(0, m1.size() - 2));
  // ">From " lines lose one ">", as the text does: an mboxrd export gives them back.
  std::string unquoted = m2;
  unquoted.replace(unquoted.find(">From"), 5, "From");
  EXPECT_EQ(ctx.originals[1], unquoted);
}

TEST(OriginalsFromMailStores, AMaildirFileIsItsOwnOriginal) {
  qvtest::TempDir dir;
  std::string eml = "Return-Path: <a@example.org>\r\nFrom: a@example.org\r\nTo: b@example.org\r\nSubject: one file\r\n"
                    "Date: Mon, 1 Jan 2001 10:00:00 +0000\r\n\r\nbody\r\n\r\n\r\n";
  std::string path = dir.file("1234.host:2,S");
  qvtest::writeFile(path, eml);
  auto converted = convertFile("Unix Mail", path, dir.file("db"));
  FakeImportContext& ctx = *converted;
  ASSERT_EQ(ctx.originals.size(), 1u);
  // No separator, so no empty line of a store's: every byte is the message's.
  EXPECT_EQ(ctx.originals[0], eml);
}

// End to end: the mailbox keeps each mail's original, a second import of
// the same file stores nothing twice, and the check finds all well.
class OriginalsImported : public qvtest::MailImportTest {};

TEST_F(OriginalsImported, MailboxKeepsEachOriginalOnceAndTheCheckAgrees) {
  std::string corpus = qvtest::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  std::string file = corpus + "/mbox/mailbox-perl_mbox.win";
  ASSERT_EQ(importFiles("Unix Mail", {file}), 1) << prompts.transcript();
  ASSERT_EQ(importFiles("Unix Mail", {file}), 1) << prompts.transcript();
  std::vector<qvtest::StoredMail> mails = stored();
  ASSERT_EQ(mails.size(), 45u);

  ASSERT_TRUE(qv::selectDatabase(mailbox));
  EXPECT_TRUE(qv::keepsOriginals(qv::KindMailDb));
  std::string source = readBytes(file);
  for (const qvtest::StoredMail& m : mails) {
    std::optional<std::string> o = qv::readOriginal(qv::KindMailDb, m.id);
    ASSERT_TRUE(o.has_value()) << m.id;
    EXPECT_NE(source.find(*o), std::string::npos) << m.id;
    EXPECT_NE(o->find("\r\n"), std::string::npos);
  }
  qv::OP_CLOSE(qv::OpShared, {qv::FileMail, qv::FileOriginals});
  int64_t contents = 0;
  qv::Originals.setFileOrder();
  while (qv::Originals.next())
    if (qv::ORI.MSGID == 0 && !qv::ORI.HASH.blank()) ++contents;
  EXPECT_EQ(contents, 45);
  EXPECT_EQ(qv::checkOriginals(qv::KindMailDb), std::vector<std::string>());
  qv::OP_CLOSE(qv::OpRelease, {qv::FileMail, qv::FileOriginals});
}

TEST_F(OriginalsImported, OldMailboxStaysWithoutOriginals) {
  std::string corpus = qvtest::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  // A mailbox from before originals were kept has no Originals file.
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  std::string path = qv::filePath(qv::FileOriginals);
  qv::Originals.close();
  fs::remove(path);
  ASSERT_EQ(importFiles("Unix Mail", {corpus + "/mbox/perceval_mbox_complex.mbox"}), 1) << prompts.transcript();
  EXPECT_EQ(stored().size(), 2u);
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(qv::keepsOriginals(qv::KindMailDb));
  EXPECT_FALSE(qv::readOriginal(qv::KindMailDb, stored().front().id).has_value());
}

TEST_F(OriginalsImported, SettingOffImportsAsBefore) {
  std::string corpus = qvtest::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  ASSERT_TRUE(qv::setKeepOriginals(qv::KindMailDb, false, qv::ReportQuiet));
  ASSERT_EQ(importFiles("Unix Mail", {corpus + "/mbox/perceval_mbox_complex.mbox"}), 1) << prompts.transcript();
  std::vector<qvtest::StoredMail> mails = stored();
  ASSERT_EQ(mails.size(), 2u);
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  for (const auto& m : mails) EXPECT_FALSE(qv::readOriginal(qv::KindMailDb, m.id).has_value());
}

}  // namespace
