// qvconv run as a program, as users and scripts run it: --help, the
// unattended conversion and what the main program's command line then finds
// in the converted installation, and conversions killed at every step,
// restored from the saved copies and run again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "conv_install.h"
#include "old_installation.h"
#include "services/startup.h"
#include "support/archive_dump.h"
#include "support/run_process.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

ProcessResult qvconv(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runProgram(QVCONV_PROGRAM, args, env);
}

ProcessResult qvcli(const std::string& root, std::vector<std::string> args) {
  args.insert(args.begin(), {"--root", root});
  return runProgram(QVCLI_PROGRAM, args);
}

// The dump without the records of the files in one directory (a record's
// text may run over several lines; a record starts with its file's path).
std::string withoutDirectory(const std::string& dump, const std::string& prefix) {
  static const std::regex recordStart("^(CFG|F[0-9]+)/IDX[0-9]+\\.(ADF|DAT) ");
  std::string out;
  bool dropping = false;
  size_t start = 0;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    end = end == std::string::npos ? dump.size() : end + 1;
    std::string line = dump.substr(start, end - start);
    if (std::regex_search(line, recordStart)) dropping = line.compare(0, prefix.size(), prefix) == 0;
    if (!dropping) out += line;
    start = end;
  }
  return out;
}

void copyTree(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive);
}

// An old installation and the archive an uninterrupted conversion makes of it.
class ConvProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    original_ = new TempDir;
    converted_ = new TempDir;
    writeOldInstallation(original_->path() + "/q");
    copyTree(original_->path() + "/q", converted_->path() + "/q");
    ProcessResult r = qvconv(converted_->path() + "/q", {"--unattended"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    dump_ = new std::string(dumpArchive(converted_->path() + "/q"));
  }
  static void TearDownTestSuite() {
    delete original_;
    delete converted_;
    delete dump_;
  }
  static std::string convertedRoot() { return converted_->path() + "/q"; }
  static TempDir* original_;
  static TempDir* converted_;
  static std::string* dump_;
};
TempDir* ConvProgramTest::original_ = nullptr;
TempDir* ConvProgramTest::converted_ = nullptr;
std::string* ConvProgramTest::dump_ = nullptr;

