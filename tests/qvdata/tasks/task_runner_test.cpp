// The task runner with the library's engines: a task's imports, the
// cleanup steps on the databases they touched, the log, the rescheduling,
// a task stopped by the user, a deleted definition, a second run that finds
// nothing new, and a run cut short whose databases the next run cleans up.
#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "support/generated_sources.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"
#include "tasks/task_log.h"
#include "tasks/task_pending.h"
#include "tasks/task_runner.h"
#include "tasks/task_schedule.h"
#include "tasks/task_step_run.h"

using namespace qv;
using qvtest::readFile;
using qvtest::writeFile;

namespace {

const char* kOwner = "mary@owner.example";

TaskClock at(int y, int mo, int d, int h, int mi) { return TaskClock{dateFromYMD(y, mo, d), timeFromHMS(h, mi, 0)}; }

TEST(TaskLogLines, AreWrittenAsTheLogGivesThem) {
  TaskLogReport r;
  r.task = "Nightly   ";
  r.written = at(2026, 12, 9, 3, 7);
  r.links = {{"Mail in  ", ResultCompleted, 12}, {"News", ResultErrors, 0}, {"Old", ResultNotRun, 0}};
  r.cleanup = {{"Mary Owner", CleanupDuplicates, ResultCompleted, 1234567},
               {"Mary Owner", CleanupPurge, ResultErrors, 3},
               {"comp.test", CleanupCount, ResultNotRun, 0},
               {"comp.test", CleanupIndex, ResultCompleted, 0}};
  std::vector<std::string> expected = {
      "",
      "Nightly Wednesday, December 9, 2026 03:07",
      "Import procedures:",
      " Mail in Result: No errors Time: 12     s",
      " News Result: Errors reported ",
      " Old Result: Batch not run ",
      "Cleanup procedures:",
      " Mary Owner/Merging Duplicates Result: No errors Time: 1234567 s",
      " Mary Owner/Purging Messages Result: Errors reported ",
      " comp.test/Counting Result: Batch not run ",
      " comp.test/Indexing Words Result: No errors Time: 0      s",
  };
  EXPECT_EQ(taskLogLines(r), expected);
}

class TaskRunnerTest : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    taskState() = TaskRunState();
    MailboxSpec spec;
    spec.owner = "Mary Owner";
    spec.address = kOwner;
    mailbox = AddMailbox(spec);
    ASSERT_NE(mailbox, 0u);
    ASSERT_TRUE(setAutoIndexing(mailbox, true));
    writeFile(sources.file("one.mbx"), qvtest::generatedMbox(30, kOwner));
    writeFile(sources.file("two.mbx"), qvtest::generatedMbox(20, "other@x.example"));
  }
  void TearDown() override {
    taskState() = TaskRunState();
    Mem.DoTask = RunInteractive;
    InstallationTest::TearDown();
  }

  uint32_t definition(const std::string& name, const std::string& file) {
    ImportSettings s;
    s.format = "Unix Mail";
    s.method = SelectFiles;
    s.path = sources.path();
    s.masks = {sources.file(file)};
    s.importMail = true;
    s.mailbox = mailbox;
    uint32_t id = AddImportDefinition(name, s);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  uint32_t task(const std::string& name, std::vector<uint32_t> defs, bool weekly) {
    TaskEdit e;
    e.task.DESCRIPTION = name;
    e.task.ACTIVE = 1;
    e.task.DODUPELIM = e.task.DOPURGE = e.task.DOCOUNT = e.task.DOINDEX = 1;
    if (weekly) {
      e.task.DAYS[3] = 1;
      e.task.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
      e.task.RUNNEXTTIME = timeFromHMS(2, 0, 0);
    } else {
      e.task.RUNNOWDATE = dateFromYMD(2026, 12, 9);
      e.task.RUNNOWTIME = timeFromHMS(2, 0, 0);
    }
    e.definitions = std::move(defs);
    uint32_t id = AddTask(e);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  static TasksRec stored(uint32_t id) {
    TaskEdit e;
    EXPECT_TRUE(ReadTask(id, e));
    return e.task;
  }
  static std::vector<TaskBatchRec> links(uint32_t id) {
    std::vector<TaskBatchRec> out;
    OP_CLOSE(OpShared, {FileTaskBatch});
    TIM = TaskBatchRec();
    TIM.TASKID = id;
    TaskBatch.setPrefix(TIM_TASKKEY, 1);
    while (TaskBatch.next() && TIM.TASKID == id) out.push_back(TIM);
    OP_CLOSE(OpRelease, {FileTaskBatch});
    return out;
  }
  TaskDriver driverAt(TaskClock c) {
    TaskDriver d;
    d.clock = [c] { return c; };
    d.onStep = [this](const TaskStep& s) { steps.push_back(s); };
    return d;
  }

  qvtest::TempDir sources;
  uint32_t mailbox = 0;
  std::vector<TaskStep> steps;
};

TEST_F(TaskRunnerTest, ImportsThenCleansUpEveryTouchedDatabaseAndLogs) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t b = definition("Mail two", "two.mbx");
  uint32_t id = task("Nightly", {a, b}, true);
  TaskClock end = at(2026, 12, 9, 2, 30);
  TaskOutcome out = runTask(id, driverAt(end));
  ASSERT_TRUE(out.ran);
  EXPECT_EQ(out.result, ResultCompleted) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << "nothing is asked while a task runs: " << prompts.transcript();
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].kind, TaskStepKind::Import);
  EXPECT_EQ(steps[0].batch, a);
  EXPECT_EQ(steps[1].batch, b);
  // The mailbox once, though both imports touched it; count is left to the purge.
  EXPECT_EQ(steps[2].kind, TaskStepKind::MergeDuplicates);
  EXPECT_EQ(steps[3].kind, TaskStepKind::Purge);
  EXPECT_EQ(steps[4].kind, TaskStepKind::WordIndex);
  for (size_t i = 2; i < steps.size(); ++i) EXPECT_EQ(steps[i].database, mailbox);

  for (const TaskBatchRec& l : links(id)) EXPECT_EQ(l.RESULTCODE, ResultCompleted);
  ASSERT_EQ(out.logLines.size(), 9u);
  EXPECT_EQ(out.logLines[1], "Nightly Wednesday, December 9, 2026 02:30");
  EXPECT_EQ(out.logLines[2], "Import procedures:");
  EXPECT_EQ(out.logLines[3].rfind(" Mail one Result: No errors Time: ", 0), 0u) << out.logLines[3];
  EXPECT_EQ(out.logLines[4].rfind(" Mail two Result: No errors Time: ", 0), 0u) << out.logLines[4];
  EXPECT_EQ(out.logLines[5], "Cleanup procedures:");
  EXPECT_EQ(out.logLines[6].rfind(" Mary Owner/Merging Duplicates Result: No errors Time: ", 0), 0u);
  EXPECT_EQ(out.logLines[7].rfind(" Mary Owner/Purging Messages Result: No errors Time: ", 0), 0u);
  EXPECT_EQ(out.logLines[8].rfind(" Mary Owner/Indexing Words Result: No errors Time: ", 0), 0u);
  std::string log;
  for (const std::string& l : out.logLines) log += l + "\n";
  EXPECT_EQ(readFile(taskLogPath()), log);
  EXPECT_EQ(std::filesystem::status(taskLogPath()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  TasksRec t = stored(id);
  EXPECT_EQ(t.ACTIVE, 1);
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 16));
  EXPECT_EQ(t.LASTRUNDATE, end.date);
  EXPECT_EQ(t.RESULTCODE, ResultCompleted);
  EXPECT_EQ(Mem.DoTask, RunInteractive);
  EXPECT_EQ(taskState().task.ID, 0u);
  EXPECT_FALSE(std::filesystem::exists(taskRunPath()));
  ASSERT_TRUE(findDatabase(mailbox));
  uint32_t count = FOR.MSGCOUNT;
  EXPECT_GE(count, 30u);
  EXPECT_NE(FOR.LASTMSGID, 0u) << "indexed";

  // The next run finds nothing new: still no error, and the log grows.
  steps.clear();
  TaskOutcome again = runTask(id, driverAt(at(2026, 12, 16, 2, 0)));
  EXPECT_EQ(again.result, ResultCompleted) << prompts.transcript();
  EXPECT_FALSE(again.stopped);
  EXPECT_EQ(stored(id).ACTIVE, 1);
  EXPECT_EQ(stored(id).RUNNEXTDATE, dateFromYMD(2026, 12, 23));
  ASSERT_TRUE(findDatabase(mailbox));
  EXPECT_EQ(FOR.MSGCOUNT, count) << "nothing new";
  std::string both = readFile(taskLogPath());
  EXPECT_EQ(both.substr(0, log.size()), log);
  EXPECT_EQ(both.find("\nNightly Wednesday, December 16, 2026 02:00\n"), log.size()) << both;
  // A database that received nothing is not touched: no cleanup runs on it.
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].kind, TaskStepKind::Import);
  ASSERT_EQ(again.logLines.size(), 6u);
  EXPECT_EQ(again.logLines[5], "Cleanup procedures:");
}

