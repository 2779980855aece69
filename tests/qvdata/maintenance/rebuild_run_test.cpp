// The rebuild of the database list and the check of the ID counter: the
// kinds a directory's files tell, an unrecognisable directory, a lost list
// and control file, missing directories and the creation dates.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "maintenance/rebuild_dirs.h"
#include "maintenance/rebuild_run.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qv;
using namespace qvtest;

namespace {

std::string line(int kind, uint32_t dir, const std::string& name) { return databaseLine(kind, dir, name); }

bool logHas(const RebuildRun& run, const std::string& text) {
  for (const std::string& l : run.view().log)
    if (l == text) return true;
  return false;
}

std::string logText(const RebuildRun& run) {
  std::string out;
  for (const std::string& l : run.view().log) out += l + "\n";
  return out;
}

struct Listed {
  uint32_t dir;
  int kind;
  std::string name;
  uint32_t owner;
  bool operator<(const Listed& o) const { return dir < o.dir; }
  bool operator==(const Listed& o) const {
    return dir == o.dir && kind == o.kind && name == o.name && owner == o.owner;
  }
};

std::set<Listed> listed() {
  std::set<Listed> out;
  OP_CLOSE(OpShared, {FileForums});
  Forums.set(FOR_ForumKey);
  while (Forums.next()) out.insert({FOR.DIRNUMBER, FOR.TYPE, FOR.DESCRIPTION.str(), FOR.PERSONID});
  OP_CLOSE(OpRelease, {FileForums});
  return out;
}

class RebuildTest : public MailImportTest {
 protected:
  int importInto(const std::string& format, const std::string& file, const std::string& bytes, bool forum, bool news) {
    writeFile(dir.file(file), bytes);
    ImportSettings s;
    s.format = format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    s.importForum = forum;
    s.importNews = news;
    ImportRun r(s);
    while (r.step()) {
    }
    r.close();
    return r.result();
  }
  uint32_t dirOf(const std::string& name) {
    EXPECT_TRUE(findDatabase(name)) << name;
    return FOR.DIRNUMBER;
  }
  RebuildState rebuild(int request, RebuildRun** keep = nullptr) {
    run_ = std::make_unique<RebuildRun>(request);
    if (keep) *keep = run_.get();
    if (!run_->start()) return run_->state();
    return runToEnd(*run_);
  }
  std::unique_ptr<RebuildRun> run_;
};

}  // namespace

TEST(RebuildKinds, TheFilesPresentTellTheKind) {
  auto kind = [](bool m3, bool p5, bool t7, bool m13, bool i25) {
    DirFiles f;
    f.messages = m3;
    f.persons = p5;
    f.threads = t7;
    f.mail = m13;
    f.messageIds = i25;
    return kindOfFiles(f);
  };
  EXPECT_EQ(kind(true, true, true, false, true), DirNews);
  EXPECT_EQ(kind(true, true, true, false, false), DirForum);
  EXPECT_EQ(kind(false, true, false, true, false), DirMail);
  // Threads beside mail without messages: still a mailbox.
  EXPECT_EQ(kind(false, true, true, true, false), DirMail);
  EXPECT_EQ(kind(false, true, false, false, false), DirPersonsOnly);
  // Messages, threads and mail together cannot be told.
  EXPECT_EQ(kind(true, true, true, true, false), DirUnrecognisable);
  EXPECT_EQ(kind(true, false, false, false, false), DirUnrecognisable);
  EXPECT_EQ(kind(false, false, false, false, false), DirUnrecognisable);
}

TEST(RebuildKinds, LogLinesPadTheKindWord) {
  EXPECT_EQ(databaseLine(DirForum, 3, "CompuServe"), "Forum      F3 CompuServe");
  EXPECT_EQ(databaseLine(DirMail, 12, "Mary"), "Mail       F12 Mary");
  EXPECT_EQ(databaseLine(DirNews, 1, "comp.test"), "Newsgroup  F1 comp.test");
  EXPECT_EQ(databaseLine(DirUnrecognisable, 7, "X"), "Invalid DB F7 X");
  EXPECT_EQ(separatorLine(), std::string(53, '-'));
}

