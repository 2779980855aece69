// Files or a folder dropped on the frame's window area open the import
// wizard with them chosen, also when the wizard is open already; they stay
// chosen when the file type is chosen after the drop.
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include "frame/main_frame.h"
#include "import/import_settings.h"
#include "import/import_wizard.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// Drops the paths on the frame's window area as a file manager does.
void drop(qvm::MainFrame& frame, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  data.setUrls(urls);
  QWidget* target = frame.area()->viewport();
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &dropped);
  QVERIFY(dropped.isAccepted());
}

qvm::ImportMeny* wizard() {
  return qobject_cast<qvm::ImportMeny*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("ImportMeny"))));
}

void writeFile(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("From a@b Mon Jan  1 00:00:00 2001\nSubject: x\n\ntext\n");
}

}  // namespace

class FileDropTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void droppedFilesOpenTheWizardWithThemChosen() {
    TestInstallation inst;
    inst.open();
    QTemporaryDir sources, other;
    const QString a = sources.filePath(QStringLiteral("saved.txt")), b = sources.filePath(QStringLiteral("old mail"));
    const QString elsewhere = other.filePath(QStringLiteral("third.mbx"));
    writeFile(a);
    writeFile(b);
    writeFile(elsewhere);
    qvm::MainFrame frame(1);
    frame.show();
    settle();

    drop(frame, {a, b, elsewhere});
    QVERIFY(waitFor([] { return wizard() != nullptr; }));
    qvm::ImportMeny* w = wizard();
    QCOMPARE(w->methodGroup()->checkedId(), int(qv::SelectFiles));
    // Files of the first one's folder; the one from another folder is left out.
    qv::ImportSettings s = w->settings();
    QCOMPARE(QDir(QString::fromStdString(s.path)), QDir(sources.path()));
    QCOMPARE(s.masks, (std::vector<std::string>{"saved.txt", "old mail"}));
    // Choosing the file type after the drop keeps the files.
    w->setFormat(QStringLiteral("Unix Mail"));
    QCOMPARE(w->settings().masks, (std::vector<std::string>{"saved.txt", "old mail"}));

    // A folder dropped on the open wizard's frame: a directory selection.
    drop(frame, {other.path()});
    settle();
    QCOMPARE(wizard(), w);
    QCOMPARE(w->methodGroup()->checkedId(), int(qv::SelectDirectory));
    QCOMPARE(QDir(QString::fromStdString(w->settings().path)), QDir(other.path()));
    QVERIFY(!w->settings().masks.empty());

    w->close();
    settle();
  }

  // Text or web addresses are no files: the frame refuses them.
  void otherDropsAreRefused() {
    TestInstallation inst;
    inst.open();
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QMimeData data;
    data.setText(QStringLiteral("some text"));
    data.setUrls({QUrl(QStringLiteral("https://example.org/mail.mbox"))});
    QWidget* target = frame.area()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(target, &enter);
    QVERIFY(!enter.isAccepted());
    settle();
    QVERIFY(wizard() == nullptr);
  }
};

QTEST_MAIN(FileDropTest)
#include "file_drop_test.moc"
