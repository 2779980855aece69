// An import leaves every count right when it commits: a count run after it
// changes no record of the archive, nor does a second import of the same
// source. Forum captures, mailboxes and news, generated and from the sample
// corpus; and what the counts mean, read from the files themselves: a
// section counts the messages that name it, an answer in a newsgroup is
// addressed to the sender of the article it answers.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "qvcli_process.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";

ProcessResult qvcli(const std::string& root, std::vector<std::string> args) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args);
}

struct Database {
  std::string name, dir;
};

// The databases `list` shows: name and directory.
std::vector<Database> databases(const std::string& root) {
  std::vector<Database> out;
  ProcessResult r = qvcli(root, {"list"});
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);  // the heading
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, kind, dir, count, name;
    if (!(fields >> id >> kind >> dir >> count)) continue;
    std::getline(fields >> std::ws, name);
    out.push_back({name, dir});
  }
  return out;
}

// The directory of the database of that name.
std::string directoryOf(const std::string& root, const std::string& name) {
  for (const Database& db : databases(root))
    if (db.name == name) return root + "/" + db.dir;
  ADD_FAILURE() << "no database " << name;
  return root;
}

void prepare(const std::string& root) {
  ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
  ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", "Mary Owner", "--address", kOwner}).exitCode, 0);
}

// An import that finds every message in the database already ends "not
// completed" with nothing to import: `again` accepts that.
void import(const std::string& root, const std::vector<std::string>& options, bool again = false) {
  std::vector<std::string> args = {"import", "--unattended"};
  args.insert(args.end(), options.begin(), options.end());
  ProcessResult r = qvcli(root, args);
  if (again && r.exitCode == 1 && r.out.find("No messages to import!") != std::string::npos) return;
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
}

void countAll(const std::string& root) {
  for (const Database& db : databases(root)) {
    ProcessResult r = qvcli(root, {"count", db.name, "--unattended"});
    ASSERT_EQ(r.exitCode, 0) << db.name << ": " << r.out << r.err;
  }
}

// Imports with `options`, then: a count run changes nothing; the same import
// again changes nothing; with reimport allowed it changes nothing either
// (unless `reimport` is false: a source holding two articles of one
// Message-ID updates the message with the other), and a count run after it
// changes nothing.
void expectCountsKept(const std::string& root, const std::vector<std::string>& options, bool reimport = true) {
  import(root, options);
  std::string imported = dumpArchive(root);
  countAll(root);
  std::string counted = dumpArchive(root);
  EXPECT_EQ(imported, counted) << "a count run changed the import's counts:\n"
                               << firstDifference(imported, counted);

  import(root, options, true);
  std::string again = dumpArchive(root);
  EXPECT_EQ(counted, again) << "a second import changed the archive:\n" << firstDifference(counted, again);

  std::vector<std::string> withReimport = options;
  withReimport.insert(withReimport.begin(), "--reimport");
  import(root, withReimport, true);
  std::string reimported = dumpArchive(root);
  if (reimport) {
    EXPECT_EQ(counted, reimported) << "a reimport changed the archive:\n" << firstDifference(counted, reimported);
  }
  countAll(root);
  std::string recounted = dumpArchive(root);
  EXPECT_EQ(reimported, recounted) << "a count run after the reimport changed it:\n"
                                   << firstDifference(reimported, recounted);
}

// Rows of one query on an archive file (with further files attached under
// their names: "t" -> "/path/IDX007.ADF"), one string per row, fields
// joined by "|".
std::vector<std::string> rows(const std::string& file, const std::string& sql,
                              const std::vector<std::pair<std::string, std::string>>& attached = {}) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << file;
    sqlite3_close(db);
    return out;
  }
  for (const auto& [as, path] : attached) {
    std::string attach = "ATTACH '" + path + "' AS " + as;
    if (sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) ADD_FAILURE() << sqlite3_errmsg(db);
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db) << ": " << sql;
  } else {
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        if (i) row += "|";
        const unsigned char* t = sqlite3_column_text(st, i);
        row += t ? reinterpret_cast<const char*>(t) : "";
      }
      out.push_back(row);
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

