#include "database/new_db_name.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/help_window.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/globals.h"

namespace qvm {

NewDbName::NewDbName(uint32_t id, QWidget* parent) : QDialog(parent), id_(id) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Change Database Name"));
  name_ = new QLineEdit(this);
  name_->setMaxLength(100);
  name_->setMinimumWidth(300);
  name_->setToolTip(QStringLiteral("Database name"));
  if (const auto entry = qv::readDatabase(id)) name_->setText(QString::fromStdString(entry->name));
  auto* save = new QPushButton(QStringLiteral("Save new name"), this);
  save->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(save, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->addButton(helpButton(this, QStringLiteral("~Renaming_a_database")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &NewDbName::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(name_, &QLineEdit::textChanged, this, [this, save] { save->setEnabled(!name_->text().trimmed().isEmpty()); });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Database name:"), name_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  qv::GlobalResponse = 0;
}

void NewDbName::accept() {
  if (!qv::renameDatabase(id_, name_->text().trimmed().toStdString(), qv::ReportShow)) {
    name_->setFocus();
    name_->selectAll();
    return;
  }
  qv::GlobalResponse = 1;
  QDialog::accept();
}

NewDbName* openNewDbName(QWidget* parent, uint32_t id, std::function<void()> saved) {
  auto* dlg = new NewDbName(id, parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [saved] {
    if (saved) saved();
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
