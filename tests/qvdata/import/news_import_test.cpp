// Importing news stores through the whole run: threads by References,
// duplicates by Message-ID, and the newsgroup database a cross-post goes to.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/installation.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

std::string article(const std::string& id, const std::string& groups, const std::string& subject,
                    const std::string& refs, const std::string& body) {
  std::string a = "From news Sat Mar  6 21:39:44 2004\nPath: news.example.com!not-for-mail\nNewsgroups: " + groups +
                  "\nFrom: Ann Poster <ann@example.com>\nSubject: " + subject +
                  "\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nMessage-ID: " + id + "\n";
  if (!refs.empty()) a += "References: " + refs + "\n";
  return a + "\n" + body + "\n";
}

struct Posted {
  uint32_t number, ref, thread;
  std::string text;
};

class NewsImportTest : public qvtest::InstallationTest {
 protected:
  int run(const std::string& file, const std::string& bytes, bool reimport, ImportView& view) {
    qvtest::writeFile(dir.file(file), bytes);
    ImportSettings s;
    s.format = "Unix News";
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    s.importNews = true;
    s.allowReimport = reimport;
    ImportRun r(s);
    int guard = 0;
    while (r.step() && ++guard < 100000) {
    }
    r.close();
    view = r.view();
    return r.result();
  }

  // The messages of a newsgroup database by Message-ID.
  std::map<std::string, Posted> messages(const std::string& db) {
    std::map<std::string, Posted> out;
    if (!findDatabase(db)) return out;
    useDatabase();
    OP_CLOSE(OpShared, {FileMsgNmbr, FileMsgText, FileMsgIdIndex});
    MsgIdIndex.setFileOrder();
    std::map<uint32_t, std::string> ids;
    while (MsgIdIndex.next()) ids[MST.MSGNUMBER] = MST.IDSTRING.str();
    MsgNmbr.setFileOrder();
    while (MsgNmbr.next()) out[ids[MSG.MSGNUMBER]] = Posted{MSG.MSGNUMBER, MSG.REFNUMBER, MSG.THREADNUMBER, ""};
    for (auto& [id, p] : out) {
      TXT = MsgTextRec();
      TXT.MSGNUMBER = p.number;
      if (MsgText.get(TXT_IdKey)) p.text = TXT.MsgText;
    }
    OP_CLOSE(OpRelease, {FileMsgNmbr, FileMsgText, FileMsgIdIndex});
    return out;
  }

  // Thread ID -> message count.
  std::map<uint32_t, uint32_t> threads(const std::string& db) {
    std::map<uint32_t, uint32_t> out;
    findDatabase(db);
    useDatabase();
    OP_CLOSE(OpShared, {FileThreads});
    Threads.setFileOrder();
    while (Threads.next()) out[THR.THREADNUMBER] = THR.MSGCOUNT;
    OP_CLOSE(OpRelease, {FileThreads});
    return out;
  }
};

TEST_F(NewsImportTest, MessageIdsDifferingInLetterCaseAreTwoArticles) {
  // Message-IDs are compared exactly: these are two articles, and each reply
  // goes to the one it names.
  std::string store = article("<AbCdE@example.com>", "comp.test", "Upper", "", "First.") +
                      article("<abcde@example.com>", "comp.test", "Lower", "", "Second.") +
                      article("<r1@example.com>", "comp.test", "Re: Lower", "<abcde@example.com>", "To the second.") +
                      article("<r2@example.com>", "comp.test", "Re: Upper", "<AbCdE@example.com>", "To the first.");
  ImportView v;
  ASSERT_EQ(run("spool", store, false, v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 4);
  EXPECT_EQ(v.skipped, 0);
  auto m = messages("comp.test");
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m["<AbCdE@example.com>"].text, "First.\r\n");
  EXPECT_EQ(m["<abcde@example.com>"].text, "Second.\r\n");
  EXPECT_EQ(m["<r1@example.com>"].ref, m["<abcde@example.com>"].number);
  EXPECT_EQ(m["<r2@example.com>"].ref, m["<AbCdE@example.com>"].number);

  // Again: both are known, each by its own ID.
  ASSERT_EQ(run("spool", store, false, v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 0);
  EXPECT_EQ(v.skipped, 4);
}

TEST_F(NewsImportTest, ThreadsFollowReferencesAndReimportSkipsOrUpdates) {
  // Replies before and after the article they answer; one reply to an
  // article that is not in the archive.
  auto store = [](const std::string& rootText) {
    return article("<b@x>", "comp.test", "Re: Question", "<a@x>", "Reply one.") +
           article("<a@x>", "comp.test", "Question", "", rootText) +
           article("<c@x>", "comp.test", "Re: Question", "<a@x> <b@x>", "Reply two.") +
           article("<d@x>", "comp.test", "Re: Elsewhere", "<gone@x>", "Lost parent.");
  };
  ImportView v;
  ASSERT_EQ(run("spool", store("How?"), false, v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 4);
  EXPECT_EQ(v.skipped, 0);

  auto m = messages("comp.test");
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m["<a@x>"].ref, 0u);
  EXPECT_EQ(m["<b@x>"].ref, m["<a@x>"].number);
  EXPECT_EQ(m["<c@x>"].ref, m["<b@x>"].number);
  EXPECT_EQ(m["<b@x>"].thread, m["<a@x>"].thread);
  EXPECT_EQ(m["<c@x>"].thread, m["<a@x>"].thread);
  EXPECT_NE(m["<d@x>"].thread, m["<a@x>"].thread);  // placed by its subject
  EXPECT_EQ(m["<d@x>"].ref, 0u);
  EXPECT_EQ(m["<a@x>"].text, "How?\r\n");
  auto t = threads("comp.test");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[m["<a@x>"].thread], 3u);

  // The same articles again: skipped by their Message-IDs.
  ASSERT_EQ(run("spool", store("How?"), false, v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 0);
  EXPECT_EQ(v.skipped, 4);

  // With reimport allowed they update the stored messages; counts stay.
  ASSERT_EQ(run("spool", store("How, please?"), true, v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, 4);
  auto after = messages("comp.test");
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after["<a@x>"].number, m["<a@x>"].number);
  EXPECT_EQ(after["<a@x>"].text, "How, please?\r\n");
  EXPECT_EQ(after["<c@x>"].thread, m["<a@x>"].thread);
  EXPECT_EQ(threads("comp.test"), t);
}

TEST_F(NewsImportTest, CrossPostGoesIntoTheGroupThatAlreadyHasADatabase) {
  ImportView v;
  ASSERT_EQ(run("one", article("<s@x>", "comp.second", "Only here", "", "x"), false, v), 1) << prompts.transcript();
  ASSERT_EQ(run("two", article("<p@x>", "comp.first,comp.second", "Cross", "", "y"), false, v), 1)
      << prompts.transcript();
  EXPECT_EQ(v.imported, 1);
  EXPECT_FALSE(findDatabase("comp.first"));
  auto m = messages("comp.second");
  EXPECT_EQ(m.size(), 2u);
  EXPECT_EQ(m.count("<p@x>"), 1u);
}

}  // namespace
