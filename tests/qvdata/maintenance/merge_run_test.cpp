// Merging a database into another of the same kind: forum messages with the
// same CompuServe numbers are updated, mail and articles already there are
// not added again, originals go with them, and selections of different
// kinds (or of one database twice) are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "maintenance/merge_run.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

using namespace qv;
using namespace qvtest;

namespace {

// A forum capture of the messages first..last of a forum, each text naming
// its version.
std::string forumCapture(const std::string& forum, int first, int last, const std::string& version) {
  std::string out;
  for (int n = first; n <= last; ++n) {
    int section = n % 2 ? 1 : 2;
    std::string subject = "Topic " + std::to_string(n % 7);
    out += "#: " + std::to_string(n) + " S" + std::to_string(section) + "/" + (section == 1 ? "Chat" : "Tools") + " (" +
           forum + ")\n    1" + std::to_string(n % 9) + "-Mar-96  10:00\nSb: " + subject + "\nFm: Person " +
           std::to_string(n % 5) + " 7000" + std::to_string(n % 5) + ",1\nTo: All\n\nText of " + std::to_string(n) +
           " in " + version + ".\n\n";
  }
  return out;
}

struct Totals {
  int64_t messages = 0;
  int64_t threadCounts = 0;
  int64_t sectionCounts = 0;
  int64_t sent = 0;
  uint32_t listed = 0;  // FOR.MSGCOUNT
};

class MergeTest : public MailImportTest {
 protected:
  int importSource(const std::string& format, const std::string& bytes, bool forum, bool news) {
    static int n = 0;
    std::string file = "source" + std::to_string(++n);
    writeFile(dir.file(file), bytes);
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    s.importForum = forum;
    s.importNews = news;
    s.importMail = !forum && !news;
    s.mailbox = mailbox;
    ImportRun r(s);
    while (r.step()) {
    }
    r.close();
    return r.result();
  }
  uint32_t idOf(const std::string& name) {
    EXPECT_TRUE(findDatabase(name)) << name;
    return FOR.ID;
  }
  int merge(const std::string& source, const std::string& target, MergeView* view = nullptr) {
    MergeRun run(idOf(source), idOf(target));
    if (!run.start()) return -1;
    int r = runToEnd(run);
    if (view) *view = run.view();
    return r;
  }
  Totals totals(const std::string& name) {
    Totals t;
    EXPECT_TRUE(findDatabase(name));
    t.listed = FOR.MSGCOUNT;
    int kind = FOR.TYPE;
    useDatabase();
    if (kind == KindMailDb) {
      OP_CLOSE(OpShared, {FileMail, FilePerson});
      t.messages = Mail.records();
      Person.setFileOrder();
      while (Person.next()) t.sent += PER.FROMCOUNT;
      OP_CLOSE(OpRelease, {FileMail, FilePerson});
      return t;
    }
    OP_CLOSE(OpShared, {FileMsgNmbr, FileThreads, FileSections, FilePerson});
    t.messages = MsgNmbr.records();
    Threads.setFileOrder();
    while (Threads.next()) t.threadCounts += THR.MSGCOUNT;
    Sections.setFileOrder();
    while (Sections.next()) t.sectionCounts += SEC.MSGCOUNT;
    Person.setFileOrder();
    while (Person.next()) t.sent += PER.FROMCOUNT;
    OP_CLOSE(OpRelease, {FileMsgNmbr, FileThreads, FileSections, FilePerson});
    return t;
  }
  std::string textOf(const std::string& db, uint32_t number) {
    EXPECT_TRUE(findDatabase(db));
    useDatabase();
    OP_CLOSE(OpShared, {FileMsgText});
    TXT = MsgTextRec();
    TXT.MSGNUMBER = number;
    std::string text = MsgText.get(TXT_IdKey) ? TXT.MsgText : std::string();
    OP_CLOSE(OpRelease, {FileMsgText});
    return text;
  }
  std::vector<std::string> originalFaults(const std::string& db) {
    EXPECT_TRUE(findDatabase(db));
    int kind = FOR.TYPE;
    useDatabase();
    OP_CLOSE(OpShared, {kind == KindMailDb ? FileMail : FileMsgNmbr});
    std::vector<std::string> faults = checkOriginals(kind);
    OP_CLOSE(OpRelease, {kind == KindMailDb ? FileMail : FileMsgNmbr});
    return faults;
  }
};

}  // namespace

