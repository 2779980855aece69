// qvcli persons: listing by name and by address, a name change, the alias
// list, merging (with its errors), and a merge killed between two persons
// and run again, which ends as an uninterrupted merge.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"
#include "persons/lookup_sources.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";
const char* kBox = "Mary Owner";

ProcessResult qvcli(const std::string& root, std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), {"--root", root});
  return runQvcli(args, env);
}

struct Listed {
  std::string id, name, address, sent, received;
};

// The rows of "persons DB": ID, name (35 characters), address, sent, received.
std::vector<Listed> persons(const std::string& root, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {"persons", kBox};
  args.insert(args.end(), extra.begin(), extra.end());
  ProcessResult r = qvcli(root, args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<Listed> out;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);  // the heading
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    Listed l;
    f >> l.id;
    std::vector<std::string> rest;
    for (std::string w; f >> w;) rest.push_back(w);
    if (rest.size() < 3) continue;
    l.received = rest.back();
    rest.pop_back();
    l.sent = rest.back();
    rest.pop_back();
    l.address = rest.back();
    rest.pop_back();
    for (const std::string& w : rest) l.name += (l.name.empty() ? "" : " ") + w;
    out.push_back(l);
  }
  return out;
}

const Listed* byAddress(const std::vector<Listed>& list, const std::string& address) {
  for (const Listed& l : list)
    if (l.address == address) return &l;
  return nullptr;
}

class PersonsCommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prepared_ = new TempDir;
    TempDir sources;
    writeFile(sources.file("mail.mbx"), generatedMbox(120, kOwner));
    std::string root = prepared_->path();
    ASSERT_EQ(qvcli(root, {"init"}).exitCode, 0);
    ASSERT_EQ(qvcli(root, {"mailbox", "add", "--owner", kBox, "--address", kOwner}).exitCode, 0);
    ProcessResult r =
        qvcli(root, {"import", "--unattended", "--format", "Unix Mail", "--mailbox", kBox, sources.file("mail.mbx")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  static void TearDownTestSuite() { delete prepared_; }

  void SetUp() override { fs::copy(prepared_->path(), dir.path(), fs::copy_options::recursive); }

  // Three partners with sent mail, not the owner.
  std::vector<std::string> partners() {
    std::vector<std::string> ids;
    for (const Listed& l : persons(dir.path()))
      if (l.address != kOwner && l.sent != "0" && ids.size() < 3) ids.push_back(l.id);
    EXPECT_EQ(ids.size(), 3u);
    return ids;
  }

  static TempDir* prepared_;
  TempDir dir;
};

TempDir* PersonsCommandsTest::prepared_ = nullptr;

TEST_F(PersonsCommandsTest, ListsEveryPersonByNameOrByAddress) {
  std::vector<Listed> byName = persons(dir.path());
  std::vector<Listed> byAddr = persons(dir.path(), {"--by", "address"});
  ASSERT_GT(byName.size(), 3u);
  EXPECT_EQ(byName.size(), byAddr.size());
  for (size_t i = 1; i < byAddr.size(); ++i) EXPECT_LE(byAddr[i - 1].address, byAddr[i].address);
  const Listed* owner = byAddress(byName, kOwner);
  ASSERT_TRUE(owner);
  EXPECT_EQ(owner->name, "Owner,Mary");
  EXPECT_NE(owner->received, "0");

  ProcessResult bad = qvcli(dir.path(), {"persons", kBox, "--by", "age"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("--by takes name or address"), std::string::npos) << bad.err;
  bad = qvcli(dir.path(), {"persons", "No Such Box"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("no database named"), std::string::npos) << bad.err;
  bad = qvcli(dir.path(), {"persons", kBox, "--frobnicate"});
  EXPECT_EQ(bad.exitCode, 1);
  ProcessResult help = qvcli(dir.path(), {"persons", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("merge --keep ID ID..."), std::string::npos) << help.out;
}

TEST_F(PersonsCommandsTest, RenamesAPersonAndItsMailFollows) {
  std::string id = partners()[0];
  ProcessResult r = qvcli(dir.path(), {"persons", kBox, "rename", id, "--last", "Zzyzx", "--first", "Renata"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto find = [&](const std::vector<Listed>& list) {
    for (const Listed& l : list)
      if (l.id == id) return l;
    return Listed();
  };
  Listed renamed = find(persons(dir.path()));
  ASSERT_EQ(renamed.name, "Zzyzx,Renata");
  ASSERT_NE(renamed.sent, "0");
  // A count run finds every mail under the new name.
  ASSERT_EQ(qvcli(dir.path(), {"count", kBox, "--unattended"}).exitCode, 0);
  EXPECT_EQ(find(persons(dir.path())).sent, renamed.sent);

  EXPECT_EQ(qvcli(dir.path(), {"persons", kBox, "rename", "99999999", "--last", "X"}).exitCode, 1);
  EXPECT_EQ(qvcli(dir.path(), {"persons", kBox, "rename", id}).exitCode, 1) << "--last is needed";
  // A name longer than the field is kept whole; one past the longest kept is refused.
  EXPECT_EQ(qvcli(dir.path(), {"persons", kBox, "rename", id, "--last", std::string(26, 'x')}).exitCode, 0);
  EXPECT_EQ(find(persons(dir.path())).name, std::string(26, 'x'));
  EXPECT_EQ(qvcli(dir.path(), {"persons", kBox, "rename", id, "--last", std::string(1001, 'x')}).exitCode, 1);
}

TEST_F(PersonsCommandsTest, MergesIntoTheKeptPersonAndTheCountsAgreeWithACountRun) {
  std::vector<std::string> ids = partners();
  ProcessResult r = qvcli(dir.path(), {"persons", kBox, "merge", "--keep", ids[0], ids[1], ids[2]});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("merged " + ids[1] + " into " + ids[0]), std::string::npos) << r.out;
  std::vector<Listed> merged = persons(dir.path());
  for (const Listed& l : merged) EXPECT_TRUE(l.id != ids[1] && l.id != ids[2]);
  ProcessResult aliases = qvcli(dir.path(), {"persons", kBox, "aliases", ids[0]});
  ASSERT_EQ(aliases.exitCode, 0) << aliases.err;
  EXPECT_GE(std::count(aliases.out.begin(), aliases.out.end(), '\n'), 3) << aliases.out;
  // The merge left the counts a count run finds.
  std::string before = dumpArchive(dir.path());
  ASSERT_EQ(qvcli(dir.path(), {"count", kBox, "--unattended"}).exitCode, 0);
  std::string after = dumpArchive(dir.path());
  EXPECT_TRUE(before == after) << firstDifference(before, after);
}

TEST_F(PersonsCommandsTest, TheOwnerIsNeverMergedAway) {
  std::vector<Listed> list = persons(dir.path());
  const Listed* owner = byAddress(list, kOwner);
  ASSERT_TRUE(owner);
  std::string ownerId = owner->id, partner = partners()[0];
  ProcessResult r = qvcli(dir.path(), {"persons", kBox, "merge", "--keep", partner, ownerId});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("You are not allowed to change the MailBox owner default address!"), std::string::npos) << r.err;
  EXPECT_TRUE(byAddress(persons(dir.path()), kOwner));
  r = qvcli(dir.path(), {"persons", kBox, "merge", "--keep", partner, partner});
  EXPECT_EQ(r.exitCode, 1) << "a person named twice";
  r = qvcli(dir.path(), {"persons", kBox, "merge", "--keep", "99999999", partner});
  EXPECT_EQ(r.exitCode, 1) << "no person to keep";
}

class PersonsMergeKillTest : public PersonsCommandsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(PersonsMergeKillTest, RerunEndsAsAnUninterruptedMerge) {
  std::vector<std::string> ids = partners();
  std::vector<std::string> merge = {"persons", kBox, "merge", "--keep", ids[0], ids[1], ids[2]};
  TempDir whole;
  fs::copy(dir.path(), whole.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  ASSERT_EQ(qvcli(whole.path(), merge).exitCode, 0);
  std::string expected = dumpArchive(whole.path());

  ProcessResult killed = qvcli(dir.path(), merge, {"QV_CRASH_AT=" + GetParam()});
  EXPECT_EQ(killed.signal, SIGKILL) << killed.out << killed.err;
  ProcessResult rerun = qvcli(dir.path(), merge);
  EXPECT_EQ(rerun.exitCode, 0) << rerun.out << rerun.err;
  std::string actual = dumpArchive(dir.path());
  EXPECT_TRUE(actual == expected) << GetParam() << ": differs at " << firstDifference(expected, actual);
}

INSTANTIATE_TEST_SUITE_P(Interruptions, PersonsMergeKillTest,
                         ::testing::Values("person-merge-before-commit:1", "person-merge-commit:1",
                                           "person-merge-before-commit:2"),
                         [](const ::testing::TestParamInfo<std::string>& paramInfo) {
                           std::string n;
                           for (char c : paramInfo.param) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

}  // namespace
