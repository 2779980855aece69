#include "maintenance/purge_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
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
#include "persons/person_windows.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/run_mode.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kForumThread = QStringLiteral("PurgeMess");
const QString kMailThread = QStringLiteral("PurgeMail");
// A timer tick works this long: a large purge takes minutes, and the window
// still answers at once.
constexpr auto kTickSlice = std::chrono::milliseconds(8);
// What the end of a run does (ItemImportCompletion).
enum Completion : int { CompletionClose = 0, CompletionTell = 1 };
// The ageing check box sets this many weeks when none were set.
constexpr int kDefaultAgeWeeks = 999;

struct Texts {
  QStringList labels;
  QStringList tips;
};

Texts counterTexts(int mode, int kind) {
  if (mode == qv::PurgePurging)
    return {{QStringLiteral("Number of messages in database:"), QStringLiteral("Number of deleted messages:"),
             QStringLiteral("Number of remaining messages:")},
            {QStringLiteral("Messages before purging"), QStringLiteral("Deleted during this session"),
             QStringLiteral("Messages after purging")}};
  if (kind == qv::KindMailDb)
    return {{QStringLiteral("Number of messages:"), QStringLiteral("Number of mailpartners:"),
             QStringLiteral("Number of persons:")},
            {QStringLiteral("Number of messages in database"), QStringLiteral("Number of mail partners in database"),
             QStringLiteral("Number of persons in database")}};
  return {{QStringLiteral("Number of messages:"), QStringLiteral("Number of threads:"),
           QStringLiteral("Number of Forum members:")},
          {QStringLiteral("Number of messages in database"), QStringLiteral("Number of threads in database"),
           QStringLiteral("Number of Forum members in database")}};
}

QString baseTitle(int mode) {
  bool scheduled = qv::unattended();
  if (mode == qv::PurgePurging)
    return scheduled ? QStringLiteral(" Scheduled Message Purging [") : QStringLiteral(" Message Purging [");
  return scheduled ? QStringLiteral(" Scheduled Message Counting [") : QStringLiteral(" Message Counting [");
}

void openPurgeWindow() {
  int mode = qv::GlobalRequest == 1 ? qv::PurgePurging : qv::PurgeCounting;
  qv::GlobalRequest = 0;
  showProcedureWindow(new PurgeWindow(mode), SlotPurge, Geometry::PositionOnly);
}

}  // namespace

PurgeWindow::PurgeWindow(int mode, QWidget* parent) : QWidget(parent), mode_(mode), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  setWindowTitle(baseTitle(mode_) + QString::fromStdString(qv::activeDescription()).trimmed() + QStringLiteral("]"));
  bool purging = mode_ == qv::PurgePurging;
  heading_ = new QLabel(purging ? QStringLiteral("Purge Deleted Forum Messages") : QStringLiteral("Message Counting"), this);
  QFont big = heading_->font();
  big.setBold(true);
  heading_->setFont(big);

  Texts texts = counterTexts(mode_, kind_);
  QGridLayout* counts = counterGrid(this, texts.labels, counters_);
  // The counters in the counters colour and font of the settings, as the browsers show theirs.
  applyCounterLook(counters_);
  for (int i = 0; i < counters_.size(); ++i) counters_[i]->setToolTip(texts.tips[i]);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addLayout(counts);
  if (purging && kind_ != qv::KindMailDb) {
    ageing_ = new QCheckBox(QStringLiteral("Purge threads older than .."), this);
    weeks_ = new QSpinBox(this);
    weeks_->setRange(0, 65535);
    weeks_->setEnabled(false);
    connect(ageing_, &QCheckBox::toggled, this, &PurgeWindow::ageingToggled);
    auto* age = new QHBoxLayout;
    age->addWidget(ageing_);
    age->addWidget(weeks_);
    age->addWidget(new QLabel(QStringLiteral("weeks"), this));
    age->addStretch();
    layout->addLayout(age);
  }
  step_ = new QLabel(this);
  step_->setMinimumWidth(360);
  progress_ = new QProgressBar(this);
  layout->addWidget(progress_);
  layout->addWidget(step_);

  start_ = new QPushButton(QStringLiteral("S&tart"), this);
  start_->setToolTip(purging ? QStringLiteral("Start the purging process") : QStringLiteral("Start the counting process"));
  start_->setDefault(true);
  abort_ = new QPushButton(QStringLiteral("Abort"), this);
  abort_->setToolTip(QStringLiteral("End this session"));
  connect(start_, &QPushButton::clicked, this, &PurgeWindow::start);
  connect(abort_, &QPushButton::clicked, this, &QWidget::close);
  layout->addStretch(1);  // a larger window grows empty space, not the counters
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Purging_Deleted_Messages")));
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(abort_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &PurgeWindow::tick);
  TmCreate(this, kind_ == qv::KindMailDb ? kMailThread : kForumThread, kNotToolsGroup);
  // Before the start the counters show the database as it is: purging, its
  // messages; counting, its messages, threads (partners) and persons.
  qv::PurgeRun probe(mode_);
  if (probe.start()) {
    QLocale loc;
    for (int i = 0; i < 3; ++i) counters_[i]->setText(loc.toString(qlonglong(probe.view().counters[i])));
    probe.abort();
  }
  // A scheduled run starts at once, without a button.
  if (qv::runMode() == qv::RunUnattended) QTimer::singleShot(0, this, &PurgeWindow::start);
}

