#include "database/update_box.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/help_window.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/globals.h"

namespace qvm {

UpdateBox::UpdateBox(int request, uint32_t id, QWidget* parent) : QDialog(parent), request_(request), id_(id) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(request == 1 ? QStringLiteral("Add New MailBox") : QStringLiteral("Change MailBox"));
  owner_ = new QLineEdit(this);
  owner_->setMaxLength(40);
  owner_->setToolTip(QStringLiteral("Your name as it appears in the mail you send"));
  address_ = new QLineEdit(this);
  address_->setMaxLength(60);
  address_->setToolTip(QStringLiteral("The e-mail address you send from"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("MailBox owner name:"), owner_);
  form->addRow(QStringLiteral("MailBox address:"), address_);

  altPanel_ = new QWidget(this);
  auto* grid = new QGridLayout(altPanel_);
  grid->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 10; ++i) {
    auto* e = new QLineEdit(altPanel_);
    e->setMaxLength(60);
    alternatives_[size_t(i)] = e;
    grid->addWidget(new QLabel(QStringLiteral("Alternative mail address %1:").arg(i + 1), altPanel_), i, 0);
    grid->addWidget(e, i, 1);
  }
  altPanel_->setVisible(false);
  auto* altButton = new QPushButton(QStringLiteral("Update alternative addresses"), this);
  altButton->setCheckable(true);
  altButton->setAutoDefault(false);
  connect(altButton, &QPushButton::toggled, this, [this](bool on) {
    altPanel_->setVisible(on);
    adjustSize();
  });

  accept_ = new QPushButton(QStringLiteral("Accept updated MailBox"), this);
  accept_->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(accept_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->addButton(helpButton(this, QStringLiteral("~Adding_a_mailbox")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdateBox::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(altButton, 0, Qt::AlignLeft);
  layout->addWidget(altPanel_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  owner_->setMinimumWidth(320);

  auto update = [this] { accept_->setEnabled(!owner_->text().trimmed().isEmpty() && !address_->text().trimmed().isEmpty()); };
  connect(owner_, &QLineEdit::textChanged, this, update);
  connect(address_, &QLineEdit::textChanged, this, update);

  if (const auto entry = request == 2 ? qv::readDatabase(id) : std::nullopt) {
    owner_->setText(QString::fromStdString(entry->name));
    address_->setText(QString::fromStdString(entry->mailAddress));
    for (size_t i = 0; i < alternatives_.size(); ++i) alternatives_[i]->setText(QString::fromStdString(entry->altAddresses[i]));
  }
  update();
  qv::GlobalResponse = 0;
}

void UpdateBox::accept() {
  qv::MailboxSpec spec;
  spec.owner = owner_->text().trimmed().toStdString();
  spec.address = address_->text().trimmed().toStdString();
  for (int i = 0; i < 10; ++i) spec.alternatives[size_t(i)] = alternatives_[size_t(i)]->text().trimmed().toStdString();
  bool ok;
  if (request_ == 1) {
    id_ = qv::AddMailbox(spec, true, qv::ReportShow);
    ok = id_ != 0;
  } else {
    ok = qv::UpdateMailbox(id_, spec, qv::ReportShow);
  }
  if (!ok) {
    owner_->setFocus();
    owner_->selectAll();
    return;
  }
  qv::GlobalResponse = 1;
  QDialog::accept();
}

UpdateBox* openUpdateBox(QWidget* parent, int request, uint32_t id, std::function<void(uint32_t)> saved) {
  auto* dlg = new UpdateBox(request, id, parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [dlg, saved] {
    if (saved) saved(dlg->mailboxId());
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
