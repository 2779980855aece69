// The import wizard, its checks, the file selection and the import window:
// a sample file goes through the pages into a new mailbox.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "database/update_box.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "events.h"
#include "import/directory_dialog.h"
#include "import/import_definition.h"
#include "import/import_it.h"
#include "import/import_wizard.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/procedure_starter.h"
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

QString writeSample(const QString& dir, const QString& name, const char* text) {
  QFile f(dir + QLatin1Char('/') + name);
  f.open(QIODevice::WriteOnly);
  f.write(text);
  return f.fileName();
}

qvm::ImportMeny* openWizard() {
  qv::SemaFore(201);
  auto* w = dynamic_cast<qvm::ImportMeny*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("ImportMeny"))));
  return w;
}

int64_t mailsIn(uint32_t box) {
  std::string saved = qv::Mem.Dirnamn;
  qv::findDatabase(box);
  qv::Mem.Dirnamn = "F" + std::to_string(qv::FOR.DIRNUMBER);
  qv::OP_CLOSE(qv::OpShared, {qv::FileMail});
  int64_t n = qv::Mail.records();
  qv::OP_CLOSE(qv::OpRelease, {qv::FileMail});
  qv::Mem.Dirnamn = saved;
  return n;
}

}  // namespace

class ImportWizardTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aSampleFileGoesThroughThePagesIntoANewMailbox() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir source;
    writeSample(source.path(), QStringLiteral("MAIL.MSG"), kOzMail);

    // The mailbox is made with its form.
    auto* form = qvm::openUpdateBox(nullptr, 1, 0);
    form->ownerField()->setText(QStringLiteral("Owen Owner"));
    form->addressField()->setText(QStringLiteral("owen@example.com"));
    form->alternativeField(0)->setText(QStringLiteral("76543,210"));
    form->acceptButton()->click();
    QCOMPARE(qv::GlobalResponse, 1);
    auto boxes = qv::listDatabases(2);
    QCOMPARE(boxes.size(), size_t(1));
    uint32_t box = boxes[0].id;

    qvm::ImportMeny* w = openWizard();
    QVERIFY(w);
    w->saveSession()->setChecked(true);
    w->next();
    w->setFormat(QStringLiteral("OzCIS"));
    w->next();
    QCOMPARE(w->page(), int(qvm::ImportMeny::MessageTypes));
    QVERIFY(w->mailCheck()->isChecked() && w->forumCheck()->isChecked());
    w->forumCheck()->setChecked(false);
    QCOMPARE(w->mailboxList()->currentData().toUInt(), box);
    w->next();
    w->methodGroup()->button(qv::SelectFiles)->click();
    w->next();
    // Select: the file dialog in file mode, the sample file chosen.
    w->selectButton()->click();
    auto* files = w->findChild<qvm::DirectoryDialog*>();
    QVERIFY(files);
    QVERIFY(files->windowTitle().startsWith(QStringLiteral(" File Selection Dialog - ")));
    files->setDirectory(source.path());
    QCOMPARE(files->fileList()->count(), 1);
    files->fileList()->item(0)->setSelected(true);
    files->accept();
    w->next();
    QCOMPARE(w->startButton()->text(), QStringLiteral("S&tart"));
    w->startButton()->click();

    QVERIFY2(waitFor([] { return qvm::TmGetId(QStringLiteral("ImportIt")) == 0 && qvm::TmGetId(QStringLiteral("ImportMeny")) == 0; }),
             qPrintable(inst.prompts.transcript()));
    QCOMPARE(mailsIn(box), 2);

    // The session was kept as an import definition.
    qv::OP_CLOSE(qv::OpShared, {qv::FileBatches});
    qv::Batches.set(qv::BAT_IDKEY);
    QVERIFY(qv::Batches.next());
    uint32_t def = qv::BAT.ID;
    QCOMPARE(qv::BAT.DESCRIPTION.str(), std::string("Saved from ImportWizard"));
    qv::OP_CLOSE(qv::OpRelease, {qv::FileBatches});
    qv::ImportSettings saved;
    QVERIFY(qv::LoadImportDefinition(def, saved));
    QCOMPARE(saved.format, std::string("OzCIS"));
    QCOMPARE(saved.mailbox, box);
    QVERIFY(saved.importMail && !saved.importForum);
    QCOMPARE(saved.method, int(qv::SelectFiles));
    QCOMPARE(saved.masks, std::vector<std::string>{"MAIL.MSG"});
    QCOMPARE(QString::fromStdString(saved.path), source.path());
  }

  void startRefusesIncompleteSettings() {
    TestInstallation inst;
    inst.open();
    qvm::ImportMeny* w = openWizard();
    w->setFormat(QStringLiteral("OzCIS"));
    w->setSelection(QStringLiteral("/tmp"), {QStringLiteral("X.MSG")});
    struct Case {
      bool mail, forum;
      const char* caption;
      const char* text;
    };
    const Case cases[] = {
        {false, false, " Import definition error!", "You must select at least one messagetype for import!"},
        {false, true, "Import setup error!", "You must select a database to import to!"},
        {true, false, "No MailBox available!", "You must set up a MailBox to import to!"},
    };
    for (const Case& c : cases) {
      inst.prompts.reset();
      w->mailCheck()->setChecked(c.mail);
      w->forumCheck()->setChecked(c.forum);
      w->forumName()->clear();
      QVERIFY(!w->start());
      QCOMPARE(inst.prompts.requests.size(), size_t(1));
      QCOMPARE(inst.prompts.requests[0].caption, std::string(c.caption));
      QCOMPARE(inst.prompts.requests[0].text, std::string(c.text));
    }
    QCOMPARE(qvm::TmGetId(QStringLiteral("ImportIt")), 0);
  }

  void theFileDialogWantsMasksOrFiles() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir dir;
    writeSample(dir.path(), QStringLiteral("a.msg"), "x");
    writeSample(dir.path(), QStringLiteral("b.txt"), "x");
    auto& tree = *new qvm::DirectoryDialog(qvm::DirectoryMode::Tree, QStringLiteral("OzCIS"), dir.path(), {});
    tree.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(tree.windowTitle(), QStringLiteral(" Directory Tree Selection Dialog - OzCIS"));
    tree.masksField()->setText(QStringLiteral(" ; "));
    tree.accept();
    QCOMPARE(inst.prompts.count("Warning!"), 1);
    QCOMPARE(inst.prompts.requests[0].text, std::string("No file extension(s) specified"));
    tree.masksField()->setText(QStringLiteral("*.MSG;*.PRG"));
    tree.accept();
    QCOMPARE(tree.result(), int(QDialog::Accepted));
    QCOMPARE(tree.selection(), QStringList({QStringLiteral("*.MSG"), QStringLiteral("*.PRG")}));

    // File mode lists the files matching the format's masks, in any letter case.
    auto& files = *new qvm::DirectoryDialog(qvm::DirectoryMode::Files, QStringLiteral("OzCIS"), dir.path(), {QStringLiteral("*.MSG")});
    files.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(files.fileList()->count(), 1);
    QCOMPARE(files.fileList()->item(0)->text(), QStringLiteral("a.msg"));
    inst.prompts.reset();
    files.accept();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text, std::string("No file(s) selected"));
  }

  // "*.*" lists every file and "*." the files without an extension: the
  // stores of mail programs that have none ("Inbox", Mac Eudora's "In").
  void theFileListTakesMasksInTheirDosMeaning() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir dir;
    for (const char* name : {"Inbox", "Inbox.msf", "In", "NEWS.TXT"}) writeSample(dir.path(), QString::fromLatin1(name), "x");
    auto list = [&](const QString& mask) {
      qvm::DirectoryDialog d(qvm::DirectoryMode::Files, QStringLiteral("Unix mailbox"), dir.path(), {mask});
      QStringList names;
      for (int i = 0; i < d.fileList()->count(); ++i) names << d.fileList()->item(i)->text();
      return names;
    };
    QCOMPARE(list(QStringLiteral("*.*")), QStringList({QStringLiteral("In"), QStringLiteral("Inbox"),
                                                       QStringLiteral("Inbox.msf"), QStringLiteral("NEWS.TXT")}));
    QCOMPARE(list(QStringLiteral("*.")), QStringList({QStringLiteral("In"), QStringLiteral("Inbox")}));
  }

  // File mode offers the format's masks first and then every file, so that
  // a capture named otherwise can be picked.
  void theFileListOffersEveryFileAsAFileType() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir dir;
    for (const char* name : {"CAPTURE.TXT", "forum.ham", "FORUM.MSG", "noext"})
      writeSample(dir.path(), QString::fromLatin1(name), "x");
    qvm::DirectoryDialog d(qvm::DirectoryMode::Files, QStringLiteral("TAPCIS 6.x"), dir.path(),
                           {QStringLiteral("*.MSG"), QStringLiteral("*.OLD")});
    auto names = [&] {
      QStringList shown;
      for (int i = 0; i < d.fileList()->count(); ++i) shown << d.fileList()->item(i)->text();
      return shown;
    };
    QVERIFY(d.fileTypes());
    QCOMPARE(d.fileTypes()->count(), 2);
    QCOMPARE(d.fileTypes()->itemText(0), QStringLiteral("TAPCIS 6.x (*.MSG *.OLD)"));
    QCOMPARE(d.fileTypes()->itemText(1), QStringLiteral("All files (*)"));
    QCOMPARE(d.fileTypes()->currentIndex(), 0);
    QCOMPARE(names(), QStringList{QStringLiteral("FORUM.MSG")});
    d.fileList()->item(0)->setSelected(true);
    d.fileTypes()->setCurrentIndex(1);
    QCOMPARE(names(), QStringList({QStringLiteral("CAPTURE.TXT"), QStringLiteral("forum.ham"),
                                   QStringLiteral("FORUM.MSG"), QStringLiteral("noext")}));
    d.fileList()->item(0)->setSelected(true);
    d.fileList()->item(3)->setSelected(true);
    d.setAttribute(Qt::WA_DeleteOnClose, false);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QStringList chosen = d.selection();
    chosen.sort();
    QCOMPARE(chosen, QStringList({QStringLiteral("CAPTURE.TXT"), QStringLiteral("FORUM.MSG"), QStringLiteral("noext")}));

    // Opened again on those files, it shows every file, so they stay chosen.
    qvm::DirectoryDialog again(qvm::DirectoryMode::Files, QStringLiteral("TAPCIS 6.x"), dir.path(),
                               {QStringLiteral("*.MSG"), QStringLiteral("*.OLD")}, d.selection());
    QCOMPARE(again.fileTypes()->currentIndex(), 1);
    QCOMPARE(again.fileList()->selectedItems().size(), 3);
  }

  void anImportClosedEarlyLeavesTheWizardOpen() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir source;
    writeSample(source.path(), QStringLiteral("MAIL.MSG"), kOzMail);
    qv::MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    uint32_t box = qv::AddMailbox(spec);
    qvm::ImportMeny* w = openWizard();
    w->setFormat(QStringLiteral("OzCIS"));
    w->forumCheck()->setChecked(false);
    w->methodGroup()->button(qv::SelectFiles)->click();
    w->setSelection(source.path(), {QStringLiteral("MAIL.MSG")});
    QVERIFY(w->start());
    QVERIFY(!w->startButton()->isEnabled());
    auto* run = dynamic_cast<qvm::ImportIt*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("ImportIt"))));
    QVERIFY(run);
    QCOMPARE(run->windowTitle(), QStringLiteral("OzCIS Import Processing"));
    run->stopButton()->click();  // before the first slice: nothing is asked, nothing posted
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ImportIt")) == 0; }));
    settle();
    QVERIFY(qvm::TmGetId(QStringLiteral("ImportMeny")) != 0);
    QVERIFY(w->startButton()->isEnabled());
    QCOMPARE(mailsIn(box), 0);
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  // A run stopped for lack of disk space: the window shows the engine's
  // status, its result and its counters as the engine has them, nothing of
  // its own.
  void theImportWindowShowsTheEnginesStatusAndResult() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 2);  // the window stays open when the run has ended
    QTemporaryDir source;
    writeSample(source.path(), QStringLiteral("MAIL.MSG"), kOzMail);
    qv::MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    QVERIFY(qv::AddMailbox(spec) != 0);
    qv::ImportSettings s;
    s.format = "OzCIS";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"MAIL.MSG"};
    s.importMail = true;
    s.mailbox = qv::listDatabases(2)[0].id;
    // The disk is full: the run asks, and Cancel (the default) stops it.
    qv::setFreeSpaceFunction([](const std::string&) { return int64_t(1000); });
    qvm::ImportIt* w = qvm::openImportIt(s);
    QPointer<qvm::ImportIt> guard(w);
    QVERIFY(!w->resultLabel()->isVisibleTo(w));
    bool ended = waitFor([&] {
      return guard && (w->run().stage() == qv::ImportStage::Finished || w->run().closed());
    });
    qv::setFreeSpaceFunction(nullptr);
    QVERIFY2(ended && guard, qPrintable(inst.prompts.transcript()));
    settle();
    QVERIFY(inst.prompts.count("Warning") >= 1);
    const qv::ImportView& v = w->run().view();
    QCOMPARE(w->run().result(), 2);
    QCOMPARE(w->statusLabel()->text(), QString::fromStdString(v.status));
    QVERIFY(w->resultLabel()->isVisibleTo(w));
    QCOMPARE(w->resultLabel()->text(), QStringLiteral("Result: not completed"));
    const int64_t shown[] = {v.imported, v.skipped, v.tempRecords, v.inDatabase};
    for (int i = 0; i < 4; ++i) QCOMPARE(w->counters()[i]->text(), QLocale().toString(qlonglong(shown[i])));
    QCOMPARE(w->stopButton()->text(), QStringLiteral("&Close"));
    w->close();
    settle();
  }

  void theImportWindowNamesWhySomethingWasSkipped() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 2);  // the window stays open when the run has finished
    QTemporaryDir source;
    writeSample(source.path(), QStringLiteral("news.txt"),
                "From a@example.org Sat Mar  6 21:39:44 2004\nNewsgroups: example.test\nFrom: a@example.org\n"
                "Subject: With an ID\nDate: Sat, 06 Mar 2004 21:39:44 -0800\nMessage-ID: <1@example.org>\n\nOne.\n"
                "From a@example.org Sat Mar  6 21:40:44 2004\nNewsgroups: example.test\nFrom: a@example.org\n"
                "Subject: Without one\nDate: Sat, 06 Mar 2004 21:40:44 -0800\n\nTwo.\n");
    qv::ImportSettings s;
    s.format = "Unix News";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"news.txt"};
    s.importNews = true;
    qvm::ImportIt* w = qvm::openImportIt(s);
    QVERIFY(w);
    QPointer<qvm::ImportIt> guard(w);
    QVERIFY(!w->skipReasonsLabel()->isVisibleTo(w));
    QVERIFY2(waitFor([&] { return guard && w->run().stage() == qv::ImportStage::Finished; }),
             qPrintable(inst.prompts.transcript()));
    QCOMPARE(w->counters()[0]->text(), QStringLiteral("1"));
    QCOMPARE(w->counters()[1]->text(), QStringLiteral("1"));
    QVERIFY(w->skipReasonsLabel()->isVisibleTo(w));
    QCOMPARE(w->skipReasonsLabel()->text(), QStringLiteral("Skipped for: no Message-ID: 1"));
    w->close();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ImportIt")) == 0; }));
  }

  // A warning about a file shows while the window names that file, not the
  // one read before it.
  void aWarningShowsOverTheFileItIsAbout() {
    TestInstallation inst;
    inst.open();
    qv::KonfigSet(qv::ItemImportCompletion, 2);  // the window stays open when the run has ended
    QTemporaryDir source;
    writeSample(source.path(), QStringLiteral("A.MSG"), kOzMail);
    const QString other = writeSample(source.path(), QStringLiteral("B.MSG"), "Shopping list\r\nBread\r\n");
    qv::MailboxSpec spec;
    spec.owner = "Owen Owner";
    spec.address = "owen@example.com";
    QVERIFY(qv::AddMailbox(spec) != 0);
    qv::ImportSettings s;
    s.format = "OzCIS";
    s.method = qv::SelectFiles;
    s.path = source.path().toStdString();
    s.masks = {"A.MSG", "B.MSG"};
    s.importMail = true;
    s.mailbox = qv::listDatabases(2)[0].id;
    QPointer<qvm::ImportIt> w = qvm::openImportIt(s);
    QStringList shownWith;
    inst.prompts.onAsk = [&](const qv::PromptRequest& r) {
      if (r.text.rfind("Not a Forum message or mail file!", 0) == 0 && w) shownWith << w->fileLabel()->text();
    };
    QVERIFY2(waitFor([&] { return !w || w->run().stage() >= qv::ImportStage::Finished; }),
             qPrintable(inst.prompts.transcript()));
    inst.prompts.onAsk = nullptr;
    QCOMPARE(shownWith, QStringList{other});
    // The run's list of problems names it too.
    QVERIFY(w);
    bool named = false;
    for (const std::string& line : w->run().view().problems)
      named = named || (line.find(other.toStdString()) != std::string::npos &&
                        line.find("Not a Forum message or mail file!") != std::string::npos);
    QVERIFY(named);
    w->close();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ImportIt")) == 0; }));
  }
};

QTEST_MAIN(ImportWizardTest)
#include "import_wizard_test.moc"
