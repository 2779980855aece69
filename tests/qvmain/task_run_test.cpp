// Running scheduled tasks in the program: the start dialog's count-down and
// options, and a task over sample files started by the frame's monitor,
// which leaves the same archive and log as the runner that qvcli drives.
#include <QApplication>
#include <QDir>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/archive_dump.h"
#include "support/gui_fixture.h"
#include "tasks/definition_edit.h"
#include "tasks/start_task.h"
#include "tasks/task_dates.h"
#include "tasks/task_edit.h"
#include "tasks/task_log.h"
#include "tasks/task_monitor.h"
#include "tasks/task_run_window.h"
#include "tasks/task_runner.h"
#include "tasks/task_schedule.h"
#include "tasks/task_state.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// Wednesday 9 December 2026, noon.
const qv::TaskClock kNoon{qv::dateFromYMD(2026, 12, 9), qv::timeFromHMS(12, 0, 0)};

// Waits longer than waitFor: an import of sample files takes its time.
bool waitLong(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > 180000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

void resetTaskState() {
  qv::NextTaskClear();
  qv::clearPostponement();
  while (qv::NextTaskBusy()) qv::NextTaskResume();
}

// A news definition over a directory and a task running it once today.
uint32_t dueTask(const QString& dir, bool weekly = false) {
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
  if (weekly) {
    t.task.DAYS[size_t(qv::weekday(kNoon.date))] = 1;
    t.task.RUNNEXTDATE = kNoon.date;
    t.task.RUNNEXTTIME = qv::timeFromHMS(3, 0, 0);
  } else {
    t.task.RUNNOWDATE = kNoon.date;
    t.task.RUNNOWTIME = qv::timeFromHMS(3, 0, 0);
  }
  t.definitions = {def};
  return qv::AddTask(t);
}

qv::TaskEdit readTask(uint32_t id) {
  qv::TaskEdit e;
  qv::ReadTask(id, e);
  return e;
}

// The start dialog that is open (nullptr when none is).
qvm::StartTask* openDialog() {
  for (QWidget* w : QApplication::allWidgets())
    if (auto* d = qobject_cast<qvm::StartTask*>(w); d && d->isVisible()) return d;
  return nullptr;
}

// The monitor finds the task due and the start dialog opens on it.
qvm::StartTask* startDialog() {
  resetTaskState();
  if (!qv::TaskMonitor(kNoon)) return nullptr;
  qvm::openStartTask();
  return openDialog();
}

QString logText() {
  QFile f(QString::fromStdString(qv::taskLogPath()));
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

// The log without the seconds a step took (which differ between runs).
QString withoutSeconds(QString log) {
  return log.replace(QRegularExpression(QStringLiteral("Time: \\d+ *s")), QStringLiteral("Time: s"));
}

// Every link's seconds to 0, so that two archives compare apart from times.
void clearLinkTimes() {
  qv::OP_CLOSE(qv::OpShared, {qv::FileTaskBatch});
  qv::TaskBatch.setFileOrder();
  std::vector<int64_t> rows;
  while (qv::TaskBatch.next()) rows.push_back(qv::TaskBatch.position());
  for (int64_t pos : rows)
    if (qv::TaskBatch.getPosition(pos)) {
      qv::TIM.EVENTTIME = 0;
      qv::TaskBatch.put();
    }
  qv::OP_CLOSE(qv::OpRelease, {qv::FileTaskBatch});
}

// Sets up the corpus task: an mbox into a mailbox and a news spool into
// newsgroups, then merge duplicates, purge and word-index. Returns the task.
uint32_t corpusTask(const QString& corpus) {
  qv::MailboxSpec spec;
  spec.owner = "Owen Marsh";
  spec.address = "owen@example.org";
  uint32_t box = qv::AddMailbox(spec);
  if (box == 0) return 0;
  qv::ImportSettings mail;
  mail.format = "Unix Mail";
  mail.method = qv::SelectFiles;
  mail.path = (corpus + QStringLiteral("/mbox")).toStdString();
  mail.masks = {"kde_cygwin.mbox"};
  mail.importMail = true;
  mail.mailbox = box;
  qv::ImportSettings news;
  news.format = "Unix News";
  news.method = qv::SelectDirectory;
  news.path = (corpus + QStringLiteral("/news-spool/inn/articles")).toStdString();
  news.masks = {"*"};
  news.importNews = true;
  uint32_t a = qv::AddImportDefinition("Mail", mail);
  uint32_t b = qv::AddImportDefinition("News", news);
  if (!a || !b) return 0;
  qv::TaskEdit t;
  t.task.DESCRIPTION = "Corpus";
  t.task.ACTIVE = 1;
  t.task.DAYS[size_t(qv::weekday(kNoon.date))] = 1;
  t.task.RUNNEXTDATE = kNoon.date;
  t.task.RUNNEXTTIME = qv::timeFromHMS(3, 0, 0);
  t.task.DODUPELIM = t.task.DOPURGE = t.task.DOINDEX = 1;
  t.definitions = {a, b};
  return qv::AddTask(t);
}

}  // namespace

class TaskRunTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    resetTaskState();
    qvm::setTaskClock([] { return kNoon; });
  }
  void cleanup() {
    resetTaskState();
    qvm::setTaskClock(nullptr);
  }

  void theStartDialogCountsDown() {
    TestInstallation inst;
    inst.open();
    QVERIFY(dueTask(inst.root()) != 0);
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    QCOMPARE(qv::Mem.DoTask, int(qv::RunTaskDue));
    QCOMPARE(dlg->windowTitle(), QStringLiteral(" Task processing starts in 60 seconds"));
    QVERIFY(dlg->text()->text().startsWith(QStringLiteral("It is time to start task processing! \nYou cannot do")));
    QVERIFY(dlg->taskLabel()->text().contains(QStringLiteral("Nightly")));
    QCOMPARE(dlg->options()->checkedId(), int(qvm::StartRunNow));
    for (int i = 0; i < 51; ++i) dlg->tick();
    QCOMPARE(dlg->windowTitle(), QStringLiteral(" Task processing starts in 09 seconds"));
    dlg->options()->button(qvm::StartPostpone)->click();
    dlg->hours()->setValue(2);
    QCOMPARE(dlg->windowTitle(), QStringLiteral(" Task processing postponed 2 hour(s)"));
    // Cancel forgets the postponement and runs nothing.
    dlg->cancel();
    settle();
    QVERIFY(dlg.isNull());
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QCOMPARE(qv::postponedUntil().date, 0);
    QVERIFY(logText().isEmpty());
  }

  void postponingHoldsEveryTask() {
    TestInstallation inst;
    inst.open();
    uint32_t id = dueTask(inst.root());
    QVERIFY(id != 0);
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    dlg->options()->button(qvm::StartPostpone)->click();
    dlg->hours()->setValue(2);
    dlg->okButton()->click();
    settle();
    QVERIFY(dlg.isNull());
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QVERIFY(!qv::TaskMonitor(kNoon));
    QVERIFY(!qv::TaskMonitor(qv::TaskClock{kNoon.date, qv::timeFromHMS(13, 59, 0)}));
    QVERIFY(qv::TaskMonitor(qv::TaskClock{kNoon.date, qv::timeFromHMS(14, 0, 0)}));
    QVERIFY(readTask(id).task.ACTIVE);
    QVERIFY(logText().isEmpty());
  }

  void skippingDeactivatingAndDeactivatingAll() {
    TestInstallation inst;
    inst.open();
    uint32_t id = dueTask(inst.root());
    QVERIFY(id != 0);
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    dlg->options()->button(qvm::StartSkip)->click();
    dlg->confirm();
    settle();
    QCOMPARE(readTask(id).task.RUNNOWDATE, 0);  // skipping a one-off run clears it

    uint32_t weekly = dueTask(inst.root(), true);
    QVERIFY(weekly != 0);
    dlg = startDialog();
    QVERIFY(dlg);
    dlg->options()->button(qvm::StartDeactivate)->click();
    dlg->confirm();
    settle();
    QVERIFY(!readTask(weekly).task.ACTIVE);

    qv::TaskEdit again = readTask(weekly);
    again.task.ACTIVE = 1;
    QVERIFY(qv::UpdateTask(again));
    dlg = startDialog();
    QVERIFY(dlg);
    dlg->options()->button(qvm::StartDeactivateAll)->click();
    dlg->confirm();
    settle();
    QCOMPARE(qv::KonfigGet(qv::ItemNoTasks), int64_t(1));
    QVERIFY(!qv::TaskMonitor(kNoon));
    QVERIFY2(readTask(weekly).task.ACTIVE, "the task itself stays active");
    QVERIFY(logText().isEmpty());
  }

  void anotherBusyTaskKeepsTheDialog() {
    TestInstallation inst;
    inst.open();
    QVERIFY(dueTask(inst.root()) != 0);
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    qv::NextTaskSuspend();
    dlg->okButton()->click();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text, std::string("Another Task is already active!"));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" Task Start Error "));
    QVERIFY(dlg && dlg->isVisible());
    // At the end of the count-down a busy runner lets the dialog go unrun.
    for (int i = 0; i < 60; ++i)
      if (dlg) dlg->tick();
    settle();
    QVERIFY(dlg.isNull());
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QCOMPARE(qvm::TmGetId(qvm::kTaskRunThread), 0);
    qv::NextTaskResume();
  }

  void theCountDownStartsTheTask() {
    TestInstallation inst;
    inst.open();
    QString corpus = corpusDir();
    if (corpus.isEmpty()) QSKIP("no corpus");
    uint32_t id = dueTask(corpus + QStringLiteral("/news-spool/perceval"));
    QVERIFY(id != 0);
    qvm::setTaskClock([] { return kNoon; });
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    for (int i = 0; i < 60; ++i) dlg->tick();
    QCOMPARE(dlg->windowTitle(), QStringLiteral(" Task processing starting up!"));
    QCOMPARE(qv::Mem.DoTask, int(qv::RunUnattended));
    dlg->tick();
    QVERIFY(qvm::TmGetId(qvm::kTaskRunThread) != 0);
    QVERIFY(waitLong([] { return qvm::TmGetId(qvm::kTaskRunThread) == 0; }));
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    qv::TaskEdit t = readTask(id);
    QVERIFY2(!t.task.ACTIVE, "a one-off task is inactive after its run");
    QCOMPARE(int(t.task.RESULTCODE), int(qv::ResultCompleted));
    QString log = logText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY2(log.contains(QStringLiteral("\nImport procedures:\n Spool Result: No errors Time: ")), qPrintable(log));
  }

  void stoppingTheRunDeactivatesTheTask() {
    TestInstallation inst;
    inst.open();
    QString corpus = corpusDir();
    if (corpus.isEmpty()) QSKIP("no corpus");
    uint32_t id = corpusTask(corpus);
    QVERIFY(id != 0);
    qvm::setTaskClock([] { return kNoon; });
    QPointer<qvm::StartTask> dlg = startDialog();
    QVERIFY(dlg);
    dlg->confirm();
    QPointer<qvm::TaskRunWindow> run;
    for (QWidget* w : QApplication::allWidgets())
      if (auto* r = qobject_cast<qvm::TaskRunWindow*>(w)) run = r;
    QVERIFY(run);
    run->stop();
    QVERIFY(waitLong([&] { return run.isNull(); }));
    qv::TaskEdit t = readTask(id);
    QVERIFY(!t.task.ACTIVE);
    QString log = logText();
    QVERIFY2(log.contains(QStringLiteral(" News Result: Batch not run")), qPrintable(log));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void theProgramClosesAfterTheTaskWhenSetSo() {
    TestInstallation inst;
    inst.open();
    QString corpus = corpusDir();
    if (corpus.isEmpty()) QSKIP("no corpus");
    QVERIFY(dueTask(corpus + QStringLiteral("/news-spool/perceval")) != 0);
    qv::KonfigSet(qv::ItemAfterTask, 1);  // "Exit Quorvane after task has finished"
    QVERIFY(qv::Konfig(qv::KSave));
    auto frame = std::make_unique<qvm::MainFrame>(1);
    frame->show();
    settle();
    QVERIFY(frame->taskMonitor()->look());
    QVERIFY(waitFor([] { return openDialog() != nullptr; }));
    // No menu command runs while the task is due.
    frame->choose(qvm::ProcScheduleTasks);
    settle();
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseTasks")), 0);
    openDialog()->confirm();
    QVERIFY(waitLong([&] { return !frame->isVisible(); }));
    QCOMPARE(qv::Mem.DoTask, int(qv::RunInteractive));
    QVERIFY(logText().contains(QStringLiteral("Nightly ")));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    frame.reset();
    settle();
  }

  // A task log that cannot be written is told once the task has ended, with
  // the report it would have held.
  void aLogThatCannotBeWrittenIsReported() {
    TestInstallation inst;
    inst.open();
    QString empty = inst.root() + QStringLiteral("/drop");
    QVERIFY(QDir().mkpath(empty));
    QVERIFY(dueTask(empty) != 0);
    // A directory where the log should be: it cannot be opened for writing.
    QVERIFY(QDir().mkpath(QString::fromStdString(qv::taskLogPath())));
    qv::KonfigSet(qv::ItemAfterTask, 2);  // the program stays
    QVERIFY(qv::Konfig(qv::KSave));
    auto frame = std::make_unique<qvm::MainFrame>(1);
    frame->show();
    settle();
    QVERIFY(frame->taskMonitor()->look());
    QVERIFY(waitFor([] { return openDialog() != nullptr; }));
    openDialog()->confirm();
    QVERIFY(waitLong([] { return qvm::TmGetId(qvm::kTaskRunThread) == 0 && qv::Mem.DoTask == qv::RunInteractive; }));
    QVERIFY(waitFor([&] { return inst.prompts.count("Task Log Error") == 1; }));
    const qv::PromptRequest& r = inst.prompts.requests.back();
    QVERIFY2(r.text.find("could not be written") != std::string::npos, r.text.c_str());
    QVERIFY2(r.text.find("Import procedures:") != std::string::npos, r.text.c_str());
    QVERIFY2(r.text.find(" Spool Result: No errors") != std::string::npos, r.text.c_str());
    frame.reset();
    settle();
  }

  // The same task run by the library's runner (as qvcli runs it) and by the
  // frame's monitor gives the same archive and log apart from times; a
  // second run imports nothing new.
  void theMonitorRunsATaskAsTheRunnerDoes() {
    QString corpus = corpusDir();
    if (corpus.isEmpty()) QSKIP("no corpus");
    std::string reference, referenceLog;
    {
      TestInstallation inst;
      inst.open();
      uint32_t id = corpusTask(corpus);
      QVERIFY(id != 0);
      qv::TaskDriver driver;
      driver.clock = [] { return kNoon; };
      qv::TaskOutcome out = qv::runTask(id, driver);
      QVERIFY(out.ran);
      QCOMPARE(out.result, int(qv::ResultCompleted));
      clearLinkTimes();
      referenceLog = withoutSeconds(logText()).toStdString();
      qv::closeInstallation();
      reference = dumpArchive(inst.rootStd());
      inst.open();
    }
    resetTaskState();
    TestInstallation inst;
    inst.open();
    uint32_t id = corpusTask(corpus);
    QVERIFY(id != 0);
    qv::KonfigSet(qv::ItemAfterTask, 2);  // the program stays
    QVERIFY(qv::Konfig(qv::KSave));
    auto frame = std::make_unique<qvm::MainFrame>(1);
    frame->show();
    settle();
    qvm::setTaskClock([] { return kNoon; });
    qvm::setTaskClock([] { return kNoon; });
    QVERIFY(frame->taskMonitor()->look());
    QVERIFY(waitFor([] { return openDialog() != nullptr; }));
    auto* dlg = openDialog();
    QVERIFY(dlg);
    dlg->confirm();
    QVERIFY(waitLong([] { return qvm::TmGetId(qvm::kTaskRunThread) == 0 && qv::Mem.DoTask == qv::RunInteractive; }));
    settle();
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    QCOMPARE(withoutSeconds(logText()).toStdString(), referenceLog);
    int64_t messages = 0;
    for (const qv::DatabaseEntry& e : qv::listDatabases()) messages += e.messages;
    QVERIFY(messages > 0);
    frame.reset();
    settle();
    clearLinkTimes();
    qv::closeInstallation();
    std::string dump = dumpArchive(inst.rootStd());
    QVERIFY2(dump == reference, qPrintable(QString::fromStdString(firstDifference(reference, dump))));
    inst.open();

    // A week later the task runs again and finds nothing new.
    frame = std::make_unique<qvm::MainFrame>(1);
    frame->show();
    settle();
    qv::TaskClock nextWeek{kNoon.date + 7, kNoon.time};
    qvm::setTaskClock([=] { return nextWeek; });
    qvm::setTaskClock([=] { return nextWeek; });
    QVERIFY(frame->taskMonitor()->look());
    QVERIFY(waitFor([] { return openDialog() != nullptr; }));
    dlg = openDialog();
    QVERIFY(dlg);
    dlg->confirm();
    QVERIFY(waitLong([] { return qvm::TmGetId(qvm::kTaskRunThread) == 0 && qv::Mem.DoTask == qv::RunInteractive; }));
    int64_t after = 0;
    for (const qv::DatabaseEntry& e : qv::listDatabases()) after += e.messages;
    QCOMPARE(after, messages);
    QString log = logText();
    QString second = log.mid(log.lastIndexOf(QStringLiteral("\nCorpus ")));
    QVERIFY2(second.contains(QStringLiteral(" Mail Result: No errors")), qPrintable(second));
    QVERIFY2(second.contains(QStringLiteral(" News Result: No errors")), qPrintable(second));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    frame.reset();
    settle();
  }
};

QTEST_MAIN(TaskRunTest)
#include "task_run_test.moc"
