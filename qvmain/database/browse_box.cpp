#include "database/browse_box.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "database/update_box.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/database_list.h"
#include "services/globals.h"
#include "window_registry/window_registry.h"

namespace qvm {

BrowseBox::BrowseBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("AASYSTEM")));
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->setHeaderLabels({QStringLiteral("MailBox owner name"), QStringLiteral("MailBox address"), QStringLiteral("Alt address")});
  trackColumns(list_->header(), ListBrowseBox, {200, 300, 80});
  insert_ = new QPushButton(QStringLiteral("&Insert"), this);
  insert_->setToolTip(QStringLiteral("Add a new MailBox"));
  change_ = new QPushButton(QStringLiteral("&Change"), this);
  change_->setToolTip(QStringLiteral("Change the highlighted MailBox"));
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(insert_, &QPushButton::clicked, this, [this] {
    qv::GlobalRequest = 1;
    openUpdateBox(this, 1, 0, [this](uint32_t) { reload(); });
  });
  auto changeCurrent = [this] {
    QTreeWidgetItem* it = list_->currentItem();
    if (!it) return;
    qv::GlobalRequest = 2;
    openUpdateBox(this, 2, it->data(0, Qt::UserRole).toUInt(), [this](uint32_t) { reload(); });
  };
  connect(change_, &QPushButton::clicked, this, changeCurrent);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, changeCurrent);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Mailbox_setup")));
  buttons->addStretch();
  buttons->addWidget(insert_);
  buttons->addWidget(change_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  setMinimumSize(380, 180);
  TmCreate(this, QStringLiteral("BrowseBox"), kNotToolsGroup);
  reload();
}

BrowseBox::~BrowseBox() { postToFrame(EvToolsEnded2); }

void BrowseBox::reload() {
  uint32_t keep = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toUInt() : 0;
  list_->clear();
  const std::vector<qv::DatabaseRecord> boxes = qv::mailboxRecords();
  for (const qv::DatabaseRecord& box : boxes) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(box.name).left(40));
    it->setText(1, QString::fromStdString(box.mailAddress));
    it->setText(2, box.hasAltAddress() ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setData(0, Qt::UserRole, box.id);
    if (box.id == keep) list_->setCurrentItem(it);
  }
  const int n = int(boxes.size());
  if (!list_->currentItem() && n > 0) list_->setCurrentItem(list_->topLevelItem(0));
  change_->setEnabled(n > 0);
  setWindowTitle(QStringLiteral(" MailBoxes [%1]").arg(n));
}

void openBrowseBox() { showProcedureWindow(new BrowseBox, SlotBrowseBox); }

}  // namespace qvm
