#include "tasks/task_run_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "events.h"
#include "frame/window_host.h"
#include "services/run_mode.h"
#include "tasks/task_dates.h"
#include "tasks/task_log.h"
#include "tasks/task_state.h"
#include "tasks/task_step_run.h"
#include "window_registry/window_registry.h"

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
  run_.reset();
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
    qv::setRunMode(qv::RunInteractive);
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
  if (run_) run_->stop();
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

namespace {
// A tick's share of the window's time: long enough for a step to move on,
// short enough for the window to answer at once.
constexpr std::chrono::milliseconds kTickSlice(100);
}  // namespace

void TaskRunWindow::tick() {
  if (run_) {
    bool more = run_->tick(kTickSlice);
    step_->setText(QString::fromStdString(run_->activity()));
    if (!more) stepEnded();
    return;
  }
  qv::TaskStep step = qv::nextTaskStep();
  if (step.kind == qv::TaskStepKind::Finished) {
    finish();
    return;
  }
  step_->setText(QString::fromStdString(qv::taskStepName(step)));
  runStep_ = step;
  run_ = std::make_unique<qv::TaskStepRun>(step);
}

void TaskRunWindow::stepEnded() {
  std::unique_ptr<qv::TaskStepRun> run = std::move(run_);
  QString what = runStep_.kind == qv::TaskStepKind::Import
                     ? QString::fromStdString(qv::taskState().batch.DESCRIPTION.str())
                     : QString::fromStdString(qv::taskStepName(runStep_));
  qv::reportTaskStep(run->result(), run->seconds(), run->touched());
  QString time = QString::fromStdString(qv::stepTimeText(run->result(), run->seconds()));
  results_->addItem(what + QLatin1Char(' ') + QString::fromStdString(qv::resultText(run->result())) +
                    (time.isEmpty() ? QString() : QLatin1Char(' ') + time));
}

namespace {
std::string logFailure;  // the report of a run whose log could not be written
}  // namespace

std::string takeTaskLogFailure() { return std::exchange(logFailure, std::string()); }

void TaskRunWindow::finish() {
  timer_->stop();
  finished_ = true;
  outcome_ = qv::finishTask(taskNow());
  // The frame hears of the end through a posted event, after this.
  if (!outcome_.logError.empty()) {
    logFailure = "The task log " + qv::taskLogPath() + " could not be written (" + outcome_.logError + ").\r\n" +
                 "The task has run; its report was:";
    for (const std::string& line : outcome_.logLines) logFailure += "\r\n" + line;
  }
  close();
}

namespace {
// How soon the task looks again for windows that are still closing.
constexpr int kCloseRetryMilliseconds = 250;
const QString kWindowGroups[] = {kFindGroup, kImportGroup, kNotToolsGroup};
}  // namespace

void openTaskRun(uint32_t taskId) {
  // Every other window closes before the task starts. A window that is in
  // the middle of a run it must not leave half done finishes it first and
  // closes then: the task waits for it, and meanwhile nothing else starts
  // (the task is due).
  bool open = false;
  for (const QString& g : kWindowGroups) {
    open = open || TmQuery(g);
    TmDestroyGroup(g);
  }
  if (open) {
    QTimer::singleShot(kCloseRetryMilliseconds, [taskId] { openTaskRun(taskId); });
    return;
  }
  showProcedureWindow(new TaskRunWindow(taskId), SlotTaskRun, Geometry::PositionOnly);
}

}  // namespace qvm
