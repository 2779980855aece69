// A transaction keeps a file's changed pages in memory until its commit:
// one that writes several times SQLite's default page cache into a keyed
// file leaves the file as it was until the commit, and the commit keeps
// everything.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "storage/file.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace fs = std::filesystem;

namespace {

struct NoteRec {
  uint32_t ID = 0;
  std::string TEXT;
};
NoteRec NOTE;

constexpr int kNotes = 4000;
constexpr size_t kTextBytes = 3000;  // 12 MB in all, six times the default cache of 2 MB

FileDecl& noteDecl() {
  static FileDecl d = [] {
    FileDecl decl{95, "Notes", "NOT", "ARDENT"};
    DeclBuilder<NoteRec> b(decl, NOTE);
    b.field("ID", &NoteRec::ID).memo("TEXT", &NoteRec::TEXT, uint32_t(kTextBytes));
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}

TEST(TransactionSpillTest, ChangedPagesReachTheFileOnlyWithTheCommit) {
  TempDir dir;
  File f(noteDecl());
  f.setName(dir.file("NOTES.ADF"));
  ASSERT_TRUE(f.create()) << ErrorText();
  ASSERT_TRUE(f.open()) << ErrorText();
  const auto before = fs::file_size(f.name());
  ASSERT_TRUE(beginTransaction({&f}, 5)) << ErrorText();
  for (int i = 1; i <= kNotes; ++i) {
    NOTE.ID = uint32_t(i);
    NOTE.TEXT = std::string(kTextBytes, char('a' + i % 26));
    ASSERT_TRUE(f.add()) << ErrorText();
  }
  EXPECT_EQ(fs::file_size(f.name()), before) << "no page was spilled to the file before the commit";
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_GT(fs::file_size(f.name()), before + kNotes * kTextBytes / 2);
  EXPECT_EQ(f.records(), kNotes);
  NOTE = NoteRec();
  NOTE.ID = kNotes;
  ASSERT_TRUE(f.get(f.key(0)));
  EXPECT_EQ(NOTE.TEXT, std::string(kTextBytes, char('a' + kNotes % 26)));
  f.close();
}

}  // namespace
