#include "frame/printer.h"

#include <QPageSetupDialog>
#include <QPrinter>

namespace qvm {

QPrinter& sharedPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

void showPrintSetup(QWidget* parent) {
  auto* dlg = new QPageSetupDialog(&sharedPrinter(), parent);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(QStringLiteral("Print Setup"));
  dlg->open();
}

}  // namespace qvm
