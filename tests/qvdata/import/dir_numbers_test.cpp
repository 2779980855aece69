// Directory numbers of new databases: never one the database list holds, nor
// one whose directory is on disk (files a deleted database left there), and
// a database whose files could not all be removed stays listed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "import/target_list.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "support/services_fixture.h"
#include "support/unprivileged.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class DirNumbersTest : public InstallationTest {
 protected:
  uint32_t dirNumber(uint32_t id) {
    EXPECT_TRUE(findDatabase(id));
    return FOR.DIRNUMBER;
  }
  std::string dirPath(uint32_t n) { return joinPath({Mem.FileDir, "F" + std::to_string(n)}); }
};

}  // namespace

TEST_F(DirNumbersTest, ANewDatabaseDoesNotTakeADirectoryLeftOnDisk) {
  uint32_t a = AddForumDatabase("A", KindForumDb, ReportShow), b = AddForumDatabase("B", KindForumDb, ReportShow), c = AddForumDatabase("C", KindForumDb, ReportShow);
  ASSERT_EQ(dirNumber(a), 1u);
  ASSERT_EQ(dirNumber(b), 2u);
  ASSERT_EQ(dirNumber(c), 3u);
  // The user's own file keeps the deleted database's directory.
  writeFile(dirPath(3) + "/notes.txt", "mine");
  ASSERT_TRUE(DeleteDatabase(c));
  ASSERT_TRUE(fs::exists(dirPath(3)));
  uint32_t d = AddForumDatabase("D", KindForumDb, ReportShow);
  EXPECT_EQ(dirNumber(d), 4u);
  EXPECT_TRUE(fs::exists(dirPath(3) + "/notes.txt"));

  // Anything of that name on disk counts, a mailbox takes the same way.
  writeFile(dirPath(5), "a file, not a directory");
  MailboxSpec spec;
  spec.owner = "Owner";
  spec.address = "owner@example.org";
  uint32_t m = AddMailbox(spec, false);
  EXPECT_EQ(dirNumber(m), 6u);
}

TEST_F(DirNumbersTest, AnImportRunDoesNotTakeADirectoryLeftOnDisk) {
  ASSERT_NE(AddForumDatabase("A", KindForumDb, ReportShow), 0u);
  ASSERT_NE(AddForumDatabase("B", KindForumDb, ReportShow), 0u);
  fs::create_directories(dirPath(3));
  writeFile(dirPath(4), "x");
  OP_CLOSE(OpShared, {FileForums});
  TargetList targets;
  ASSERT_TRUE(targets.load());
  OP_CLOSE(OpRelease, {FileForums});
  uint32_t nextId = 900000;
  Target* t = targets.findOrCreate("New forum", 1, [&] { return nextId++; });
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->dirNumber, 5u);
  Target* u = targets.findOrCreate("Another", 1, [&] { return nextId++; });
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(u->dirNumber, 6u);
}

TEST_F(DirNumbersTest, ADatabaseWhoseFilesStayIsKeptInTheList) {
  uint32_t a = AddForumDatabase("A", KindForumDb, ReportShow);
  std::string kept = dirPath(dirNumber(a));
  ASSERT_TRUE(fs::exists(kept + "/IDX022.DAT"));
  std::string rootDir = root;
  closeInstallation();
  // Results: 1 the installation did not open, 2 the deletion reported
  // success, 3 the database left the list, 4 a new database took its directory.
  int result = runUnprivileged(rootDir, [&] {
    std::string error;
    if (!openInstallation(rootDir, error)) return 1;
    ::chmod(kept.c_str(), 0500);  // its files cannot be removed
    bool deleted = DeleteDatabase(a);
    ::chmod(kept.c_str(), 0700);
    if (deleted) return 2;
    if (!findDatabase(a)) return 3;
    uint32_t b = AddForumDatabase("B", KindForumDb, ReportShow);
    if (!findDatabase(b) || FOR.DIRNUMBER == 1) return 4;
    closeInstallation();
    return 0;
  });
  EXPECT_EQ(result, 0);
  std::string error;
  ASSERT_TRUE(openInstallation(rootDir, error)) << error;
  EXPECT_TRUE(findDatabase(a));
  EXPECT_TRUE(fs::exists(kept + "/IDX022.DAT"));
}
