// Names, times of day and addresses as the sources give them, followed
// through qvcli as a user runs it over corpus files: import, the message
// list, one message shown, the export, the address books, duplicate
// elimination, person merge and rename, database merge, purge and search.
// Names longer than the person fields are kept whole beside them; forum,
// newsgroup and mail messages keep their time to the second; an address
// without "@" is kept as written unless it is a CompuServe number.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/temp_dir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class QvcliKeptAsGiven : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus = corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    root = dir.path() + "/root";
    ASSERT_EQ(run({"init"}).exitCode, 0);
  }
  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  // Runs a command that must succeed; its standard output.
  std::string ok(const std::vector<std::string>& args) {
    ProcessResult r = run(args);
    EXPECT_EQ(r.exitCode, 0) << args[0] << "\n" << r.out << r.err;
    return r.out;
  }
  void mailbox(const std::string& owner, const std::string& address) {
    ok({"mailbox", "add", "--owner", owner, "--address", address});
  }
  void importMail(const std::string& box, const std::vector<std::string>& files) {
    std::vector<std::string> args = {"import", "--format", "Unix Mail", "--mailbox", box, "--method", "files",
                                     "--unattended"};
    for (const std::string& f : files) args.push_back(corpus + "/" + f);
    std::string out = ok(args);
    EXPECT_NE(out.find("Result:              completed"), std::string::npos) << out;
  }
  // The file an export or address-book command wrote (its first output line).
  std::string written(const std::string& out) {
    std::string path = out.substr(0, out.find('\n'));
    EXPECT_TRUE(fs::is_regular_file(path)) << out;
    return readFile(path);
  }
  // The ID at the start of the message list's line that holds `text`.
  std::string idOfLine(const std::string& list, const std::string& text) {
    size_t at = list.find(text);
    if (at == std::string::npos) return {};
    size_t start = list.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    return list.substr(start, list.find(' ', start) - start);
  }
  // The person ID at the start of the persons list's line that holds `text`.
  std::string personOfLine(const std::string& list, const std::string& text) {
    std::string line = list.substr(list.rfind('\n', list.find(text)) + 1);
    line = line.substr(line.find_first_not_of(' '));
    return line.substr(0, line.find(' '));
  }

  TempDir dir;
  std::string corpus, root;
};

TEST_F(QvcliKeptAsGiven, NamesLongerThanThePersonFieldsAreKeptWhole) {
  mailbox("Box Owner", "owner@example.org");
  importMail("Box Owner",
             {"eml/mailparser/mail_test_11", "mbox/coppit/binary_body.txt", "mbox/eudora2unix_test1.mbox"});

  // The person list: last name, comma, first names, each whole (46, 41 and
  // 34 bytes; the fields hold 25 each).
  std::string persons = ok({"persons", "Box Owner"});
  EXPECT_NE(persons.find("Суворов,служба ФНС Даниил "), std::string::npos) << persons;
  EXPECT_NE(persons.find("предложение,Рекламное "), std::string::npos) << persons;
  EXPECT_NE(persons.find("Science,The Department of Computer "), std::string::npos) << persons;

  // One message shown, and the export of all of them.
  std::string list = ok({"show", "Box Owner"});
  std::string id = idOfLine(list, "письмо уведом-е");
  ASSERT_FALSE(id.empty()) << list;
  EXPECT_NE(ok({"show", "Box Owner", id}).find("From:     служба ФНС Даниил Суворов <suvorov.s@nalg.ru>"),
            std::string::npos);
  std::string exported = written(ok({"export", "Box Owner", "--scope", "date", "--since", "1970-01-01", "--until",
                                     "2099-12-31", "--layout", "3", "--file", "names.txt"}));
  EXPECT_NE(exported.find("From: Рекламное предложение <gerry@wongfaye.com>"), std::string::npos) << exported;
  EXPECT_NE(exported.find("From: The Department of Computer Science <oea.cs@fortyacres.utexas.edu>"),
            std::string::npos);

  // The address books.
  std::string cards = written(ok({"addresses", "Box Owner", "--format", "vcard"}));
  EXPECT_NE(cards.find("FN:служба ФНС Даниил Суворов\r\nN:Суворов;служба ФНС Даниил;;;\r\n"), std::string::npos)
      << cards;
  std::string tapcis = written(ok({"addresses", "Box Owner", "--format", "tapcis", "--file", "t.txt"}));
  EXPECT_NE(tapcis.find("The Department of Computer Science INTERNET:oea.cs@fortyacres.utexas.edu|"),
            std::string::npos)
      << tapcis;

  // A merge into another mailbox carries the whole names.
  mailbox("Second Box", "second@example.org");
  ok({"merge", "Box Owner", "Second Box", "--unattended"});
  std::string merged = ok({"persons", "Second Box"});
  EXPECT_NE(merged.find("Суворов,служба ФНС Даниил "), std::string::npos) << merged;
  EXPECT_NE(merged.find("Science,The Department of Computer "), std::string::npos) << merged;

  // A rename longer than the fields is kept whole, and a short one drops
  // what was kept.
  std::string person = personOfLine(persons, "Суворов,");
  EXPECT_EQ(ok({"persons", "Box Owner", "rename", person, "--last", "Суворов-Преображенский", "--first",
                "Даниил Александрович"}),
            person + "  Суворов-Преображенский,Даниил Александрович\n");
  EXPECT_NE(ok({"persons", "Box Owner"}).find("Суворов-Преображенский,Даниил Александрович"), std::string::npos);
  EXPECT_NE(ok({"show", "Box Owner", id}).find("From:     Даниил Александрович Суворов-Преображенский <"),
            std::string::npos);
  ok({"persons", "Box Owner", "rename", person, "--last", "Суворов", "--first", "Даниил"});
  EXPECT_NE(ok({"show", "Box Owner", id}).find("From:     Даниил Суворов <"), std::string::npos);
}

