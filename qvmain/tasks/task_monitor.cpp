#include "tasks/task_monitor.h"

#include <QTimer>

#include "events.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "tasks/task_dates.h"
#include "tasks/task_schedule.h"
#include "tasks/task_state.h"

namespace qvm {

namespace {
constexpr int kDefaultIntervalSeconds = 15;
}

TaskMonitorTimer::TaskMonitorTimer(QObject* parent) : QObject(parent) {
  // Of the runner's notifications the frame takes the due task and the end;
  // the task run window drives the steps itself.
  qv::setTaskNotifier([](int event) {
    if (event == qv::TaskEvDue || event == qv::TaskEvEnded) postToFrame(event);
  });
  int64_t seconds = qv::installationOpen() ? qv::KonfigGet(qv::ItemSchedulerInterval) : 0;
  if (seconds <= 0 || seconds > 3600) seconds = kDefaultIntervalSeconds;
  timer_ = new QTimer(this);
  timer_->setInterval(int(seconds * 1000));
  connect(timer_, &QTimer::timeout, this, &TaskMonitorTimer::look);
  timer_->start();
}

TaskMonitorTimer::~TaskMonitorTimer() { qv::setTaskNotifier(nullptr); }

bool TaskMonitorTimer::look() {
  if (!qv::installationOpen() || qv::installationReadOnly()) return false;
  return qv::TaskMonitor(taskNow());
}

}  // namespace qvm
