// Every file the program writes is private (0600) and every directory it
// makes 0700, also in a host program that left the usual umask of 022: the
// archive files, their journals and the super-journals a transaction over
// several files leaves behind when the program is killed, export files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "services/installation.h"
#include "services/paths.h"
#include "storage/file.h"
#include "storage/private_files.h"
#include "storage/text_file.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

struct NoteRec {
  uint32_t ID = 0;
  Str<20> NAME;
};
NoteRec NTE;

FileDecl& noteDecl() {
  static FileDecl d = [] {
    FileDecl decl{95, "Notes", "NTE", "ARDENT"};
    DeclBuilder<NoteRec> b(decl, NTE);
    b.field("ID", &NoteRec::ID).field("NAME", &NoteRec::NAME);
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}

unsigned modeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Kills the process (as a power cut would) at the point of a commit over
// several files where the super-journal and every journal are on disk: just
// before the super-journal is deleted, which commits the transaction.
sqlite3_vfs* killedVfsBase = nullptr;
int killingDelete(sqlite3_vfs*, const char* name, int syncDir) {
  if (std::strstr(name, "-mj")) ::_exit(0);
  return killedVfsBase->xDelete(killedVfsBase, name, syncDir);
}
sqlite3_vfs killingVfs;

// In a child process under umask 022: a transaction over three files,
// killed in the middle of its commit.
void commitKilled(const std::string& dir) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::umask(022);
    File a(noteDecl()), b(noteDecl()), c(noteDecl());
    int i = 0;
    for (File* f : {&a, &b, &c}) {
      f->setName(dir + "/IDX09" + std::to_string(++i) + ".ADF");
      if (!f->create() || !f->open()) ::_exit(2);
    }
    killedVfsBase = sqlite3_vfs_find(nullptr);
    killingVfs = *killedVfsBase;
    killingVfs.zName = "killing";
    killingVfs.pNext = nullptr;
    killingVfs.xDelete = killingDelete;
    sqlite3_vfs_register(&killingVfs, 1);
    if (!beginTransaction({&a, &b, &c}, 1)) ::_exit(3);
    for (File* f : {&a, &b, &c}) {
      f->clear();
      NTE.ID = 1;
      NTE.NAME = "private";
      if (!f->add()) ::_exit(4);
    }
    commitTransaction();
    ::_exit(5);  // the commit was not cut short
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the child did not stop inside the commit";
}

}  // namespace

TEST(PrivateFiles, FilesLeftByAnInterruptedTransactionArePrivate) {
  TempDir dir;
  commitKilled(dir.path());
  int journals = 0, superJournals = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(dir.path())) {
    std::string name = e.path().filename().string();
    journals += name.find("-journal") != std::string::npos;
    superJournals += name.find("-mj") != std::string::npos;
    EXPECT_EQ(modeOf(e.path().string()), 0600u) << name;
  }
  EXPECT_EQ(journals, 3);
  EXPECT_EQ(superJournals, 1);
}

TEST(PrivateFiles, LineFilesAndDirectoriesArePrivateWhateverTheUmask) {
  TempDir dir;
  mode_t saved = ::umask(022);
  // A file the user made readable to all becomes private when written anew.
  writeFile(dir.file("SaveMsg.Txt"), "old");
  ::chmod(dir.file("SaveMsg.Txt").c_str(), 0644);
  PlainFile f;
  bool created = f.create(dir.file("SaveMsg.Txt")) && f.create(dir.file("New.Txt"));
  f.close();
  bool made = makePrivateDirectory(dir.file("a/b/c"));
  ::umask(saved);
  ASSERT_TRUE(created) << ErrorText();
  ASSERT_TRUE(made);
  EXPECT_EQ(modeOf(dir.file("SaveMsg.Txt")), 0600u);
  EXPECT_EQ(modeOf(dir.file("New.Txt")), 0600u);
  for (const char* d : {"a", "a/b", "a/b/c"}) EXPECT_EQ(modeOf(dir.file(d)), 0700u) << d;
}

TEST(PrivateFiles, AnInstallationIsPrivateWhateverTheUmask) {
  TempDir dir;
  mode_t saved = ::umask(022);
  std::string root = dir.path() + "/new/Quorvane";
  std::string error;
  bool opened = openInstallation(root, error);
  closeInstallation();
  ::umask(saved);
  ASSERT_TRUE(opened) << error;
  for (const char* d : {"/new", "/new/Quorvane", "/new/Quorvane/CFG", "/new/Quorvane/TEMP"})
    EXPECT_EQ(modeOf(dir.path() + d), 0700u) << d;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    EXPECT_EQ(modeOf(e.path().string()), 0600u) << e.path();
  }
}

TEST(PrivateFiles, ASourceThatIsNoRegularFileIsRefusedAtOnce) {
  TempDir dir;
  std::string fifo = dir.file("Inbox");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  PlainFile f;
  // Opening a FIFO for reading would wait for a writer for ever.
  EXPECT_FALSE(f.open(fifo, false));
  EXPECT_EQ(ErrorCode(), ErrInvalidFileName);
  EXPECT_EQ(ErrorText(), "Invalid File Name (a FIFO, not a regular file)");
  EXPECT_FALSE(f.open("/dev/zero", false)) << "a device would never end";
  EXPECT_EQ(ErrorText(), "Invalid File Name (a device, not a regular file)");
  EXPECT_FALSE(f.open(dir.path(), false));
  EXPECT_EQ(ErrorText(), "Invalid File Name (a directory, not a regular file)");
  EXPECT_FALSE(f.create(fifo));
  writeFile(dir.file("plain"), "x");
  EXPECT_TRUE(f.open(dir.file("plain"), false));
}
