// The parsers of the news readers' stores: where articles start and end in
// each store, the header reader's values, the newsgroup a cross-posted
// article goes to, and the numbering of articles and their parents.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "import/parser.h"
#include "import/skip_reasons.h"
#include "import/parsers/news_article.h"
#include "import/parsers/news_store_index.h"
#include "services/datetime.h"
#include "support/fake_import_context.h"
#include "support/temp_dir.h"

using qv::KindForumDb;
using qv::KindNewsDb;
using qvtest::FakeImportContext;
using qvtest::TempDir;

namespace {

std::string article(const std::string& id, const std::string& groups, const std::string& subject,
                    const std::string& refs = "", const std::string& body = "Body text.\n") {
  std::string a = "Path: news.example.com!not-for-mail\n";
  if (!groups.empty()) a += "Newsgroups: " + groups + "\n";
  a += "From: Ann Poster <ann@example.com>\nSubject: " + subject + "\nDate: Sat, 06 Mar 2004 21:39:44 -0800\n";
  if (!id.empty()) a += "Message-ID: " + id + "\n";
  if (!refs.empty()) a += "References: " + refs + "\n";
  return a + "\n" + body;
}

class NewsParserTest : public ::testing::Test {
 protected:
  // Converts `bytes` stored as a file of the format; the records written are
  // in ctx.
  void convert(const std::string& format, const std::string& bytes, const std::string& name = "store") {
    path = dir.file(name);
    qvtest::writeFile(path, bytes);
    ctx.setFormat(format);
    ASSERT_TRUE(ctx.openBlocks(path));
    std::unique_ptr<qv::Parser> parser = qv::makeParser(*qv::formatByName(format));
    ASSERT_NE(parser, nullptr);
    qvtest::runParser(*parser, ctx);
    ctx.closeSource();
  }

  std::vector<std::string> subjects() const {
    std::vector<std::string> out;
    for (const auto& r : ctx.emitted) out.push_back(r.HEADING.str());
    return out;
  }

  // The Message-ID recorded for a number ("" when none).
  std::string idOf(uint32_t number) { return ctx.messageIdOf(number); }

  const qv::ImpHeaderRec* byId(const std::string& id) {
    for (const auto& r : ctx.emitted)
      if (idOf(r.MSGNUMBER) == id) return &r;
    return nullptr;
  }

