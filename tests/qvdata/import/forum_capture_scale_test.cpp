// Generated forum captures of a few hundred and four times as many messages,
// in the TAPCIS 6.x and OzWin II layouts, imported end to end: every message
// stored once under its number, every reply in its parent's thread, the
// messages of one thread (also replies that do not name their parent) in one
// thread of the database and no two threads merged, though many subjects
// share their first ten characters; a capture split in two runs threads as
// one run does, and a second import of the same file adds nothing.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "forum_gen.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

using namespace qv;

namespace {

struct Case {
  const char* format;
  qvbench::ForumLayout layout;
  size_t messages;
};

class ForumCaptureScaleTest : public qvtest::MailImportTest, public ::testing::WithParamInterface<Case> {
 protected:
  static constexpr const char* kForum = "Scale Forum";

  int importCapture(const std::string& file, ImportView* view) {
    ImportSettings s;
    s.format = GetParam().format;
    s.method = SelectFiles;
    s.path = dir.path();
    s.masks = {file};
    s.importForum = true;
    s.forumName = kForum;
    // Small commits, so that the run commits many times.
    s.commitMessages = 97;
    ImportRun r(s);
    for (int guard = 0; r.step() && guard < 10000000; ++guard) {
    }
    r.close();
    if (view) *view = r.view();
    return r.result();
  }

  // Number -> (reference, thread) of the forum's messages.
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> storedMessages() {
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> out;
    if (!findDatabase(kForum)) return out;
    useDatabase();
    OP_CLOSE(OpShared, {FileMsgNmbr});
    MsgNmbr.set(MSG_IdKey);
    while (MsgNmbr.next()) out[MSG.MSGNUMBER] = {MSG.REFNUMBER, MSG.THREADNUMBER};
    OP_CLOSE(OpRelease, {FileMsgNmbr});
    return out;
  }

  void expectThreadsAsGenerated(const qvbench::ForumSummary& truth) {
    auto stored = storedMessages();
    ASSERT_EQ(stored.size(), truth.messages);
    std::map<uint32_t, uint32_t> threadOfGenerated;  // generated thread -> stored thread
    std::set<uint32_t> storedThreads;
    for (size_t i = 0; i < truth.messages; ++i) {
      auto it = stored.find(truth.numbers[i]);
      ASSERT_NE(it, stored.end()) << "message " << truth.numbers[i];
      uint32_t thread = it->second.second;
      auto [known, fresh] = threadOfGenerated.emplace(truth.threadOf[i], thread);
      EXPECT_EQ(known->second, thread) << "message " << truth.numbers[i] << " left its thread";
      if (fresh) {
        EXPECT_TRUE(storedThreads.insert(thread).second) << "two threads merged at " << truth.numbers[i];
      }
      uint32_t ref = it->second.first;
      if (ref != 0) {
        ASSERT_TRUE(stored.count(ref)) << ref;
        EXPECT_EQ(stored[ref].second, thread);
      }
    }
    EXPECT_EQ(storedThreads.size(), truth.threads);
  }

  qvtest::TempDir sources;
};

TEST_P(ForumCaptureScaleTest, EveryMessageIsStoredInItsThreadAndASecondImportAddsNothing) {
  qvbench::ForumOptions o{.messages = GetParam().messages, .layout = GetParam().layout, .seed = 3,
                          .forum = kForum};
  qvbench::ForumSummary truth;
  std::string file = dir.file("capture.msg");
  ASSERT_TRUE(qvbench::writeForumCapture(file, o, &truth));
  ASSERT_GT(truth.threads, truth.messages / 10) << "many threads";
  ImportView v;
  ASSERT_EQ(importCapture(file, &v), 1) << prompts.transcript();
  EXPECT_EQ(v.imported, int64_t(truth.messages));
  EXPECT_EQ(v.skipped, 0);
  expectThreadsAsGenerated(truth);

  ImportView again;
  // Every message is in the database already: the run finds none to import.
  EXPECT_EQ(importCapture(file, &again), 2) << prompts.transcript();
  EXPECT_EQ(again.status, "No messages to import!");
  EXPECT_EQ(again.imported, 0);
  EXPECT_EQ(again.skipped, int64_t(truth.messages));
  expectThreadsAsGenerated(truth);
}

TEST_P(ForumCaptureScaleTest, ACaptureImportedInTwoRunsThreadsAsOneRunDoes) {
  qvbench::ForumOptions o{.messages = GetParam().messages, .layout = GetParam().layout, .seed = 5,
                          .forum = kForum};
  qvbench::ForumSummary truth;
  std::string whole = qvbench::forumCapture(o, &truth);
  // Split before the "#:" line of the middle message.
  size_t middle = whole.find("#: " + std::to_string(truth.numbers[truth.messages / 2]) + " ");
  ASSERT_NE(middle, std::string::npos);
  qvtest::writeFile(dir.file("first.msg"), whole.substr(0, middle));
  qvtest::writeFile(dir.file("second.msg"), whole.substr(middle));
  ImportView first, second;
  ASSERT_EQ(importCapture(dir.file("first.msg"), &first), 1) << prompts.transcript();
  ASSERT_EQ(importCapture(dir.file("second.msg"), &second), 1) << prompts.transcript();
  EXPECT_EQ(first.imported + second.imported, int64_t(truth.messages));
  expectThreadsAsGenerated(truth);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ForumCaptureScaleTest,
                         ::testing::Values(Case{"TAPCIS 6.x", qvbench::ForumLayout::Tapcis6, 400},
                                           Case{"TAPCIS 6.x", qvbench::ForumLayout::Tapcis6, 1600},
                                           Case{"OzWin II", qvbench::ForumLayout::OzWin2, 400},
                                           Case{"OzWin II", qvbench::ForumLayout::OzWin2, 1600}),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           std::string n = caseInfo.param.layout == qvbench::ForumLayout::Tapcis6 ? "Tapcis6" : "OzWin2";
                           return n + "_" + std::to_string(caseInfo.param.messages);
                         });

}  // namespace
