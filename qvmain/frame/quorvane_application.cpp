// The program's application object: a halt thrown while an event is handled
// ends the program here, after the installation is let go.
#include "frame/quorvane_application.h"

#include <cstdio>
#include <cstdlib>

#include "prompt/message_box_prompter.h"
#include "services/installation.h"

namespace qvm {

bool QuorvaneApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const qv::ProgramHalt& halt) {
    endWithHalt(halt);
  }
}

void endWithHalt(const qv::ProgramHalt& halt) {
  qv::closeInstallation();
  std::fprintf(stderr, "quorvane: %s\n", messageText(halt.text).toLocal8Bit().constData());
  std::exit(qv::kHaltExitStatus);
}

}  // namespace qvm
