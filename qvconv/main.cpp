// qvconv: brings an installation of an older version to version 3.60.
//   qvconv [--root DIR]                 the window
//   qvconv [--root DIR] --unattended    the same without a window
//   qvconv [--root DIR] --restore       back to the old installation from the saved copies
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "conv_install.h"
#include "conv_prompter.h"
#include "conv_run.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "services/terminal_text.h"

#ifdef QVCONV_WINDOW
#include <QApplication>

#include "conv_window.h"
#endif

namespace {

// A halt in the library ends the converter: the text is told on stderr and
// the program ends with the halt status.
[[noreturn]] void endWithHalt(const qv::ProgramHalt& halt) {
  std::fprintf(stderr, "qvconv: %s\n", qv::terminalText(qv::plainLines(halt.text)).c_str());
  std::exit(qv::kHaltExitStatus);
}

#ifdef QVCONV_WINDOW
// The converter's application object: a halt thrown while an event is
// handled ends the program.
class ConvApplication : public QApplication {
 public:
  ConvApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const qv::ProgramHalt& halt) {
      endWithHalt(halt);
    }
  }
};
#endif

const char* kUsage =
    "Usage: qvconv [--root DIR] [--unattended | --restore]\n"
    "\n"
    "Brings a Quorvane installation of an older version to version 3.60: the minor\n"
    "upgrade of the database list and file list (versions before 3.30 and 3.53 to\n"
    "3.59), or the full conversion of an installation that keeps its files in the\n"
    "program directory. DIR is the program directory (default: $QUORVANE_ROOT, else\n"
    "the current directory). Back up the installation before converting.\n"
    "\n"
    "Options:\n"
    "  --unattended  print what the window would show and convert without asking:\n"
    "                where the window asks, its default is taken (OK, but Cancel\n"
    "                where OK would leave a database out). Exits 0 when converted or\n"
    "                when nothing needs converting, 1 when the conversion failed\n"
    "                or another program works on the installation, 2 when DIR\n"
    "                holds no installation\n"
    "  --restore     after a failed or interrupted full conversion: put the saved\n"
    "                copies SAV002.ADF, SAV008.ADF and SAV016.ADF back and give the\n"
    "                old database files kept as IDX125..IDX128.ADF their names back\n"
    "                (a conversion run on an interrupted one does this first itself)\n"
    "  --help        show this text\n";

void print(const std::string& text) {
  std::printf("%s\n", qv::terminalText(qv::plainLines(text)).c_str());
  std::fflush(stdout);
}

int unattended(const qvconv::Installation& inst) {
  static qvconv::UnattendedPrompter prompter;
  qv::setPrompter(&prompter);
  print(qvconv::windowText(inst));
  if (inst.situation == qvconv::Situation::NoInstallation) return 2;
  if (!qvconv::offersStart(inst)) return 0;
  qvconv::ConvRun run(inst);
  print(run.status());
  run.onStatus([](const std::string& s) { print(s); });
  run.start();
  return qvconv::runToEnd(run) == qvconv::ConvState::Finished ? 0 : 1;
}

// The program after its command line.
int runProgram(int argc, char** argv) {
  std::string root;
  if (const char* env = std::getenv("QUORVANE_ROOT")) root = env;
  bool batch = false, restore = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--unattended") {
      batch = true;
    } else if (a == "--restore") {
      restore = true;
    } else {
      std::fprintf(stderr, "qvconv: unknown argument %s\n\n%s", qv::terminalText(a).c_str(), kUsage);
      return 64;
    }
  }
  // Everything the converter writes is for its user only.
  ::umask(077);
  // One program at a time works on an installation: a converter that is to
  // write (a conversion offered, or --restore) holds it from here to its
  // end, so that the program is not started on files that are half
  // converted, nor a second conversion begun.
  std::string busy;
  auto hold = [&] {
    if (qv::holdInstallation(root, busy)) return true;
    std::fprintf(stderr, "qvconv: %s\n", qv::terminalText(qv::plainLines(busy)).c_str());
    return false;
  };
  if (restore) {
    if (!hold()) return 1;
    std::string error;
    bool ok = qvconv::restoreSaved(root, [](const std::string& line) { print(line); }, error);
    if (!ok) print(error);
    return ok ? 0 : 1;
  }
  qvconv::Installation inst = qvconv::inspect(root);
  bool held = !qvconv::offersStart(inst) || hold();
  if (batch) return held ? unattended(inst) : 1;
#ifdef QVCONV_WINDOW
  ConvApplication app(argc, argv);
  static qvconv::BoxPrompter prompter;
  qv::setPrompter(&prompter);
  if (!held) {
    qv::Message(busy, "Quorvane Conversion", qv::Icon::Hand);
    return 1;
  }
  qvconv::FILECONV window(inst);
  int result = 0;
  QObject::connect(&window, &qvconv::FILECONV::ended, [&](bool finished) { result = finished ? 0 : 1; });
  window.show();
  app.exec();
  return result;
#else
  return held ? unattended(inst) : 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return runProgram(argc, argv);
  } catch (const qv::ProgramHalt& halt) {
    endWithHalt(halt);
  }
}
