#include "tasks/update_batch.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "import/directory_dialog.h"
#include "import/formats.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/topics.h"

namespace qvm {

namespace {

QString titleOf(int request) {
  switch (request) {
    case BatchFormAdd: return QStringLiteral(" Add New Import definition");
    case BatchFormUpdate: return QStringLiteral(" Update Import definition");
    default: return QStringLiteral(" Delete Import definition");
  }
}

const char* const kMethodTexts[3] = {" Directory Tree Selection", " Directory Selection", " File selection"};

QStringList toList(const std::vector<std::string>& v) {
  QStringList out;
  for (const std::string& s : v) out << QString::fromStdString(s);
  return out;
}

int indexOfData(QComboBox* box, uint32_t id) {
  int i = box->findData(id);
  return i < 0 ? 0 : i;
}

}  // namespace

UpdateBatch::UpdateBatch(int request, const qv::ImportDefinition& definition, QWidget* parent)
    : QDialog(parent), request_(request), def_(definition) {
  setWindowTitle(titleOf(request));
  const qv::ImportSettings& s = definition.settings;
  name_ = new QLineEdit(QString::fromStdString(definition.description), this);
  name_->setMaxLength(50);
  name_->setMinimumWidth(320);
  format_ = new QComboBox(this);
  for (const qv::FormatInfo* f : qv::offeredFormats()) format_->addItem(QString::fromLatin1(f->name), f->number);
  target_ = new QComboBox(this);
  target_->addItem(QStringLiteral("(as the messages name it)"), 0u);
  for (const qv::DatabaseEntry& e : qv::listDatabases())
    if (e.kind != qv::KindMailDb) target_->addItem(QString::fromStdString(e.name), e.id);
  mailbox_ = new QComboBox(this);
  mailbox_->addItem(QStringLiteral("(none)"), 0u);
  for (const qv::DatabaseEntry& e : qv::listDatabases(qv::KindMailDb))
    mailbox_->addItem(QString::fromStdString(e.name), e.id);
  mail_ = new QCheckBox(QStringLiteral("Mail"), this);
  forum_ = new QCheckBox(QStringLiteral("Forum messages"), this);
  news_ = new QCheckBox(QStringLiteral("Newsgroup messages"), this);
  method_ = new QButtonGroup(this);
  auto* methods = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    auto* b = new QRadioButton(QString::fromLatin1(kMethodTexts[i]), this);
    method_->addButton(b, i);
    methods->addWidget(b);
  }
  path_ = new QLineEdit(this);
  path_->setMaxLength(100);
  masks_ = new QLineEdit(this);
  select_ = new QPushButton(QStringLiteral("&Select"), this);
  select_->setToolTip(QStringLiteral("Choose the directory and the files to import"));
  connect(select_, &QPushButton::clicked, this, &UpdateBatch::openSelection);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(path_, 1);
  pathRow->addWidget(select_);
  reimport_ = new QCheckBox(QStringLiteral(" Allow reimport (Update existing messages)"), this);
  topic_ = new QComboBox(this);

  // The stored settings; a new definition starts from the first format's.
  int f = format_->findText(QString::fromStdString(s.format));
  format_->setCurrentIndex(f < 0 ? 0 : f);
  if (definition.id == 0 && s.format.empty()) {
    formatChanged();
  } else {
    mail_->setChecked(s.importMail);
    forum_->setChecked(s.importForum);
    news_->setChecked(s.importNews);
    masks_->setText(toList(s.masks).join(QLatin1Char(';')));
  }
  if (!s.forumName.empty()) {
    int t = target_->findText(QString::fromStdString(s.forumName));
    target_->setCurrentIndex(t < 0 ? 0 : t);
  }
  mailbox_->setCurrentIndex(s.mailbox ? indexOfData(mailbox_, s.mailbox) : (mailbox_->count() > 1 ? 1 : 0));
  method_->button(s.method >= 0 && s.method <= 2 ? s.method : qv::SelectFiles)->setChecked(true);
  path_->setText(QString::fromStdString(s.path));
  reimport_->setChecked(s.allowReimport);
  fillTopics();
  topic_->setCurrentIndex(indexOfData(topic_, s.mailTopic));
  connect(format_, &QComboBox::currentIndexChanged, this, &UpdateBatch::formatChanged);
  connect(mailbox_, &QComboBox::currentIndexChanged, this, &UpdateBatch::fillTopics);
  connect(method_, &QButtonGroup::idClicked, this, [this] { masks_->clear(); });

  auto* kinds = new QHBoxLayout;
  kinds->addWidget(mail_);
  kinds->addWidget(forum_);
  kinds->addWidget(news_);
  kinds->addStretch();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Name:"), name_);
  form->addRow(QStringLiteral("Format:"), format_);
  form->addRow(QStringLiteral("Import:"), kinds);
  form->addRow(QStringLiteral("Database:"), target_);
  form->addRow(QStringLiteral("MailBox:"), mailbox_);
  form->addRow(QStringLiteral("Selection:"), methods);
  form->addRow(QStringLiteral("Directory:"), pathRow);
  form->addRow(QStringLiteral("Files:"), masks_);
  form->addRow(QString(), reimport_);
  form->addRow(QStringLiteral("Mail topic:"), topic_);

