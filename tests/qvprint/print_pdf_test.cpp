// A printed thread written to PDF holds every message's header and text in
// order, read back from the PDF by pdftotext.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPdfWriter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "export/print_msg.h"
#include "import/import_run.h"
#include "report_painter.h"
#include "services/databases.h"
#include "services/installation.h"
#include "support/services_fixture.h"

using namespace qv;

namespace {

std::string pdfText(const std::string& pdf) {
  std::string out;
  FILE* p = popen(("pdftotext -layout '" + pdf + "' - 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

class PrintPdfTest : public qvtest::InstallationTest {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "print_pdf_test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
  }
};

TEST_F(PrintPdfTest, ThreadOfThreeMessagesInOrder) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
  std::string long_line;
  for (int i = 0; i < 40; ++i) long_line += "word" + std::to_string(i) + " ";
  std::string text = "#: 700 S2/Printing\r\n    05-Mar-96 10:11\r\nSb: Paper jams\r\nFm: Ann Lee 11111,222\r\n"
                     "To: All\r\n\r\nAlpha text.\r\n\r\n"
                     "#: 701 S2/Printing\r\n    06-Mar-96 10:11\r\nSb: #700-Paper jams\r\nFm: Bob Ray 33333,444\r\n"
                     "To: Ann Lee 11111,222\r\n\r\nBravo text.\r\n" + long_line + "\r\n\r\n"
                     "#: 702 S2/Printing\r\n    07-Mar-96 10:11\r\nSb: #701-Paper jams\r\nFm: Cid Moe 55555,666\r\n"
                     "To: Bob Ray 33333,444\r\n\r\nCharlie text.\r\n";
  qvtest::writeFile(dir.file("t.msg"), text);
  ImportSettings s;
  s.format = "TAPCIS 6.x";
  s.method = SelectFiles;
  s.path = dir.path();
  s.masks = {"t.msg"};
  s.importForum = true;
  s.forumName = "Print Forum";
  ImportRun imp(s);
  while (imp.step()) {
  }
  imp.close();
  ASSERT_EQ(imp.result(), 1) << prompts.transcript();
  ASSERT_TRUE(findDatabase("Print Forum"));
  useDatabase();

  std::string pdf = dir.file("thread.pdf");
  {
    QPdfWriter writer(QString::fromStdString(pdf));
    PrintRequest r;
    r.scope = 2;
    r.messageId = 701;
    PrintRun run(r);
    ASSERT_EQ(qvprint::paintReport(run, writer), PrintDone) << prompts.transcript();
  }
  std::string got = pdfText(pdf);
  size_t at = 0;
  for (const char* piece :
       {"Messages from the Quorvane Message Archiver Database", "Message: 700", "Subject: Paper jams",
        "Section: Printing", "From: Lee,Ann 11111,222", "To: All", "Alpha text.", "Message: 701", "(reply to 700)",
        "From: Ray,Bob 33333,444", "To: Lee,Ann 11111,222", "Bravo text.", "word0", "word39",
        "Message: 702", "(reply to 701)", "From: Moe,Cid 55555,666", "Charlie text."}) {
    size_t p = got.find(piece, at);
    ASSERT_NE(p, std::string::npos) << "\"" << piece << "\" missing after position " << at << " in:\n" << got;
    at = p;
  }
}

}  // namespace
