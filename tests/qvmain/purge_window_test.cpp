// The purge and count windows: the frame starts them from the Messages menu,
// S&tart runs the purge from the window's timer to its end and the time is
// told; counting shows the counters of the database's kind; a database
// marked for deletion asks first, and Cancel deletes nothing.
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "browse_data.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "maintenance/purge_window.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "tasks/task_state.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

qvm::PurgeWindow* purgeWindow(const char* thread = "PurgeMess") {
  return qobject_cast<qvm::PurgeWindow*>(qvm::TmWindow(qvm::TmGetId(QString::fromLatin1(thread))));
}

// A forum of two threads: 1000 of status delete (three messages), 1001 normal.
uint32_t forumToPurge() {
  uint32_t id = makeBrowseDatabase(qv::KindForumDb, "Purge Forum");
  addSection(100, 1, "General");
  addPerson(10, "Ann", "Lee");
  addPerson(11, "Bob", "Ray");
  addThread(1000, 100, "Old stuff", 3);
  addThread(1001, 100, "New stuff", 1);
  for (uint32_t i = 0; i < 3; ++i) addMessage(500 + i, 1000, 10, 11, 100, "old\r\n");
  addMessage(510, 1001, 11, 10, 200, "new\r\n");
  qv::OP_CLOSE(qv::OpShared, {qv::FileThreads});
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = 1000;
  if (qv::Threads.get(qv::THR_ThreadKey)) {
    qv::THR.DUMMY = 2;
    qv::Threads.put();
  }
  qv::OP_CLOSE(qv::OpRelease, {qv::FileThreads});
  return id;
}

int64_t messageCount(int file = qv::FileMsgNmbr) {
  qv::OP_CLOSE(qv::OpShared, {file});
  int64_t n = qv::declaredFile(file).records();
  qv::OP_CLOSE(qv::OpRelease, {file});
  return n;
}

}  // namespace

class PurgeWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFramePurgesFromTheMessagesMenu() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = forumToPurge();
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QAction* purge = frame.menuAction(qvm::ProcPurgeMessages);
    QVERIFY(purge->isEnabled());
    purge->trigger();
    QVERIFY(waitFor([] { return purgeWindow() != nullptr; }));
    qvm::PurgeWindow* w = purgeWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral(" Message Purging [Purge Forum]"));
    QCOMPARE(w->heading()->text(), QStringLiteral("Purge Deleted Forum Messages"));
    QCOMPARE(w->counters()[0]->text(), QStringLiteral("4"));
    QCOMPARE(w->counters()[1]->text(), QStringLiteral("0"));
    QCOMPARE(w->counters()[0]->toolTip(), QStringLiteral("Messages before purging"));
    QCOMPARE(w->startButton()->toolTip(), QStringLiteral("Start the purging process"));
    QCOMPARE(w->abortButton()->toolTip(), QStringLiteral("End this session"));
    // The ageing check box offers 999 weeks.
    QVERIFY(!w->ageWeeks()->isEnabled());
    w->ageing()->setChecked(true);
    QCOMPARE(w->ageWeeks()->value(), 999);
    QVERIFY(w->ageWeeks()->isEnabled());
    w->ageing()->setChecked(false);
    QCOMPARE(w->ageWeeks()->value(), 0);

    qv::KonfigSet(qv::ItemImportCompletion, 1);  // tell the time, then close
    inst.prompts.reset();
    QTest::mouseClick(w->startButton(), Qt::LeftButton);
    QVERIFY2(waitFor([] { return purgeWindow() == nullptr; }), qPrintable(inst.prompts.transcript()));
    QCOMPARE(messageCount(), int64_t(1));
    bool told = false;
    for (const qv::PromptRequest& r : inst.prompts.requests)
      told = told || (r.caption == " Obsolete Message Purging " && r.text.rfind("The time for completion was: ", 0) == 0);
    QVERIFY2(told, qPrintable(inst.prompts.transcript()));
  }

  void countingShowsTheCountersOfAMailbox() {
    TestInstallation inst;
    inst.open();
    makeBrowseDatabase(qv::KindMailDb, "Count Box");
    addPerson(21, "Fay", "Brown");
    // The window deletes itself when it closes.
    QPointer<qvm::PurgeWindow> window = new qvm::PurgeWindow(qv::PurgeCounting);
    qvm::PurgeWindow& w = *window;
    QCOMPARE(w.heading()->text(), QStringLiteral("Message Counting"));
    QCOMPARE(w.ageing(), nullptr);
    QCOMPARE(w.counters()[1]->toolTip(), QStringLiteral("Number of mail partners in database"));
    // Mails, partners (persons but the owner) and persons as they stand.
    QCOMPARE(w.counters()[0]->text(), QStringLiteral("0"));
    QCOMPARE(w.counters()[1]->text(), QStringLiteral("1"));
    QCOMPARE(w.counters()[2]->text(), QStringLiteral("2"));
    QCOMPARE(w.startButton()->toolTip(), QStringLiteral("Start the counting process"));
    w.show();
    QVERIFY(!qv::NextTaskBusy());
    w.start();
    QCOMPARE(w.windowTitle(), QStringLiteral(" Counting Messages .. Please Wait!"));
    QVERIFY2(qv::NextTaskBusy(), "scheduled tasks wait while the run lasts");
    QVERIFY(waitFor([&] { return !window || !window->running(); }));
    QVERIFY(!qv::NextTaskBusy());
    QVERIFY2(window.isNull(), "a finished count closes its window");
    QCOMPARE(messageCount(qv::FilePerson), int64_t(1));  // the partner without mail is gone
  }

  void aDatabaseMarkedForDeletionAsksAndCancelDeletesNothing() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = forumToPurge();
    QVERIFY(qv::setDatabaseStatus(forum, 2));
    QPointer<qvm::PurgeWindow> window = new qvm::PurgeWindow(qv::PurgePurging);
    qvm::PurgeWindow& w = *window;
    w.show();
    inst.prompts.reset();
    inst.prompts.script(qv::BtnCancel);
    w.start();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" Forum marked for deletion!"));
    QCOMPARE(inst.prompts.requests[0].text,
             std::string("Do you really want to delete all messages in this Forum? If you do, the entire Forum "
                         "directory will be removed."));
    QVERIFY(!w.running());
    QCOMPARE(messageCount(), int64_t(4));
    QVERIFY(qv::findDatabase(forum));
    QVERIFY(w.abortButton()->hasFocus() || !w.isActiveWindow());
    w.close();
    QVERIFY(waitFor([&] { return window.isNull(); }));
  }

  void aScheduledRunStartsAtOnceAndClosesWhenDone() {
    TestInstallation inst;
    inst.open();
    forumToPurge();
    qv::KonfigSet(qv::ItemImportCompletion, 1);
    qv::Mem.DoTask = qv::RunUnattended;
    QPointer<qvm::PurgeWindow> window = new qvm::PurgeWindow(qv::PurgePurging);
    QCOMPARE(window->windowTitle(), QStringLiteral(" Scheduled Message Purging [Purge Forum]"));
    window->show();
    QVERIFY(waitFor([&] { return window.isNull(); }));
    qv::Mem.DoTask = qv::RunInteractive;
    QCOMPARE(messageCount(), int64_t(1));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }
};

QTEST_MAIN(PurgeWindowTest)
#include "purge_window_test.moc"
