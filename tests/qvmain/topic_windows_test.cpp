// The topic windows: the topic list edited through the topic form, the check
// list that follows the browser's selection and attaches or detaches topics
// at once, and the group window's scopes, checks and operations.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>

#include "browse/browse_state.h"
#include "database/topic_codes.h"
#include "events.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "maintenance/classify_run.h"
#include "print/copy_progress.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/topics.h"
#include "support/browse_records.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"
#include "topics/browse_topics.h"
#include "topics/classify_window.h"
#include "topics/group_proc.h"

using namespace qvtest;

namespace {

// Stands in for a browser: registers under its thread name and records the
// private events it receives.
class FakeBrowser : public QWidget {
 public:
  explicit FakeBrowser(const QString& name = QStringLiteral("BrowseMsgNmbr")) {
    qvm::TmCreate(this, name, qvm::kNotToolsGroup);
  }
  bool event(QEvent* e) override {
    if (const qvm::QvEvent* ev = qvm::privateEvent(e)) {
      received.push_back(ev->number());
      return true;
    }
    return QWidget::event(e);
  }
  bool got(int n) const { return std::find(received.begin(), received.end(), n) != received.end(); }
  std::vector<int> received;
};

const int32_t kMarch5 = qv::dateFromYMD(1996, 3, 5);

// Thread 7000: 500 501 502 on 5, 6 and 7 March 1996; thread 7001: 510.
void forum() {
  QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Topic Forum") != 0);
  QVERIFY(addPerson(100, "Ann", "Lee"));
  QVERIFY(addPerson(101, "Bob", "Ray"));
  QVERIFY(addThread(7000, 100, "Modems"));
  QVERIFY(addThread(7001, 100, "Printers"));
  QVERIFY(addMessage(500, 7000, 100, 101, kMarch5, "One"));
  QVERIFY(addMessage(501, 7000, 101, 100, kMarch5 + 1, "Two"));
  QVERIFY(addMessage(502, 7000, 100, 101, kMarch5 + 2, "Three"));
  QVERIFY(addMessage(510, 7001, 101, 100, kMarch5 + 3, "Four"));
}

uint32_t topic(const std::string& text) {
  qv::Topic t;
  t.text = text;
  return qv::addTopic(t);
}

uint32_t countOf(uint32_t id) {
  for (const qv::Topic& t : qv::listTopics())
    if (t.id == id) return t.count;
  return 0;
}

std::vector<uint32_t> linksOf(uint32_t id) {
  std::vector<uint32_t> out;
  for (uint32_t m : {500u, 501u, 502u, 510u}) {
    auto t = qv::topicsOfMessage(m);
    if (std::find(t.begin(), t.end(), id) != t.end()) out.push_back(m);
  }
  return out;
}

void select(uint32_t message, int kind = qv::KindForumDb) {
  qv::BrowseState s;
  s.kind = kind;
  s.mode = 1;
  s.selected = message;
  qv::writeBrowseContext(s);
}

// Answers the topic form that the next edit opens.
void answerForm(const QString& text) {
  QTimer::singleShot(0, [text] {
    auto* form = qobject_cast<qvm::UpdateCodes*>(QApplication::activeModalWidget());
    if (!form) {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<qvm::UpdateCodes*>(w); f && f->isVisible()) form = f;
    }
    QVERIFY(form);
    if (!text.isNull()) form->textField()->setText(text);
    form->accept();
  });
}

// Runs a progress window's engine to its end.
void runToEnd(qvm::CopyProgress* p) {
  QPointer<qvm::CopyProgress> w = p;
  QVERIFY(w);
  QVERIFY(waitFor([&] { return w.isNull(); }));
}

}  // namespace

class TopicWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theTopicListIsEditedThroughTheForm() {
    TestInstallation inst;
    inst.open();
    forum();
    qvm::registerAllWindows();
    auto* w = new qvm::BrowseTopics;
    QCOMPARE(w->windowTitle(), QStringLiteral(" Topic Forum Topics [0]"));
    QVERIFY(!w->updateButton()->isEnabled());
    QVERIFY(!w->deleteButton()->isEnabled());
    QCOMPARE(w->insertButton()->toolTip(), QStringLiteral("Add a new key word"));
    QCOMPARE(w->deleteButton()->toolTip(), QStringLiteral("Delete highlighted key word"));

