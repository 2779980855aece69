// What an import leaves when it stops early, and subjects kept byte for byte.
//
// Every commit of the posting holds the messages, their texts, whole
// subjects, carbon copies and the counts they change; a run stopped on a full
// disk keeps what it committed, gives the space of its temporary files back,
// and a rerun ends with the archive of a run that was never stopped.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "wordindex/index_run.h"
#include "wordindex/word_lookup.h"

namespace fs = std::filesystem;
using namespace qv;
using namespace qvtest;

namespace {

// Subjects of random letters of one to four bytes with single blanks at
// random places, never at either end.
std::string randomSubject(std::mt19937& rng) {
  static const char* pieces[] = {"a", "b", "Z", "ü", "ß", "é", "中", "文", "😀", "€", "ñ", "q"};
  std::uniform_int_distribution<int> piece(0, 11), length(1, 40), blank(0, 4);
  std::string s;
  int n = length(rng);
  for (int i = 0; i < n; ++i) {
    if (!s.empty() && s.back() != ' ' && blank(rng) == 0) s += ' ';
    s += pieces[piece(rng)];
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Subjects that put a blank at every byte position of the heading fields,
// and a two-, three- and four-byte character across the cut after 10 bytes.
std::vector<std::string> edgeSubjects() {
  std::vector<std::string> out;
  std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (size_t k = 1; k < 60; ++k) out.push_back(letters.substr(0, k) + " " + letters.substr(k, 5));
  for (const char* c : {"ü", "€", "😀"})
    for (size_t at = 7; at <= 10; ++at) out.push_back(letters.substr(0, at) + c + "x tail");
  out.push_back("Abcd Grüße aus Köln");
  return out;
}

std::string mbox(const std::vector<std::string>& subjects) {
  std::string out;
  for (size_t i = 0; i < subjects.size(); ++i)
    out += "From a@example.org Mon Jan  3 10:00:00 2005\nFrom: Ann <a@example.org>\nTo: Mary Owner "
           "<mary@owner.example>\nSubject: " +
           subjects[i] + "\nDate: Mon, 3 Jan 2005 10:" + std::to_string(10 + i % 50) + ":00 +0000\n\nText " +
           std::to_string(i) + "\n\n";
  return out;
}

class ImportConsistencyTest : public MailImportTest {
 protected:
  int importMbox(const std::string& name, const std::string& bytes, ImportView* view = nullptr) {
    writeFile(dir.file(name), bytes);
    return importFiles("Unix Mail", {name}, view);
  }

  // Counts the database's records must agree with.
  void expectCountsAgree() {
    ASSERT_TRUE(findDatabase(mailbox));
    uint32_t listed = FOR.MSGCOUNT;
    useDatabase();
    OP_CLOSE(OpShared, {FileMail, FilePerson});
    int64_t mails = Mail.records();
    int64_t sent = 0, received = 0;
    Person.setFileOrder();
    while (Person.next()) {
      sent += PER.FROMCOUNT;
      received += PER.TOCOUNT;
    }
    // Every mail committed has its original, and no original is left without its mail.
    EXPECT_TRUE(keepsOriginals(KindMailDb));
    EXPECT_EQ(checkOriginals(KindMailDb), std::vector<std::string>());
    OP_CLOSE(OpRelease, {FileMail, FilePerson});
    Originals.close();
    EXPECT_EQ(int64_t(listed), mails);
    EXPECT_EQ(sent, mails);
    EXPECT_EQ(received, mails);
  }
};

TEST_F(ImportConsistencyTest, EverySubjectComesBackByteForByte) {
  std::mt19937 rng(12);
  std::vector<std::string> subjects = edgeSubjects();
  for (int i = 0; i < 200; ++i) subjects.push_back(randomSubject(rng));
  ASSERT_EQ(importMbox("subjects.mbx", mbox(subjects)), 1) << prompts.transcript();
  auto mails = stored();
  ASSERT_EQ(mails.size(), subjects.size());
  for (size_t i = 0; i < subjects.size(); ++i) EXPECT_EQ(mails[i].subject, subjects[i]) << "mail " << i;
}

TEST_F(ImportConsistencyTest, ThreadHeadingsComeBackByteForByteAndTellLongSubjectsApart) {
  std::mt19937 rng(5);
  std::vector<std::string> subjects = edgeSubjects();
  for (int i = 0; i < 100; ++i) subjects.push_back(randomSubject(rng));
  // Two subjects that share their first 50 bytes are two threads.
  std::string shared = "Fifty bytes of a subject that two threads share, a";
  ASSERT_EQ(shared.size(), 50u);
  subjects.push_back(shared + "nd then the first");
  subjects.push_back(shared + "nd then the second");
  std::string capture;
  for (size_t i = 0; i < subjects.size(); ++i)
    capture += "#: " + std::to_string(5000 + i) + " S1/Chat (Subject Forum)\n    1-Jan-99  10:00\nSb: " + subjects[i] +
               "\nFm: Ann Archer 70000,1\nTo: All\n\nText " + std::to_string(i) + "\n\n";
  writeFile(dir.file("forum.msg"), capture);
  ImportSettings s;
  s.format = "OzWin II";
  s.method = SelectFiles;
  s.path = dir.path();
  s.masks = {"forum.msg"};
  s.importForum = true;
  ImportRun r(s);
  while (r.step()) {
  }
  r.close();
  ASSERT_EQ(r.result(), 1) << prompts.transcript();
  ASSERT_TRUE(findDatabase("Subject Forum"));
  useDatabase();
  OP_CLOSE(OpShared, {FileMsgNmbr, FileThreads});
  std::set<uint32_t> threads;
  for (size_t i = 0; i < subjects.size(); ++i) {
    ASSERT_TRUE(readMessage(KindForumDb, uint32_t(5000 + i))) << i;
    EXPECT_EQ(subjectOfMessage(KindForumDb), subjects[i]) << "message " << i;
    threads.insert(MSG.THREADNUMBER);
  }
  OP_CLOSE(OpRelease, {FileMsgNmbr, FileThreads});
  std::set<std::string> distinct(subjects.begin(), subjects.end());
  EXPECT_EQ(threads.size(), distinct.size());
}

TEST_F(ImportConsistencyTest, WordsPastTheCutOfASubjectAreIndexedAndNoFragmentIs) {
  std::string longSubject = "A subject that runs well past the fifty bytes a record holds, for people";
  ASSERT_EQ(importMbox("long.mbx", mbox({longSubject, "Abcd Grüße aus Köln"})), 1) << prompts.transcript();
  ASSERT_TRUE(findDatabase(mailbox));
  useDatabase();
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  ASSERT_EQ(INDEXFILE1(1, int(KonfigGet(ItemSpeedIndex)), mailbox, state), 1) << prompts.transcript();
  EXPECT_EQ(lookupWords("PEOPLE", LookupMode::Exact).size(), 1u);
  EXPECT_EQ(lookupWords("GRÜßE", LookupMode::Exact).size(), 1u);
  EXPECT_TRUE(lookupWords("PEO", LookupMode::Exact).empty());
  EXPECT_TRUE(lookupWords("GRÜ", LookupMode::Exact).empty());
  EXPECT_TRUE(lookupWords("ßE", LookupMode::Exact).empty());
}

TEST_F(ImportConsistencyTest, AStopOnAFullDiskKeepsWhatWasCommittedAndARerunEndsAsIfUninterrupted) {
  const std::string source = generatedMbox(260, kOwnerAddress);
  // The archive of an uninterrupted run, in an installation of its own.
  TempDir other;
  closeInstallation();
  std::string error;
  ASSERT_TRUE(openInstallation(other.path(), error)) << error;
  mailbox = 0;
  newMailbox(kOwner);
  ASSERT_EQ(importMbox("mail.mbx", source), 1) << prompts.transcript();
  closeInstallation();
  std::string expected = dumpArchive(other.path());

  ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
  prompts.reset();
  // The disk fills up after the first few slices of the posting.
  int checks = 0;
  setFreeSpaceFunction([&](const std::string&) -> int64_t { return ++checks > 12 ? 1000 : 1000000000; });
  Mem.DoTask = RunUnattended;
  ImportView view;
  EXPECT_EQ(importMbox("mail.mbx", source, &view), 2);
  setFreeSpaceFunction(nullptr);
  Mem.DoTask = RunInteractive;
  EXPECT_TRUE(prompts.requests.empty()) << "nothing is asked unattended: " << prompts.transcript();
  EXPECT_EQ(view.status, "The import was stopped: too little free disk space!");
  EXPECT_GT(view.imported, 0);
  EXPECT_LT(view.imported, 260);
  EXPECT_EQ(stored().size(), size_t(view.imported));
  expectCountsAgree();
  // The temporary file keeps no copy of the messages.
  OP_CLOSE(OpShared, {FileImpHeader});
  EXPECT_EQ(ImpHeader.records(), 0);
  OP_CLOSE(OpRelease, {FileImpHeader});

  ImportView rerun;
  ASSERT_EQ(importMbox("mail.mbx", source, &rerun), 1) << prompts.transcript();
  EXPECT_EQ(rerun.imported, 260 - view.imported);
  EXPECT_EQ(rerun.skippedFor["already in the database"], view.imported) << "the summary names why";
  expectCountsAgree();
  closeInstallation();
  std::string actual = dumpArchive(dir.path());
  EXPECT_TRUE(actual == expected) << firstDifference(expected, actual);
  ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
}

TEST_F(ImportConsistencyTest, TheTemporaryFileIsEmptiedWhenARunEnds) {
  ASSERT_EQ(importMbox("mail.mbx", generatedMbox(1500, kOwnerAddress)), 1) << prompts.transcript();
  OP_CLOSE(OpShared, {FileImpHeader, FileImpCCR, FileImpOriginal});
  EXPECT_EQ(ImpHeader.records(), 0);
  EXPECT_EQ(ImpCCR.records(), 0);
  EXPECT_EQ(ImpOriginal.records(), 0);
  OP_CLOSE(OpRelease, {FileImpHeader, FileImpCCR, FileImpOriginal});
  EXPECT_LT(fs::file_size(filePath(FileImpHeader)), 64u * 1024u);
}

}  // namespace
