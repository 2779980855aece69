#include "conv_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvconv {

namespace {

// "\r\n" in the system's texts is a line break.
QString shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

FILECONV::FILECONV(const Installation& inst, QWidget* parent) : QWidget(parent), inst_(inst) {
  setObjectName(QStringLiteral("FILECONV$BASEWINDOW"));
  setWindowTitle(QStringLiteral("Quorvane Upgrade to Version 3.60"));
  text_ = new QLabel(shown(windowText(inst)), this);
  text_->setWordWrap(true);
  text_->setMinimumWidth(480);
  status_ = new QLabel(QString::fromUtf8(kStatusPreparing), this);
  status_->setFrameShape(QFrame::Panel);
  status_->setFrameShadow(QFrame::Sunken);
  start_ = new QPushButton(tr("&Start"), this);
  exit_ = new QPushButton(tr("E&xit"), this);
  start_->setEnabled(offersStart(inst));
  start_->setVisible(offersStart(inst));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(exit_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  layout->addWidget(status_);
  connect(start_, &QPushButton::clicked, this, &FILECONV::startConversion);
  connect(exit_, &QPushButton::clicked, this, &QWidget::close);
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, &FILECONV::tick);
}

FILECONV::~FILECONV() = default;

void FILECONV::startConversion() {
  start_->setEnabled(false);
  exit_->setEnabled(false);
  run_ = std::make_unique<ConvRun>(inst_);
  run_->onStatus([this](const std::string& s) {
    status_->setText(shown(s));
    status_->repaint();
  });
  if (!run_->start()) {
    exit_->setEnabled(true);
    return;
  }
  timer_.start();
}

void FILECONV::tick() {
  if (run_->step()) return;
  timer_.stop();
  bool finished = run_->state() == ConvState::Finished;
  if (finished) {
    status_->setText(QString::fromUtf8(kStatusFinished));
    exit_->setEnabled(true);
  }
  Q_EMIT ended(finished);
  if (!finished) close();
}

qv::Button BoxPrompter::ask(const qv::PromptRequest& r) {
  QMessageBox box;
  box.setWindowTitle(QString::fromStdString(r.caption));
  box.setText(shown(r.text));
  box.setIcon(r.icon == qv::Icon::Hand          ? QMessageBox::Critical
              : r.icon == qv::Icon::Exclamation ? QMessageBox::Warning
              : r.icon == qv::Icon::Question    ? QMessageBox::Question
                                                : QMessageBox::Information);
  QPushButton* ok = (r.buttons & qv::BtnOk) ? box.addButton(QMessageBox::Ok) : nullptr;
  QPushButton* cancel = (r.buttons & qv::BtnCancel) ? box.addButton(QMessageBox::Cancel) : nullptr;
  if (!ok && !cancel) ok = box.addButton(QMessageBox::Ok);
  box.setDefaultButton(r.defaultButton == qv::BtnCancel && cancel ? cancel : ok);
  box.exec();
  return box.clickedButton() == cancel && cancel ? qv::BtnCancel : qv::BtnOk;
}

void BoxPrompter::beep() { QApplication::beep(); }

}  // namespace qvconv
