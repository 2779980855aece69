#include "window_registry/window_registry.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "events.h"

namespace qvm {

namespace {

struct Entry {
  int id;
  QString name;
  QString group;
  QPointer<QWidget> window;
};

std::vector<Entry>& registry() {
  static std::vector<Entry> r;
  return r;
}
int lastId = 0;

// Answers the activate event for every registered window.
class ActivateFilter : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    const QvEvent* ev = privateEvent(e);
    if (ev && ev->number() == EvActivate) {
      if (auto* w = qobject_cast<QWidget*>(o)) activateWindow(w);
      return true;
    }
    return false;
  }
};

ActivateFilter* filter() {
  static ActivateFilter* f = new ActivateFilter;
  return f;
}

void prune() {
  auto& r = registry();
  std::erase_if(r, [](const Entry& e) { return e.window.isNull(); });
}

}  // namespace

int TmCreate(QWidget* window, const QString& name, const QString& group) {
  prune();
  int id = ++lastId;
  registry().push_back({id, name, group, window});
  window->installEventFilter(filter());
  QObject::connect(window, &QObject::destroyed, filter(), [id] { TmDestroy(id); });
  return id;
}

void TmDestroy(int id) {
  std::erase_if(registry(), [id](const Entry& e) { return e.id == id; });
}

void TmDestroy(QWidget* window) {
  std::erase_if(registry(), [window](const Entry& e) { return e.window == window || e.window.isNull(); });
}

int TmGetId(const QString& name) {
  prune();
  for (const Entry& e : registry())
    if (e.name.compare(name, Qt::CaseInsensitive) == 0) return e.id;
  return 0;
}

QWidget* TmWindow(int id) {
  for (const Entry& e : registry())
    if (e.id == id) return e.window;
  return nullptr;
}

bool TmQuery(const QString& group) { return !TmMembers(group).isEmpty(); }

QStringList TmMembers(const QString& group) {
  prune();
  QStringList out;
  for (const Entry& e : registry())
    if (!group.isEmpty() && e.group == group) out << e.name;
  return out;
}

void TmDestroyGroup(const QString& group) {
  prune();
  std::vector<QPointer<QWidget>> windows;
  for (const Entry& e : registry())
    if (!group.isEmpty() && e.group == group) windows.push_back(e.window);
  for (const QPointer<QWidget>& w : windows) {
    if (!w) continue;
    // A window inside the frame's area closes with its sub-window.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
      sub->close();
    else
      w->close();
  }
}

void activateWindow(QWidget* window) {
  if (!window) return;
  if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
    if (sub->isMinimized()) sub->showNormal();
    if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
    sub->raise();
    return;
  }
  if (window->isMinimized())
    window->showNormal();
  else
    window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace qvm
