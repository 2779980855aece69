// The start dialog of a task the monitor found due. It counts
// down from 60 seconds in its title and offers to run the task now (the
// default), to postpone every task by some hours, to skip this run, to
// deactivate the task or to deactivate all tasks. Run now, by OK or at the
// end of the count-down, hands the task to the task run window (procedure STARTTASK).
#pragma once

#include <QWidget>

class QButtonGroup;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace qvm {

inline const QString kStartTaskThread = QStringLiteral("StartTask");

enum StartOption : int { StartRunNow = 0, StartPostpone = 1, StartSkip = 2, StartDeactivate = 3, StartDeactivateAll = 4 };

class StartTask : public QWidget {
  Q_OBJECT

 public:
  explicit StartTask(QWidget* parent = nullptr);
  ~StartTask() override;
  QLabel* text() const { return text_; }
  QLabel* taskLabel() const { return task_; }
  QButtonGroup* options() const { return options_; }
  QSpinBox* hours() const { return hours_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  // Hundredths of a second left in the count-down.
  int remaining() const { return remaining_; }
  // The count-down's step; the tests shorten it instead of waiting a minute.
  void setTickInterval(int milliseconds);
  // One step of the count-down (a second off), as the timer takes it.
  void tick();
  // OK and Cancel.
  void confirm();
  void cancel();

 private:
  void retitle();
  void applyOption();
  void startRun();
  bool anotherTaskBusy() const;

  QLabel* text_;
  QLabel* task_;
  QButtonGroup* options_;
  QSpinBox* hours_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QTimer* timer_;
  int remaining_;
  bool startingUp_ = false;
  bool handedOver_ = false;
};

void openStartTask();

}  // namespace qvm