  TempDir dir;
  std::string path;
  FakeImportContext ctx;
};

// ---------------------------------------------------------------------------
// The header reader's values

TEST_F(NewsParserTest, HeaderValuesFoldedHeadersAndTheLastReferenceAsParent) {
  std::string a =
      "Newsgroups: comp.test\n"
      "Subject: A subject\n"
      "  folded over\n\ttwo lines\n"
      "From: Ann\n Poster <ann@example.com>\n"
      "Date: Tue, 18 May 2004 01:43:21 -0700\n"
      "Message-ID: <child@example.com>\n"
      "References: <root@example.com> <middle@example.com>\n\t<parent@example.com>\n"
      "\nThe body.\n";
  convert("Unix News", a);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  const qv::ImpHeaderRec& r = ctx.emitted[0];
  EXPECT_EQ(r.FOR_DESCRIPTION.str(), "comp.test");
  EXPECT_EQ(r.HEADING.str(), "A subject  folded over two lines");
  EXPECT_EQ(r.S_NAME.str(), "Ann Poster");
  EXPECT_EQ(r.S_CISADRESS.str(), "ann@example.com");
  EXPECT_EQ(r.DATE, qv::dateFromYMD(2004, 5, 18));
  EXPECT_EQ(r.TIME, qv::timeFromHMS(1, 43, 21));
  EXPECT_EQ(r.MAILTYPE, qv::DirectionUndecided);
  EXPECT_EQ(r.MSGTEXT, "The body.\r\n");
  EXPECT_EQ(idOf(r.MSGNUMBER), "<child@example.com>");
  EXPECT_EQ(idOf(r.REFNUMBER), "<parent@example.com>");
  EXPECT_NE(r.REFNUMBER, r.MSGNUMBER);
}

TEST_F(NewsParserTest, InReplyToNamesTheParentWhenThereAreNoReferences) {
  std::string a = article("<b@x>", "comp.test", "Re: t") ;
  a.insert(a.find("\n\n"), "\nIn-Reply-To: <a@x>");
  convert("Unix News", a);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  EXPECT_EQ(idOf(ctx.emitted[0].REFNUMBER), "<a@x>");

  ctx.emitted.clear();
  convert("Unix News", article("<c@x>", "comp.test", "t"));
  ASSERT_EQ(ctx.emitted.size(), 1u);
  EXPECT_EQ(ctx.emitted[0].REFNUMBER, 0u);
}

TEST_F(NewsParserTest, ParentsAreNumberedBeforeTheirRepliesWhereverTheyStand) {
  // Replies first, the thread's start last.
  std::string store = "From a@x Sat Mar  6 21:39:44 2004\n" +
                      article("<c@x>", "comp.test", "Re: t", "<a@x> <b@x>") +
                      "From a@x Sat Mar  6 21:39:44 2004\n" + article("<b@x>", "comp.test", "Re: t", "<a@x>") +
                      "From a@x Sat Mar  6 21:39:44 2004\n" + article("<a@x>", "comp.test", "t") +
                      "From a@x Sat Mar  6 21:39:44 2004\n" + article("<d@x>", "comp.test", "Re: t", "<a@x> <b@x>");
  convert("Agent News", store);
  ASSERT_EQ(ctx.emitted.size(), 4u);
  const qv::ImpHeaderRec* a = byId("<a@x>");
  const qv::ImpHeaderRec* b = byId("<b@x>");
  const qv::ImpHeaderRec* c = byId("<c@x>");
  const qv::ImpHeaderRec* d = byId("<d@x>");
  ASSERT_TRUE(a && b && c && d);
  // Posting goes by number: every parent before its replies.
  EXPECT_LT(a->MSGNUMBER, b->MSGNUMBER);
  EXPECT_LT(b->MSGNUMBER, c->MSGNUMBER);
  EXPECT_EQ(a->REFNUMBER, 0u);
  EXPECT_EQ(b->REFNUMBER, a->MSGNUMBER);
  EXPECT_EQ(c->REFNUMBER, b->MSGNUMBER);
  EXPECT_EQ(d->REFNUMBER, b->MSGNUMBER);
  // One message-ID record per ID and number.
  std::map<uint32_t, int> perNumber;
  for (const auto& [n, id] : ctx.messageIds) ++perNumber[n];
  for (const auto& [n, count] : perNumber) EXPECT_EQ(count, 1) << n;
  EXPECT_EQ(ctx.messageIds.size(), 4u);
}

TEST_F(NewsParserTest, BareContentTypeKeepsTheBody) {
  // "Content-Type: text" (no subtype) is text, as for mail.
  std::string a = article("<t@x>", "comp.test", "Bare type", "", "The body stays.\n");
  a.insert(a.find("\n\n") + 1, "Content-Type: text\n");
  convert("VirtualAccess", "==========\n" + a);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"Bare type"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "The body stays.\r\n");
}

TEST_F(NewsParserTest, ArticlesWithoutIdOrNewsgroupAreSkippedWithTheirReason) {
  std::string store = "==========\n" + article("", "comp.test", "no id", "<p@x>") +
                      "==========\n" + article("<g@x>", "", "no group") +
                      "==========\n" + article("<h@x>", "comp.other", "other group");
  convert("VirtualAccess", store);
  // Without an ID: skipped for that reason, and nothing numbered for it.
  ASSERT_EQ(subjects(), (std::vector<std::string>{"no group", "other group"}));
  EXPECT_EQ(ctx.skipped, 1);
  EXPECT_EQ(ctx.skippedFor, (std::map<std::string, int>{{qv::kSkipNoMessageId, 1}}));
  for (const auto& [n, id] : ctx.messageIds) EXPECT_NE(id, "<p@x>");
  // Without a newsgroup: the group of the article before it.
  EXPECT_EQ(ctx.emitted[0].FOR_DESCRIPTION.str(), "comp.test");
  EXPECT_EQ(ctx.emitted[1].FOR_DESCRIPTION.str(), "comp.other");

  // The first article of a store naming no group has no database to go to.
  ctx.emitted.clear();
  ctx.skipped = 0;
  ctx.skippedFor.clear();
  convert("VirtualAccess", "==========\n" + article("<i@x>", "", "nowhere"));
  EXPECT_TRUE(ctx.emitted.empty());
  EXPECT_EQ(ctx.skippedFor, (std::map<std::string, int>{{qv::kSkipNoNewsgroup, 1}}));
}

