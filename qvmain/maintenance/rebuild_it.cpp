#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "events.h"
#include "frame/icons.h"
#include "maintenance/rebuild_windows.h"
#include "services/globals.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kItThread = QStringLiteral("RebuildIt");

}  // namespace

RebuildIt::RebuildIt(int request, QWidget* parent) : QWidget(parent), run_(std::make_unique<qv::RebuildRun>(request)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(request == qv::RequestNextId ? QStringLiteral(" Checking for highest existing ID ")
                                              : QStringLiteral(" Rebuilding the database list "));
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  log_->setMinimumSize(560, 300);
  status_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  close_ = new QPushButton(QStringLiteral("Close"), this);
  close_->setEnabled(false);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(log_, 1);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &RebuildIt::tick);
  TmCreate(this, kItThread, kNotToolsGroup);
  // No task comes due while the list is rebuilt.
  hold_.emplace();
  QTimer::singleShot(0, this, &RebuildIt::start);
}

RebuildIt::~RebuildIt() {
  timer_->stop();
  // The database list may have changed under the active database.
  postToFrame(EvReevaluate);
}

void RebuildIt::start() {
  if (started_) return;
  started_ = true;
  running_ = true;
  bool ok = run_->start();
  showLog();
  if (!ok) {
    status_->setText(QString::fromStdString(run_->view().failure));
    ended();
    return;
  }
  timer_->start();
}

// The run has ended (finished or failed): tasks may come due again, and a
// close asked for meanwhile is carried out.
void RebuildIt::ended() {
  timer_->stop();
  running_ = false;
  hold_.reset();
  close_->setEnabled(true);
  close_->setDefault(true);
  if (closeAsked_) close();
}

void RebuildIt::closeEvent(QCloseEvent* e) {
  // A rebuild cut off mid-list leaves the list half done: it finishes first.
  if (running_ && started_) {
    closeAsked_ = true;
    e->ignore();
    return;
  }
  e->accept();
}

void RebuildIt::tick() {
  bool more = run_->step();
  showLog();
  const qv::RebuildView& v = run_->view();
  progress_->setRange(0, int(std::max<int64_t>(v.total, 1)));
  progress_->setValue(int(std::min<int64_t>(v.done, std::max<int64_t>(v.total, 1))));
  if (more) return;
  status_->setText(QString::fromStdString(run_->state() == qv::RebuildState::Finished ? v.status : v.failure));
  ended();
}

void RebuildIt::showLog() {
  const std::vector<std::string>& lines = run_->view().log;
  for (; shown_ < lines.size(); ++shown_) log_->appendPlainText(QString::fromStdString(lines[shown_]));
}

}  // namespace qvm
