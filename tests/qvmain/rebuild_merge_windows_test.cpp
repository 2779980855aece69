// The Rebuild Utility and Merge Databases windows: the frame starts them
// from the File menu; Rebuild runs the rebuild and shows its log; Merge
// Databases refuses a target of another kind at selection, and merges a
// forum into another with its counters.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include "browse_data.h"
#include "dictionary/dictionary.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "maintenance/merge_windows.h"
#include "maintenance/rebuild_run.h"
#include "maintenance/rebuild_windows.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "support/gui_fixture.h"
#include "tasks/task_run_window.h"
#include "tasks/definition_edit.h"
#include "tasks/task_edit.h"
#include "tasks/task_schedule.h"
#include "tasks/task_state.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

QWidget* running(const char* name) { return qvm::TmWindow(qvm::TmGetId(QString::fromLatin1(name))); }

// A task due at `when` that imports a news directory.
uint32_t dueTask(const QString& dir, const qv::TaskClock& when) {
  qv::ImportSettings s;
  s.format = "Unix News";
  s.method = qv::SelectDirectory;
  s.path = dir.toStdString();
  s.masks = {"*"};
  s.importNews = true;
  uint32_t def = qv::AddImportDefinition("Spool", s);
  if (def == 0) return 0;
  qv::TaskEdit t;
  t.task.DESCRIPTION = "Nightly";
  t.task.ACTIVE = 1;
  t.task.RUNNOWDATE = when.date;
  t.task.RUNNOWTIME = qv::timeFromHMS(3, 0, 0);
  t.definitions = {def};
  return qv::AddTask(t);
}

}  // namespace

class RebuildMergeWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFrameStartsTheRebuildWhichShowsItsLog() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum();
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QAction* item = frame.menuAction(qvm::ProcRebuild);
    QVERIFY(item->isEnabled());
    item->trigger();
    QVERIFY(waitFor([] { return running("RebuildMeny") != nullptr; }));
    auto* meny = qobject_cast<qvm::RebuildMeny*>(running("RebuildMeny"));
    QVERIFY(meny);
    QVERIFY(meny->instructions()->toPlainText().contains(QStringLiteral("NextID")));
    QCOMPARE(meny->nextIdButton()->toolTip(), QStringLiteral("Check for highest ID and bump next ID generator"));
    meny->rebuildButton()->click();
    QVERIFY(waitFor([] { return running("RebuildIt") != nullptr; }));
    QVERIFY(meny->rebuildButton()->isHidden());
    QVERIFY(meny->nextIdButton()->isHidden());
    auto* it = qobject_cast<qvm::RebuildIt*>(running("RebuildIt"));
    QVERIFY(waitFor([it] { return !it->running(); }));
    QCOMPARE(it->state(), qv::RebuildState::Finished);
    QString log = it->logView()->toPlainText();
    QVERIFY2(log.contains(QStringLiteral("Forum      F1 Browse Forum")), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral(" All databases are connected")));
    QCOMPARE(it->statusLabel()->text(), QStringLiteral("Checking for highest existing ID ...OK!"));
    QVERIFY(inst.prompts.requests.empty());
    // Next ID while the rebuild window is open brings it forward and starts nothing.
    meny->begin(qv::RequestNextId);
    QCOMPARE(qvm::TmMembers(qvm::kNotToolsGroup).count(QStringLiteral("RebuildIt")), 1);
    it->close();
    meny->abortButton()->click();
    QVERIFY(waitFor([] { return running("RebuildMeny") == nullptr; }));
    QVERIFY(waitFor([&frame] { return frame.menuAction(qvm::ProcRebuild)->isEnabled(); }));
  }

  // From Rebuild until the utility closes no scheduled task comes due, and
  // a rebuild asked to close mid-list finishes first.
  void scheduledTasksWaitForTheRebuildWhichIsNeverCutOff() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    while (qv::NextTaskBusy()) qv::NextTaskResume();
    const qv::TaskClock noon{qv::dateFromYMD(2026, 12, 9), qv::timeFromHMS(12, 0, 0)};
    QVERIFY(dueTask(inst.root(), noon) != 0);
    qvm::registerAllWindows();
    auto* meny = new qvm::RebuildMeny;
    meny->show();
    QVERIFY(!qv::NextTaskBusy());
    meny->begin(qv::RequestRebuild);
    QVERIFY(qv::NextTaskBusy());
    QVERIFY2(!qv::TaskMonitor(noon), "no task comes due while the rebuild runs");
    QPointer<qvm::RebuildIt> it = qobject_cast<qvm::RebuildIt*>(running("RebuildIt"));
    QVERIFY(it);
    it->start();
    QVERIFY(it->running());
    // Asked to close mid-list (as when the frame closes its windows), it
    // goes on, and closes once the list is done.
    QVERIFY(!it->close());
    QVERIFY(it && it->running());
    QVERIFY(waitFor([&] { return it.isNull(); }));
    QFile log(QString::fromStdString(qv::rebuildLogPath()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLatin1(log.readAll()).contains(QStringLiteral(" All databases are connected")));
    QVERIFY2(qv::NextTaskBusy(), "the utility still holds the tasks");
    meny->close();
    settle();
    QVERIFY(!qv::NextTaskBusy());
    QVERIFY(qv::TaskMonitor(noon));
    qv::NextTaskClear();
    qv::Mem.DoTask = qv::RunInteractive;
  }

  // A task that starts while a rebuild runs waits for the rebuild to finish
  // instead of closing it mid-list.
  void aStartingTaskWaitsForTheRebuildToFinish() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    while (qv::NextTaskBusy()) qv::NextTaskResume();
    QString empty = inst.root() + QStringLiteral("/drop");
    QVERIFY(QDir().mkpath(empty));
    uint32_t task = dueTask(empty, qv::TaskClock{qv::today(), qv::timeFromHMS(0, 0, 0)});
    QVERIFY(task != 0);
    QPointer<qvm::RebuildIt> it = new qvm::RebuildIt(qv::RequestRebuild);
    it->show();
    it->start();
    QVERIFY(it->running());
    qvm::openTaskRun(task);
    QCOMPARE(qvm::TmGetId(qvm::kTaskRunThread), 0);
    QVERIFY(it && it->running());
    QVERIFY(waitFor([&] { return it.isNull(); }));
    QFile log(QString::fromStdString(qv::rebuildLogPath()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLatin1(log.readAll()).contains(QStringLiteral(" All databases are connected")));
    // Then the task runs (over an empty folder it may come and go between
    // two looks, so what is waited for is the run it left on its record).
    auto ranTask = [task] {
      qv::TaskEdit e;
      return qv::ReadTask(task, e) && e.task.LASTRUNDATE != 0 && qvm::TmGetId(qvm::kTaskRunThread) == 0;
    };
    QVERIFY(waitFor(ranTask));
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void aTargetOfAnotherKindIsRefusedAndAForumMergesWithItsCounters() {
    TestInstallation inst;
    inst.open();
    uint32_t source = sampleForum(qv::KindForumDb, "Source Forum");
    uint32_t target = qv::AddForumDatabase("Target Forum");
    QVERIFY(target != 0);
    uint32_t news = sampleForum(qv::KindNewsDb, "some.group");
    QVERIFY(qv::ActivateDatabase(source));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    frame.menuAction(qvm::ProcMergeDatabases)->trigger();
    QVERIFY(waitFor([] { return running("MergeMeny") != nullptr; }));
    auto* meny = qobject_cast<qvm::MergeMeny*>(running("MergeMeny"));
    meny->setSource(QStringLiteral("source forum"));
    QCOMPARE(meny->sourceField()->text(), QStringLiteral("Source Forum"));
    QCOMPARE(meny->sourceId(), source);
    meny->setTarget(QStringLiteral("No Such Database"));
    QVERIFY(meny->targetField()->text().isEmpty());
    QVERIFY(inst.prompts.requests.empty());
    meny->setTarget(QStringLiteral("some.group"));
    QVERIFY(meny->targetField()->text().isEmpty());
    QCOMPARE(meny->targetId(), 0u);
    QVERIFY(!meny->mergeButton()->isEnabled());
    QCOMPARE(int(inst.prompts.requests.size()), 1);
    QCOMPARE(QString::fromStdString(inst.prompts.requests[0].text),
             QStringLiteral("You cannot merge different kinds of databases - they both will have to be either Mail, "
                            "Forum or Newsgroup!"));
    QCOMPARE(QString::fromStdString(inst.prompts.requests[0].caption), QStringLiteral("Illegal selection!"));
    (void)news;
    meny->setTarget(QStringLiteral("Target Forum"));
    QVERIFY(meny->mergeButton()->isEnabled());
    meny->mergeButton()->click();
    QVERIFY(waitFor([] { return running("MergeIt") != nullptr; }));
    auto* it = qobject_cast<qvm::MergeIt*>(running("MergeIt"));
    QVERIFY(waitFor([it] { return it->run().finished(); }));
    QCOMPARE(it->statusLabel()->text(), QStringLiteral("The merging process has finished!"));
    QCOMPARE(it->fromLabel()->text(), QStringLiteral(" Merging from: Source Forum"));
    QCOMPARE(it->toLabel()->text(), QStringLiteral(" Merging to: Target Forum"));
    QCOMPARE(it->counters()[2]->text(), QStringLiteral("6"));
    QVERIFY(qv::findDatabase(target));
    QCOMPARE(qv::FOR.MSGCOUNT, 6u);
    it->stopButton()->click();
    QVERIFY(waitFor([] { return running("MergeIt") == nullptr; }));
    QVERIFY(waitFor([meny] { return meny->mergeButton()->isEnabled(); }));
    meny->close();
  }
};

QTEST_MAIN(RebuildMergeWindowsTest)
#include "rebuild_merge_windows_test.moc"