TEST_F(NewsParserTest, HtmlOnlyArticleIsStoredAsText) {
  std::string a = article("<h@x>", "comp.test", "html", "",
                          "<html><body><p>Caf&eacute; &amp; <b>bar</b></p><script>x()</script></body></html>\n");
  a.insert(a.find("\n\n"), "\nContent-Type: text/html; charset=iso-8859-1");
  convert("Unix News", a);
  ASSERT_EQ(ctx.emitted.size(), 1u);
  const std::string& text = ctx.emitted[0].MSGTEXT;
  EXPECT_NE(text.find("Café & bar"), std::string::npos) << text;
  EXPECT_EQ(text.find('<'), std::string::npos) << text;
  EXPECT_EQ(text.find("x()"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------
// Newsgroup choice

TEST_F(NewsParserTest, CrossPostGoesOnceIntoTheFirstGroupThatHasADatabase) {
  ctx.addTarget("comp.first", KindForumDb);  // a forum database of the same name does not count
  qv::Target& second = ctx.addTarget("comp.second", KindNewsDb);
  convert("Unix News", article("<x@x>", "comp.none, comp.first,Comp.Second,comp.third", "cross"));
  ASSERT_EQ(ctx.emitted.size(), 1u);
  EXPECT_EQ(ctx.emitted[0].INTERNAL, second.id);
  EXPECT_EQ(ctx.emitted[0].FOR_DESCRIPTION.str(), "comp.second");  // as the database is named
  // No database was made for the groups passed over.
  EXPECT_EQ(ctx.targets.find("comp.none"), nullptr);
  EXPECT_EQ(ctx.targets.find("comp.third"), nullptr);
}

TEST_F(NewsParserTest, CrossPostWithoutAnyDatabaseMakesTheFirstGroups) {
  qv::Target& closed = ctx.addTarget("comp.closed", KindNewsDb);
  closed.allowed = false;
  convert("Unix News", article("<x@x>", "comp.closed,comp.new,comp.later", "cross"));
  ASSERT_EQ(ctx.emitted.size(), 1u);
  qv::Target* made = ctx.targets.find("comp.new");
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->created);
  EXPECT_EQ(ctx.emitted[0].INTERNAL, made->id);
  EXPECT_EQ(ctx.targets.find("comp.later"), nullptr);
}

TEST_F(NewsParserTest, DatabaseCreationOnlyMakesTheGroupAndSkipsTheArticle) {
  ctx.settings_.filter = qv::FilterCreateOnly;
  convert("Unix News", article("<x@x>", "comp.made", "only the database"));
  EXPECT_TRUE(ctx.emitted.empty());
  EXPECT_TRUE(ctx.messageIds.empty());
  EXPECT_EQ(ctx.skipped, 1);
  EXPECT_NE(ctx.targets.find("comp.made"), nullptr);
}

// ---------------------------------------------------------------------------
// Boundaries of each store

TEST_F(NewsParserTest, VirtualAccessArticlesStartAtTenEqualSigns) {
  std::string store = "text before the first article\n==========\n" +
                      article("<1@x>", "g", "one", "", "a\n===========\n==========x\nb\n") + "==========  \n" +
                      article("<2@x>", "g", "two") + "==========\n";
  convert("VirtualAccess", store);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "a\r\n===========\r\n==========x\r\nb\r\n");
}

TEST_F(NewsParserTest, UnixNewsArticlesStartAtFromLinesFollowedByAHeader) {
  std::string store = "From news Sat Mar  6 21:39:44 2004\n" +
                      article("<1@x>", "g", "one", "", "From here on it is body.\nStill body.\n") +
                      "From news Sat Mar  6 21:39:44 2004\n\n" + article("<2@x>", "g", "two", "", "last\n");
  convert("Unix News", store);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "From here on it is body.\r\nStill body.\r\n");
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, "last\r\n");
}

