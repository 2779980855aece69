#include "tasks/start_task.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "frame/window_host.h"
#include "services/prompt.h"
#include "services/run_mode.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "tasks/task_choices.h"
#include "tasks/task_clock.h"
#include "tasks/task_dates.h"
#include "tasks/task_run_window.h"
#include "tasks/task_schedule.h"
#include "tasks/task_state.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

constexpr int kCountDown = 6000;       // hundredths of a second: one minute
constexpr int kTickHundredths = 100;   // a second off per step
constexpr int kTickMilliseconds = 1000;

const QString kIntro = QStringLiteral(
    "It is time to start task processing! \r\nYou cannot do other work in Quorvane during task processing. If you do "
    "not want to run the task now, select an appropriate option and click on the OK button. \r\n\r\nOtherwise task "
    "processing will commence within a minute with the task below and all open windows will close.");

}  // namespace

StartTask::StartTask(QWidget* parent) : QWidget(parent), remaining_(kCountDown) {
  setAttribute(Qt::WA_DeleteOnClose);
  QString intro = kIntro;
  text_ = new QLabel(intro.replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
  text_->setWordWrap(true);
  task_ = new QLabel(QStringLiteral(" ") + QString::fromStdString(qv::taskState().task.DESCRIPTION.str()), this);
  QFont bold = task_->font();
  bold.setBold(true);
  task_->setFont(bold);
  options_ = new QButtonGroup(this);
  auto* runNow = new QRadioButton(QStringLiteral("Run the task now"), this);
  auto* postpone = new QRadioButton(QStringLiteral("Postpone all tasks for"), this);
  hours_ = new QSpinBox(this);
  hours_->setRange(1, 99);
  hours_->setValue(1);
  hours_->setSuffix(QStringLiteral(" hour(s)"));
  auto* skip = new QRadioButton(QStringLiteral("Skip this run of the task"), this);
  auto* deactivate = new QRadioButton(QStringLiteral("Deactivate this task"), this);
  auto* deactivateAll = new QRadioButton(QStringLiteral("Deactivate all tasks"), this);
  options_->addButton(runNow, StartRunNow);
  options_->addButton(postpone, StartPostpone);
  options_->addButton(skip, StartSkip);
  options_->addButton(deactivate, StartDeactivate);
  options_->addButton(deactivateAll, StartDeactivateAll);
  runNow->setChecked(true);
  connect(options_, &QButtonGroup::idClicked, this, &StartTask::retitle);
  connect(hours_, &QSpinBox::valueChanged, this, &StartTask::retitle);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  connect(ok_, &QPushButton::clicked, this, &StartTask::confirm);
  connect(cancel_, &QPushButton::clicked, this, &StartTask::cancel);

  auto* postponeRow = new QHBoxLayout;
  postponeRow->addWidget(postpone);
  postponeRow->addWidget(hours_);
  postponeRow->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(task_);
  layout->addWidget(runNow);
  layout->addLayout(postponeRow);
  layout->addWidget(skip);
  layout->addWidget(deactivate);
  layout->addWidget(deactivateAll);
  layout->addLayout(buttons);
  text_->setMinimumWidth(460);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMilliseconds);
  connect(timer_, &QTimer::timeout, this, &StartTask::tick);
  timer_->start();
  TmCreate(this, kStartTaskThread, QString());
  retitle();
}

StartTask::~StartTask() {
  // Closed without handing the task over: it is not run now.
  if (!handedOver_ && qv::runMode() == qv::RunTaskDue) {
    qv::NextTaskClear();
    qv::setRunMode(qv::RunInteractive);
  }
}

void StartTask::setTickInterval(int milliseconds) { timer_->setInterval(milliseconds); }

void StartTask::retitle() {
  if (startingUp_) {
    setWindowTitle(QStringLiteral(" Task processing starting up!"));
  } else if (options_->checkedId() == StartPostpone) {
    setWindowTitle(QStringLiteral(" Task processing postponed %1 hour(s)").arg(hours_->value()));
  } else {
    int seconds = (remaining_ + 99) / 100;
    setWindowTitle(QStringLiteral(" Task processing starts in %1 seconds").arg(seconds, 2, 10, QLatin1Char('0')));
  }
}

bool StartTask::anotherTaskBusy() const { return qv::NextTaskBusy(); }

void StartTask::tick() {
  if (startingUp_) {
    timer_->stop();
    startRun();
    return;
  }
  remaining_ = std::max(0, remaining_ - kTickHundredths);
  if (remaining_ > 0) {
    retitle();
    return;
  }
  if (options_->checkedId() == StartRunNow && !anotherTaskBusy()) {
    // The next step starts the task.
    startingUp_ = true;
    qv::setRunMode(qv::RunUnattended);
    retitle();
    return;
  }
  timer_->stop();
  if (options_->checkedId() != StartRunNow) applyOption();
  close();
}

void StartTask::confirm() {
  if (options_->checkedId() == StartRunNow) {
    if (anotherTaskBusy()) {
      qv::Message("Another Task is already active!", " Task Start Error ", qv::Icon::Exclamation);
      return;
    }
    timer_->stop();
    startRun();
    return;
  }
  timer_->stop();
  applyOption();
  close();
}

void StartTask::cancel() {
  timer_->stop();
  qv::clearPostponement();
  close();
}

// The chosen option other than running now.
void StartTask::applyOption() {
  qv::TaskClock now = taskNow();
  switch (options_->checkedId()) {
    case StartPostpone: qv::postponeTasks(hours_->value(), now); break;
    case StartSkip: qv::skipDueRun(qv::taskState().task.ID, now); break;
    case StartDeactivate: qv::deactivateTask(qv::taskState().task.ID); break;
    case StartDeactivateAll:
      qv::KonfigSet(qv::ItemNoTasks, 1);
      qv::Konfig(qv::KSave);
      break;
    default: break;
  }
}

void StartTask::startRun() {
  handedOver_ = true;
  uint32_t id = qv::taskState().task.ID;
  close();
  openTaskRun(id);
}

void openStartTask() {
  if (qv::runMode() != qv::RunTaskDue || qv::taskState().task.ID == 0) return;
  showProcedureWindow(new StartTask, SlotStartTask, Geometry::PositionOnly);
}

}  // namespace qvm