// "Index words" indexes only the databases whose automatic word indexing is
// on; another one is named in the log, and that is no error.
TEST_F(TaskRunnerTest, IndexingADatabaseWithoutAutomaticIndexingIsLoggedAsNotRun) {
  ASSERT_TRUE(setAutoIndexing(mailbox, false));
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t id = task("Nightly", {a}, true);
  TaskOutcome out = runTask(id, driverAt(at(2026, 12, 9, 2, 30)));
  EXPECT_EQ(out.result, ResultCompleted) << prompts.transcript();
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[2].kind, TaskStepKind::Purge);
  ASSERT_EQ(out.logLines.size(), 8u);
  EXPECT_EQ(out.logLines[7],
            " Mary Owner/Indexing Words Result: Not run, automatic word indexing is off for this database ");
  EXPECT_EQ(stored(id).RESULTCODE, ResultCompleted);
  ASSERT_TRUE(findDatabase(mailbox));
  EXPECT_EQ(FOR.LASTMSGID, 0u) << "not indexed";
}

TEST_F(TaskRunnerTest, AStoppedTaskIsDeactivatedAndItsLinksNotRunAreLogged) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t b = definition("Mail two", "two.mbx");
  uint32_t id = task("Stopped", {a, b}, true);
  TaskDriver d = driverAt(at(2026, 12, 9, 2, 30));
  d.stopRequested = [] { return true; };  // the user stops it after the first step
  TaskOutcome out = runTask(id, d);
  EXPECT_TRUE(out.stopped);
  ASSERT_EQ(steps.size(), 1u);
  ASSERT_EQ(out.logLines.size(), 6u);
  EXPECT_EQ(out.logLines[3].rfind(" Mail one Result: No errors Time: ", 0), 0u);
  EXPECT_EQ(out.logLines[4], " Mail two Result: Batch not run ");
  EXPECT_EQ(out.logLines[5], "Cleanup procedures:");
  TasksRec t = stored(id);
  EXPECT_EQ(t.ACTIVE, 0);
  EXPECT_EQ(t.RUNNOWDATE, 0);
  EXPECT_EQ(Mem.DoTask, RunInteractive);
  TasksRec due;
  EXPECT_FALSE(findDueTask(at(2026, 12, 30, 12, 0), due));
}

