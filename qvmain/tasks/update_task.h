// The form that adds (request 1), changes (2) or deletes (3) a
// scheduled task: its name, one-off run, repeat days and time, the
// house-cleaning after the imports, whether it is active, and the import
// definitions it runs (procedure UPDATETASK).
#pragma once

#include <QDialog>
#include <QList>

#include "tasks/task_edit.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTimeEdit;

namespace qvm {

enum TaskFormRequest : int { TaskFormAdd = 1, TaskFormUpdate = 2, TaskFormDelete = 3 };

class UpdateTask : public QDialog {
  Q_OBJECT

 public:
  UpdateTask(int request, const qv::TaskEdit& task, QWidget* parent = nullptr);
  QLineEdit* nameField() const { return name_; }
  QCheckBox* activeBox() const { return active_; }
  QCheckBox* onceBox() const { return once_; }
  QDateEdit* onceDate() const { return onceDate_; }
  QTimeEdit* onceTime() const { return onceTime_; }
  QList<QCheckBox*> weekdayBoxes() const { return weekdays_; }
  QList<QSpinBox*> monthDayFields() const { return monthDays_; }
  QTimeEdit* repeatTime() const { return repeatTime_; }
  QLabel* nextRunLabel() const { return nextRun_; }
  // Merge duplicates, purge, count, word index.
  QList<QCheckBox*> cleanupBoxes() const { return cleanup_; }
  // Every import definition, checked when the task runs it.
  QListWidget* definitionList() const { return definitions_; }
  uint32_t taskId() const { return edit_.task.ID; }
  // The task as the form now has it (not stored).
  qv::TaskEdit edited() const;
  // Save (or confirm the deletion): the check, then the task stored.
  void accept() override;

 private:
  void showNextRun();

  int request_;
  qv::TaskEdit edit_;
  QLineEdit* name_;
  QCheckBox* active_;
  QCheckBox* once_;
  QDateEdit* onceDate_;
  QTimeEdit* onceTime_;
  QList<QCheckBox*> weekdays_;
  QList<QSpinBox*> monthDays_;
  QTimeEdit* repeatTime_;
  QLabel* nextRun_;
  QLabel* lastRun_;
  QList<QCheckBox*> cleanup_;
  QListWidget* definitions_;
};

}  // namespace qvm
