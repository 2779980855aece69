#include "persons/merge_persons.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "browse/browse_kinds.h"
#include "events.h"
#include "frame/window_host.h"
#include "persons/person_windows.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "services/settings_items.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

MergePersons::MergePersons(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setHeaderLabels({QStringLiteral("Status"), QStringLiteral("Name"), QStringLiteral("Address")});
  trackColumns(list_->header(), ListMergePersons, {60, 200, 220});
  list_->setAcceptDrops(true);
  list_->viewport()->setAcceptDrops(true);
  list_->setDragDropMode(QAbstractItemView::DropOnly);
  list_->viewport()->installEventFilter(this);
  list_->setToolTip(QStringLiteral("Drop persons here from the person list"));

  add_ = new QPushButton(QStringLiteral("&Add"), this);
  add_->setToolTip(QStringLiteral("Add the person highlighted in the person list"));
  keep_ = new QPushButton(QStringLiteral("&Keep"), this);
  keep_->setToolTip(QStringLiteral("Keep highlighted person"));
  remove_ = new QPushButton(QStringLiteral("&Remove"), this);
  remove_->setToolTip(QStringLiteral("Remove highlighted person fron merge"));
  merge_ = new QPushButton(QStringLiteral("&Merge"), this);
  merge_->setToolTip(QStringLiteral("Merge selected persons"));
  connect(add_, &QPushButton::clicked, this, [this] { addPerson(highlightedPerson()); });
  connect(keep_, &QPushButton::clicked, this, &MergePersons::keepHighlighted);
  connect(remove_, &QPushButton::clicked, this, &MergePersons::removeHighlighted);
  connect(merge_, &QPushButton::clicked, this, &MergePersons::mergeSelected);

  auto* frame = new QGroupBox(QStringLiteral(" Duplicate persons that should be merged "), this);
  auto* inFrame = new QVBoxLayout(frame);
  inFrame->addWidget(list_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(keep_);
  buttons->addWidget(remove_);
  buttons->addWidget(merge_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addLayout(buttons);
  const int kind = qv::activeKind();
  setWindowTitle(QString::fromLatin1(kind == qv::KindMailDb   ? "Merge Mail Partners"
                                     : kind == qv::KindNewsDb ? "Merge Newsgroup Participants"
                                                              : "Merge Forum Members"));
  TmCreate(this, kMergePersonsThread, kNotToolsGroup);
  redisplay(-1);
}

void MergePersons::redisplay(int current) {
  list_->clear();
  const QColor keep = settingColour(qv::ItemColourKeep), merge = settingColour(qv::ItemColourDelete);
  for (const qv::MergeEntry& e : entries_.entries()) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromLatin1(e.action()));
    it->setText(1, QString::fromStdString(e.name));
    it->setText(2, QString::fromStdString(e.address));
    it->setData(0, Qt::UserRole, e.personId);
    for (int c = 0; c < 3; ++c) it->setForeground(c, e.keep ? keep : merge);
  }
  int rows = list_->topLevelItemCount();
  if (rows > 0) list_->setCurrentItem(list_->topLevelItem(qBound(0, current, rows - 1)));
  keep_->setEnabled(rows > 0);
  remove_->setEnabled(rows > 0);
  merge_->setEnabled(entries_.canMerge());
}

void MergePersons::addPerson(uint32_t personId) {
  if (personId == 0) return;
  if (entries_.add(personId) != qv::MergeList::Added::Added) return;
  redisplay(int(entries_.size()) - 1);
}

void MergePersons::keepHighlighted() {
  int row = list_->currentIndex().row();
  if (row < 0) return;
  entries_.keep(size_t(row));
  redisplay(row);
}

void MergePersons::removeHighlighted() {
  int row = list_->currentIndex().row();
  if (row < 0) return;
  entries_.remove(size_t(row));
  redisplay(row);
}

void MergePersons::mergeSelected() {
  if (!entries_.canMerge()) return;
  qv::MergeResult r = qv::mergePersons(entries_);
  // Persons merged are gone, whether or not the merge went to its end.
  for (uint32_t id : r.merged) entries_.removePerson(id);
  if (!r.merged.empty()) postToThread(browseThreadName(qv::activeKind()), EvToolsEnded);
  if (!r.completed) {
    if (!r.merged.empty()) postToThread(kBrowsePersonThread, EvPersonsChanged);
    redisplay(0);
    return;
  }
  postToThread(kBrowsePersonThread, EvPersonsChanged);
  close();
}

bool MergePersons::eventFilter(QObject* watched, QEvent* e) {
  if (watched == list_->viewport()) {
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* d = static_cast<QDropEvent*>(e);
        if (droppedPerson(d->mimeData()) != 0) {
          d->setDropAction(Qt::CopyAction);
          d->accept();
        } else {
          d->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        uint32_t id = droppedPerson(d->mimeData());
        if (id == 0) {
          d->ignore();
          return true;
        }
        d->setDropAction(Qt::CopyAction);
        d->accept();
        addPerson(id);
        return true;
      }
      default: break;
    }
  }
  return QWidget::eventFilter(watched, e);
}

void openMergePersons() {
  if (!qv::hasActiveDatabase() || qv::activeKind() == qv::KindNoDb) return;
  showProcedureWindow(new MergePersons, SlotMergePersons);
}

}  // namespace qvm
