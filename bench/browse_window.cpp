#include "browse_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench_run.h"
#include "browse_timing.h"
#include "browse/browse_list.h"
#include "browse/browse_state.h"
#include "browse/browse_view.h"
#include "browse/browse_window.h"
#include "browse/message_pane.h"
#include "services/databases.h"
#include "window_registry/window_registry.h"

namespace qvbench {

namespace {

struct WindowCase {
  const char* name;
  int mode;
  bool limitThread;
};

const WindowCase kCases[] = {
    {"number", qv::FmNumber, false},
    {"thread, limited", qv::FmThread, true},
    {"date", qv::FmDate, false},
};

// Processes events, at least one round, until `done` holds; false after ten
// seconds without it.
bool processUntil(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  do {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    if (done()) return true;
  } while (t.elapsed() < 10000);
  return false;
}

qvm::BrowseWindow* openWindow() {
  qvm::openBrowseMsgNmbr();
  return qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr"))));
}

// Closes the window and waits until it is gone, so that the next run opens
// a new one.
bool closeWindow(qvm::BrowseWindow* w) {
  QPointer<qvm::BrowseWindow> p(w);
  w->close();
  return processUntil([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return p.isNull();
  });
}

// Whether the list and the reading pane were painted since the last reset.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(qvm::BrowseWindow* w) {
    list_ = w->list()->table()->viewport();
    pane_ = w->pane()->reader()->viewport();
    list_->installEventFilter(this);
    pane_->installEventFilter(this);
  }
  void reset() { listPainted_ = panePainted_ = false; }
  bool painted() const { return listPainted_ && panePainted_; }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      if (o == list_) listPainted_ = true;
      if (o == pane_) panePainted_ = true;
    }
    return false;
  }

 private:
  QObject* list_;
  QObject* pane_;
  bool listPainted_ = false, panePainted_ = false;
};

// The pane shows the selected message: its number in the header field.
bool paneShows(qvm::BrowseWindow* w, uint32_t id) {
  return id != 0 && w->pane()->numberField()->text() == QString::number(id);
}

// The window is up with its first page: visible, the page as many rows as
// the list has room for (fewer only when the view holds fewer), a row
// selected and the reading pane showing it.
bool firstPageShown(qvm::BrowseWindow* w) {
  if (!w->isVisible()) return false;
  qvm::BrowsePage* page = w->list()->page();
  QTableView* table = w->list()->table();
  int room = std::max(1, table->viewport()->height() / std::max(1, table->verticalHeader()->defaultSectionSize()));
  bool full = page->rowCount() == room || (page->atStart() && page->atEnd() && page->rowCount() > 0);
  return full && page->pageRows() == room && w->list()->currentRow() >= 0 && paneShows(w, w->selected());
}

// Opens the browser once and leaves it in the view of the case (the limited
// thread view on the thread of the database's middle message) at the view's
// first message; closing the window keeps the view for the next opening.
bool prepare(const WindowDatabase& db, const WindowCase& c) {
  if (!qv::ActivateDatabase(db.id)) return false;
  qvm::BrowseWindow* w = openWindow();
  if (!w || !processUntil([w] { return firstPageShown(w); })) return false;
  if (c.limitThread) {
    w->setMode(qv::FmNumber);
    if (!w->showMessage(db.middleMessage)) return false;
  }
  w->setMode(c.mode);
  if (c.limitThread) w->setLimit(true);
  w->list()->toFirst();
  bool ok = w->state().mode == c.mode && (!c.limitThread || w->state().limitThread);
  return closeWindow(w) && ok;
}

// The last message of the window's view, read apart from the window.
uint32_t lastOfView(const qv::BrowseState& s) {
  qv::BrowseView v(s);
  return v.toLast() ? v.current() : 0;
}

bool timeWindow(const WindowDatabase& db, const WindowCase& c, int runs, Timing& out) {
  if (!prepare(db, c)) return false;
  std::vector<double> opens, lasts;
  for (int r = 0; r < runs; ++r) {
    auto t0 = Clock::now();
    if (!qv::ActivateDatabase(db.id)) return false;
    qvm::BrowseWindow* w = openWindow();
    if (!w) return false;
    PaintWatch paints(w);
    if (!processUntil([&] { return firstPageShown(w) && paints.painted(); })) return false;
    opens.push_back(since(t0));

    uint32_t last = lastOfView(w->state());
    QTableView* table = w->list()->table();
    paints.reset();
    auto t1 = Clock::now();
    QTest::keyClick(table, Qt::Key_End);
    bool shown = processUntil([&] {
      return w->selected() == last && w->list()->currentRow() == w->list()->page()->rowCount() - 1 &&
             paneShows(w, last) && paints.painted();
    });
    if (!shown) return false;
    lasts.push_back(since(t1));

    // Back to the first message, where the next run opens.
    QTest::keyClick(table, Qt::Key_Home);
    if (!closeWindow(w)) return false;
  }
  out = timingOf(opens, lasts);
  return true;
}

}  // namespace

double benchBrowseWindow(int& argc, char** argv, const WindowDatabase (&db)[2], int runs) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::vector<TimingRow> rows;
  for (const WindowCase& c : kCases) {
    Timing t[2];
    for (int k = 0; k < 2; ++k) {
      if (!timeWindow(db[k], c, runs, t[k])) {
        std::printf("\nBrowser window: the %s view of database %u did not open or reach its last message\n", c.name,
                    db[k].id);
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return -1;
      }
    }
    rows.push_back({c.name, t[0], t[1]});
  }

  char title[64];
  std::snprintf(title, sizeof title, "Browser window, offscreen (best of %d runs; ms)", runs);
  double worst = printTimingTable(title, rows);
  std::printf("open: from making the database active to the window shown with its first page of rows and the\n"
              "selected message in the reading pane, both painted; last: from End pressed on the list to the view's\n"
              "last message selected and in the reading pane, both painted again.\n");
  return worst;
}

}  // namespace qvbench
