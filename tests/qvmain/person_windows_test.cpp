// The person windows: the person list with its title, orders and buttons,
// the way to a person's messages, the name form, the alias window and the
// merge window filled by drag and drop (and by keyboard), merging on.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "dictionary/dictionary.h"
#include "events.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "persons/browse_person.h"
#include "persons/merge_persons.h"
#include "persons/person_list.h"
#include "persons/person_windows.h"
#include "persons/show_alias.h"
#include "persons/update_person.h"
#include "services/databases.h"
#include "services/globals.h"
#include "browse_data.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

template <class W>
W* running(const QString& thread) {
  return qobject_cast<W*>(qvm::TmWindow(qvm::TmGetId(thread)));
}

qvm::BrowsePerson* openList() {
  qvm::openBrowsePerson();
  settle();
  return running<qvm::BrowsePerson>(qvm::kBrowsePersonThread);
}

// The row of a person in the list; -1 when it is not shown.
int rowOf(qvm::BrowsePerson* w, uint32_t id) {
  for (int r = 0; r < w->model()->rowCount(); ++r)
    if (w->model()->rowAt(r)->id == id) return r;
  return -1;
}

QString cell(qvm::BrowsePerson* w, int row, int column) {
  return w->model()->data(w->model()->index(row, column), Qt::DisplayRole).toString();
}

void highlight(qvm::BrowsePerson* w, uint32_t id) {
  QVERIFY(w->showPerson(id));
  QCOMPARE(w->currentId(), id);
}

// Drags a person's row from the list and drops it on the merge window's
// list, as the windowing layer delivers a drag: enter, move, drop.
bool dragToMerge(qvm::BrowsePerson* from, uint32_t id, qvm::MergePersons* to) {
  int row = rowOf(from, id);
  if (row < 0) return false;
  std::unique_ptr<QMimeData> data(from->model()->mimeData({from->model()->index(row, 0)}));
  if (!data) return false;
  QWidget* target = to->list()->viewport();
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

QStringList column(QTreeWidget* t, int c) {
  QStringList out;
  for (int i = 0; i < t->topLevelItemCount(); ++i) out << t->topLevelItem(i)->text(c);
  return out;
}

void addAlias(const std::string& string, uint32_t id) {
  qv::PLI = qv::PLINKRec();
  qv::PLI.PERSONSTRING = string;
  qv::PLI.PERSONID = id;
  QVERIFY(addRecord(qv::FilePLINK));
}

}  // namespace

class PersonWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theFrameOpensThePersonListOnce() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = sampleForum(qv::KindForumDb, "Browse Forum");
    QVERIFY(qv::ActivateDatabase(forum));
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    QAction* browse = frame.menuAction(qvm::ProcBrowsePersons);
    QVERIFY(browse->isEnabled());
    QCOMPARE(browse->text(), QStringLiteral("&Browse Forum Members"));
    browse->trigger();
    QVERIFY(waitFor([] { return running<qvm::BrowsePerson>(qvm::kBrowsePersonThread) != nullptr; }));
    QPointer<qvm::BrowsePerson> first = running<qvm::BrowsePerson>(qvm::kBrowsePersonThread);
    frame.buttonAction(qvm::ProcBrowsePersons)->trigger();
    settle();
    QCOMPARE(qvm::TmMembers(qvm::kNotToolsGroup).count(qvm::kBrowsePersonThread), 1);
    QCOMPARE(running<qvm::BrowsePerson>(qvm::kBrowsePersonThread), first.data());
  }

  void theListShowsTitleColumnsOrdersAndTips() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    addPerson(14, "Cher", "", 0, 0, "cher@example.org");
    qvm::BrowsePerson* w = openList();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Browse Forum  Forum Members [5]"));
    QCOMPARE(w->property("helpTopic").toString(), QStringLiteral("~Forum_Members"));
    QStringList headers;
    for (int c = 0; c < 4; ++c) headers << w->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    QCOMPARE(headers, (QStringList{"Name", "Address", "Msg Sent", "Msg Rec."}));
    // By last name: Cher (no last name) first, then Adams, Lee, Ray, Zed.
    QCOMPARE(cell(w, 0, 0), QString());
    QCOMPARE(cell(w, 1, 0), QStringLiteral("Adams,Dee"));
    QCOMPARE(cell(w, 2, 0), QStringLiteral("Lee,Ann"));
    QCOMPARE(cell(w, 2, 2), QStringLiteral("3"));
    QCOMPARE(cell(w, 2, 3), QStringLiteral("2"));
    QCOMPARE(w->byNameButton()->text(), QStringLiteral("By Last&Name"));
    QCOMPARE(w->byNameButton()->toolTip(), QStringLiteral("Sort by lastname"));
    QCOMPARE(w->byAddressButton()->text(), QStringLiteral("By &Address"));
    QCOMPARE(w->byAddressButton()->toolTip(), QStringLiteral("Sort by CIS adress"));
    QCOMPARE(w->aliasButton()->text(), QStringLiteral("Show &Alias"));
    QCOMPARE(w->aliasButton()->toolTip(), QStringLiteral("Show related alias addresses"));
    QCOMPARE(w->mergeButton()->text(), QStringLiteral("&Merge"));
    QCOMPARE(w->mergeButton()->toolTip(), QStringLiteral("Open merge duplicates window"));
    QCOMPARE(w->showButton()->text(), QStringLiteral("&Show msg"));
    QCOMPARE(w->showButton()->toolTip(), QStringLiteral("Show messages for this sender"));
    QCOMPARE(w->updateButton()->text(), QStringLiteral("&Update"));
    QCOMPARE(w->updateButton()->toolTip(), QStringLiteral("Change first and last name"));
    QVERIFY(w->updateButton()->isEnabled());

    // Typing positions the list by last name.
    QTest::keyClicks(w->list(), QStringLiteral("Ra"));
    QCOMPARE(w->currentId(), 11u);

    highlight(w, 12);
    w->byAddressButton()->setChecked(true);
    QCOMPARE(w->currentId(), 12u);  // the highlighted person stays highlighted
    QCOMPARE(cell(w, 0, 1), QString());  // blank addresses sort first
    QCOMPARE(cell(w, rowOf(w, 14), 1), QStringLiteral("cher@example.org"));
    w->close();
  }

  void theListFollowsACountRun() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    highlight(w, 13);
    // A count run deletes a person and corrects another's counts.
    qv::OP_CLOSE(qv::OpShared, {qv::FilePerson});
    qv::PER.PERSONID = 12;
    QVERIFY(qv::Person.get(qv::PER_PersonKey));
    QVERIFY(qv::Person.remove());
    qv::PER.PERSONID = 13;
    QVERIFY(qv::Person.get(qv::PER_PersonKey));
    qv::PER.FROMCOUNT = 9;
    QVERIFY(qv::Person.put());
    qv::OP_CLOSE(qv::OpRelease, {qv::FilePerson});
    qvm::postToThread(qvm::kBrowsePersonThread, qvm::EvToolsEnded);
    settle();
    QCOMPARE(w->windowTitle(), QStringLiteral("Browse Forum  Forum Members [3]"));
    QCOMPARE(rowOf(w, 12), -1);
    QCOMPARE(w->currentId(), 13u);
    QCOMPARE(cell(w, rowOf(w, 13), 2), QStringLiteral("9"));
    w->close();
  }

  void anEmptyListCannotChangeNames() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindNewsDb, "Empty News") != 0);
    qvm::BrowsePerson* w = openList();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Empty News  Newsgroup Participants [0]"));
    QVERIFY(!w->updateButton()->isEnabled());
    w->close();
  }

  void showMessagesOpensTheBrowserOnThePersonsFirstMessage() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    addPerson(14, "No", "Mail", 0, 0, "nomail@example.org");
    qvm::BrowsePerson* w = openList();
    highlight(w, 14);
    inst.prompts.reset();
    w->showButton()->click();
    settle();
    QCOMPARE(int(inst.prompts.requests.size()), 1);
    QCOMPARE(inst.prompts.requests[0].caption, std::string("Warning!"));
    QCOMPARE(inst.prompts.requests[0].text, std::string("No messages from address nomail@example.org"));
    QVERIFY(!running<qvm::BrowseWindow>(qvm::kBrowseMsgNmbr));

    highlight(w, 10);
    w->showButton()->click();
    QVERIFY(waitFor([] { return running<qvm::BrowseWindow>(qvm::kBrowseMsgNmbr) != nullptr; }));
    auto* b = running<qvm::BrowseWindow>(qvm::kBrowseMsgNmbr);
    QVERIFY(waitFor([b] { return b->state().mode == qv::FmSender && b->state().selected == 504; }));
    QCOMPARE(b->state().sender.id, 10u);
    QVERIFY(b->state().limitSender);
    QCOMPARE(rowIds(b), (std::vector<uint32_t>{504, 503, 500}));

    // With the browser running, another person's messages replace the view.
    highlight(w, 11);
    w->showButton()->click();
    QVERIFY(waitFor([b] { return b->state().sender.id == 11 && b->state().selected == 501; }));
    QCOMPARE(rowIds(b), (std::vector<uint32_t>{501}));
    b->close();
    w->close();
    settle();
  }

  void theNameFormChangesANameAndTheListFollows() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    highlight(w, 11);
    w->updateButton()->click();
    settle();
    auto* form = w->findChild<qvm::UpdatePerson*>();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral(" Update Forum Member name"));
    QCOMPARE(form->personStringField()->text(), QStringLiteral("Bob Ray 11"));
    QVERIFY(form->personStringField()->isReadOnly());
    QCOMPARE(form->personStringField()->toolTip(), QStringLiteral("Full address - cannot be changed"));
    QCOMPARE(form->lastNameField()->toolTip(), QStringLiteral("Lastname - can be changed"));
    QCOMPARE(form->firstNameField()->toolTip(), QStringLiteral("Firstname - can be changed"));
    QCOMPARE(form->addressField()->toolTip(), QStringLiteral("Address - cannot be changed"));
    QCOMPARE(form->sentField()->toolTip(), QStringLiteral("Messages sent - cannot be changed"));
    QCOMPARE(form->receivedField()->toolTip(), QStringLiteral("Messages received - cannot be changed"));
    QCOMPARE(form->saveButton()->toolTip(), QStringLiteral("Save changes"));
    QCOMPARE(form->sentField()->text(), QStringLiteral("1"));
    QCOMPARE(form->receivedField()->text(), QStringLiteral("2"));
    QVERIFY(form->sentField()->isReadOnly() && form->receivedField()->isReadOnly() && form->addressField()->isReadOnly());
    form->lastNameField()->setText(QStringLiteral("Raymond"));
    form->saveButton()->click();
    QVERIFY(waitFor([&] { return w->findChild<qvm::UpdatePerson*>() == nullptr; }));
    QCOMPARE(qv::GlobalResponse, 1);
    QCOMPARE(w->currentId(), 11u);
    QCOMPARE(cell(w, w->list()->currentIndex().row(), 0), QStringLiteral("Raymond,Bob"));
    w->close();
  }

  void theNameFormKeepsANameLongerThanItsFieldWhole() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    highlight(w, 11);
    w->updateButton()->click();
    settle();
    auto* form = w->findChild<qvm::UpdatePerson*>();
    QVERIFY(form);
    const QString last = QStringLiteral("Featherstonehaugh-Raymonds");  // 26 bytes, the field holds 25
    form->lastNameField()->setText(last);
    form->saveButton()->click();
    QVERIFY(waitFor([&] { return w->findChild<qvm::UpdatePerson*>() == nullptr; }));
    QCOMPARE(cell(w, w->list()->currentIndex().row(), 0), last + QStringLiteral(",Bob"));
    w->updateButton()->click();
    settle();
    form = w->findChild<qvm::UpdatePerson*>();
    QVERIFY(form);
    QCOMPARE(form->lastNameField()->text(), last);
    form->reject();
    w->close();
  }

  void theNameFormTakesAChangeByAnotherUserAndStaysOpen() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    highlight(w, 11);
    qvm::UpdatePerson* form = qvm::openUpdatePerson(w, 11);
    QVERIFY(form);
    qv::OP_CLOSE(qv::OpShared, {qv::FilePerson});
    qv::PER.PERSONID = 11;
    QVERIFY(qv::Person.get(qv::PER_PersonKey));
    qv::PER.FIRSTNAME = "Robert";
    QVERIFY(qv::Person.put());
    qv::OP_CLOSE(qv::OpRelease, {qv::FilePerson});
    form->lastNameField()->setText(QStringLiteral("Raymond"));
    inst.prompts.reset();
    form->saveButton()->click();
    settle();
    QVERIFY(w->findChild<qvm::UpdatePerson*>() == form);
    QCOMPARE(inst.prompts.count("Warning!"), 1);
    QCOMPARE(form->firstNameField()->text(), QStringLiteral("Robert"));
    QCOMPARE(form->lastNameField()->text(), QStringLiteral("Ray"));
    form->reject();
    w->close();
  }

  void theAliasWindowSwapsAndSavesAnAddress() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    highlight(w, 12);
    w->aliasButton()->click();
    settle();
    QVERIFY2(!running<qvm::ShowAlias>(qvm::kShowAliasThread), "no aliases: the button only beeps");

    addAlias("CID ZED 76543,210", 10);
    addAlias("ANN LEE ANN@EXAMPLE.ORG", 10);
    highlight(w, 10);
    w->aliasButton()->click();
    settle();
    auto* a = running<qvm::ShowAlias>(qvm::kShowAliasThread);
    QVERIFY(a);
    QCOMPARE(a->windowTitle(), QStringLiteral(" Current address for Lee,Ann"));
    QCOMPARE(a->swapButton()->toolTip(), QStringLiteral("Swap highlighted address with the current one"));
    QCOMPARE(a->saveButton()->toolTip(), QStringLiteral("Save address change"));
    QCOMPARE(column(a->list(), 0), (QStringList{"76543,210", "ann@example.org"}));
    a->list()->setCurrentItem(a->list()->topLevelItem(1));
    a->swapButton()->click();
    QCOMPARE(a->currentLabel()->text(), QStringLiteral("ann@example.org"));
    QCOMPARE(column(a->list(), 0), (QStringList{"76543,210", ""}));
    a->saveButton()->click();
    QVERIFY(waitFor([] { return !running<qvm::ShowAlias>(qvm::kShowAliasThread); }));
    settle();
    QCOMPARE(cell(w, w->list()->currentIndex().row(), 1), QStringLiteral("ann@example.org"));
    qv::PersonRow p;
    QVERIFY(qv::readPersonRow(10, p));
    QCOMPARE(p.personString, std::string("ANN LEE ANN@EXAMPLE.ORG"));
    w->close();
  }

  void personsDraggedOntoTheMergeWindowAreMerged() {
    TestInstallation inst;
    inst.open();
    sampleForum(qv::KindForumDb, "Browse Forum");
    qvm::BrowsePerson* w = openList();
    w->mergeButton()->click();
    settle();
    auto* m = running<qvm::MergePersons>(qvm::kMergePersonsThread);
    QVERIFY(m);
    QCOMPARE(m->keepButton()->toolTip(), QStringLiteral("Keep highlighted person"));
    QCOMPARE(m->removeButton()->toolTip(), QStringLiteral("Remove highlighted person fron merge"));
    QCOMPARE(m->mergeButton()->toolTip(), QStringLiteral("Merge selected persons"));
    QCOMPARE(m->list()->headerItem()->text(0), QStringLiteral("Status"));
    QVERIFY(!m->keepButton()->isEnabled() && !m->removeButton()->isEnabled() && !m->mergeButton()->isEnabled());

    QVERIFY(dragToMerge(w, 11, m));
    QCOMPARE(column(m->list(), 0), (QStringList{"Keep"}));
    QVERIFY(m->keepButton()->isEnabled() && m->removeButton()->isEnabled());
    QVERIFY2(!m->mergeButton()->isEnabled(), "one person cannot be merged");
    QVERIFY(dragToMerge(w, 11, m));
    QCOMPARE(m->list()->topLevelItemCount(), 1);  // a person dropped twice is listed once
    // The keyboard's way: Insert in the person list, and the Add button.
    highlight(w, 13);
    QTest::keyClick(w->list(), Qt::Key_Insert);
    highlight(w, 10);
    m->addButton()->click();
    QCOMPARE(column(m->list(), 0), (QStringList{"Keep", "Merge", "Merge"}));
    QCOMPARE(column(m->list(), 1), (QStringList{"Ray,Bob", "Adams,Dee", "Lee,Ann"}));
    QVERIFY(m->mergeButton()->isEnabled());
    QCOMPARE(m->list()->topLevelItem(0)->foreground(0).color(), colourItem(24));
    QCOMPARE(m->list()->topLevelItem(1)->foreground(0).color(), colourItem(25));

    // Ann is kept; removing her makes the first entry the kept one again.
    m->list()->setCurrentItem(m->list()->topLevelItem(2));
    m->keepButton()->click();
    QCOMPARE(column(m->list(), 0), (QStringList{"Merge", "Merge", "Keep"}));
    m->list()->setCurrentItem(m->list()->topLevelItem(2));
    m->removeButton()->click();
    QCOMPARE(column(m->list(), 0), (QStringList{"Keep", "Merge"}));
    highlight(w, 10);
    m->addButton()->click();
    m->list()->setCurrentItem(m->list()->topLevelItem(2));
    m->keepButton()->click();

    m->mergeButton()->click();
    QVERIFY2(waitFor([] { return !running<qvm::MergePersons>(qvm::kMergePersonsThread); }),
             qPrintable(inst.prompts.transcript()));
    settle();
    QCOMPARE(w->windowTitle(), QStringLiteral("Browse Forum  Forum Members [2]"));
    QCOMPARE(rowOf(w, 11), -1);
    QCOMPARE(rowOf(w, 13), -1);
    int ann = rowOf(w, 10);
    QVERIFY(ann >= 0);
    QCOMPARE(cell(w, ann, 2), QStringLiteral("5"));  // 500, 501, 503, 504, 505
    QCOMPARE(cell(w, ann, 3), QStringLiteral("5"));  // 500, 501, 502, 504, 505
    w->close();
  }

  void aMailboxOwnerStaysWhenListedForMerging() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindMailDb, "Owen Test") != 0);
    uint32_t owner = qv::Mem.PersonID;
    addPerson(21, "Fay", "Brown");
    addMail(700, owner, 21, false, 200, 100, "Hello");
    qvm::BrowsePerson* w = openList();
    QCOMPARE(w->windowTitle(), QStringLiteral("Owen Test  Mail Partners [2]"));
    qvm::addPersonToMerge(21);
    qvm::addPersonToMerge(owner);
    auto* m = running<qvm::MergePersons>(qvm::kMergePersonsThread);
    QVERIFY(m);
    inst.prompts.reset();
    m->mergeButton()->click();
    settle();
    QCOMPARE(inst.prompts.count("Warning!"), 1);
    QCOMPARE(inst.prompts.requests[0].text, std::string("You are not allowed to change the MailBox owner default address!"));
    QVERIFY(rowOf(w, owner) >= 0);
    QVERIFY(rowOf(w, 21) >= 0);
    w->close();
    settle();
  }
};

QTEST_MAIN(PersonWindowsTest)
#include "person_windows_test.moc"
