#include "support/gui_fixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QThread>
#include <QWidget>
#include <cstdlib>

#include "frame/procedures.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/startup.h"

namespace qvtest {

qv::Button RecordingPrompter::ask(const qv::PromptRequest& r) {
  requests.push_back(r);
  if (onAsk) onAsk(r);
  if (!answers.empty()) {
    qv::Button b = answers.front();
    answers.pop_front();
    return b;
  }
  return r.defaultButton;
}

void RecordingPrompter::reset() {
  requests.clear();
  answers.clear();
}

QString RecordingPrompter::transcript() const {
  QString s;
  for (const qv::PromptRequest& r : requests)
    s += QStringLiteral("[%1] %2\n").arg(QString::fromStdString(r.caption), QString::fromStdString(r.text));
  return s.isEmpty() ? QStringLiteral("(nothing shown)") : s;
}

int RecordingPrompter::count(const std::string& caption) const {
  int n = 0;
  for (const qv::PromptRequest& r : requests)
    if (r.caption == caption) ++n;
  return n;
}

TestInstallation::TestInstallation() {
  qv::Mem = qv::MemState();
  qv::setPrompter(&prompts);
  static bool registered = false;
  if (!registered) {
    qvm::registerAllWindows();
    registered = true;
  }
}

TestInstallation::~TestInstallation() { close(); }

int TestInstallation::open() {
  std::string error;
  int r = qv::StartupChecks(rootStd(), error);
  open_ = r != qv::StartupStop;
  return r;
}

void TestInstallation::close() {
  for (QWidget* w : QApplication::topLevelWidgets()) w->close();
  settle();
  if (open_) qv::closeInstallation();
  open_ = false;
  qv::Mem = qv::MemState();
  qv::IndexingInProgress = 0;
  qv::GlobalRequest = qv::GlobalResponse = 0;
  qv::setPrompter(nullptr);
}

bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > 5000) return false;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

void settle() {
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

QWidget* findWindow(const QString& title) {
  for (QWidget* w : QApplication::allWidgets()) {
    if (!w->isWindow() && !qobject_cast<QMdiSubWindow*>(w)) continue;
    if (!w->isVisible()) continue;
    if (w->windowTitle().contains(title)) return w;
  }
  return nullptr;
}

QColor colourItem(int item) {
  auto v = uint32_t(qv::KonfigGet(item));
  return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QString corpusDir() {
  if (const char* env = std::getenv("QV_CORPUS_DIR"); env && *env) return QString::fromLocal8Bit(env);
  return QStringLiteral(QV_CORPUS_DIR);
}

}  // namespace qvtest
