// The directories of an installation's settings are kept relative to its
// root, so that a copied or moved installation works on its own files and
// never writes into the original; settings an older version wrote with
// absolute paths into their own root are read the same way.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/paths.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

class InstallationPathsTest : public ServicesTest {
 protected:
  void TearDown() override {
    closeInstallation();
    Mem = MemState();
    MasIdxPath.clear();
    ServicesTest::TearDown();
  }
  void open(const std::string& root) {
    std::string error;
    ASSERT_TRUE(openInstallation(root, error)) << error;
  }
  // The text a directory item holds in the control file.
  std::string storedItem(uint8_t block, int offset) {
    std::array<uint8_t, 200> data{};
    bool created = false;
    EXPECT_TRUE(loadBlock(block, data, {}, created));
    std::string s(reinterpret_cast<const char*>(data.data() + offset), 100);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  // Writes the directory items as an older version stored them: absolute.
  void storeAbsolute(const std::string& temp, const std::string& data, const std::string& index) {
    std::array<uint8_t, 200> paths{}, words{};
    bool created = false;
    ASSERT_TRUE(loadBlock(4, paths, {}, created));
    ASSERT_TRUE(loadBlock(10, words, {}, created));
    auto put = [](std::array<uint8_t, 200>& b, int offset, const std::string& text) {
      std::fill(b.begin() + offset, b.begin() + offset + 100, ' ');
      std::copy(text.begin(), text.end(), b.begin() + offset);
    };
    put(paths, 0, temp);
    put(paths, 100, data);
    put(words, 0, index);
    ASSERT_TRUE(saveBlock(4, paths));
    ASSERT_TRUE(saveBlock(10, words));
  }
  static void copyTree(const std::string& from, const std::string& to) {
    fs::copy(from, to, fs::copy_options::recursive);
  }

  TempDir dir;
};

}  // namespace

TEST(StoredDirectories, InsideTheRootRelativeOutsideAbsolute) {
  EXPECT_EQ(storedDirectory("/q/root", "/q/root"), ".");
  EXPECT_EQ(storedDirectory("/q/root/", "/q/root"), ".");
  EXPECT_EQ(storedDirectory("/q/root/TEMP", "/q/root"), "TEMP");
  EXPECT_EQ(storedDirectory("/q/root/data/files  ", "/q/root"), "data/files");
  EXPECT_EQ(storedDirectory("/q/rootless/TEMP", "/q/root"), "/q/rootless/TEMP");
  EXPECT_EQ(storedDirectory("/srv/archive", "/q/root"), "/srv/archive");
  EXPECT_EQ(storedDirectory("", "/q/root"), "");

  EXPECT_EQ(resolvedDirectory(".", "/q/copy"), "/q/copy");
  EXPECT_EQ(resolvedDirectory("TEMP", "/q/copy"), "/q/copy/TEMP");
  EXPECT_EQ(resolvedDirectory("/srv/archive", "/q/copy"), "/srv/archive");
  EXPECT_EQ(resolvedDirectory("/q/root/TEMP", "/q/copy", "/q/root"), "/q/copy/TEMP");
  EXPECT_EQ(resolvedDirectory("/q/root", "/q/copy", "/q/root"), "/q/copy");
  EXPECT_EQ(resolvedDirectory("/q/rootless", "/q/copy", "/q/root"), "/q/rootless");
  EXPECT_EQ(resolvedDirectory("", "/q/copy"), "");
}

TEST_F(InstallationPathsTest, DirectoriesInsideTheRootAreStoredRelative) {
  std::string root = dir.path() + "/root";
  open(root);
  EXPECT_EQ(storedItem(4, 0), "TEMP");
  EXPECT_EQ(storedItem(4, 100), ".");
  EXPECT_EQ(storedItem(10, 0), ".");
  EXPECT_EQ(AutoPathGet(ItemTempDirectory), root + "/TEMP") << "read back as the directory itself";

  std::string t = root + "/scratch", outside = dir.path() + "/archive";
  ASSERT_TRUE(AutoPath(KSet, ItemTempDirectory, t));
  ASSERT_TRUE(AutoPath(KSet, ItemDataDirectory, outside));
  ASSERT_TRUE(AutoPath(KSave));
  EXPECT_EQ(storedItem(4, 0), "scratch");
  EXPECT_EQ(storedItem(4, 100), outside) << "a directory chosen outside stays absolute";
}