TEST_F(NewsParserTest, SpoolFileWithoutSeparatorIsOneArticle) {
  convert("Unix News", article("<1@x>", "g", "spool file", "", "From my point of view: fine.\n"));
  ASSERT_EQ(subjects(), (std::vector<std::string>{"spool file"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "From my point of view: fine.\r\n");

  // Text that does not begin with a header is no article.
  ctx.emitted.clear();
  convert("Unix News", "Just some notes\nSubject: not a header block\n");
  EXPECT_TRUE(ctx.emitted.empty());
}

TEST_F(NewsParserTest, HugeArticleKeepsItsBeginningAndTheNextArticle) {
  std::string line(999, 'x');
  std::string body;
  while (body.size() < qv::news::kMaxArticleBytes + 100000) body += line + "\n";
  std::string store = "==========\n" + article("<1@x>", "g", "huge", "", "first line\n" + body) + "==========\n" +
                      article("<2@x>", "g", "after");
  convert("VirtualAccess", store);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"huge", "after"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT.rfind("first line\r\n", 0), 0u);
  EXPECT_EQ(ctx.emitted[0].MSGTEXT.size(), 64000u);
}

TEST_F(NewsParserTest, ClassicMacLineEndsAreLines) {
  std::string a = article("<1@x>", "g", "mac", "", "one\ntwo\n");
  for (char& c : a)
    if (c == '\n') c = '\r';
  for (const char* format : {"Unix News", "Netscape News", "IE News"}) {
    SCOPED_TRACE(format);
    ctx.emitted.clear();
    convert(format, a);
    ASSERT_EQ(subjects(), (std::vector<std::string>{"mac"}));
    EXPECT_EQ(ctx.emitted[0].MSGTEXT, "one\r\ntwo\r\n");
  }
}

// A record of an ".NCH" store: the marker byte, 21 bytes of record data, the
// Message-ID, more record data, then the article.
std::string nchRecord(const std::string& id, const std::string& articleText) {
  std::string r(1, char(188));
  r += std::string("\x01\x00\x00\x00\x0a\x00\x00\x00\xff\xfe\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\x00", 21);
  r += id + std::string("\x00\x00\x07\x0a", 4);
  return r + articleText;
}

TEST_F(NewsParserTest, NchRecordsLinesCountAndMarkers) {
  // The Lines count keeps a quoted header line in the body; the record's
  // trailing bytes after the counted body are passed over.
  std::string first = article("<1@x>", "g", "counted", "", "> see:\nFrom: quoted <q@x>\nthird\n");
  first.insert(first.find("\n\n"), "\nLines: 3");
  // No Message-ID in the article: the marker names it. No Lines header: the
  // body ends where the next record starts.
  std::string second = article("", "g", "uncounted", "", "body line\n");
  std::string third = article("<3@x>", "g", "third");
  std::string store = std::string("\x00\x00\x12junk\n", 6) + nchRecord("<1@x>", first + std::string("\x00\x00\xaa\n", 4)) +
                      nchRecord("<2@x>", second) + nchRecord("<3@x>", third) +
                      nchRecord("<caf\xe9@x>", article("", "g", "no ascii id"));
  convert("IE News", store);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"counted", "uncounted", "third"}));
  // A marker's ID is ASCII or none: the last article has none.
  EXPECT_EQ(ctx.skippedFor, (std::map<std::string, int>{{qv::kSkipNoMessageId, 1}}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "> see:\r\nFrom: quoted <q@x>\r\nthird\r\n");
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, "body line\r\n");
  EXPECT_EQ(idOf(ctx.emitted[1].MSGNUMBER), "<2@x>");
  EXPECT_EQ(idOf(ctx.emitted[2].MSGNUMBER), "<3@x>");
}

TEST_F(NewsParserTest, NchHeaderLineStartsAnArticleAfterTheCountedBody) {
  std::string first = article("<1@x>", "g", "one", "", "only line\n");
  first.insert(first.find("\n\n"), "\nLines: 1");
  convert("Outlook Express News", first + article("<2@x>", "g", "two"));
  ASSERT_EQ(subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "only line\r\n");
}

TEST_F(NewsParserTest, NetscapeArticlesStartAtTheirFirstHeaderLine) {
  // Separator and header lines before an article's first header line belong
  // to that article, not to the body before it.
  std::string store = "From - Sat Mar 06 21:39:44 2004\nX-Mozilla-Status: 0001\n" + article("<1@x>", "g", "one") +
                      "From - Sat Mar 06 21:39:44 2004\nX-Mozilla-Status: 0001\n" +
                      article("<2@x>", "g", "two", "", "text\nnote: lower case is no header\n\n");
  convert("Netscape News", store);
  ASSERT_EQ(subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.emitted[0].MSGTEXT, "Body text.\r\n");
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, "text\r\nnote: lower case is no header\r\n");
  // The Path line before "Newsgroups" is part of the second article, not text of the first.
  EXPECT_EQ(ctx.emitted[0].MSGTEXT.find("Path"), std::string::npos);
}

