// A finished long job shows what it did: the window program keeps the
// windows of finished jobs open on a new installation (a setting chosen
// before stays), and a result window shows all of its buttons.
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

#include "browse_data.h"
#include "export/export_names.h"
#include "frame/main_frame.h"
#include "print/copy_progress.h"
#include "import/import_it.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// Two OzCIS mails: one received, one sent.
const char* kOzMail =
    "\r\nDate:  12-Mar-96  14:22\r\nFrom: Friend One 12121,212\r\nSubj: Hello Owen\r\n\r\nHi Owen.\r\n"
    "Date:  13-Mar-96  09:30:15\r\nMgTo: Friend One 12121,212\r\nSubj: Re: Hello Owen\r\n\r\nHi back.\r\n";

// The buttons of a window that its frame (a sub-window of the frame's area)
// cuts off, by their texts.
QStringList cutOffButtons(QWidget* w) {
  QWidget* outer = qobject_cast<QMdiSubWindow*>(w->parentWidget()) ? w->parentWidget() : w;
  const QRect shown = outer == w ? w->rect() : QRect(w->mapTo(outer, QPoint(0, 0)), w->size()) & outer->contentsRect();
  QStringList cut;
  for (QPushButton* b : w->findChildren<QPushButton*>()) {
    if (!b->isVisibleTo(w)) continue;
    const QRect at(b->mapTo(outer, QPoint(0, 0)), b->size());
    if (!shown.contains(at)) cut << b->text();
  }
  return cut;
}

}  // namespace

class FinishedJobsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aNewInstallationKeepsFinishedJobsOpen() {
    TestInstallation inst;
    QCOMPARE(inst.open(), 99);
    {
      qvm::MainFrame frame(99);
      QCOMPARE(qv::KonfigGet(qv::ItemImportCompletion), 2);
    }
    inst.close();
    // Stored; and a choice made later stays at the next start.
    inst.open();
    QCOMPARE(qv::KonfigGet(qv::ItemImportCompletion), 2);
    qv::KonfigSet(qv::ItemImportCompletion, 0);
    QVERIFY(qv::Konfig(qv::KSaveDisplay));
    inst.close();
    QCOMPARE(inst.open(), 1);
    qvm::MainFrame frame(1);
    QCOMPARE(qv::KonfigGet(qv::ItemImportCompletion), 0);
  }

  // The import window of a finished run, inside the frame, at the default
  // font size: the result and the counters appear, and its buttons stay whole.
  void theImportResultWindowShowsItsButtons() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 2);
    QTemporaryDir source;
    QFile f(source.path() + QStringLiteral("/MAIL.MSG"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kOzMail);
    f.close();
    qv::MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    QVERIFY(qv::AddMailbox(spec) != 0);
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    qv::ImportSettings s;
    s.format = "OzCIS";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"MAIL.MSG"};
    s.importMail = true;
    s.mailbox = qv::listDatabases(2)[0].id;
    QPointer<qvm::ImportIt> w = qvm::openImportIt(s);
    QVERIFY(w);
    QVERIFY(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
    QVERIFY2(waitFor([&] { return !w || w->run().stage() == qv::ImportStage::Finished; }),
             qPrintable(inst.prompts.transcript()));
    QVERIFY(w);
    settle();
    QVERIFY(w->resultLabel()->isVisibleTo(w));
    QCOMPARE(cutOffButtons(w), QStringList());
    w->close();
    settle();
  }

  // A run whose window closes at once leaves what it did in the status bar.
  void anImportClosedAtOnceLeavesItsCountsInTheStatusBar() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 0);
    QTemporaryDir source;
    QFile f(source.path() + QStringLiteral("/MAIL.MSG"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kOzMail);
    f.close();
    qv::MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    QVERIFY(qv::AddMailbox(spec) != 0);
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    qv::ImportSettings s;
    s.format = "OzCIS";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"MAIL.MSG"};
    s.importMail = true;
    s.mailbox = qv::listDatabases(2)[0].id;
    QPointer<qvm::ImportIt> w = qvm::openImportIt(s);
    QVERIFY(w);
    QVERIFY2(waitFor([&] { return !w; }), qPrintable(inst.prompts.transcript()));
    const QString note = frame.statusBar()->currentMessage();
    QVERIFY2(note.startsWith(QStringLiteral("OzCIS Import Processing: Messages imported: 2, Messages skipped: 0, ")),
             qPrintable(note));
    QVERIFY2(note.contains(QRegularExpression(QStringLiteral(" in \\d+ s$"))), qPrintable(note));
  }

  // A message export says where it wrote: in its window, which stays with
  // its counts, and in the frame's status bar.
  void anExportSaysWhereItWrote() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 2);
    uint32_t forum = sampleForum(qv::KindForumDb, "Export Forum");
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    qv::CopyRequest r;
    r.scope = 12;
    QPointer<qvm::CopyProgress> w = qvm::copyMessages(r);
    QVERIFY(w);
    QVERIFY(waitFor([&] { return !w || w->placeLabel()->isVisibleTo(w); }));
    QVERIFY(w);
    const QString path = QString::fromStdString(qv::exportPath("SaveMsg.Txt"));
    QVERIFY(QFile::exists(path));
    QCOMPARE(w->placeLabel()->text(), QStringLiteral("Written to ") + path);
    QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("Written to ") + path);
    QCOMPARE(w->abortButton()->text(), QStringLiteral("&Close"));
    QCOMPARE(w->writtenLabel()->text(), QStringLiteral("6"));
    w->close();
    settle();
  }
};

QTEST_MAIN(FinishedJobsTest)
#include "finished_jobs_test.moc"