TEST_F(MergeTest, AForumWithSomeOfTheSameNumbersIsUpdatedInsteadOfDuplicated) {
  ASSERT_EQ(importSource("OzWin II", forumCapture("Forum A", 1001, 1030, "A"), true, false), 1) << prompts.transcript();
  ASSERT_EQ(importSource("OzWin II", forumCapture("Forum B", 1021, 1050, "B"), true, false), 1) << prompts.transcript();
  MergeView v;
  ASSERT_EQ(merge("Forum B", "Forum A", &v), 1) << prompts.transcript();
  EXPECT_EQ(v.merged, 30);
  EXPECT_EQ(v.updated, 10);
  EXPECT_EQ(v.status, "The merging process has finished!");
  Totals t = totals("Forum A");
  EXPECT_EQ(t.messages, 50);
  EXPECT_EQ(t.listed, 50u);
  EXPECT_EQ(t.threadCounts, 50);
  EXPECT_EQ(t.sectionCounts, 50);
  EXPECT_EQ(t.sent, 50);
  // The messages both held now have the merged text; the others kept theirs.
  EXPECT_EQ(textOf("Forum A", 1025).substr(0, 18), "Text of 1025 in B.");
  EXPECT_EQ(textOf("Forum A", 1005).substr(0, 18), "Text of 1005 in A.");
  EXPECT_EQ(textOf("Forum A", 1045).substr(0, 18), "Text of 1045 in B.");
  // The source is left as it was.
  EXPECT_EQ(totals("Forum B").messages, 30);
  // Merged again: every message is updated, none added, no count grows.
  ASSERT_EQ(merge("Forum B", "Forum A", &v), 1);
  EXPECT_EQ(v.updated, 30);
  Totals again = totals("Forum A");
  EXPECT_EQ(again.messages, 50);
  EXPECT_EQ(again.threadCounts, 50);
  EXPECT_EQ(again.sent, 50);
}

TEST_F(MergeTest, AMailboxMergedTwiceAddsNothingTheSecondTime) {
  writeFile(dir.file("mail.mbx"), generatedMbox(60, kOwnerAddress));
  ASSERT_EQ(importFiles("Unix Mail", {"mail.mbx"}), 1) << prompts.transcript();
  uint32_t first = mailbox;
  newMailbox("Other Box");
  auto source = stored();  // of the new, empty box
  ASSERT_TRUE(source.empty());
  mailbox = first;
  auto mails = stored();
  ASSERT_EQ(mails.size(), 60u);
  MergeView v;
  ASSERT_EQ(merge(kOwner, "Other Box", &v), 1) << prompts.transcript();
  EXPECT_EQ(v.merged, 60);
  Totals t = totals("Other Box");
  EXPECT_EQ(t.messages, 60);
  EXPECT_EQ(t.listed, 60u);
  { auto f = originalFaults("Other Box"); EXPECT_TRUE(f.empty()) << (f.empty() ? "" : f[0]) << " of " << f.size(); }
  ASSERT_EQ(merge(kOwner, "Other Box", &v), 1) << prompts.transcript();
  EXPECT_EQ(v.merged, 0);
  EXPECT_EQ(v.skipped, 60);
  EXPECT_EQ(v.status, "No messages to merge!");
  EXPECT_EQ(totals("Other Box").messages, 60);
  EXPECT_EQ(totals("Other Box").sent, t.sent);

  // The merged mail has the subjects, texts and carbon copies of the source,
  // and the original of each.
  mailbox = idOf("Other Box");
  auto merged = stored();
  ASSERT_EQ(merged.size(), mails.size());
  for (size_t i = 0; i < mails.size(); ++i) {
    EXPECT_EQ(merged[i].subject, mails[i].subject) << i;
    EXPECT_EQ(merged[i].text, mails[i].text) << i;
    EXPECT_EQ(merged[i].copies.size(), mails[i].copies.size()) << i;
    EXPECT_EQ(merged[i].fromOwner, mails[i].fromOwner) << i;
  }
  ASSERT_TRUE(findDatabase(mailbox));
  useDatabase();
  ASSERT_TRUE(findDatabase(first));
  uint32_t firstDir = FOR.DIRNUMBER;
  (void)firstDir;
  std::optional<std::string> original = readOriginal(KindMailDb, merged[0].id);
  ASSERT_TRUE(original.has_value());
  ASSERT_TRUE(findDatabase(first));
  useDatabase();
  EXPECT_EQ(readOriginal(KindMailDb, mails[0].id), original);
}

