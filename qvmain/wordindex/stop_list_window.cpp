#include "wordindex/stop_list_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/menu_texts.h"
#include "window_registry/window_registry.h"
#include "wordindex/stop_list_edit.h"
#include "wordindex/update_stop_list.h"

namespace qvm {

namespace {
const QString kStopListThread = QStringLiteral("StopList");
}  // namespace

BrowseStopList::BrowseStopList(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("KONTROLL")));
  auto* explanation = new QLabel(QString::fromStdString(qv::GetMenuText(qv::kMenuStopList)), this);
  explanation->setWordWrap(true);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("Non Index Word")});
  trackColumns(list_->header(), ListStopList, {300});
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { edit(StopChange); });

  add_ = new QPushButton(QStringLiteral("&Add"), this);
  add_->setToolTip(QStringLiteral("Add a new non index word"));
  change_ = new QPushButton(QStringLiteral("&Change"), this);
  change_->setToolTip(QStringLiteral("Update highlighted non index word"));
  delete_ = new QPushButton(QStringLiteral("&Delete"), this);
  delete_->setToolTip(QStringLiteral("Delete highlighted non index word"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(add_, &QPushButton::clicked, this, [this] { edit(StopInsert); });
  connect(change_, &QPushButton::clicked, this, [this] { edit(StopChange); });
  connect(delete_, &QPushButton::clicked, this, [this] { edit(StopDelete); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Stop_list")));
  buttons->addStretch();
  for (QPushButton* b : {add_, change_, delete_, close}) buttons->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  TmCreate(this, kStopListThread, kNotToolsGroup);
  reload();
}

QString BrowseStopList::currentWord() const {
  QTreeWidgetItem* i = list_->currentItem();
  return i ? i->text(0) : QString();
}

void BrowseStopList::reload(const QString& word) {
  QString keep = word.isEmpty() ? currentWord() : word;
  int row = list_->currentIndex().row();
  list_->clear();
  std::vector<std::string> words = qv::stopWords();
  QList<QTreeWidgetItem*> items;
  items.reserve(qsizetype(words.size()));
  for (const std::string& w : words) items << new QTreeWidgetItem(QStringList{QString::fromStdString(w)});
  list_->addTopLevelItems(items);
  setWindowTitle(QStringLiteral(" Ignore List [") + QString::number(words.size()) + QStringLiteral("]"));
  QTreeWidgetItem* current = nullptr;
  if (!keep.isEmpty()) {
    QList<QTreeWidgetItem*> found = list_->findItems(keep, Qt::MatchExactly);
    if (!found.isEmpty()) current = found.first();
  }
  // A deleted word's place: the word that follows it now.
  if (!current && list_->topLevelItemCount() > 0)
    current = list_->topLevelItem(qBound(0, row, list_->topLevelItemCount() - 1));
  if (current) list_->setCurrentItem(current);
  bool any = list_->topLevelItemCount() > 0;
  change_->setEnabled(any);
  delete_->setEnabled(any);
}

void BrowseStopList::edit(int request) {
  QString word = currentWord();
  if (request != StopInsert && word.isEmpty()) return;
  openUpdateStopList(this, request, word, [this](bool done, const QString& saved) {
    if (done) reload(saved);
  });
}

void openBrowseStopList() { showProcedureWindow(new BrowseStopList, SlotStopList, Geometry::PositionAndSize); }

}  // namespace qvm
