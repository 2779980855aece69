// print: the report of a set of messages, written as a PDF file.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "message_options.h"

#ifdef QV_HAVE_PRINT
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <cstdlib>

#include "export/export_names.h"
#include "export/print_msg.h"
#include "report_painter.h"
#endif

namespace qvcli {

int cmdPrint(const Args& argsIn) {
#ifndef QV_HAVE_PRINT
  // Printing paints with Qt; qvcli-print does it, so that every other
  // command starts without loading Qt's libraries.
  (void)argsIn;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return fail("cannot find qvcli-print");
  self[n] = '\0';
  std::string dir(self);
  dir.erase(dir.rfind('/') + 1);
  std::string program = dir + "qvcli-print";
  if (access(program.c_str(), X_OK) != 0) return fail("this qvcli was built without printing (no " + program + ")");
  std::vector<std::string> args = programArguments();
  args[0] = program;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  execv(program.c_str(), argv.data());
  return fail("cannot start " + program + ": " + std::strerror(errno));
#else
  Args args = argsIn;
  std::string pdf;
  if (!takeOption(args, "--pdf", pdf) || pdf.empty()) return fail("print needs the PDF file to write: --pdf FILE");
  MessageOptions o;
  if (int rc = takeMessageOptions(args, o)) return rc;
  if (!qv::checkOutputFile(pdf)) return 1;

  // Qt paints the report; no window is ever shown.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "qvcli";
  static char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);

  QPdfWriter writer(QString::fromStdString(pdf));
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setTitle(QStringLiteral("Quorvane report"));
  qv::PrintRequest r;
  r.scope = o.rank;
  r.messageId = o.messageId;
  r.wordId = o.wordId;
  r.topicId = o.topicId;
  r.filter = o.range;
  qv::PrintRun run(r);
  int result = qvprint::paintReport(run, writer, [](const qv::PrintView& v) {
    sayError("%lld messages printed, %lld skipped\n", static_cast<long long>(v.printed),
             static_cast<long long>(v.skipped));
  });
  if (result != qv::PrintDone) {
    if (result == qv::PrintFailed && run.result() == qv::PrintDone) return fail("cannot write " + pdf);
    return 1;
  }
  say("%s\n", pdf.c_str());
  return 0;
#endif
}

}  // namespace qvcli
