#include "persons/update_person.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "persons/person_names.h"
#include "services/active_database.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/whole_names.h"

namespace qvm {

namespace {

QLineEdit* field(QWidget* parent, const char* tip, bool readOnly, int maxLength = 0) {
  auto* e = new QLineEdit(parent);
  e->setToolTip(QString::fromLatin1(tip));
  e->setReadOnly(readOnly);
  if (maxLength > 0) e->setMaxLength(maxLength);
  return e;
}

}  // namespace

UpdatePerson::UpdatePerson(uint32_t personId, QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromLatin1(qv::personFormTitle(qv::activeKind())));
  // A name longer than its field is kept whole: the limit is the whole
  // name's, counted in characters of up to four bytes.
  const int nameLength = int(qv::kWholeNameMax / 4);
  string_ = field(this, "Full address - cannot be changed", true);
  last_ = field(this, "Lastname - can be changed", false, nameLength);
  first_ = field(this, "Firstname - can be changed", false, nameLength);
  address_ = field(this, "Address - cannot be changed", true);
  sent_ = field(this, "Messages sent - cannot be changed", true);
  received_ = field(this, "Messages received - cannot be changed", true);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral(" Address string "), string_);
  form->addRow(QStringLiteral("Lastname:"), last_);
  form->addRow(QStringLiteral("Firstname:"), first_);
  form->addRow(QStringLiteral("Address:"), address_);
  form->addRow(QStringLiteral("Sent:"), sent_);
  form->addRow(QStringLiteral("Received:"), received_);
  string_->setMinimumWidth(360);

  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setToolTip(QStringLiteral("Save changes"));
  save_->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(save_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdatePerson::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  found_ = person_.open(personId);
  fill();
  qv::GlobalResponse = 0;
  last_->setFocus();
}

void UpdatePerson::fill() {
  const qv::PersonFields p = person_.fields();
  string_->setText(QString::fromStdString(p.personString));
  last_->setText(QString::fromStdString(p.last));
  first_->setText(QString::fromStdString(p.first));
  address_->setText(QString::fromStdString(p.address));
  sent_->setText(QString::number(p.sent));
  received_->setText(QString::number(p.received));
}

void UpdatePerson::accept() {
  if (!found_) return;
  qv::RenameResult r = person_.rename(last_->text().trimmed().toStdString(), first_->text().trimmed().toStdString());
  switch (r) {
    case qv::RenameResult::Done:
      qv::GlobalResponse = 1;
      QDialog::accept();
      return;
    case qv::RenameResult::ChangedMeanwhile:
      fill();  // the stored record, to be changed again
      last_->setFocus();
      return;
    case qv::RenameResult::Gone:
      reject();
      return;
    case qv::RenameResult::Failed:
      last_->setFocus();
      last_->selectAll();
      return;
  }
}

UpdatePerson* openUpdatePerson(QWidget* parent, uint32_t personId, std::function<void()> saved) {
  auto* dlg = new UpdatePerson(personId, parent);
  if (!dlg->found()) {
    delete dlg;
    qv::Beep();
    return nullptr;
  }
  QObject::connect(dlg, &QDialog::accepted, dlg, [saved] {
    if (saved) saved();
  });
  dlg->setWindowModality(Qt::WindowModal);
  dlg->open();
  return dlg;
}

}  // namespace qvm