TEST_F(NewsParserTest, NetscapeIndexGivesWhatTheArticleLacks) {
  std::string one = "Newsgroups: g\nFrom: a@x\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nSubject: s\n\nbody\n";
  std::string two = "From: b@x\nDate: Sat, 06 Mar 2004 21:39:44 -0800\n\nsecond body\n";
  convert("Gravity", "", "group.snm");  // an empty store adds nothing
  EXPECT_TRUE(ctx.emitted.empty());

  auto entry = [](uint32_t offset, const std::string& id, const std::string& subject, const std::string& from,
                  const std::string& refs, const std::string& groups) {
    std::string e;
    for (int i = 0; i < 4; ++i) e += char((offset >> (8 * i)) & 0xFF);
    auto pad = [&e](const std::string& s, size_t n) { e += s + std::string(n - s.size(), '\0'); };
    pad(id, 60);
    pad(subject, 50);
    pad(from, 100);
    pad(refs, 400);
    pad(groups, 100);
    return e;
  };
  qvtest::writeFile(dir.file("group.idx"), entry(0, "<one@x>", "ignored", "", "", "h") +
                                               entry(uint32_t(one.size()), "<two@x>", "From the index",
                                                     "Bea <b@x>", "<one@x>", "g2 g"));
  ASSERT_EQ(qv::news::storeIndexPath(dir.file("group.snm")), dir.file("group.idx"));
  convert("Netscape News", one + two, "group.snm");
  ASSERT_EQ(ctx.emitted.size(), 2u);
  // The article's own values stand; the index fills the gaps.
  EXPECT_EQ(ctx.emitted[0].HEADING.str(), "s");
  EXPECT_EQ(ctx.emitted[0].FOR_DESCRIPTION.str(), "g");
  EXPECT_EQ(idOf(ctx.emitted[0].MSGNUMBER), "<one@x>");
  EXPECT_EQ(ctx.emitted[1].HEADING.str(), "From the index");
  EXPECT_EQ(ctx.emitted[1].FOR_DESCRIPTION.str(), "g");  // "g" has a database by now, "g2" not
  EXPECT_EQ(idOf(ctx.emitted[1].MSGNUMBER), "<two@x>");
  EXPECT_EQ(ctx.emitted[1].REFNUMBER, ctx.emitted[0].MSGNUMBER);
  EXPECT_EQ(ctx.emitted[1].S_CISADRESS.str(), "b@x");
}

// ---------------------------------------------------------------------------
// The line rules themselves

TEST(NewsLines, ArticleStartAndHeaderForms) {
  using qv::news::isHeaderForm;
  using qv::news::startsArticle;
  for (const char* s : {"From: a", "Date: x", "Newsgroups: g", "Subject: s", "Message-ID: <a>", "FROM: a",
                        "Messages-To-Come: 3"})
    EXPECT_TRUE(startsArticle(s)) << s;
  for (const char* s : {"from: a", "Path: x", "From a", "Subject", "Newsgroups are fun and so on and so forth and so on, yes: 1",
                        " From: a", ""})
    EXPECT_FALSE(startsArticle(s)) << s;
  EXPECT_TRUE(isHeaderForm("X-Odd.Name: v"));
  EXPECT_TRUE(isHeaderForm(".Actually^Valid: x"));
  EXPECT_FALSE(isHeaderForm("Two words: x"));
  EXPECT_FALSE(isHeaderForm(": x"));
  EXPECT_FALSE(isHeaderForm("no colon"));
}

TEST(NewsLines, HeaderEndsAtAnEmptyLineUnlessHeaderLinesFollow) {
  qv::news::Article a;
  // A reader-written block: Subject first, header lines after an empty line.
  for (const char* l : {"", "SUBJ: topic", "", "REPLY TO: r@x", "     FM: Fred <f@x>", "     TO: Tom", "",
                        "Body: looks like a header", "more"})
    a.add(l);
  EXPECT_TRUE(a.inBody());
  EXPECT_EQ(a.bytes(),
            "Subject: topic\nReply-To: r@x\nFrom: Fred <f@x>\nTo: Tom\n\nBody: looks like a header\nmore\n");
  EXPECT_EQ(a.bodyLines(), 2);

  // Without Date the first empty line not followed by a header line ends it.
  a.clear();
  for (const char* l : {"From: a", "Lines: 12", "", "", "text"}) a.add(l);
  EXPECT_EQ(a.bytes(), "From: a\nLines: 12\n\n\ntext\n");
  EXPECT_EQ(a.lines(), 12);
  EXPECT_EQ(a.bodyLines(), 2);
}

}  // namespace