// A nightly task over a drop folder that is empty tonight has nothing new
// to import: no error, and it stays active. A folder that has gone is an
// error.
TEST_F(TaskRunnerTest, AnEmptyFolderIsNothingNewAndAMissingOneAnError) {
  qvtest::TempDir drop;
  ImportSettings s;
  s.format = "Unix Mail";
  s.method = SelectDirectory;
  s.path = drop.path();
  s.masks = {"*.mbx"};
  s.importMail = true;
  s.mailbox = mailbox;
  uint32_t def = AddImportDefinition("Drop folder", s);
  ASSERT_NE(def, 0u) << prompts.transcript();
  uint32_t id = task("Nightly", {def}, true);
  TaskOutcome out = runTask(id, driverAt(at(2026, 12, 9, 2, 30)));
  EXPECT_FALSE(out.stopped);
  EXPECT_EQ(out.result, ResultCompleted);
  ASSERT_GE(out.logLines.size(), 4u);
  EXPECT_EQ(out.logLines[3].rfind(" Drop folder Result: No errors Time: ", 0), 0u) << out.logLines[3];
  EXPECT_EQ(stored(id).ACTIVE, 1);

  std::filesystem::remove_all(drop.path());
  steps.clear();
  out = runTask(id, driverAt(at(2026, 12, 16, 2, 30)));
  EXPECT_EQ(out.result, ResultErrors);
  ASSERT_GE(out.logLines.size(), 4u);
  EXPECT_EQ(out.logLines[3], " Drop folder Result: Errors reported ");
}