TEST_F(RebuildTest, AnUnrecognisableDirectoryLosesItsEntryAndKeepsItsFiles) {
  ASSERT_EQ(importInto("OzWin II", "forum.msg", generatedForumCapture(20), true, false), 1) << prompts.transcript();
  uint32_t forumDir = dirOf("Big Forum");
  std::string path = databaseDirectory(forumDir);
  // A mail file in a forum directory: IDX003, IDX007 and IDX013 together.
  fs::copy_file(fileIn(dirOf(kOwner), FileDbRef), path + "/IDX013.ADF");
  auto before = snapshotTree(path);
  prompts.reset();
  RebuildRun* run = nullptr;
  RebuildState state = RebuildState::Ready;
  std::optional<std::string> halted = haltText([&] { state = rebuild(RequestRebuild, &run); });
  ASSERT_FALSE(halted.has_value()) << *halted;
  ASSERT_EQ(state, RebuildState::Finished) << prompts.transcript();
  EXPECT_FALSE(findDatabase("Big Forum"));
  EXPECT_TRUE(findDatabase(kOwner));
  EXPECT_EQ(snapshotTree(path), before);
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].caption, "Warning!");
  EXPECT_EQ(prompts.requests[0].text,
            "Database Big Forum in directory " + path +
                " is not a recognizable current version Quorvane database.\r\nThe database definition will be removed "
                "from the database list but the database will be left as is.\r\nPlease check the log file testdb.txt "
                "in directory cfg for details.");
  EXPECT_TRUE(logHas(*run, line(DirUnrecognisable, forumDir, "Big Forum"))) << logText(*run);
  EXPECT_TRUE(logHas(*run, ".. " + path + "/IDX013.ADF exists")) << logText(*run);
  EXPECT_TRUE(logHas(*run, ".. " + path + "/IDX025.ADF does not exist")) << logText(*run);
  EXPECT_TRUE(logHas(*run, "Error .. Database type not recognizable"));
  // The log file holds what the window shows.
  std::string file = readFile(rebuildLogPath());
  EXPECT_EQ(file, logText(*run));

  // A second rebuild leaves the directory unattached, and still on disk.
  prompts.reset();
  ASSERT_EQ(rebuild(RequestRebuild, &run), RebuildState::Finished);
  EXPECT_FALSE(findDatabase("Big Forum"));
  EXPECT_EQ(snapshotTree(path), before);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RebuildTest, ALostListAndControlFileComeBackWithEveryDatabaseAndTheCounterAboveEveryId) {
  ASSERT_EQ(importFiles("Unix Mail", {"mail.mbx"}), 2);  // no file yet: nothing imported
  writeFile(dir.file("mail.mbx"), generatedMbox(40, kOwnerAddress));
  ASSERT_EQ(importFiles("Unix Mail", {"mail.mbx"}), 1) << prompts.transcript();
  ASSERT_EQ(importInto("OzWin II", "forum.msg", generatedForumCapture(30), true, false), 1);
  ASSERT_EQ(importInto("Unix News", "news.txt", generatedNews(30), false, true), 1);
  ASSERT_NE(AddForumDatabase("Still Empty"), 0u);
  newMailbox("Second Box");
  std::set<Listed> before = listed();
  ASSERT_EQ(before.size(), 5u);
  // The highest ID of any record, as the databases hold them.
  uint32_t highest = 0;
  for (const Listed& l : before) highest = std::max(highest, idsIn(l.dir, l.kind, 0).highest);

  std::string cfg = root + "/CFG";
  closeInstallation();
  fs::remove(cfg + "/IDX002.ADF");
  fs::remove(cfg + "/IDX008.ADF");
  std::string error;
  ASSERT_TRUE(openInstallation(root, error)) << error;
  EXPECT_TRUE(listed().empty());
  prompts.reset();
  RebuildRun* run = nullptr;
  ASSERT_EQ(rebuild(RequestRebuild, &run), RebuildState::Finished) << prompts.transcript() << logText(*run);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(listed(), before) << logText(*run);
  for (const Listed& l : before) EXPECT_TRUE(logHas(*run, line(l.kind, l.dir, l.name))) << logText(*run);
  EXPECT_TRUE(logHas(*run, " All databases are connected"));
  EXPECT_TRUE(logHas(*run, "Checking for highest existing ID ...OK!"));

  // The new entries' IDs come from above every ID in use, and so does the next one.
  OP_CLOSE(OpShared, {FileForums});
  Forums.setFileOrder();
  uint32_t listIds = 0;
  while (Forums.next()) {
    EXPECT_GT(FOR.ID, highest);
    listIds = std::max(listIds, FOR.ID);
  }
  OP_CLOSE(OpRelease, {FileForums});
  OP_CLOSE(OpShared, {FileControl});
  EXPECT_EQ(NextNr(), std::max(highest, listIds) + 1);
  OP_CLOSE(OpRelease, {FileControl});
  EXPECT_EQ(run->nextNumber(), std::max(highest, listIds) + 1);
}

