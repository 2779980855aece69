#include "persons/show_alias.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "events.h"
#include "frame/window_host.h"
#include "persons/person_windows.h"
#include "window_registry/window_registry.h"

namespace qvm {

ShowAlias::ShowAlias(qv::AliasList aliases, QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  current_ = new QLabel(this);
  current_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("Alias address")});
  trackColumns(list_->header(), ListShowAlias, {360});
  swap_ = new QPushButton(QStringLiteral("S&wap"), this);
  swap_->setToolTip(QStringLiteral("Swap highlighted address with the current one"));
  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setToolTip(QStringLiteral("Save address change"));
  connect(swap_, &QPushButton::clicked, this, &ShowAlias::swap);
  connect(save_, &QPushButton::clicked, this, &ShowAlias::save);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &ShowAlias::swap);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(swap_);
  buttons->addWidget(save_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current_);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  TmCreate(this, kShowAliasThread, kNotToolsGroup);
  setAliases(std::move(aliases));
}

void ShowAlias::setAliases(qv::AliasList aliases) {
  aliases_ = std::move(aliases);
  setWindowTitle(QStringLiteral(" Current address for ") + QString::fromStdString(aliases_.name));
  redisplay();
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void ShowAlias::redisplay() {
  int row = list_->currentIndex().row();
  current_->setText(QString::fromStdString(aliases_.address));
  list_->clear();
  for (const qv::AliasEntry& e : aliases_.entries) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(e.address));
    it->setToolTip(0, QString::fromStdString(e.personString));
  }
  if (row >= 0 && row < list_->topLevelItemCount()) list_->setCurrentItem(list_->topLevelItem(row));
  const bool any = !aliases_.entries.empty();
  swap_->setEnabled(any);
  save_->setEnabled(any);
}

void ShowAlias::swap() {
  int row = list_->currentIndex().row();
  if (row < 0) return;
  qv::swapAlias(aliases_, size_t(row));
  redisplay();
}

void ShowAlias::save() {
  switch (qv::saveAliasChange(aliases_)) {
    case qv::AliasSave::Saved:
      // The person list shows the new address.
      postToThread(kBrowsePersonThread, EvPersonsChanged);
      close();
      return;
    case qv::AliasSave::Unchanged: close(); return;
    case qv::AliasSave::OwnerRefused:
    case qv::AliasSave::Failed: return;
  }
}

void openShowAlias(qv::AliasList aliases) {
  if (auto* w = qobject_cast<ShowAlias*>(TmWindow(TmGetId(kShowAliasThread)))) {
    w->setAliases(std::move(aliases));
    activateWindow(w);
    return;
  }
  showProcedureWindow(new ShowAlias(std::move(aliases)), SlotShowAlias);
}

}  // namespace qvm
