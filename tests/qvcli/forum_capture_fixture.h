// A fixture for qvcli commands on one forum database: a new installation in
// a temporary folder, a TAPCIS 6.x capture imported into the forum "Forum",
// and qvcli run on it as a user runs it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qvcli_process.h"
#include "support/temp_dir.h"

namespace qvtest {

class QvcliForumTest : public ::testing::Test {
 protected:
  // Imports `capture` into the forum "Forum" of a new installation; with
  // `index` its words are indexed by a full run after the import.
  void importCapture(const std::string& capture, bool index) {
    root = dir.path() + "/root";
    writeFile(dir.file("capture.msg"), capture);
    ProcessResult r = run({"import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", "Forum",
                           "--unattended", dir.file("capture.msg")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    if (!index) return;
    r = run({"index", "Forum", "--full", "--unattended"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  // qvcli on the installation.
  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  TempDir dir;
  std::string root;
};

}  // namespace qvtest
