// Creates a forum database from its name (procedure ADDFORUM).
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;

namespace qvm {

class AddForum : public QDialog {
  Q_OBJECT

 public:
  explicit AddForum(QWidget* parent = nullptr);
  QLineEdit* nameField() const { return name_; }
  uint32_t forumId() const { return id_; }
  void accept() override;

 private:
  QLineEdit* name_;
  QPushButton* save_;
  uint32_t id_ = 0;
};

AddForum* openAddForum(QWidget* parent, std::function<void(uint32_t)> saved = {});

}  // namespace qvm
