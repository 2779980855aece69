#include <QCloseEvent>
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
#include "maintenance/merge_windows.h"
#include "services/globals.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kItThread = QStringLiteral("MergeIt");
const QString kMenyThread = QStringLiteral("MergeMeny");

}  // namespace

MergeIt::MergeIt(uint32_t source, uint32_t target, QWidget* parent)
    : QWidget(parent), run_(std::make_unique<qv::MergeRun>(source, target)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MERGEIT$BASEWINDOW"));
  setWindowTitle(QStringLiteral(" Merging Databases "));
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  from_ = new QLabel(this);
  to_ = new QLabel(this);
  QGridLayout* grid = counterGrid(this,
                                  {QStringLiteral("Messages in source:"), QStringLiteral("Messages converted:"),
                                   QStringLiteral("Messages merged:"), QStringLiteral("Messages skipped:"),
                                   QStringLiteral("Messages updated:"), QStringLiteral("Messages in target:")},
                                  counters_);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  status_ = new QLabel(this);
  status_->setMinimumWidth(420);
  stop_ = new QPushButton(QStringLiteral("&Stop"), this);
  stop_->setToolTip(QStringLiteral("Stop merging: what was merged is kept"));
  connect(stop_, &QPushButton::clicked, this, &MergeIt::stop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(from_);
  layout->addWidget(to_);
  layout->addLayout(grid);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(stop_);
  layout->addLayout(buttons);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &MergeIt::tick);
  TmCreate(this, kItThread, kImportGroup);
  QTimer::singleShot(0, this, &MergeIt::start);
}

MergeIt::~MergeIt() {
  timer_->stop();
  if (running_) run_->stop();
  postToThread(kMenyThread, EvToolsEnded);
}

void MergeIt::start() {
  if (started_) return;
  started_ = true;
  if (!run_->start()) {
    status_->setText(QString::fromStdString(run_->failure()));
    stop_->setText(QStringLiteral("&Close"));
    return;
  }
  running_ = !run_->finished();
  refresh();
  if (running_) timer_->start();
  else ended();
}

void MergeIt::tick() {
  bool more = run_->step();
  refresh();
  if (!more) ended();
}

void MergeIt::refresh() {
  const qv::MergeView& v = run_->view();
  from_->setText(QString::fromStdString(v.fromLabel + v.sourceName));
  to_->setText(QString::fromStdString(v.toLabel + v.targetName));
  status_->setText(QString::fromStdString(v.status));
  QLocale loc;
  int64_t values[] = {v.sourceRecords, v.converted, v.merged, v.skipped, v.updated, v.inTarget};
  for (int i = 0; i < counters_.size(); ++i) counters_[i]->setText(loc.toString(qlonglong(values[i])));
  progress_->setValue(int(v.progress));
}

void MergeIt::ended() {
  timer_->stop();
  running_ = false;
  refresh();
  stop_->setText(QStringLiteral("&Close"));
  stop_->setToolTip(QString());
  stop_->setDefault(true);
}

void MergeIt::stop() {
  if (!running_) {
    close();
    return;
  }
  // What was merged is committed with its counts; nothing is left wrong.
  run_->stop();
  ended();
}

void MergeIt::closeEvent(QCloseEvent* e) {
  if (running_) stop();
  QWidget::closeEvent(e);
}

}  // namespace qvm
