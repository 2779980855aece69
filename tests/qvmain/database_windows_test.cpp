// The database windows: the mailbox list and form, the database selection
// with its status keys and rename, the forum form, the word-index switch,
// the start-up wizard and the preferences.
#include <QComboBox>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QtTest>

#include "database/add_forum.h"
#include "database/browse_box.h"
#include "database/change_forum.h"
#include "database/new_db_name.h"
#include "database/set_index.h"
#include "database/startup_wizard.h"
#include "database/update_box.h"
#include "dictionary/dictionary.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/menu_texts.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "setup/user_panel.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

void press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(w, Qt::Key(key), mods); }

}  // namespace

class DatabaseWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theMailboxListAddsAndShowsMailboxes() {
    TestInstallation inst;
    inst.open();
    auto* list = new qvm::BrowseBox;
    QCOMPARE(list->windowTitle(), QStringLiteral(" MailBoxes [0]"));
    QVERIFY(!list->changeButton()->isEnabled());
    list->insertButton()->click();
    auto* form = list->findChild<qvm::UpdateBox*>();
    QVERIFY(form);
    QVERIFY(!form->acceptButton()->isEnabled());  // a mailbox needs its owner and address
    form->ownerField()->setText(QStringLiteral("Owen Owner"));
    form->addressField()->setText(QStringLiteral("owen@example.com"));
    form->acceptButton()->click();
    QCOMPARE(list->windowTitle(), QStringLiteral(" MailBoxes [1]"));
    QTreeWidgetItem* row = list->list()->topLevelItem(0);
    QCOMPARE(row->text(0), QStringLiteral("Owen Owner"));
    QCOMPARE(row->text(2), QStringLiteral("No"));
    QVERIFY(qv::findDatabase(std::string("Owen Owner")));
    QCOMPARE(qv::FOR.DIRNUMBER, 1u);  // the first database of an empty list

