#include "print/print_messages.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "export/export_names.h"
#include "frame/printer.h"
#include "report_painter.h"

namespace qvm {

int printReport(const qv::PrintRequest& request, QPrinter& printer) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  qv::PrintRun run(request);
  int result = qvprint::paintReport(run, printer);
  QApplication::restoreOverrideCursor();
  return result;
}

void printMessages(QWidget* parent, const qv::PrintRequest& request) {
  auto* dlg = new QPrintPreviewDialog(&sharedPrinter(), parent);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(QStringLiteral("Print Messages"));
  QObject::connect(dlg, &QPrintPreviewDialog::paintRequested, dlg,
                   [request](QPrinter* printer) { printReport(request, *printer); });
  dlg->open();
}

bool printMessagesToPdf(QWidget* parent, const qv::PrintRequest& request, QString file) {
  if (file.isEmpty())
    file = QFileDialog::getSaveFileName(parent, QStringLiteral("Print to PDF file"), QString(),
                                        QStringLiteral("PDF files (*.pdf)"));
  if (file.isEmpty() || !qv::checkOutputFile(file.toStdString())) return false;
  QPdfWriter writer(file);
  writer.setPageLayout(sharedPrinter().pageLayout());
  writer.setTitle(QStringLiteral("Quorvane report"));
  qv::PrintRun run(request);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int result = qvprint::paintReport(run, writer);
  QApplication::restoreOverrideCursor();
  return result == qv::PrintDone;
}

}  // namespace qvm
