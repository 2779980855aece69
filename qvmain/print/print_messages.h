// Printing a report of messages: a print preview on the program's printer,
// from which the user prints (or prints to a file), and printing straight
// to a PDF file the user names.
#pragma once

#include <QString>

#include "export/print_msg.h"

class QPrinter;
class QWidget;

namespace qvm {

// Paints the report of the request on the printer; the engine's result.
int printReport(const qv::PrintRequest& request, QPrinter& printer);
// Opens the print preview of the report (modeless; deleted when closed).
void printMessages(QWidget* parent, const qv::PrintRequest& request);
// Writes the report to a PDF file: `file`, or one the user chooses when it
// is empty. True when the file was written.
bool printMessagesToPdf(QWidget* parent, const qv::PrintRequest& request, QString file = {});

}  // namespace qvm
