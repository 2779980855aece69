// The list of the mailboxes with their owners and addresses, from
// which a mailbox is added or changed through the mailbox form (procedure BROWSEBOX).
#pragma once

#include <QWidget>
#include <cstdint>

class QPushButton;
class QTreeWidget;

namespace qvm {

class BrowseBox : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseBox(QWidget* parent = nullptr);
  ~BrowseBox() override;
  QTreeWidget* list() const { return list_; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* changeButton() const { return change_; }
  void reload();
  // Room for every column at its default width.
  QSize sizeHint() const override { return QSize(640, 320); }

 private:
  QTreeWidget* list_;
  QPushButton* insert_;
  QPushButton* change_;
};

void openBrowseBox();

}  // namespace qvm
