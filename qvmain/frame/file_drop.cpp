#include "frame/file_drop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace qvm {

namespace {

// The local paths a drag carries; empty when it carries none.
QStringList localPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

class FileDrop : public QObject {
 public:
  FileDrop(QWidget* target, std::function<void(const QStringList&)> onDrop)
      : QObject(target), onDrop_(std::move(onDrop)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
      auto* d = static_cast<QDropEvent*>(e);
      if (localPaths(d->mimeData()).isEmpty()) return QObject::eventFilter(watched, e);
      d->acceptProposedAction();
      return true;
    }
    if (e->type() == QEvent::Drop) {
      auto* d = static_cast<QDropEvent*>(e);
      const QStringList paths = localPaths(d->mimeData());
      if (paths.isEmpty()) return QObject::eventFilter(watched, e);
      d->acceptProposedAction();
      onDrop_(paths);
      return true;
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  std::function<void(const QStringList&)> onDrop_;
};

}  // namespace

void acceptFileDrops(QWidget* target, std::function<void(const QStringList&)> onDrop) {
  target->setAcceptDrops(true);
  target->installEventFilter(new FileDrop(target, std::move(onDrop)));
}

}  // namespace qvm
