// The converter's window on generated installations (Qt Test, platform
// offscreen): text and buttons by version, the status line, and a
// conversion started with the start button.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "conv_install.h"
#include "conv_window.h"
#include "old_installation.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using namespace qvconv;

class ConvWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    prompts_.reset();
    qv::setPrompter(&prompts_);
  }
  void cleanup() { qv::setPrompter(nullptr); }

  void upgradedInstallationOffersOnlyExit() {
    qvtest::TempDir d;
    qvtest::writeNewLayout(d.path(), 360);
    FILECONV w(inspect(d.path()));
    QCOMPARE(w.objectName(), QStringLiteral("FILECONV$BASEWINDOW"));
    QVERIFY(w.textLabel()->text().startsWith(QStringLiteral("You have already upgraded to version 3.60.")));
    QVERIFY(!w.startButton()->isEnabled());
    QVERIFY(w.exitButton()->isEnabled());
    QCOMPARE(w.statusLabel()->text(), QStringLiteral("Preparing for conversion"));
  }

  void versions330To352OfferOnlyExit() {
    qvtest::TempDir d;
    qvtest::writeNewLayout(d.path(), 340);
    FILECONV w(inspect(d.path()));
    QCOMPARE(w.textLabel()->text(),
             QStringLiteral("No need to run a conversion program when upgrading from version 3.30 - 3.52."));
    QVERIFY(!w.startButton()->isEnabled());
  }

  void startConvertsAndLeavesOnlyExit() {
    qvtest::TempDir d;
    qvtest::writeOldInstallation(d.path());
    FILECONV w(inspect(d.path()));
    w.show();
    QVERIFY(w.textLabel()->text().contains(QStringLiteral("Please back up your entire Quorvane installation")));
    QVERIFY(w.startButton()->isEnabled());
    QSignalSpy ended(&w, &FILECONV::ended);
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    QVERIFY(!w.startButton()->isEnabled());
    QVERIFY(!w.exitButton()->isEnabled());
    QVERIFY(ended.wait(60000));
    QCOMPARE(ended.at(0).at(0).toBool(), true);
    QCOMPARE(w.statusLabel()->text(), QStringLiteral("Conversion finished!"));
    QVERIFY(!w.startButton()->isEnabled());
    QVERIFY(w.exitButton()->isEnabled());
    QCOMPARE(inspect(d.path()).situation, Situation::Upgraded);
  }

  void aFailureClosesTheWindowAfterItsMessage() {
    qvtest::TempDir d;
    qvtest::writeOldInstallation(d.path(), {.duplicateOwners = true});
    FILECONV w(inspect(d.path()));
    w.show();
    QSignalSpy ended(&w, &FILECONV::ended);
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    QVERIFY(ended.wait(60000));
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    QCOMPARE(prompts_.requests.size(), size_t(1));
    QCOMPARE(QString::fromStdString(prompts_.requests[0].caption), QStringLiteral("Setup problem!"));
    QVERIFY(!w.isVisible());
  }

 private:
  qvtest::RecordingPrompter prompts_;
};

QTEST_MAIN(ConvWindowTest)
#include "conv_window_test.moc"
