// Indexing runs stopped by a crash: a child process runs the indexing engine
// and is killed with SIGKILL at one point of its work (a step, a slice of a
// flush, just before or just after a flush's commit); the run is then
// resumed, and the word list, the occurrence records, the stop list and the
// record of moved words must be exactly what an uninterrupted run leaves.
// Small flushes and a small frequent-word threshold make a short corpus pass
// every kind of point, word moves to the stop list included.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "support/services_fixture.h"
#include "wordindex/index_run.h"
#include "wordindex/stop_list.h"

using namespace qv;
namespace fs = std::filesystem;

namespace {

constexpr size_t kSmallFlush = 40;       // occurrence records that make a flush
constexpr int64_t kSmallThreshold = 30;  // messages before a word may move to the stop list
constexpr int kTexts = 150;
constexpr int kBatch = 4;
constexpr int kPointKinds = 4;

// What the index of the database holds, by word text (word numbers may differ
// between runs that met the words in other flushes).
struct IndexContent {
  std::map<std::string, int32_t> counts;                   // the word list
  std::set<std::pair<std::string, uint32_t>> occurrences;  // (word, message)
  std::set<std::string> stop;                              // the stop list
  std::set<std::string> moved;                             // moved there by the frequent-word move
  bool operator==(const IndexContent&) const = default;
};

std::ostream& operator<<(std::ostream& o, const IndexContent& c) {
  o << c.counts.size() << " words, " << c.occurrences.size() << " occurrences, " << c.stop.size()
    << " stop words; moved:";
  for (const std::string& w : c.moved) o << " " << w;
  o << "; counts:";
  for (const auto& [w, n] : c.counts)
    if (n > 1) o << " " << w << "=" << n;
  return o;
}

// The probe of a child run: kills the process at the chosen call.
struct KillPlan {
  int kind = -1;  // an IndexPoint, or -1 for every kind
  int at = 0;     // the call of that kind to die at (1-based)
};
KillPlan plan;
int calls = 0;
void killAtPlannedPoint(IndexPoint p) {
  if (plan.kind >= 0 && int(p) != plan.kind) return;
  if (++calls == plan.at) ::kill(::getpid(), SIGKILL);
}

// Counts the calls of each kind in an uninterrupted run.
std::array<int, kPointKinds> counted{};
void countPoints(IndexPoint p) { ++counted[size_t(p)]; }

class IndexInterruptTest : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    qvtest::InstallationTest::SetUp();
    indexTuning().flushPairs = kSmallFlush;
    indexTuning().frequentAfter = kSmallThreshold;
    Mem.DoTask = RunUnattended;  // no questions, no messages
    MailboxSpec spec;
    spec.owner = "Owner";
    spec.address = "owner@example.org";
    box = AddMailbox(spec, false);
    ASSERT_TRUE(qv::selectDatabase(box));
    // NOTE (the subject) and ALPHA in every text move early, DELTA from the
    // 60th text on moves later, BETA in every fifth text stays, and each
    // text has a word of its own.
    addTexts(0, kTexts);
    ASSERT_TRUE(addStopWord("KEPT")) << "a word of the user's own";
  }
  void TearDown() override {
    indexTuning() = IndexTuning();
    qvtest::InstallationTest::TearDown();
  }

  void addTexts(int from, int to) {
    OP_CLOSE(OpShared, {FileControl, FileMail, FileMsgText});
    ASSERT_TRUE(beginTransaction({&Control, &Mail, &MsgText}, 5));
    for (int i = from; i < to; ++i) {
      uint32_t id = NextNr();
      MAI = MailRec();
      MAI.MAILID = id;
      MAI.SUBJECT = "note";
      TXT = MsgTextRec();
      TXT.MSGNUMBER = id;
      TXT.MsgText = "alpha u" + std::to_string(i) + "x" + (i % 5 == 0 ? " beta" : "") + (i >= 60 ? " delta" : "");
      ASSERT_TRUE(Mail.add() && MsgText.add()) << ErrorText();
    }
    ASSERT_TRUE(commitTransaction());
    OP_CLOSE(OpRelease, {FileControl, FileMail, FileMsgText});
  }

  // The installation directory is copied away and back with the installation closed.
  void reopen() {
    std::string error;
    ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
    Mem.DoTask = RunUnattended;
    ASSERT_TRUE(qv::selectDatabase(box));
  }
  void shut() {
    closeInstallation();
    Mem = MemState();
    MasIdxPath.clear();
    FileTmpName.clear();
  }
  void save(const std::string& to) {
    shut();
    fs::remove_all(to);
    fs::copy(dir.path(), to, fs::copy_options::recursive);
    reopen();
  }
  void restore(const std::string& from) {
    shut();
    for (const auto& e : fs::directory_iterator(dir.path())) fs::remove_all(e.path());
    fs::copy(from, dir.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    reopen();
  }

  IndexState state() {
    findDatabase(box);
    return {FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  }

  // Runs an index to its end in this process.
  int run(int mode) {
    IndexRun r(mode, kBatch, box, state());
    while (r.step()) {
    }
    storeIndexState(box, r.state());
    return r.result();
  }

  // Runs an index in a child process that dies at the planned point. True
  // when it died there, false when it ran to its end first.
  bool crash(int mode, KillPlan where) {
    shut();
    pid_t pid = ::fork();
    if (pid == 0) {
      std::string error;
      if (!openInstallation(dir.path(), error) || !qv::selectDatabase(box)) ::_exit(3);
      Mem.DoTask = RunUnattended;
      plan = where;
      calls = 0;
      indexTuning().probe = &killAtPlannedPoint;
      IndexRun r(mode, kBatch, box, state());
      while (r.step()) {
      }
      storeIndexState(box, r.state());
      closeInstallation();
      ::_exit(r.result() == 1 ? 0 : 4);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    reopen();
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), SIGKILL);
      return true;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child run failed: " << status;
    return false;
  }

  // How often an uninterrupted run passes each kind of point.
  std::array<int, kPointKinds> countRun(int mode) {
    counted.fill(0);
    indexTuning().probe = &countPoints;
    EXPECT_EQ(run(mode), 1);
    indexTuning().probe = nullptr;
    return counted;
  }

  IndexContent content() {
    IndexContent c;
    std::map<uint32_t, std::string> byId;
    OP_CLOSE(OpShared, {FileWordList, FileMasIdx, FileStopList});
    WordList.setFileOrder();
    while (WordList.next()) {
      c.counts[WOR.THEWORD.str()] = WOR.WORDCOUNT;
      byId[uint32_t(WOR.WORDID)] = WOR.THEWORD.str();
    }
    MasIdx.setFileOrder();
    while (MasIdx.next()) {
      auto it = byId.find(MAS.WORDID);
      c.occurrences.insert({it == byId.end() ? "#" + std::to_string(MAS.WORDID) : it->second, MAS.SYSID});
    }
    StopList.setFileOrder();
    while (StopList.next()) c.stop.insert(STO.THEWORD.str());
    OP_CLOSE(OpRelease, {FileWordList, FileMasIdx, FileStopList});
    for (const std::string& w : movedStopWords(box)) c.moved.insert(w);
    return c;
  }

  // Every count is the number of occurrence records of its word.
  static void expectCountsMatchOccurrences(const IndexContent& c, const std::string& where) {
    std::map<std::string, int32_t> kept;
    for (const auto& o : c.occurrences) ++kept[o.first];
    for (const auto& [w, n] : c.counts) EXPECT_EQ(n, kept[w]) << w << " " << where;
    for (const auto& [w, n] : kept) EXPECT_EQ(c.counts.count(w), 1u) << "occurrences of a word not in the list: " << w << " " << where;
  }

  uint32_t box = 0;
  qvtest::TempDir copies;
};

