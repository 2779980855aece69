// qvcli definition and task add/edit/delete as a user runs them: the
// editors' checks with their messages, what the commands store, and the
// links that go with a deleted definition.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qvcli_process.h"
#include "services/datetime.h"
#include "services/installation.h"
#include "support/generated_sources.h"
#include "support/temp_dir.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"

using namespace qvtest;

namespace {

class QvcliTaskEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/root";
    ProcessResult r = run({"mailbox", "add", "--owner", "Owen Marsh", "--address", "owen@example.org"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = run({"forum", "add", "Spool"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root});
    return runQvcli(args);
  }
  // Reads what the commands stored, through the library.
  template <typename Fn>
  void inInstallation(Fn fn) {
    std::string error;
    ASSERT_TRUE(qv::openInstallation(root, error, qv::MissingPaths::Report, qv::Access::Read)) << error;
    fn();
    qv::closeInstallation();
  }
  bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  TempDir dir;
  std::string root;
};

}  // namespace

TEST_F(QvcliTaskEdit, DefinitionChecksAreTheEditorsAndStoreNothing) {
  ProcessResult r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path",
                         dir.path(), "--method", "files"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "File specification error!: When using the file selection method \nyou must select "
                              "which file(s) to import!"))
      << r.err;
  r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path", dir.path(),
           "--method", "dir", "--masks", ""});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "File specification error!: You must specify which files to import!")) << r.err;
  r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Nowhere", "--path", dir.path(),
           "--method", "dir"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "no database named \"Nowhere\"")) << r.err;
  r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path", dir.path(),
           "--method", "sideways"});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"definition", "add", "Mail", "--format", "Unix Mail"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "needs --format, --target, --path and --method")) << r.err;
  inInstallation([] { EXPECT_TRUE(qv::ListImportDefinitions().empty()); });
}

// With the file selection method a definition takes the file's path, as
// import does, and runs it.
TEST_F(QvcliTaskEdit, AFileDefinitionTakesTheFilesPathAsImportDoes) {
  TempDir sources;
  std::string file = sources.file("in.mbx");
  writeFile(file, generatedMbox(3, "owen@example.org"));
  ProcessResult r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path",
                         file, "--method", "files"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    auto defs = qv::ListImportDefinitions();
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].settings.path, sources.path());
    EXPECT_EQ(defs[0].settings.masks, std::vector<std::string>{file});
  });
  r = run({"definition", "run", "Mail"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Messages imported:   3")) << r.out;
  // A directory with the files' names in --masks still works.
  r = run({"definition", "add", "Mail 2", "--format", "Unix Mail", "--target", "Owen Marsh", "--path",
           sources.path(), "--method", "files", "--masks", "in.mbx"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    qv::ImportDefinition d;
    ASSERT_TRUE(qv::ReadImportDefinition(qv::FindImportDefinition("Mail 2"), d));
    EXPECT_EQ(d.settings.masks, std::vector<std::string>{file});
  });
}

TEST_F(QvcliTaskEdit, MailWithoutAMailboxIsRefused) {
  TempDir other;
  std::string bare = other.path() + "/root";
  ProcessResult r = runQvcli({"--root", bare, "forum", "add", "Spool"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runQvcli({"--root", bare, "definition", "add", "Mail", "--format", "Unix Mail", "--target", "Spool", "--path",
                other.path(), "--method", "dir"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "No MailBox available!: Set up MailBox before import!")) << r.err;
}

TEST_F(QvcliTaskEdit, DefinitionsAreStoredChangedAndDeletedWithTheirLinks) {
  ProcessResult r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path",
                         dir.path(), "--method", "files", "--masks", "inbox;sent", "--reimport"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"definition", "add", "Mail", "--format", "Unix Mail", "--target", "Owen Marsh", "--path", dir.path(),
           "--method", "dir"});
  EXPECT_EQ(r.exitCode, 1) << "a second definition of the same name";
  r = run({"definition", "add", "News", "--format", "Unix News", "--target", "Spool", "--path", dir.path(),
           "--method", "tree", "--masks", "*"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    auto defs = qv::ListImportDefinitions();
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0].description, "Mail");
    EXPECT_EQ(defs[0].settings.method, qv::SelectFiles);
    EXPECT_EQ(defs[0].settings.masks, (std::vector<std::string>{dir.path() + "/inbox", dir.path() + "/sent"}));
    EXPECT_TRUE(defs[0].settings.importMail && defs[0].settings.allowReimport);
    EXPECT_NE(defs[0].settings.mailbox, 0u);
    EXPECT_EQ(defs[1].settings.forumName, "Spool");
    EXPECT_EQ(defs[1].settings.method, qv::SelectTree);
  });

  // A new name given to an added definition is checked like the name itself.
  r = run({"definition", "add", "Other", "--format", "Unix News", "--target", "Spool", "--path", dir.path(),
           "--method", "tree", "--name", "News"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "an import definition named \"News\" exists already")) << r.err;

  r = run({"definition", "edit", "mail", "--name", "Old mail", "--no-reimport", "--method", "dir", "--masks", "*.mbox"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"task", "add", "Nightly", "--definition", "Old mail", "--definition", "News", "--weekdays", "mon,fri",
           "--time", "03:15", "--purge", "--index"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    uint32_t id = qv::FindImportDefinition("Old mail");
    qv::ImportDefinition d;
    ASSERT_TRUE(qv::ReadImportDefinition(id, d));
    EXPECT_EQ(d.settings.method, qv::SelectDirectory);
    EXPECT_EQ(d.settings.masks, std::vector<std::string>{"*.mbox"});
    EXPECT_FALSE(d.settings.allowReimport);
    qv::TaskEdit t;
    ASSERT_TRUE(qv::ReadTask(qv::FindTask("Nightly"), t));
    EXPECT_EQ(t.definitions.size(), 2u);
  });

  r = run({"definition", "delete", "Old mail"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"definition", "delete", "Old mail"});
  EXPECT_EQ(r.exitCode, 1);
  inInstallation([&] {
    qv::TaskEdit t;
    ASSERT_TRUE(qv::ReadTask(qv::FindTask("Nightly"), t));
    EXPECT_EQ(t.definitions, std::vector<uint32_t>{qv::FindImportDefinition("News")});
    EXPECT_EQ(qv::ListImportDefinitions().size(), 1u);
  });
}

