#include "tasks/show_log.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "events.h"
#include "frame/window_host.h"
#include "services/globals.h"
#include "tasks/task_log.h"
#include "window_registry/window_registry.h"

namespace qvm {

ShowLog::ShowLog(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Task Log"));
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  file_ = new QLabel(this);
  file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  refresh_ = new QPushButton(QStringLiteral("&Refresh"), this);
  refresh_->setToolTip(QStringLiteral("Read the log again"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(refresh_, &QPushButton::clicked, this, &ShowLog::reload);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(file_, 1);
  buttons->addWidget(refresh_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  TmCreate(this, kShowLogThread, kNotToolsGroup);
  reload();
}

void ShowLog::reload() {
  QString path = QString::fromStdString(qv::taskLogPath());
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    text_->clear();
    file_->setText(path + QStringLiteral(" (no task has written to the log yet)"));
    return;
  }
  QString content = QString::fromUtf8(f.readAll());
  content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text_->setPlainText(content);
  file_->setText(path);
  text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

bool ShowLog::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (ev && ev->number() == EvScheduledRunEnded) {
    reload();  // a task appended its report
    return true;
  }
  return QWidget::event(e);
}

void openShowLog() { showProcedureWindow(new ShowLog, SlotShowLog); }

}  // namespace qvm
