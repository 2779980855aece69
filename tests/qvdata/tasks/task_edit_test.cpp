// Editing import definitions and scheduled tasks: the editors' checks, the
// file lists and links written with them, and what deleting takes along.
#include <gtest/gtest.h>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "support/services_fixture.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"

using namespace qv;

namespace {

class TaskEditTest : public qvtest::InstallationTest {
 protected:
  ImportSettings mboxInto(uint32_t box) {
    ImportSettings s;
    s.format = "Unix Mail";
    s.method = SelectDirectory;
    s.path = "/home/owen/mail";
    s.masks = {"*.mbox"};
    s.importMail = true;
    s.mailbox = box;
    return s;
  }
  uint32_t mailbox() {
    MailboxSpec spec;
    spec.owner = "Owen Marsh";
    spec.address = "owen@example.org";
    uint32_t id = AddMailbox(spec);
    EXPECT_NE(id, 0u) << prompts.transcript();
    prompts.reset();
    return id;
  }
  int links(uint32_t batchId) {
    int n = 0;
    OP_CLOSE(OpShared, {FileTaskBatch});
    TaskBatch.setFileOrder();
    while (TaskBatch.next()) n += TIM.BATCHID == batchId;
    OP_CLOSE(OpRelease, {FileTaskBatch});
    return n;
  }
  int fileListRecords() {
    OP_CLOSE(OpShared, {FileFileList});
    int n = int(FileList.records());
    OP_CLOSE(OpRelease, {FileFileList});
    return n;
  }
};

}  // namespace

TEST_F(TaskEditTest, DefinitionChecksShowTheEditorsMessages) {
  ImportSettings s = mboxInto(0);
  s.masks.clear();
  EXPECT_EQ(AddImportDefinition("Mail", s), 0u);
  EXPECT_EQ(onlyRequest().text, "You must specify which files to import!");
  EXPECT_EQ(onlyRequest().caption, " File specification error!");

  prompts.reset();
  s.method = SelectFiles;
  s.masks = {"   "};
  EXPECT_EQ(AddImportDefinition("Mail", s), 0u);
  EXPECT_EQ(onlyRequest().text, "When using the file selection method \r\nyou must select which file(s) to import!");
  EXPECT_EQ(onlyRequest().caption, " File specification error!");

  prompts.reset();
  s.masks = {"/home/owen/mail/inbox"};
  EXPECT_EQ(AddImportDefinition("Mail", s), 0u);
  EXPECT_EQ(onlyRequest().text, "Set up MailBox before import!");
  EXPECT_EQ(onlyRequest().caption, "No MailBox available!");

  // A forum database is no mailbox.
  prompts.reset();
  s.mailbox = AddForumDatabase("Tools Forum");
  ASSERT_NE(s.mailbox, 0u);
  EXPECT_EQ(AddImportDefinition("Mail", s), 0u);
  EXPECT_EQ(onlyRequest().caption, "No MailBox available!");
  EXPECT_TRUE(ListImportDefinitions().empty());
  EXPECT_EQ(fileListRecords(), 0);
}

