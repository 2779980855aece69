#include "maintenance/duplicates_window.h"

#include <algorithm>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "browse/browse_kinds.h"
#include "events.h"
#include "frame/counter_grid.h"
#include "frame/icons.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "maintenance/step_window_end.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/run_mode.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/utilities.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kForumThread = QStringLiteral("Duplicates");
const QString kMailThread = QStringLiteral("DupMail");
// Stopwatch slots of the two procedures.
constexpr int kForumClock = 6;
constexpr int kMailClock = 9;
// A timer tick works this long.
constexpr auto kTickSlice = std::chrono::milliseconds(8);
// What the end of a run does (ItemImportCompletion).
enum Completion : int { CompletionClose = 0, CompletionTell = 1 };

struct KindTexts {
  QString heading;
  QString help;
  QStringList labels;
};

KindTexts textsOf(int kind) {
  switch (kind) {
    case qv::KindMailDb:
      return {QStringLiteral("Merge Duplicate Mail Partners"), QStringLiteral("~Mail_Partners"),
              {QStringLiteral("Existing Mail Partners in database:"), QStringLiteral("Obsolete Mail Partners removed:"),
               QStringLiteral("Duplicate Mail Partners merged:"), QStringLiteral("Remaining Mail Partners")}};
    case qv::KindNewsDb:
      return {QStringLiteral("Merge Duplicate Newsgroup Participants"), QStringLiteral("~Newsgroup_Participants"),
              {QStringLiteral("Existing Newsgroup Participants in database:"),
               QStringLiteral("Obsolete Newsgroup Participants removed:"),
               QStringLiteral("Duplicate Newsgroup Participants merged:"),
               QStringLiteral("Remaining Newsgroup Participants:")}};
    default:
      return {QStringLiteral("Merge Duplicate Forum Members"), QStringLiteral("~Forum_Members"),
              {QStringLiteral("Existing Forum Members in database:"), QStringLiteral("Obsolete Forum Members removed:"),
               QStringLiteral("Duplicate Forum Members merged:"), QStringLiteral("Remaining Forum Members")}};
  }
}

const QStringList kTips = {QStringLiteral("Number of Forum members before duplicate elimination"),
                           QStringLiteral("Number of Forum members without related messages"),
                           QStringLiteral("Number of duplicate Forum members"),
                           QStringLiteral("Number of remaining Forum members")};

void openDuplicatesWindow() { showProcedureWindow(new DuplicatesWindow, SlotDuplicates, Geometry::PositionOnly); }

}  // namespace

DuplicatesWindow::DuplicatesWindow(QWidget* parent) : QWidget(parent), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  QString base = qv::unattended() ? QStringLiteral(" Scheduled Duplicate Merging [") : QStringLiteral(" Duplicate Merging [");
  setWindowTitle(base + QString::fromStdString(qv::activeDescription()).trimmed() + QStringLiteral("]"));
  KindTexts texts = textsOf(kind_);
  helpTopic_ = texts.help;
  heading_ = new QLabel(texts.heading, this);
  QFont big = heading_->font();
  big.setBold(true);
  heading_->setFont(big);

  QGridLayout* counts = counterGrid(this, texts.labels, counters_);
  applyCounterLook(counters_);
  for (int i = 0; i < counters_.size(); ++i) counters_[i]->setToolTip(kTips[i]);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addLayout(counts);
  progress_ = new QProgressBar(this);
  step_ = new QLabel(this);
  step_->setMinimumWidth(360);
  layout->addWidget(progress_);
  layout->addWidget(step_);

  start_ = new QPushButton(QStringLiteral("S&tart"), this);
  start_->setToolTip(QStringLiteral("Start the duplicate elimination process"));
  start_->setDefault(true);
  abort_ = new QPushButton(QStringLiteral("Abort"), this);
  abort_->setToolTip(QStringLiteral("End this session"));
  connect(start_, &QPushButton::clicked, this, &DuplicatesWindow::start);
  connect(abort_, &QPushButton::clicked, this, &DuplicatesWindow::requestAbort);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, helpTopic_));
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(abort_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &DuplicatesWindow::tick);
  TmCreate(this, kind_ == qv::KindMailDb ? kMailThread : kForumThread, kNotToolsGroup);
  // A scheduled run starts at once, without a button.
  if (qv::runMode() == qv::RunUnattended) QTimer::singleShot(0, this, &DuplicatesWindow::start);
}

