#include "frame/window_host.h"

#include <QEvent>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <array>

#include "services/window_settings.h"

namespace qvm {

namespace {

QPointer<QMdiArea> area;

// Slots 1..25 live in the first position set, 26..50 in the second.
bool windowRect(int op, int slot, qv::WindowRect& r) {
  return slot > qv::kWindowSlots ? qv::WindowPos2(op, slot - qv::kWindowSlots, r) : qv::WindowPos(op, slot, r);
}

// Stores the geometry of the window it watches when that window closes.
class GeometryKeeper : public QObject {
 public:
  GeometryKeeper(QWidget* target, int slot) : QObject(target), target_(target), slot_(slot) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Close || e->type() == QEvent::Hide) save();
    return false;
  }
  void save() {
    if (!target_ || target_->isMinimized() || target_->isMaximized()) return;
    // The position of the frame (what move() takes back), the size of the
    // inside (what resize() takes back); for a window inside the frame's
    // area the two coincide with its geometry.
    QPoint p = target_->pos();
    QSize s = target_->size();
    qv::WindowRect r{p.x(), p.y(), s.width(), s.height()};
    windowRect(2, slot_, r);
  }

 private:
  QPointer<QWidget> target_;
  int slot_;
};

// Grows the sub-window of a procedure window when what the window shows
// needs more room than it has (a result or a count appears when its job
// ends): the frame's area leaves a sub-window's size alone otherwise, and
// cut off the buttons at its bottom. It never shrinks a window.
class GrowToFit : public QObject {
 public:
  GrowToFit(QWidget* target, QMdiSubWindow* sub) : QObject(target), sub_(sub) {}
  bool eventFilter(QObject*, QEvent* e) override {
    // The window's layout takes the request after this filter: look once it has.
    if (e->type() == QEvent::LayoutRequest) QTimer::singleShot(0, this, [this] { fit(); });
    return false;
  }
  void fit() {
    if (!sub_ || sub_->isMinimized() || sub_->isMaximized()) return;
    const QSize need = sub_->size().expandedTo(sub_->minimumSizeHint());
    if (need != sub_->size()) sub_->resize(need);
  }

 private:
  QPointer<QMdiSubWindow> sub_;
};

// How long a note stays in the frame's status bar.
constexpr int kStatusNoteMilliseconds = 15000;

// The size the window keeper fills in for windows that never stored theirs.
constexpr int kKeeperDefaultWidth = 800, kKeeperDefaultHeight = 560;

// The widths the library fills in for lists that never stored theirs.
constexpr std::array<int, qv::kListColumns> kLibraryDefaults = {90, 160, 320, 80, 80};

}  // namespace

void setWindowArea(QMdiArea* a) { area = a; }
QMdiArea* windowArea() { return area; }

void noteInStatusBar(const QString& text) {
  auto* frame = area ? qobject_cast<QMainWindow*>(area->window()) : nullptr;
  if (frame) frame->statusBar()->showMessage(text, kStatusNoteMilliseconds);
}

void showProcedureWindow(QWidget* w, int slot, Geometry kind) {
  QWidget* outer = w;
  if (area) {
    QMdiSubWindow* sub = area->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(w->windowIcon());
    QObject::connect(w, &QObject::destroyed, sub, [sub] { sub->close(); });
    w->installEventFilter(new GrowToFit(w, sub));
    outer = sub;
  }
  outer->adjustSize();
  if (slot > 0) {
    qv::WindowRect r;
    if (windowRect(3, slot, r)) {
      QSize size = outer->size();
      // The keepers' own default size (never stored by this window) leaves the window its natural size.
      bool stored = r.width > 0 && r.height > 0 && !(r.width == kKeeperDefaultWidth && r.height == kKeeperDefaultHeight);
      if (kind == Geometry::PositionAndSize && stored)
        size = QSize(r.width, r.height).expandedTo(outer->minimumSizeHint());
      if (area) {
        // Keep the window inside the frame's area.
        QSize room = area->viewport()->size();
        size = size.boundedTo(room.expandedTo(outer->minimumSizeHint()));
        int x = qBound(0, r.x, qMax(0, room.width() - size.width()));
        int y = qBound(0, r.y, qMax(0, room.height() - size.height()));
        outer->setGeometry(x, y, size.width(), size.height());
      } else {
        outer->resize(size);
        outer->move(r.x, r.y);
      }
    }
    outer->installEventFilter(new GeometryKeeper(outer, slot));
  }
  outer->show();
  if (area) area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(outer));
  w->show();
  w->activateWindow();
}

void trackColumns(QHeaderView* header, int list, const QList<int>& defaults) {
  std::array<int, qv::kListColumns> widths{};
  int n = qMin<int>(int(defaults.size()), qv::kListColumns);
  qv::ListCol(3, list, widths, n);
  for (int i = 0; i < n; ++i) {
    int wdt = widths[size_t(i)];
    bool stored = wdt > 0 && wdt != kLibraryDefaults[size_t(i)];
    header->resizeSection(i, stored ? wdt : defaults[i]);
  }
  // Widths are stored as the user changes them.
  QObject::connect(header, &QHeaderView::sectionResized, header, [list, n, header](int, int, int) {
    std::array<int, qv::kListColumns> w{};
    for (int i = 0; i < n; ++i) w[size_t(i)] = header->sectionSize(i);
    qv::ListCol(2, list, w, n);
  });
}

}  // namespace qvm
