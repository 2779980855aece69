// The program's browsers on a converted installation (Qt Test, platform
// offscreen): an installation of the old layout is converted, the program
// starts on it, and the mail of each mailbox and the forum's messages show
// with their texts.
#include <QtTest>
#include <algorithm>

#include "browse/browse_list.h"
#include "browse/browse_window.h"
#include "browse_data.h"
#include "conv_install.h"
#include "conv_run.h"
#include "old_installation.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/installation.h"
#include "services/messages.h"
#include "services/startup.h"
#include "support/gui_fixture.h"

using namespace qvtest;

class ConvBrowseTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void browsersShowTheConvertedMailAndForums() {
    TestInstallation inst;
    writeOldInstallation(inst.rootStd());
    // Before the conversion the program refuses the old files.
    QCOMPARE(inst.open(), int(qv::StartupStop));
    {
      qvconv::ConvRun run(qvconv::inspect(inst.rootStd()));
      QVERIFY(run.start());
      QCOMPARE(int(qvconv::runToEnd(run)), int(qvconv::ConvState::Finished));
    }
    inst.prompts.reset();
    QCOMPARE(inst.open(), int(qv::StartupGo));
    QCOMPARE(inst.prompts.count("Upgrading to version 3.7"), 1);

    QVERIFY(qv::findDatabase("Mary Owner"));
    qv::useDatabase();
    auto* mail = openBrowser(qv::KindMailDb, 900);
    QVERIFY(mail);
    QCOMPARE(rowIds(mail), (std::vector<uint32_t>{kMailHtml, kMailGreeting, kMailDateHeader}));
    QVERIFY(mail->showMessage(kMailDateHeader));
    mail->close();
    settle();

    QVERIFY(qv::findDatabase("John Smith"));
    qv::useDatabase();
    mail = openBrowser(qv::KindMailDb, 900);
    QVERIFY(mail);
    QCOMPARE(rowIds(mail), (std::vector<uint32_t>{kMailReceived, kMailJohn}));
    mail->close();
    settle();

    QVERIFY(qv::findDatabase("IBMPRO"));
    qv::useDatabase();
    auto* forum = openBrowser(qv::KindForumDb, 900);
    QVERIFY(forum);
    std::vector<uint32_t> ids = rowIds(forum);
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (std::vector<uint32_t>{1001, 1002, 1003}));
    QVERIFY(forum->showMessage(1002));
  }
};

QTEST_MAIN(ConvBrowseTest)
#include "conv_browse_test.moc"
