// Windows opened through the frame come to the front with the focus: after
// each command the window it opened (or that was open already) is the
// frame's active sub-window, on top of the others, and holds the focus; a
// single command opens it, also while other windows must close first.
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QtTest>

#include "browse_data.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "frame/window_host.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// A step that closes the window in front instead of choosing a command.
constexpr int kCloseFront = -1;

// The sub-window that holds a procedure's window (nullptr when it does not run
// or stands on its own).
QMdiSubWindow* subWindowOf(const QString& thread) {
  QWidget* w = qvm::TmWindow(qvm::TmGetId(thread));
  return w ? qobject_cast<QMdiSubWindow*>(w->parentWidget()) : nullptr;
}

// Where a procedure's window stands: why it is not in front, or empty.
QString notInFront(qvm::MainFrame& frame, const QString& thread) {
  QWidget* w = qvm::TmWindow(qvm::TmGetId(thread));
  if (!w) return thread + QStringLiteral(" does not run");
  QMdiSubWindow* sub = subWindowOf(thread);
  if (!sub) return thread + QStringLiteral(" is not in the frame's window area");
  if (!sub->isVisible() || sub->isMinimized()) return thread + QStringLiteral(" is hidden");
  if (frame.area()->activeSubWindow() != sub) return thread + QStringLiteral(" is not the active window");
  QList<QMdiSubWindow*> stack = frame.area()->subWindowList(QMdiArea::StackingOrder);
  QMdiSubWindow* top = nullptr;
  for (QMdiSubWindow* s : stack)
    if (s->isVisible() && !s->isMinimized()) top = s;
  if (top != sub) return thread + QStringLiteral(" is behind ") + (top ? top->windowTitle() : QString());
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !sub->isAncestorOf(focus)) return thread + QStringLiteral(" does not hold the focus");
  return QString();
}

// Chooses a command of the frame and waits until the thread's window is in
// front; returns why not after the wait.
QString command(qvm::MainFrame& frame, int number, const QString& thread) {
  QAction* a = frame.menuAction(number);
  if (!a) return QStringLiteral("no item %1").arg(number);
  if (!a->isEnabled()) return a->text() + QStringLiteral(" is disabled");
  a->trigger();
  waitFor([&] { return notInFront(frame, thread).isEmpty(); });
  settle();
  const QString why = notInFront(frame, thread);
  return why.isEmpty() ? why
                      : a->text() + QStringLiteral(": ") + why + QStringLiteral(" (status bar: ") +
                            frame.statusBar()->currentMessage() + QLatin1Char(')');
}

}  // namespace

class WindowFrontTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void everyCommandBringsItsWindowToTheFront() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum(qv::KindForumDb, "Front Forum");
    QVERIFY(forum);
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    QApplication::setActiveWindow(&frame);
    const QString browse = qvm::browseThreadName(qv::KindForumDb);
    QVERIFY(waitFor([&] { return qvm::TmGetId(browse) != 0; }));
    settle();

    struct Step {
      int number;  // the command; kCloseFront closes the window in front
      const char* thread;  // the window in front after it
    };
    // Count, then Purge while Count is open (it needs the database to
    // itself: the browser stays closed until it ends); lists that exist
    // already; the word list open when the word index is built; the task
    // tools beside each other.
    const Step steps[] = {
        {qvm::ProcCountMessages, "PurgeMess"},      {qvm::ProcPurgeMessages, "PurgeMess"},
        {kCloseFront, "BrowseMsgNmbr"},             {qvm::ProcTopics, "BrowseTopics"},
        {qvm::ProcBrowsePersons, "BrowsePersonMerge"}, {qvm::ProcBrowseMessages, "BrowseMsgNmbr"},
        {qvm::ProcBrowsePersons, "BrowsePersonMerge"}, {qvm::ProcIndexedWords, "WordList"},
        {qvm::ProcBuildIndex, "AutoIndex"},         {kCloseFront, "BrowseMsgNmbr"},
        {qvm::ProcScheduleTasks, "BrowseTasks"},    {qvm::ProcDefineImports, "BrowseBatch"},
        {qvm::ProcShowTaskLog, "ShowLog"},          {qvm::ProcDefineImports, "BrowseBatch"},
        {kCloseFront, "BrowseMsgNmbr"},
    };
    QStringList failures;
    for (const Step& s : steps) {
      const QString thread = QString::fromLatin1(s.thread);
      QString why;
      if (s.number == kCloseFront) {
        QMdiSubWindow* front = frame.area()->activeSubWindow();
        if (front) front->close();
        waitFor([&] { return notInFront(frame, thread).isEmpty(); });
        settle();
        why = notInFront(frame, thread);
        if (!why.isEmpty()) why = QStringLiteral("after closing the window in front: ") + why;
      } else {
        why = command(frame, s.number, thread);
      }
      if (!why.isEmpty()) failures << why;
      // What needs the database to itself runs without the browser.
      if (s.number == qvm::ProcPurgeMessages || s.number == qvm::ProcBuildIndex || s.number == qvm::ProcScheduleTasks)
        if (qvm::TmGetId(browse) != 0) failures << QStringLiteral("the browser runs beside ") + thread;
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n')) + QLatin1Char('\n') +
                                            inst.prompts.transcript()));
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != &frame) w->close();
    frame.area()->closeAllSubWindows();
    settle();
  }

  // A command whose window cannot open says why in the status bar.
  void aWindowThatCannotOpenSaysWhy() {
    TestInstallation inst;
    inst.open();
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    // A window that keeps itself open when asked to close.
    class Stubborn : public QWidget {
     protected:
      void closeEvent(QCloseEvent* e) override { e->ignore(); }
    };
    auto* stubborn = new Stubborn;
    stubborn->setWindowTitle(QStringLiteral("Stubborn"));
    qvm::TmCreate(stubborn, QStringLiteral("Stubborn"), qvm::kNotToolsGroup);
    qvm::showProcedureWindow(stubborn);
    settle();
    frame.menuAction(qvm::ProcScheduleTasks)->trigger();
    QVERIFY(waitFor([&] { return !frame.statusBar()->currentMessage().isEmpty(); }));
    QCOMPARE(frame.statusBar()->currentMessage(),
             QStringLiteral("Schedule Tasks did not open: the open windows must close first."));
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseTasks")), 0);
    qvm::TmDestroy(stubborn);
    delete stubborn;
    settle();
  }
};

QTEST_MAIN(WindowFrontTest)
#include "window_front_test.moc"
