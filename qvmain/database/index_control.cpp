#include "database/index_control.h"

#include <algorithm>
#include <optional>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "events.h"
#include "frame/counter_grid.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "services/menu_texts.h"
#include "services/prompt.h"
#include "services/run_mode.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/utilities.h"
#include "window_registry/window_registry.h"
#include "wordindex/bar_lines.h"
#include "wordindex/index_fixup.h"
#include "wordindex/index_status.h"

namespace qvm {

namespace {

const QString kIndexThread = QStringLiteral("AutoIndex");
// The stopwatch that times a run.
constexpr int kIndexStopwatch = 1;
enum StopwatchOp : int { StopwatchStart = 1, StopwatchStop = 2 };
enum IndexMode : int { IndexFull = 1, IndexPartial = 2 };
// A timer tick runs engine steps for about this long, so that the run is
// not held up by the event loop between steps of a few messages each and
// the window still answers at once.
constexpr qint64 kTickMilliseconds = 8;

QString kindTitle(int kind) {
  switch (kind) {
    case qv::KindMailDb: return QStringLiteral(" Indexing of Mail database [");
    case qv::KindNewsDb: return QStringLiteral(" Indexing of Newsgroup database [");
    default: return QStringLiteral(" Indexing of Forum database [");
  }
}

QString adviceText(int advice) {
  switch (advice) {
    case qv::AdviseFull: return QStringLiteral("Recommended action: full index");
    case qv::AdvisePartial: return QStringLiteral("Recommended action: partial index");
    default: return QStringLiteral("Recommended action: none, every message is indexed");
  }
}

// The recommendation as the Recount button tells it.
std::string adviceMessage(int advice) {
  switch (advice) {
    case qv::AdviseFull: return "A full index is recommended:|the word index is made again from every message.";
    case qv::AdvisePartial:
      return "A partial index is recommended:|the messages added since the last run are indexed|and the words "
             "marked for removal are moved to the stop list.";
    default: return "Nothing to do:|every message is indexed and no word is marked for removal.";
  }
}

}  // namespace

IndexControl::IndexControl(QWidget* parent)
    : QWidget(parent), database_(qv::activeDatabaseId()), tickBudget_(kTickMilliseconds) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  setWindowTitle(kindTitle(qv::activeKind()) + QString::fromStdString(qv::activeDescription()).trimmed() +
                 QStringLiteral("]"));
  unattended_ = qv::runMode() == qv::RunUnattended;
  const std::optional<qv::IndexState> stored = database_ != 0 ? qv::readIndexState(database_) : std::nullopt;
  readable_ = stored.has_value();
  if (readable_) state_ = *stored;

  explanation_ = new QLabel(QString::fromStdString(qv::GetMenuText(qv::kMenuIndexControl)), this);
  explanation_->setWordWrap(true);
  explanation_->setMinimumWidth(420);
  advice_ = new QLabel(this);
  full_ = new QRadioButton(QStringLiteral("&Full index: the word index is made again from every message"), this);
  partial_ = new QRadioButton(QStringLiteral("&Partial index: the messages added since the last run are indexed"), this);
  auto* choice = new QButtonGroup(this);
  choice->addButton(full_);
  choice->addButton(partial_);

  status_ = new QLabel(QStringLiteral("Choose the run and press Index."), this);
  status_->setMinimumWidth(420);
  progress_ = new QProgressBar(this);
  const QStringList names = {QStringLiteral("Messages indexed:"), QStringLiteral("Messages to index:"),
                             QStringLiteral("Words in this run:"), QStringLiteral("Index entries written:")};
  QGridLayout* counts = counterGrid(this, names, counters_);

  start_ = new QPushButton(QStringLiteral("&Index"), this);
  start_->setToolTip(QStringLiteral("Start the chosen indexing run"));
  start_->setDefault(true);
  start_->setEnabled(readable_);
  recount_ = new QPushButton(QStringLiteral("&Recount"), this);
  recount_->setToolTip(QStringLiteral("Count what is indexed and show the recommended action"));
  recount_->setEnabled(readable_);
  stop_ = new QPushButton(QStringLiteral("&Close"), this);
  connect(start_, &QPushButton::clicked, this, &IndexControl::start);
  connect(recount_, &QPushButton::clicked, this, &IndexControl::recount);
  connect(stop_, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Building_the_word_index")));
  buttons->addStretch();
  buttons->addWidget(recount_);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation_);
  layout->addSpacing(8);
  layout->addWidget(advice_);
  layout->addWidget(full_);
  layout->addWidget(partial_);
  layout->addSpacing(8);
  layout->addWidget(status_);
  layout->addWidget(progress_);
  layout->addLayout(counts);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &IndexControl::tick);
  TmCreate(this, kIndexThread, kNotToolsGroup);
  if (!readable_) {
    advice_->setText(adviceText(qv::AdviseNothing));
    partial_->setChecked(true);
    qv::Message(qv::barLines("Unable to read forum data!|Indexing not possible now."), "Disk Error", qv::Icon::Exclamation);
    // A scheduled task goes on with its next step.
    if (unattended_) QTimer::singleShot(0, this, [this] {
        lastResult_ = 2;
        Q_EMIT indexingEnded(2);
        close();
      });
    return;
  }
  runRecount();
  if (unattended_) QTimer::singleShot(0, this, &IndexControl::autoStart);
}

