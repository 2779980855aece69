// The choices of the start dialog other than running the due task: passing
// over its run and deactivating it, written into the task's record.
#include <gtest/gtest.h>

#include "services/datetime.h"
#include "support/services_fixture.h"
#include "tasks/task_choices.h"
#include "tasks/task_edit.h"

using namespace qv;

namespace {

TaskClock at(int y, int mo, int d, int h, int mi) { return TaskClock{dateFromYMD(y, mo, d), timeFromHMS(h, mi, 0)}; }

class TaskChoicesTest : public qvtest::InstallationTest {
 protected:
  uint32_t add(const TaskEdit& e) {
    uint32_t id = AddTask(e);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }
  TasksRec read(uint32_t id) {
    TaskEdit e;
    EXPECT_TRUE(ReadTask(id, e));
    return e.task;
  }
};

}  // namespace

TEST_F(TaskChoicesTest, SkippingARepeatingTaskMovesItToItsNextRunAndKeepsItActive) {
  TaskEdit e;
  e.task.DESCRIPTION = "Weekly";
  e.task.DAYS[3] = 1;
  e.task.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  e.task.RUNNEXTTIME = timeFromHMS(10, 0, 0);
  e.task.LASTRUNDATE = dateFromYMD(2026, 12, 2);
  e.task.ACTIVE = 1;
  uint32_t id = add(e);
  ASSERT_TRUE(skipDueRun(id, at(2026, 12, 9, 10, 0)));
  TasksRec t = read(id);
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 16));
  EXPECT_EQ(t.LASTRUNDATE, dateFromYMD(2026, 12, 2)) << "a skipped run is no run";
  EXPECT_EQ(t.ACTIVE, 1);
}

TEST_F(TaskChoicesTest, SkippingTheLastOneOffRunEndsTheTask) {
  TaskEdit e;
  e.task.DESCRIPTION = "Once";
  e.task.RUNNOWDATE = dateFromYMD(2026, 12, 10);
  e.task.RUNNOWTIME = timeFromHMS(1, 0, 0);
  e.task.ACTIVE = 1;
  uint32_t id = add(e);
  ASSERT_TRUE(skipDueRun(id, at(2026, 12, 10, 1, 0)));
  TasksRec t = read(id);
  EXPECT_EQ(t.RUNNOWDATE, 0);
  EXPECT_EQ(t.ACTIVE, 0) << "left active, the passed-over run would be found due at once";
}

TEST_F(TaskChoicesTest, DeactivatingTouchesOnlyThatTask) {
  TaskEdit e;
  e.task.DESCRIPTION = "Nightly";
  e.task.DAYS[1] = 1;
  e.task.RUNNEXTTIME = timeFromHMS(3, 0, 0);
  e.task.ACTIVE = 1;
  uint32_t a = add(e);
  e.task.DESCRIPTION = "Other";
  uint32_t b = add(e);
  int32_t next = read(a).RUNNEXTDATE;
  ASSERT_TRUE(deactivateTask(a));
  EXPECT_EQ(read(a).ACTIVE, 0);
  EXPECT_EQ(read(a).RUNNEXTDATE, next);
  EXPECT_EQ(read(b).ACTIVE, 1);
  prompts.reset();
  EXPECT_FALSE(deactivateTask(b + a + 1000)) << "a task that is gone cannot be changed";
}
