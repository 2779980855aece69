// The program's application object: where a halt in the library, thrown as
// qv::ProgramHalt from whatever an event started, ends the program.
#pragma once

#include <QApplication>

#include "services/prompt.h"

namespace qvm {

class QuorvaneApplication : public QApplication {
 public:
  QuorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  // Delivers the event; a halt it caused ends the program (endWithHalt).
  bool notify(QObject* receiver, QEvent* event) override;
};

// Ends the program after a halt: the installation is let go, the text is
// written to stderr and the program exits with qv::kHaltExitStatus.
[[noreturn]] void endWithHalt(const qv::ProgramHalt& halt);

}  // namespace qvm
