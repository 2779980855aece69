// "Save attachment as..." of the mail browser's reading pane: the button's
// menu and the reader's context menu offer the message's attachment lines;
// the part is saved from the original under the name picked, privately,
// never over an existing file; a message without its original is told so.
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "browse/attachment_saver.h"
#include "browse/message_pane.h"
#include "browse_data.h"
#include "dictionary/file_numbers.h"
#include "originals/original_packing.h"
#include "originals/originals_store.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/record_helpers.h"
#include "support/gui_fixture.h"

using namespace qvtest;

namespace {

const std::string kPdf = std::string("%PDF-1.4\n\x00\x01\x02\xff binary", 20);

// A mail with a PDF attachment, as its sender wrote it.
const std::string kOriginal =
    "From: Fay Brown <fay@example.org>\r\nTo: owner@example.org\r\nSubject: Report\r\n"
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nThe report.\r\n"
    "--b\r\nContent-Type: application/pdf; name=\"../report.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "JVBERi0xLjQKAAEC/yBiaW5hcnk=\r\n--b--\r\n";
const std::string kLine = "[Attachment: ../report.pdf, application/pdf, 20 bytes]";

bool keepOriginal(uint32_t id, const std::string& bytes) {
  qv::OP_CLOSE(qv::OpShared, {qv::FileOriginals});
  bool ok = qv::beginTransaction({&qv::Originals}, 5) && qv::writeOriginal(id, qv::packOriginal(bytes), qv::ReportQuiet) &&
            qv::commitTransaction();
  if (qv::transactionActive()) qv::rollbackTransaction();
  qv::OP_CLOSE(qv::OpRelease, {qv::FileOriginals});
  return ok;
}

// Mail 700 has its original, mail 701 (the same text) has none.
void sampleMailbox() {
  makeBrowseDatabase(qv::KindMailDb, "Owen Test");
  uint32_t owner = qv::Mem.PersonID;
  addPerson(21, "Fay", "Brown", 2, 0);
  int32_t day = qv::dateFromYMD(2004, 3, 1);
  std::string text = "The report.\r\n\r\n" + kLine + "\r\n";
  addMail(700, owner, 21, false, day, 100, "Report", text);
  addMail(701, owner, 21, false, day + 1, 100, "Report again", text);
  QVERIFY(keepOriginal(700, kOriginal));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The file dialog's answer for one test, the dialog back afterwards.
struct ChosenFile {
  explicit ChosenFile(std::function<QString(QWidget*, const QString&)> f) : saved(qvm::AttachmentSaver::chooseFile) {
    qvm::AttachmentSaver::chooseFile = std::move(f);
  }
  ~ChosenFile() { qvm::AttachmentSaver::chooseFile = saved; }
  std::function<QString(QWidget*, const QString&)> saved;
};

// The point of the reader's viewport on the first attachment line shown.
QPoint pointOnAttachmentLine(QPlainTextEdit* reader) {
  for (QTextBlock b = reader->document()->begin(); b.isValid(); b = b.next())
    if (b.text().startsWith(QStringLiteral("[Attachment:"))) {
      QTextCursor c(b);
      c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
      return reader->cursorRect(c).center();
    }
  return {};
}

}  // namespace

class AttachmentSaveTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void savesThePartOfTheLineNeverOverAFile() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openBrowser(qv::KindMailDb, 900);
    QVERIFY(w);
    QVERIFY(w->showMessage(700));
    qvm::AttachmentSaver* saver = w->attachmentSaver();
    QVERIFY(saver->button()->isEnabled());
    QCOMPARE(saver->button()->text(), QStringLiteral("Save attachment as..."));
    QCOMPARE(saver->button()->menu()->actions().size(), 1);
    QCOMPARE(saver->button()->menu()->actions().front()->text(), QString::fromStdString(kLine));

    QString dir = inst.root() + QStringLiteral("/saved");
    QString suggested;
    ChosenFile chosen([&](QWidget*, const QString& s) {
      suggested = s;
      return dir + QStringLiteral("/report.pdf");
    });
    QVERIFY(saver->save(0));
    // The name offered is the part's own, without its path.
    QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("report.pdf"));
    std::string saved = (dir + QStringLiteral("/report.pdf")).toStdString();
    QCOMPARE(readFile(saved), kPdf);
    struct stat st{};
    QCOMPARE(::stat(saved.c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0600);

    // Saved again under the same name: the first file stays, the part gets
    // a name of its own, and the user is told which.
    inst.prompts.reset();
    QPlainTextEdit* reader = w->pane()->reader();
    QMenu menu;
    saver->addToMenu(&menu, pointOnAttachmentLine(reader));
    QAction* save = nullptr;
    for (QAction* a : menu.actions())
      if (a->text() == QStringLiteral("Save attachment as...")) save = a;
    QVERIFY2(save, "the context menu on the attachment line offers saving");
    save->trigger();
    QCOMPARE(readFile((dir + QStringLiteral("/report (2).pdf")).toStdString()), kPdf);
    QCOMPARE(readFile(saved), kPdf);
    QVERIFY2(inst.prompts.transcript().contains(QStringLiteral("report (2).pdf")),
             qPrintable(inst.prompts.transcript()));

    // Not on an attachment line: nothing offered.
    QMenu other;
    saver->addToMenu(&other, reader->cursorRect(QTextCursor(reader->document())).center());
    QVERIFY(other.actions().isEmpty());
  }

  void aMessageWithoutItsOriginalIsToldSo() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openBrowser(qv::KindMailDb, 900);
    QVERIFY(w);
    QVERIFY(w->showMessage(701));
    bool asked = false;
    ChosenFile chosen([&](QWidget*, const QString&) {
      asked = true;
      return QString();
    });
    inst.prompts.reset();
    QVERIFY(!w->attachmentSaver()->save(0));
    QVERIFY(!asked);
    QVERIFY2(inst.prompts.transcript().contains(QStringLiteral("was not kept")), qPrintable(inst.prompts.transcript()));
  }

  void forumBrowsersOfferNoSaving() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openBrowser(qv::KindForumDb, 900);
    QVERIFY(w);
    QVERIFY(!w->attachmentSaver()->button()->isVisibleTo(w));
    QMenu menu;
    w->attachmentSaver()->addToMenu(&menu, QPoint(5, 5));
    QVERIFY(menu.actions().isEmpty());
  }
};

QTEST_MAIN(AttachmentSaveTest)
#include "attachment_save_test.moc"
