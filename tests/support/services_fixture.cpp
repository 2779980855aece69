#include "support/services_fixture.h"

#include <sys/stat.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/record_helpers.h"
#include "storage/file.h"

namespace fs = std::filesystem;

namespace qvtest {

qv::Button RecordingPrompter::ask(const qv::PromptRequest& r) {
  requests.push_back(r);
  if (!answers.empty()) {
    qv::Button b = answers.front();
    answers.pop_front();
    return b;
  }
  return r.defaultButton;
}

void RecordingPrompter::reset() {
  requests.clear();
  answers.clear();
  beeps = 0;
}

std::string RecordingPrompter::transcript() const {
  std::string s;
  for (const qv::PromptRequest& r : requests) s += "[" + r.caption + "] " + r.text + "\n";
  return s.empty() ? "(nothing shown)" : s;
}

std::optional<std::string> haltText(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const qv::ProgramHalt& h) {
    return h.text;
  }
  return std::nullopt;
}

void ServicesTest::SetUp() {
  qv::Mem.DoTask = qv::RunInteractive;
  qv::setPrompter(&prompts);
  qv::setQueueError(qv::QueueOk);
}

void ServicesTest::TearDown() {
  if (qv::transactionActive()) qv::rollbackTransaction();
  qv::Mem.DoTask = qv::RunInteractive;
  qv::setQueueError(qv::QueueOk);
  qv::setPrompter(nullptr);
}

const qv::PromptRequest& ServicesTest::onlyRequest() {
  static const qv::PromptRequest none{"(nothing shown)", "(none)"};
  EXPECT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  return prompts.requests.empty() ? none : prompts.requests.back();
}

void InstallationTest::SetUp() {
  ServicesTest::SetUp();
  std::string error;
  ASSERT_TRUE(qv::openInstallation(dir.path(), error)) << error;
  root = qv::Mem.Net;
  ASSERT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

void InstallationTest::TearDown() {
  if (qv::transactionActive()) qv::rollbackTransaction();
  qv::closeInstallation();
  qv::Mem = qv::MemState();
  qv::MasIdxPath.clear();
  qv::FileTmpName.clear();
  ServicesTest::TearDown();
}

std::string InstallationTest::selectDatabase(uint32_t dirNumber, uint8_t type) {
  qv::FOR = qv::ForumsRec();
  qv::FOR.ID = 1000 + dirNumber;
  qv::FOR.DIRNUMBER = dirNumber;
  qv::FOR.TYPE = type;
  qv::FOR.DESCRIPTION = "Database " + std::to_string(dirNumber);
  qv::useDatabase();
  std::string d = qv::joinPath({qv::Mem.FileDir, qv::Mem.Dirnamn});
  fs::create_directories(d);
  return d;
}

namespace {
struct ForeignRec {
  uint32_t ID = 0;
  qv::Str<12> NAME;
};
ForeignRec FGN;
}  // namespace

void writeForeignLayout(const std::string& path, const std::string& label, int records) {
  qv::FileDecl d{0, label, "FGN", "ARDENT"};
  qv::DeclBuilder<ForeignRec> b(d, FGN);
  b.field("ID", &ForeignRec::ID).field("NAME", &ForeignRec::NAME);
  b.key("IdKey", {{"ID"}}, qv::KeyUnique | qv::KeyPrimary);
  qv::File f(d);
  f.setName(path);
  ASSERT_TRUE(f.create()) << qv::ErrorText();
  ASSERT_TRUE(f.open()) << qv::ErrorText();
  for (int i = 1; i <= records; ++i) {
    f.clear();
    FGN.ID = uint32_t(i);
    FGN.NAME = "kept " + std::to_string(i);
    ASSERT_TRUE(f.add()) << qv::ErrorText();
  }
  f.close();
}

std::map<std::string, std::string> snapshotTree(const std::string& dir) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string rel = fs::relative(it->path(), dir).string();
    if (it->is_directory(ec))
      out[rel + "/"] = "";
    else
      out[rel] = readFile(it->path().string());
  }
  return out;
}

std::map<std::string, int64_t> modificationTimes(const std::string& dir) {
  std::map<std::string, int64_t> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st;
    if (::lstat(it->path().c_str(), &st) == 0)
      out[it->path().string()] = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return out;
}

}  // namespace qvtest
