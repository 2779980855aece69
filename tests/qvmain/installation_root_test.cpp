// Which installation the window program opens: --root, else $QUORVANE_ROOT,
// else ~/Quorvane, never the folder it was started in; and the program's
// desktop entry, which starts it without a root.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "frame/installation_root.h"
#include "support/gui_fixture.h"

class InstallationRootTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void rootOptionComesFirst() {
    QCOMPARE(qvm::installationRoot(QStringLiteral("/data/mail"), QStringLiteral("/srv/archive"),
                                   QStringLiteral("/home/ann")),
             QStringLiteral("/data/mail"));
  }

  void variableComesNext() {
    QCOMPARE(qvm::installationRoot(std::nullopt, QStringLiteral("/srv/archive"), QStringLiteral("/home/ann")),
             QStringLiteral("/srv/archive"));
  }

  void otherwiseTheHomeFolder() {
    QCOMPARE(qvm::installationRoot(std::nullopt, QString(), QStringLiteral("/home/ann")),
             QStringLiteral("/home/ann/Quorvane"));
  }

  void theProcessHomeFolderAndVariable() {
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedRoot = qgetenv(qvm::kRootVariable);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv(qvm::kRootVariable);
    const QString fromHome = qvm::installationRoot(std::nullopt);
    qputenv(qvm::kRootVariable, QByteArrayLiteral("/srv/archive"));
    const QString fromVariable = qvm::installationRoot(std::nullopt);
    qputenv("HOME", savedHome);
    if (savedRoot.isNull())
      qunsetenv(qvm::kRootVariable);
    else
      qputenv(qvm::kRootVariable, savedRoot);
    QCOMPARE(fromHome, QDir(home.path()).filePath(QStringLiteral("Quorvane")));
    QCOMPARE(fromVariable, QStringLiteral("/srv/archive"));
  }

  // The program started with an empty home folder and no root makes its
  // installation in ~/Quorvane and writes nothing where it was started.
  void theProgramStartsInTheHomeFolder() {
    QTemporaryDir home;
    QTemporaryDir startedIn;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QString::fromLatin1(qvm::kRootVariable));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(startedIn.path());
    program.start(QStringLiteral(QV_QUORVANE_PROGRAM), QStringList());
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    const QString control = home.path() + QStringLiteral("/Quorvane/CFG/IDX008.ADF");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(control) || program.state() == QProcess::NotRunning, 30000);
    program.kill();
    program.waitForFinished(10000);
    QVERIFY2(QFile::exists(control), program.readAllStandardError().constData());
    QCOMPARE(QDir(startedIn.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
  }

  // desktop-file-validate accepts the entry where it is installed.
  void theDesktopEntryIsValid() {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) QSKIP("desktop-file-validate is not installed");
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(validator, {QStringLiteral(QV_SOURCE_DIR "/qvmain/resources/quorvane.desktop")});
    QVERIFY(check.waitForFinished(30000));
    const QByteArray said = check.readAll();
    QVERIFY2(check.exitCode() == 0, said.constData());
    QVERIFY2(said.trimmed().isEmpty(), said.constData());
  }

  // The entry starts the program without a root: it then opens ~/Quorvane.
  void theDesktopEntryStartsWithoutRoot() {
    QFile entry(QStringLiteral(QV_SOURCE_DIR "/qvmain/resources/quorvane.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList execLines;
    while (!entry.atEnd()) {
      const QString line = QString::fromUtf8(entry.readLine()).trimmed();
      if (line.startsWith(QStringLiteral("Exec="))) execLines << line;
    }
    QCOMPARE(execLines, QStringList{QStringLiteral("Exec=quorvane")});
  }
};

QTEST_MAIN(InstallationRootTest)
#include "installation_root_test.moc"