// Recounts and preselects the recommended run; a corrected resume point is
// written back to the database's record.
void IndexControl::runRecount() {
  qv::IndexState before = state_;
  advice_value_ = qv::WSIndexFixup(state_.lastMsgId, state_.recsLastTime);
  if (state_.lastMsgId != before.lastMsgId || state_.recsLastTime != before.recsLastTime)
    qv::storeIndexState(database_, state_);
  advice_->setText(adviceText(advice_value_));
  (advice_value_ == qv::AdviseFull ? full_ : partial_)->setChecked(true);
}

void IndexControl::recount() {
  if (run_ || !readable_) return;
  runRecount();
  qv::Message(qv::barLines(adviceMessage(advice_value_)), "Recommended Action", qv::Icon::Information);
}

// The first timer event of an unattended window: the recommended run, or
// nothing when there is nothing to do.
void IndexControl::autoStart() {
  if (run_) return;
  if (advice_value_ == qv::AdviseNothing) {
    lastResult_ = qv::AdviseNothing;
    Q_EMIT indexingEnded(qv::AdviseNothing);
    close();
    return;
  }
  start();
}

IndexControl::~IndexControl() {
  timer_->stop();
  if (run_) {
    // The window goes with the program: the run ends at its next safe point.
    run_->cancel();
    run_.reset();
  }
  postToFrame(EvReevaluate);
}

void IndexControl::start() {
  if (run_ || database_ == 0) return;
  stopAsked_ = false;
  int mode = full_->isChecked() ? IndexFull : IndexPartial;
  qv::StartStop(StopwatchStart, kIndexStopwatch);
  run_ = std::make_unique<qv::IndexRun>(mode, int(qv::KonfigGet(qv::ItemSpeedIndex)), database_, state_);
  for (QWidget* w : std::initializer_list<QWidget*>{full_, partial_, start_, recount_}) w->setEnabled(false);
  stop_->setText(QStringLiteral("&Stop"));
  stop_->setToolTip(QStringLiteral("Stop indexing; what was indexed so far is kept"));
  refresh();
  timer_->start();
}

void IndexControl::tick() {
  QElapsedTimer slice;
  slice.start();
  bool more;
  do more = run_->step();
  while (more && slice.elapsed() < tickBudget_);
  refresh();
  if (!more) ended();
}

void IndexControl::refresh() {
  if (!run_) return;
  const qv::IndexView& v = run_->view();
  status_->setText(QString::fromStdString(v.status));
  QLocale loc;
  const int64_t values[] = {v.indexed, v.pending, v.words, v.pairs};
  for (int i = 0; i < 4; ++i) counters_[i]->setText(loc.toString(qlonglong(values[i])));
  progress_->setRange(0, int(std::clamp<int64_t>(v.progressMax, 1, 1000000000)));
  progress_->setValue(int(qBound<int64_t>(0, v.progress, int64_t(progress_->maximum()))));
}

// The run has ended: its state goes into the database's record. A run that
// completed or that the user stopped closes the window; one that could not
// start (the user kept the index, or the settings could not be read) leaves
// it open for another choice.
void IndexControl::ended() {
  timer_->stop();
  lastResult_ = run_->result();
  state_ = run_->state();
  qv::storeIndexState(database_, state_);
  run_.reset();
  int64_t seconds = qv::StartStop(StopwatchStop, kIndexStopwatch);
  if (lastResult_ == 1)
    status_->setText(status_->text() + QStringLiteral(" (%1 seconds)").arg(qlonglong(seconds)));
  stop_->setText(QStringLiteral("&Close"));
  stop_->setToolTip(QString());
  for (QWidget* w : std::initializer_list<QWidget*>{full_, partial_, start_, recount_}) w->setEnabled(true);
  Q_EMIT indexingEnded(lastResult_);
  if (lastResult_ == 1 || stopAsked_ || unattended_) close();
}

void IndexControl::closeEvent(QCloseEvent* e) {
  if (run_) {
    // Stop: the engine writes what it holds and ends; the window closes then.
    stopAsked_ = true;
    run_->cancel();
    e->ignore();
    return;
  }
  e->accept();
}

void openIndexControl() { showProcedureWindow(new IndexControl, SlotIndexControl, Geometry::PositionOnly); }

}  // namespace qvm