    answerForm(QStringLiteral("Modems"));
    w->edit(1);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Topic Forum Topics [1]"));
    QCOMPARE(w->list()->topLevelItemCount(), 1);
    QCOMPARE(w->list()->topLevelItem(0)->text(0), QStringLiteral("Modems"));
    QCOMPARE(w->list()->topLevelItem(0)->text(1), QStringLiteral("0"));
    QVERIFY(w->updateButton()->isEnabled());

    uint32_t id = w->list()->topLevelItem(0)->data(0, Qt::UserRole).toUInt();
    QVERIFY(qv::setTopicLink(id, 500, true));
    w->reload();
    QCOMPARE(w->list()->topLevelItem(0)->text(1), QStringLiteral("1"));  // Indexes: the messages attached

    answerForm(QStringLiteral("Fast modems"));
    w->edit(2);
    QCOMPARE(w->list()->topLevelItem(0)->text(0), QStringLiteral("Fast modems"));
    answerForm(QString());
    w->edit(3);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Topic Forum Topics [0]"));
    QVERIFY(!w->deleteButton()->isEnabled());
    w->close();
    settle();
  }

  void theCheckListFollowsTheBrowserAndTogglesLinks() {
    TestInstallation inst;
    inst.open();
    forum();
    FakeBrowser browser;
    uint32_t modems = topic("Modems"), printers = topic("Printers");
    QVERIFY(qv::setTopicLink(printers, 510, true));
    select(500);
    auto* w = new qvm::ClassifyWindow;
    QCOMPARE(w->message(), 500u);
    QCOMPARE(w->list()->topLevelItemCount(), 2);
    QVERIFY(!qvm::ClassifyWindow::attached(w->rowOf(modems)));
    QVERIFY(!qvm::ClassifyWindow::attached(w->rowOf(printers)));

    w->toggle(w->rowOf(modems));
    QVERIFY(qvm::ClassifyWindow::attached(w->rowOf(modems)));
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{500});
    QCOMPARE(countOf(modems), 1u);
    w->toggle(w->rowOf(modems));
    QVERIFY(!qvm::ClassifyWindow::attached(w->rowOf(modems)));
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{});
    QCOMPARE(countOf(modems), 0u);
    settle();
    QVERIFY(browser.got(qvm::EvBrowseToFront));

    // Another message selected: the marks follow after 1365.
    select(510);
    qvm::postEvent(w, qvm::EvAttachTopics);
    QVERIFY(waitFor([&] { return w->message() == 510u; }));
    QVERIFY(qvm::ClassifyWindow::attached(w->rowOf(printers)));
    QVERIFY(!qvm::ClassifyWindow::attached(w->rowOf(modems)));

    // A topic added elsewhere: 1367 reloads the topics.
    uint32_t cables = topic("Cables");
    qvm::postEvent(w, qvm::EvAttachTopicsChanged);
    QVERIFY(waitFor([&] { return w->rowOf(cables) != nullptr; }));

    // No message selected: nothing to toggle.
    select(0);
    qvm::postEvent(w, qvm::EvAttachTopics);
    QVERIFY(waitFor([&] { return w->message() == 0u; }));
    QVERIFY(!w->list()->isEnabled());

    QPointer<qvm::ClassifyWindow> guard = w;
    qvm::postEvent(w, qvm::EvAttachTopicsClose);
    QVERIFY(waitFor([&] { return guard.isNull(); }));
    settle();
    QVERIFY(browser.got(qvm::EvAttachTopicsClose));
  }

  void theGroupWindowNamesItsScopesByDatabaseKind() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindMailDb, "Mary Owner") != 0);
    select(0, qv::KindMailDb);
    auto* w = new qvm::GroupProc(qvm::GroupExport);
    w->show();
    QCOMPARE(w->windowTitle(), QStringLiteral("Export messages"));
    QCOMPARE(w->scopeButton(qvm::ScopeThread)->text(), QStringLiteral(" MailPartner"));
    QCOMPARE(w->scopeButton(qvm::ScopeDatabase)->text(), QStringLiteral(" MailBox"));
    QVERIFY(!w->scopeButton(qvm::ScopeSection)->isVisible());
    QStringList formats;
    for (int i = 0; i < w->format()->count(); ++i) formats << w->format()->itemText(i);
    QCOMPARE(formats, (QStringList{"Eudora", "OzWin II", "TAPCIS", "Unix RFC822", "Originals as imported (mboxrd)"}));
    QCOMPARE(w->format()->currentText(), QStringLiteral("Eudora"));  // the default of mail
    QCOMPARE(w->inbox()->text(), QStringLiteral("InBox.MBX"));
    QCOMPARE(w->outbox()->text(), QStringLiteral("OutBox.MBX"));
    w->format()->setCurrentIndex(2);
    QCOMPARE(w->inbox()->text(), QStringLiteral("SaveMail.Txt"));
    QVERIFY2(!w->outbox()->isVisible(), "TAPCIS writes one file");
    QCOMPARE(qv::KonfigGet(qv::ItemExportLayoutMail), 1);  // the format last used is kept
    w->format()->setCurrentIndex(1);
    QCOMPARE(w->inbox()->text(), QStringLiteral("CISMAIL.IN"));
    QCOMPARE(w->outbox()->text(), QStringLiteral("CISMAIL.OUT"));
    QVERIFY2(!w->startButton()->isEnabled(), "no message is selected");
    w->format()->setCurrentIndex(4);
    QCOMPARE(w->inbox()->text(), QStringLiteral("Originals.Mbx"));
    QVERIFY2(!w->outbox()->isVisible(), "originals go to one mailbox file");
    QCOMPARE(qv::KonfigGet(qv::ItemExportLayoutMail), 5);

    // Hard CRs enable the wrap column; both are stored at once.
    w->hardCrs()->setChecked(false);
    QVERIFY(!w->wrapColumn()->isEnabled());
    w->hardCrs()->setChecked(true);
    QVERIFY(w->wrapColumn()->isEnabled());
    w->wrapColumn()->setValue(66);
    QCOMPARE(qv::KonfigGet(qv::ItemHardLineEnds), 1);
    QCOMPARE(qv::KonfigGet(qv::ItemWrapColumn), 66);

    // A path in a file name is refused and the field cleared.
    w->inbox()->setText(QStringLiteral("dir\\name.txt"));
    Q_EMIT w->inbox()->editingFinished();
    QCOMPARE(w->inbox()->text(), QString());
    QCOMPARE(inst.prompts.count("Filename error"), 1);
    w->close();
    settle();

    auto* p = new qvm::GroupProc(qvm::GroupPrint);
    QCOMPARE(p->windowTitle(), QStringLiteral("Print Messages"));
    QVERIFY2(p->format() == nullptr, "print offers no export settings");
    QVERIFY(p->actionButton(qvm::ActionAttach) == nullptr);
    p->close();
    settle();
  }

  void aNewsgroupExportsAsArticlesOrAsOriginals() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindNewsDb, "comp.test") != 0);
    select(0, qv::KindNewsDb);
    auto* w = new qvm::GroupProc(qvm::GroupExport);
    QStringList formats;
    for (int i = 0; i < w->format()->count(); ++i) formats << w->format()->itemText(i);
    QCOMPARE(formats, (QStringList{"Unix RFC822", "Originals as imported (mboxrd)"}));
    QCOMPARE(w->inbox()->text(), QStringLiteral("SaveMsg.TXT"));
    w->format()->setCurrentIndex(1);
    QCOMPARE(w->inbox()->text(), QStringLiteral("Originals.Mbx"));
    w->close();
    settle();
  }

  // A newsgroup's browser publishes its selection as a newsgroup's: export,
  // print and classify all start on it.
  void theGroupWindowStartsInANewsgroup() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindNewsDb, "comp.test") != 0);
    QVERIFY(addPerson(100, "Ann", "Lee"));
    QVERIFY(addThread(7000, 100, "Modems"));
    QVERIFY(addMessage(500, 7000, 100, 0, kMarch5, "One"));
    QVERIFY(addMessage(501, 7000, 100, 0, kMarch5 + 1, "Two"));
    FakeBrowser browser;
    select(501, qv::KindNewsDb);
    for (int request : {qvm::GroupExport, qvm::GroupPrint, qvm::GroupClassify}) {
      auto* w = new qvm::GroupProc(request);
      QVERIFY2(w->startButton()->isEnabled(), qPrintable(QString::number(request)));
      w->close();
      settle();
    }
    uint32_t modems = topic("Modems");
    auto* c = new qvm::GroupProc(qvm::GroupClassify);
    c->chooseTopic(modems, QStringLiteral("Modems"));
    c->scopeButton(qvm::ScopeThread)->setChecked(true);
    QVERIFY(c->start());
    runToEnd(c->progress());
    QCOMPARE(linksOf(modems), (std::vector<uint32_t>{500, 501}));
    c->close();
    settle();

    auto* w = new qvm::GroupProc(qvm::GroupExport);
    w->inbox()->setText(QStringLiteral("group.txt"));
    w->scopeButton(qvm::ScopeDatabase)->setChecked(true);
    QVERIFY(w->start());
    runToEnd(w->progress());
    QFile f(QString::fromStdString(qv::Mem.TempDir) + QStringLiteral("/group.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    QCOMPARE(text.count(QStringLiteral("\nSubject: ")), 2);
    QVERIFY2(text.contains(QStringLiteral("Newsgroups: comp.test")), qPrintable(text));
    w->close();
    settle();
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
  }

  void theGroupWindowClassifiesAThreadWithItsChecks() {
    TestInstallation inst;
    inst.open();
    forum();
    FakeBrowser browser;
    uint32_t modems = topic("Modems");
    select(501);
    auto* w = new qvm::GroupProc(qvm::GroupClassify);
    QCOMPARE(w->windowTitle(), QStringLiteral("Classify Messages"));
    QCOMPARE(w->scopeButton(qvm::ScopeDatabase)->text(), QStringLiteral(" Forum"));
    QVERIFY2(!w->scopeButton(qvm::ScopeKeyWord)->isEnabled(), "no key word is chosen in the browser");
    w->scopeButton(qvm::ScopeThread)->setChecked(true);

    QVERIFY(!w->start());
    QCOMPARE(inst.prompts.count("Selection error"), 1);  // No topic selected!
    w->chooseTopic(modems, QStringLiteral("Modems"));

    w->dateFilter()->setChecked(true);
    w->fromDate()->setDate(QDate(1965, 1, 1));
    QVERIFY(!w->start());
    w->fromDate()->setDate(QDate(1996, 3, 7));
    w->toDate()->setDate(QDate(2099, 1, 1));
    QVERIFY(!w->start());
    w->toDate()->setDate(QDate(1996, 3, 6));
    QVERIFY(!w->start());
    QCOMPARE(inst.prompts.count("Date range filter error"), 3);
    QVERIFY(inst.prompts.transcript().contains(QStringLiteral("A valid From-date must be entered")));
    QVERIFY(inst.prompts.transcript().contains(QStringLiteral("A valid To-date must be entered")));
    QVERIFY(inst.prompts.transcript().contains(QStringLiteral("A negative date range cannot be allowed.")));
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{});

    // A range that excludes every message of the thread changes nothing.
    w->fromDate()->setDate(QDate(1997, 1, 1));
    w->toDate()->setDate(QDate(1997, 12, 31));
    QVERIFY(w->start());
    runToEnd(w->progress());
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{});

    w->fromDate()->setDate(QDate(1996, 3, 6));
    QVERIFY(w->start());
    runToEnd(w->progress());
    QCOMPARE(linksOf(modems), (std::vector<uint32_t>{501, 502}));
    QCOMPARE(countOf(modems), 2u);

    w->dateFilter()->setChecked(false);
    w->actionButton(qvm::ActionRemove)->setChecked(true);
    w->scopeButton(qvm::ScopeMessage)->setChecked(true);
    QVERIFY(w->start());
    runToEnd(w->progress());
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{502});
    QCOMPARE(countOf(modems), 1u);
    settle();
    QVERIFY(browser.got(qvm::EvBrowseToFront));
    QVERIFY2(browser.got(qvm::EvToolsEnded), "the browser refreshes its views");

    // The browser's selection moves: 1397 takes it up.
    select(510);
    qvm::postEvent(w, qvm::EvGroupSelection);
    settle();
    QVERIFY(w->start());
    runToEnd(w->progress());
    QCOMPARE(linksOf(modems), std::vector<uint32_t>{502});  // removing a link that is not there
    w->close();
    settle();
    QVERIFY(browser.got(qvm::EvGroupClosed));
  }

  void theGroupWindowExportsInTheChosenFormat() {
    TestInstallation inst;
    inst.open();
    forum();
    select(500);
    qv::KonfigSet(qv::ItemExportLayoutForum, 0);  // "No header", which the group window does not offer
    auto* w = new qvm::GroupProc(qvm::GroupExport);
    QCOMPARE(qv::KonfigGet(qv::ItemExportLayoutForum), 0);  // opening the window changes no setting
    QCOMPARE(w->format()->currentText(), QStringLiteral("OzWin II"));
    QCOMPARE(w->inbox()->text(), QStringLiteral("Topic Fo.SAV"));
    w->format()->setCurrentIndex(1);
    QCOMPARE(w->format()->currentText(), QStringLiteral("TAPCIS"));
    QCOMPARE(w->inbox()->text(), QStringLiteral("SaveMsg.Txt"));
    w->inbox()->setText(QStringLiteral("thread.txt"));
    w->scopeButton(qvm::ScopeThread)->setChecked(true);
    QVERIFY(w->start());
    runToEnd(w->progress());
    QFile f(QString::fromStdString(qv::Mem.TempDir) + QStringLiteral("/thread.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    QCOMPARE(text.count(QStringLiteral("#: ")), 3);
    QVERIFY2(text.contains(QStringLiteral("[Topic Forum]")), "TAPCIS is the capture layout");
    w->close();
    settle();
  }

  // The whole database (and a key word, a topic, the search result) needs
  // no current message: with nothing selected it still exports every message.
  void theWholeDatabaseExportsWithoutASelectedMessage() {
    TestInstallation inst;
    inst.open();
    forum();
    select(0);
    auto* w = new qvm::GroupProc(qvm::GroupExport);
    QVERIFY(!w->startButton()->isEnabled());
    w->scopeButton(qvm::ScopeDatabase)->setChecked(true);
    QVERIFY(w->startButton()->isEnabled());
    w->format()->setCurrentIndex(1);  // TAPCIS
    w->inbox()->setText(QStringLiteral("all.txt"));
    QVERIFY(w->start());
    runToEnd(w->progress());
    QFile f(QString::fromStdString(qv::Mem.TempDir) + QStringLiteral("/all.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()).count(QStringLiteral("#: ")), 4);
    w->scopeButton(qvm::ScopeThread)->setChecked(true);
    QVERIFY2(!w->startButton()->isEnabled(), "a thread is found from the current message");
    QVERIFY(!w->start());
    w->close();
    settle();
  }

  void theMenusStartTheWindows() {
    TestInstallation inst;
    inst.open();
    forum();
    qvm::registerAllWindows();
    for (int number : {26, 27, 41, 42, 43}) {
      const qvm::Procedure* p = qvm::procedure(number);
      QVERIFY(p);
      QVERIFY2(qvm::procedureInVersion(*p, qv::KindForumDb), qPrintable(QString::number(number)));
      QVERIFY2(qvm::procedureInVersion(*p, qv::KindMailDb), qPrintable(QString::number(number)));
    }
    select(500);
    QVERIFY(qvm::startProcedure(QStringLiteral("BrowseTopics")));
    QVERIFY(qvm::TmGetId(QStringLiteral("BrowseTopics")) != 0);
    QVERIFY(qvm::startProcedure(QStringLiteral("Classify")));
    QVERIFY(qvm::startProcedure(QStringLiteral("ClassifyProc")));
    QVERIFY(qvm::TmMembers(qvm::kFindGroup).contains(QStringLiteral("Classify")));
    QVERIFY(qvm::TmMembers(qvm::kFindGroup).contains(QStringLiteral("ClassifyProc")));
    qvm::TmDestroyGroup(qvm::kFindGroup);
    qvm::TmDestroyGroup(qvm::kNotToolsGroup);
    settle();
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseTopics")), 0);
  }
};

QTEST_MAIN(TopicWindowsTest)
#include "topic_windows_test.moc"