    // Changing it: an alternative address makes "Yes".
    settle();
    list->changeButton()->click();
    form = list->findChild<qvm::UpdateBox*>();
    QCOMPARE(form->ownerField()->text(), QStringLiteral("Owen Owner"));
    form->alternativeField(3)->setText(QStringLiteral("76543,210"));
    form->acceptButton()->click();
    QCOMPARE(list->list()->topLevelItem(0)->text(2), QStringLiteral("Yes"));
    list->close();
  }

  void aForumNameInUseIsRefused() {
    TestInstallation inst;
    inst.open();
    QVERIFY(qv::AddForumDatabase("Windows Forum", 1, 7));
    QPointer<qvm::AddForum> form = new qvm::AddForum;
    form->nameField()->setText(QStringLiteral("WINDOWS forum"));
    form->accept();
    QCOMPARE(form->forumId(), 0u);
    QVERIFY(inst.prompts.transcript().contains(QStringLiteral("A record with identical key already exists!")));
    form->nameField()->setText(QStringLiteral("Tools Forum"));
    form->accept();
    QVERIFY(form->forumId() != 0);
  }

  void theSelectionListKeepsStatusAndRenamesUnnamedDatabases() {
    TestInstallation inst;
    inst.open();
    uint32_t unnamed = qv::AddForumDatabase("Unknown:F1", 1, 7);
    uint32_t other = qv::AddForumDatabase("Alpha", 1, 7);
    auto* w = new qvm::ChangeForum;
    w->show();
    QCOMPARE(w->windowTitle(), QStringLiteral(" Database Selection [2]"));
    QTreeWidget* list = w->list();
    auto rowOf = [&](uint32_t id) {
      for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == id) return list->topLevelItem(i);
      return static_cast<QTreeWidgetItem*>(nullptr);
    };
    list->setCurrentItem(rowOf(unnamed));
    QVERIFY(w->menuEntries().contains(QStringLiteral("Change database name")));
    // Keep, drawn in the keep colour; normal again, in the list's own colours.
    press(list, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(rowOf(unnamed)->text(6), QStringLiteral("Keep"));
    QCOMPARE(rowOf(unnamed)->foreground(0).color(), colourItem(qv::ItemColourKeep));
    QVERIFY(qv::findDatabase(unnamed) && qv::FOR.DUMMY == 1);
    press(list, Qt::Key_Delete);
    QCOMPARE(rowOf(unnamed)->foreground(0).color(), colourItem(qv::ItemColourDelete));
    press(list, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(qv::findDatabase(unnamed) && qv::FOR.DUMMY == 0);
    QVERIFY(!rowOf(unnamed)->data(0, Qt::ForegroundRole).isValid());

    auto* rename = new qvm::NewDbName(unnamed);
    rename->nameField()->setText(QStringLiteral("Beta"));
    rename->accept();
    w->reload();
    list->setCurrentItem(rowOf(unnamed));
    QVERIFY(!w->menuEntries().contains(QStringLiteral("Change database name")));
    QVERIFY(qv::findDatabase(std::string("Beta")));

    // Enter makes the highlighted database the active one and is remembered.
    list->setCurrentItem(rowOf(other));
    press(list, Qt::Key_Return);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ChangeForum")) == 0; }));
    QCOMPARE(qv::Mem.ForumNumber, other);
    QCOMPARE(qv::KonfigGet(qv::ItemLastDatabase), int64_t(other));
  }

  void theWordIndexSwitchToggles() {
    TestInstallation inst;
    inst.open();
    uint32_t id = qv::AddForumDatabase("Alpha", 1, 7);
    QVERIFY(qv::ActivateDatabase(id));
    auto* w = new qvm::SetIndex;
    QCOMPARE(w->indexedLabel()->text(), QStringLiteral("The database is not word indexed"));
    QCOMPARE(w->autoLabel()->text(), QStringLiteral("Auto indexing (in Task Manager) is deactivated"));
    w->toggleButton()->click();
    QVERIFY(qv::findDatabase(id) && qv::FOR.INDEXTYPE == 1);
    QCOMPARE(w->toggleButton()->text(), QStringLiteral(" Deactivate auto word indexing (in Task Manager)"));
    w->toggleButton()->click();
    QVERIFY(qv::findDatabase(id) && qv::FOR.INDEXTYPE == 0);
    // A forum keeps no originals: the setting is not offered.
    QVERIFY(w->originalsLabel()->isHidden());
    QVERIFY(w->originalsButton()->isHidden());
  }

  void theIndexStatusWindowShowsAndSwitchesKeepingOriginals() {
    TestInstallation inst;
    inst.open();
    qv::MailboxSpec spec;
    spec.owner = "Mary Owner";
    spec.address = "mary@owner.example";
    uint32_t id = qv::AddMailbox(spec, false, 7);
    QVERIFY(qv::ActivateDatabase(id));
    auto* w = new qvm::SetIndex;
    w->show();
    QVERIFY(w->originalsButton()->isVisible());
    QCOMPARE(w->originalsLabel()->text(), QStringLiteral("Originals (full headers and attachments) are kept"));
    w->originalsButton()->click();
    QVERIFY(!qv::keepsOriginals(qv::KindMailDb));
    QCOMPARE(w->originalsLabel()->text(), QStringLiteral("Originals (full headers and attachments) are not kept"));
    QCOMPARE(w->originalsButton()->text(), QStringLiteral(" Keep originals of imported messages"));
    w->originalsButton()->click();
    QVERIFY(qv::keepsOriginals(qv::KindMailDb));
    w->close();
  }

  void theStartupWizardStoresItsDefaultsAndStartsTheImport() {
    TestInstallation inst;
    inst.open();
    auto* w = new qvm::StartupWizard;
    w->show();
    QVERIFY(w->findChildren<QLabel*>().size() > 4);
    bool hasText = false;
    QString first = QString::fromStdString(qv::GetMenuText(qv::kMenuMailboxSetup)).section(QStringLiteral("\r\n"), 0, 0);
    for (QLabel* l : w->findChildren<QLabel*>()) hasText = hasText || l->text().contains(first);
    QVERIFY(hasText);
    w->next();
    w->formatList()->setCurrentIndex(w->formatList()->findText(QStringLiteral("OzCIS")));
    w->next();
    w->directoryField()->setText(inst.root());
    w->next();
    QCOMPARE(w->page(), 3);
    w->startImport();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ImportMeny")) != 0; }));
    QCOMPARE(qv::KonfigGet(qv::ItemImportFormat), 12);
    QCOMPARE(QString::fromStdString(qv::KonfigText(qv::ItemImportDirectory)), inst.root());
  }

  void thePreferencesAreStoredAndMissingDirectoriesRefused() {
    TestInstallation inst;
    inst.open();
    auto* panel = new qvm::UserPanel;
    panel->dateFormat()->setCurrentIndex(panel->dateFormat()->findData(10));
    panel->speed(30)->setValue(7);
    panel->completion()->setCurrentIndex(panel->completion()->findData(2));
    QVERIFY(panel->save());
    QCOMPARE(qv::KonfigGet(qv::ItemDateFormat), 10);
    QCOMPARE(qv::KonfigGet(qv::ItemImportCompletion), 2);
    QCOMPARE(qv::SpeedVal(qv::KGet, qv::ItemImportSlice), 100);
    // Stored, not only kept in memory.
    qv::closeInstallation();
    inst.open();
    QCOMPARE(qv::KonfigGet(qv::ItemDateFormat), 10);
    QCOMPARE(qv::KonfigGet(qv::ItemSpeedImport), 7);

    auto* again = new qvm::UserPanel;
    again->dataDir()->setText(inst.root() + QStringLiteral("/missing"));
    inst.prompts.script(qv::BtnNo);
    QVERIFY(!again->save());
    QCOMPARE(inst.prompts.count(" Path Not Found"), 1);
    QCOMPARE(QString::fromStdString(qv::AutoPathGet(qv::ItemDataDirectory)), inst.root());
    again->close();
    panel->close();
  }
};

QTEST_MAIN(DatabaseWindowsTest)
#include "database_windows_test.moc"
