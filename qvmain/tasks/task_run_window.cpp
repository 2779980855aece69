#include "tasks/task_run_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "events.h"
#include "frame/window_host.h"
#include "import/import_definition.h"
#include "import/import_run.h"
#include "services/globals.h"
#include "tasks/task_dates.h"
#include "tasks/task_log.h"
#include "tasks/task_state.h"
#include "threads/thread_manager.h"

namespace qvm {

TaskRunWindow::TaskRunWindow(uint32_t taskId, QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Task processing"));
  task_ = new QLabel(QString::fromStdString(qv::taskState().task.DESCRIPTION.str()), this);
  QFont bold = task_->font();
  bold.setBold(true);
  task_->setFont(bold);
  step_ = new QLabel(this);
  results_ = new QListWidget(this);
  stop_ = new QPushButton(QStringLiteral("&Stop"), this);
  stop_->setToolTip(QStringLiteral("Stop the task: the step that runs ends, the rest is not run"));
  connect(stop_, &QPushButton::clicked, this, &TaskRunWindow::stop);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(stop_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(task_);
  layout->addWidget(step_);
  layout->addWidget(results_);
  layout->addLayout(buttons);
  setMinimumSize(460, 260);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &TaskRunWindow::tick);
  TmCreate(this, kTaskRunThread, QString());
  begin(taskId);
}

TaskRunWindow::~TaskRunWindow() {
  timer_->stop();
  if (import_) import_->close();
  import_.reset();
  // A window that goes before the end (the program closes) still ends the
  // task, stopped, so that the log and the task record say what happened.
  if (started_ && !finished_) {
    qv::stopTask();
    qv::finishTask(taskNow());
  }
}

void TaskRunWindow::begin(uint32_t taskId) {
  task_->setText(QString::fromStdString(qv::taskState().task.DESCRIPTION.str()));
  if (!qv::startTask(taskId)) {
    step_->setText(QStringLiteral("The task could not be started."));
    qv::NextTaskClear();
    qv::Mem.DoTask = qv::RunInteractive;
    postToFrame(qv::TaskEvEnded);
    finished_ = true;
    stop_->setText(QStringLiteral("&Close"));
    return;
  }
  started_ = true;
  timer_->start();
}

void TaskRunWindow::stop() {
  if (finished_) {
    close();
    return;
  }
  qv::stopTask();
  stop_->setEnabled(false);
  if (import_) import_->stop();
}

void TaskRunWindow::closeEvent(QCloseEvent* e) {
  if (finished_) {
    e->accept();
    return;
  }
  // Closing before the end stops the task; the window goes once it has ended.
  stop();
  e->ignore();
}

void TaskRunWindow::tick() {
  if (import_) {
    if (import_->step()) {
      step_->setText(QStringLiteral("Import: ") + QString::fromStdString(import_->view().status));
      return;
    }
    import_->close();
    int result = qv::taskImportResult(*import_);
    int64_t seconds = result == qv::ResultCompleted ? import_->elapsedSeconds() : 0;
    std::vector<uint32_t> touched = import_->touchedDatabases();
    import_.reset();
    stepEnded(importStep_, result, seconds, touched);
    return;
  }
  qv::TaskStep step = qv::nextTaskStep();
  if (step.kind == qv::TaskStepKind::Finished) {
    finish();
    return;
  }
  if (step.kind == qv::TaskStepKind::Import) {
    qv::ImportSettings s;
    if (qv::LoadImportDefinition(step.batch, s)) {
      step_->setText(QStringLiteral("Import: ") +
                     QString::fromStdString(qv::taskState().batch.DESCRIPTION.str()));
      importStep_ = step;
      import_ = std::make_unique<qv::ImportRun>(s);
      return;
    }
  }
  // A cleanup procedure (or a definition that cannot be read) runs whole.
  step_->setText(QString::fromStdString(qv::taskStepName(step)));
  int64_t seconds = 0;
  std::vector<uint32_t> touched;
  int result = qv::runTaskStep(step, seconds, touched);
  stepEnded(step, result, seconds, touched);
}

void TaskRunWindow::stepEnded(const qv::TaskStep& step, int result, int64_t seconds,
                              const std::vector<uint32_t>& touched) {
  QString what = step.kind == qv::TaskStepKind::Import
                     ? QString::fromStdString(qv::taskState().batch.DESCRIPTION.str())
                     : QString::fromStdString(qv::taskStepName(step));
  qv::reportTaskStep(result, seconds, touched);
  QString time = QString::fromStdString(qv::stepTimeText(result, seconds));
  results_->addItem(what + QLatin1Char(' ') + QString::fromStdString(qv::resultText(result)) +
                    (time.isEmpty() ? QString() : QLatin1Char(' ') + time));
}

void TaskRunWindow::finish() {
  timer_->stop();
  finished_ = true;
  outcome_ = qv::finishTask(taskNow());
  close();
}

void openTaskRun(uint32_t taskId) {
  // Every other window closes before the task starts.
  for (const QString& g : {kFindGroup, kImportGroup, kNotToolsGroup}) TmDestroyGroup(g);
  showProcedureWindow(new TaskRunWindow(taskId), SlotTaskRun, Geometry::PositionOnly);
}

}  // namespace qvm
