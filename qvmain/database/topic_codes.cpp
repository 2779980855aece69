#include "database/topic_codes.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/database_choice.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/topic_form.h"

namespace qvm {

UpdateCodes::UpdateCodes(int request, const qv::Topic& topic, QWidget* parent)
    : QDialog(parent), request_(request), topic_(topic) {
  setWindowTitle(request == 1 ? QStringLiteral(" Add New Topic")
                 : request == 2 ? QStringLiteral(" Update Topic")
                                : QStringLiteral(" Delete Topic"));
  text_ = new QLineEdit(QString::fromStdString(topic.text), this);
  text_->setMaxLength(40);
  text_->setMinimumWidth(280);
  text_->setToolTip(QStringLiteral("The words that the topic stands for"));
  case_ = new QCheckBox(QStringLiteral("Match case"), this);
  case_->setChecked(topic.matchCase);
  word_ = new QCheckBox(QStringLiteral("Match word"), this);
  word_->setChecked(topic.matchWord);
  bool del = request == 3;
  text_->setReadOnly(del);
  case_->setEnabled(!del);
  word_->setEnabled(!del);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Topic:"), text_);
  form->addRow(QString(), case_);
  form->addRow(QString(), word_);
  if (topic.count > 0 || request != 1)
    form->addRow(QStringLiteral("Indexed messages:"), new QLabel(QString::number(topic.count), this));
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(del ? QStringLiteral(" Confirm deletion of Topic") : QStringLiteral("&Save"),
                                       QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->addButton(helpButton(this, QStringLiteral("~Topics")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdateCodes::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (!del) connect(text_, &QLineEdit::textChanged, this, [this, ok] { ok->setEnabled(!text_->text().trimmed().isEmpty()); });
  ok->setEnabled(del || !text_->text().trimmed().isEmpty());
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  qv::GlobalResponse = 0;
}

void UpdateCodes::accept() {
  topic_.text = text_->text().trimmed().toStdString();
  topic_.matchCase = case_->isChecked();
  topic_.matchWord = word_->isChecked();
  bool ok;
  if (request_ == 1) {
    topic_.id = qv::addTopic(topic_);
    ok = topic_.id != 0;
  } else if (request_ == 2) {
    ok = qv::updateTopic(topic_);
  } else {
    ok = qv::deleteTopic(topic_.id);
  }
  if (!ok) {
    text_->setFocus();
    return;
  }
  qv::GlobalResponse = 1;
  QDialog::accept();
}

int runUpdateCodes() {
  qv::Topic t = qv::topicOfForm();
  int request = qv::GlobalRequest >= 1 && qv::GlobalRequest <= 3 ? qv::GlobalRequest : 1;
  if (request == 1) t = qv::Topic();
  UpdateCodes dlg(request, t, QApplication::activeWindow());
  dlg.exec();
  return qv::GlobalResponse;
}

GpCodes::GpCodes(uint32_t dirNumber, QWidget* parent) : QDialog(parent), dir_(dirNumber) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Topic Selection"));
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("Topic"), QStringLiteral("Indexed"), QStringLiteral("Match case"),
                          QStringLiteral("Match word"), QStringLiteral("Updated")});
  trackColumns(list_->header(), ListGpCodes, {220, 70, 80, 80, 90});
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &GpCodes::accept);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* add = buttons->addButton(QStringLiteral("&Insert"), QDialogButtonBox::ActionRole);
  add->setToolTip(QStringLiteral("Add a new topic"));
  add->setEnabled(dirNumber == 0 || qv::isActiveDirectory(dirNumber));
  connect(add, &QPushButton::clicked, this, [this] {
    UpdateCodes dlg(1, qv::Topic(), this);
    if (dlg.exec() == QDialog::Accepted) reload();
  });
  buttons->addButton(helpButton(this, QStringLiteral("~Topics")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &GpCodes::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("List of Topics"), this));
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(600, 340);
  reload();
}

void GpCodes::reload() {
  list_->clear();
  int format = int(qv::KonfigGet(qv::ItemDateFormat));
  for (const qv::Topic& t : qv::listTopics(dir_)) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(t.text));
    it->setText(1, QString::number(t.count));
    it->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    it->setText(2, t.matchCase ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setText(3, t.matchWord ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setText(4, QString::fromStdString(qv::formatDate(t.date, format)));
    it->setData(0, Qt::UserRole, t.id);
  }
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void GpCodes::accept() {
  QTreeWidgetItem* it = list_->currentItem();
  if (!it) return;
  chosen_ = it->data(0, Qt::UserRole).toUInt();
  chosenText_ = it->text(0);
  QDialog::accept();
}

GpCodes* openGpCodes(QWidget* parent, uint32_t dirNumber, std::function<void(uint32_t, QString)> chosen) {
  auto* dlg = new GpCodes(dirNumber, parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [dlg, chosen] {
    if (chosen) chosen(dlg->chosenId(), dlg->chosenText());
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
