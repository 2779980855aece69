// The library services behind the program's windows: start-up checks,
// database activation, renaming and deletion, topics and import definitions.
#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "import/import_definition.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "services/topics.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qv;
using qvtest::InstallationTest;

namespace {

std::string dirOf(uint32_t id) {
  EXPECT_TRUE(findDatabase(id));
  return joinPath({Mem.FileDir, "F" + std::to_string(FOR.DIRNUMBER)});
}

class StartupTest : public qvtest::ServicesTest {
 protected:
  void TearDown() override {
    closeInstallation();
    Mem = MemState();
    ServicesTest::TearDown();
  }
  qvtest::TempDir dir;
};

}  // namespace

TEST_F(StartupTest, AMissingDataDirectoryIsReportedAndTheProgramDirectoryKept) {
  std::string error;
  ASSERT_EQ(StartupChecks(dir.path(), error), StartupFirstRun) << error;
  std::string missing = dir.path() + "/elsewhere";
  AutoPath(KSet, ItemDataDirectory, missing);
  ASSERT_TRUE(AutoPath(KSave));
  closeInstallation();

  ASSERT_EQ(StartupChecks(dir.path(), error), StartupGo) << error;
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.caption, "Path not found!");
  EXPECT_EQ(r.text, "The path to the data files cannot be found!\r\n" + missing + "Check data file path in Preferences\r\n");
  EXPECT_EQ(Mem.FileDir, Mem.Net);
  EXPECT_FALSE(fs::exists(missing)) << "a missing data directory is not made behind the user's back";
}

TEST_F(StartupTest, AnInstallationOfTheOldLayoutIsLeftAloneAndNamesTheConverter) {
  qvtest::writeFile(dir.file("IDX008.ADF"), "control file of an old version");
  qvtest::writeFile(dir.file("IDX002.ADF"), "database list of an old version");
  std::string error;
  EXPECT_EQ(StartupChecks(dir.path(), error), StartupStop);
  EXPECT_NE(error.find("Quorvane before 3.00"), std::string::npos) << error;
  EXPECT_NE(error.find("run the upgrade converter qvconv on it (qvconv --root " + dir.path() + ")"), std::string::npos)
      << error;
  EXPECT_FALSE(fs::exists(dir.file("CFG"))) << "nothing is made beside the old files";
}

TEST_F(StartupTest, OnlyVersionsWhoseListsAreOfTheCurrentLayoutStart) {
  std::string error;
  ASSERT_EQ(StartupChecks(dir.path(), error), StartupFirstRun) << error;
  closeInstallation();
  for (int version : {300, 329, 353, 359}) {
    ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
    KonfigSet(ItemConfigVersion, version);
    ASSERT_TRUE(Konfig(KSave));
    closeInstallation();
    EXPECT_EQ(StartupChecks(dir.path(), error), StartupStop) << version;
    EXPECT_NE(error.find("qvconv"), std::string::npos) << error;
  }
  EXPECT_NE(error.find("Quorvane 3.59."), std::string::npos) << error;
  for (int version : {330, 352, 360}) {
    ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
    KonfigSet(ItemConfigVersion, version);
    ASSERT_TRUE(Konfig(KSave));
    closeInstallation();
    prompts.reset();
    EXPECT_EQ(StartupChecks(dir.path(), error), StartupGo) << version << error;
    EXPECT_EQ(onlyRequest().caption, "Upgrading to version 3.7");
    closeInstallation();
  }
}

using WindowServicesTest = InstallationTest;

TEST_F(WindowServicesTest, ActivationNeedsTheDirectoryAndIsRemembered) {
  uint32_t a = AddForumDatabase("Alpha", KindForumDb, ReportShow);
  uint32_t b = AddForumDatabase("Beta", KindForumDb, ReportShow);
  fs::remove_all(dirOf(b));
  EXPECT_FALSE(ActivateDatabase(b));
  EXPECT_EQ(Mem.ForumNumber, 0u);
  ASSERT_TRUE(ActivateDatabase(a));
  EXPECT_EQ(Mem.Dirnamn, "F1");
  EXPECT_EQ(KonfigGet(ItemLastDatabase), int64_t(a));
  Mem.ForumNumber = 0;
  KonfigSet(ItemLastDatabase, b);
  EXPECT_TRUE(ReopenLastDatabase());
  EXPECT_EQ(Mem.ForumNumber, a);
}

