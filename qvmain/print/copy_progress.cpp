#include "print/copy_progress.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "clipboard/qt_clipboard.h"

namespace qvm {

CopyProgress::CopyProgress(const qv::CopyRequest& request, QWidget* parent)
    : QWidget(parent), run_(std::make_unique<qv::CopyRun>(request)) {
  setWindowTitle(QStringLiteral("Exporting .."));
  setAttribute(Qt::WA_DeleteOnClose);
  written_ = new QLabel(QStringLiteral("0"), this);
  skipped_ = new QLabel(QStringLiteral("0"), this);
  abort_ = new QPushButton(QStringLiteral("&Abort"), this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("messages written"), this), 0, 0);
  grid->addWidget(written_, 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel(QStringLiteral("messages skipped"), this), 1, 0);
  grid->addWidget(skipped_, 1, 1, Qt::AlignRight);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(abort_, 0, Qt::AlignRight);
  connect(abort_, &QPushButton::clicked, this, &QWidget::close);
  run_->onProgress([this](const qv::CopyView& v) { refresh(v); });
  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &CopyProgress::tick);
  timer_->start();
}

CopyProgress::~CopyProgress() { timer_->stop(); }

void CopyProgress::tick() {
  if (!run_->step()) {
    timer_->stop();
    close();
  }
}

void CopyProgress::refresh(const qv::CopyView& v) {
  if (!v.caption.empty()) setWindowTitle(QString::fromStdString(v.caption));
  QLocale loc;
  written_->setText(loc.toString(qlonglong(v.written)));
  skipped_->setText(loc.toString(qlonglong(v.skipped)));
}

void CopyProgress::closeEvent(QCloseEvent* e) {
  timer_->stop();
  run_->cancel();
  e->accept();
}

CopyProgress* copyMessages(const qv::CopyRequest& request) {
  installClipboard();
  if (request.scope == 1) {
    qv::CopyMsg(request);
    return nullptr;
  }
  auto* w = new CopyProgress(request);
  w->show();
  return w;
}

}  // namespace qvm
