// The address-book window: the frame opens it from the persons menu (a
// second start only activates it), it offers the formats of the database's
// kind with the one last chosen, a default file name follows the format,
// Start writes the book into the temporary directory counting the persons,
// and a name with a path is refused and cleared.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include "browse_data.h"
#include "export/address_entries.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "persons/address_export_window.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

qvm::AddressExportWindow* addressWindow() {
  return qobject_cast<qvm::AddressExportWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("AddressExport"))));
}

QStringList offered(qvm::AddressExportWindow& w) {
  QStringList names;
  for (QAbstractButton* b : w.formats()->buttons()) names << b->text();
  return names;
}

QString fileText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("(missing)");
  return QString::fromUtf8(f.readAll());
}

void runToEnd(qvm::AddressExportWindow& w) {
  QTest::mouseClick(w.startButton(), Qt::LeftButton);
  QVERIFY(waitFor([&] { return !w.running(); }));
}

}  // namespace

class AddressExportWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFrameOpensItAndStartWritesTheBook() {
    TestInstallation inst;
    inst.open();
    uint32_t box = makeBrowseDatabase(qv::KindMailDb, "Owen Owner");
    addPerson(21, "Fay", "Brown", 1, 0, "fay@example.com");
    addPerson(22, "John", "Smith", 1, 0, "12345,678");
    QVERIFY(qv::ActivateDatabase(box));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QAction* action = frame.menuAction(qvm::ProcExportAddresses);
    QVERIFY(action->isEnabled());
    action->trigger();
    QVERIFY(waitFor([] { return addressWindow() != nullptr; }));
    qvm::AddressExportWindow* w = addressWindow();
    QVERIFY(qvm::TmMembers(qvm::kFindGroup).contains(QStringLiteral("AddressExport")));
    action->trigger();  // a second start only activates the window
    settle();
    QCOMPARE(qvm::TmMembers(qvm::kFindGroup).count(QStringLiteral("AddressExport")), qsizetype(1));
    QCOMPARE(addressWindow(), w);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Export Address Book "));
    QCOMPARE(offered(*w), (QStringList{"Eudora", "OzWin II", "TAPCIS", "Unix RFC822", "vCard 4.0"}));
    QCOMPARE(w->format(), int(qv::AddressTapcis));
    QCOMPARE(w->fileName()->text(), QStringLiteral("Address.Txt"));
    QCOMPARE(w->fileName()->maxLength(), 40);

    w->formats()->button(qv::AddressUnix)->click();
    runToEnd(*w);
    QCOMPARE(w->lastResult(), int(qv::AddressDone));
    QCOMPARE(w->countLabel()->text(), QStringLiteral("3 msg"));  // the owner, Fay and John
    QString book = fileText(QString::fromStdString(qv::joinPath({qv::Mem.TempDir, "Address.Txt"})));
    QVERIFY2(book.contains(QStringLiteral("\"John Smith\" <12345.678@compuserve.com>\r\n")), qPrintable(book));
    QCOMPARE(qv::KonfigGet(qv::ItemExportLayoutMail), int64_t(qv::AddressUnix));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    w->close();
    QVERIFY(waitFor([] { return addressWindow() == nullptr; }));
  }

  void aForumOffersItsFormatsAndTheNameFollowsTheFormat() {
    TestInstallation inst;
    inst.open();
    makeBrowseDatabase(qv::KindForumDb, "Forum");
    addPerson(22, "John", "Smith", 1, 0, "12345,678");
    QPointer<qvm::AddressExportWindow> window = new qvm::AddressExportWindow;
    qvm::AddressExportWindow& w = *window;
    w.show();
    QCOMPARE(offered(w), (QStringList{"OzWin II", "TAPCIS", "vCard 4.0"}));
    w.formats()->button(qv::AddressOzWin)->click();
    QCOMPARE(w.fileName()->text(), QStringLiteral("Address.Ab"));
    w.formats()->button(qv::AddressVcard)->click();
    QCOMPARE(w.fileName()->text(), QStringLiteral("Address.vcf"));
    w.fileName()->setText(QStringLiteral("members.vcf"));
    w.formats()->button(qv::AddressTapcis)->click();
    QCOMPARE(w.fileName()->text(), QStringLiteral("members.vcf"));  // a name of the user's stays

    // A name with a path is refused and cleared; nothing is written.
    w.fileName()->setText(QStringLiteral("C:\\TEMP\\members.txt"));
    inst.prompts.reset();
    w.start();
    QVERIFY(!w.running());
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text, std::string("Do not include the path, just the filename!"));
    QCOMPARE(inst.prompts.requests[0].caption, std::string("Filename error"));
    QCOMPARE(w.fileName()->text(), QString());
    w.fileName()->setText(QStringLiteral("sub/members.txt"));
    w.start();
    QVERIFY(!w.running());
    QCOMPARE(w.fileName()->text(), QString());

    // An empty name writes the format's default file.
    runToEnd(w);
    QCOMPARE(w.lastResult(), int(qv::AddressDone));
    QCOMPARE(fileText(QString::fromStdString(qv::joinPath({qv::Mem.TempDir, "Address.Txt"}))),
             QStringLiteral("John Smith 12345,678|\r\n"));
    QCOMPARE(w.countLabel()->text(), QStringLiteral("1 msg"));
    w.close();
  }

  void aNewsgroupRemembersVcardAndAnEmptyDatabaseWritesNothing() {
    TestInstallation inst;
    inst.open();
    makeBrowseDatabase(qv::KindNewsDb, "comp.test");
    {
      QPointer<qvm::AddressExportWindow> window = new qvm::AddressExportWindow;
      QCOMPARE(offered(*window), (QStringList{"Unix RFC822", "vCard 4.0"}));
      QCOMPARE(window->format(), int(qv::AddressUnix));
      window->formats()->button(qv::AddressVcard)->click();
      window->show();
      runToEnd(*window);
      QCOMPARE(window->lastResult(), int(qv::AddressNoPersons));
      QVERIFY(!QFile::exists(QString::fromStdString(qv::joinPath({qv::Mem.TempDir, "Address.vcf"}))));
      window->close();
      QVERIFY(waitFor([&] { return window.isNull(); }));
    }
    QPointer<qvm::AddressExportWindow> again = new qvm::AddressExportWindow;
    QCOMPARE(again->format(), int(qv::AddressVcard));
    QCOMPARE(again->fileName()->text(), QStringLiteral("Address.vcf"));
    delete again.data();
  }
};

QTEST_MAIN(AddressExportWindowTest)
#include "address_export_window_test.moc"
