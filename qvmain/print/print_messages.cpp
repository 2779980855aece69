#include "print/print_messages.h"

#include <QFile>
#include <QPrintDialog>
#include <QPrinter>

#include "export/export_names.h"
#include "frame/printer.h"
#include "print/copy_progress.h"
#include "report_painter.h"
#include "services/prompt.h"

namespace qvm {

namespace {

// One report being printed: the engine, the printer and the painting.
struct PrintJob {
  PrintJob(const qv::PrintRequest& request, std::shared_ptr<QPrinter> p)
      : run(request), printer(std::move(p)), report(std::make_unique<qvprint::ReportJob>(run, *printer)) {}

  // Ends the painting; an incomplete report does not reach the printer.
  void end() {
    const int result = report->result();
    const bool begun = report->begun();
    if (result != qv::PrintDone && begun) printer->abort();
    report.reset();
    const QString file = printer->outputFileName();
    if (result != qv::PrintDone && begun && !file.isEmpty()) QFile::remove(file);
    // (A set the engine refused it has told of itself.)
    if (result == qv::PrintFailed && run.result() != qv::PrintFailed)
      qv::Message("The report could not be printed: the printer did not accept it.", "Print Messages",
                  qv::Icon::Exclamation);
  }

  qv::PrintRun run;
  std::shared_ptr<QPrinter> printer;
  std::unique_ptr<qvprint::ReportJob> report;
};

}  // namespace

CopyProgress* printReport(const qv::PrintRequest& request, std::shared_ptr<QPrinter> printer) {
  // A report printed to a file is checked as every file written on request
  // (never over the archive's own files).
  const QString file = printer->outputFileName();
  if (!file.isEmpty() && !qv::checkOutputFile(file.toStdString())) return nullptr;
  auto job = std::make_shared<PrintJob>(request, std::move(printer));
  auto* w = new CopyProgress(QStringLiteral("Printing .."), QStringLiteral("messages printed"),
                             {[job] { return job->report->step(); }, [job] { job->run.cancel(); },
                              [job] { job->end(); }, {}});
  job->run.onProgress([w](const qv::PrintView& v) { w->showProgress({}, v.printed, v.skipped); });
  w->show();
  return w;
}

void printMessages(QWidget* parent, const qv::PrintRequest& request) {
  auto* dlg = new QPrintDialog(&sharedPrinter(), parent);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->setWindowTitle(QStringLiteral("Print Messages"));
  QObject::connect(dlg, &QDialog::accepted, dlg, [request] {
    // The program's printer lives as long as the program.
    printReport(request, std::shared_ptr<QPrinter>(&sharedPrinter(), [](QPrinter*) {}));
  });
  dlg->open();
}

}  // namespace qvm
