// When scheduled tasks are due and when they run next: the monitor's rule,
// restriction and postponement, rescheduling after a run and skipping a
// run, all judged at moments the tests choose.
#include <gtest/gtest.h>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "tasks/task_schedule.h"
#include "tasks/task_state.h"

using namespace qv;

namespace {

TaskClock at(int y, int mo, int d, int h, int mi) { return TaskClock{dateFromYMD(y, mo, d), timeFromHMS(h, mi, 0)}; }

TasksRec weekly(int weekdayFlag, int h, int mi) {
  TasksRec t;
  t.ID = 1;
  t.ACTIVE = 1;
  t.DAYS[size_t(weekdayFlag)] = 1;
  t.RUNNEXTTIME = timeFromHMS(h, mi, 0);
  return t;
}

TEST(TaskDue, NextRunDateAndTimeDecide) {
  TasksRec t = weekly(3, 10, 0);
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 9, 59)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 9, 10, 0)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 10, 0, 1))) << "a day after the date it is due at any time";
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 8, 23, 0)));
}

TEST(TaskDue, NeedsActiveAndALink) {
  TasksRec t = weekly(3, 10, 0);
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 1);
  EXPECT_FALSE(dueTask(t, false, at(2026, 12, 9, 12, 0)));
  t.ACTIVE = 0;
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 12, 0)));
}

TEST(TaskDue, OneOffNeverRunsBeforeItsDateAndTime) {
  TasksRec t;
  t.ACTIVE = 1;
  // Saved at 13:34 for 23:00 today.
  t.RUNNOWDATE = dateFromYMD(2026, 12, 9);
  t.RUNNOWTIME = timeFromHMS(23, 0, 0);
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 13, 35)));
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 22, 59)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 9, 23, 0)));
  // Set for 13:33: not due at 13:32:52.
  t.RUNNOWTIME = timeFromHMS(13, 33, 0);
  EXPECT_FALSE(dueTask(t, true, TaskClock{t.RUNNOWDATE, timeFromHMS(13, 32, 52)}));
  EXPECT_TRUE(dueTask(t, true, TaskClock{t.RUNNOWDATE, timeFromHMS(13, 33, 0)}));
  // The day after, a run missed (the program was not running) is made up at any time.
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 10, 0, 1)));
  t.RUNNOWTIME = 0;
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 23, 0))) << "a one-off date without a time is no request";
}

TEST(TaskDue, OneOffAheadWaitsForItsDayAndTime) {
  TasksRec t;
  t.ACTIVE = 1;
  t.RUNNOWDATE = dateFromYMD(2026, 12, 20);
  t.RUNNOWTIME = timeFromHMS(9, 0, 0);
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 9, 12, 0)));
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 19, 23, 59)));
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 20, 0, 0)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 20, 9, 0)));
}

TEST(TaskRestriction, OnlyAPeriodEndingAfterItsStartRestricts) {
  MonitorSettings s;
  s.quietFrom = 8 * 60;
  s.quietTo = 18 * 60;
  EXPECT_FALSE(restrictionHolds(s, at(2026, 12, 9, 7, 59)));
  EXPECT_TRUE(restrictionHolds(s, at(2026, 12, 9, 8, 0)));
  EXPECT_TRUE(restrictionHolds(s, at(2026, 12, 9, 17, 59)));
  EXPECT_FALSE(restrictionHolds(s, at(2026, 12, 9, 18, 0)));
  // A period that crosses midnight restricts nothing, at any hour.
  s.quietFrom = 22 * 60;
  s.quietTo = 6 * 60;
  for (int h = 0; h < 24; ++h) EXPECT_FALSE(restrictionHolds(s, at(2026, 12, 9, h, 30))) << h;
  s.quietFrom = s.quietTo = 0;
  EXPECT_FALSE(restrictionHolds(s, at(2026, 12, 9, 0, 0)));
}

TEST(TaskReschedule, OneOffRunsOnceAndIsThenInactive) {
  TasksRec t;
  t.ACTIVE = 1;
  t.RUNNOWDATE = dateFromYMD(2026, 12, 9);
  t.RUNNOWTIME = timeFromHMS(10, 0, 0);
  TaskClock done = at(2026, 12, 9, 10, 5);
  ASSERT_TRUE(dueTask(t, true, done));
  rescheduleTask(t, done);
  EXPECT_EQ(t.ACTIVE, 0);
  EXPECT_EQ(t.RUNNOWDATE, 0);
  EXPECT_EQ(t.RUNNOWTIME, 0);
  EXPECT_EQ(t.RUNNEXTDATE, 0);
  EXPECT_EQ(t.LASTRUNDATE, done.date);
  EXPECT_EQ(t.LASTRUNTIME, done.time);
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 10, 10, 0)));
}

