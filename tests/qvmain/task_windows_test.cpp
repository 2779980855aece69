// The scheduled-task windows: the definition form's checks and messages, its
// directory dialog, the definition and task lists edited through their
// forms, the task form's run-information check and links, the log viewer,
// and the frame's menu items that open them.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "import/directory_dialog.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "support/gui_fixture.h"
#include "tasks/browse_batch.h"
#include "tasks/browse_tasks.h"
#include "tasks/definition_edit.h"
#include "tasks/show_log.h"
#include "tasks/task_log.h"
#include "tasks/task_edit.h"
#include "tasks/update_batch.h"
#include "tasks/update_task.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

uint32_t mailbox() {
  qv::MailboxSpec spec;
  spec.owner = "Owen Marsh";
  spec.address = "owen@example.org";
  return qv::AddMailbox(spec);
}

// Acts on the form of type T that the next modal run opens, then closes it
// by accepting (and rejecting when the accept was refused).
template <typename T>
void answerForm(std::function<void(T*)> act) {
  QTimer::singleShot(0, [act] {
    T* form = qobject_cast<T*>(QApplication::activeModalWidget());
    QVERIFY(form);
    act(form);
    form->accept();
    if (form->isVisible()) form->reject();
  });
}

qv::ImportDefinition newsDefinition(const QString& dir) {
  qv::ImportDefinition d;
  d.description = "Spool";
  d.settings.format = "Unix News";
  d.settings.method = qv::SelectDirectory;
  d.settings.path = dir.toStdString();
  d.settings.masks = {"*"};
  d.settings.importNews = true;
  return d;
}

}  // namespace

class TaskWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theDefinitionFormChecksWhatItKeeps() {
    TestInstallation inst;
    inst.open();
    qvm::UpdateBatch form(qvm::BatchFormAdd, qv::ImportDefinition());
    QCOMPARE(form.windowTitle(), QStringLiteral(" Add New Import definition"));
    form.nameField()->setText(QStringLiteral("Mail"));
    form.setFormat(QStringLiteral("Unix Mail"));
    QVERIFY(form.mailCheck()->isChecked());
    QVERIFY2(!form.forumCheck()->isEnabled(), "the format offers no forum messages");