TEST_F(InstallationPathsTest, ACopiedInstallationWritesIntoItselfOnly) {
  std::string root = dir.path() + "/root", copy = dir.path() + "/copy";
  open(root);
  ASSERT_NE(AddForumDatabase("Alpha", KindForumDb, ReportShow), 0u);
  closeInstallation();
  copyTree(root, copy);
  auto original = snapshotTree(root);

  open(copy);
  EXPECT_EQ(Mem.FileDir, copy);
  EXPECT_EQ(Mem.TempDir, copy + "/TEMP");
  EXPECT_EQ(MasIdxPath, copy);
  ASSERT_NE(AddForumDatabase("Beta", KindForumDb, ReportShow), 0u);
  ASSERT_TRUE(findDatabase("Beta"));
  EXPECT_TRUE(fs::is_directory(copy + "/F" + std::to_string(FOR.DIRNUMBER)));
  closeInstallation();
  EXPECT_EQ(snapshotTree(root), original) << "the original is untouched";
}

TEST_F(InstallationPathsTest, AbsolutePathsOfAnOlderVersionFollowACopy) {
  std::string root = dir.path() + "/root", copy = dir.path() + "/copy", outside = dir.path() + "/index";
  open(root);
  ASSERT_NE(AddForumDatabase("Alpha", KindForumDb, ReportShow), 0u);
  // Settings as the first start of an older version wrote them, with the
  // word index chosen outside the installation.
  storeAbsolute(root + "/TEMP", root, outside);
  closeInstallation();
  copyTree(root, copy);
  auto original = snapshotTree(root);

  open(copy);
  EXPECT_EQ(Mem.TempDir, copy + "/TEMP");
  EXPECT_EQ(Mem.FileDir, copy);
  EXPECT_EQ(MasIdxPath, outside) << "a directory chosen outside is kept";
  EXPECT_EQ(storedItem(4, 0), "TEMP") << "stored relative from now on";
  EXPECT_EQ(storedItem(4, 100), ".");
  EXPECT_EQ(storedItem(10, 0), outside);
  ASSERT_NE(AddForumDatabase("Beta", KindForumDb, ReportShow), 0u);
  closeInstallation();
  EXPECT_EQ(snapshotTree(root), original);

  // The original, opened where it is, keeps its place too.
  open(root);
  EXPECT_EQ(Mem.FileDir, root);
  EXPECT_EQ(storedItem(4, 100), ".");
}

TEST_F(InstallationPathsTest, AbsolutePathsOfAnOlderVersionFollowAMove) {
  std::string root = dir.path() + "/root", moved = dir.path() + "/moved";
  open(root);
  // The data directory chosen by the user below the root, the temporary
  // directory where the first start put it.
  storeAbsolute(root + "/TEMP", root + "/data", root + "/data");
  closeInstallation();
  fs::rename(root, moved);

  open(moved);
  EXPECT_EQ(Mem.TempDir, moved + "/TEMP");
  EXPECT_EQ(Mem.FileDir, moved + "/data");
  EXPECT_EQ(MasIdxPath, moved + "/data");
  EXPECT_FALSE(fs::exists(root)) << "nothing is made where the installation was";
}

TEST(FormerRoot, ToldFromTheDirectoriesAnOlderVersionStored) {
  TempDir dir;
  std::string orig = dir.path() + "/orig", here = dir.path() + "/here";
  fs::create_directories(here + "/TEMP");
  EXPECT_EQ(formerRoot(orig + "/TEMP", orig, here), orig) << "a root moved away";
  EXPECT_EQ(formerRoot(orig + "/TEMP", "/srv/data", here), orig) << "with the data directory elsewhere";
  EXPECT_EQ(formerRoot(here + "/TEMP", here, here), "") << "the root itself";
  EXPECT_EQ(formerRoot("TEMP", ".", here), "") << "relative settings need none";
  std::string bare = dir.path() + "/bare";
  fs::create_directories(bare);
  EXPECT_EQ(formerRoot(dir.path() + "/gone/TEMP", dir.path() + "/gone", bare), "")
      << "directories on a disk that is not there, and this root has no TEMP of its own";
  fs::create_directories(dir.path() + "/tmp");
  EXPECT_EQ(formerRoot(dir.path() + "/tmp/TEMP", "/srv/data", here), "")
      << "a directory of the user's named TEMP is not a root";
  fs::create_directories(orig + "/CFG");
  writeFile(orig + "/CFG/IDX008.ADF", "x");
  EXPECT_EQ(formerRoot(orig + "/TEMP", orig, here), orig) << "the original of a copy";
  EXPECT_EQ(formerRoot("/var/tmp/qv", orig, here), orig) << "the data directory is another installation";
}
