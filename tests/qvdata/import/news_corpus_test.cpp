// News articles written by other programs (the corpus folder, see its
// SOURCES.md): a news server's spool files, including its torture tests, and
// articles as a mailing-list gateway posted them. Each is read by every news
// parser group; the values are those the corpus's sources state.
#include <gtest/gtest.h>


#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/formats.h"
#include "import/import_run.h"
#include "import/parser.h"
#include "import/skip_reasons.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/installation.h"
#include "support/fake_import_context.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using qvtest::FakeImportContext;
namespace fs = std::filesystem;

namespace {

std::string newsDir() {
  std::string c = qvtest::corpusDir();
  if (c.empty() || !fs::is_directory(c + "/news-spool")) return {};
  return c + "/news-spool";
}

#define NEED_CORPUS()                                                                     \
  std::string corpus = newsDir();                                                         \
  if (corpus.empty()) GTEST_SKIP() << "corpus folder with news-spool/ not found; skipped"

struct Converted {
  std::vector<qv::ImpHeaderRec> records;
  std::vector<std::string> ids;  // the Message-ID of each record ("" when none)
  std::string parentId;          // of the first record
  int skipped = 0;
  std::map<std::string, int> skippedFor;
};

// Converts one file with the parser of a format.
Converted convert(const std::string& format, const std::string& path) {
  FakeImportContext ctx;
  ctx.setFormat(format);
  Converted out;
  if (!ctx.openBlocks(path)) {
    ADD_FAILURE() << "cannot open " << path;
    return out;
  }
  std::unique_ptr<qv::Parser> parser = qv::makeParser(*qv::formatByName(format));
  qvtest::runParser(*parser, ctx);
  ctx.closeSource();
  out.records = ctx.emitted;
  for (const auto& r : ctx.emitted) out.ids.push_back(ctx.messageIdOf(r.MSGNUMBER));
  if (!ctx.emitted.empty() && ctx.emitted[0].REFNUMBER != 0) out.parentId = ctx.messageIdOf(ctx.emitted[0].REFNUMBER);
  out.skipped = ctx.skipped;
  out.skippedFor = ctx.skippedFor;
  return out;
}

struct Expected {
  const char* file;
  const char* id;       // "" for none
  const char* group;
  const char* subject;  // as stored: 50 characters
  const char* name;
  const char* address;
  const char* parent;   // "" for none
};

// From the spool's own tests and expected overview data (SOURCES.md).
const Expected kInn[] = {
    {"1", "<example-1@example.com>", "example.test", "Test article", "user@example.com", "user@example.com", ""},
    {"2", "<example-2@example.com>", "example.config", "Test article #2", "user@example.com", "user@example.com", ""},
    // Cross-posted: into one group, the first (no group has a database).
    {"3", "<example-3@example.com>", "example.test", "Test article #3 with a | | tab", "user@example.com",
     "user@example.com", ""},
    // The folded subject of the overview, cut to the field's 50 characters.
    {"4", "<example-4@example.com>", "example.test", "This is an aggressively obnoxious article for   te", "I Am User",
     "user@example.com", "<example-2@example.com>"},
    {"5", "<example-5@example.com>", "example.test", "Torture test for article parsing", "I Am User",
     "user@example.com", "<example-2@example.com>"},
    {"7", "<example-5@example.com>", "example.test", "Wire format testing", "", "", ""},
    {"bad-msgid", "", "example.test", "Test article with stray CR | | and no message ID", "user@example.com",
     "user@example.com", ""},
    {"bad-subj", "<example-bad-subj@example.com>", "example.test", "", "user@example.com", "user@example.com", ""},
    {"xref", "<example-3@example.com>", "example.test", "Test article #3 with a | | tab", "user@example.com",
     "user@example.com", ""},
};

const char* const kFormats[] = {"Unix News", "Agent News", "VirtualAccess", "Netscape News", "Gravity", "IE News",
                                "Outlook Express News"};

TEST(NewsCorpus, SpoolArticlesAreOneArticleEachInEveryStore) {
  NEED_CORPUS();
  for (const Expected& e : kInn) {
    std::string path = corpus + "/inn/articles/" + e.file;
    for (const char* format : kFormats) {
      SCOPED_TRACE(std::string(e.file) + " as " + format);
      Converted c = convert(format, path);
      if (*e.id == '\0') {
        // No Message-ID: skipped, and the summary says why.
        EXPECT_TRUE(c.records.empty());
        EXPECT_EQ(c.skippedFor, (std::map<std::string, int>{{qv::kSkipNoMessageId, 1}}));
        continue;
      }
      ASSERT_EQ(c.records.size(), 1u);
      const qv::ImpHeaderRec& r = c.records[0];
      EXPECT_EQ(c.ids[0], e.id);
      EXPECT_EQ(r.FOR_DESCRIPTION.str(), e.group);
      EXPECT_EQ(r.HEADING.str(), e.subject);
      EXPECT_EQ(r.S_NAME.str(), e.name);
      EXPECT_EQ(r.S_CISADRESS.str(), e.address);
      EXPECT_EQ(c.parentId, e.parent);
      EXPECT_FALSE(r.MSGTEXT.empty());
    }
  }
}

TEST(NewsCorpus, SpoolArticleValuesAndTextsAsWritten) {
  NEED_CORPUS();
  Converted one = convert("Unix News", corpus + "/inn/articles/1");
  ASSERT_EQ(one.records.size(), 1u);
  EXPECT_EQ(one.records[0].DATE, qv::dateFromYMD(2004, 3, 6));
  EXPECT_EQ(one.records[0].TIME, qv::timeFromHMS(21, 39, 44));
  EXPECT_EQ(one.records[0].MSGTEXT, "This is a test message to example.test in native format.\r\n");

  // The torture tests: 1000-character header lines, dot lines in the body.
  Converted five = convert("Unix News", corpus + "/inn/articles/5");
  ASSERT_EQ(five.records.size(), 1u);
  EXPECT_EQ(five.records[0].DATE, qv::dateFromYMD(2004, 5, 18));
  EXPECT_NE(five.records[0].MSGTEXT.find("\r\n.\r\nnosense in it to torture the article parser."), std::string::npos)
      << five.records[0].MSGTEXT;
  Converted seven = convert("Unix News", corpus + "/inn/articles/7");
  ASSERT_EQ(seven.records.size(), 1u);
  EXPECT_NE(seven.records[0].MSGTEXT.find("..\r\n...\r\n.\r\n"), std::string::npos) << seven.records[0].MSGTEXT;
}

TEST(NewsCorpus, GatewayedArticles) {
  NEED_CORPUS();
  for (const char* format : kFormats) {
    SCOPED_TRACE(format);
    Converted one = convert(format, corpus + "/perceval/nntp_1.txt");
    ASSERT_EQ(one.records.size(), 1u);
    const qv::ImpHeaderRec& r = one.records[0];
    EXPECT_EQ(one.ids[0], "<mailman.350.1458060579.14303.dev-project-link@example.com>");
    EXPECT_EQ(r.FOR_DESCRIPTION.str(), "example.dev.project-link");
    EXPECT_EQ(r.HEADING.str(), "Github wiki vs Mozilla wiki");
    EXPECT_EQ(r.S_NAME.str(), "Fernando Jiménez Moreno");
    EXPECT_EQ(r.S_CISADRESS.str(), "fmoreno@example.com");
    EXPECT_EQ(r.DATE, qv::dateFromYMD(2016, 3, 15));
    // multipart/alternative: the plain text part, whole.
    EXPECT_EQ(r.MSGTEXT.rfind("Hello folks,\r\n\r\nduring yesterday's weekly meeting", 0), 0u) << r.MSGTEXT;
    EXPECT_NE(r.MSGTEXT.find("[1] https://wiki.mozilla.org/Project_Link"), std::string::npos);
    EXPECT_EQ(r.MSGTEXT.find("<div"), std::string::npos);

    Converted two = convert(format, corpus + "/perceval/nntp_2.txt");
    ASSERT_EQ(two.records.size(), 1u);
    EXPECT_EQ(two.ids[0], "<mailman.361.1458076505.14303.dev-project-link@example.com>");
    EXPECT_EQ(two.records[0].FOR_DESCRIPTION.str(), "mozilla.dev.project-link");
    EXPECT_EQ(two.records[0].S_NAME.str(), "Julien Wajsberg");
    EXPECT_EQ(two.parentId, "<CANG1D=sjAZJ9BYp3N6YFQJaCS75TXtskrhWwGinAjsnGpACbbw@mail.gmail.com>");
    // windows-1252 quoted-printable text decoded.
    EXPECT_NE(two.records[0].MSGTEXT.find("Fernando Jiménez Moreno a écrit"), std::string::npos)
        << two.records[0].MSGTEXT;
  }
}

// The spool directory imported as it is: one database per group, the
// cross-post once, duplicates and the article without a Message-ID skipped.
class NewsCorpusImport : public qvtest::InstallationTest {};

TEST_F(NewsCorpusImport, SpoolDirectoryImportsIntoItsGroups) {
  NEED_CORPUS();
  qv::ImportSettings s;
  s.format = "Unix News";
  s.method = qv::SelectDirectory;
  s.path = corpus + "/inn/articles";
  s.masks = {"*"};
  s.importNews = true;
  qv::ImportRun run(s);
  int guard = 0;
  while (run.step() && ++guard < 100000) {
  }
  run.close();
  ASSERT_EQ(run.result(), 1) << prompts.transcript();
  // 9 articles: 3 and xref, 5 and 7 share their IDs (the second of each is
  // already in the database when it is posted); bad-msgid has none. The
  // summary names both reasons.
  EXPECT_EQ(run.view().tempRecords, 8);
  EXPECT_EQ(run.view().imported, 6);
  EXPECT_EQ(run.view().skipped, 3);
  EXPECT_EQ(run.view().skippedFor,
            (std::map<std::string, int64_t>{{qv::kSkipNoMessageId, 1}, {qv::kSkipInDatabase, 2}}));
  EXPECT_EQ(qv::skipReasonLines(run.view().skippedFor),
            (std::vector<std::string>{"already in the database: 2", "no Message-ID: 1"}));

  auto count = [](const std::string& db) -> int64_t {
    if (!qv::findDatabase(db)) return -1;
    return qv::FOR.MSGCOUNT;
  };
  EXPECT_EQ(count("example.test"), 5);
  EXPECT_EQ(count("example.config"), 1);

  // Article 4 answers article 2, which lives in the other group's database:
  // it starts a thread of its own there.
  ASSERT_TRUE(qv::findDatabase("example.test"));
  qv::useDatabase();
  qv::OP_CLOSE(qv::OpShared, {qv::FileMsgNmbr, qv::FileMsgIdIndex});
  qv::MST = qv::MsgIdIndexRec();
  qv::MST.IDSTRING = "<example-4@example.com>";
  ASSERT_TRUE(qv::MsgIdIndex.get(qv::MST_IDSTRINGKEY));
  qv::MSG = qv::MsgNmbrRec();
  qv::MSG.MSGNUMBER = qv::MST.MSGNUMBER;
  ASSERT_TRUE(qv::MsgNmbr.get(qv::MSG_IdKey));
  EXPECT_EQ(qv::MSG.REFNUMBER, 0u);
  qv::OP_CLOSE(qv::OpRelease, {qv::FileMsgNmbr, qv::FileMsgIdIndex});
}

}  // namespace