PurgeWindow::~PurgeWindow() {
  timer_->stop();
  if (run_) run_->abort();  // what was done is committed
  run_.reset();
  endMaintenanceWindow(lastState_ == qv::PurgeState::Finished);
}

void PurgeWindow::ageingToggled(bool on) {
  if (on && weeks_->value() == 0) weeks_->setValue(kDefaultAgeWeeks);
  if (!on) weeks_->setValue(0);
  weeks_->setEnabled(on);
}

void PurgeWindow::start() {
  if (run_) return;
  start_->setEnabled(false);
  uint16_t weeks = ageing_ && ageing_->isChecked() ? uint16_t(weeks_->value()) : 0;
  auto run = std::make_unique<qv::PurgeRun>(mode_, weeks);
  if (run->markedForDeletion()) {
    bool mail = kind_ == qv::KindMailDb;
    std::string what = mail ? "MailBox" : "Forum";
    qv::Button b = qv::Message("Do you really want to delete all messages in this " + what + "? If you do, the entire " +
                                   what + " directory will be removed.",
                               " " + what + " marked for deletion!", qv::Icon::Question, qv::BtnOk | qv::BtnCancel,
                               qv::BtnCancel);
    if (b != qv::BtnOk) {
      abort_->setFocus();
      return;
    }
    run.reset();
    postToFrame(EvDeleteDatabase);
    close();
    return;
  }
  if (!run->start()) {
    qv::Message(run->view().failure, "Purging", qv::Icon::Exclamation);
    start_->setEnabled(true);
    return;
  }
  run_ = std::move(run);
  hold_.emplace();
  if (ageing_) {
    ageing_->setEnabled(false);
    weeks_->setEnabled(false);
  }
  if (kind_ == qv::KindMailDb)
    setWindowTitle(mode_ == qv::PurgePurging ? QStringLiteral(" Purging Messages .. Please Wait!")
                                             : QStringLiteral(" Counting Messages .. Please Wait!"));
  start_->hide();
  abort_->setDefault(true);
  refresh();
  timer_->start();
}

void PurgeWindow::tick() {
  bool more = run_->tick(kTickSlice);
  refresh();
  if (!more) finish();
}

void PurgeWindow::refresh() {
  if (!run_) return;
  const qv::PurgeView& v = run_->view();
  step_->setText(QString::fromStdString(v.label));
  progress_->setRange(0, int(std::clamp<int64_t>(v.total, 1, 1000000000)));
  progress_->setValue(int(std::clamp<int64_t>(v.done, 0, progress_->maximum())));
  QLocale loc;
  for (int i = 0; i < 3; ++i) counters_[i]->setText(loc.toString(qlonglong(v.counters[i])));
  // Mail: the duplicates are marked in one go, which Abort does not cut.
  abort_->setEnabled(!(kind_ == qv::KindMailDb && mode_ == qv::PurgePurging && run_->step() == 99));
}

void PurgeWindow::finish() {
  timer_->stop();
  lastState_ = run_->state();
  lastSeconds_ = run_->seconds();
  std::string failure = run_->view().failure;
  bool failureShown = run_->view().failureShown;
  run_.reset();
  hold_.reset();
  abort_->setEnabled(true);
  postToThread(browseThreadName(kind_), EvToolsEnded);
  postToThread(kBrowsePersonThread, EvToolsEnded);  // persons deleted, counts changed
  if (lastState_ == qv::PurgeState::Failed) {
    if (!failureShown) qv::Message(failure, "Purging", qv::Icon::Exclamation);
    close();
    return;
  }
  if (lastState_ != qv::PurgeState::Finished) {
    close();
    return;
  }
  // What the run did stays readable in the frame's status bar once the window has gone.
  noteInStatusBar(counterSummary(this, counters_, int64_t(lastSeconds_ + 0.5)));
  int completion = int(qv::KonfigGet(qv::ItemImportCompletion));
  if (completion == CompletionTell) {
    qv::Beep();
    if (!qv::unattended())
      qv::Message("The time for completion was: " + std::to_string(int64_t(lastSeconds_ + 0.5)) + " seconds",
                  mode_ == qv::PurgePurging ? " Obsolete Message Purging " : " Count Messages ");
    close();
  } else if (completion == CompletionClose) {
    close();
  }
}

void registerMaintenanceWindows() {
  registerProcedure(kForumThread, openPurgeWindow);
  registerProcedure(kMailThread, openPurgeWindow);
}

}  // namespace qvm
