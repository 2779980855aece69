// The frame's commands: every enabled menu item and tool-bar button, with and
// without a database and with and without the browser of a forum, newsgroup
// and mail database, opens something (a window, a dialog, a message, the
// clip-board's text); a command whose window this version lacks is disabled
// and says so.
#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

#include "browse_data.h"
#include "events.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "help/help_window.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// The frame's commands in a fixed order: the menus' items (the Window
// menu's generated list and Exit left out) and the tool bar's buttons (the
// classify button by the entries of its pop-up).
QList<QAction*> commands(qvm::MainFrame& frame) {
  QList<QAction*> out;
  std::function<void(QMenu*)> walk = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->isSeparator() || a == frame.exitAction()) continue;
      if (a->menu())
        walk(a->menu());
      else
        out << a;
    }
  };
  for (QAction* top : frame.menuBar()->actions())
    if (top->menu() && top->text() != QStringLiteral("&Window")) walk(top->menu());
  for (QAction* a : frame.findChild<QToolBar*>()->actions()) {
    if (a->isSeparator() || a->text() == QStringLiteral("Exit Quorvane")) continue;
    if (a == frame.classifyButton())
      out << a->menu()->actions();
    else
      out << a;
  }
  return out;
}

QString describe(QAction* a) {
  return (a->text().isEmpty() ? a->toolTip() : a->text()) + QStringLiteral(" [") + a->statusTip() + QStringLiteral("]");
}

// What the user can see: windows, sub-windows not minimised, messages asked
// and the clip-board's text.
struct Seen {
  QSet<QWidget*> windows;
  QSet<QWidget*> subWindows;
  size_t prompts = 0;
  QString clip;
};

Seen look(qvm::MainFrame& frame, const RecordingPrompter& prompts) {
  Seen s;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) s.windows.insert(w);
  for (QMdiSubWindow* sub : frame.area()->subWindowList())
    if (sub->isVisible() && !sub->isMinimized()) s.subWindows.insert(sub);
  s.prompts = prompts.requests.size();
  s.clip = QGuiApplication::clipboard()->text();
  return s;
}

bool opened(const Seen& before, const Seen& after) {
  return !(after.windows - before.windows).isEmpty() || !(after.subWindows - before.subWindows).isEmpty() ||
         after.prompts > before.prompts || (!after.clip.isEmpty() && after.clip != before.clip);
}

enum class Browse { None, Open, Closed };

// A frame over the active database (none when `database` is 0), its browser
// open or closed, every sub-window minimised and the clip-board empty.
std::unique_ptr<qvm::MainFrame> frameIn(uint32_t database, Browse browse) {
  qv::Mem.ForumNumber = 0;
  if (database != 0 && !qv::ActivateDatabase(database)) return nullptr;
  auto frame = std::make_unique<qvm::MainFrame>(1);
  frame->show();
  if (browse != Browse::None) {
    const QString name = qvm::browseThreadName(qv::Mem.ForumType);
    if (!waitFor([&] { return qvm::TmGetId(name) != 0; })) return nullptr;
    settle();
    if (browse == Browse::Closed) {
      qvm::TmDestroyGroup(qvm::kNotToolsGroup);
      if (!waitFor([&] { return qvm::TmGetId(name) == 0; })) return nullptr;
      settle();
    }
  }
  for (QMdiSubWindow* sub : frame->area()->subWindowList()) sub->showMinimized();
  QGuiApplication::clipboard()->clear();
  settle();
  return frame;
}

void closeAll(std::unique_ptr<qvm::MainFrame>& frame) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != frame.get()) w->close();
  settle();
  frame.reset();
  settle();
}

