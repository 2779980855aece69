// The frame's task monitor: every 15 seconds (the scheduler interval of the
// settings) it asks the library whether a task is due; a due task opens the
// start dialog through the frame (1369), and the end of a task (1394) goes
// to the frame as well.
#pragma once

#include <QObject>
#include <functional>

#include "tasks/task_clock.h"

class QTimer;

namespace qvm {

class TaskMonitorTimer : public QObject {
  Q_OBJECT

 public:
  explicit TaskMonitorTimer(QObject* parent = nullptr);
  ~TaskMonitorTimer() override;
  QTimer* timer() const { return timer_; }
  // One look at the task list; true when a task was found due.
  bool look();

 private:
  QTimer* timer_;
};

}  // namespace qvm
