#include "print/copy_progress.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "clipboard/qt_clipboard.h"
#include "frame/window_host.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "setup/first_start.h"

namespace qvm {

CopyProgress::CopyProgress(const QString& title, const QString& doneText, ProgressJob job, QWidget* parent,
                           const QString& skippedText)
    : QWidget(parent), job_(std::move(job)) {
  setWindowTitle(title);
  setAttribute(Qt::WA_DeleteOnClose);
  written_ = new QLabel(QStringLiteral("0"), this);
  skipped_ = new QLabel(QStringLiteral("0"), this);
  abort_ = new QPushButton(QStringLiteral("&Abort"), this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(doneText, this), 0, 0);
  grid->addWidget(written_, 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel(skippedText, this), 1, 0);
  grid->addWidget(skipped_, 1, 1, Qt::AlignRight);
  place_ = new QLabel(this);
  place_->setTextFormat(Qt::PlainText);
  place_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  place_->setWordWrap(true);
  place_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(place_);
  layout->addWidget(abort_, 0, Qt::AlignRight);
  setMinimumWidth(260);
  connect(abort_, &QPushButton::clicked, this, &QWidget::close);
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &CopyProgress::tick);
  timer_->start();
}

CopyProgress::~CopyProgress() {
  timer_->stop();
  if (!ended_) {
    if (job_.cancel) job_.cancel();
    finish();
  }
}

void CopyProgress::tick() {
  if (ended_) return;
  if (job_.step()) return;
  timer_->stop();
  finish();
  const QString where = job_.where ? job_.where() : QString();
  if (!where.isEmpty()) {
    place_->setText(where);
    place_->show();
    noteInStatusBar(where);
  }
  if (qv::KonfigGet(qv::ItemImportCompletion) != kCompletionKeepOpen) {
    close();
    return;
  }
  abort_->setText(QStringLiteral("&Close"));
}

void CopyProgress::finish() {
  if (ended_) return;
  ended_ = true;
  if (job_.end) job_.end();
}

void CopyProgress::showProgress(const std::string& caption, int64_t done, int64_t skipped) {
  if (!caption.empty()) setWindowTitle(QString::fromStdString(caption));
  QLocale loc;
  written_->setText(loc.toString(qlonglong(done)));
  skipped_->setText(loc.toString(qlonglong(skipped)));
}

void CopyProgress::closeEvent(QCloseEvent* e) {
  timer_->stop();
  if (!ended_) {
    if (job_.cancel) job_.cancel();
    finish();
  }
  e->accept();
}

CopyProgress* copyMessages(const qv::CopyRequest& request) {
  installClipboard();
  if (request.scope == 1) {
    qv::CopyMsg(request);
    return nullptr;
  }
  auto run = std::make_shared<qv::CopyRun>(request);
  auto where = [run, dir = request.emlDir] {
    QStringList files;
    if (run->result() != qv::CopyDone) return QString();
    for (const std::string& p : {run->path1(), run->path2()})
      if (!p.empty()) files << QString::fromStdString(p);
    if (files.isEmpty() && !dir.empty()) files << QString::fromStdString(dir);
    return files.isEmpty() ? QString() : QStringLiteral("Written to ") + files.join(QStringLiteral(" and "));
  };
  auto* w = new CopyProgress(QStringLiteral("Exporting .."), QStringLiteral("messages written"),
                             {[run] { return run->step(); }, [run] { run->cancel(); }, {}, where});
  run->onProgress([w](const qv::CopyView& v) { w->showProgress(v.caption, v.written, v.skipped); });
  w->show();
  return w;
}

}  // namespace qvm