// Sections whose count differs from the number of messages naming them.
std::vector<std::string> wrongSections(const std::string& dir) {
  return rows(dir + "/IDX006.ADF",
              "SELECT s.DESCRIPTION, s.MSGCOUNT, n FROM (SELECT *, (SELECT count(*) FROM m.MsgNmbr x "
              "WHERE x.SECSYSID = Sections.SECSYSID) AS n FROM Sections) s WHERE s.MSGCOUNT <> n",
              {{"m", dir + "/IDX003.ADF"}});
}

TEST(ImportCounts, ForumCaptureKeepsItsCounts) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("forum.msg"), generatedForumCapture(200));
  expectCountsKept(root.path(), {"--format", "OzWin II", sources.file("forum.msg")});
}

TEST(ImportCounts, MailboxKeepsItsCounts) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("mail.mbx"), generatedMbox(200, kOwner));
  expectCountsKept(root.path(), {"--format", "Unix Mail", "--mailbox", "Mary Owner", sources.file("mail.mbx")});
}

TEST(ImportCounts, NewsgroupKeepsItsCounts) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("news.txt"), generatedNews(150));
  expectCountsKept(root.path(), {"--format", "Unix News", sources.file("news.txt")});
}

// Replies of the generated capture answer messages of the other section: a
// section's count is the number of its own messages, before and after a
// count run, and a section is never deleted while messages name it.
TEST(ImportCounts, SectionCountsTheMessagesNamingIt) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("forum.msg"), generatedForumCapture(200));
  import(root.path(), {"--format", "OzWin II", sources.file("forum.msg")});
  std::string dir = directoryOf(root.path(), "Big Forum");
  ASSERT_EQ(rows(dir + "/IDX006.ADF", "SELECT DESCRIPTION, MSGCOUNT FROM Sections ORDER BY DESCRIPTION"),
            (std::vector<std::string>{"Chat|100", "Tools|100"}));
  // Some messages sit in a thread of the other section.
  std::vector<std::string> across =
      rows(dir + "/IDX003.ADF",
           "SELECT count(*) FROM MsgNmbr m JOIN t.Threads h ON h.THREADNUMBER = m.THREADNUMBER "
           "WHERE h.SECSYSID <> m.SECSYSID",
           {{"t", dir + "/IDX007.ADF"}});
  ASSERT_EQ(across.size(), 1u);
  EXPECT_NE(across[0], "0");

  countAll(root.path());
  EXPECT_EQ(wrongSections(dir), std::vector<std::string>{});
  EXPECT_EQ(rows(dir + "/IDX006.ADF", "SELECT DESCRIPTION, MSGCOUNT FROM Sections ORDER BY DESCRIPTION"),
            (std::vector<std::string>{"Chat|100", "Tools|100"}));
}

// Every answer whose article is in the database is addressed to that
// article's sender as soon as it is imported: no answer names the blank
// person, which only the articles answering nothing receive.
TEST(ImportCounts, NewsAnswerIsAddressedToTheAnsweredSender) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("news.txt"), generatedNews(60));
  import(root.path(), {"--format", "Unix News", sources.file("news.txt")});
  std::string dir = directoryOf(root.path(), "comp.test");
  std::string file = dir + "/IDX003.ADF";
  EXPECT_EQ(rows(file, "SELECT count(*) FROM MsgNmbr a JOIN MsgNmbr p ON p.MSGNUMBER = a.REFNUMBER"),
            std::vector<std::string>{"19"});
  EXPECT_EQ(rows(file, "SELECT a.MSGNUMBER, a.TOID, p.FROMID FROM MsgNmbr a JOIN MsgNmbr p ON p.MSGNUMBER = "
                       "a.REFNUMBER WHERE a.TOID <> p.FROMID OR a.TOALPHA <> p.FROMALPHA"),
            std::vector<std::string>{});
  // The blank person receives the 41 articles that answer nothing.
  EXPECT_EQ(rows(dir + "/IDX005.ADF", "SELECT FROMCOUNT, TOCOUNT FROM Person WHERE trim(PERSONSTRING) = ''"),
            std::vector<std::string>{"0|41"});
}

