#include "import/import_it.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "events.h"
#include "frame/counter_grid.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/import_run.h"
#include "import/skip_reasons.h"
#include "prompt/refresh_before_prompt.h"
#include "window_registry/window_registry.h"

namespace qvm {

ImportIt::ImportIt(const qv::ImportSettings& settings, QWidget* parent)
    : QWidget(parent), run_(std::make_unique<qv::ImportRun>(settings)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("IMPORT")));
  status_ = new QLabel(this);
  status_->setMinimumWidth(420);
  result_ = new QLabel(this);
  result_->hide();
  fromLabel_ = new QLabel(this);
  fromName_ = new QLabel(this);
  toLabel_ = new QLabel(this);
  toName_ = new QLabel(this);
  for (QLabel* l : {fromName_, toName_}) {
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(320);
  }
  progress_ = new QProgressBar(this);
  auto* grid = new QGridLayout;
  grid->addWidget(fromLabel_, 0, 0);
  grid->addWidget(fromName_, 0, 1);
  grid->addWidget(toLabel_, 1, 0);
  grid->addWidget(toName_, 1, 1);
  grid->setColumnStretch(1, 1);
  const QStringList names = {QStringLiteral("Messages imported:"), QStringLiteral("Messages skipped:"),
                             QStringLiteral("Records in temporary file:"), QStringLiteral("Messages in database:")};
  QGridLayout* counts = counterGrid(this, names, counters_);
  skipReasons_ = new QLabel(this);
  skipReasons_->setTextFormat(Qt::PlainText);
  skipReasons_->setWordWrap(true);
  skipReasons_->hide();
  stop_ = new QPushButton(QStringLiteral("&Stop"), this);
  stop_->setToolTip(QStringLiteral("Interrupt the import"));
  connect(stop_, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Import_processing")));
  buttons->addStretch();
  buttons->addWidget(stop_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(result_);
  layout->addLayout(grid);
  layout->addWidget(progress_);
  layout->addLayout(counts);
  layout->addWidget(skipReasons_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  run_->onClosed([this] { runClosed(); });
  TmCreate(this, QStringLiteral("ImportIt"), kImportGroup);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &ImportIt::tick);
  refresh();
  // The first tick starts the run once the window is up.
  timer_->start();
}

ImportIt::~ImportIt() {
  timer_->stop();
  run_->close();
}

void ImportIt::tick() {
  bool more = false;
  {
    // A message about a file shows over the window naming that file.
    RefreshBeforePrompt upToDate([this] { refresh(); });
    more = run_->step();
  }
  refresh();
  if (!more) timer_->stop();
  if (run_->closed()) close();
}

void ImportIt::refresh() {
  const qv::ImportView& v = run_->view();
  setWindowTitle(QString::fromStdString(v.caption));
  status_->setText(QString::fromStdString(v.status));
  fromLabel_->setText(QString::fromStdString(v.fromLabel));
  toLabel_->setText(QString::fromStdString(v.toLabel));
  fromName_->setText(QString::fromStdString(v.fileName));
  toName_->setText(QString::fromStdString(v.targetName));
  QLocale loc;
  const int64_t values[] = {v.imported, v.skipped, v.tempRecords, v.inDatabase};
  for (int i = 0; i < 4; ++i) {
    counters_[i]->setText(loc.toString(qlonglong(values[i])));
    counters_[i]->setEnabled(i == 2 || v.countersEnabled);
  }
  QStringList reasons;
  for (const std::string& line : qv::skipReasonLines(v.skippedFor)) reasons << QString::fromStdString(line);
  skipReasons_->setText(QStringLiteral("Skipped for: ") + reasons.join(QStringLiteral("; ")));
  skipReasons_->setVisible(!reasons.isEmpty());
  progress_->setRange(0, int(qMin<int64_t>(v.progressMax > 0 ? v.progressMax : 100, 1000000000)));
  progress_->setValue(int(qBound<int64_t>(0, v.progress, int64_t(progress_->maximum()))));
  // Once the run has ended, its result as the engine gives it, beside its status.
  const bool ended = run_->stage() == qv::ImportStage::Finished || run_->closed();
  result_->setText(run_->result() == 1 ? QStringLiteral("Result: completed") : QStringLiteral("Result: not completed"));
  result_->setVisible(ended);
  if (ended) stop_->setText(QStringLiteral("&Close"));
}

// The run has closed (finished, stopped or failed): the wizard hears of it.
void ImportIt::runClosed() {
  if (notified_) return;
  notified_ = true;
  // What the run did stays readable in the frame's status bar once the window has gone.
  refresh();
  noteInStatusBar(counterSummary(this, counters_, run_->elapsedSeconds()));
  postToThread(QStringLiteral("ImportMeny"), run_->result() == 1 ? EvImportFinished : EvImportClosed);
}

void ImportIt::closeEvent(QCloseEvent* e) {
  if (!run_->closed() && !(run_->stage() == qv::ImportStage::Finished)) {
    timer_->stop();
    if (!run_->stop()) {
      // The user chose to go on.
      timer_->start();
      e->ignore();
      return;
    }
  }
  timer_->stop();
  run_->close();
  runClosed();
  e->accept();
}

ImportIt* openImportIt(const qv::ImportSettings& settings) {
  auto* w = new ImportIt(settings);
  showProcedureWindow(w, SlotImportIt, Geometry::PositionOnly);
  return w;
}

}  // namespace qvm
