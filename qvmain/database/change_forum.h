// The list of every database, for choosing the active one and
// for setting a database's status (normal, keep, delete) and import flag (procedure CHANGEFORUM).
#pragma once

#include <QWidget>
#include <cstdint>

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace qvm {

class ChangeForum : public QWidget {
  Q_OBJECT

 public:
  explicit ChangeForum(QWidget* parent = nullptr);
  ~ChangeForum() override;
  QTreeWidget* list() const { return list_; }
  QComboBox* order() const { return order_; }
  void reload();
  // Room for every column at its default width.
  QSize sizeHint() const override { return QSize(760, 400); }
  // Makes the highlighted database the active one and closes (Enter, double click).
  void chooseCurrent();
  // Sets the status of the highlighted database (0 normal, 1 keep, 2 delete).
  void setStatus(int status);
  void setImport(bool allowed);
  // The pop-up menu of the highlighted row, as a right click shows it.
  QStringList menuEntries() const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void showMenu(const QPoint& p);
  void paintRow(QTreeWidgetItem* it, int status);
  uint32_t currentId() const;

  QComboBox* order_;
  QTreeWidget* list_;
};

void openChangeForum();

}  // namespace qvm