DuplicatesWindow::~DuplicatesWindow() {
  timer_->stop();
  if (run_) run_->abort();  // what was done is committed
  run_.reset();
  endMaintenanceWindow(lastState_ == qv::PurgeState::Finished);
}

void DuplicatesWindow::start() {
  if (run_) return;
  start_->setEnabled(false);
  auto run = std::make_unique<qv::DupRun>();
  if (!run->start()) {
    if (!run->view().failureShown) qv::Message(run->view().failure, "Duplicate Elimination", qv::Icon::Exclamation);
    close();
    return;
  }
  qv::StartStop(1, kind_ == qv::KindMailDb ? kMailClock : kForumClock);
  run_ = std::move(run);
  hold_.emplace();
  start_->hide();
  abort_->setDefault(true);
  refresh();
  timer_->start();
}

void DuplicatesWindow::requestAbort() {
  if (run_ && run_->changing()) {
    // The question is modal: no tick runs while it is asked.
    timer_->stop();
    qv::Button b = qv::Message(
        "Stopping at this stage will cause message counts \r\nper section, thread and person to be incorrect.\r\n"
        "If you do quit, please run the Count Messages process to correct the numbers! Are you sure you want to quit?",
        "Duplicate Forum Member elimination interrupted", qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo);
    if (b != qv::BtnYes) {
      if (run_) timer_->start();
      return;
    }
  }
  close();
}

void DuplicatesWindow::tick() {
  if (!run_) return;
  bool more = run_->tick(kTickSlice);
  refresh();
  if (!more) finish();
}

void DuplicatesWindow::refresh() {
  if (!run_) return;
  const qv::DupView& v = run_->view();
  step_->setText(QString::fromStdString(v.label));
  progress_->setRange(0, int(std::clamp<int64_t>(v.total, 1, 1000000000)));
  progress_->setValue(int(std::clamp<int64_t>(v.done, 0, progress_->maximum())));
  QLocale loc;
  for (int i = 0; i < 4; ++i) counters_[i]->setText(loc.toString(qlonglong(v.counters[i])));
}

void DuplicatesWindow::finish() {
  timer_->stop();
  lastState_ = run_->state();
  std::string failure = run_->view().failure;
  bool failureShown = run_->view().failureShown;
  run_.reset();
  hold_.reset();
  int64_t seconds = qv::StartStop(2, kind_ == qv::KindMailDb ? kMailClock : kForumClock);
  postToThread(browseThreadName(kind_), EvToolsEnded);
  if (lastState_ == qv::PurgeState::Failed) {
    if (!failureShown) qv::Message(failure, "Duplicate Elimination", qv::Icon::Exclamation);
    close();
    return;
  }
  if (lastState_ != qv::PurgeState::Finished) {
    close();
    return;
  }
  step_->setText(QStringLiteral("The Duplicate Removal Process has finished!"));
  progress_->setValue(progress_->maximum());
  // What the run did stays readable in the frame's status bar once the window has gone.
  noteInStatusBar(counterSummary(this, counters_, seconds));
  int completion = int(qv::KonfigGet(qv::ItemImportCompletion));
  if (completion == CompletionTell) {
    qv::Beep();
    if (!qv::unattended())
      qv::Message("The time for completion was: " + std::to_string(seconds) + " seconds", " Duplicate Elimination ");
    close();
  } else if (completion == CompletionClose) {
    close();
  }
}

void registerDuplicatesWindows() {
  registerProcedure(kForumThread, openDuplicatesWindow);
  registerProcedure(kMailThread, openDuplicatesWindow);
}

}  // namespace qvm