TEST(TaskReschedule, WeeklyOnTodaysWeekdayIsNextDueInSevenDays) {
  TaskClock run = at(2026, 12, 9, 10, 0);
  TasksRec t = weekly(weekday(run.date), 10, 0);
  t.RUNNEXTDATE = run.date;
  rescheduleTask(t, run);
  EXPECT_EQ(t.RUNNEXTDATE, run.date + 7);
  EXPECT_EQ(t.RUNNEXTTIME, timeFromHMS(10, 0, 0));
  EXPECT_EQ(t.ACTIVE, 1);
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 16, 9, 59)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 16, 10, 0)));
}

TEST(TaskReschedule, WeekdaysGiveTheNearestFollowingOne) {
  TasksRec t;
  t.DAYS[1] = t.DAYS[5] = 1;  // Monday and Friday
  int32_t wednesday = dateFromYMD(2026, 12, 9);
  ASSERT_EQ(weekday(wednesday), 3);
  EXPECT_EQ(nextRepeatDate(t, wednesday), dateFromYMD(2026, 12, 11));
  EXPECT_EQ(nextRepeatDate(t, dateFromYMD(2026, 12, 11)), dateFromYMD(2026, 12, 14));
}

TEST(TaskReschedule, MonthDaysFiveAndTwentyRunOnTheTwentyFifth) {
  TasksRec t;
  t.ACTIVE = 1;
  t.MONTHDAYS = {20, 5, 0, 0, 0};
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 20);
  t.RUNNEXTTIME = timeFromHMS(3, 0, 0);
  rescheduleTask(t, at(2026, 12, 25, 3, 0));
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2027, 1, 5));
  EXPECT_EQ(t.RUNNEXTTIME, timeFromHMS(3, 0, 0));
  EXPECT_EQ(t.ACTIVE, 1);
  // Before the 20th the 20th of this month comes first.
  EXPECT_EQ(nextRepeatDate(t, dateFromYMD(2027, 1, 5)), dateFromYMD(2027, 1, 20));
  // A day the month does not have falls on its last day.
  t.MONTHDAYS = {31, 0, 0, 0, 0};
  EXPECT_EQ(nextRepeatDate(t, dateFromYMD(2027, 2, 3)), dateFromYMD(2027, 2, 28));
}

TEST(TaskReschedule, OneOffRequestOnARepeatingTaskKeepsItsSchedule) {
  TasksRec t = weekly(1, 6, 0);
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 14);
  t.RUNNOWDATE = dateFromYMD(2026, 12, 9);
  t.RUNNOWTIME = timeFromHMS(12, 0, 0);
  rescheduleTask(t, at(2026, 12, 9, 12, 1));
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 14));
  EXPECT_EQ(t.RUNNOWDATE, 0);
  EXPECT_EQ(t.ACTIVE, 1);
}

TEST(TaskReschedule, NextRunDateWithoutRepeatDaysRunsOnce) {
  TasksRec t;
  t.ACTIVE = 1;
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  t.RUNNEXTTIME = timeFromHMS(10, 0, 0);
  TaskClock run = at(2026, 12, 9, 10, 0);
  ASSERT_TRUE(dueTask(t, true, run));
  rescheduleTask(t, run);
  EXPECT_EQ(t.ACTIVE, 0);
  EXPECT_EQ(t.RUNNEXTDATE, 0);
  for (TaskClock later : {at(2026, 12, 9, 10, 1), at(2026, 12, 10, 10, 0), at(2027, 1, 1, 0, 0)})
    EXPECT_FALSE(dueTask(t, true, later));
}

TEST(TaskReschedule, OneOffBeforeALaterNextRunDateKeepsThatDate) {
  TasksRec t;
  t.ACTIVE = 1;
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 20);
  t.RUNNEXTTIME = timeFromHMS(10, 0, 0);
  t.RUNNOWDATE = dateFromYMD(2026, 12, 9);
  t.RUNNOWTIME = timeFromHMS(8, 0, 0);
  rescheduleTask(t, at(2026, 12, 9, 8, 0));
  EXPECT_EQ(t.ACTIVE, 1);
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 20));
  EXPECT_FALSE(dueTask(t, true, at(2026, 12, 10, 9, 0)));
  EXPECT_TRUE(dueTask(t, true, at(2026, 12, 20, 10, 0)));
}

TEST(TaskSkip, ClearsAOneOffOrMovesToTheNextRun) {
  TasksRec t = weekly(3, 10, 0);
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  t.LASTRUNDATE = dateFromYMD(2026, 12, 2);
  skipTaskRun(t, at(2026, 12, 9, 10, 0));
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 16));
  EXPECT_EQ(t.LASTRUNDATE, dateFromYMD(2026, 12, 2)) << "a skipped run is no run";
  t.RUNNOWDATE = dateFromYMD(2026, 12, 10);
  t.RUNNOWTIME = timeFromHMS(1, 0, 0);
  skipTaskRun(t, at(2026, 12, 10, 1, 0));
  EXPECT_EQ(t.RUNNOWDATE, 0);
  EXPECT_EQ(t.RUNNEXTDATE, dateFromYMD(2026, 12, 16));
}