TEST_F(TaskEditTest, DefinitionsAreAddedChangedFoundAndDeletedWithTheirFileLists) {
  uint32_t box = mailbox();
  uint32_t id = AddImportDefinition("Home mail", mboxInto(box));
  ASSERT_NE(id, 0u) << prompts.transcript();
  EXPECT_EQ(FindImportDefinition("home MAIL  "), id);
  EXPECT_EQ(FindImportDefinition("Other"), 0u);

  ImportDefinition d;
  ASSERT_TRUE(ReadImportDefinition(id, d));
  EXPECT_EQ(d.description, "Home mail");
  EXPECT_EQ(d.settings.mailbox, box);
  EXPECT_EQ(d.settings.masks, std::vector<std::string>{"*.mbox"});

  d.description = "All mail";
  d.settings.method = SelectFiles;
  d.settings.masks = {"/home/owen/mail/a", "/home/owen/mail/b", "/home/owen/mail/a"};
  d.settings.allowReimport = true;
  ASSERT_TRUE(UpdateImportDefinition(d)) << prompts.transcript();
  ImportDefinition back;
  ASSERT_TRUE(ReadImportDefinition(id, back));
  EXPECT_EQ(back.description, "All mail");
  EXPECT_EQ(back.settings.method, SelectFiles);
  EXPECT_EQ(back.settings.masks, (std::vector<std::string>{"/home/owen/mail/a", "/home/owen/mail/b"}));
  EXPECT_TRUE(back.settings.allowReimport);
  EXPECT_EQ(fileListRecords(), 2) << "the old mask is replaced, a name given twice kept once";

  // A failed check leaves the stored definition as it was.
  d.settings.masks.clear();
  EXPECT_FALSE(UpdateImportDefinition(d));
  ASSERT_TRUE(ReadImportDefinition(id, back));
  EXPECT_EQ(back.settings.masks.size(), 2u);

  uint32_t other = AddImportDefinition("Other mail", mboxInto(box));
  ASSERT_NE(other, 0u);
  TaskEdit t;
  t.task.DESCRIPTION = "Nightly";
  t.task.DAYS[1] = 1;
  t.task.RUNNEXTTIME = timeFromHMS(3, 0, 0);
  t.task.ACTIVE = 1;
  t.definitions = {id, other};
  uint32_t task = AddTask(t);
  ASSERT_NE(task, 0u) << prompts.transcript();
  EXPECT_EQ(links(id), 1);

  ASSERT_TRUE(DeleteImportDefinition(id)) << prompts.transcript();
  EXPECT_FALSE(ReadImportDefinition(id, back));
  EXPECT_EQ(links(id), 0) << "deleting a definition removes its task links";
  EXPECT_EQ(fileListRecords(), 1) << "and its file list, not the other definition's";
  TaskEdit read;
  ASSERT_TRUE(ReadTask(task, read));
  EXPECT_EQ(read.definitions, std::vector<uint32_t>{other});
  EXPECT_FALSE(DeleteImportDefinition(id)) << "a missing definition is reported";
}

TEST_F(TaskEditTest, AnActiveTaskNeedsRunInformation) {
  TaskEdit t;
  t.task.DESCRIPTION = "Nothing set";
  t.task.ACTIVE = 1;
  EXPECT_EQ(AddTask(t), 0u);
  EXPECT_EQ(onlyRequest().text, "A Task without run information cannot be active!");
  EXPECT_EQ(onlyRequest().caption, " Warning!");

  // A next-run date alone would be found due after every run: not enough.
  prompts.reset();
  t.task.RUNNEXTDATE = today() + 1;
  t.task.RUNNEXTTIME = timeFromHMS(4, 0, 0);
  EXPECT_EQ(AddTask(t), 0u);
  EXPECT_EQ(prompts.requests.size(), 1u);

  // A one-off date without its time is no one-off request.
  prompts.reset();
  t.task.RUNNEXTDATE = 0;
  t.task.RUNNOWDATE = today() + 1;
  EXPECT_EQ(AddTask(t), 0u);
  t.task.RUNNOWTIME = timeFromHMS(4, 0, 0);
  prompts.reset();
  uint32_t id = AddTask(t);
  EXPECT_NE(id, 0u) << prompts.transcript();

  // An inactive task may lack it.
  TaskEdit idle;
  idle.task.DESCRIPTION = "Idle";
  EXPECT_NE(AddTask(idle), 0u);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  // Switching a task on without run information is refused and changes nothing.
  TaskEdit read;
  ASSERT_TRUE(ReadTask(id, read));
  read.task.RUNNOWDATE = 0;
  read.task.RUNNOWTIME = 0;
  EXPECT_FALSE(UpdateTask(read));
  ASSERT_TRUE(ReadTask(id, read));
  EXPECT_NE(read.task.RUNNOWDATE, 0);
}