TEST_F(QvcliKeptAsGiven, TimesOfDayAreKeptToTheSecond) {
  // A forum capture: "28-Apr-91  02:35:08".
  ok({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Scanning", "--method", "files",
      "--unattended", corpus + "/compuserve-capture/800trkthd.ham"});
  EXPECT_NE(ok({"show", "Scanning", "55846"}).find("Date:     1991-04-28 02:35:08\n"), std::string::npos);
  std::string forum = written(ok({"export", "Scanning", "--scope", "date", "--since", "1990-01-01", "--until",
                                  "1999-12-31", "--layout", "1", "--file", "forum.txt"}));
  EXPECT_NE(forum.find("#: 55846 S2/VHF/UHF Scanning  [Scanning]\r\n    28-Apr-91 02:35:08 \r\n"), std::string::npos)
      << forum.substr(0, 300);
  EXPECT_NE(forum.find("    28-Apr-91 16:38:36 \r\n"), std::string::npos);
  // A merge into another forum carries the times.
  ok({"forum", "add", "Scanning Two"});
  ok({"merge", "Scanning", "Scanning Two", "--unattended"});
  EXPECT_NE(ok({"show", "Scanning Two", "55895"}).find("Date:     1991-04-28 16:38:36\n"), std::string::npos);

  // A newsgroup article: "Sat, 06 Mar 2004 21:39:44 -0800".
  ok({"import", "--format", "Unix News", "--kinds", "news", "--method", "files", "--unattended",
      corpus + "/news-spool/inn/articles/1"});
  std::string news = ok({"show", "example.test"});
  std::string article = idOfLine(news, "Test article");
  ASSERT_FALSE(article.empty()) << news;
  EXPECT_NE(ok({"show", "example.test", article}).find("Date:     2004-03-06 21:39:44\n"), std::string::npos);
  std::string exportedNews = written(ok({"export", "example.test", "--scope", "message", "--id", article, "--file",
                                         "news.txt"}));
  EXPECT_NE(exportedNews.find("Date: 06-Mar-2004 21:39:44 \r\n"), std::string::npos) << exportedNews;

  // Mail: "23:42:55", and "00:01+0000" (a zone written against the time).
  mailbox("Box Owner", "owner@example.org");
  importMail("Box Owner", {"mbox/eudora2unix_test1.mbox", "eml/cpython/msg_47.txt"});
  std::string list = ok({"show", "Box Owner"});
  std::string attachment = idOfLine(list, "Email Attachment Test");
  std::string midnight = idOfLine(list, "2001-01-01");
  ASSERT_FALSE(attachment.empty()) << list;
  ASSERT_FALSE(midnight.empty()) << list;
  EXPECT_NE(ok({"show", "Box Owner", attachment}).find("Date:     2010-12-12 23:42:55\n"), std::string::npos);
  EXPECT_NE(ok({"show", "Box Owner", midnight}).find("Date:     2001-01-01 00:01:00\n"), std::string::npos);
  std::string mail = written(ok({"export", "Box Owner", "--scope", "date", "--since", "1970-01-01", "--until",
                                 "2099-12-31", "--layout", "3", "--file", "mail.txt"}));
  EXPECT_NE(mail.find("Date: Sun, 12 Dec 2010 23:42:55\r\n"), std::string::npos) << mail.substr(0, 400);
  EXPECT_NE(mail.find("Date: Mon, 01 Jan 2001 00:01:00\r\n"), std::string::npos);

  // The same mail imported again is a duplicate (times compared to the
  // minute), and a purge, which looks for duplicates the same way, keeps
  // the seconds.
  ProcessResult again = run({"import", "--format", "Unix Mail", "--mailbox", "Box Owner", "--method", "files",
                             "--unattended", corpus + "/mbox/eudora2unix_test1.mbox"});
  EXPECT_NE(again.out.find("Messages imported:   0\n"), std::string::npos) << again.out;
  ok({"purge", "Box Owner", "--unattended"});
  EXPECT_NE(ok({"show", "Box Owner", attachment}).find("Date:     2010-12-12 23:42:55\n"), std::string::npos);

  // The word search lists the hit with its date.
  ok({"index", "Box Owner", "--full", "--unattended"});
  std::string hits = ok({"search", "Box Owner", "--and", "level"});
  EXPECT_NE(hits.find(attachment), std::string::npos) << hits;
}

