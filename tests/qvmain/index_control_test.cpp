// Build Word Index: the frame starts the indexing window, the run indexes the
// database (and the professional search finds it indexed), Stop ends a run
// at its next safe point and a partial run goes on from there, the frame
// refuses to close meanwhile, and a full run over an existing index asks
// first. The recount of a fully indexed database has nothing to do, and an
// unattended window then closes without indexing; with new messages it runs
// the recommended run by itself and closes.
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <set>

#include "browse_data.h"
#include "database/index_control.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"
#include "wordindex/index_fixup.h"

using namespace qvtest;

namespace {

const QString kIndexThread = QStringLiteral("AutoIndex");

// A forum of `count` messages in one thread, each with a word of its own and
// a word they share; made current.
uint32_t wordyForum(int count) {
  uint32_t id = makeBrowseDatabase(qv::KindForumDb, "Index Forum");
  addSection(100, 1, "General");
  addPerson(10, "Ann", "Lee", uint32_t(count), 0);
  addPerson(11, "Bob", "Ray", 0, uint32_t(count));
  addThread(1000, 100, "Gardening", uint32_t(count));
  for (int i = 0; i < count; ++i)
    addMessage(uint32_t(500 + i), 1000, 10, 11, 100 + i, "Tomatoes and word" + std::to_string(i) + "x.\r\n");
  return id;
}

// The messages that have entries in the word index.
std::set<uint32_t> indexedMessages() {
  std::set<uint32_t> ids;
  qv::OP_CLOSE(qv::OpShared, {qv::FileMasIdx});
  qv::MasIdx.setFileOrder();
  while (qv::MasIdx.next()) ids.insert(qv::MAS.SYSID);
  qv::OP_CLOSE(qv::OpRelease, {qv::FileMasIdx});
  return ids;
}

qvm::IndexControl* indexWindow() {
  return qobject_cast<qvm::IndexControl*>(qvm::TmWindow(qvm::TmGetId(kIndexThread)));
}

}  // namespace

class IndexControlTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFrameBuildsTheWordIndexAndSearchingFindsIt() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(6);
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    QVERIFY(waitFor([] { return qvm::TmGetId(qvm::kBrowseMsgNmbr) != 0; }));
    settle();
    QAction* build = frame.menuAction(qvm::ProcBuildIndex);
    QVERIFY(build->isEnabled());
    QVERIFY(frame.buttonAction(qvm::ProcBuildIndex)->isEnabled());
    build->trigger();
    // The browser closes first: the run takes the database's files.
    QVERIFY(waitFor([] { return indexWindow() != nullptr; }));
    QCOMPARE(qvm::TmGetId(qvm::kBrowseMsgNmbr), 0);
    qvm::IndexControl* w = indexWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral(" Indexing of Forum database [Index Forum]"));
    QCOMPARE(w->adviceLabel()->text(), QStringLiteral("Recommended action: full index"));
    QVERIFY(w->fullChoice()->isChecked());
    QVERIFY(!frame.menuAction(qvm::ProcBrowseMessages)->isEnabled());  // the other commands wait
    w->startButton()->click();
    QVERIFY2(waitFor([] { return indexWindow() == nullptr; }), qPrintable(inst.prompts.transcript()));
    QCOMPARE(inst.prompts.count("Indexing"), 1);
    QCOMPARE(inst.prompts.requests.back().text, std::string("Indexing finished!"));
    QCOMPARE(qv::IndexingInProgress, 0);
    QCOMPARE(indexedMessages().size(), size_t(6));
    // The frame takes the database up again: its commands and its browser.
    QVERIFY(waitFor([] { return qvm::TmGetId(qvm::kBrowseMsgNmbr) != 0; }));
    QVERIFY(frame.menuAction(qvm::ProcBrowseMessages)->isEnabled());
    auto* browser = qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(qvm::kBrowseMsgNmbr)));
    QVERIFY(browser);
    inst.prompts.reset();
    browser->professionalSearch();
    settle();
    QCOMPARE(inst.prompts.count(" Database not indexed!"), 0);
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->inherits("qvm::BuildSearch")) top->close();
    settle();
  }

  void stopEndsTheRunAndAPartialRunGoesOn() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(40);
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    QVERIFY(waitFor([] { return qvm::TmGetId(qvm::kBrowseMsgNmbr) != 0; }));
    frame.choose(qvm::ProcBuildIndex);
    QVERIFY(waitFor([] { return indexWindow() != nullptr; }));
    qvm::IndexControl* w = indexWindow();
    qv::KonfigSet(qv::ItemSpeedIndex, 1);  // one message an engine step
    w->setTickBudget(0);   // one engine step a tick
    w->startButton()->click();
    QVERIFY(w->running());
    QCOMPARE(w->stopButton()->text(), QStringLiteral("&Stop"));
    QVERIFY(!w->startButton()->isEnabled() && !w->fullChoice()->isEnabled());
    // One event-loop pass at a time (waitFor keeps the loop busy for a while,
    // in which a loaded machine may finish the whole run): a pass fires the
    // window's timer once, so the run is still far from its end below.
    for (int pass = 0; pass < 100000 && w->counters()[0]->text() == QStringLiteral("0"); ++pass)
      QCoreApplication::processEvents();
    QVERIFY(w->counters()[0]->text() != QStringLiteral("0"));
    QCOMPARE(w->counters()[1]->text(), QStringLiteral("40"));
    QCOMPARE(w->statusLabel()->text(), QStringLiteral("Indexing"));
    // The frame stays while the run lasts.
    QVERIFY(qv::IndexingInProgress != 0);
    frame.requestExit();
    settle();
    QVERIFY(frame.isVisible());
    QCOMPARE(inst.prompts.count("Exit Not Allowed"), 1);
    QVERIFY(indexWindow() == w);
    w->stopButton()->click();
    QVERIFY(waitFor([] { return indexWindow() == nullptr; }));
    QCOMPARE(qv::IndexingInProgress, 0);
    QCOMPARE(inst.prompts.count("Indexing"), 0);  // not finished: nothing to tell
    size_t before = indexedMessages().size();
    QVERIFY(before < 40);

    // A partial run (recommended now) indexes the rest, each message once.
    QVERIFY(waitFor([] { return qvm::TmGetId(qvm::kBrowseMsgNmbr) != 0; }));
    frame.choose(qvm::ProcBuildIndex);
    QVERIFY(waitFor([] { return indexWindow() != nullptr; }));
    w = indexWindow();
    if (before > 0) QVERIFY(w->partialChoice()->isChecked());
    w->partialChoice()->setChecked(true);
    w->startButton()->click();
    QVERIFY2(waitFor([] { return indexWindow() == nullptr; }), qPrintable(inst.prompts.transcript()));
    QCOMPARE(indexedMessages().size(), size_t(40));
  }

  void aFullRunOverAnIndexAsksFirst() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(3);
    QVERIFY(qv::ActivateDatabase(forum));
    {
      QPointer<qvm::IndexControl> first = new qvm::IndexControl;
      first->show();
      first->startButton()->click();
      QVERIFY(waitFor([&] { return first.isNull(); }));  // a completed run closes its window
    }
    QCOMPARE(indexedMessages().size(), size_t(3));
    inst.prompts.reset();
    auto* w = new qvm::IndexControl;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QCOMPARE(w->adviceLabel()->text(), QStringLiteral("Recommended action: none, every message is indexed"));
    w->fullChoice()->setChecked(true);
    inst.prompts.script(qv::BtnNo);
    w->startButton()->click();
    QVERIFY(waitFor([&] { return !w->running(); }));
    QCOMPARE(inst.prompts.count("Warning"), 1);
    QVERIFY(inst.prompts.requests[0].text.find("This will DELETE the current Wordlist & Master Index.") == 0);
    // The index is kept and the window stays for another choice.
    QVERIFY(w->isVisible());
    QCOMPARE(w->lastResult(), 2);
    QVERIFY(w->startButton()->isEnabled());
    QCOMPARE(w->stopButton()->text(), QStringLiteral("&Close"));
    QCOMPARE(indexedMessages().size(), size_t(3));
    delete w;
  }

  void aFullyIndexedDatabaseHasNothingToDoAndAnUnattendedWindowIndexesNothing() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(3);
    QVERIFY(qv::ActivateDatabase(forum));
    {
      QPointer<qvm::IndexControl> first = new qvm::IndexControl;
      QCOMPARE(first->advice(), int(qv::AdviseFull));
      first->show();
      first->startButton()->click();
      QVERIFY(waitFor([&] { return first.isNull(); }));
    }
    QCOMPARE(indexedMessages().size(), size_t(3));
    inst.prompts.reset();

    auto* w = new qvm::IndexControl;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(w->advice(), int(qv::AdviseNothing));
    QCOMPARE(w->explanation()->text().left(10), QStringLiteral("Word index"));
    w->recountButton()->click();
    QCOMPARE(inst.prompts.count("Recommended Action"), 1);
    QVERIFY(inst.prompts.requests.back().text.find("Nothing to do:") == 0);
    delete w;

    // Run by a scheduled task: closes at once, indexing nothing and asking nothing.
    inst.prompts.reset();
    qv::Mem.DoTask = qv::RunUnattended;
    int ended = 0;
    QPointer<qvm::IndexControl> task = new qvm::IndexControl;
    QVERIFY(task->unattendedMode());
    connect(task, &qvm::IndexControl::indexingEnded, [&](int result) { ended = result; });
    task->show();
    QVERIFY(waitFor([&] { return task.isNull(); }));
    qv::Mem.DoTask = qv::RunInteractive;
    QCOMPARE(ended, int(qv::AdviseNothing));
    QCOMPARE(inst.prompts.requests.size(), size_t(0));
    QCOMPARE(indexedMessages().size(), size_t(3));
  }

  void anUnattendedWindowRunsTheRecommendedRunAndCloses() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(3);
    QVERIFY(qv::ActivateDatabase(forum));
    qv::Mem.DoTask = qv::RunUnattended;
    int ended = 0;
    QPointer<qvm::IndexControl> task = new qvm::IndexControl;
    connect(task, &qvm::IndexControl::indexingEnded, [&](int result) { ended = result; });
    QVERIFY(task->fullChoice()->isChecked());
    task->show();
    QVERIFY(waitFor([&] { return task.isNull(); }));
    QCOMPARE(ended, 1);
    QCOMPARE(indexedMessages().size(), size_t(3));

    // Two more messages: a partial run picks them up.
    addMessage(600, 1000, 10, 11, 200, "Cucumbers.\r\n");
    addMessage(601, 1000, 10, 11, 201, "Melons.\r\n");
    task = new qvm::IndexControl;
    QCOMPARE(task->advice(), int(qv::AdvisePartial));
    connect(task, &qvm::IndexControl::indexingEnded, [&](int result) { ended = result; });
    ended = 0;
    task->show();
    QVERIFY(waitFor([&] { return task.isNull(); }));
    qv::Mem.DoTask = qv::RunInteractive;
    QCOMPARE(ended, 1);
    QCOMPARE(indexedMessages().size(), size_t(5));
    QCOMPARE(inst.prompts.requests.size(), size_t(0));
  }

  void anUnreadableDatabaseRecordIsReported() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = wordyForum(1);
    QVERIFY(qv::ActivateDatabase(forum));
    qv::Mem.ForumNumber = forum + 1000;  // no such record
    auto* w = new qvm::IndexControl;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(inst.prompts.count("Disk Error"), 1);
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("Unable to read forum data!\r\nIndexing not possible now."));
    QVERIFY(!w->startButton()->isEnabled());
    QVERIFY(!w->recountButton()->isEnabled());
    delete w;
    qv::Mem.ForumNumber = forum;
  }
};

QTEST_MAIN(IndexControlTest)
#include "index_control_test.moc"
