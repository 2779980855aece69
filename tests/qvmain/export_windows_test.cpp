// The export progress window, the desktop clipboard, and printing in the
// same progress window: a report printed to a PDF file, and one withdrawn on
// Abort.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "export/export_names.h"
#include "import/import_run.h"
#include "print/copy_progress.h"
#include "print/print_messages.h"
#include "services/databases.h"
#include "services/installation.h"
#include "support/gui_fixture.h"

using namespace qvtest;

namespace {

// Forum messages 800, 801 ... of one thread, imported into "Window Forum".
void importThread(const TestInstallation& inst, int count = 3) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "#: " + std::to_string(800 + i) + " S1/General\r\n    05-Mar-96 10:11\r\nSb: " +
            (i ? "#" + std::to_string(799 + i) + "-" : std::string()) + "Window topic\r\nFm: Ann Lee 11111,222\r\n" +
            "To: All\r\n\r\nText " + std::to_string(i) + ".\r\n\r\n";
  std::string path = inst.rootStd() + "/thread.msg";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  qv::ImportSettings s;
  s.format = "TAPCIS 6.x";
  s.method = qv::SelectFiles;
  s.path = inst.rootStd();
  s.masks = {"thread.msg"};
  s.importForum = true;
  s.forumName = "Window Forum";
  qv::ImportRun run(s);
  while (run.step()) {
  }
  run.close();
  QCOMPARE(run.result(), 1);
  QVERIFY(qv::findDatabase("Window Forum"));
  qv::useDatabase();
}

}  // namespace

class ExportWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void progressWindowExportsAndClipboardReceivesMessage() {
    TestInstallation inst;
    inst.open();
    importThread(inst);
    qv::CopyRequest r;
    r.scope = 4;
    r.messageId = 801;
    QPointer<qvm::CopyProgress> w = qvm::copyMessages(r);
    QVERIFY(w);
    QVERIFY(waitFor([&] { return w.isNull(); }));
    std::string saved = readFileText(qv::exportPath("SaveMsg.Txt"));
    QVERIFY(saved.find("#: 800") < saved.find("#: 802"));

    r.scope = 1;
    QVERIFY(qvm::copyMessages(r) == nullptr);
    QString clip = QGuiApplication::clipboard()->text();
    QVERIFY2(clip.contains(QStringLiteral("MsgNo: 801 (reply to 800)")), qPrintable(clip));
    QVERIFY(clip.contains(QStringLiteral("End Of Quote")));
  }

  void reportPrintsInTheProgressWindow() {
    TestInstallation inst;
    inst.open();
    importThread(inst);
    qv::PrintRequest r;
    r.scope = 2;
    r.messageId = 800;
    QString pdf = inst.root() + "/report.pdf";
    auto printer = std::make_shared<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    qvm::CopyProgress* w = qvm::printReport(r, printer);
    QVERIFY(w);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(w->windowTitle(), QStringLiteral("Printing .."));
    QVERIFY(w->isVisible());
    QVERIFY(waitFor([&] { return !w->isVisible(); }));  // it closes at the end
    QCOMPARE(w->writtenLabel()->text(), QStringLiteral("3"));
    QCOMPARE(w->skippedLabel()->text(), QStringLiteral("0"));
    QVERIFY(std::filesystem::file_size(pdf.toStdString()) > 0);
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    delete w;
  }

  void abortWithdrawsTheReport() {
    TestInstallation inst;
    inst.open();
    importThread(inst, 120);
    qv::PrintRequest r;
    r.scope = 6;  // the whole database, 50 messages a slice
    QString pdf = inst.root() + "/aborted.pdf";
    auto printer = std::make_shared<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    QPointer<qvm::CopyProgress> w = qvm::printReport(r, printer);
    // The slices as the timer runs them, without the event loop between.
    w->tick();
    w->tick();
    QCOMPARE(w->writtenLabel()->text(), QStringLiteral("50"));
    QVERIFY(QFile::exists(pdf));
    w->abortButton()->click();
    settle();
    QVERIFY(w.isNull());
    QVERIFY2(!QFile::exists(pdf), "an aborted report leaves no file");
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  // The report is never written over the archive's files.
  void reportRefusesTheArchivesFiles() {
    TestInstallation inst;
    inst.open();
    importThread(inst);
    qv::PrintRequest r;
    r.scope = 2;
    r.messageId = 800;
    std::string control = inst.rootStd() + "/CFG/IDX008.ADF";
    std::string before = readFileText(control);
    inst.prompts.reset();
    auto printer = std::make_shared<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(control));
    QVERIFY(qvm::printReport(r, printer) == nullptr);
    QCOMPARE(inst.prompts.count("Filename error"), 1);
    QVERIFY(readFileText(control) == before);
  }

 private:
  static std::string readFileText(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
    return out;
  }
};

QTEST_MAIN(ExportWindowsTest)
#include "export_windows_test.moc"
