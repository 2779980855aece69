// The printer shared by every window that prints, and its set-up dialog.
#pragma once

class QPrinter;
class QWidget;

namespace qvm {

QPrinter& sharedPrinter();
// File > Print Setup: the platform's page and printer set-up dialog.
void showPrintSetup(QWidget* parent);

}  // namespace qvm
