#include "database/database_selection.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "database/add_forum.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"

namespace qvm {

QString selectionCaption(int kind) {
  switch (kind) {
    case qv::KindForumDb: return QStringLiteral(" Forum Database Selection");
    case qv::KindMailDb: return QStringLiteral(" Mail Database Selection");
    default: return QStringLiteral(" Database Selection [Newsgroup]");
  }
}

DatabaseSelection::DatabaseSelection(int kind, bool lookup, QWidget* parent)
    : QDialog(parent), kind_(kind), lookup_(lookup) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(selectionCaption(kind));
  QString heading = kind == qv::KindForumDb   ? QStringLiteral("List of Forum databases")
                    : kind == qv::KindMailDb ? QStringLiteral("List of mail databases")
                                : QStringLiteral("List of Newsgroup databases");
  order_ = new QComboBox(this);
  order_->addItems({QStringLiteral("By Database Name"), QStringLiteral("By Directory Name")});
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Directory"), QStringLiteral("Messages")});
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setToolTip(QStringLiteral("Right click to change import status"));
  trackColumns(list_->header(), lookup ? ListForumLup : ListGpForum, {260, 80, 80});
  connect(order_, &QComboBox::currentIndexChanged, this, &DatabaseSelection::reload);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &DatabaseSelection::accept);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    QTreeWidgetItem* it = list_->itemAt(p);
    QMenu menu(this);
    QAction* allow = menu.addAction(QStringLiteral("Allow import"));
    QAction* disallow = menu.addAction(QStringLiteral("Disallow import"));
    allow->setEnabled(it);
    disallow->setEnabled(it);
    QAction* add = kind_ == qv::KindForumDb ? menu.addAction(QStringLiteral("Add a new Forum")) : nullptr;
    QAction* a = menu.exec(list_->viewport()->mapToGlobal(p));
    if (!a) return;
    if (a == add) {
      openAddForum(this, [this](uint32_t) { reload(); });
      return;
    }
    qv::setImportAllowed(it->data(0, Qt::UserRole).toUInt(), a == allow);
    reload();
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  if (kind == qv::KindForumDb) {
    auto* add = buttons->addButton(QStringLiteral("Add a new Forum"), QDialogButtonBox::ActionRole);
    connect(add, &QPushButton::clicked, this, [this] { openAddForum(this, [this](uint32_t) { reload(); }); });
  }
  buttons->addButton(helpButton(this, QStringLiteral("~Selecting_a_database")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &DatabaseSelection::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(heading, this));
  top->addStretch();
  top->addWidget(order_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(500, 360);
  reload();
}

void DatabaseSelection::reload() {
  list_->clear();
  for (const qv::DatabaseEntry& e : qv::listDatabases(kind_, order_->currentIndex() == 1)) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(e.name).left(40));
    it->setText(1, QStringLiteral("F%1").arg(e.dirNumber));
    it->setText(2, QString::number(e.messages));
    it->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    it->setData(0, Qt::UserRole, e.id);
    it->setData(1, Qt::UserRole, QString::fromStdString(e.name));
    if (!e.importAllowed) it->setToolTip(0, QStringLiteral("Import is not allowed"));
  }
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void DatabaseSelection::accept() {
  QTreeWidgetItem* it = list_->currentItem();
  if (!it) return;
  chosen_ = it->data(0, Qt::UserRole).toUInt();
  chosenName_ = it->data(1, Qt::UserRole).toString();
  if (!lookup_ && !qv::ActivateDatabase(chosen_)) return;
  qv::GlobalResponse = 1;
  QDialog::accept();
}

DatabaseSelection* openDatabaseSelection(QWidget* parent, int kind, bool lookup,
                                         std::function<void(uint32_t, QString)> chosen) {
  auto* dlg = new DatabaseSelection(kind, lookup, parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [dlg, chosen] {
    if (chosen) chosen(dlg->chosenId(), dlg->chosenName());
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