TEST_F(TaskRunnerTest, ADeletedDefinitionEndsTheImportsButNotTheCleanup) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t gone = definition("Gone", "two.mbx");
  uint32_t id = task("Broken", {a, gone}, false);
  // The definition goes, its link stays (as a file edited elsewhere leaves it).
  OP_CLOSE(OpShared, {FileBatches});
  BAT = BatchesRec();
  BAT.ID = gone;
  ASSERT_TRUE(Batches.get(BAT_IDKEY));
  ASSERT_TRUE(Batches.remove());
  OP_CLOSE(OpRelease, {FileBatches});
  TaskOutcome out = runTask(id, driverAt(at(2026, 12, 9, 2, 30)));
  EXPECT_EQ(out.result, ResultCompleted);
  ASSERT_GE(out.logLines.size(), 6u);
  EXPECT_EQ(out.logLines[4], "  Result: Batch not run ");
  EXPECT_EQ(out.logLines[5], "Cleanup procedures:");
  EXPECT_EQ(out.logLines.size(), 9u) << "the cleanup of the mailbox still runs";
  // A one-off task runs once.
  EXPECT_EQ(stored(id).ACTIVE, 0);
}

TEST_F(TaskRunnerTest, ARunCutShortIsCleanedUpByTheNextRun) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t id = task("Cut", {a}, true);
  // A run whose imports were done when the process died.
  ASSERT_TRUE(startTask(id));
  TaskStep s = nextTaskStep();
  ASSERT_EQ(s.kind, TaskStepKind::Import);
  int64_t seconds = 0;
  std::vector<uint32_t> touched;
  ASSERT_EQ(runTaskStep(s, seconds, touched), ResultCompleted);
  EXPECT_EQ(pendingDatabases(id), std::vector<uint32_t>{mailbox});
  taskState() = TaskRunState();  // the process is gone
  Mem.DoTask = RunInteractive;

  TaskOutcome out = runTask(id, driverAt(at(2026, 12, 9, 3, 0)));
  EXPECT_EQ(out.result, ResultCompleted);
  ASSERT_EQ(steps.size(), 4u);
  EXPECT_EQ(steps[1].kind, TaskStepKind::MergeDuplicates);
  EXPECT_EQ(steps[1].database, mailbox);
  EXPECT_TRUE(pendingDatabases(id).empty());
}

// A database deleted from the list, or a task deleted, leaves nothing
// behind for a later run to clean up: the scheduler forgets it.
TEST_F(TaskRunnerTest, ADeletedDatabaseOrTaskIsForgottenByTheScheduler) {
  MailboxSpec spec;
  spec.owner = "Other Owner";
  spec.address = "other@owner.example";
  uint32_t other = AddMailbox(spec);
  ASSERT_NE(other, 0u);
  uint32_t id = task("Cut", {definition("Mail one", "one.mbx")}, true);
  uint32_t goneTask = id + 1000;
  ASSERT_TRUE(addPendingDatabase(id, mailbox));
  ASSERT_TRUE(addPendingDatabase(id, other));
  ASSERT_TRUE(addPendingDatabase(goneTask, other));
  ASSERT_TRUE(DeleteDatabase(mailbox));
  EXPECT_EQ(pendingDatabases(id), std::vector<uint32_t>{other});
  EXPECT_TRUE(pendingDatabases(goneTask).empty());

  // Started on it, the next run cleans up only the database that is there.
  runTask(id, driverAt(at(2026, 12, 9, 3, 0)));
  for (const TaskStep& s : steps) {
    if (s.kind != TaskStepKind::Import) {
      EXPECT_EQ(s.database, other);
    }
  }
  EXPECT_TRUE(pendingDatabases(id).empty());
}