// A reimport that finds a forum message in another thread, section and with
// another sender moves its counts there: a count run afterwards changes
// nothing, and the thread and the person left without messages are gone.
TEST(ImportCounts, ReimportMovesTheCountsOfAMovedMessage) {
  TempDir root, sources;
  prepare(root.path());
  std::string capture = generatedForumCapture(40);
  writeFile(sources.file("forum.msg"), capture);
  import(root.path(), {"--format", "OzWin II", sources.file("forum.msg")});
  // Message 1001 again, now in section 3, from a new member, under a subject
  // of its own.
  std::string from = "#: 1001 S1/Chat (Big Forum)";
  std::string moved = capture.substr(0, capture.find("#: 1002 "));
  moved = moved.substr(moved.find(from));
  moved.replace(0, from.size(), "#: 1001 S3/Tools (Big Forum)");
  moved.replace(moved.find("Sb: "), moved.find('\n', moved.find("Sb: ")) - moved.find("Sb: "), "Sb: A moved message");
  moved.replace(moved.find("Fm: "), moved.find('\n', moved.find("Fm: ")) - moved.find("Fm: "), "Fm: Zed Zimmer 79999,999");
  writeFile(sources.file("moved.msg"), "Captured again.\n" + moved);
  std::string dir = directoryOf(root.path(), "Big Forum");
  auto persons = [&] { return rows(dir + "/IDX005.ADF", "SELECT PERSONSTRING, FROMCOUNT, TOCOUNT FROM Person ORDER BY 1"); };
  std::vector<std::string> before = persons();
  import(root.path(), {"--reimport", "--format", "OzWin II", sources.file("moved.msg")});
  std::string reimported = dumpArchive(root.path());
  countAll(root.path());
  std::string counted = dumpArchive(root.path());
  EXPECT_EQ(reimported, counted) << firstDifference(reimported, counted);
  EXPECT_EQ(rows(dir + "/IDX003.ADF", "SELECT count(*) FROM MsgNmbr"), std::vector<std::string>{"40"});
  EXPECT_EQ(rows(dir + "/IDX006.ADF", "SELECT DESCRIPTION, MSGCOUNT FROM Sections ORDER BY 1"),
            (std::vector<std::string>{"Chat|19", "Tools|21"}));
  std::vector<std::string> after = persons();
  EXPECT_NE(std::find(after.begin(), after.end(), "ZED ZIMMER 79999,999|1|0"), after.end());
  EXPECT_EQ(wrongSections(dir), std::vector<std::string>{});
  // The new thread holds the one message.
  EXPECT_EQ(rows(dir + "/IDX007.ADF", "SELECT MSGCOUNT FROM Threads WHERE ALPHA = 'A moved me'"),
            std::vector<std::string>{"1"});
}

