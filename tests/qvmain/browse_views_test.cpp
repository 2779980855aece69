// The browsers' views follow the database: a browser opens on a view that
// shows messages, a view whose thread or topic went falls back to the
// number view, and the entry of a view names the item the list is at.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>
#include <chrono>

#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "browse/status_marks.h"
#include "browse_data.h"
#include "events.h"
#include "maintenance/purge_run.h"
#include "services/topics.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

qvm::BrowseWindow* openForumBrowser() { return openBrowser(qv::KindForumDb, 760); }

void closeBrowser(qvm::BrowseWindow* w) {
  QPointer<qvm::BrowseWindow> gone(w);
  w->close();
  waitFor([&] { return gone.isNull(); });
}

// Runs a purge of the current database to its end.
bool purge() {
  qv::PurgeRun run(qv::PurgePurging);
  if (!run.start()) return false;
  while (run.tick(std::chrono::milliseconds(50))) {
  }
  return run.status().ok();
}

}  // namespace

class BrowseViewsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aNewsgroupBrowserDoesNotOpenOnAnEmptyTopicView() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindNewsDb, "comp.lang.misc");
    // The forum's browser was last left in the topic view, with no topic chosen.
    qv::storeBrowseMode(qv::KindNewsDb, qv::FmTopic);
    auto* w = openForumBrowser();
    QVERIFY(w);
    QCOMPARE(w->state().mode, int(qv::FmNumber));
    QCOMPARE(w->modeSelector()->currentData().toInt(), int(qv::FmNumber));
    QCOMPARE(rowIds(w).size(), size_t(6));
  }

  void aBrowserStillOpensOnAViewThatShowsMessages() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    qv::storeBrowseMode(qv::KindForumDb, qv::FmDate);
    auto* w = openForumBrowser();
    QCOMPARE(w->state().mode, int(qv::FmDate));
    QCOMPARE(rowIds(w).size(), size_t(6));
  }

  void aPurgedThreadGivesWayToTheNumberView() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(503));
    w->setMode(qv::FmThread);
    w->setLimit(true);
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{503}));
    QVERIFY(w->markStatus(qv::LevelThread, 2));
    // A purge closes the browser and opens it again when it ends.
    closeBrowser(w);
    QVERIFY(purge());
    w = openForumBrowser();
    QVERIFY(w);
    QCOMPARE(w->state().mode, int(qv::FmNumber));
    QCOMPARE(w->state().threadNumber, 0u);
    QVERIFY(!w->state().limitThread);
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{505, 504, 502, 501, 500}));
    // The thread view then starts at the selected message's thread.
    QVERIFY(w->showMessage(502));
    w->setMode(qv::FmThread);
    QCOMPARE(w->entry()->text(), QStringLiteral("Bananas"));
  }

  void aDeletedTopicGivesWayToTheNumberView() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    qv::Topic t;
    t.text = "Fruit";
    uint32_t topic = qv::addTopic(t);
    QVERIFY(topic != 0);
    addTopicLinks(topic, {500, 502});
    qv::storeBrowseMode(qv::KindForumDb, qv::FmTopic);
    qv::BrowseState kept;
    kept.kind = qv::KindForumDb;
    kept.mode = qv::FmTopic;
    kept.topicId = topic;
    kept.selected = 502;
    auto* w = openForumBrowser();
    QCOMPARE(w->state().mode, int(qv::FmNumber));  // no topic chosen yet
    QVERIFY(w->showMessage(502));
    qv::writeBrowseContext(kept);
    // The tree's jump takes the topic view from the context.
    qvm::postEvent(w, qvm::EvJumpFromTree);
    settle();
    QCOMPARE(w->state().mode, int(qv::FmTopic));
    QCOMPARE(w->state().topicId, topic);
    QCOMPARE(rowIds(w).size(), size_t(2));
    // The topic is deleted (its links stay until a purge): the browser is told.
    QVERIFY(qv::deleteTopic(topic));
    qvm::postEvent(w, qvm::EvToolsEnded);
    settle();
    QCOMPARE(w->state().mode, int(qv::FmNumber));
    QCOMPARE(w->state().topicId, 0u);
    QCOMPARE(w->selected(), 502u);
    QCOMPARE(rowIds(w).size(), size_t(6));
  }

  void theThreadEntryNamesTheThreadOfTheSelectedMessage() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(500));
    w->setMode(qv::FmThread);
    QCOMPARE(w->entry()->text(), QStringLiteral("Pears and apples"));
    // Without the limit the list holds every thread: the entry follows the selection.
    QVERIFY(w->showMessage(503));
    QCOMPARE(w->state().threadNumber, 1002u);
    QCOMPARE(w->entry()->text(), QStringLiteral("Cherries"));
    QCOMPARE(w->counter()->text(), QStringLiteral("[1]"));
    // A thread chosen in another view is not shown over another thread's messages.
    w->setMode(qv::FmNumber);
    QVERIFY(w->showMessage(502));
    w->setMode(qv::FmThread);
    QCOMPARE(w->entry()->text(), QStringLiteral("Bananas"));
    // Limited, the entry keeps its thread.
    w->setLimit(true);
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{502, 505}));
    QVERIFY(w->showMessage(505));
    QCOMPARE(w->entry()->text(), QStringLiteral("Bananas"));
    // So does the sender view without the limit.
    w->setMode(qv::FmSender);
    QCOMPARE(w->entry()->text(), QStringLiteral("Dee Adams"));
    QVERIFY(w->showMessage(500));
    QCOMPARE(w->entry()->text(), QStringLiteral("Ann Lee"));
  }
};

QTEST_MAIN(BrowseViewsTest)
#include "browse_views_test.moc"