TEST_F(TaskRunnerTest, TheStepApiServesADriverOfItsOwn) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t id = task("Windows", {a}, true);
  std::vector<int> events;
  setTaskNotifier([&](int e) { events.push_back(e); });
  ASSERT_TRUE(startTask(id));
  EXPECT_EQ(events, std::vector<int>{TaskEvStep});
  TaskStep s = nextTaskStep();
  EXPECT_EQ(taskStepEvent(s.kind), TaskEvImport);
  EXPECT_EQ(taskState().batch.ID, a);
  // The window reports the import; the databases it posted to are queued.
  CleanUpTouched(mailbox);
  ASSERT_TRUE(reportTaskStep(ResultCompleted, 7));
  s = nextTaskStep();
  EXPECT_EQ(taskStepEvent(s.kind), TaskEvDuplicates);
  EXPECT_EQ(taskState().batch.DATABASE, mailbox);
  // The maintenance window hands over through CleanUp 4: the next step's code.
  EXPECT_EQ(CleanUpReport(3, true, CleanupDuplicates, mailbox), CleanupPurge);
  EXPECT_EQ(CleanUpReport(4, false, CleanupPurge, mailbox), CleanupIndex);
  EXPECT_EQ(CleanUpReport(5, true, CleanupIndex, mailbox), CleanupEnd);
  EXPECT_EQ(nextTaskStep().kind, TaskStepKind::Finished);
  TaskOutcome out = finishTask(at(2026, 12, 9, 2, 10));
  setTaskNotifier(nullptr);
  EXPECT_EQ(events.back(), TaskEvEnded);
  EXPECT_EQ(out.result, ResultErrors);
  ASSERT_EQ(out.logLines.size(), 8u);
  EXPECT_EQ(out.logLines[3], " Mail one Result: No errors Time: 7      s");
  EXPECT_EQ(out.logLines[5], " Mary Owner/Merging Duplicates Result: No errors Time: 3      s");
  EXPECT_EQ(out.logLines[6], " Mary Owner/Purging Messages Result: Errors reported ");
  EXPECT_EQ(out.logLines[7], " Mary Owner/Indexing Words Result: No errors Time: 5      s");
  EXPECT_EQ(stored(id).RESULTCODE, ResultErrors);
}

}  // namespace

TEST_F(TaskRunnerTest, EveryStepRunsInSlicesThatAWindowCanTick) {
  uint32_t a = definition("Mail one", "one.mbx");
  uint32_t id = task("Sliced", {a}, true);
  ASSERT_TRUE(startTask(id));
  std::vector<TaskStepKind> kinds;
  for (TaskStep s = nextTaskStep(); s.kind != TaskStepKind::Finished; s = nextTaskStep()) {
    TaskStepRun run(s);
    int ticks = 0;
    while (run.tick(std::chrono::milliseconds(0))) {
      ++ticks;
      EXPECT_FALSE(run.activity().empty());
    }
    // A slice of no time still moves the step on: it ends, and not in one go.
    // The mailbox indexes automatically, so the import indexed its words in
    // its pass and the index step finds nothing left to do.
    if (s.kind == TaskStepKind::WordIndex)
      EXPECT_EQ(ticks, 0) << taskStepName(s);
    else
      EXPECT_GT(ticks, 1) << taskStepName(s);
    EXPECT_EQ(run.result(), ResultCompleted) << taskStepName(s);
    reportTaskStep(run.result(), run.seconds(), run.touched());
    kinds.push_back(s.kind);
  }
  EXPECT_EQ(kinds, (std::vector<TaskStepKind>{TaskStepKind::Import, TaskStepKind::MergeDuplicates,
                                              TaskStepKind::Purge, TaskStepKind::WordIndex}));
  TaskOutcome out = finishTask(at(2026, 12, 9, 2, 30));
  EXPECT_EQ(out.result, ResultCompleted);
  EXPECT_EQ(out.logLines.size(), 8u);
}
