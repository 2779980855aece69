#include "database/change_forum.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "database/new_db_name.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "services/database_choice.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

QString typeText(int kind) {
  switch (kind) {
    case qv::KindForumDb: return QStringLiteral("Forum");
    case qv::KindMailDb: return QStringLiteral("Mail");
    case qv::KindNewsDb: return QStringLiteral("Newsgroup");
    default: return QString();
  }
}

QString statusText(int status) {
  switch (status) {
    case qv::DbStatusKeep: return QStringLiteral("Keep");
    case qv::DbStatusDelete: return QStringLiteral("Delete");
    default: return QStringLiteral("Normal");
  }
}

bool unnamed(const QString& name, uint32_t dir) {
  return name.trimmed() == QStringLiteral("Unknown:F%1").arg(dir) || name.trimmed() == QStringLiteral("Unknown: F%1").arg(dir);
}

}  // namespace

ChangeForum::ChangeForum(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("TIDNING")));
  order_ = new QComboBox(this);
  order_->addItems({QStringLiteral("By Database Name"), QStringLiteral("By Directory Name")});
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->setHeaderLabels({QStringLiteral("Database name"), QStringLiteral("Type"), QStringLiteral("Directory"),
                          QStringLiteral("Messages"), QStringLiteral("Counted"), QStringLiteral("Import"),
                          QStringLiteral("Status")});
  list_->setToolTip(QStringLiteral("Right click to change import status"));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  trackColumns(list_->header(), ListChangeForum, {240, 80, 70, 80, 60});
  connect(list_, &QWidget::customContextMenuRequested, this, &ChangeForum::showMenu);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &ChangeForum::chooseCurrent);
  connect(order_, &QComboBox::currentIndexChanged, this, &ChangeForum::reload);

  auto* select = new QPushButton(QStringLiteral("&Select"), this);
  select->setToolTip(QStringLiteral("Make the highlighted database the active one"));
  connect(select, &QPushButton::clicked, this, &ChangeForum::chooseCurrent);
  auto* cancel = new QPushButton(QStringLiteral("Close"), this);
  connect(cancel, &QPushButton::clicked, this, &QWidget::close);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Sort order:"), this));
  top->addWidget(order_);
  top->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(helpButton(this, QStringLiteral("~Selecting_a_database")));
  bottom->addStretch();
  bottom->addWidget(select);
  bottom->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_);
  layout->addLayout(bottom);
  setMinimumSize(520, 260);
  TmCreate(this, QStringLiteral("ChangeForum"), kNotToolsGroup);
  qv::GlobalResponse = 0;
  reload();
}

ChangeForum::~ChangeForum() { postToFrame(EvReevaluate); }

void ChangeForum::reload() {
  uint32_t keep = currentId();
  list_->clear();
  const std::vector<qv::DatabaseRecord> databases =
      qv::listDatabases(qv::kAllDbKinds, order_->currentIndex() == 1);
  const uint32_t active = qv::activeDatabaseId();
  for (const qv::DatabaseRecord& f : databases) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(f.name).left(40));
    it->setText(1, typeText(f.kind));
    it->setText(2, QStringLiteral("F%1").arg(f.dirNumber));
    it->setText(3, QString::number(f.messages));
    it->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    it->setText(4, f.counted ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setText(5, f.importAllowed ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setText(6, statusText(f.status));
    it->setData(0, Qt::UserRole, f.id);
    it->setData(1, Qt::UserRole, QString::fromStdString(f.name));
    it->setData(2, Qt::UserRole, f.dirNumber);
    paintRow(it, f.status);
    if (f.id == keep || (keep == 0 && f.id == active)) list_->setCurrentItem(it);
  }
  const int n = int(databases.size());
  if (!list_->currentItem() && list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  setWindowTitle(QStringLiteral(" Database Selection [%1]").arg(n));
}

void ChangeForum::paintRow(QTreeWidgetItem* it, int status) {
  for (int c = 0; c < list_->columnCount(); ++c) {
    if (status == qv::DbStatusKeep)
      it->setForeground(c, settingColour(qv::ItemColourKeep));
    else if (status == qv::DbStatusDelete)
      it->setForeground(c, settingColour(qv::ItemColourDelete));
    else
      it->setData(c, Qt::ForegroundRole, QVariant());
  }
}

uint32_t ChangeForum::currentId() const {
  QTreeWidgetItem* it = list_ ? list_->currentItem() : nullptr;
  return it ? it->data(0, Qt::UserRole).toUInt() : 0;
}

void ChangeForum::chooseCurrent() {
  uint32_t id = currentId();
  if (!qv::chooseDatabase(id)) return;
  qv::GlobalResponse = 1;
  close();
}

void ChangeForum::setStatus(int status) {
  uint32_t id = currentId();
  if (id == 0 || !qv::setDatabaseStatus(id, status)) return;
  QTreeWidgetItem* it = list_->currentItem();
  it->setText(6, statusText(status));
  paintRow(it, status);
}

void ChangeForum::setImport(bool allowed) {
  uint32_t id = currentId();
  if (id == 0 || !qv::setImportAllowed(id, allowed)) return;
  list_->currentItem()->setText(5, allowed ? QStringLiteral("Yes") : QStringLiteral("No"));
}

QStringList ChangeForum::menuEntries() const {
  QStringList m = {QStringLiteral("Normal database"), QStringLiteral("Keep database"), QStringLiteral("Delete database"),
                   QStringLiteral("-"), QStringLiteral("Allow import"), QStringLiteral("Disallow import")};
  QTreeWidgetItem* it = list_->currentItem();
  if (it && unnamed(it->data(1, Qt::UserRole).toString(), it->data(2, Qt::UserRole).toUInt()))
    m << QStringLiteral("-") << QStringLiteral("Change database name");
  return m;
}

void ChangeForum::showMenu(const QPoint& p) {
  if (QTreeWidgetItem* it = list_->itemAt(p)) list_->setCurrentItem(it);
  if (!list_->currentItem()) return;
  QMenu menu(this);
  QList<QAction*> actions;
  for (const QString& e : menuEntries()) actions << (e == QStringLiteral("-") ? menu.addSeparator() : menu.addAction(e));
  QAction* a = menu.exec(list_->viewport()->mapToGlobal(p));
  if (!a) return;
  QString t = a->text();
  if (t == QStringLiteral("Normal database")) setStatus(qv::DbStatusNormal);
  else if (t == QStringLiteral("Keep database")) setStatus(qv::DbStatusKeep);
  else if (t == QStringLiteral("Delete database")) setStatus(qv::DbStatusDelete);
  else if (t == QStringLiteral("Allow import")) setImport(true);
  else if (t == QStringLiteral("Disallow import")) setImport(false);
  else if (t == QStringLiteral("Change database name")) openNewDbName(this, currentId(), [this] { reload(); });
}

void ChangeForum::keyPressEvent(QKeyEvent* e) {
  bool ctrl = e->modifiers() & Qt::ControlModifier;
  if (e->key() == Qt::Key_Delete || (ctrl && e->key() == Qt::Key_D)) setStatus(qv::DbStatusDelete);
  else if (ctrl && e->key() == Qt::Key_K) setStatus(qv::DbStatusKeep);
  else if (ctrl && e->key() == Qt::Key_N) setStatus(qv::DbStatusNormal);
  else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) chooseCurrent();
  else QWidget::keyPressEvent(e);
}

void openChangeForum() { showProcedureWindow(new ChangeForum, SlotChangeForum); }

}  // namespace qvm
