// The program state the windows set and ask through services: the run mode,
// the temporary directory and closing every file at once.
#include <gtest/gtest.h>

#include "dictionary/dictionary.h"
#include "services/close_files.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/run_mode.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/temp_directory.h"
#include "support/services_fixture.h"

using namespace qv;

using ProgramStateTest = qvtest::InstallationTest;

TEST_F(ProgramStateTest, TheRunModeDecidesWhatMayBeShown) {
  EXPECT_EQ(runMode(), RunInteractive);
  setRunMode(RunUnattended);
  EXPECT_EQ(runMode(), RunUnattended);
  EXPECT_TRUE(unattended());
  setRunMode(RunAbandoning);
  EXPECT_TRUE(unattended());
  setRunMode(RunTaskDue);
  EXPECT_FALSE(unattended()) << "a task that is only due still lets the start dialog show";
  setRunMode(RunInteractive);
  EXPECT_FALSE(unattended());
}

TEST_F(ProgramStateTest, ABlankTemporaryDirectoryIsStoredButTheOneInUseStays) {
  std::string before = Mem.TempDir;
  ASSERT_FALSE(before.empty());
  std::string other = dir.path() + "/scratch";
  setTempDirectory(other);
  EXPECT_EQ(Mem.TempDir, other);
  EXPECT_EQ(AutoPathGet(ItemTempDirectory), other);
  EXPECT_EQ(filePath(FileImpHeader), other + "/IDX010.ADF") << "temporary files follow at once";
  setTempDirectory("");
  EXPECT_EQ(Mem.TempDir, other);
  EXPECT_EQ(AutoPathGet(ItemTempDirectory), "");
}

TEST_F(ProgramStateTest, ClosingEveryFileSetsEachUseCountToNothing) {
  selectDatabase(1, KindForumDb);
  OP_CLOSE(OpShared, {FileMsgNmbr, FileForums});
  OP_CLOSE(OpShared, {FileMsgNmbr});
  ASSERT_EQ(useCount(FileMsgNmbr), 2);
  closeAllFiles();
  for (int n = kFirstFileNumber; n <= kLastFileNumber; ++n) EXPECT_EQ(useCount(n), 0) << "file " << n;
  EXPECT_FALSE(MsgNmbr.isOpen());
  EXPECT_FALSE(Forums.isOpen());
  closeAllFiles();  // nothing open: nothing happens
}