TEST(TaskClock, AfterCarriesOverMidnight) {
  TaskClock c = clockAfter(at(2026, 12, 9, 23, 0), 2 * int64_t(kHundredthsPerHour));
  EXPECT_EQ(c.date, dateFromYMD(2026, 12, 10));
  EXPECT_EQ(c.time, timeFromHMS(1, 0, 0));
  EXPECT_TRUE(clockBefore(at(2026, 12, 9, 23, 0), c));
  EXPECT_FALSE(clockBefore(c, c));
}

// The monitor over the stored tasks and the installation's settings.
class TaskMonitorTest : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    taskState() = TaskRunState();
    events.clear();
    setTaskNotifier([this](int e) { events.push_back(e); });
  }
  void TearDown() override {
    setTaskNotifier(nullptr);
    taskState() = TaskRunState();
    InstallationTest::TearDown();
  }
  void addTask(const TasksRec& t, bool link) {
    OP_CLOSE(OpShared, {FileTasks, FileTaskBatch});
    TAS = t;
    ASSERT_TRUE(Tasks.add());
    if (link) {
      TIM = TaskBatchRec();
      TIM.TASKID = t.ID;
      TIM.BATCHID = 777;
      ASSERT_TRUE(TaskBatch.add());
    }
    OP_CLOSE(OpRelease, {FileTasks, FileTaskBatch});
  }
  std::vector<int> events;
};

TEST_F(TaskMonitorTest, FindsTheFirstDueTaskInFileOrder) {
  TasksRec noLink = weekly(3, 9, 0);
  noLink.ID = 501;
  noLink.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  addTask(noLink, false);
  TasksRec later = weekly(3, 11, 0);
  later.ID = 502;
  later.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  addTask(later, true);
  TasksRec first = weekly(3, 10, 0);
  first.ID = 503;
  first.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  addTask(first, true);

  EXPECT_FALSE(TaskMonitor(at(2026, 12, 9, 9, 30)));
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(TaskMonitor(at(2026, 12, 9, 11, 30)));
  EXPECT_EQ(taskState().task.ID, 502u) << "file order, not the earliest time";
  EXPECT_EQ(Mem.DoTask, RunTaskDue);
  EXPECT_EQ(events, std::vector<int>{TaskEvDue});
  // Nothing more while a task is asked for.
  EXPECT_FALSE(TaskMonitor(at(2026, 12, 9, 11, 30)));
}

TEST_F(TaskMonitorTest, PostponingHoldsEveryTaskForItsHours) {
  for (uint32_t id : {601u, 602u}) {
    TasksRec t = weekly(3, 10, 0);
    t.ID = id;
    t.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
    addTask(t, true);
  }
  TasksRec found;
  postponeTasks(2, at(2026, 12, 9, 10, 0));
  EXPECT_FALSE(findDueTask(at(2026, 12, 9, 10, 0), found));
  EXPECT_FALSE(findDueTask(at(2026, 12, 9, 11, 59), found));
  ASSERT_TRUE(findDueTask(at(2026, 12, 9, 12, 0), found));
  EXPECT_EQ(found.ID, 601u);
  postponeTasks(2, at(2026, 12, 9, 10, 0));
  clearPostponement();
  EXPECT_TRUE(findDueTask(at(2026, 12, 9, 10, 0), found));
}

TEST_F(TaskMonitorTest, SettingsAndBusyHoldTheMonitor) {
  TasksRec t = weekly(3, 10, 0);
  t.ID = 701;
  t.RUNNEXTDATE = dateFromYMD(2026, 12, 9);
  addTask(t, true);
  TasksRec found;
  TaskClock noon = at(2026, 12, 9, 12, 0);
  KonfigSet(ItemNoTasks, 1);
  EXPECT_FALSE(findDueTask(noon, found)) << "Deactivate all tasks";
  KonfigSet(ItemNoTasks, 0);
  KonfigSet(ItemTaskQuietFrom, 11 * 60);
  KonfigSet(ItemTaskQuietTo, 13 * 60);
  EXPECT_FALSE(findDueTask(noon, found)) << "restriction period";
  KonfigSet(ItemTaskQuietFrom, 23 * 60);
  KonfigSet(ItemTaskQuietTo, 1 * 60);
  EXPECT_TRUE(findDueTask(noon, found)) << "a period over midnight restricts nothing";
  NextTaskSuspend();
  EXPECT_FALSE(findDueTask(noon, found)) << "a task procedure is busy";
  NextTaskResume();
  NextTaskResume();
  EXPECT_FALSE(NextTaskBusy()) << "the counter never goes below 0";
  EXPECT_TRUE(findDueTask(noon, found));
  Mem.DoTask = RunUnattended;
  EXPECT_FALSE(findDueTask(noon, found));
  Mem.DoTask = RunInteractive;
}

}  // namespace
