// qvcli run as a user runs it: what it refuses to write, where a copied
// installation writes, reading beside the program, what reaches the
// terminal, and sources that are no regular files.
#include <fcntl.h>
#include <sqlite3.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/generated_sources.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;  // the exit status; -1 when killed (also by the time limit)
  std::string out, err;
};

class QvcliTest : public ::testing::Test {
 protected:
  void SetUp() override { root = dir.path() + "/root"; }

  // Runs qvcli with the arguments, on `on` (--root), for at most a minute.
  Outcome qvcli(const std::vector<std::string>& args, const std::string& on = {}) {
    std::string outFile = dir.file("stdout"), errFile = dir.file("stderr");
    std::vector<std::string> all = {QVCLI_PROGRAM, "--root", on.empty() ? root : on};
    all.insert(all.end(), args.begin(), args.end());
    pid_t pid = ::fork();
    if (pid == 0) {
      int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(out, 1);
      ::dup2(err, 2);
      int in = ::open("/dev/null", O_RDONLY);
      ::dup2(in, 0);
      ::alarm(60);
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::unsetenv("QUORVANE_ROOT");
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    Outcome r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    return r;
  }
  // A capture file with message 800 whose text holds `text`.
  std::string capture(const std::string& text) {
    writeFile(dir.file("capture.msg"),
              "#: 800 S1/General\r\n    05-Mar-96 10:11\r\nSb: Greetings\r\nFm: Ann Lee 11111,222\r\nTo: All\r\n\r\n" +
                  text + "\r\n\r\n");
    return dir.file("capture.msg");
  }
  // A forum database "Forum" with message 800 whose text holds `text`.
  void forumWith(const std::string& text) {
    Outcome r = qvcli({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum", capture(text)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  // Imports a capture file of the forum "Forum" and returns what show lists.
  Outcome showCapture(const std::string& content) {
    writeFile(dir.file("capture.msg"), content);
    Outcome r = qvcli({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum",
                       dir.file("capture.msg")});
    if (r.status != 0) return r;
    return qvcli({"show", "Forum"});
  }

  TempDir dir;
  std::string root;
};



TEST_F(QvcliTest, PrintRefusesToWriteOverTheArchive) {
  forumWith("Hello.");
  std::string control = root + "/CFG/IDX008.ADF";
  std::string before = readFile(control);
  Outcome r = qvcli({"print", "Forum", "--scope", "date", "--pdf", control});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Filename error"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(control), before) << "the control file is untouched";
  EXPECT_EQ(qvcli({"list"}).status, 0) << "the installation still works";

  r = qvcli({"print", "Forum", "--scope", "date", "--pdf", root + "/CFG/report.pdf"});
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(root + "/CFG/report.pdf"));

  std::string pdf = dir.file("report.pdf");
  r = qvcli({"print", "Forum", "--scope", "date", "--pdf", pdf});
  ASSERT_EQ(r.status, 0) << r.err;
  struct stat st;
  ASSERT_EQ(::stat(pdf.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the report is private";
}

TEST_F(QvcliTest, ACopiedInstallationWritesIntoItself) {
  ASSERT_EQ(qvcli({"mailbox", "add", "--owner", "Ann Lee", "--address", "ann@example.org"}).status, 0);
  std::string copy = dir.path() + "/copy";
  fs::copy(root, copy, fs::copy_options::recursive);
  std::string source = capture("Into the copy.");
  auto original = snapshotTree(root);

  Outcome r = qvcli({"mailbox", "add", "--owner", "Bob Roe", "--address", "bob@example.org"}, copy);
  ASSERT_EQ(r.status, 0) << r.err;
  r = qvcli({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Copied", source}, copy);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(snapshotTree(root), original) << "nothing written into the original";
  EXPECT_NE(qvcli({"list"}, copy).out.find("Copied"), std::string::npos);
  EXPECT_EQ(qvcli({"list"}).out.find("Copied"), std::string::npos);
  EXPECT_NE(qvcli({"info"}, copy).out.find("Databases          " + copy + "\n"), std::string::npos);
}

TEST_F(QvcliTest, ReadingCommandsWorkBesideTheProgram) {
  forumWith("Hello.");
  struct stat before;
  ASSERT_EQ(::stat((root + "/CFG/IDX008.ADF").c_str(), &before), 0);
  // The program holds the installation.
  int fd = ::open((root + "/CFG/QUORVANE.LCK").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  Outcome r = qvcli({"list"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Forum"), std::string::npos);
  r = qvcli({"show", "Forum", "800"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Hello."), std::string::npos);
  EXPECT_EQ(qvcli({"info"}).status, 0);
  r = qvcli({"search", "Forum", "--and", "hello"});
  EXPECT_EQ(r.err.find("already running"), std::string::npos) << r.err;

  r = qvcli({"forum", "add", "Other"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err, "qvcli: Quorvane is already running on the installation " + root +
                       ".\nOnly one program at a time may work on an installation.\n"
                       "Commands that only read (info, list, show, search) can still be used.\n");
  ::close(fd);

  struct stat after;
  ASSERT_EQ(::stat((root + "/CFG/IDX008.ADF").c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << "reading commands never write the control file";
}

TEST_F(QvcliTest, ReadingCommandsLeaveEveryArchiveFileAsItWas) {
  forumWith("Hello world.");
  ASSERT_EQ(qvcli({"index", "Forum"}).status, 0);
  // The result of a search is kept for export and print in this file, and
  // only there.
  const std::string result = root + "/TEMP/IDX032.ADF";
  ASSERT_EQ(qvcli({"search", "Forum", "--and", "world"}).status, 0);
  auto bytes = snapshotTree(root);
  auto times = modificationTimes(root);

  // The installation free, as after the program ended.
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"list"}, {"info"}, {"show", "Forum"}, {"show", "Forum", "--thread"}, {"show", "Forum", "800"}}) {
    Outcome r = qvcli(command);
    EXPECT_EQ(r.status, 0) << command[0] << ": " << r.err;
    EXPECT_EQ(snapshotTree(root), bytes) << command[0] << " changed a file";
    EXPECT_EQ(modificationTimes(root), times) << command[0] << " wrote a file";
  }

  Outcome r = qvcli({"search", "Forum", "--and", "hello"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("800"), std::string::npos) << r.out;
  auto bytesAfter = snapshotTree(root);
  auto timesAfter = modificationTimes(root);
  bytesAfter.erase("TEMP/IDX032.ADF");
  bytes.erase("TEMP/IDX032.ADF");
  timesAfter.erase(result);
  times.erase(result);
  EXPECT_EQ(bytesAfter, bytes) << "search wrote into the archive";
  EXPECT_EQ(timesAfter, times) << "search wrote a file other than its result";
}

TEST_F(QvcliTest, ControlCharactersOfStoredTextNeverReachTheTerminal) {
  forumWith("Before\x1b[2Jafter \x1b]52;c;ZWNobyBoaQ==\x07 end.");
  ASSERT_EQ(qvcli({"forum", "add", "Evil\x1b]0;title\x07"}).status, 0);
  Outcome show = qvcli({"show", "Forum", "800"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("Before^[[2Jafter ^[]52;c;ZWNobyBoaQ==^G end."), std::string::npos) << show.out;
  Outcome clip = qvcli({"export", "Forum", "--scope", "message", "--id", "800", "--clipboard"});
  ASSERT_EQ(clip.status, 0) << clip.err;
  EXPECT_NE(clip.out.find("^[[2J"), std::string::npos);
  Outcome list = qvcli({"list"});
  EXPECT_NE(list.out.find("Evil^[]0;title^G"), std::string::npos) << list.out;
  for (const Outcome* r : {&show, &clip, &list, &list}) {
    EXPECT_EQ(r->out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r->out.find('\x07'), std::string::npos);
  }
  EXPECT_EQ(qvcli({"show", "Forum"}).out.find('\x1b'), std::string::npos);
  EXPECT_EQ(qvcli({"info"}).out.find('\x1b'), std::string::npos);
}

// Control characters that decoding makes (quoted-printable "=1B", HTML
// "&#27;") and names the user types are shown escaped too; a part saved as a
// file loses C1 controls from its name as it loses C0 ones.
TEST_F(QvcliTest, ControlCharactersFromDecodingAndTypedNamesNeverReachTheTerminal) {
  ASSERT_EQ(qvcli({"init"}).status, 0);
  ASSERT_EQ(qvcli({"mailbox", "add", "--owner", "Ann Lee", "--address", "ann@example.org"}).status, 0);
  std::string head = "From eve@example.org Sat Mar  6 21:39:44 2004\nFrom: Eve <eve@example.org>\n"
                     "To: ann@example.org\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nMIME-Version: 1.0\n";
  writeFile(dir.file("evil.mbx"),
            head + "Subject: qp\nMessage-ID: <qp@example.org>\nContent-Type: text/plain; charset=us-ascii\n"
                   "Content-Transfer-Encoding: quoted-printable\n\nQP=1B[2J then =1B]52;c;ZWNobw=3D=3D=07 end\n\n" +
                head + "Subject: html\nMessage-ID: <html@example.org>\nContent-Type: text/html\n\n"
                   "<p>HTML&#27;[2J then &#x1b;]0;title&#7; end</p>\n\n" +
                head + "Subject: part\nMessage-ID: <part@example.org>\n"
                   "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nSee the part.\n"
                   "--b\nContent-Type: application/octet-stream; name=\"x\"\n"
                   "Content-Disposition: attachment; filename*=utf-8''a%1B%5B2Jb%C2%9B2Jc.bin\n"
                   "Content-Transfer-Encoding: base64\n\nAAEC\n--b--\n\n");
  Outcome r = qvcli({"import", "--format", "Unix Mail", "--mailbox", "Ann Lee", dir.file("evil.mbx")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_EQ(qvcli({"topic", "Ann Lee", "add", "Topic\x1b]0;t\x07"}).status, 0);
  ASSERT_EQ(qvcli({"stoplist", "add", "wo\x1b[2Jrd"}).status, 0);

  std::vector<Outcome> outs;
  Outcome list = qvcli({"show", "Ann Lee"});
  ASSERT_EQ(list.status, 0) << list.err;
  for (size_t at = 0; at < list.out.size(); at = list.out.find('\n', at) + 1) {
    std::string id = list.out.substr(at, list.out.find(' ', at) - at);
    outs.push_back(qvcli({"show", "Ann Lee", id}));
    outs.push_back(qvcli({"export", "Ann Lee", "--scope", "message", "--id", id, "--clipboard"}));
    outs.push_back(qvcli({"attachments", "Ann Lee", id, "--save", dir.path() + "/parts"}));
  }
  outs.push_back(qvcli({"topic", "Ann Lee", "list"}));
  outs.push_back(qvcli({"stoplist", "list"}));
  std::string all;
  for (const Outcome& o : outs) all += o.out + o.err;
  EXPECT_NE(all.find("QP^[[2J then ^[]52;c;ZWNobw==^G end"), std::string::npos) << all;
  EXPECT_NE(all.find("HTML^[[2J then ^[]0;title^G end"), std::string::npos) << all;
  EXPECT_NE(all.find("Topic^[]0;t^G"), std::string::npos);
  EXPECT_NE(all.find("WO^[[2JRD"), std::string::npos);
  for (char c : {'\x1b', '\x07'}) EXPECT_EQ(all.find(c), std::string::npos) << int(c);
  EXPECT_EQ(all.find("\xC2\x9B"), std::string::npos);
  std::vector<std::string> saved;
  for (const auto& e : fs::directory_iterator(dir.path() + "/parts")) saved.push_back(e.path().filename());
  std::string names;
  for (const std::string& n : saved) names += n + "|";
  EXPECT_NE(names.find("b2Jc.bin|"), std::string::npos) << "U+009B leaves the name: " << names;
  for (size_t i = 0; i < names.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(names[i]);
    EXPECT_FALSE(c < 0x20 || c == 0x7F || (c == 0xC2 && i + 1 < names.size() && (names[i + 1] & 0xE0) == 0x80))
        << "a control character in a saved name: " << names;
  }
}

TEST_F(QvcliTest, ListedNamesAreCutOnACharacterBoundary) {
  std::string name = "\xc3\x85sa ";
  for (int i = 0; i < 13; ++i) name += "\xc3\x96";  // 31 bytes: the column of 28 falls inside a character
  Outcome r = showCapture("#: 800 S1/General\r\n    05-Mar-96 10:11\r\nSb: Hi\r\nFm: " + name +
                          " 11111,222\r\nTo: All\r\n\r\nText.\r\n\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(name.substr(0, 27) + "  -> "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\\x"), std::string::npos) << r.out;
}

TEST_F(QvcliTest, ShowNamesAPersonAsTheListsDoFollowedByTheAddress) {
  Outcome r = showCapture("#: 800 S1/General\r\n    05-Mar-96 10:11\r\nSb: Hi\r\nFm: 11111,222\r\n"
                          "To: Ann 33333,444\r\n\r\nText.\r\n\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // A person known by the address alone is the address, not a blank before it.
  EXPECT_NE(r.out.find("ref 0        <11111,222> "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-> Ann <33333,444> "), std::string::npos) << r.out;
}

TEST_F(QvcliTest, AFifoGivenAsASourceIsSkipped) {
  ASSERT_EQ(qvcli({"init"}).status, 0);
  std::string fifo = dir.file("Inbox");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Outcome r = qvcli({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum", fifo});
  EXPECT_NE(r.status, -1) << "the run ended";
  EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("This file will be skipped!"), std::string::npos) << r.err;
}

TEST_F(QvcliTest, CheckFindsEveryOriginalAndReportsWhatIsWrong) {
  ASSERT_EQ(qvcli({"init"}).status, 0);
  Outcome r = qvcli({"mailbox", "add", "--owner", "Mary Owner", "--address", "mary@owner.example"});
  ASSERT_EQ(r.status, 0) << r.err;
  writeFile(dir.file("mail.mbx"), qvtest::generatedMbox(30, "mary@owner.example"));
  writeFile(dir.file("news.txt"), qvtest::generatedNews(20));
  r = qvcli({"import", "--format", "Unix Mail", "--mailbox", "Mary Owner", dir.file("mail.mbx")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  r = qvcli({"import", "--format", "Unix News", dir.file("news.txt")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const char* db : {"Mary Owner", "comp.test"}) {
    r = qvcli({"check", db});
    EXPECT_EQ(r.status, 0) << db << ": " << r.out << r.err;
    EXPECT_NE(r.out.find("originals kept, no fault found"), std::string::npos) << r.out;
  }

  // A content lost, and an original whose mail is gone.
  std::string originals;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename() == "IDX036.ADF" && fs::exists(e.path().parent_path() / "IDX013.ADF")) originals = e.path();
  ASSERT_FALSE(originals.empty());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(originals.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "DELETE FROM Originals WHERE MSGID = 0 AND HASH = "
                         "(SELECT HASH FROM Originals WHERE MSGID <> 0 ORDER BY MSGID LIMIT 1);"
                         "INSERT INTO Originals (MSGID, HASH, SIZE, PACKING, DATA) "
                         "SELECT 4000000000, HASH, SIZE, PACKING, '' FROM Originals WHERE MSGID <> 0 "
                         "ORDER BY MSGID DESC LIMIT 1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
  r = qvcli({"check", "Mary Owner"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("has no content"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("mail 4000000000 belongs to no mail"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("counts 1 mails, but 2 name it"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 faults found"), std::string::npos) << r.err;
}

}  // namespace