TEST_F(TaskEditTest, TheFirstRepeatDateFollowsWeekdaysOrMonthDays) {
  int32_t wed = dateFromYMD(2026, 12, 9);
  ASSERT_EQ(weekday(wed), 3);
  TasksRec t;
  t.RUNNEXTTIME = timeFromHMS(18, 0, 0);
  t.DAYS[3] = 1;
  EXPECT_EQ(FirstRepeatDate(t, wed, timeFromHMS(9, 0, 0)), wed) << "today, while the time is ahead";
  EXPECT_EQ(FirstRepeatDate(t, wed, timeFromHMS(18, 0, 0)), wed + 7) << "next week once the time has come";
  t.DAYS[5] = 1;
  EXPECT_EQ(FirstRepeatDate(t, wed, timeFromHMS(19, 0, 0)), wed + 2);

  TasksRec m;
  m.RUNNEXTTIME = timeFromHMS(6, 0, 0);
  m.MONTHDAYS = {20, 5, 0, 0, 0};
  EXPECT_EQ(FirstRepeatDate(m, dateFromYMD(2026, 12, 9), timeFromHMS(9, 0, 0)), dateFromYMD(2026, 12, 20));
  EXPECT_EQ(FirstRepeatDate(m, dateFromYMD(2026, 12, 25), timeFromHMS(9, 0, 0)), dateFromYMD(2027, 1, 5));
  m.MONTHDAYS = {31, 0, 0, 0, 0};
  EXPECT_EQ(FirstRepeatDate(m, dateFromYMD(2027, 2, 1), timeFromHMS(9, 0, 0)), dateFromYMD(2027, 2, 28))
      << "a month without that day runs on its last day, as after a run";
  m.RUNNEXTTIME = 0;
  EXPECT_EQ(FirstRepeatDate(m, dateFromYMD(2027, 1, 31), timeFromHMS(0, 0, 0)), dateFromYMD(2027, 2, 28))
      << "without a time of day today does not count";
  EXPECT_EQ(FirstRepeatDate(TasksRec(), wed, 0), 0);
}

TEST_F(TaskEditTest, TasksKeepTheirLinksAndLoseThemWhenDeleted) {
  uint32_t box = mailbox();
  uint32_t a = AddImportDefinition("A", mboxInto(box));
  uint32_t b = AddImportDefinition("B", mboxInto(box));
  uint32_t c = AddImportDefinition("C", mboxInto(box));
  ASSERT_TRUE(a && b && c);
  TaskEdit t;
  t.task.DESCRIPTION = "Weekly";
  t.task.DAYS[0] = 1;
  t.task.RUNNEXTTIME = timeFromHMS(2, 30, 0);
  t.task.DOPURGE = 1;
  t.task.ACTIVE = 1;
  t.definitions = {b, a};
  uint32_t id = AddTask(t);
  ASSERT_NE(id, 0u) << prompts.transcript();
  TaskEdit read;
  ASSERT_TRUE(ReadTask(id, read));
  EXPECT_EQ(read.definitions, (std::vector<uint32_t>{a, b})) << "links in key order";
  EXPECT_EQ(weekday(read.task.RUNNEXTDATE), 0) << "a repeating task is given its first run date";
  EXPECT_GT(read.task.RUNNEXTDATE, today() - 1);
  EXPECT_EQ(FindTask("weekly"), id);

  // A kept link keeps its last result; a new one starts with none.
  OP_CLOSE(OpShared, {FileTaskBatch});
  TIM = TaskBatchRec();
  TIM.TASKID = id;
  TIM.BATCHID = b;
  ASSERT_TRUE(TaskBatch.get(TIM_TASKKEY));
  TIM.RESULTCODE = 1;
  TIM.EVENTTIME = 12;
  ASSERT_TRUE(TaskBatch.put());
  OP_CLOSE(OpRelease, {FileTaskBatch});
  read.definitions = {c, b};
  read.task.DESCRIPTION = "Weekly import";
  ASSERT_TRUE(UpdateTask(read)) << prompts.transcript();
  ASSERT_TRUE(ReadTask(id, read));
  EXPECT_EQ(read.task.DESCRIPTION.str(), "Weekly import");
  EXPECT_EQ(read.definitions, (std::vector<uint32_t>{b, c}));
  OP_CLOSE(OpShared, {FileTaskBatch});
  TIM = TaskBatchRec();
  TIM.TASKID = id;
  TIM.BATCHID = b;
  ASSERT_TRUE(TaskBatch.get(TIM_TASKKEY));
  EXPECT_EQ(TIM.EVENTTIME, 12);
  OP_CLOSE(OpRelease, {FileTaskBatch});

  ASSERT_TRUE(DeleteTask(id)) << prompts.transcript();
  EXPECT_FALSE(ReadTask(id, read));
  EXPECT_EQ(links(b) + links(c), 0);
  EXPECT_EQ(ListImportDefinitions().size(), 3u) << "the definitions stay";
  EXPECT_TRUE(ListTasks().empty());
}