TEST_F(QvcliTaskEdit, TasksTakeTheirScheduleAndTheRunInformationCheck) {
  ProcessResult r = run({"definition", "add", "News", "--format", "Unix News", "--target", "Spool", "--path",
                         dir.path(), "--method", "dir"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"task", "add", "Bare", "--definition", "News"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "Warning!: A Task without run information cannot be active!")) << r.err;
  r = run({"task", "add", "Bare", "--definition", "News", "--inactive"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = run({"task", "add", "Lost", "--definition", "Missing", "--once", "2030-01-02 04:05"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.err, "no import definition named \"Missing\"")) << r.err;
  r = run({"task", "add", "Bad date", "--definition", "News", "--once", "2030-02-30 04:05"});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"task", "add", "Bad day", "--definition", "News", "--weekdays", "someday"});
  EXPECT_EQ(r.exitCode, 1);

  r = run({"task", "add", "Once", "--definition", "News", "--once", "2030-01-02 04:05", "--dedup", "--count"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    qv::TaskEdit t;
    ASSERT_TRUE(qv::ReadTask(qv::FindTask("Once"), t));
    EXPECT_EQ(t.task.RUNNOWDATE, qv::dateFromYMD(2030, 1, 2));
    EXPECT_EQ(t.task.RUNNOWTIME, qv::timeFromHMS(4, 5, 0));
    EXPECT_EQ(t.task.RUNNEXTDATE, 0) << "a one-off task has no next run, so that it ends inactive";
    EXPECT_TRUE(t.task.ACTIVE && t.task.DODUPELIM && t.task.DOCOUNT && !t.task.DOPURGE && !t.task.DOINDEX);
  });

  // Clearing the one-off leaves no run information: refused, nothing changed.
  r = run({"task", "edit", "Once", "--once", ""});
  EXPECT_EQ(r.exitCode, 1);
  r = run({"task", "edit", "Once", "--once", "", "--monthdays", "5,20", "--time", "06:30", "--no-dedup"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    qv::TaskEdit t;
    ASSERT_TRUE(qv::ReadTask(qv::FindTask("Once"), t));
    EXPECT_EQ(t.task.RUNNOWDATE, 0);
    EXPECT_EQ(t.task.MONTHDAYS[0], 5);
    EXPECT_EQ(t.task.MONTHDAYS[1], 20);
    EXPECT_EQ(t.task.RUNNEXTTIME, qv::timeFromHMS(6, 30, 0));
    int y = 0, m = 0, d = 0;
    qv::ymdFromDate(t.task.RUNNEXTDATE, y, m, d);
    EXPECT_TRUE(d == 5 || d == 20) << d;
    EXPECT_FALSE(t.task.DODUPELIM);
  });
  r = run({"task", "delete", "Once"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  inInstallation([&] {
    EXPECT_EQ(qv::FindTask("Once"), 0u);
    EXPECT_EQ(qv::ListTasks().size(), 1u);
  });
}
