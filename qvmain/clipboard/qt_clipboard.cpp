#include "clipboard/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace qvm {

void QtClipboard::setText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::string QtClipboard::text() { return QGuiApplication::clipboard()->text().toStdString(); }

void installClipboard() {
  static QtClipboard clipboard;
  if (qv::clipboard() == nullptr) qv::setClipboard(&clipboard);
}

}  // namespace qvm
