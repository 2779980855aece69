#include "events.h"

#include <QCoreApplication>
#include <QWidget>

#include "window_registry/window_registry.h"

namespace qvm {

void postEvent(QObject* target, int number, long long arg) {
  if (target) QCoreApplication::postEvent(target, new QvEvent(number, arg));
}

bool postToThread(const QString& name, int number, long long arg) {
  QWidget* w = TmWindow(TmGetId(name));
  if (!w) return false;
  postEvent(w, number, arg);
  return true;
}

void postToFrame(int number, long long arg) { postToThread(kFrameThread, number, arg); }

}  // namespace qvm
