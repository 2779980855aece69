// Opening an installation for reading: nothing is made, locked or written,
// so that reading works beside the program that holds the installation and
// on read-only media; writing is refused there with one clear message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "support/unprivileged.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class ReadOnlyInstallationTest : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    root = dir.path() + "/Quorvane";
    std::string error;
    ASSERT_TRUE(openInstallation(root, error)) << error;
    ASSERT_NE(AddForumDatabase("Alpha", KindForumDb, ReportShow), 0u);
    ASSERT_NE(AddForumDatabase("Beta", KindNewsDb, ReportShow), 0u);
    closeInstallation();
  }
  void TearDown() override {
    closeInstallation();
    Mem = MemState();
    MasIdxPath.clear();
    ServicesTest::TearDown();
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const DatabaseEntry& d : listDatabases()) out.push_back(d.name);
    return out;
  }

  TempDir dir;
  std::string root;
};

}  // namespace

TEST_F(ReadOnlyInstallationTest, ReadingWritesNothingAndFindsWhatIsThere) {
  fs::remove(root + "/CFG/QUORVANE.LCK");
  fs::remove_all(root + "/F2");  // Beta's directory, gone
  auto before = snapshotTree(root);
  auto times = modificationTimes(root);

  std::string error;
  ASSERT_TRUE(openInstallation(root, error, MissingPaths::Create, Access::Read)) << error;
  EXPECT_TRUE(installationReadOnly());
  EXPECT_EQ(Mem.TempDir, root + "/TEMP");
  EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "Beta"}));
  // The database's message files were never made: they read as empty and
  // are not made now.
  ASSERT_TRUE(findDatabase("Alpha"));
  useDatabase();
  OP_CLOSE(OpShared, {FileMsgNmbr, FileThreads});
  MsgNmbr.set(MSG_DateKey);
  EXPECT_FALSE(MsgNmbr.next());
  OP_CLOSE(OpRelease, {FileMsgNmbr, FileThreads});
  // A database whose directory is gone is no empty database: reading it
  // stops with the path message, as writing does.
  ASSERT_TRUE(findDatabase("Beta"));
  useDatabase();
  auto halted = haltText([] { OP_CLOSE(OpShared, {FileMsgNmbr}); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(*halted, "Check your directory setup in Preferences and run File/Rebuild.");
  EXPECT_EQ(onlyRequest().caption, "Path Not Found");
  EXPECT_EQ(onlyRequest().text, "The path " + root + "/F2 does not exist.\r\nQuorvane will terminate.");
  EXPECT_FALSE(MsgNmbr.isOpen());
  prompts.reset();
  // A word index under a root of its own that was never built reads as empty.
  ASSERT_TRUE(findDatabase("Alpha"));
  useDatabase();
  MasIdxPath = dir.path() + "/index";
  OP_CLOSE(OpShared, {FileMasIdx});
  EXPECT_FALSE(MasIdx.hasRecords()) << "a word-index directory that is not there reads as empty";
  OP_CLOSE(OpRelease, {FileMasIdx});
  EXPECT_EQ(KonfigGet(ItemConfigVersion), 0) << "the settings are read";
  closeInstallation();

  EXPECT_EQ(snapshotTree(root), before) << "no file made, no lock file, no journal";
  EXPECT_EQ(modificationTimes(root), times) << "the control file was not written";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(ReadOnlyInstallationTest, OpeningForWritingWritesTheControlFileOnlyWhenSomethingChanged) {
  auto times = modificationTimes(root);
  std::string error;
  ASSERT_TRUE(openInstallation(root, error)) << error;
  EXPECT_FALSE(installationReadOnly());
  closeInstallation();
  EXPECT_EQ(modificationTimes(root), times);
}

TEST_F(ReadOnlyInstallationTest, ReadingWorksWhileTheProgramHoldsTheInstallation) {
  // The program's lock, as another process holds it.
  int fd = ::open((root + "/CFG/QUORVANE.LCK").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  std::string error;
  EXPECT_FALSE(openInstallation(root, error));
  EXPECT_EQ(error, "Quorvane is already running on the installation " + root +
                       ".\r\nOnly one program at a time may work on an installation.");
  ASSERT_TRUE(openInstallation(root, error, MissingPaths::Create, Access::Read)) << error;
  EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "Beta"}));
  closeInstallation();
  ASSERT_TRUE(openInstallation(root, error, MissingPaths::Create, Access::WriteIfFree)) << error;
  EXPECT_TRUE(installationReadOnly()) << "taken for reading while another program holds it";
  closeInstallation();

  ::flock(fd, LOCK_UN);
  ::close(fd);
  ASSERT_TRUE(openInstallation(root, error, MissingPaths::Create, Access::WriteIfFree)) << error;
  EXPECT_FALSE(installationReadOnly()) << "free again: taken for writing";
}

TEST_F(ReadOnlyInstallationTest, ReadingFindsNoInstallationWhereThereIsNone) {
  std::string error;
  std::string none = dir.path() + "/none";
  EXPECT_FALSE(openInstallation(none, error, MissingPaths::Create, Access::Read));
  EXPECT_EQ(error, "There is no installation at " + none + ".");
  EXPECT_FALSE(fs::exists(none)) << "nothing is made";
  EXPECT_FALSE(installationOpen());
}

TEST_F(ReadOnlyInstallationTest, AnInstallationOnReadOnlyMediaIsReadAndNotWritten) {
  setTreeWritable(root, false);
  auto before = snapshotTree(root);
  // Results: 1 the reading open failed, 2 the list was wrong, 3 writing was
  // not refused, 4 the refusal named no reason, 5 "if free" did not fall back.
  int result = runUnprivileged(dir.path(), [&] {
    std::string error;
    if (!openInstallation(root, error, MissingPaths::Create, Access::Read)) return 1;
    if (names() != std::vector<std::string>{"Alpha", "Beta"}) return 2;
    closeInstallation();
    if (openInstallation(root, error)) return 3;
    if (error.rfind("The installation " + root + " cannot be written: ", 0) != 0) return 4;
    if (!openInstallation(root, error, MissingPaths::Create, Access::WriteIfFree) || !installationReadOnly()) return 5;
    closeInstallation();
    return 0;
  });
  setTreeWritable(root, true);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(snapshotTree(root), before);
}
