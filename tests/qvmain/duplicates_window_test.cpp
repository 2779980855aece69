// The duplicate elimination window: the frame starts it from the persons
// menu and the tool bar, S&tart runs it to its end and the time is told;
// headings, counters and help by kind; Abort while records are changed
// asks, and No goes on; a scheduled run starts at once and tells nothing.
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "browse_data.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "maintenance/duplicates_window.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

qvm::DuplicatesWindow* dupWindow(const char* thread = "Duplicates") {
  return qobject_cast<qvm::DuplicatesWindow*>(qvm::TmWindow(qvm::TmGetId(QString::fromLatin1(thread))));
}

// A forum where one member wrote under two strings of one CompuServe number.
uint32_t forumWithDuplicates() {
  uint32_t id = makeBrowseDatabase(qv::KindForumDb, "Dup Forum");
  addSection(100, 1, "General");
  addPerson(10, "Ann", "Lee", 0, 0, "12345,678");
  addPerson(11, "A.", "Lee", 0, 0, "12345.678");
  addPerson(12, "Bob", "Ray", 0, 0, "22222,1");
  addThread(1000, 100, "Talk", 3);
  addMessage(500, 1000, 10, 12, 100, "one\r\n");
  addMessage(501, 1000, 11, 12, 200, "two\r\n");
  addMessage(502, 1000, 12, 10, 300, "three\r\n");
  return id;
}

int64_t persons() {
  qv::OP_CLOSE(qv::OpShared, {qv::FilePerson});
  int64_t n = qv::Person.records();
  qv::OP_CLOSE(qv::OpRelease, {qv::FilePerson});
  return n;
}

QStringList labelTexts(QWidget* w) {
  QStringList out;
  for (QLabel* l : w->findChildren<QLabel*>()) out << l->text();
  return out;
}

const std::string kQuestion =
    "Stopping at this stage will cause message counts \r\nper section, thread and person to be incorrect.\r\nIf you "
    "do quit, please run the Count Messages process to correct the numbers! Are you sure you want to quit?";

}  // namespace

class DuplicatesWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFrameMergesFromThePersonsMenu() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = forumWithDuplicates();
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QAction* merge = frame.menuAction(qvm::ProcMergeDuplicates);
    QVERIFY(merge->isEnabled());
    QVERIFY(frame.buttonAction(qvm::ProcMergeDuplicates)->isEnabled());
    merge->trigger();
    QVERIFY(waitFor([] { return dupWindow() != nullptr; }));
    qvm::DuplicatesWindow* w = dupWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral(" Duplicate Merging [Dup Forum]"));
    QCOMPARE(w->heading()->text(), QStringLiteral("Merge Duplicate Forum Members"));
    QCOMPARE(w->helpTopic(), QStringLiteral("~Forum_Members"));
    QStringList labels = labelTexts(w);
    for (const char* caption : {"Existing Forum Members in database:", "Obsolete Forum Members removed:",
                                "Duplicate Forum Members merged:", "Remaining Forum Members"})
      QVERIFY2(labels.contains(QString::fromLatin1(caption)), caption);
    QCOMPARE(w->counters().size(), 4);
    QCOMPARE(w->counters()[0]->toolTip(), QStringLiteral("Number of Forum members before duplicate elimination"));
    QCOMPARE(w->counters()[1]->toolTip(), QStringLiteral("Number of Forum members without related messages"));
    QCOMPARE(w->counters()[2]->toolTip(), QStringLiteral("Number of duplicate Forum members"));
    QCOMPARE(w->counters()[3]->toolTip(), QStringLiteral("Number of remaining Forum members"));
    QCOMPARE(w->startButton()->text(), QStringLiteral("S&tart"));
    QCOMPARE(w->startButton()->toolTip(), QStringLiteral("Start the duplicate elimination process"));
    QCOMPARE(w->abortButton()->toolTip(), QStringLiteral("End this session"));

    qv::KonfigSet(qv::ItemImportCompletion, 1);  // tell the time, then close
    inst.prompts.reset();
    QTest::mouseClick(w->startButton(), Qt::LeftButton);
    QVERIFY2(waitFor([] { return dupWindow() == nullptr; }), qPrintable(inst.prompts.transcript()));
    QCOMPARE(persons(), int64_t(2));
    bool told = false;
    for (const qv::PromptRequest& r : inst.prompts.requests)
      told = told || (r.caption == " Duplicate Elimination " && r.text.rfind("The time for completion was: ", 0) == 0 &&
                      r.text.find(" seconds") != std::string::npos);
    QVERIFY2(told, qPrintable(inst.prompts.transcript()));
  }

  void headingsCountersAndHelpByKind() {
    TestInstallation inst;
    inst.open();
    makeBrowseDatabase(qv::KindMailDb, "Dup Box");
    {
      QPointer<qvm::DuplicatesWindow> w = new qvm::DuplicatesWindow;
      QCOMPARE(w->heading()->text(), QStringLiteral("Merge Duplicate Mail Partners"));
      QCOMPARE(w->helpTopic(), QStringLiteral("~Mail_Partners"));
      QStringList labels = labelTexts(w);
      for (const char* caption : {"Existing Mail Partners in database:", "Obsolete Mail Partners removed:",
                                  "Duplicate Mail Partners merged:", "Remaining Mail Partners"})
        QVERIFY2(labels.contains(QString::fromLatin1(caption)), caption);
      QCOMPARE(qvm::TmGetId(QStringLiteral("DupMail")) != 0, true);
      // The tips speak of Forum members in every kind.
      QCOMPARE(w->counters()[2]->toolTip(), QStringLiteral("Number of duplicate Forum members"));
      w->close();
      QVERIFY(waitFor([&] { return w.isNull(); }));
    }
    makeBrowseDatabase(qv::KindNewsDb, "comp.dup");
    QPointer<qvm::DuplicatesWindow> w = new qvm::DuplicatesWindow;
    QCOMPARE(w->heading()->text(), QStringLiteral("Merge Duplicate Newsgroup Participants"));
    QCOMPARE(w->helpTopic(), QStringLiteral("~Newsgroup_Participants"));
    QVERIFY(labelTexts(w).contains(QStringLiteral("Remaining Newsgroup Participants:")));
    w->close();
    QVERIFY(waitFor([&] { return w.isNull(); }));
  }

  void abortWhileRecordsChangeAsksAndNoGoesOn() {
    TestInstallation inst;
    inst.open();
    forumWithDuplicates();
    qv::KonfigSet(qv::ItemImportCompletion, 2);  // the window stays open at the end
    QPointer<qvm::DuplicatesWindow> window = new qvm::DuplicatesWindow;
    qvm::DuplicatesWindow& w = *window;
    w.show();
    w.start();
    QVERIFY(w.running());
    QCOMPARE(w.step(), qv::DupRepair);  // the first step changes records
    inst.prompts.reset();
    inst.prompts.script(qv::BtnNo);
    w.requestAbort();
    QCOMPARE(inst.prompts.requests.size(), size_t(1));
    const qv::PromptRequest& q = inst.prompts.requests[0];
    QCOMPARE(q.caption, std::string("Duplicate Forum Member elimination interrupted"));
    QCOMPARE(q.text, kQuestion);
    QCOMPARE(q.buttons, unsigned(qv::BtnYes | qv::BtnNo));
    QCOMPARE(q.defaultButton, qv::BtnNo);
    QVERIFY(!window.isNull());
    QVERIFY(w.running());
    // No goes on to the end; the window stays open with the finish shown.
    QVERIFY(waitFor([&] { return !window->running(); }));
    QCOMPARE(w.lastState(), qv::PurgeState::Finished);
    QCOMPARE(w.stepLabel()->text(), QStringLiteral("The Duplicate Removal Process has finished!"));
    QCOMPARE(w.counters()[0]->text(), QStringLiteral("3"));
    QCOMPARE(w.counters()[2]->text(), QStringLiteral("1"));
    QCOMPARE(w.counters()[3]->text(), QStringLiteral("2"));
    // After the finish Abort closes at once.
    inst.prompts.reset();
    w.requestAbort();
    QVERIFY(waitFor([&] { return window.isNull(); }));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void yesStopsAndKeepsWhatWasCommitted() {
    TestInstallation inst;
    inst.open();
    forumWithDuplicates();
    QPointer<qvm::DuplicatesWindow> window = new qvm::DuplicatesWindow;
    window->show();
    window->start();
    inst.prompts.reset();
    inst.prompts.script(qv::BtnYes);
    window->requestAbort();
    QVERIFY(waitFor([&] { return window.isNull(); }));
    QCOMPARE(persons(), int64_t(3));  // nothing was merged yet
  }

  void aScheduledRunStartsAtOnceAndClosesWhenDone() {
    TestInstallation inst;
    inst.open();
    forumWithDuplicates();
    qv::KonfigSet(qv::ItemImportCompletion, 1);
    qv::Mem.DoTask = qv::RunUnattended;
    QPointer<qvm::DuplicatesWindow> window = new qvm::DuplicatesWindow;
    QCOMPARE(window->windowTitle(), QStringLiteral(" Scheduled Duplicate Merging [Dup Forum]"));
    window->show();
    QVERIFY(waitFor([&] { return window.isNull(); }));
    qv::Mem.DoTask = qv::RunInteractive;
    QCOMPARE(persons(), int64_t(2));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }
};

QTEST_MAIN(DuplicatesWindowTest)
#include "duplicates_window_test.moc"