TEST_F(IndexInterruptTest, APartialRunKilledAnywhereAndResumedEndsLikeAnUninterruptedOne) {
  const std::string pristine = copies.file("pristine");
  save(pristine);
  std::array<int, kPointKinds> points = countRun(2);
  const IndexContent expected = content();
  ASSERT_TRUE(expected.moved.count("ALPHA") && expected.moved.count("NOTE") && expected.moved.count("DELTA"))
      << expected;
  EXPECT_TRUE(expected.stop.count("KEPT") && !expected.moved.count("KEPT"));
  EXPECT_GT(expected.counts.at("BETA"), 0);
  expectCountsMatchOccurrences(expected, "uninterrupted");
  ASSERT_GT(points[size_t(IndexPoint::BeforeCommit)], 4) << "several flushes";

  // Every flush boundary, every slice of a flush, and every third step.
  std::vector<KillPlan> plans;
  for (int kind : {int(IndexPoint::BeforeCommit), int(IndexPoint::AfterCommit), int(IndexPoint::FlushSlice)})
    for (int at = 1; at <= points[size_t(kind)]; ++at) plans.push_back({kind, at});
  for (int at = 1; at <= points[size_t(IndexPoint::Step)]; at += 3) plans.push_back({int(IndexPoint::Step), at});
  RecordProperty("kill points", int(plans.size()));
  for (const KillPlan& p : plans) {
    std::string where = "killed at point kind " + std::to_string(p.kind) + " call " + std::to_string(p.at);
    restore(pristine);
    ASSERT_TRUE(crash(2, p)) << where;
    expectCountsMatchOccurrences(content(), where + ", before resuming");
    ASSERT_EQ(run(2), 1) << where;
    EXPECT_EQ(content(), expected) << where;
    if (HasFailure()) break;
  }
}

