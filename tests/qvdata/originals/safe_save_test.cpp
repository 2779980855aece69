// Parts saved as files of the user's: names that stay in the chosen
// directory, no file ever replaced, private files.
#include "originals/safe_save.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "support/temp_dir.h"

using qv::safeFileName;
using qv::saveNewFile;

namespace fs = std::filesystem;

namespace {

TEST(SafeSave, NamesKeepOnlyTheirLastComponentWithoutHidingOrControls) {
  EXPECT_EQ(safeFileName("../../etc/passwd", 1), "passwd");
  EXPECT_EQ(safeFileName("C:\\Users\\ann\\report.doc", 1), "report.doc");
  EXPECT_EQ(safeFileName(".bashrc", 1), "bashrc");
  EXPECT_EQ(safeFileName("...", 4), "attachment-4");
  EXPECT_EQ(safeFileName("", 3), "attachment-3");
  EXPECT_EQ(safeFileName("dir/", 2), "attachment-2");
  EXPECT_EQ(safeFileName("a\x01\x1b[31mb\x7f.txt\n", 1), "a[31mb.txt");
  EXPECT_EQ(safeFileName("  spaced name.pdf  ", 1), "spaced name.pdf");
  EXPECT_EQ(safeFileName("r\xE9sum\xE9.txt", 1), "r\xC3\xA9sum\xC3\xA9.txt");  // Windows-1252 bytes
  // C1 controls go as C0 ones do: U+009B is a terminal's CSI, U+0085 a line end.
  EXPECT_EQ(safeFileName("a\xC2\x9B" "2Jb\xC2\x85.txt", 1), "a2Jb.txt");
  EXPECT_EQ(safeFileName("\xC2\x80\xC2\x9F", 5), "attachment-5");
  EXPECT_EQ(safeFileName("x\x81y\xE9.txt", 1), "xy\xC3\xA9.txt") << "undefined Windows-1252 bytes are C1 controls";
  EXPECT_EQ(safeFileName("\xC2\xA0nbsp\xC2\xBF.txt", 1), "\xC2\xA0nbsp\xC2\xBF.txt") << "U+00A0 and on are kept";
}

TEST(SafeSave, LongNamesAreCutOnACharacterKeepingTheExtension) {
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += "\xC3\xA9";  // 200 bytes of e-acute
  std::string n = safeFileName(longName + ".jpeg", 1);
  EXPECT_LE(n.size(), qv::kSafeNameMax);
  EXPECT_EQ(n.substr(n.size() - 5), ".jpeg");
  EXPECT_EQ(n[n.size() - 6], '\xA9');  // no character split
}

TEST(SafeSave, NeverReplacesAFileAndWritesPrivately) {
  qvtest::TempDir dir;
  qvtest::writeFile(dir.file("notes.txt"), "mine");
  std::string error;
  std::string p2 = saveNewFile(dir.path(), "notes.txt", "first", error);
  EXPECT_EQ(p2, dir.file("notes (2).txt")) << error;
  std::string p3 = saveNewFile(dir.path(), "notes.txt", "second", error);
  EXPECT_EQ(p3, dir.file("notes (3).txt")) << error;
  EXPECT_EQ(qvtest::readFile(dir.file("notes.txt")), "mine");
  EXPECT_EQ(qvtest::readFile(p2), "first");
  EXPECT_EQ(qvtest::readFile(p3), "second");
  struct stat st{};
  ASSERT_EQ(::stat(p2.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A name without an extension is numbered at its end.
  qvtest::writeFile(dir.file("README"), "x");
  EXPECT_EQ(saveNewFile(dir.path(), "README", "y", error), dir.file("README (2)"));
}

TEST(SafeSave, DoesNotWriteThroughALinkAndMakesAMissingDirectoryPrivate) {
  qvtest::TempDir dir;
  qvtest::writeFile(dir.file("target"), "keep");
  fs::create_symlink(dir.file("target"), dir.file("evil.sh"));
  std::string error;
  std::string p = saveNewFile(dir.path(), "evil.sh", "payload", error);
  EXPECT_EQ(p, dir.file("evil (2).sh")) << error;
  EXPECT_EQ(qvtest::readFile(dir.file("target")), "keep");
  struct stat st{};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0u);  // never made runnable

  std::string sub = dir.file("new");
  EXPECT_FALSE(saveNewFile(sub, "a.txt", "z", error).empty()) << error;
  ASSERT_EQ(::stat(sub.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A name that is not a plain file name is refused.
  EXPECT_EQ(saveNewFile(dir.path(), "../x", "z", error), "");
  EXPECT_FALSE(error.empty());
}

}  // namespace