    form.methodGroup()->button(qv::SelectFiles)->click();
    form.pathField()->setText(inst.root());
    form.accept();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text,
             std::string("When using the file selection method \r\nyou must select which file(s) to import!"));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" File specification error!"));

    inst.prompts.reset();
    form.methodGroup()->button(qv::SelectDirectory)->click();
    form.masksField()->clear();
    form.accept();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text, std::string("You must specify which files to import!"));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" File specification error!"));

    inst.prompts.reset();
    form.masksField()->setText(QStringLiteral("*.mbox"));
    form.accept();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].caption, std::string("No MailBox available!"));
    QCOMPARE(inst.prompts.requests[0].text, std::string("Set up MailBox before import!"));
    QVERIFY(form.isVisible() || form.result() != QDialog::Accepted);
    QVERIFY(qv::ListImportDefinitions().empty());
  }

  void theDirectoryDialogIsTitledWithTheFormat() {
    TestInstallation inst;
    inst.open();
    QVERIFY(mailbox() != 0);
    qvm::UpdateBatch form(qvm::BatchFormAdd, qv::ImportDefinition());
    form.setFormat(QStringLiteral("Unix Mail"));
    form.methodGroup()->button(qv::SelectDirectory)->click();
    form.pathField()->setText(inst.root());
    form.openSelection();
    QPointer<qvm::DirectoryDialog> dlg = form.directoryDialog();
    QVERIFY(dlg);
    QVERIFY2(dlg->windowTitle().endsWith(QStringLiteral("Unix Mail format file(s)")), qPrintable(dlg->windowTitle()));
    dlg->masksField()->setText(QStringLiteral("*.mbox;*.mbx"));
    dlg->accept();
    settle();
    QCOMPARE(form.masksField()->text(), QStringLiteral("*.mbox;*.mbx"));
    QCOMPARE(form.pathField()->text(), dlg ? dlg->directory() : form.pathField()->text());
  }

  void theDefinitionListIsEditedThroughTheForm() {
    TestInstallation inst;
    inst.open();
    uint32_t box = mailbox();
    QVERIFY(box != 0);
    QVERIFY(qv::AddForumDatabase("Spool", qv::KindNewsDb) != 0);
    auto* w = new qvm::BrowseBatch;
    QPointer<qvm::BrowseBatch> guard = w;
    QCOMPARE(w->windowTitle(), QStringLiteral(" Predefined Import Procedures [0]"));
    QVERIFY(!w->updateButton()->isEnabled());

    answerForm<qvm::UpdateBatch>([&](qvm::UpdateBatch* f) {
      f->nameField()->setText(QStringLiteral("Home mail"));
      f->setFormat(QStringLiteral("Unix Mail"));
      f->methodGroup()->button(qv::SelectDirectory)->click();
      f->pathField()->setText(inst.root());
      f->masksField()->setText(QStringLiteral("*.mbox"));
    });
    w->edit(qvm::BatchFormAdd);
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    QCOMPARE(w->windowTitle(), QStringLiteral(" Predefined Import Procedures [1]"));
    QCOMPARE(w->list()->topLevelItem(0)->text(0), QStringLiteral("Home mail"));
    QCOMPARE(w->list()->topLevelItem(0)->text(3), QStringLiteral("Owen Marsh"));

    answerForm<qvm::UpdateBatch>([&](qvm::UpdateBatch* f) {
      QCOMPARE(f->windowTitle(), QStringLiteral(" Update Import definition"));
      QCOMPARE(f->masksField()->text(), QStringLiteral("*.mbox"));
      f->nameField()->setText(QStringLiteral("All mail"));
      f->reimportCheck()->setChecked(true);
    });
    w->edit(qvm::BatchFormUpdate);
    qv::ImportDefinition d;
    QVERIFY(qv::ReadImportDefinition(qv::FindImportDefinition("All mail"), d));
    QVERIFY(d.settings.allowReimport);
    QCOMPARE(d.settings.mailbox, box);

    answerForm<qvm::UpdateBatch>([&](qvm::UpdateBatch* f) {
      QCOMPARE(f->windowTitle(), QStringLiteral(" Delete Import definition"));
      QVERIFY(!f->nameField()->isEnabled());
    });
    w->edit(qvm::BatchFormDelete);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Predefined Import Procedures [0]"));
    QVERIFY(qv::ListImportDefinitions().empty());
    w->close();
    settle();
    QVERIFY(guard.isNull());
  }

  void theTaskFormNeedsRunInformationAndKeepsTheLinks() {
    TestInstallation inst;
    inst.open();
    QVERIFY(qv::AddForumDatabase("Spool", qv::KindNewsDb) != 0);
    uint32_t def = qv::AddImportDefinition("Spool", newsDefinition(inst.root()).settings);
    QVERIFY2(def != 0, qPrintable(inst.prompts.transcript()));
    QVERIFY(qv::AddImportDefinition("Other", newsDefinition(inst.root()).settings) != 0);

    qvm::UpdateTask form(qvm::TaskFormAdd, qv::TaskEdit());
    QCOMPARE(form.windowTitle(), QStringLiteral(" Add New Task"));
    QVERIFY(form.activeBox()->isChecked());
    QCOMPARE(form.definitionList()->count(), 2);
    form.nameField()->setText(QStringLiteral("Nightly"));
    form.accept();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    QCOMPARE(inst.prompts.requests[0].text, std::string("A Task without run information cannot be active!"));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" Warning!"));
    QVERIFY(qv::ListTasks().empty());

    inst.prompts.reset();
    form.weekdayBoxes()[3]->setChecked(true);  // Wednesday
    form.repeatTime()->setTime(QTime(2, 30));
    QVERIFY(form.nextRunLabel()->text() != QStringLiteral("-"));
    form.cleanupBoxes()[1]->setChecked(true);  // purge
    form.definitionList()->item(0)->setCheckState(Qt::Checked);
    form.accept();
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    qv::TaskEdit t;
    QVERIFY(qv::ReadTask(form.taskId(), t));
    QCOMPARE(t.definitions, std::vector<uint32_t>{def});
    QCOMPARE(int(t.task.DAYS[3]), 1);
    QCOMPARE(t.task.RUNNEXTTIME, qv::timeFromHMS(2, 30, 0));
    QCOMPARE(qv::weekday(t.task.RUNNEXTDATE), 3);
    QVERIFY(t.task.DOPURGE && !t.task.DOCOUNT && t.task.ACTIVE);

    // A one-off run instead: the repeat days go, the task stays active.
    qvm::UpdateTask again(qvm::TaskFormUpdate, t);
    QCOMPARE(again.windowTitle(), QStringLiteral(" Update Task"));
    QVERIFY(again.definitionList()->item(0)->checkState() == Qt::Checked);
    again.weekdayBoxes()[3]->setChecked(false);
    again.onceBox()->setChecked(true);
    again.onceDate()->setDate(QDate(2030, 1, 2));
    again.onceTime()->setTime(QTime(4, 5));
    again.accept();
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    QVERIFY(qv::ReadTask(t.task.ID, t));
    QCOMPARE(t.task.RUNNOWDATE, qv::dateFromYMD(2030, 1, 2));
    QCOMPARE(t.task.RUNNOWTIME, qv::timeFromHMS(4, 5, 0));
    QCOMPARE(t.task.RUNNEXTDATE, 0);
  }

  void theTaskListIsEditedThroughTheForm() {
    TestInstallation inst;
    inst.open();
    QVERIFY(qv::AddForumDatabase("Spool", qv::KindNewsDb) != 0);
    uint32_t def = qv::AddImportDefinition("Spool", newsDefinition(inst.root()).settings);
    QVERIFY(def != 0);
    auto* w = new qvm::BrowseTasks;
    QCOMPARE(w->windowTitle(), QStringLiteral(" Scheduled Tasks"));
    QVERIFY(!w->deleteButton()->isEnabled());
    answerForm<qvm::UpdateTask>([&](qvm::UpdateTask* f) {
      f->nameField()->setText(QStringLiteral("Monthly"));
      f->monthDayFields()[0]->setValue(5);
      f->monthDayFields()[1]->setValue(20);
      f->definitionList()->item(0)->setCheckState(Qt::Checked);
    });
    w->edit(qvm::TaskFormAdd);
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    QCOMPARE(w->list()->topLevelItemCount(), 1);
    QCOMPARE(w->list()->topLevelItem(0)->text(0), QStringLiteral("Monthly"));
    QCOMPARE(w->list()->topLevelItem(0)->text(1), QStringLiteral("Yes"));
    QVERIFY(!w->list()->topLevelItem(0)->text(2).isEmpty());
    QCOMPARE(w->list()->topLevelItem(0)->text(6), QStringLiteral("1"));

    answerForm<qvm::UpdateTask>([&](qvm::UpdateTask* f) { f->activeBox()->setChecked(false); });
    w->edit(qvm::TaskFormUpdate);
    QCOMPARE(w->list()->topLevelItem(0)->text(1), QStringLiteral("No"));

    answerForm<qvm::UpdateTask>([&](qvm::UpdateTask* f) {
      QCOMPARE(f->windowTitle(), QStringLiteral(" Delete Task"));
    });
    w->edit(qvm::TaskFormDelete);
    QCOMPARE(w->list()->topLevelItemCount(), 0);
    QVERIFY(qv::ListTasks().empty());
    QCOMPARE(qv::ListImportDefinitions().size(), size_t(1));
    w->close();
    settle();
  }

  void theLogViewerShowsTheLog() {
    TestInstallation inst;
    inst.open();
    auto* w = new qvm::ShowLog;
    QVERIFY(w->text()->toPlainText().isEmpty());
    QFile f(QString::fromStdString(qv::taskLogPath()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\r\nNightly Wednesday, December 9, 2026 03:00\r\nImport procedures:\r\n Spool Result: No errors Time: 3      s\r\n");
    f.close();
    w->refreshButton()->click();
    QVERIFY(w->text()->toPlainText().contains(QStringLiteral("Nightly Wednesday, December 9, 2026 03:00\nImport procedures:")));
    QVERIFY(w->text()->isReadOnly());
    w->close();
    settle();
  }

  void theMenuItemsOpenTheWindows() {
    TestInstallation inst;
    inst.open();
    qvm::registerAllWindows();
    for (int number : {qvm::ProcScheduleTasks, qvm::ProcDefineImports, qvm::ProcShowTaskLog}) {
      const qvm::Procedure* p = qvm::procedure(number);
      QVERIFY(p);
      QVERIFY2(qvm::procedureInVersion(*p, 0), qPrintable(QString::number(number)));
    }
    QVERIFY(qvm::startProcedure(QStringLiteral("BrowseTasks")));
    QVERIFY(qvm::startProcedure(QStringLiteral("BrowseBatch")));
    QVERIFY(qvm::startProcedure(QStringLiteral("ShowLog")));
    for (const char* name : {"BrowseTasks", "BrowseBatch", "ShowLog"})
      QVERIFY2(qvm::TmGetId(QString::fromLatin1(name)) != 0, name);
    qvm::TmDestroyGroup(qvm::kNotToolsGroup);
    settle();
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseTasks")), 0);
  }
};

QTEST_MAIN(TaskWindowsTest)
#include "task_windows_test.moc"
