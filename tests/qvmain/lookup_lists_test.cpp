// The look-up lists: titles and rows of threads, sections, persons and
// words; Enter and double click return the highlighted ID, Esc cancels;
// opened at the start text or ID; the status menus of threads and
// sections; a large list reads only the rows around what it shows.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

#include "browse/browse_window.h"
#include "dictionary/file_numbers.h"
#include "lookup/lookup_list.h"
#include "lookup/lookups.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/browse_records.h"
#include "support/gui_fixture.h"

using namespace qvtest;

namespace {

// What a picker handed back, and how often.
struct Answer {
  int calls = 0;
  bool ok = false;
  uint32_t id = 0;
  qvm::PickDone callback() {
    return [this](bool k, uint32_t i) {
      ++calls;
      ok = k;
      id = i;
    };
  }
};

qvm::LookupList* openList(const QString& title) {
  return qobject_cast<qvm::LookupList*>(findWindow(title));
}

QString cell(qvm::LookupList* l, int column) {
  QModelIndex i = l->view()->currentIndex();
  return l->model()->index(i.row(), column).data().toString();
}

void threads() {
  QVERIFY(addThread(7001, 100, "Modems and more", 4));
  QVERIFY(addThread(7002, 100, "Printer trouble again", 2));
  QVERIFY(addThread(7003, 100, "Antivirus", 7));
  QVERIFY(addThread(7004, 100, "Zip drives", 1));
}

}  // namespace

class LookupListsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void threadPickerReturnsTheChosenThreadOnEnter() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    threads();
    Answer a;
    qvm::pickThread(nullptr, QStringLiteral("Printer trouble again"), a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QVERIFY(l->isModal() || l->windowModality() != Qt::NonModal);
    QCOMPARE(l->model()->columnCount(), 2);
    QCOMPARE(l->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Thread subject"));
    // In heading order, opened at the start text.
    QCOMPARE(l->model()->index(0, 0).data().toString(), QStringLiteral("Antivirus"));
    QCOMPARE(cell(l, 0), QStringLiteral("Printer trouble again"));
    QCOMPARE(cell(l, 1), QStringLiteral("2"));
    QTest::keyClick(l->view(), Qt::Key_Down);
    QTest::keyClick(l->view(), Qt::Key_Return);
    QVERIFY(waitFor([&] { return a.calls > 0; }));
    settle();
    QCOMPARE(a.calls, 1);
    QVERIFY(a.ok);
    QCOMPARE(a.id, 7004u);
    QVERIFY(!openList(QStringLiteral(" Threads [")));
  }

  void escapeCancelsAndDoubleClickChooses() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    threads();
    Answer a;
    qvm::pickThread(nullptr, QString(), a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Antivirus"));  // no start text: the first thread
    QTest::keyClicks(l->view(), QStringLiteral("M"));  // type-ahead through the key
    QCOMPARE(cell(l, 0), QStringLiteral("Modems and more"));
    QTest::keyClick(l->view(), Qt::Key_Escape);
    QVERIFY(waitFor([&] { return a.calls > 0; }));
    settle();
    QCOMPARE(a.calls, 1);
    QVERIFY(!a.ok);
    QCOMPARE(a.id, 0u);

    // A start text after every heading opens at the last one.
    Answer b;
    qvm::pickThread(nullptr, QStringLiteral("Zzz"), b.callback());
    l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Zip drives"));
    QModelIndex modems = l->model()->index(1, 0);
    QCOMPARE(modems.data().toString(), QStringLiteral("Modems and more"));
    QRect r = l->view()->visualRect(modems);
    QTest::mouseClick(l->view()->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(l->view()->viewport(), Qt::LeftButton, {}, r.center());
    QVERIFY(waitFor([&] { return b.calls > 0; }));
    QVERIFY(b.ok);
    QCOMPARE(b.id, 7001u);
  }

  void statusMenusMarkThreadsAndSections() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    threads();
    QVERIFY(addSection(900, 4, "Utilities", 12));
    QVERIFY(addSection(901, 7, "Hardware", 30));
    QVERIFY(addSection(902, 12, "Off topic", 3));

    Answer a;
    qvm::pickThread(nullptr, QStringLiteral("Modems"), a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QCOMPARE(l->statusEntries(), (QStringList{"Normal Thread", "Keep Thread", "Delete Thread"}));
    QVERIFY(l->applyStatus(QStringLiteral("Keep Thread")));
    QCOMPARE(l->view()->currentIndex().data(Qt::ForegroundRole).value<QColor>(), colourItem(qv::ItemColourKeep));
    qv::OP_CLOSE(qv::OpShared, {qv::FileThreads});
    qv::THR.THREADNUMBER = 7001;
    QVERIFY(qv::Threads.get(qv::THR_ThreadKey));
    QCOMPARE(int(qv::THR.DUMMY), 1);
    qv::OP_CLOSE(qv::OpRelease, {qv::FileThreads});
    QVERIFY(l->applyStatus(QStringLiteral("Delete Thread")));
    QCOMPARE(l->view()->currentIndex().data(Qt::ForegroundRole).value<QColor>(), colourItem(qv::ItemColourDelete));
    QVERIFY(l->applyStatus(QStringLiteral("Normal Thread")));
    QVERIFY(!l->view()->currentIndex().data(Qt::ForegroundRole).isValid());
    l->reject();
    settle();

    Answer s;
    qvm::pickSection(nullptr, QStringLiteral("07 Hardware"), s.callback());
    l = openList(QStringLiteral(" Sections [3]"));
    QVERIFY(l);
    QCOMPARE(l->model()->index(0, 0).data().toString(), QStringLiteral("04 Utilities"));
    QCOMPARE(cell(l, 0), QStringLiteral("07 Hardware"));
    QCOMPARE(cell(l, 1), QStringLiteral("30"));
    QCOMPARE(l->model()->index(2, 0).data().toString(), QStringLiteral("12 Off topic"));
    QVERIFY(l->applyStatus(QStringLiteral("Delete Section")));
    qv::OP_CLOSE(qv::OpShared, {qv::FileSections});
    qv::SEC.SECSYSID = 901;
    QVERIFY(qv::Sections.get(qv::SEC_SysIdKey));
    QCOMPARE(int(qv::SEC.DUMMY), 2);
    qv::OP_CLOSE(qv::OpRelease, {qv::FileSections});
    QTest::keyClick(l->view(), Qt::Key_Enter);
    QVERIFY(waitFor([&] { return s.calls > 0; }));
    QCOMPARE(s.id, 901u);
  }

  void personPickerOpensOnThePersonAndSortsByAddress() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindMailDb, "Owen Owner") != 0);
    QVERIFY(addPerson(300, "Ann", "Lee", 5, 1, "zed@example.org"));
    QVERIFY(addPerson(301, "Bob", "Ray", 2, 9, "bob@example.org"));
    QVERIFY(addPerson(302, "Cy", "Adams", 0, 0, "cy@example.org"));
    QVERIFY(addPerson(303, "", "Lee", 0, 0, "lee@example.org"));

    Answer a;
    qvm::pickPerson(nullptr, QStringLiteral("Bob Ray"), 300, a.callback());
    // The mailbox's owner is a person of the database too.
    qvm::LookupList* l = openList(QStringLiteral(" Mail Partners [5]"));
    QVERIFY(l);
    QVERIFY(l->orderBox());
    QCOMPARE(l->orderBox()->itemText(0), QStringLiteral("Sort by LastName"));
    QCOMPARE(l->orderBox()->itemText(1), QStringLiteral("Sort by Address"));
    // The start ID wins over the start text.
    QCOMPARE(cell(l, 0), QStringLiteral("Lee, Ann"));
    QCOMPARE(cell(l, 1), QStringLiteral("zed@example.org"));
    QCOMPARE(cell(l, 2), QStringLiteral("5"));
    QCOMPARE(cell(l, 3), QStringLiteral("1"));
    QCOMPARE(l->model()->index(0, 0).data().toString(), QStringLiteral("Adams, Cy"));
    // By address the same person stays highlighted, now last.
    l->orderBox()->setCurrentIndex(1);
    QCOMPARE(cell(l, 0), QStringLiteral("Lee, Ann"));
    QCOMPARE(l->view()->currentIndex().row(), 4);
    QCOMPARE(l->model()->index(0, 1).data().toString(), QStringLiteral("bob@example.org"));
    QTest::keyClick(l->view(), Qt::Key_Return);
    QVERIFY(waitFor([&] { return a.calls > 0; }));
    QCOMPARE(a.id, 300u);

    // Without an ID: the typed name, split as a sender's name is.
    Answer b;
    qvm::pickPerson(nullptr, QStringLiteral("Bob Ray"), 0, b.callback());
    l = openList(QStringLiteral(" Mail Partners [5]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Ray, Bob"));
    l->reject();
    settle();
    Answer c;
    qvm::pickPerson(nullptr, QStringLiteral("Lee"), 0, c.callback());
    l = openList(QStringLiteral(" Mail Partners [5]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Lee"));  // the Lee without a first name sorts first
    l->reject();
  }

  void personTitlesFollowTheDatabaseKind() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    QVERIFY(addPerson(300, "Ann", "Lee"));
    Answer a;
    qvm::pickPerson(nullptr, QString(), 0, a.callback());
    QVERIFY(openList(QStringLiteral(" Forum Members [1]")));
    openList(QStringLiteral(" Forum Members [1]"))->reject();
    settle();
    QVERIFY(makeBrowseDatabase(qv::KindNewsDb, "comp.lang.c") != 0);
    QVERIFY(addPerson(310, "Dee", "Kay"));
    QVERIFY(addPerson(311, "Al", "Bo"));
    qvm::pickPerson(nullptr, QString(), 0, a.callback());
    QVERIFY(openList(QStringLiteral(" Newsgroup Participants [2]")));
    openList(QStringLiteral(" Newsgroup Participants [2]"))->reject();
  }

  void wordPickerOpensAtTheTypedWord() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    // Before any indexing the list is empty: Enter chooses nothing, Esc cancels.
    Answer none;
    qvm::pickWord(nullptr, QStringLiteral("modem"), none.callback());
    qvm::LookupList* empty = openList(QStringLiteral(" Indexed Words [0]"));
    QVERIFY(empty);
    QCOMPARE(empty->model()->rowCount(), 0);
    QTest::keyClick(empty->view(), Qt::Key_Return);
    settle();
    QCOMPARE(none.calls, 0);
    QTest::keyClick(empty->view(), Qt::Key_Escape);
    QVERIFY(waitFor([&] { return none.calls == 1; }));
    QVERIFY(!none.ok);
    settle();

    QVERIFY(addWordEntry(11, "MODEM", 3));
    QVERIFY(addWordEntry(12, "PRINTER", 8));
    QVERIFY(addWordEntry(13, "PRINTERS", 2));
    QVERIFY(addWordEntry(14, "ZIP", 1));
    Answer a;
    qvm::pickWord(nullptr, QStringLiteral("printe"), a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Indexed Words [4]"));
    QVERIFY(l);
    QCOMPARE(l->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Indexes"));
    QCOMPARE(cell(l, 0), QStringLiteral("PRINTER"));
    QCOMPARE(cell(l, 1), QStringLiteral("8"));
    QTest::keyClick(l->view(), Qt::Key_Down);
    QTest::keyClick(l->view(), Qt::Key_Return);
    QVERIFY(waitFor([&] { return a.calls > 0; }));
    QCOMPARE(a.id, 13u);
  }

  void aLargeListReadsOnlyTheRowsAroundWhatItShows() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindMailDb, "Owen Owner") != 0);
    qv::OP_CLOSE(qv::OpShared, {qv::FilePerson});
    QVERIFY(qv::beginTransaction({&qv::Person}, 5));
    const int n = 3000;
    for (int i = 0; i < n; ++i) {
      qv::PER = qv::PersonRec();
      qv::PER.PERSONID = uint32_t(400000 + i);
      char last[16];
      std::snprintf(last, sizeof last, "Name%05d", i);
      qv::PER.LASTNAME = last;
      qv::PER.PERSONSTRING = std::string(last) + " " + std::to_string(i);
      qv::PER.ADDRESS = "p" + std::to_string(i) + "@example.org";
      QVERIFY(qv::Person.add());
    }
    QVERIFY(qv::commitTransaction());
    qv::OP_CLOSE(qv::OpRelease, {qv::FilePerson});

    Answer a;
    qvm::pickPerson(nullptr, QString(), 401500, a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Mail Partners [3001]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Name01500"));
    int loaded = l->model()->rowCount();
    // A few pages around the person (the view asks for more while it lays itself out), not the table.
    QVERIFY2(loaded <= 5 * qvm::LookupModel::kPage, qPrintable(QString::number(loaded)));

    // Up from the first loaded row reads the rows before it.
    QString firstBefore = l->model()->index(0, 0).data().toString();
    l->view()->setCurrentIndex(l->model()->index(0, 0));
    QTest::keyClick(l->view(), Qt::Key_Up);
    QVERIFY(l->model()->rowCount() > loaded);
    QVERIFY(cell(l, 0) < firstBefore);

    // End shows the last person, Home the first, each with a few pages of rows only.
    QTest::keyClick(l->view(), Qt::Key_End);
    QCOMPARE(cell(l, 0), QStringLiteral("Owner, Owen"));  // "Owner" sorts after the names
    QVERIFY(l->model()->rowCount() <= qvm::LookupModel::kPage);
    QTest::keyClick(l->view(), Qt::Key_Home);
    QCOMPARE(cell(l, 0), QStringLiteral("Name00000"));
    QVERIFY(l->model()->rowCount() <= 5 * qvm::LookupModel::kPage);

    // Scrolling to the bottom reads the next page, in order and without gaps.
    while (l->model()->canFetchMore(QModelIndex())) l->model()->fetchMore(QModelIndex());
    QCOMPARE(l->model()->rowCount(), n + 1);  // and the owner, "Owner" after the names
    for (int i = 0; i < n; i += 97)
      QCOMPARE(l->model()->index(i, 0).data().toString(), QStringLiteral("Name%1").arg(i, 5, 10, QLatin1Char('0')));
    l->reject();
  }

  void theBrowserTakesTheChosenThreadAsItsLimit() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    threads();
    QVERIFY(addMessageIn(500, 7001, 100, "Modems and more", 0, 0, 70000, {}, 0, 0));
    QVERIFY(addMessageIn(501, 7004, 100, "Zip drives", 0, 0, 70000, {}, 0, 0));
    QPointer<qvm::BrowseWindow> browser = new qvm::BrowseWindow(qv::KindForumDb);
    browser->show();
    browser->setMode(qv::FmThread);
    browser->entry()->setText(QStringLiteral("Zip"));
    browser->lookUp();
    qvm::LookupList* l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QCOMPARE(cell(l, 0), QStringLiteral("Zip drives"));
    QTest::keyClick(l->view(), Qt::Key_Return);
    QVERIFY(waitFor([&] { return browser->state().threadNumber == 7004u; }));
    QVERIFY(browser->state().limitThread);
    browser->close();
  }

  void positionAndColumnWidthsAreKept() {
    TestInstallation inst;
    inst.open();
    QVERIFY(makeBrowseDatabase(qv::KindForumDb, "Pick Forum") != 0);
    threads();
    Answer a;
    qvm::pickThread(nullptr, QString(), a.callback());
    qvm::LookupList* l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    l->setGeometry(40, 50, 520, 300);
    l->view()->header()->resizeSection(0, 222);
    l->reject();
    settle();
    qvm::pickThread(nullptr, QString(), a.callback());
    l = openList(QStringLiteral(" Threads [4]"));
    QVERIFY(l);
    QCOMPARE(l->size(), QSize(520, 300));
    QCOMPARE(l->view()->header()->sectionSize(0), 222);
    l->reject();
  }
};

QTEST_MAIN(LookupListsTest)
#include "lookup_lists_test.moc"