TEST_F(RebuildTest, NextIdRaisesTheCounterAndNeverLowersIt) {
  writeFile(dir.file("mail.mbx"), generatedMbox(20, kOwnerAddress));
  ASSERT_EQ(importFiles("Unix Mail", {"mail.mbx"}), 1) << prompts.transcript();
  uint32_t highest = idsIn(dirOf(kOwner), KindMailDb, 0).highest;
  OP_CLOSE(OpShared, {FileControl});
  CTL = ControlRec();
  CTL.ID = 1;
  ASSERT_TRUE(Control.get(CTL_IdKey));
  CTL.NEXTNUMBER = 250000;  // below the IDs in use
  ASSERT_TRUE(Control.put());
  OP_CLOSE(OpRelease, {FileControl});
  RebuildRun* run = nullptr;
  ASSERT_EQ(rebuild(RequestNextId, &run), RebuildState::Finished) << prompts.transcript();
  EXPECT_EQ(run->nextNumber(), highest + 1);
  EXPECT_EQ(run->view().log.front(), "Checking for highest existing ID ...");
  // A counter above every ID stays where it is.
  OP_CLOSE(OpShared, {FileControl});
  CTL = ControlRec();
  CTL.ID = 1;
  ASSERT_TRUE(Control.get(CTL_IdKey));
  CTL.NEXTNUMBER = highest + 500;
  ASSERT_TRUE(Control.put());
  OP_CLOSE(OpRelease, {FileControl});
  ASSERT_EQ(rebuild(RequestNextId, &run), RebuildState::Finished);
  EXPECT_EQ(run->nextNumber(), highest + 500);
}

TEST_F(RebuildTest, AMissingDirectoryIsRemovedOnOkAndStopsTheProgramOnCancel) {
  uint32_t gone = AddForumDatabase("Gone Forum");
  ASSERT_NE(gone, 0u);
  std::string path = databaseDirectory(dirOf("Gone Forum"));
  fs::remove_all(path);
  prompts.reset();
  prompts.script(BtnCancel);
  std::optional<std::string> halted = haltText([&] { rebuild(RequestRebuild); });
  ASSERT_TRUE(halted.has_value());
  EXPECT_EQ(*halted, "Program aborted!");
  run_.reset();
  EXPECT_TRUE(findDatabase("Gone Forum"));
  prompts.reset();
  ASSERT_EQ(rebuild(RequestRebuild), RebuildState::Finished) << prompts.transcript();
  ASSERT_FALSE(prompts.requests.empty());
  EXPECT_EQ(prompts.requests[0].text, "Directory path " + path +
                                          " for database Gone Forum does not exist! If you press OK this database "
                                          "definition will be removed. If you press Cancel Quorvane will be aborted.");
  EXPECT_FALSE(findDatabase("Gone Forum"));
  EXPECT_TRUE(findDatabase(kOwner));
}

TEST_F(RebuildTest, EmptyDatabasesKeepTheirEntriesAndWrongKindsAndNamesAreCorrected) {
  // Neither has a message file yet: the forum only its description, the
  // mailbox its owner.
  ASSERT_NE(AddForumDatabase("Empty Forum"), 0u);
  ASSERT_EQ(importInto("OzWin II", "forum.msg", generatedForumCapture(10), true, false), 1);
  std::set<Listed> before = listed();
  // The list says mail and has no name where the files say forum.
  ASSERT_TRUE(findDatabase("Big Forum"));
  uint32_t id = FOR.ID;
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  ASSERT_TRUE(Forums.get(FOR_ForumKey));
  FOR.TYPE = KindMailDb;
  FOR.DESCRIPTION = "";
  ASSERT_TRUE(Forums.put());
  OP_CLOSE(OpRelease, {FileForums});
  prompts.reset();
  ASSERT_EQ(rebuild(RequestRebuild), RebuildState::Finished) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(listed(), before);
}

TEST_F(RebuildTest, OnlyTextsDatedAfterTheOldestDateLowerTheCreationDate) {
  ASSERT_EQ(importInto("OzWin II", "forum.msg", generatedForumCapture(5), true, false), 1);
  ASSERT_TRUE(findDatabase("Big Forum"));
  uint32_t id = FOR.ID;
  useDatabase();
  OP_CLOSE(OpShared, {FileForums, FileMsgText});
  // The first text in file order is dated 70999, the next one 71500.
  MsgText.setFileOrder();
  ASSERT_TRUE(MsgText.next());
  TXT.DATE = 70999;
  ASSERT_TRUE(MsgText.put());
  ASSERT_TRUE(MsgText.next());
  TXT.DATE = 71500;
  ASSERT_TRUE(MsgText.put());
  FOR = ForumsRec();
  FOR.ID = id;
  ASSERT_TRUE(Forums.get(FOR_ForumKey));
  FOR.CREATED = 0;
  ASSERT_TRUE(Forums.put());
  OP_CLOSE(OpRelease, {FileForums, FileMsgText});
  ASSERT_EQ(rebuild(RequestNextId), RebuildState::Finished) << prompts.transcript();
  ASSERT_TRUE(findDatabase(id));
  EXPECT_EQ(FOR.CREATED, 71500);
}
