// print: the report of a set of messages, written as a PDF file.
#include <cstdio>

#include "commands.h"
#include "message_options.h"

#ifdef QV_HAVE_PRINT
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <cstdlib>

#include "export/print_msg.h"
#include "report_painter.h"
#endif

namespace qvcli {

int cmdPrint(const Args& argsIn) {
#ifndef QV_HAVE_PRINT
  (void)argsIn;
  return fail("this qvcli was built without printing");
#else
  Args args = argsIn;
  std::string pdf;
  if (!takeOption(args, "--pdf", pdf) || pdf.empty()) return fail("print needs the PDF file to write: --pdf FILE");
  MessageOptions o;
  if (int rc = takeMessageOptions(args, o)) return rc;

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
    std::fprintf(stderr, "%lld messages printed, %lld skipped\n", static_cast<long long>(v.printed),
                 static_cast<long long>(v.skipped));
  });
  if (result != qv::PrintDone) {
    if (result == qv::PrintFailed && run.result() == qv::PrintDone) return fail("cannot write " + pdf);
    return 1;
  }
  std::printf("%s\n", pdf.c_str());
  return 0;
#endif
}

}  // namespace qvcli