TEST_F(IndexInterruptTest, FullRunsKilledInTheirFinalFlushThenAPartialRun) {
  // The index as an uninterrupted run leaves it, and a copy of it.
  ASSERT_EQ(run(2), 1);
  const IndexContent expected = content();
  ASSERT_TRUE(expected.moved.count("ALPHA")) << expected;
  const std::string indexed = copies.file("indexed");
  save(indexed);

  // An uninterrupted full run gives the moved words back and moves them again.
  std::array<int, kPointKinds> points = countRun(1);
  EXPECT_EQ(content(), expected);
  const int finalCommit = points[size_t(IndexPoint::BeforeCommit)];
  const int steps = points[size_t(IndexPoint::Step)];

  for (int second : {steps / 3, steps / 2, steps - 2}) {
    std::string where = "second full run killed at step " + std::to_string(second);
    restore(indexed);
    // A full run killed during its final flush, another killed on its way,
    // then a partial run.
    ASSERT_TRUE(crash(1, {int(IndexPoint::BeforeCommit), finalCommit})) << where;
    expectCountsMatchOccurrences(content(), where + ", after the first");
    ASSERT_TRUE(crash(1, {int(IndexPoint::Step), second})) << where;
    expectCountsMatchOccurrences(content(), where);
    ASSERT_EQ(run(2), 1) << where;
    EXPECT_EQ(content(), expected) << where;
  }

  // And the frequent words are found again after a full run that completes.
  restore(indexed);
  ASSERT_TRUE(crash(1, {int(IndexPoint::FlushSlice), 1}));
  ASSERT_EQ(run(2), 1);
  EXPECT_EQ(content(), expected);
}

// Makes the first flush's word list write fail: a record with the number the
// flush gives its first new word, written inside the flush's transaction.
bool injected = false;
void collideOnFirstWord(IndexPoint p) {
  if (p != IndexPoint::FlushSlice || injected) return;
  injected = true;
  WOR = WordListRec();
  WOR.WORDID = 1;
  WOR.THEWORD = "INTRUDER";
  WOR.WORDCOUNT = 1;
  EXPECT_TRUE(WordList.add()) << ErrorText();
}

TEST_F(IndexInterruptTest, AFailedFlushIsRolledBackWhole) {
  Mem.DoTask = RunInteractive;
  injected = false;
  indexTuning().probe = &collideOnFirstWord;
  EXPECT_EQ(run(2), 2);
  indexTuning().probe = nullptr;
  ASSERT_TRUE(injected);
  std::vector<std::string> captions;
  for (const auto& r : prompts.requests) captions.push_back(r.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Unexpected Error", "Rollback", "Rollback Complete"}))
      << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].text.rfind("Unexpected file error:Wordlist\r\n\r\non Message#", 0), 0u);
  // Nothing of the flush is left, the injected record included, and the resume point has not moved.
  IndexContent c = content();
  EXPECT_TRUE(c.counts.empty());
  EXPECT_TRUE(c.occurrences.empty());
  EXPECT_EQ(state().lastMsgId, 0u);
  // The next run does the work.
  prompts.reset();
  Mem.DoTask = RunUnattended;
  ASSERT_EQ(run(2), 1);
  c = content();
  expectCountsMatchOccurrences(c, "after the failed run");
  EXPECT_EQ(c.counts.at("BETA"), kTexts / 5);
}

// A halt just before the first flush's commit: it reaches the caller, the
// flush is rolled back whole and the run is closed, with nothing left for
// the run's end to write while the halt goes on.
void haltBeforeFirstCommit(IndexPoint p) {
  if (p == IndexPoint::BeforeCommit) Halt("Program aborted!");
}

TEST_F(IndexInterruptTest, AHaltRollsTheOpenFlushBackAndReachesTheCaller) {
  indexTuning().probe = &haltBeforeFirstCommit;
  std::optional<std::string> halted = qvtest::haltText([&] {
    IndexRun r(2, kBatch, box, state());
    while (r.step()) {
    }
  });
  indexTuning().probe = nullptr;
  ASSERT_TRUE(halted.has_value()) << "the run ended without the halt";
  EXPECT_EQ(*halted, "Program aborted!");
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(IndexingInProgress, 0);
  IndexContent c = content();
  EXPECT_TRUE(c.counts.empty());
  EXPECT_TRUE(c.occurrences.empty());
  EXPECT_EQ(state().lastMsgId, 0u);
  // The next run does the work.
  ASSERT_EQ(run(2), 1);
  c = content();
  expectCountsMatchOccurrences(c, "after the halted run");
  EXPECT_EQ(c.counts.at("BETA"), kTexts / 5);
}

}  // namespace
