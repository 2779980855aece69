// The mailbox form, adding a mailbox (request 1) or changing one
// (request 2): the owner's name, the mailbox address and ten alternative
// addresses (procedure UPDATEBOX).
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
class QWidget;

namespace qvm {

class UpdateBox : public QDialog {
  Q_OBJECT

 public:
  UpdateBox(int request, uint32_t id, QWidget* parent = nullptr);
  uint32_t mailboxId() const { return id_; }
  QLineEdit* ownerField() const { return owner_; }
  QLineEdit* addressField() const { return address_; }
  QLineEdit* alternativeField(int i) const { return alternatives_[size_t(i)]; }
  QPushButton* acceptButton() const { return accept_; }

  void accept() override;

 private:
  int request_;
  uint32_t id_;
  QLineEdit* owner_;
  QLineEdit* address_;
  std::array<QLineEdit*, 10> alternatives_{};
  QWidget* altPanel_;
  QPushButton* accept_;
};

// Opens the form (window-modal); `saved` runs with the mailbox's ID when it
// closes with the mailbox stored (GlobalResponse 1).
UpdateBox* openUpdateBox(QWidget* parent, int request, uint32_t id, std::function<void(uint32_t)> saved = {});

}  // namespace qvm
