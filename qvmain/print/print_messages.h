// Printing a report of messages: the platform's print dialog on the program's
// printer (which also prints to a PDF file), then the report is made and
// painted slice by slice in the export's progress window, which shows the
// messages printed and withdraws the report on Abort.
#pragma once

#include <memory>

#include "export/print_msg.h"

class QPrinter;
class QWidget;

namespace qvm {

class CopyProgress;

// Asks for the printer with the print dialog (window-modal over parent),
// then prints the report in a progress window.
void printMessages(QWidget* parent, const qv::PrintRequest& request);
// Prints the report on a printer in a progress window (returned). A report
// that does not complete (aborted, or refused by the engine) is withdrawn:
// the print job is aborted and a file printed to is removed. A file the
// report may not be written to is refused with a message (nullptr).
CopyProgress* printReport(const qv::PrintRequest& request, std::shared_ptr<QPrinter> printer);

}  // namespace qvm
