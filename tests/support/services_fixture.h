// Shared helpers for the tests of the core services: a prompter that records
// every message and answers as scripted, a halt handler that throws, and a
// fixture that opens a fresh installation in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "services/prompt.h"
#include "storage/record.h"
#include "support/temp_dir.h"

namespace qvtest {

// Records every request and answers with the next scripted button, or with
// the request's default button when nothing is scripted.
class RecordingPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
  void beep() override { ++beeps; }

  void script(qv::Button b) { answers.push_back(b); }
  void reset();
  // The texts and captions asked so far, for readable failure output.
  std::string transcript() const;

  std::vector<qv::PromptRequest> requests;
  std::deque<qv::Button> answers;
  int beeps = 0;
};

// Runs fn and returns the text it halted with, or nothing when it returned.
std::optional<std::string> haltText(const std::function<void()>& fn);

// Installs a RecordingPrompter, starts in the interactive run mode and
// restores the defaults afterwards.
class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The only request shown so far; fails the test when there is not exactly one.
  const qv::PromptRequest& onlyRequest();

  RecordingPrompter prompts;
};

// Opens a fresh installation in a temporary directory and closes it again.
class InstallationTest : public ServicesTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes database directory F<dirNumber> of the given type (1 forum, 2 mail,
  // 3 newsgroup) the current database and creates its directory.
  std::string selectDatabase(uint32_t dirNumber, uint8_t type);

  TempDir dir;
  std::string root;  // the installation root as the library normalised it
};

// Writes a keyed file at `path` under a declaration of its own with the
// given table label and another record layout (an ID and a NAME), holding
// `records` records.
void writeForeignLayout(const std::string& path, const std::string& label, int records);

// Every file below a directory with its contents, for checking that nothing
// on disk was touched.
std::map<std::string, std::string> snapshotTree(const std::string& dir);
// Every entry below a directory with its modification time in nanoseconds,
// so that a file written again with the same bytes still shows.
std::map<std::string, int64_t> modificationTimes(const std::string& dir);

}  // namespace qvtest