TEST_F(QvcliKeptAsGiven, AddressesWithoutAnAtSignStayAsWritten) {
  mailbox("Box Owner", "owner@example.org");
  importMail("Box Owner", {"mbox/perceval_mbox_unixfrom_encoding.mbox", "mbox/perceval_mbox_single.mbox"});
  // Duplicate elimination brings CompuServe numbers into their comma form
  // only.
  ok({"dedup", "Box Owner", "--unattended"});
  std::string persons = ok({"persons", "Box Owner"});
  EXPECT_NE(persons.find("christian at example.org "), std::string::npos) << persons;
  EXPECT_NE(persons.find("goran at domain.com "), std::string::npos) << persons;
  EXPECT_EQ(persons.find("example,org"), std::string::npos) << persons;
  // Every address-book format writes the address as it is.
  int file = 0;
  for (const char* format : {"tapcis", "eudora", "rfc822", "ozwin2", "vcard"}) {
    std::string book = written(
        ok({"addresses", "Box Owner", "--format", format, "--file", "book" + std::to_string(++file) + ".txt"}));
    EXPECT_NE(book.find("christian at example.org"), std::string::npos) << format << "\n" << book;
    EXPECT_EQ(book.find("example,org"), std::string::npos) << format;
    EXPECT_EQ(book.find("example\\,org"), std::string::npos) << format;
  }
  // Merged into another person, the address becomes an alias, shown whole.
  std::string christian = personOfLine(persons, "christian at example.org");
  std::string goran = personOfLine(persons, "goran at domain.com");
  ok({"persons", "Box Owner", "merge", "--keep", christian, goran});
  std::string aliases = ok({"persons", "Box Owner", "aliases", christian});
  EXPECT_NE(aliases.find("alias:   goran at domain.com  ("), std::string::npos) << aliases;
}

TEST_F(QvcliKeptAsGiven, ADatabaseWithoutExtrasReadsAsBefore) {
  // A database written before names and times were kept beside the
  // records has no Extras file: it reads with the fields' names and no
  // time of day, and the next import makes the file.
  ok({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Scanning", "--method", "files",
      "--unattended", corpus + "/compuserve-capture/800trkthd.ham"});
  fs::path extras = fs::path(root) / "F1" / "IDX015.ADF";
  ASSERT_TRUE(fs::exists(extras));
  fs::remove(extras);
  EXPECT_NE(ok({"show", "Scanning", "55846"}).find("Date:     1991-04-28\n"), std::string::npos);
  EXPECT_NE(ok({"persons", "Scanning"}).find("Hoehn/N8NYO,Ken"), std::string::npos);
  ProcessResult again = run({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Scanning", "--reimport",
                             "--method", "files", "--unattended", corpus + "/compuserve-capture/800trkthd.ham"});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_TRUE(fs::exists(extras));
  EXPECT_NE(ok({"show", "Scanning", "55846"}).find("Date:     1991-04-28 02:35:08\n"), std::string::npos);
}

}  // namespace
