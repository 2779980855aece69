// The task run window: runs the task that the start dialog handed over, step
// by step through the library's runner with the same engines and results as
// qvcli's task run. Other windows close before it starts; every step (an
// import or a cleanup procedure) runs a slice per timer tick, so that the
// window stays responsive; the steps and their results are listed as they end. Stop (or closing the window) stops
// the task as the user's: the step running ends, the rest is not run and
// the task is deactivated. At the end the log is written, the task
// rescheduled and the window closes; nothing asks anything meanwhile. A log
// that could not be written is kept for the frame to report when the task has
// ended.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "tasks/task_clock.h"
#include "tasks/task_runner.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace qv {
class TaskStepRun;
}

namespace qvm {

inline const QString kTaskRunThread = QStringLiteral("TaskRun");

class TaskRunWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TaskRunWindow(uint32_t taskId, QWidget* parent = nullptr);
  ~TaskRunWindow() override;
  QLabel* stepLabel() const { return step_; }
  QListWidget* results() const { return results_; }
  QPushButton* stopButton() const { return stop_; }
  bool finished() const { return finished_; }
  const qv::TaskOutcome& outcome() const { return outcome_; }

  void tick();
  void stop();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void begin(uint32_t taskId);
  void stepEnded();
  void finish();

  QLabel* task_;
  QLabel* step_;
  QListWidget* results_;
  QPushButton* stop_;
  QTimer* timer_;
  std::unique_ptr<qv::TaskStepRun> run_;
  qv::TaskStep runStep_;
  bool started_ = false;
  bool finished_ = false;
  qv::TaskOutcome outcome_;
};

// Closes the other windows and starts the task in the task run window.
void openTaskRun(uint32_t taskId);

// The report of the last task run whose log could not be written (the
// reason, the log's path and the report's lines), to be shown once the task
// has ended and messages may be shown again; taking it clears it. Empty when
// the log was written.
std::string takeTaskLogFailure();

}  // namespace qvm
