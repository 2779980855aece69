#include "database/add_forum.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/help_window.h"
#include "services/databases.h"
#include "services/globals.h"

namespace qvm {

AddForum::AddForum(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Add New Forum"));
  name_ = new QLineEdit(this);
  name_->setMaxLength(100);
  name_->setMinimumWidth(300);
  name_->setToolTip(QStringLiteral("The name of the CompuServe forum"));
  save_ = new QPushButton(QStringLiteral("Save new Forum"), this);
  save_->setDefault(true);
  save_->setEnabled(false);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(save_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->addButton(helpButton(this, QStringLiteral("~Adding_a_forum")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &AddForum::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(name_, &QLineEdit::textChanged, this, [this] { save_->setEnabled(!name_->text().trimmed().isEmpty()); });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Forum name:"), name_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  qv::GlobalResponse = 0;
}

void AddForum::accept() {
  id_ = qv::AddForumDatabase(name_->text().trimmed().toStdString(), 1, 7);
  if (id_ == 0) {
    name_->setFocus();
    name_->selectAll();
    return;
  }
  qv::GlobalResponse = 1;
  QDialog::accept();
}

AddForum* openAddForum(QWidget* parent, std::function<void(uint32_t)> saved) {
  auto* dlg = new AddForum(parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [dlg, saved] {
    if (saved) saved(dlg->forumId());
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