  const bool del = request == BatchFormDelete;
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(
      del ? QStringLiteral(" Confirm deletion of Import definition") : QStringLiteral("&Save"),
      QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdateBatch::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (del)
    for (QWidget* w : {static_cast<QWidget*>(name_), static_cast<QWidget*>(format_), static_cast<QWidget*>(target_),
                       static_cast<QWidget*>(mailbox_), static_cast<QWidget*>(mail_), static_cast<QWidget*>(forum_),
                       static_cast<QWidget*>(news_), static_cast<QWidget*>(path_), static_cast<QWidget*>(masks_),
                       static_cast<QWidget*>(select_), static_cast<QWidget*>(reimport_), static_cast<QWidget*>(topic_)})
      w->setEnabled(false);
  if (del)
    for (QAbstractButton* b : method_->buttons()) b->setEnabled(false);
  qv::GlobalResponse = 0;
}

void UpdateBatch::setFormat(const QString& name) {
  int i = format_->findText(name);
  if (i >= 0) format_->setCurrentIndex(i);
}

// A new format: its message kinds, and in the mask methods its file masks.
void UpdateBatch::formatChanged() {
  const qv::FormatInfo* f = qv::formatByNumber(format_->currentData().toInt());
  if (!f) return;
  mail_->setChecked(f->kinds & qv::ImportsMail);
  forum_->setChecked(f->kinds & qv::ImportsForum);
  news_->setChecked(f->kinds & qv::ImportsNews);
  mail_->setEnabled(f->kinds & qv::ImportsMail);
  forum_->setEnabled(f->kinds & qv::ImportsForum);
  news_->setEnabled(f->kinds & qv::ImportsNews);
  if (method_->checkedId() != qv::SelectFiles) masks_->setText(QString::fromLatin1(f->defaultMask));
}

void UpdateBatch::fillTopics() {
  topic_->clear();
  topic_->addItem(QStringLiteral("(none)"), 0u);
  uint32_t box = mailbox_->currentData().toUInt();
  qv::DatabaseEntry found{};
  for (const qv::DatabaseEntry& e : qv::listDatabases(qv::KindMailDb))
    if (e.id == box) found = e;
  if (found.id == 0) return;
  for (const qv::Topic& t : qv::listTopics(found.dirNumber)) topic_->addItem(QString::fromStdString(t.text), t.id);
}

void UpdateBatch::openSelection() {
  const qv::FormatInfo* f = qv::formatByNumber(format_->currentData().toInt());
  int method = method_->checkedId() < 0 ? qv::SelectFiles : method_->checkedId();
  auto mode = static_cast<DirectoryMode>(method);
  QStringList current = masks_->text().split(QLatin1Char(';'), Qt::SkipEmptyParts);
  QStringList masks = mode == DirectoryMode::Files ? QString::fromLatin1(f ? f->defaultMask : "*.*").split(QLatin1Char(';'))
                                                   : current;
  QStringList files = mode == DirectoryMode::Files ? current : QStringList();
  QString title = QString::fromLatin1(f ? f->name : "") + QStringLiteral(" format file(s)");
  dialog_ = openDirectoryDialog(this, mode, title, path_->text(), masks, files,
                                [this](QString dir, QStringList chosen) { setSelection(dir, chosen); });
  connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
}

void UpdateBatch::setSelection(const QString& directory, const QStringList& masksOrFiles) {
  path_->setText(directory);
  masks_->setText(masksOrFiles.join(QLatin1Char(';')));
}

qv::ImportDefinition UpdateBatch::edited() const {
  qv::ImportDefinition d = def_;
  d.description = name_->text().trimmed().toStdString();
  qv::ImportSettings& s = d.settings;
  const qv::FormatInfo* f = qv::formatByNumber(format_->currentData().toInt());
  s.format = f ? f->name : "";
  s.importMail = mail_->isChecked();
  s.importForum = forum_->isChecked();
  s.importNews = news_->isChecked();
  s.forumName = target_->currentData().toUInt() ? target_->currentText().toStdString() : std::string();
  s.mailbox = mailbox_->currentData().toUInt();
  s.method = method_->checkedId() < 0 ? qv::SelectFiles : method_->checkedId();
  s.path = path_->text().trimmed().toStdString();
  s.masks = qv::ImportSettings::splitMasks(masks_->text().toStdString());
  s.allowReimport = reimport_->isChecked();
  s.mailTopic = topic_->currentData().toUInt();
  return d;
}

void UpdateBatch::accept() {
  bool ok;
  if (request_ == BatchFormDelete) {
    ok = qv::DeleteImportDefinition(def_.id);
  } else {
    qv::ImportDefinition d = edited();
    if (d.description.empty()) {
      name_->setFocus();
      return;
    }
    if (request_ == BatchFormAdd) {
      d.id = qv::AddImportDefinition(d.description, d.settings);
      ok = d.id != 0;
    } else {
      ok = qv::UpdateImportDefinition(d);
    }
    if (ok) def_ = d;
  }
  if (!ok) return;
  qv::GlobalResponse = 1;
  QDialog::accept();
}

}  // namespace qvm