// A reimport updates a message in place but keeps the status it was given:
// a kept message in a thread marked for deletion survives the purge.
TEST(ImportCounts, ReimportKeepsAMessagesStatus) {
  TempDir root, sources;
  prepare(root.path());
  writeFile(sources.file("forum.msg"), generatedForumCapture(20));
  import(root.path(), {"--format", "OzWin II", sources.file("forum.msg")});
  std::string dir = directoryOf(root.path(), "Big Forum");
  std::vector<std::string> thread = rows(dir + "/IDX003.ADF", "SELECT THREADNUMBER FROM MsgNmbr WHERE MSGNUMBER = 1001");
  ASSERT_EQ(thread.size(), 1u);
  ASSERT_EQ(qvcli(root.path(), {"status", "Big Forum", "--message", "1001", "keep"}).exitCode, 0);
  ASSERT_EQ(qvcli(root.path(), {"status", "Big Forum", "--message", "1005", "delete"}).exitCode, 0);
  ASSERT_EQ(qvcli(root.path(), {"status", "Big Forum", "--thread", thread[0], "delete"}).exitCode, 0);
  import(root.path(), {"--reimport", "--format", "OzWin II", sources.file("forum.msg")});
  EXPECT_EQ(rows(dir + "/IDX003.ADF", "SELECT MSGNUMBER, DUMMY FROM MsgNmbr WHERE DUMMY <> 0 ORDER BY 1"),
            (std::vector<std::string>{"1001|1", "1005|2"}));
  ProcessResult purged = qvcli(root.path(), {"purge", "Big Forum", "--unattended"});
  ASSERT_EQ(purged.exitCode, 0) << purged.out << purged.err;
  EXPECT_EQ(rows(dir + "/IDX003.ADF", "SELECT count(*) FROM MsgNmbr WHERE MSGNUMBER IN (1001, 1005)"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(rows(dir + "/IDX003.ADF", "SELECT DUMMY FROM MsgNmbr WHERE MSGNUMBER = 1001"), std::vector<std::string>{"1"});
}

// An answer imported while the article it answers was purged names no
// receiver; when that article is imported again, the answer is addressed to
// its sender at once.
TEST(ImportCounts, RepostedArticleBecomesItsAnswersReceiver) {
  TempDir root, sources;
  prepare(root.path());
  auto article = [](const std::string& id, const std::string& from, const std::string& refs) {
    return "From news Sat Mar  6 21:39:44 2004\nNewsgroups: comp.test\nFrom: " + from +
           "\nSubject: Question\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nMessage-ID: <" + id + ">\n" +
           (refs.empty() ? "" : "References: <" + refs + ">\n") + "\nText of " + id + ".\n\n";
  };
  std::string parent = article("p@example.com", "Ann Archer <ann@example.org>", "");
  writeFile(sources.file("parent.txt"), parent + article("other@example.com", "Bob Baker <bob@example.org>", ""));
  writeFile(sources.file("answer.txt"), article("a@example.com", "Cai Chen <cai@example.org>", "p@example.com"));
  import(root.path(), {"--format", "Unix News", sources.file("parent.txt")});
  std::string dir = directoryOf(root.path(), "comp.test");
  std::vector<std::string> numbers = rows(dir + "/IDX025.ADF", "SELECT MSGNUMBER FROM MsgIdIndex WHERE IDSTRING = '<p@example.com>'");
  ASSERT_EQ(numbers.size(), 1u);
  ASSERT_EQ(qvcli(root.path(), {"status", "comp.test", "--message", numbers[0], "delete"}).exitCode, 0);
  ProcessResult purged = qvcli(root.path(), {"purge", "comp.test", "--unattended"});
  ASSERT_EQ(purged.exitCode, 0) << purged.out << purged.err;
  import(root.path(), {"--format", "Unix News", sources.file("answer.txt")});
  import(root.path(), {"--format", "Unix News", sources.file("parent.txt")}, true);
  std::string imported = dumpArchive(root.path());
  countAll(root.path());
  std::string counted = dumpArchive(root.path());
  EXPECT_EQ(imported, counted) << firstDifference(imported, counted);
  EXPECT_EQ(rows(dir + "/IDX003.ADF", "SELECT p.FROMID = a.TOID FROM MsgNmbr a JOIN MsgNmbr p ON p.MSGNUMBER = a.REFNUMBER"),
            std::vector<std::string>{"1"});
}

// The sample corpus: news articles, mailboxes and forum captures.
TEST(ImportCounts, CorpusKeepsItsCounts) {
  std::string corpus = corpusDir();
  if (corpus.empty() || !fs::exists(corpus + "/news-spool")) GTEST_SKIP() << "no sample corpus";
  struct Source {
    std::vector<std::string> options;
    bool reimport = true;
  };
  const std::vector<Source> sourcesOf = {
      // Two of the articles share a Message-ID.
      {{"--format", "Unix News", "--method", "tree", corpus + "/news-spool"}, false},
      {{"--format", "Unix Mail", "--mailbox", "Mary Owner", "--method", "tree", corpus + "/mbox"}},
      {{"--format", "TAPCIS 6.x", "--forum", "Captures", "--kinds", "forum", "--method", "tree", "--masks", "*.*",
        corpus + "/compuserve-capture"}},
  };
  for (const Source& source : sourcesOf) {
    TempDir root;
    prepare(root.path());
    SCOPED_TRACE(source.options.back());
    expectCountsKept(root.path(), source.options, source.reimport);
    for (const Database& db : databases(root.path())) {
      if (!fs::exists(root.file(db.dir + "/IDX006.ADF"))) continue;
      EXPECT_EQ(wrongSections(root.file(db.dir)), std::vector<std::string>{}) << db.name;
    }
  }
}

}  // namespace
