// quorvane: the program. Runs the start-up checks on the installation
// (--root DIR, or $QUORVANE_ROOT, or ~/Quorvane) and opens the frame.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "frame/icons.h"
#include "frame/installation_root.h"
#include "frame/main_frame.h"
#include "frame/procedures.h"
#include "frame/quorvane_application.h"
#include "prompt/message_box_prompter.h"
#include "services/fox_driver_host.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "services/startup.h"

namespace {

// The program's command line: --help, --version and --root DIR.
QCommandLineOption describeOptions(QCommandLineParser& args) {
  args.setApplicationDescription(QStringLiteral("Quorvane, the mail, forum and newsgroup message archiver"));
  args.addHelpOption();
  args.addVersionOption();
  QCommandLineOption rootOption(QStringLiteral("root"),
                                QStringLiteral("The installation's root directory (default: $QUORVANE_ROOT, else ~/Quorvane)."),
                                QStringLiteral("DIR"));
  args.addOption(rootOption);
  return rootOption;
}

// --help and --version are answered without a display: a terminal without
// one (a server, a script) still gets the usage.
void answerWithoutDisplay(int argc, char** argv) {
  bool asked = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v" || a == "--version") asked = true;
    if (a == "--root") ++i;  // its value is a directory, whatever it reads
  }
  if (!asked) return;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
  QCommandLineParser args;
  describeOptions(args);
  args.process(app);  // prints and exits
}

// The program after its command line: the start-up checks, then the frame
// until it closes.
int runProgram(const QString& root) {
  std::string error;
  int result = qv::StartupChecks(QDir(root).absolutePath().toStdString(), error);
  if (result == qv::StartupStop) {
    if (!error.empty())
      QMessageBox::critical(nullptr, QStringLiteral("Quorvane"), qvm::messageText(error));
    qv::closeInstallation();
    return 1;
  }
  auto* frame = new qvm::MainFrame(result);
  frame->show();
  int rc = QApplication::exec();
  delete frame;
  qv::closeInstallation();
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything the program writes is private to its user.
  ::umask(077);
  answerWithoutDisplay(argc, argv);
  qvm::QuorvaneApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  QApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QApplication::setWindowIcon(qvm::systemIcon(QStringLiteral("AASYSTEM")));

  QCommandLineParser args;
  QCommandLineOption rootOption = describeOptions(args);
  args.process(app);
  std::optional<QString> rootValue;
  if (args.isSet(rootOption)) rootValue = args.value(rootOption);
  const QString root = qvm::installationRoot(rootValue);

  static qvm::MessageBoxPrompter prompter;
  qv::setPrompter(&prompter);
  qv::registerFoxProDriver();
  qvm::registerAllWindows();
  try {
    return runProgram(root);
  } catch (const qv::ProgramHalt& halt) {
    qvm::endWithHalt(halt);
  }
}
