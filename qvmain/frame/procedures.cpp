#include "frame/procedures.h"

#include <QMap>

#include "events.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {
QMap<QString, Opener>& openers() {
  static QMap<QString, Opener> m;
  return m;
}
}  // namespace

void registerProcedure(const QString& threadName, Opener open) { openers()[threadName] = std::move(open); }

bool procedureRegistered(const QString& threadName) { return openers().contains(threadName); }

bool startProcedure(const QString& threadName) {
  if (postToThread(threadName, EvActivate)) return true;
  auto it = openers().find(threadName);
  if (it == openers().end() || !*it) return false;
  (*it)();
  return true;
}

}  // namespace qvm
