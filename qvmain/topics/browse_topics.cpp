#include "topics/browse_topics.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "browse/browse_kinds.h"
#include "events.h"
#include "frame/edit_buttons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "services/globals.h"
#include "services/procedure_starter.h"
#include "services/topic_form.h"
#include "services/topics.h"
#include "window_registry/window_registry.h"
#include "topics/topic_windows.h"

namespace qvm {

namespace {

constexpr int kTopicForm = 210;
enum FormRequest : int { FormInsert = 1, FormUpdate = 2, FormDelete = 3 };

}  // namespace

BrowseTopics::BrowseTopics(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setProperty("helpTopic", QStringLiteral("~Classify_Messages"));
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("Topic"), QStringLiteral("Indexes")});
  list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  trackColumns(list_->header(), ListBrowseTopics, {300, 90});
  list_->header()->setStretchLastSection(false);
  EditButtons buttons = makeEditButtons(
      this, list_, {QStringLiteral("Add a new key word"), QString(), QStringLiteral("Delete highlighted key word")},
      {FormInsert, FormUpdate, FormDelete}, [this](int request) { edit(request); },
      helpButton(this, QStringLiteral("~Classify_Messages")));
  insert_ = buttons.insert;
  update_ = buttons.update;
  delete_ = buttons.remove;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("List of Topics"), this));
  layout->addWidget(list_);
  layout->addLayout(buttons.row);
  TmCreate(this, kBrowseTopicsThread, kNotToolsGroup);
  reload();
}

void BrowseTopics::retitle() {
  setWindowTitle(QStringLiteral(" %1 Topics [%2]").arg(QString::fromStdString(qv::activeDescription())).arg(count_));
}

void BrowseTopics::reload() {
  uint32_t current = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toUInt() : 0;
  list_->clear();
  QTreeWidgetItem* keep = nullptr;
  std::vector<qv::Topic> topics = qv::listTopics();
  for (const qv::Topic& t : topics) {
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(t.text));
    it->setText(1, QString::number(t.count));
    it->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    it->setData(0, Qt::UserRole, t.id);
    if (t.id == current) keep = it;
  }
  if (!keep && list_->topLevelItemCount() > 0) keep = list_->topLevelItem(0);
  if (keep) list_->setCurrentItem(keep);
  count_ = int(topics.size());
  const bool any = count_ > 0;
  update_->setEnabled(any);
  delete_->setEnabled(any);
  retitle();
}

void BrowseTopics::edit(int request) {
  qv::Topic chosen;  // a new topic: none
  if (request != FormInsert) {
    QTreeWidgetItem* it = list_->currentItem();
    if (!it) return;
    uint32_t id = it->data(0, Qt::UserRole).toUInt();
    bool found = false;
    for (const qv::Topic& t : qv::listTopics())
      if (t.id == id) {
        chosen = t;
        found = true;
      }
    if (!found) {
      reload();
      return;
    }
  }
  qv::putTopicForForm(chosen);
  qv::GlobalRequest = request;
  if (qv::SemaFore(kTopicForm) != 1) return;
  reload();
  // The check list shows every topic: it reloads them.
  postToThread(kClassifyThread, EvAttachTopicsChanged);
  // A browser on the topic's view leaves it when the topic went.
  if (request == FormDelete) postToThread(browseThreadName(qv::activeKind()), EvToolsEnded);
}

bool BrowseTopics::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (ev && ev->number() == EvToolsEnded) {
    reload();  // a purge or count changed the counts
    return true;
  }
  return QWidget::event(e);
}

void openBrowseTopics() {
  if (!qv::hasActiveDatabase()) return;
  showProcedureWindow(new BrowseTopics, SlotBrowseTopics);
}

}  // namespace qvm