TEST_F(WindowServicesTest, RenamingFollowsIntoTheSelfDescriptionAndRefusesANameInUse) {
  uint32_t a = AddForumDatabase("Alpha", KindForumDb, ReportShow);
  AddForumDatabase("Beta", KindForumDb, ReportShow);
  prompts.reset();
  EXPECT_FALSE(renameDatabase(a, "BETA"));
  EXPECT_NE(prompts.transcript().find("A record with identical key already exists!"), std::string::npos);
  ASSERT_TRUE(renameDatabase(a, "Gamma"));
  ASSERT_TRUE(findDatabase(a));
  EXPECT_EQ(FOR.DESCRIPTION.str(), "Gamma");
  Mem.Dirnamn = "F1";
  OP_CLOSE(OpShared, {FileDbRef});
  DbRef.setFileOrder();
  ASSERT_TRUE(DbRef.next());
  EXPECT_EQ(REF.DESCRIPTION.str(), "Gamma");
  OP_CLOSE(OpRelease, {FileDbRef});
  Mem.Dirnamn.clear();
}

TEST_F(WindowServicesTest, DeletingADatabaseRemovesItsFilesAndEntryOnly) {
  uint32_t keep = AddForumDatabase("Keep", KindForumDb, ReportShow);
  uint32_t gone = AddForumDatabase("Gone", KindForumDb, ReportShow);
  std::string goneDir = dirOf(gone);
  ASSERT_TRUE(ActivateDatabase(gone));
  OP_CLOSE(OpShared, {FileMsgNmbr, FileMsgText});  // open files of the database are closed first
  qvtest::writeFile(goneDir + "/IDX003.ADF-journal", "x");
  ASSERT_TRUE(DeleteDatabase(gone));
  EXPECT_FALSE(fs::exists(goneDir));
  EXPECT_FALSE(findDatabase(gone));
  EXPECT_EQ(Mem.ForumNumber, 0u);
  EXPECT_EQ(KonfigGet(ItemLastDatabase), 0);
  EXPECT_TRUE(findDatabase(keep));

  std::string kept = dirOf(keep);
  qvtest::writeFile(kept + "/notes.txt", "mine");
  ASSERT_TRUE(DeleteDatabase(keep));
  EXPECT_TRUE(fs::exists(kept + "/notes.txt"));
  EXPECT_FALSE(fs::exists(kept + "/IDX022.DAT"));
}

TEST_F(WindowServicesTest, TopicsAreAddedChangedAndDeleted) {
  selectDatabase(1, 2);
  uint32_t a = addTopic({0, "Project Alpha", 0, false, true, 0});
  uint32_t b = addTopic({0, "holidays", 0, true, false, 0});
  ASSERT_TRUE(a && b);
  prompts.reset();
  EXPECT_EQ(addTopic({0, "HOLIDAYS", 0, false, false, 0}), 0u) << "topic texts are unique in any letter case";
  auto list = listTopics();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].text, "holidays");
  EXPECT_TRUE(list[0].matchCase);
  ASSERT_TRUE(updateTopic({a, "Alpha project", 0, true, false, 0}));
  list = listTopics(1);
  EXPECT_EQ(list[0].text, "Alpha project");
  EXPECT_TRUE(list[0].matchCase && !list[0].matchWord);
  ASSERT_TRUE(deleteTopic(b));
  EXPECT_EQ(listTopics().size(), 1u);
}

TEST_F(WindowServicesTest, ImportDefinitionsKeepTheSettingsAndRefuseLongPaths) {
  uint32_t forum = AddForumDatabase("Tools Forum", KindForumDb, ReportShow);
  ASSERT_NE(forum, 0u);
  ImportSettings s;
  s.format = "TAPCIS 6.x";
  s.method = SelectTree;
  s.path = "/home/owen/tapcis";
  s.masks = {"*.MSG", "*.OLD"};
  s.importForum = true;
  s.forumName = "Tools Forum";
  s.filter = FilterCreateOnly;
  s.allowReimport = true;
  uint32_t id = SaveImportDefinition(s, "Saved from ImportWizard");
  ASSERT_NE(id, 0u) << prompts.transcript();
  ImportSettings back;
  ASSERT_TRUE(LoadImportDefinition(id, back));
  EXPECT_EQ(back.format, s.format);
  EXPECT_EQ(back.method, s.method);
  EXPECT_EQ(back.path, s.path);
  EXPECT_EQ(back.masks, s.masks);
  EXPECT_EQ(back.forumName, "Tools Forum");
  EXPECT_EQ(back.filter, FilterCreateOnly);
  EXPECT_TRUE(back.importForum && back.allowReimport && !back.importMail);

  s.path = "/" + std::string(120, 'x');
  prompts.reset();
  EXPECT_EQ(SaveImportDefinition(s, "too long"), 0u);
  EXPECT_EQ(onlyRequest().caption, "Import definition error!");
}
