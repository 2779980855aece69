// The list of scheduled tasks; the highlighted task is added,
// changed or deleted through the task form (UPDATETASK) (procedure BROWSETASKS).
#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace qvm {

inline const QString kBrowseTasksThread = QStringLiteral("BrowseTasks");

class BrowseTasks : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseTasks(QWidget* parent = nullptr);
  ~BrowseTasks() override;
  QTreeWidget* list() const { return list_; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* updateButton() const { return update_; }
  QPushButton* deleteButton() const { return delete_; }
  // Opens the task form with request 1 (add), 2 (update) or 3 (delete) on
  // the highlighted task, and reads the list again when it stored something.
  void edit(int request);
  void reload();
  QSize sizeHint() const override { return QSize(720, 340); }

 private:
  QTreeWidget* list_;
  QPushButton* insert_;
  QPushButton* update_;
  QPushButton* delete_;
};

void openBrowseTasks();

}  // namespace qvm
