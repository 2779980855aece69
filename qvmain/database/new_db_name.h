// Renames a database (procedure NEWDBNAME).
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QLineEdit;

namespace qvm {

class NewDbName : public QDialog {
  Q_OBJECT

 public:
  NewDbName(uint32_t id, QWidget* parent = nullptr);
  QLineEdit* nameField() const { return name_; }
  void accept() override;

 private:
  uint32_t id_;
  QLineEdit* name_;
};

NewDbName* openNewDbName(QWidget* parent, uint32_t id, std::function<void()> saved = {});

}  // namespace qvm
