#include "topics/classify_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "browse/browse_kinds.h"
#include "browse/browse_state.h"
#include "events.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "services/topics.h"
#include "window_registry/window_registry.h"
#include "topics/topic_windows.h"

namespace qvm {

namespace {

// A topic is shown with at most this many characters.
constexpr int kRowTextMax = 200;
constexpr int kAttachedRole = Qt::UserRole + 1;

QIcon markIcon(bool attached) {
  return QIcon(attached ? QStringLiteral(":/icons/Toptag.svg") : QStringLiteral(":/icons/Untag.svg"));
}

}  // namespace

ClassifyWindow::ClassifyWindow(QWidget* parent) : QWidget(parent), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(markIcon(true));
  setProperty("helpTopic", QStringLiteral("~Attach_Topics"));
  list_ = new QTreeWidget(this);
  list_->setHeaderHidden(true);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->installEventFilter(this);
  connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* it) { toggle(it); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  TmCreate(this, kClassifyThread, kFindGroup);
  followSelection(true);
}

QTreeWidgetItem* ClassifyWindow::rowOf(uint32_t topicId) const {
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == topicId) return list_->topLevelItem(i);
  return nullptr;
}

bool ClassifyWindow::attached(const QTreeWidgetItem* row) { return row && row->data(0, kAttachedRole).toBool(); }

void ClassifyWindow::mark(QTreeWidgetItem* row, bool on) {
  row->setData(0, kAttachedRole, on);
  row->setIcon(0, markIcon(on));
}

void ClassifyWindow::followSelection(bool force) {
  uint32_t selected = qv::readBrowseContext(kind_).selected;
  if (!force && built_ && selected == message_) return;
  message_ = selected;
  rebuild();
}

void ClassifyWindow::rebuild() {
  built_ = true;
  uint32_t current = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toUInt() : 0;
  list_->clear();
  std::vector<uint32_t> linked = message_ ? qv::topicsOfMessage(message_) : std::vector<uint32_t>();
  for (const qv::Topic& t : qv::listTopics()) {
    auto* row = new QTreeWidgetItem(list_);
    row->setText(0, QString::fromStdString(t.text).left(kRowTextMax).trimmed());
    row->setData(0, Qt::UserRole, t.id);
    mark(row, std::find(linked.begin(), linked.end(), t.id) != linked.end());
    if (t.id == current) list_->setCurrentItem(row);
  }
  if (!list_->currentItem() && list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  list_->setEnabled(message_ != 0);
  setWindowTitle(message_ ? QStringLiteral(" Attach Topics to %1").arg(message_) : QStringLiteral(" Attach Topics"));
}

void ClassifyWindow::toggle(QTreeWidgetItem* row) {
  if (!row || message_ == 0) return;
  bool on = !attached(row);
  if (qv::setTopicLink(row->data(0, Qt::UserRole).toUInt(), message_, on)) mark(row, on);
  postToThread(browseThreadName(kind_), EvBrowseToFront);
}

bool ClassifyWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == list_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Space) {
      toggle(list_->currentItem());
      return true;
    }
    if (k->key() == Qt::Key_F5) {  // built again from the files
      rebuild();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

bool ClassifyWindow::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (!ev) return QWidget::event(e);
  switch (ev->number()) {
    case EvThreadTree:
    case EvAttachTopics:
      followSelection();
      return true;
    case EvAttachTopicsChanged:
      followSelection(true);
      return true;
    case EvAttachTopicsClose:
      close();
      return true;
    default:
      return QWidget::event(e);
  }
}

void ClassifyWindow::closeEvent(QCloseEvent* e) {
  postToThread(browseThreadName(kind_), EvAttachTopicsClose);
  QWidget::closeEvent(e);
}

void openClassify() {
  if (!qv::hasActiveDatabase()) return;
  showProcedureWindow(new ClassifyWindow, SlotClassify);
}

}  // namespace qvm
