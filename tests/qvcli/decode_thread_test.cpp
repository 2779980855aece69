// Mail imports that decode on a worker thread store exactly what imports
// that decode on the run's thread store: the same archive, record by record,
// for generated mail and for the mail stores of the sample corpus; and an
// import killed while the worker decodes ends, run again, with the archive
// of an uninterrupted run.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus_gen.h"
#include "qvcli_process.h"
#include "support/archive_dump.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

const char* kOwner = "mary@owner.example";
const char* kMailbox = "Mary Owner";
constexpr size_t kGeneratedMails = 3000;
constexpr int kBookkeepingMails = 260;
const char* kCommitEvery = "100";
const char* kWorkerOff = "QV_DECODE_THREAD=off";

// One import: a format and a file.
struct Source {
  std::string format;
  std::string path;
};

void makeInstallation(const std::string& root) {
  ProcessResult r = runQvcli({"--root", root, "init"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runQvcli({"--root", root, "mailbox", "add", "--owner", kMailbox, "--address", kOwner, "--alt",
                "m.owner@old.example"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
}

ProcessResult import(const std::string& root, const Source& s, std::vector<std::string> env) {
  return runQvcli({"--root", root, "import", "--unattended", "--commit-every", kCommitEvery, "--format", s.format,
                   "--mailbox", kMailbox, s.path},
                  env);
}

// The dump of a new installation after the imports, with the worker or without.
std::string archiveOf(const std::vector<Source>& sources, bool worker) {
  TempDir dir;
  makeInstallation(dir.path());
  std::vector<std::string> env;
  if (!worker) env.push_back(kWorkerOff);
  for (const Source& s : sources) {
    ProcessResult r = import(dir.path(), s, env);
    EXPECT_EQ(r.exitCode, 0) << s.path << (worker ? " with" : " without") << " the worker: " << r.out << r.err;
  }
  return dumpArchive(dir.path());
}

void expectSameArchive(const std::vector<Source>& sources) {
  std::string without = archiveOf(sources, false);
  std::string with = archiveOf(sources, true);
  ASSERT_NE(without.find("/IDX036.ADF"), std::string::npos) << "the mailbox keeps originals";
  EXPECT_EQ(with.size(), without.size());
  EXPECT_TRUE(with == without) << "differs at " << firstDifference(without, with);
}

// Every file of a corpus folder (recursively) whose name the test takes.
std::vector<std::string> filesUnder(const std::string& dir) {
  std::vector<std::string> out;
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(DecodeThread, GeneratedMailGivesTheSameArchiveWithAndWithoutTheWorker) {
  // Plain, 8-bit, quoted-printable, HTML only, alternatives, attachments,
  // uuencoded blocks, encoded subjects, threads.
  TempDir sources;
  qvbench::CorpusGenerator gen({.messages = kGeneratedMails, .seed = 7});
  ASSERT_EQ(gen.writeAll(sources.file("generated.mbox"), ""), kGeneratedMails);
  writeFile(sources.file("owner.mbox"), generatedMbox(kBookkeepingMails, kOwner));
  expectSameArchive({{"Unix Mail", sources.file("generated.mbox")}, {"Unix Mail", sources.file("owner.mbox")}});
}

TEST(DecodeThread, CorpusMailStoresGiveTheSameArchiveWithAndWithoutTheWorker) {
  std::string corpus = corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  std::vector<Source> sources;
  for (const std::string& f : filesUnder(corpus + "/mbox"))
    if (f.find("/results/") == std::string::npos) sources.push_back({"Unix Mail", f});
  for (const std::string& f : filesUnder(corpus + "/netscape-mail"))
    if (f.find("/expected/") == std::string::npos) sources.push_back({"Netscape Mail", f});
  for (const char* f : {"/eudora/eudora2unix/win-eudora-7.1/In.mbx", "/eudora/eudora2unix/mac-eudora-6.2.4/In"})
    if (fs::exists(corpus + f)) sources.push_back({"Eudora", corpus + f});
  for (const char* f : {"/oe-mail/mbx2mbox/test1.mbx", "/oe-mail/mbx2mbox/test3.mbx", "/oe-dbx/mbx2mbox/test4.dbx",
                        "/oe-dbx/iped_test_OutlookDBX.dbx"})
    if (fs::exists(corpus + f)) sources.push_back({"Outlook Express Mail", corpus + f});
  if (fs::exists(corpus + "/becky/test.bmf")) sources.push_back({"Becky Mail", corpus + "/becky/test.bmf"});
  ASSERT_GT(sources.size(), 10u);
  expectSameArchive(sources);
}

TEST(DecodeThread, ImportKilledWhileTheWorkerDecodesEndsAsAnUninterruptedOne) {
  TempDir sources;
  Source mbox{"Unix Mail", sources.file("mail.mbx")};
  writeFile(mbox.path, generatedMbox(kBookkeepingMails, kOwner));
  std::string expected = archiveOf({mbox}, false);

  TempDir dir;
  makeInstallation(dir.path());
  for (const char* point : {"conversion-message:40", "posting-message:150"}) {
    ProcessResult r = import(dir.path(), mbox, {std::string("QV_CRASH_AT=") + point});
    EXPECT_EQ(r.signal, SIGKILL) << "not killed at " << point << ": " << r.out << r.err;
  }
  ProcessResult r = import(dir.path(), mbox, {});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string actual = dumpArchive(dir.path());
  EXPECT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected) << "differs at " << firstDifference(expected, actual);
}

}  // namespace
