// The form that changes a person's first and last name; the
// person string, address and message counts are shown read-only. It answers
// through GlobalResponse: 1 when the change was stored, 0 when cancelled (procedure UPDATEPERSON).
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "persons/person_edit.h"

class QLineEdit;
class QPushButton;

namespace qvm {

class UpdatePerson : public QDialog {
  Q_OBJECT

 public:
  UpdatePerson(uint32_t personId, QWidget* parent = nullptr);
  bool found() const { return found_; }
  QLineEdit* personStringField() const { return string_; }
  QLineEdit* lastNameField() const { return last_; }
  QLineEdit* firstNameField() const { return first_; }
  QLineEdit* addressField() const { return address_; }
  QLineEdit* sentField() const { return sent_; }
  QLineEdit* receivedField() const { return received_; }
  QPushButton* saveButton() const { return save_; }

  void accept() override;

 private:
  void fill();

  qv::PersonEdit person_;  // the person as the form read it
  bool found_ = false;
  QLineEdit* string_;
  QLineEdit* last_;
  QLineEdit* first_;
  QLineEdit* address_;
  QLineEdit* sent_;
  QLineEdit* received_;
  QPushButton* save_;
};

// Opens the form window-modal over `parent`; `saved` runs when the change
// was stored. Beeps and opens nothing when the person cannot be read.
UpdatePerson* openUpdatePerson(QWidget* parent, uint32_t personId, std::function<void()> saved = {});

}  // namespace qvm
