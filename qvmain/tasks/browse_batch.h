// The list of import definitions ("Predefined Import
// Procedures"); the highlighted definition is added, changed or deleted
// through the definition form (UPDATEBATCH) (procedure BROWSEBATCH).
#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace qvm {

inline const QString kBrowseBatchThread = QStringLiteral("BrowseBatch");

class BrowseBatch : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseBatch(QWidget* parent = nullptr);
  ~BrowseBatch() override;
  QTreeWidget* list() const { return list_; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* updateButton() const { return update_; }
  QPushButton* deleteButton() const { return delete_; }
  // Opens the definition form with request 1 (add), 2 (update) or 3
  // (delete) on the highlighted definition; the list and its count in the
  // title follow what it stored.
  void edit(int request);
  void reload();
  QSize sizeHint() const override { return QSize(720, 340); }

 private:
  QTreeWidget* list_;
  QPushButton* insert_;
  QPushButton* update_;
  QPushButton* delete_;
};

void openBrowseBatch();

}  // namespace qvm
