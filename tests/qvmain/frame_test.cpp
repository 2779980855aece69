// The frame: start-up on new and old installations, the active database,
// menu gating, the procedure starter and the exit path.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "database/startup_wizard.h"
#include "database/update_box.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "events.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

// A stand-in procedure window of a later version (a browse, a find window).
QStringList closedOrder;
int opened = 0;

void openDummy(const QString& name, const QString& group) {
  ++opened;
  auto* w = new QWidget;
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setWindowTitle(name);
  qvm::TmCreate(w, name, group);
  QObject::connect(w, &QObject::destroyed, [name] { closedOrder << name; });
  qvm::showProcedureWindow(w);
}

uint32_t makeForum(const std::string& name) { return qv::AddForumDatabase(name, 1, 7); }

std::string dirOf(uint32_t id) {
  qv::findDatabase(id);
  return qv::joinPath({qv::Mem.FileDir, "F" + std::to_string(qv::FOR.DIRNUMBER)});
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    closedOrder.clear();
    opened = 0;
    qvm::registerProcedure(QStringLiteral("BrowseMsgNmbr"),
                           [] { openDummy(QStringLiteral("BrowseMsgNmbr"), qvm::kNotToolsGroup); });
  }

  void firstStartOnAnEmptyDirectory() {
    TestInstallation inst;
    QCOMPARE(inst.open(), 99);
    QVERIFY(fs::is_directory(inst.rootStd() + "/CFG"));
    QVERIFY(fs::exists(inst.rootStd() + "/CFG/IDX008.ADF"));
    QCOMPARE(qv::KonfigGet(qv::ItemConfigVersion), 370);
    qvm::MainFrame frame(99);
    frame.show();
    QCOMPARE(frame.windowTitle(),
             QStringLiteral(" Quorvane Mail, Forum & Newsgroup Message Archiver [No Active Database]"));
    QCOMPARE(qvm::TmGetId(QStringLiteral("StartUpWizard")), 0);  // not before the frame is up
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("StartUpWizard")) != 0; }));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    // The wizard is started once, not at every re-evaluation.
    qvm::TmDestroyGroup(QString());
    qvm::postEvent(&frame, qvm::EvReevaluate);
    settle();
    QCOMPARE(inst.prompts.requests.size(), size_t(0));
  }

  // The mailbox made in the start-up wizard is the active database once the
  // wizard is left: the title names it and its browser opens.
  void theStartupWizardsMailboxBecomesTheActiveDatabase() {
    TestInstallation inst;
    QCOMPARE(inst.open(), 99);
    qvm::registerProcedure(QStringLiteral("BrowseMail"),
                           [] { openDummy(QStringLiteral("BrowseMail"), qvm::kNotToolsGroup); });
    qvm::MainFrame frame(99);
    frame.show();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("StartUpWizard")) != 0; }));
    auto* wizard = qobject_cast<qvm::StartupWizard*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("StartUpWizard"))));
    QVERIFY(wizard);
    wizard->mailboxButton()->click();
    auto* form = wizard->findChild<qvm::UpdateBox*>();
    QVERIFY(form);
    form->ownerField()->setText(QStringLiteral("Owen Owner"));
    form->addressField()->setText(QStringLiteral("owen@example.com"));
    form->acceptButton()->click();
    settle();
    QCOMPARE(frame.titleSuffix(), qvm::kNoDatabase);  // not while the wizard runs
    wizard->quitButton()->click();
    QVERIFY(waitFor([&] { return frame.titleSuffix() == QStringLiteral("[Owen Owner]"); }));
    QVERIFY(qv::Mem.ForumNumber != 0);
    QCOMPARE(qv::Mem.ForumType, 2);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMail")) != 0; }));
    QVERIFY(frame.menuAction(qvm::ProcChangeDatabase)->isEnabled());
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void anOlderConfigurationIsUpgradedOnce() {
    TestInstallation inst;
    QCOMPARE(inst.open(), 99);
    qv::KonfigSet(qv::ItemConfigVersion, 360);
    QVERIFY(qv::Konfig(qv::KSave));
    qv::WindowRect r{5, 6, 333, 222};
    qv::WindowPos(2, qvm::SlotBrowseBox, r);
    qv::WindowPos(4, 0, r);
    qv::closeInstallation();

    QCOMPARE(inst.open(), 1);
    QCOMPARE(inst.prompts.count("Upgrading to version 3.7"), 1);
    QCOMPARE(inst.prompts.requests[0].text,
             std::string("This new version needs new default values! All window positions, window sizes and list "
                         "box column widths will be reset to default!"));
    QCOMPARE(qv::KonfigGet(qv::ItemConfigVersion), 370);
    qv::WindowPos(3, qvm::SlotBrowseBox, r);
    QVERIFY(r.width != 333);
    qv::closeInstallation();

    inst.prompts.reset();
    QCOMPARE(inst.open(), 1);
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void theLastUsedDatabaseIsReplacedByTheFirstThatExists() {
    TestInstallation inst;
    inst.open();
    uint32_t a = makeForum("Alpha"), b = makeForum("Beta"), c = makeForum("Gamma");
    QVERIFY(a && b && c);
    qv::KonfigSet(qv::ItemLastDatabase, c);
    qv::Konfig(qv::KSave);
    // Gamma leaves the list, Beta loses its directory: Alpha is the first that exists.
    qv::OP_CLOSE(qv::OpShared, {qv::FileForums});
    qv::FOR = qv::ForumsRec();
    qv::FOR.ID = c;
    QVERIFY(qv::Forums.get(qv::FOR_ForumKey) && qv::Forums.remove());
    qv::OP_CLOSE(qv::OpRelease, {qv::FileForums});
    fs::remove_all(dirOf(b));
    {
      qvm::MainFrame frame(1);
      QCOMPARE(qv::Mem.ForumNumber, a);
      QCOMPARE(frame.titleSuffix(), QStringLiteral("[Alpha]"));
      QCOMPARE(qv::KonfigGet(qv::ItemLastDatabase), a);
    }
    fs::remove_all(dirOf(a));
    qv::Mem.ForumNumber = 0;
    qvm::MainFrame frame(1);
    QCOMPARE(qv::Mem.ForumNumber, 0u);
    QCOMPARE(frame.titleSuffix(), qvm::kNoDatabase);
  }

  void menusFollowTheActiveDatabaseAndTheBrowse() {
    TestInstallation inst;
    inst.open();
    {
      qvm::MainFrame frame(1);
      QVERIFY(frame.menuAction(qvm::ProcImportWizard)->isEnabled());
      QVERIFY(frame.menuAction(qvm::ProcPreferences)->isEnabled());
      QVERIFY(frame.menuAction(qvm::ProcMailBoxSetup)->isEnabled());
      QVERIFY(frame.buttonAction(qvm::ProcImportWizard)->isEnabled());
      QVERIFY(frame.exitAction()->isEnabled());
      QVERIFY(!frame.menuAction(qvm::ProcChangeDatabase)->isEnabled());
      QVERIFY(!frame.buttonAction(qvm::ProcChangeDatabase)->isEnabled());
      QVERIFY(!frame.menuAction(qvm::ProcWordIndexStatus)->isEnabled());
      QVERIFY(!frame.printSetupAction()->isEnabled());
      QVERIFY(!frame.personsMenu()->menuAction()->isEnabled());
      // A command of a later version is present, disabled, and says so.
      QAction* merge = frame.menuAction(qvm::ProcMergeDatabases);
      QVERIFY(merge && !merge->isEnabled());
    }
    qv::MailboxSpec box;
    box.owner = "Owen Owner";
    box.address = "owen@example.com";
    QVERIFY(qv::AddMailbox(box) != 0);
    qvm::MainFrame frame(1);
    QCOMPARE(frame.titleSuffix(), QStringLiteral("[Owen Owner]"));
    QVERIFY(frame.menuAction(qvm::ProcChangeDatabase)->isEnabled());
    QVERIFY(frame.menuAction(qvm::ProcWordIndexStatus)->isEnabled());
    QVERIFY(frame.printSetupAction()->isEnabled());
    QCOMPARE(frame.personsMenu()->title(), QStringLiteral("Mail &Partners"));
    QCOMPARE(frame.buttonAction(qvm::ProcBrowsePersons)->toolTip(), QStringLiteral("Browse mail partners"));
    QVERIFY(frame.menuAction(qvm::ProcMergeDatabases)->isEnabled());
    // A command of a later version, if any is left, is disabled and says so.
    for (int n = 1; n <= 45; ++n) {
      const qvm::Procedure* p = qvm::procedure(n);
      QAction* later = p && !qvm::procedureInVersion(*p, qv::KindMailDb) ? frame.menuAction(n) : nullptr;
      if (!later) continue;
      QVERIFY(!later->isEnabled());
      QVERIFY(later->statusTip().contains(QStringLiteral("not available")));
      break;
    }
    // Commands to the browse need the browse.
    QVERIFY(!frame.menuAction(qvm::ProcStandardSearch)->isEnabled());
    qvm::registerProcedure(QStringLiteral("BrowseMail"),
                           [] { openDummy(QStringLiteral("BrowseMail"), qvm::kNotToolsGroup); });
    frame.choose(qvm::ProcBrowseMessages);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMail")) != 0; }));
    qvm::postEvent(&frame, qvm::EvBrowseOpened);
    settle();
    QVERIFY(frame.menuAction(qvm::ProcStandardSearch)->isEnabled());
    QVERIFY(frame.buttonAction(qvm::ProcStandardSearch)->isEnabled());
    qvm::postEvent(&frame, qvm::EvBrowseClosed);
    settle();
    QVERIFY(!frame.menuAction(qvm::ProcStandardSearch)->isEnabled());
  }

  void aSecondStartActivatesTheRunningWindow() {
    TestInstallation inst;
    inst.open();
    makeForum("Alpha");
    qvm::MainFrame frame(1);
    frame.show();
    // The browse of the database opens with the database.
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")) != 0; }));
    QWidget* browse = qvm::TmWindow(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")));
    auto* sub = qobject_cast<QMdiSubWindow*>(browse->parentWidget());
    QVERIFY(sub);
    sub->showMinimized();
    frame.choose(qvm::ProcBrowseMessages);
    QVERIFY(waitFor([sub] { return !sub->isMinimized(); }));
    QCOMPARE(opened, 1);
    QCOMPARE(frame.area()->subWindowList().size(), qsizetype(1));
  }

  void exitClosesTheWindowsGroupByGroup() {
    TestInstallation inst;
    inst.open();
    qvm::MainFrame frame(1);
    frame.show();
    openDummy(QStringLiteral("BrowseMsgNmbr"), qvm::kNotToolsGroup);
    openDummy(QStringLiteral("ImportIt"), qvm::kImportGroup);
    openDummy(QStringLiteral("FindText"), qvm::kFindGroup);
    frame.requestExit();
    QVERIFY(waitFor([&] { return !frame.isVisible(); }));
    QCOMPARE(closedOrder,
             QStringList({QStringLiteral("FindText"), QStringLiteral("ImportIt"), QStringLiteral("BrowseMsgNmbr")}));
  }

  void exitIsRefusedWhileIndexing() {
    TestInstallation inst;
    inst.open();
    qvm::MainFrame frame(1);
    frame.show();
    openDummy(QStringLiteral("BrowseMsgNmbr"), qvm::kNotToolsGroup);
    qv::IndexingInProgress = 1;
    frame.close();  // the window's close box takes the exit path
    settle();
    QVERIFY(frame.isVisible());
    QVERIFY(frame.exitRefusedLast());
    QCOMPARE(inst.prompts.count("Exit Not Allowed"), 1);
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("You May NOT Exit until Indexing Is Done.\r\nThis is to Avoid Corruption."));
    QVERIFY(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")) != 0);  // nothing else happened
    qv::IndexingInProgress = 0;
    frame.requestExit();
    QVERIFY(waitFor([&] { return !frame.isVisible(); }));
  }

  void deletingTheActiveDatabaseClosesItsWindowsAndRemovesIt() {
    TestInstallation inst;
    inst.open();
    uint32_t keep = makeForum("Keep");
    uint32_t gone = makeForum("Gone");
    std::string dir = dirOf(gone);
    QVERIFY(qv::ActivateDatabase(gone));
    qvm::MainFrame frame(1);
    frame.show();  // the browser opens once the frame stands
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")) != 0; }));
    // A file of the user's own in the directory is left alone.
    { std::FILE* f = std::fopen((dir + "/notes.txt").c_str(), "w"); std::fclose(f); }
    qvm::postEvent(&frame, qvm::EvDeleteDatabase);
    QVERIFY(waitFor([&] { return qv::Mem.ForumNumber == keep; }));
    QVERIFY(!fs::exists(dir + "/IDX022.DAT"));
    QVERIFY(fs::exists(dir + "/notes.txt"));
    QVERIFY(!qv::findDatabase(gone));
    QCOMPARE(frame.titleSuffix(), QStringLiteral("[Keep]"));
    QVERIFY(closedOrder.contains(QStringLiteral("BrowseMsgNmbr")));
  }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
