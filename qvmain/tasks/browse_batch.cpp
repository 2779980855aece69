#include "tasks/browse_batch.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "events.h"
#include "frame/edit_buttons.h"
#include "frame/window_host.h"
#include "services/databases.h"
#include "services/globals.h"
#include "tasks/definition_edit.h"
#include "tasks/update_batch.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const char* const kMethodNames[3] = {"Directory tree", "Directory", "Selected files"};

QString databaseName(uint32_t id) {
  for (const qv::DatabaseEntry& e : qv::listDatabases())
    if (e.id == id) return QString::fromStdString(e.name);
  return QString();
}

}  // namespace

BrowseBatch::BrowseBatch(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("Import procedure"), QStringLiteral("Format"), QStringLiteral("Database"),
                          QStringLiteral("MailBox"), QStringLiteral("Selection"), QStringLiteral("Directory")});
  trackColumns(list_->header(), ListBrowseBatch, {180, 110, 120, 120, 100, 200});
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  EditButtons buttons = makeEditButtons(
      this, list_,
      {QStringLiteral("Add a new import procedure"), QStringLiteral("Change the highlighted import procedure"),
       QStringLiteral("Delete the highlighted import procedure")},
      {BatchFormAdd, BatchFormUpdate, BatchFormDelete}, [this](int request) { edit(request); }, close);
  insert_ = buttons.insert;
  update_ = buttons.update;
  delete_ = buttons.remove;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons.row);
  TmCreate(this, kBrowseBatchThread, kNotToolsGroup);
  reload();
}

BrowseBatch::~BrowseBatch() {
  if (!qv::unattended()) postToFrame(EvToolsEnded);
}

void BrowseBatch::reload() {
  uint32_t current = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toUInt() : 0;
  list_->clear();
  QTreeWidgetItem* keep = nullptr;
  std::vector<qv::ImportDefinition> defs = qv::ListImportDefinitions();
  for (const qv::ImportDefinition& d : defs) {
    const qv::ImportSettings& s = d.settings;
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(d.description));
    it->setText(1, QString::fromStdString(s.format));
    it->setText(2, QString::fromStdString(s.forumName));
    it->setText(3, s.importMail ? databaseName(s.mailbox) : QString());
    it->setText(4, QString::fromLatin1(kMethodNames[s.method >= 0 && s.method <= 2 ? s.method : 2]));
    it->setText(5, QString::fromStdString(s.path));
    it->setData(0, Qt::UserRole, d.id);
    if (d.id == current) keep = it;
  }
  if (!keep && list_->topLevelItemCount() > 0) keep = list_->topLevelItem(0);
  if (keep) list_->setCurrentItem(keep);
  bool any = !defs.empty();
  update_->setEnabled(any);
  delete_->setEnabled(any);
  setWindowTitle(QStringLiteral(" Predefined Import Procedures [%1]").arg(defs.size()));
}

void BrowseBatch::edit(int request) {
  qv::ImportDefinition d;
  if (request != BatchFormAdd) {
    QTreeWidgetItem* it = list_->currentItem();
    if (!it) return;
    if (!qv::ReadImportDefinition(it->data(0, Qt::UserRole).toUInt(), d)) {
      reload();
      return;
    }
  }
  UpdateBatch form(request, d, this);
  if (form.exec() != QDialog::Accepted) return;
  reload();
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == form.definitionId())
      list_->setCurrentItem(list_->topLevelItem(i));
}

void openBrowseBatch() { showProcedureWindow(new BrowseBatch, SlotBrowseBatch); }

}  // namespace qvm
