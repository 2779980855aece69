// Help: every topic that a window's help button or the frame opens has a page.
#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "database/about.h"
#include "database/add_forum.h"
#include "database/browse_box.h"
#include "database/change_forum.h"
#include "database/database_selection.h"
#include "database/new_db_name.h"
#include "database/set_index.h"
#include "database/startup_wizard.h"
#include "database/topic_codes.h"
#include "database/update_box.h"
#include "help/help_window.h"
#include "import/directory_dialog.h"
#include "import/import_wizard.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "setup/user_panel.h"
#include "support/gui_fixture.h"

using namespace qvtest;

class HelpTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void everyHelpButtonOpensAPage() {
    TestInstallation inst;
    inst.open();
    uint32_t id = qv::AddForumDatabase("Alpha", 1, 7);
    qv::ActivateDatabase(id);
    QList<QWidget*> windows = {new qvm::ChangeForum,       new qvm::BrowseBox,
                               new qvm::SetIndex,          new qvm::UserPanel,
                               new qvm::StartupWizard,     new qvm::ImportMeny,
                               new qvm::UpdateBox(1, 0),   new qvm::AddForum,
                               new qvm::NewDbName(id),     new qvm::DatabaseSelection(qv::KindForumDb, false),
                               new qvm::GpCodes(0),        new qvm::UpdateCodes(1, qv::Topic()),
                               new qvm::DirectoryDialog(qvm::DirectoryMode::Tree, QStringLiteral("OzCIS"), inst.root(), {})};
    for (QWidget* w : windows) {
      bool found = false;
      for (QPushButton* b : w->findChildren<QPushButton*>()) {
        QString topic = b->property("helpTopic").toString();
        if (topic.isEmpty()) continue;
        found = true;
        QVERIFY2(!qvm::helpPage(topic).isEmpty(), qPrintable(topic));
      }
      QVERIFY2(found, qPrintable(w->windowTitle()));
      w->close();
      delete w;
    }
    for (const char* topic : {"~What_is_Quorvane_", "~What_s_new_in_Quorvane_3.7_", "~Support_and_future_updates",
                              "Contents", "How_to_use_help"})
      QVERIFY2(!qvm::helpPage(QString::fromLatin1(topic)).isEmpty(), topic);
  }

  // Every help topic the program's code names (a "~" name) has a page: a
  // topic without one would silently show the contents.
  void everyTopicNamedInTheProgramHasAPage() {
    const QRegularExpression topicName(QStringLiteral("\"(~[A-Za-z0-9_.]+)\""));
    int named = 0;
    for (const char* dir : {"qvmain", "qvdata"}) {
      QDirIterator it(QStringLiteral(QV_SOURCE_DIR "/") + QLatin1String(dir), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                      QDir::Files, QDirIterator::Subdirectories);
      while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = topicName.globalMatch(text); m.hasNext();) {
          const QString topic = m.next().captured(1);
          ++named;
          QVERIFY2(!qvm::helpPage(topic).isEmpty(), qPrintable(topic + QStringLiteral(" in ") + f.fileName()));
        }
      }
    }
    QVERIFY(named > 10);
  }

  // Every page can be reached from the contents: a page linked from nowhere
  // is only ever seen through one window's help button.
  void everyPageIsListedInTheContents() {
    QFile file(qvm::helpPage(QStringLiteral("Contents")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString contents = QString::fromUtf8(file.readAll());
    const QStringList pages = qvm::helpTopics();
    QVERIFY(pages.size() > 10);
    for (const QString& page : pages) {
      if (page == QStringLiteral("Contents")) continue;
      QVERIFY2(contents.contains(QStringLiteral("href=\"") + page + QStringLiteral(".html\"")), qPrintable(page));
    }
  }

  void theWindowShowsTheTopicAndFallsBackToTheContents() {
    TestInstallation inst;
    qvm::showHelp(QStringLiteral("~Import_Wizard"));
    QCOMPARE(qvm::shownHelpTitle(), QStringLiteral("The Import Wizard"));
    qvm::showHelp(QStringLiteral("~No_such_topic"));
    QCOMPARE(qvm::shownHelpTitle(), QStringLiteral("Contents"));
  }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