TEST_F(ConvProgramTest, HelpAnswersWithoutRunning) {
  TempDir d;
  ProcessResult r = runProgram(QVCONV_PROGRAM, {"--root", d.path(), "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Usage: qvconv"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(d.path()));
}

TEST_F(ConvProgramTest, UnattendedConvertsNothingAtVersionsFrom360NorInANewInstallation) {
  for (int version : {360, 370}) {
    TempDir d;
    writeNewLayout(d.path(), version);
    auto before = snapshotTree(d.path());
    ProcessResult r = qvconv(d.path(), {"--unattended"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("You have already upgraded to version 3.60."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Step 1 of 1"), std::string::npos) << r.out;
    EXPECT_EQ(snapshotTree(d.path()), before) << version;
  }
  // An installation that qvcli made is of the current version.
  TempDir made;
  ASSERT_EQ(qvcli(made.path(), {"init"}).exitCode, 0);
  EXPECT_EQ(qvconv::inspect(made.path()).version, qv::kConfigVersion);
  auto before = snapshotTree(made.path());
  ProcessResult r = qvconv(made.path(), {"--unattended"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("You have already upgraded to version 3.60."), std::string::npos) << r.out;
  EXPECT_EQ(snapshotTree(made.path()), before);
  TempDir none;
  EXPECT_EQ(qvconv(none.path(), {"--unattended"}).exitCode, 2);
}

TEST_F(ConvProgramTest, UnattendedTakesOkForAMissingDirectoryAndFailsNonZero) {
  TempDir d;
  writeOldInstallation(d.path(), {.missingDirectory = true});
  ProcessResult r = qvconv(d.path(), {"--unattended"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Warning!: Directory path"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(answered OK)"), std::string::npos);
  EXPECT_NE(r.out.find("Conversion finished!"), std::string::npos);
  TempDir dup;
  writeOldInstallation(dup.path(), {.duplicateOwners = true});
  r = qvconv(dup.path(), {"--unattended"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("Setup problem!: You have two mailboxes with the same owner name!"), std::string::npos);
}

// A database file that cannot be read (here an empty mail text file, as a
// journal rolled onto it left it) is not dropped without asking: unattended,
// the answer is Cancel and nothing is converted or lost.
TEST_F(ConvProgramTest, UnattendedNeverDropsADatabaseWhoseFileCannotBeRead) {
  TempDir d;
  std::string root = d.path() + "/q";
  copyTree(original_->path() + "/q", root);
  { std::ofstream(root + "/F3/IDX004.ADF", std::ios::trunc); }
  auto before = snapshotTree(root);
  ProcessResult r = qvconv(root, {"--unattended"});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("Warning: The file IDX004.ADF in the database CIS:MAIL does not have the correct format."),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("(answered Cancel)"), std::string::npos);
  EXPECT_EQ(r.out.find("Conversion finished!"), std::string::npos);
  auto after = snapshotTree(root);
  for (auto it = after.begin(); it != after.end();)
    it = it->first.find("SAV0") != std::string::npos ? after.erase(it) : std::next(it);
  EXPECT_EQ(after, before);
}

TEST_F(ConvProgramTest, TheCommandLineRefusesAnInstallationThatIsNotConvertedYet) {
  // The old layout: reading or writing would take its files for the new
  // ones, and a new settings directory would be made beside them.
  TempDir d;
  copyTree(original_->path() + "/q", d.path() + "/q");
  std::string root = d.path() + "/q";
  for (std::vector<std::string> args : {std::vector<std::string>{"list"}, {"forum", "add", "Spool"}}) {
    ProcessResult r = qvcli(root, args);
    EXPECT_EQ(r.exitCode, 1) << args[0];
    EXPECT_NE(r.err.find("qvconv --root"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(root + "/CFG"));
  // The new layout of a version whose lists are narrower.
  TempDir n;
  writeNewLayout(n.path() + "/q", 355);
  ProcessResult r = qvcli(n.path() + "/q", {"list"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Quorvane 3.55"), std::string::npos) << r.err;
}

// The converter works on an installation alone: while another program
// holds it, it converts nothing and says so; once free, it converts.
TEST_F(ConvProgramTest, ConvertsNothingWhileAnotherProgramHoldsTheInstallation) {
  TempDir n;
  std::string root = n.path() + "/q";
  writeNewLayout(root, 355);
  std::string before = dumpArchive(root);
  int fd = ::open((root + "/CFG/QUORVANE.LCK").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  for (std::vector<std::string> args : {std::vector<std::string>{"--unattended"}, {"--restore"}}) {
    ProcessResult r = qvconv(root, args);
    EXPECT_EQ(r.exitCode, 1) << args[0] << r.out;
    EXPECT_NE(r.err.find("already running on the installation"), std::string::npos) << r.err;
  }
  EXPECT_EQ(dumpArchive(root), before);
  ::close(fd);
  ProcessResult r = qvconv(root, {"--unattended"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(qvcli(root, {"list"}).exitCode, 0);
}

TEST_F(ConvProgramTest, TheMainProgramsCommandsWorkOnTheConvertedInstallation) {
  TempDir d;
  copyTree(convertedRoot(), d.path() + "/q");
  std::string root = d.path() + "/q";
  ProcessResult list = qvcli(root, {"list"});
  ASSERT_EQ(list.exitCode, 0) << list.out << list.err;
  for (const char* db : {"IBMPRO", "MACFORUM", "Mary Owner", "John Smith"})
    EXPECT_NE(list.out.find(db), std::string::npos) << db << "\n" << list.out;
  ProcessResult show = qvcli(root, {"show", "Mary Owner"});
  ASSERT_EQ(show.exitCode, 0) << show.err;
  EXPECT_NE(show.out.find("Hello from Alice"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("Newsletter"), std::string::npos);
  EXPECT_EQ(show.out.find("Fishing trip"), std::string::npos);  // John's mail is in John's mailbox
  ProcessResult john = qvcli(root, {"show", "John Smith", std::to_string(kMailReceived)});
  ASSERT_EQ(john.exitCode, 0) << john.err;
  EXPECT_NE(john.out.find("Sunday is fine."), std::string::npos) << john.out;
  EXPECT_EQ(john.out.find("Message-ID"), std::string::npos) << john.out;
  ProcessResult forum = qvcli(root, {"show", "IBMPRO"});
  ASSERT_EQ(forum.exitCode, 0) << forum.err;
  EXPECT_NE(forum.out.find("1003"), std::string::npos) << forum.out;
  ProcessResult persons = qvcli(root, {"persons", "Mary Owner"});
  EXPECT_NE(persons.out.find("Brown"), std::string::npos) << persons.out;
  EXPECT_EQ(persons.out.find("Quiet"), std::string::npos);
  ProcessResult topics = qvcli(root, {"topic", "IBMPRO", "list"});
  EXPECT_NE(topics.out.find("Printer"), std::string::npos) << topics.out;
  ProcessResult index = qvcli(root, {"index", "Mary Owner", "--full", "--unattended"});
  ASSERT_EQ(index.exitCode, 0) << index.out << index.err;
  ProcessResult search = qvcli(root, {"search", "Mary Owner", "--and", "garden"});
  ASSERT_EQ(search.exitCode, 0) << search.err;
  EXPECT_NE(search.out.find(std::to_string(kMailDateHeader)), std::string::npos) << search.out;
  ProcessResult forumIndex = qvcli(root, {"index", "IBMPRO", "--full", "--unattended"});
  ASSERT_EQ(forumIndex.exitCode, 0);
  EXPECT_NE(qvcli(root, {"search", "IBMPRO", "--and", "laserjet"}).out.find("1001"), std::string::npos);
}

// Files SQLite keeps beside a file while a write is under way (the journal,
// and the super-journal of a write over several files): left behind, they
// are rolled onto whatever file has that name next.
std::vector<std::string> leftJournals(const std::string& root) {
  std::vector<std::string> out;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    std::string name = e.path().filename().string();
    if (name.find("-journal") != std::string::npos || name.find("-mj") != std::string::npos ||
        name.find("-wal") != std::string::npos)
      out.push_back(e.path().string());
  }
  return out;
}

// Points at which a conversion is killed: between the steps, and in the
// middle of writing files (several inside a transaction over the new mail
// files), up to the point where the converted files are in place.
const std::string kKillPoints[] = {
    "conv-step-1:1",       "conv-step-2:1",      "conv-list-added:2",    "conv-step-3:1",
    "conv-split-moved:1",  "conv-mail-copied:1", "conv-mail-copied:4",   "conv-split-mailbox:1",
    "conv-step-4:1",       "conv-step-5:1",      "conv-person-copied:3", "conv-step-6:1",
    "conv-text-stripped:1", "conv-step-7:1",     "conv-file-moved:1",    "conv-control-moved:1",
    "conv-old-removed:2"};

// Past this point the converted installation is in place: what is left is
// removing the old files.
bool pastCommit(const std::string& point) {
  return point == "conv-control-moved:1" || point.rfind("conv-old-removed", 0) == 0;
}

class ConvKillTest : public ConvProgramTest, public ::testing::WithParamInterface<std::string> {
 protected:
  std::string killedCopy(const TempDir& d) {
    std::string root = d.path() + "/q";
    copyTree(original_->path() + "/q", root);
    ProcessResult killed = qvconv(root, {"--unattended"}, {"QV_CRASH_AT=" + GetParam()});
    EXPECT_EQ(killed.signal, 9) << killed.out << killed.err;
    return root;
  }
  void expectConverted(const std::string& root) {
    std::string dump = dumpArchive(root);
    EXPECT_EQ(dump, *dump_) << firstDifference(dump, *dump_);
    EXPECT_EQ(leftJournals(root), std::vector<std::string>{});
    ProcessResult show = qvcli(root, {"show", "John Smith", std::to_string(kMailReceived)});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("Sunday is fine."), std::string::npos) << show.out;
  }
};

TEST_P(ConvKillTest, KilledConversionRestoresFromTheSavedCopiesAndConvertsOnRerun) {
  TempDir d;
  std::string root = killedCopy(d);
  for (const char* saved : {"SAV002.ADF", "SAV008.ADF", "SAV016.ADF"})
    EXPECT_TRUE(fs::exists(root + "/" + saved)) << saved;
  ProcessResult restored = qvconv(root, {"--restore"});
  if (pastCommit(GetParam())) {
    // The converted files are in place and the old ones partly gone: there
    // is nothing to go back to, and the rerun finishes the conversion.
    EXPECT_EQ(restored.exitCode, 1) << restored.out;
    EXPECT_NE(restored.out.find("had finished"), std::string::npos) << restored.out;
  } else {
    ASSERT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    // Back to the old installation: the same files hold the same records (a
    // directory made for a new mailbox may stay; the old list does not name
    // it), and no journal of a killed write is left to be rolled onto them.
    std::string restoredDump = withoutDirectory(dumpArchive(root), "F4/");
    std::string originalDump = dumpArchive(original_->path() + "/q");
    EXPECT_EQ(restoredDump, originalDump) << firstDifference(restoredDump, originalDump);
    for (const std::string& j : leftJournals(root)) EXPECT_EQ(j.find(root + "/F4/"), 0u) << j;
  }
  ProcessResult again = qvconv(root, {"--unattended"});
  ASSERT_EQ(again.exitCode, 0) << again.out;
  expectConverted(root);
}

TEST_P(ConvKillTest, TheNextRunTakesAKilledConversionBackAndConverts) {
  TempDir d;
  std::string root = killedCopy(d);
  if (!pastCommit(GetParam())) {
    // Half converted: the command line works on none of it and makes nothing beside it.
    bool hadControl = fs::exists(root + "/CFG/IDX008.ADF");
    ProcessResult list = qvcli(root, {"list"});
    EXPECT_EQ(list.exitCode, 1) << list.out;
    EXPECT_NE(list.err.find("qvconv --root"), std::string::npos) << list.err;
    EXPECT_EQ(fs::exists(root + "/CFG/IDX008.ADF"), hadControl);
  }
  ProcessResult again = qvconv(root, {"--unattended"});
  ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("Conversion finished!"), std::string::npos) << again.out;
  expectConverted(root);
}

// The minor upgrade killed while it fills the new database list: the next
// run converts the list it had put aside, as an uninterrupted run does.
TEST_F(ConvProgramTest, AKilledMinorUpgradeIsCompletedByTheNextRun) {
  TempDir whole, killed;
  writeNewLayout(whole.path(), 300);
  writeNewLayout(killed.path(), 300);
  ASSERT_EQ(qvconv(whole.path(), {"--unattended"}).exitCode, 0);
  ProcessResult r = qvconv(killed.path(), {"--unattended"}, {"QV_CRASH_AT=conv-minor-added:1"});
  ASSERT_EQ(r.signal, 9) << r.out << r.err;
  r = qvconv(killed.path(), {"--unattended"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string dump = dumpArchive(killed.path()), expected = dumpArchive(whole.path());
  EXPECT_EQ(dump, expected) << firstDifference(dump, expected);
  EXPECT_NE(dump.find("IBMPRO"), std::string::npos);
  EXPECT_EQ(leftJournals(killed.path()), std::vector<std::string>{});
  EXPECT_EQ(qvconv::inspect(killed.path()).situation, qvconv::Situation::Upgraded);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ConvKillTest, ::testing::ValuesIn(kKillPoints),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                           std::string n = p.param;
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
