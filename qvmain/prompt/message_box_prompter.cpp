#include "prompt/message_box_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <utility>
#include <vector>

namespace qvm {

QString messageText(const std::string& text, bool barIsBreak) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (barIsBreak) s.replace(QLatin1Char('|'), QLatin1Char('\n'));
  return s;
}

qv::Button MessageBoxPrompter::ask(const qv::PromptRequest& r) {
  static const std::vector<std::pair<qv::Button, QMessageBox::StandardButton>> buttons = {
      {qv::BtnOk, QMessageBox::Ok},         {qv::BtnYes, QMessageBox::Yes},
      {qv::BtnNo, QMessageBox::No},         {qv::BtnCancel, QMessageBox::Cancel},
      {qv::BtnAbort, QMessageBox::Abort},   {qv::BtnRetry, QMessageBox::Retry},
      {qv::BtnIgnore, QMessageBox::Ignore},
  };
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromStdString(r.caption).trimmed());
  box.setText(messageText(r.text));
  switch (r.icon) {
    case qv::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case qv::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case qv::Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case qv::Icon::Hand: box.setIcon(QMessageBox::Critical); break;
    case qv::Icon::None: break;
  }
  QMessageBox::StandardButtons shown;
  for (auto& [b, sb] : buttons)
    if (r.buttons & b) shown |= sb;
  if (!shown) shown = QMessageBox::Ok;
  box.setStandardButtons(shown);
  for (auto& [b, sb] : buttons)
    if (b == r.defaultButton && (shown & sb)) box.setDefaultButton(sb);
  int answer = box.exec();
  for (auto& [b, sb] : buttons)
    if (answer == sb) return b;
  // Closed without a button (Esc): the answer that skips or aborts.
  return qv::unattendedAnswer(r.buttons ? r.buttons : unsigned(qv::BtnOk));
}

void MessageBoxPrompter::beep() { QApplication::beep(); }

}  // namespace qvm
