// The thread tree window: the tree of the browser's thread, rebuilt only
// when the selection moves to another thread, and the browser sent to a
// chosen message by the events and the context it expects.
#include <QPointer>
#include <QTreeWidget>
#include <QtTest>

#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "browse/thread_tree_window.h"
#include "dictionary/file_numbers.h"
#include "events.h"
#include "frame/procedures.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/browse_records.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// Stands in for the browser: registers as BrowseMsgNmbr and records the
// private events it receives.
class FakeBrowser : public QWidget {
 public:
  FakeBrowser() { qvm::TmCreate(this, QStringLiteral("BrowseMsgNmbr"), qvm::kNotToolsGroup); }
  bool event(QEvent* e) override {
    if (const qvm::QvEvent* ev = qvm::privateEvent(e)) {
      received.push_back(ev->number());
      return true;
    }
    return QWidget::event(e);
  }
  std::vector<int> received;
};

// Thread 7000: 500 <- 501 <- 502, 500 <- 503; thread 7001: 510 and 511
// without references; 520 answers 519, which was purged.
void forum() {
  QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Tree Forum") != 0);
  QVERIFY(addPerson(100, "Ann", "Lee"));
  QVERIFY(addPerson(101, "Bob", "Ray"));
  QVERIFY(addThread(7000, 100, "First post about modems"));
  QVERIFY(addMessageIn(500, 7000, 100, "First post", 100, 0, 70001, {}, 0, 0));
  QVERIFY(addMessageIn(501, 7000, 100, "First post", 101, 0, 70002, {}, 0, 500));
  QVERIFY(addMessageIn(502, 7000, 100, "First post", 100, 0, 70003, {}, 0, 501));
  QVERIFY(addMessageIn(503, 7000, 100, "First post", 101, 0, 70004, {}, 0, 500));
  QVERIFY(addMessageIn(510, 7001, 100, "Others", 101, 0, 70000, {}, 0, 0));
  QVERIFY(addMessageIn(511, 7001, 100, "Others", 100, 0, 70000, {}, 0, 0));
  QVERIFY(addMessageIn(520, 7002, 100, "Orphans", 100, 0, 70000, {}, 0, 519));
}

void select(uint32_t message, int mode = qv::FmNumber) {
  qv::BrowseState s;
  s.kind = qv::KindForumDb;
  s.mode = mode;
  s.selected = message;
  qv::writeBrowseContext(s);
}

// "number:depth:icon" of the tree's items in display order, the empty first row left out.
QStringList shape(QTreeWidget* tree) {
  QStringList out;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    uint32_t n = (*it)->data(0, Qt::UserRole).toUInt();
    if (n == 0) continue;
    int depth = 1;
    for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
    out << QStringLiteral("%1:%2:%3").arg(n).arg(depth).arg((*it)->data(0, Qt::UserRole + 1).toInt());
  }
  return out;
}

uint32_t currentNumber(qvm::ThreadTreeWindow* w) {
  QTreeWidgetItem* it = w->tree()->currentItem();
  return it ? it->data(0, Qt::UserRole).toUInt() : 0;
}

}  // namespace

class ThreadTreeWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void showsTheThreadOfTheSelectedMessage() {
    TestInstallation inst;
    inst.open();
    forum();
    qv::KonfigSet(qv::ItemThreadTreeFormat, 4);   // sender, number, date
    qv::KonfigSet(qv::ItemDateFormat, 10);  // year-month-day
    select(502);
    auto* w = new qvm::ThreadTreeWindow;
    QCOMPARE(w->threadNumber(), 7000u);
    QCOMPARE(w->builds(), 1);
    QCOMPARE(shape(w->tree()), (QStringList{"500:1:2", "501:2:2", "502:3:1", "503:2:1"}));
    QTreeWidgetItem* first = w->tree()->topLevelItem(0);
    QVERIFY(first->text(0).isEmpty());  // the empty row for message 0
    QCOMPARE(w->itemOf(501)->text(0), QStringLiteral("Bob Ray 501 ") + QString::fromStdString(qv::formatDate(70002, 10)));
    QCOMPARE(currentNumber(w), 502u);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Thread Tree: First post about modems"));
    QCOMPARE(qvm::TmGetId(QStringLiteral("ThreadTree")) != 0, true);
    QVERIFY(qvm::TmMembers(qvm::kFindGroup).contains(QStringLiteral("ThreadTree")));
    w->close();
  }

  void messagesWithoutReferencesAndPurgedParentsAreTopLeaves() {
    TestInstallation inst;
    inst.open();
    forum();
    select(511);
    auto* w = new qvm::ThreadTreeWindow;
    QCOMPARE(shape(w->tree()), (QStringList{"510:1:1", "511:1:1"}));
    QCOMPARE(w->windowTitle(), QStringLiteral(" Thread Tree: Others"));  // no thread record: the message's copy
    select(520);
    qvm::postEvent(w, qvm::EvThreadTree);
    QVERIFY(waitFor([&] { return w->builds() == 2; }));
    QCOMPARE(shape(w->tree()), (QStringList{"520:1:1"}));
    w->close();
  }

  void aVeryDeepThreadNestsNoDeeperThanTheWidgetShows() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Deep Forum") != 0);
    qv::OP_CLOSE(qv::OpShared, {qv::FileMsgNmbr});
    QVERIFY(qv::beginTransaction({&qv::MsgNmbr}, 5));
    for (uint32_t n = 1000; n < 1200; ++n) {  // each answers the one before
      qv::MSG = qv::MsgNmbrRec();
      qv::MSG.MSGNUMBER = n;
      qv::MSG.REFNUMBER = n == 1000 ? 0 : n - 1;
      qv::MSG.THREADNUMBER = 9000;
      qv::MSG.THREADALPHA = "Chain";
      QVERIFY(qv::MsgNmbr.add());
    }
    QVERIFY(qv::commitTransaction());
    qv::OP_CLOSE(qv::OpRelease, {qv::FileMsgNmbr});
    select(1199);
    auto* w = new qvm::ThreadTreeWindow;
    QStringList rows = shape(w->tree());
    QCOMPARE(rows.size(), 200);
    QCOMPARE(rows.at(62), QStringLiteral("1062:63:2"));
    QCOMPARE(rows.at(63), QStringLiteral("1063:64:2"));
    QCOMPARE(rows.at(64), QStringLiteral("1064:64:2"));  // below the deepest level, in order
    QCOMPARE(rows.at(199), QStringLiteral("1199:64:1"));
    QCOMPARE(currentNumber(w), 1199u);
    w->close();
  }

  void rebuildsOnlyWhenTheSelectionMovesToAnotherThread() {
    TestInstallation inst;
    inst.open();
    forum();
    select(500);
    QPointer<qvm::ThreadTreeWindow> w = new qvm::ThreadTreeWindow;
    QCOMPARE(w->builds(), 1);

    // Another message of the same thread: the tree stays, the highlight moves.
    select(503);
    qvm::postEvent(w, qvm::EvThreadTree);
    settle();
    QCOMPARE(w->builds(), 1);
    QCOMPARE(currentNumber(w), 503u);

    // A message of another thread, told by the browser's selection event.
    select(510);
    qvm::postEvent(w, qvm::EvTreeSelection);
    QVERIFY(waitFor([&] { return w->builds() == 2; }));
    QCOMPARE(w->threadNumber(), 7001u);
    QCOMPARE(currentNumber(w), 510u);

    // 1316 closes the tree, which tells the browser.
    FakeBrowser browser;
    qvm::postEvent(w, qvm::EvThreadTreeClose);
    QVERIFY(waitFor([&] { return w.isNull(); }));
    settle();
    QCOMPARE(browser.received, (std::vector<int>{qvm::EvThreadTreeClose}));
  }

  void choosingARowSendsTheBrowserToTheMessage() {
    TestInstallation inst;
    inst.open();
    forum();
    FakeBrowser browser;

    // In the number view the browser shows the message where it is.
    select(500, qv::FmNumber);
    auto* w = new qvm::ThreadTreeWindow;
    w->tree()->setCurrentItem(w->itemOf(502));
    QTest::keyClick(w->tree(), Qt::Key_Return);
    settle();
    QCOMPARE(browser.received, (std::vector<int>{qvm::EvShowContextMessage, qvm::EvBrowseToFront}));
    qv::BrowseState ctx = qv::readBrowseContext(qv::KindForumDb);
    QCOMPARE(ctx.selected, 502u);
    QCOMPARE(ctx.mode, int(qv::FmNumber));

    // From the sender view the browser is sent to the thread view.
    browser.received.clear();
    select(500, qv::FmSender);
    w->choose(w->itemOf(503));
    settle();
    QCOMPARE(browser.received, (std::vector<int>{qvm::EvJumpFromTree, qvm::EvBrowseToFront}));
    ctx = qv::readBrowseContext(qv::KindForumDb);
    QCOMPARE(ctx.selected, 503u);
    QCOMPARE(ctx.mode, int(qv::FmThread));
    QCOMPARE(ctx.threadNumber, 7000u);

    // The empty first row sends nothing.
    browser.received.clear();
    w->choose(w->tree()->topLevelItem(0));
    settle();
    QVERIFY(browser.received.empty());

    // Closing tells the browser.
    w->close();
    settle();
    QCOMPARE(browser.received, (std::vector<int>{qvm::EvThreadTreeClose}));
  }

  void worksWithTheMessageBrowser() {
    TestInstallation inst;
    inst.open();
    forum();
    QVERIFY(addThread(7001, 100, "Others"));
    QVERIFY(addThread(7002, 100, "Orphans"));
    qvm::registerAllWindows();
    QPointer<qvm::BrowseWindow> browser = new qvm::BrowseWindow(qv::KindForumDb);
    browser->show();
    QVERIFY(browser->showMessage(502));
    settle();
    qvm::postEvent(browser, qvm::EvThreadTree);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ThreadTree")) != 0; }));
    auto* tree = qobject_cast<qvm::ThreadTreeWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("ThreadTree"))));
    QVERIFY(tree);
    QCOMPARE(tree->threadNumber(), 7000u);
    QCOMPARE(currentNumber(tree), 502u);

    // Selecting a message of another thread in the browser rebuilds the tree.
    QVERIFY(browser->showMessage(510));
    QVERIFY(waitFor([&] { return tree->threadNumber() == 7001u; }));
    QCOMPARE(currentNumber(tree), 510u);

    // A row chosen in the tree is shown by the browser.
    tree->choose(tree->itemOf(511));
    QVERIFY(waitFor([&] { return browser->selected() == 511u; }));

    // From the sender view the browser keeps its view as the bookmark and shows the thread.
    browser->setMode(qv::FmSender);
    settle();
    tree->choose(tree->itemOf(510));
    QVERIFY(waitFor([&] { return browser->selected() == 510u; }));
    QCOMPARE(browser->state().mode, int(qv::FmThread));
    QVERIFY(browser->hasBookmark());

    // Closing the browser closes the tree with it.
    browser->close();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ThreadTree")) == 0; }));
  }

  void theBrowserStartsItByThreadName() {
    TestInstallation inst;
    inst.open();
    forum();
    qvm::registerAllWindows();
    QVERIFY(qvm::procedureRegistered(QStringLiteral("ThreadTree")));
    select(501);
    QVERIFY(qvm::startProcedure(QStringLiteral("ThreadTree")));
    auto* w = qobject_cast<qvm::ThreadTreeWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("ThreadTree"))));
    QVERIFY(w);
    QCOMPARE(currentNumber(w), 501u);
    // A second start only activates the running one.
    QVERIFY(qvm::startProcedure(QStringLiteral("ThreadTree")));
    settle();
    QCOMPARE(qvm::TmMembers(qvm::kFindGroup).count(QStringLiteral("ThreadTree")), 1);
    qvm::TmDestroyGroup(qvm::kFindGroup);
    settle();
    QCOMPARE(qvm::TmGetId(QStringLiteral("ThreadTree")), 0);
  }
};

QTEST_MAIN(ThreadTreeWindowTest)
#include "thread_tree_window_test.moc"