TEST_F(MergeTest, ArticlesAreTakenByMessageIdWithTheirThreadsAndOriginals) {
  ASSERT_EQ(importSource("Unix News", generatedNews(40), false, true), 1) << prompts.transcript();
  std::string other = generatedNews(60);
  for (size_t p = other.find("Newsgroups: comp.test"); p != std::string::npos; p = other.find("Newsgroups: comp.test", p))
    other.replace(p, 21, "Newsgroups: comp.else");
  ASSERT_EQ(importSource("Unix News", other, false, true), 1) << prompts.transcript();
  MergeView v;
  ASSERT_EQ(merge("comp.test", "comp.else", &v), 1) << prompts.transcript();
  EXPECT_EQ(v.merged, 0);  // every article of comp.test is in comp.else
  EXPECT_EQ(v.skipped, 40);
  ASSERT_EQ(merge("comp.else", "comp.test", &v), 1) << prompts.transcript();
  EXPECT_EQ(v.merged, 20);
  Totals t = totals("comp.test");
  EXPECT_EQ(t.messages, 60);
  EXPECT_EQ(t.threadCounts, 60);
  { auto f = originalFaults("comp.test"); EXPECT_TRUE(f.empty()) << (f.empty() ? "" : f[0]) << " of " << f.size(); }
  // A merged reply sits in its parent's thread.
  ASSERT_TRUE(findDatabase("comp.test"));
  useDatabase();
  OP_CLOSE(OpShared, {FileMsgNmbr, FileMsgIdIndex});
  MST = MsgIdIndexRec();
  MST.IDSTRING = "<article48@example.com>";
  ASSERT_TRUE(MsgIdIndex.get(MST_IDSTRINGKEY));
  ASSERT_TRUE(readMessage(KindNewsDb, MST.MSGNUMBER));
  uint32_t thread = MSG.THREADNUMBER, parent = MSG.REFNUMBER;
  MST = MsgIdIndexRec();
  MST.IDSTRING = "<article45@example.com>";
  ASSERT_TRUE(MsgIdIndex.get(MST_IDSTRINGKEY));
  EXPECT_EQ(parent, MST.MSGNUMBER);
  ASSERT_TRUE(readMessage(KindNewsDb, MST.MSGNUMBER));
  EXPECT_EQ(MSG.THREADNUMBER, thread);
  OP_CLOSE(OpRelease, {FileMsgNmbr, FileMsgIdIndex});
}

TEST_F(MergeTest, DifferentKindsAndOneDatabaseTwiceAreRefusedAtSelection) {
  ASSERT_EQ(importSource("OzWin II", forumCapture("Forum A", 1001, 1005, "A"), true, false), 1);
  uint32_t forum = idOf("Forum A");
  EXPECT_EQ(checkMergeSelection(forum, mailbox), MergeSelection::KindsDiffer);
  EXPECT_EQ(checkMergeSelection(forum, forum), MergeSelection::SameDatabase);
  EXPECT_EQ(checkMergeSelection(forum, 12345), MergeSelection::NoTarget);
  prompts.reset();
  MergeRun run(forum, mailbox);
  EXPECT_FALSE(run.start());
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].text,
            "You cannot merge different kinds of databases - they both will have to be either Mail, Forum or "
            "Newsgroup!");
  EXPECT_EQ(prompts.requests[0].caption, "Illegal selection!");
  EXPECT_EQ(totals(kOwner).messages, 0);
}

TEST_F(MergeTest, TopicsOfTheTargetAreSearchedAgainAndAStoppedMergeKeepsConsistentCounts) {
  ASSERT_EQ(importSource("OzWin II", forumCapture("Forum A", 1001, 1010, "A"), true, false), 1);
  ASSERT_EQ(importSource("OzWin II", forumCapture("Forum B", 2001, 2600, "B"), true, false), 1);
  ASSERT_TRUE(findDatabase("Forum A"));
  useDatabase();
  OP_CLOSE(OpShared, {FileCodes});
  COD = CodesRec();
  COD.ID = 999;
  COD.INDEX = "topic";
  COD.DATE = 80000;
  COD.TIME = 100;
  ASSERT_TRUE(Codes.add());
  OP_CLOSE(OpRelease, {FileCodes});

  MergeRun run(idOf("Forum B"), idOf("Forum A"));
  ASSERT_TRUE(run.start());
  while (run.step() && run.view().merged == 0) {
  }
  run.stop();
  EXPECT_TRUE(run.finished());
  EXPECT_EQ(run.view().status, "The merge was interrupted: the messages merged so far are kept.");
  Totals t = totals("Forum A");
  EXPECT_GT(t.messages, 10);
  EXPECT_EQ(t.listed, uint32_t(t.messages));
  EXPECT_EQ(t.threadCounts, t.messages);
  EXPECT_EQ(t.sectionCounts, t.messages);
  ASSERT_TRUE(findDatabase("Forum A"));
  useDatabase();
  OP_CLOSE(OpShared, {FileCodes});
  Codes.setFileOrder();
  ASSERT_TRUE(Codes.next());
  EXPECT_EQ(COD.DATE, 0);
  EXPECT_EQ(COD.TIME, 0);
  OP_CLOSE(OpRelease, {FileCodes});
  // The rest comes with a second merge.
  ASSERT_EQ(merge("Forum B", "Forum A"), 1);
  EXPECT_EQ(totals("Forum A").messages, 610);
  EXPECT_EQ(totals("Forum A").threadCounts, 610);
}
