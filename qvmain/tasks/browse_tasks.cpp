#include "tasks/browse_tasks.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "events.h"
#include "frame/edit_buttons.h"
#include "frame/window_host.h"
#include "services/globals.h"
#include "tasks/task_dates.h"
#include "tasks/task_edit.h"
#include "tasks/update_task.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

QString resultText(uint8_t code) {
  switch (code) {
    case 1: return QStringLiteral("No errors");
    case 2: return QStringLiteral("Errors reported");
    default: return QStringLiteral("Not run");
  }
}

}  // namespace

BrowseTasks::BrowseTasks(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Scheduled Tasks"));
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({QStringLiteral("Task"), QStringLiteral("Active"), QStringLiteral("Next run"),
                          QStringLiteral("Run once"), QStringLiteral("Last run"), QStringLiteral("Result"),
                          QStringLiteral("Imports")});
  trackColumns(list_->header(), ListBrowseTasks, {200, 50, 120, 120, 120, 100, 60});
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  EditButtons buttons = makeEditButtons(
      this, list_,
      {QStringLiteral("Add a new task"), QStringLiteral("Change the highlighted task"),
       QStringLiteral("Delete the highlighted task")},
      {TaskFormAdd, TaskFormUpdate, TaskFormDelete}, [this](int request) { edit(request); }, close);
  insert_ = buttons.insert;
  update_ = buttons.update;
  delete_ = buttons.remove;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("List of scheduled tasks"), this));
  layout->addWidget(list_);
  layout->addLayout(buttons.row);
  TmCreate(this, kBrowseTasksThread, kNotToolsGroup);
  reload();
}

BrowseTasks::~BrowseTasks() {
  // The frame's menus come back.
  if (!qv::unattended()) postToFrame(EvToolsEnded);
}

void BrowseTasks::reload() {
  uint32_t current = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toUInt() : 0;
  list_->clear();
  QTreeWidgetItem* keep = nullptr;
  for (const qv::TaskEdit& e : qv::ListTasks()) {
    const qv::TasksRec& t = e.task;
    auto* it = new QTreeWidgetItem(list_);
    it->setText(0, QString::fromStdString(t.DESCRIPTION.str()));
    it->setText(1, t.ACTIVE ? QStringLiteral("Yes") : QStringLiteral("No"));
    it->setText(2, whenText(t.RUNNEXTDATE, t.RUNNEXTTIME));
    it->setText(3, whenText(t.RUNNOWDATE, t.RUNNOWTIME));
    it->setText(4, whenText(t.LASTRUNDATE, t.LASTRUNTIME));
    it->setText(5, t.LASTRUNDATE ? resultText(t.RESULTCODE) : QString());
    it->setText(6, QString::number(e.definitions.size()));
    it->setTextAlignment(6, Qt::AlignRight | Qt::AlignVCenter);
    it->setData(0, Qt::UserRole, t.ID);
    if (t.ID == current) keep = it;
  }
  if (!keep && list_->topLevelItemCount() > 0) keep = list_->topLevelItem(0);
  if (keep) list_->setCurrentItem(keep);
  bool any = list_->topLevelItemCount() > 0;
  update_->setEnabled(any);
  delete_->setEnabled(any);
}

void BrowseTasks::edit(int request) {
  qv::TaskEdit e;
  if (request != TaskFormAdd) {
    QTreeWidgetItem* it = list_->currentItem();
    if (!it) return;
    if (!qv::ReadTask(it->data(0, Qt::UserRole).toUInt(), e)) {
      reload();  // deleted meanwhile
      return;
    }
  }
  UpdateTask form(request, e, this);
  if (form.exec() != QDialog::Accepted) return;
  reload();
  if (request != TaskFormDelete) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
      if (list_->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == form.taskId())
        list_->setCurrentItem(list_->topLevelItem(i));
  }
}

void openBrowseTasks() { showProcedureWindow(new BrowseTasks, SlotBrowseTasks); }

}  // namespace qvm
