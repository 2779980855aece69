// The engine base: the walk over steps of collected records, cancel, and
// what ends a run early: a halt in a slice rolls its open batch back and
// goes on to the caller, a working queue that cannot grow fails the run.
#include "services/engine_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_service.h"
#include "services/prompt.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

enum class Trouble { None, Halt, NoMemory };

// Two steps of `perStep` records each; with a batch, every record raises the
// control file's counter by one in the open batch.
struct CountingEngine : EngineRun {
  explicit CountingEngine(bool withBatch)
      : EngineRun(view, {"test-before-commit", "test-commit", 100, {}, 0}), batch(withBatch) {
    if (batch) tx.files = {&declaredFile(FileControl)};
  }
  ~CountingEngine() override { close(); }

  void start() { begin(1); }
  // The control file, opened by the test, is let go with the run.
  void holdControl() { heldFiles = {FileControl}; }
  std::string stepLabel() const override { return "step " + std::to_string(step); }
  void collect() override {
    for (int r = 1; r <= perStep; ++r) work.push_back(r);
  }
  bool item(int64_t record) override {
    if (batch && !raiseCounter()) return false;
    worked.push_back(step * 10 + int(record));
    if (step == troubleStep && record == 2) {
      if (trouble == Trouble::Halt) Halt("Program aborted!");
      if (trouble == Trouble::NoMemory) throw std::bad_alloc();
    }
    return done();
  }
  int nextStep() override { return step == 1 ? 2 : kEngineDone; }
  void finished() override { view.label = "finished"; }
  void ended() override { ++ends; }
  void rolledBack() override { ++rollbacks; }

  bool raiseCounter() {
    if (!change()) return false;
    CTL = ControlRec();
    CTL.ID = 1;
    if (!Control.get(CTL_IdKey)) return fail("no counter");
    ++CTL.NEXTNUMBER;
    return Control.put() || fail("counter not stored");
  }

  EngineView view;
  bool batch;
  int perStep = 3;
  Trouble trouble = Trouble::None;
  int troubleStep = 0;
  std::vector<int> worked;
  int ends = 0;
  int rollbacks = 0;
};

class EngineRunTest : public qvtest::InstallationTest {
 protected:
  uint32_t counter() {
    OP_CLOSE(OpShared, {FileControl});
    CTL = ControlRec();
    CTL.ID = 1;
    uint32_t n = Control.get(CTL_IdKey) ? CTL.NEXTNUMBER : 0;
    OP_CLOSE(OpRelease, {FileControl});
    return n;
  }
};

TEST_F(EngineRunTest, WalksEveryStepToItsEnd) {
  CountingEngine run(false);
  EXPECT_FALSE(run.tick(std::chrono::milliseconds(50))) << "not started";
  run.start();
  EXPECT_EQ(run.view.label, "step 1");
  EXPECT_EQ(driveToEnd(run), EngineState::Finished);
  EXPECT_EQ(run.worked, (std::vector<int>{11, 12, 13, 21, 22, 23}));
  EXPECT_EQ(run.view.label, "finished");
  EXPECT_EQ(run.view.done, 3);
  EXPECT_EQ(run.view.total, 3);
  EXPECT_TRUE(run.status().ok());
  EXPECT_EQ(run.ends, 1);
  EXPECT_FALSE(run.tick(std::chrono::milliseconds(50)));
}

TEST_F(EngineRunTest, CancelKeepsWhatTheOpenBatchHolds) {
  uint32_t before = counter();
  OP_CLOSE(OpShared, {FileControl});
  CountingEngine run(true);
  run.holdControl();
  run.perStep = 40;
  run.start();
  // A slice of no time ends after 16 records, their batch still open.
  EXPECT_TRUE(run.tick(std::chrono::milliseconds(0)));
  EXPECT_EQ(run.worked.size(), 16u);
  EXPECT_TRUE(transactionActive());
  run.cancel();
  EXPECT_EQ(run.state(), EngineState::Stopped);
  EXPECT_TRUE(run.status().ok());
  EXPECT_EQ(run.ends, 1);
  EXPECT_FALSE(transactionActive());
  run.close();
  EXPECT_EQ(counter(), before + 16);
}

TEST_F(EngineRunTest, AHaltRollsTheOpenBatchBackAndReachesTheCaller) {
  uint32_t before = counter();
  OP_CLOSE(OpShared, {FileControl});
  CountingEngine run(true);
  run.holdControl();
  run.trouble = Trouble::Halt;
  run.troubleStep = 2;
  run.start();
  std::optional<std::string> halted = qvtest::haltText([&] { driveToEnd(run); });
  ASSERT_TRUE(halted.has_value()) << "the halt did not reach the caller";
  EXPECT_EQ(*halted, "Program aborted!");
  EXPECT_EQ(run.state(), EngineState::Failed);
  EXPECT_FALSE(run.status().ok());
  EXPECT_EQ(run.status().text(), "Program aborted!");
  EXPECT_EQ(run.rollbacks, 1);
  EXPECT_FALSE(transactionActive());
  // Step 1 was committed with its end; step 2's two records were not.
  run.close();
  EXPECT_EQ(counter(), before + 3);
}

TEST_F(EngineRunTest, AQueueThatCannotGrowFailsTheRun) {
  CountingEngine run(false);
  run.trouble = Trouble::NoMemory;
  run.troubleStep = 1;
  run.start();
  EXPECT_EQ(driveToEnd(run), EngineState::Failed);
  EXPECT_EQ(run.view.failure, "a working queue could not grow");
  EXPECT_EQ(run.status().text(), "a working queue could not grow");
  EXPECT_EQ(run.worked, (std::vector<int>{11, 12}));
}

}  // namespace