// Walks every command of the frame in one state: each enabled one is chosen
// in a fresh frame and must open something. Returns the number of enabled
// commands, or -1 after a failure (reported through QTest).
int walk(TestInstallation& inst, uint32_t database, Browse browse, const char* state) {
  auto frame = frameIn(database, browse);
  if (!frame) {
    QTest::qFail(qPrintable(QStringLiteral("the frame did not reach its state: ") + QLatin1String(state)), __FILE__,
                 __LINE__);
    return -1;
  }
  const int count = int(commands(*frame).size());
  int enabled = 0;
  for (int i = 0; i < count; ++i) {
    QAction* a = commands(*frame)[i];
    if (!a->isEnabled()) {
      if (a->statusTip().contains(QStringLiteral("not available")) == false && browse == Browse::Open &&
          database != 0) {
        // A command disabled while everything it needs runs must say why.
        // (The thread tree is no command of a mail database.)
        if (a->statusTip() != QStringLiteral("Show thread tree")) {
          QTest::qFail(qPrintable(QStringLiteral("%1: disabled without a note: %2")
                                      .arg(QLatin1String(state), describe(a))),
                       __FILE__, __LINE__);
          return -1;
        }
      }
      continue;
    }
    ++enabled;
    const QString what = describe(a);
    Seen before = look(*frame, inst.prompts);
    a->trigger();
    bool ok = waitFor([&] { return opened(before, look(*frame, inst.prompts)); });
    closeAll(frame);
    inst.prompts.reset();
    if (!ok) {
      QTest::qFail(qPrintable(QStringLiteral("%1: enabled and opens nothing: %2").arg(QLatin1String(state), what)),
                   __FILE__, __LINE__);
      return -1;
    }
    frame = frameIn(database, browse);
    if (!frame) return -1;
  }
  // The classify button is enabled exactly when an entry of its pop-up is.
  bool anyEntry = false;
  for (QAction* a : frame->classifyButton()->menu()->actions()) anyEntry = anyEntry || a->isEnabled();
  if (frame->classifyButton()->isEnabled() != anyEntry) {
    QTest::qFail(qPrintable(QStringLiteral("%1: the classify button does not follow its entries").arg(QLatin1String(state))),
                 __FILE__, __LINE__);
    return -1;
  }
  closeAll(frame);
  return enabled;
}

}  // namespace

class FrameCommandsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void withoutADatabaseEveryEnabledCommandOpensSomething() {
    TestInstallation inst;
    inst.open();
    int enabled = walk(inst, 0, Browse::None, "no database");
    if (QTest::currentTestFailed()) return;
    QVERIFY(enabled > 5);
  }

  void everyEnabledCommandOfEveryKindOpensSomething() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum(1, "Walk Forum");
    uint32_t news = sampleForum(3, "Walk News");
    uint32_t mail = makeBrowseDatabase(qv::KindMailDb, "Walk Mail");
    QVERIFY(forum && news && mail);
    addPerson(21, "Fay", "Brown", 1, 0);
    QVERIFY(addMail(700, qv::Mem.PersonID, 21, false, qv::dateFromYMD(2001, 5, 1), 100, "Hello", "Hi.\r\n"));
    struct Case {
      uint32_t database;
      Browse browse;
      const char* state;
    };
    const Case cases[] = {
        {forum, Browse::Open, "forum with its browser"},  {forum, Browse::Closed, "forum without browser"},
        {news, Browse::Open, "newsgroup with its browser"}, {news, Browse::Closed, "newsgroup without browser"},
        {mail, Browse::Open, "mail with its browser"},     {mail, Browse::Closed, "mail without browser"},
    };
    for (const Case& c : cases) {
      int enabled = walk(inst, c.database, c.browse, c.state);
      if (QTest::currentTestFailed()) return;
      QVERIFY2(enabled > 5, c.state);
    }
  }

  void theGroupAndTopicCommandsWorkWithTheBrowser() {
    TestInstallation inst;
    inst.open();
    uint32_t mail = makeBrowseDatabase(qv::KindMailDb, "Note Mail");
    QVERIFY(mail);
    {
      auto closed = frameIn(mail, Browse::Closed);
      QVERIFY(closed);
      // Commands to the browse wait for it.
      for (int number : {qvm::ProcExportMessages, qvm::ProcPrintMessages, qvm::ProcClassifySets, qvm::ProcAttachTopics})
        QVERIFY2(!closed->menuAction(number)->isEnabled(), qPrintable(describe(closed->menuAction(number))));
      closeAll(closed);
    }
    auto frame = frameIn(mail, Browse::Open);
    QVERIFY(frame);
    for (int number : {qvm::ProcExportMessages, qvm::ProcPrintMessages, qvm::ProcClassifySets, qvm::ProcAttachTopics,
                       qvm::ProcTopics}) {
      QAction* a = frame->menuAction(number);
      QVERIFY2(a->isEnabled(), qPrintable(describe(a)));
      QVERIFY2(!a->statusTip().endsWith(QStringLiteral("(not available in this version)")), qPrintable(describe(a)));
    }
    for (int number : {qvm::ProcExportMessages, qvm::ProcPrintMessages})
      QVERIFY(frame->buttonAction(number)->isEnabled());
    QVERIFY(frame->classifyButton()->isEnabled());
    // A mail database has no thread tree; its browser runs, yet the item stays off.
    QVERIFY(!frame->menuAction(qvm::ProcThreadTree)->isEnabled());
    // Copying and searching are the browser's own.
    QVERIFY(frame->menuAction(qvm::ProcCopyToClipboard)->isEnabled());
    QVERIFY(frame->menuAction(qvm::ProcStandardSearch)->isEnabled());
    closeAll(frame);
  }

  // Every key is bound once across the frame's items and the shortcuts of
  // the windows inside it, and the usual keys stand beside their items.
  void shortcutsAreUniqueAndShownInTheMenus() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum(1, "Key Forum");
    auto frame = frameIn(forum, Browse::Open);
    QVERIFY(frame);
    QMap<QString, QStringList> bound;
    std::function<void(QMenu*)> walkMenu = [&](QMenu* menu) {
      for (QAction* a : menu->actions()) {
        if (a->menu()) walkMenu(a->menu());
        for (const QKeySequence& k : a->shortcuts()) bound[k.toString()] << describe(a);
      }
    };
    for (QAction* top : frame->menuBar()->actions())
      if (top->menu()) walkMenu(top->menu());
    for (QAction* a : frame->findChild<QToolBar*>()->actions())
      for (const QKeySequence& k : a->shortcuts()) bound[k.toString()] << describe(a);
    for (QAction* a : frame->actions())
      for (const QKeySequence& k : a->shortcuts()) bound[k.toString()] << describe(a);
    for (QShortcut* sc : frame->findChildren<QShortcut*>())
      bound[sc->key().toString()] << QStringLiteral("shortcut of ") + sc->parent()->metaObject()->className();
    for (auto it = bound.begin(); it != bound.end(); ++it)
      QVERIFY2(it.value().size() == 1, qPrintable(it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(", "))));
    QCOMPARE(frame->menuAction(qvm::ProcStandardSearch)->shortcut(), QKeySequence(QKeySequence::Find));
    QCOMPARE(frame->menuAction(qvm::ProcPrintMessages)->shortcut(), QKeySequence(QKeySequence::Print));
    QCOMPARE(frame->exitAction()->shortcut(), QKeySequence(QKeySequence::Quit));
    QVERIFY(bound.contains(QKeySequence(QKeySequence::HelpContents).toString()));
    closeAll(frame);
  }

  // F1 opens the help of the window in front (the browser's own page), and
  // the frame's page when no window is in front; nothing is ambiguous.
  void f1OpensTheHelpOfTheWindowInFront() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum(1, "Help Forum");
    auto frame = frameIn(forum, Browse::Open);
    QVERIFY(frame);
    static QStringList warnings;
    warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
      warnings << m;
    });
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    auto* browser = qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(qvm::kBrowseMsgNmbr)));
    QVERIFY(browser);
    qvm::activateWindow(browser);
    browser->list()->table()->setFocus();
    settle();
    QTest::keyClick(browser->list()->table(), Qt::Key_F1);
    bool shown = waitFor([] { return !qvm::shownHelpTitle().isEmpty(); });
    QString title = qvm::shownHelpTitle();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != frame.get() && w->windowTitle() == QStringLiteral("Quorvane Help")) w->close();
    settle();
    // With no window in front, the frame's own page.
    for (QMdiSubWindow* sub : frame->area()->subWindowList()) sub->close();
    settle();
    frame->activateWindow();
    bool active = QTest::qWaitForWindowActive(frame.get());
    QTest::keyClick(frame.get(), Qt::Key_F1);
    bool shownAgain = waitFor([] { return !qvm::shownHelpTitle().isEmpty(); });
    QString frameTitle = qvm::shownHelpTitle();
    qInstallMessageHandler(previous);
    QVERIFY2(shown, qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(title, QStringLiteral("Browsing forum messages"));
    QVERIFY2(shownAgain, qPrintable(warnings.join(QLatin1Char('\n'))));
    QVERIFY(active);
    QCOMPARE(frameTitle, QStringLiteral("What is Quorvane?"));
    for (const QString& w : warnings) QVERIFY2(!w.contains(QStringLiteral("Ambiguous shortcut")), qPrintable(w));
    closeAll(frame);
  }
};

QTEST_MAIN(FrameCommandsTest)
#include "frame_commands_test.moc"
