// The mail browser: its title, columns and views, the partner view in both
// directions, the neighbouring partners, status colours of partner and
// mailbox, the reading pane's header fields, the date locator, its menus,
// and the frame opening it for a mail database.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <algorithm>

#include "browse/browse_list.h"
#include "browse/browse_window.h"
#include "browse/message_pane.h"
#include "browse/status_marks.h"
#include "browse_data.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

// Mail between the owner and three partners, in both directions:
// 700 Fay -> owner, 701 owner -> Fay, 702 Gus -> owner, 703 Fay -> owner, 704 owner -> Hal.
uint32_t sampleMailbox() {
  uint32_t id = makeBrowseDatabase(qv::KindMailDb, "Owen Test");
  uint32_t owner = qv::Mem.PersonID;
  addPerson(21, "Fay", "Brown", 2, 1);
  addPerson(22, "Gus", "Carter", 1, 0);
  addPerson(23, "Hal", "Doe", 0, 1);
  int32_t day = qv::dateFromYMD(2001, 5, 1);
  addMail(700, owner, 21, false, day, 100, "Hello", "Hi Owen.\r\n");
  addMail(701, owner, 21, true, day + 1, 100, "Re: Hello", "Hi Fay.\r\n");
  addMail(702, owner, 22, false, day + 1, 500, "Meeting", "At noon.\r\n");
  addMail(703, owner, 21, false, day + 3, 100, "Again", "Me again.\r\n");
  addMail(704, owner, 23, true, day - 1, 100, "Zebra", "Stripes.\r\n");
  return id;
}

qvm::BrowseWindow* openMailBrowser() { return openBrowser(qv::KindMailDb, 900); }

}  // namespace

class BrowseMailTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void titleColumnsViewsAndMenus() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openMailBrowser();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Mail database: Owen Test [5]"));
    QStringList captions;
    for (int c = 0; c < w->list()->page()->columnCount(); ++c)
      captions << w->list()->page()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    QCOMPARE(captions, (QStringList{"Date", "Time", "Subject", "Sender", "Receiver"}));
    // The date view lists the newest mail first.
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{703, 702, 701, 700, 704}));
    QCOMPARE(w->modeLabel()->text(), QStringLiteral("Find Date"));
    QVERIFY(w->dateEntry()->isVisibleTo(w) && !w->entry()->isVisibleTo(w));
    QCOMPARE(w->modeSelector()->count(), 7);  // no result view without a result
    QCOMPARE(w->modeSelector()->itemText(5), QStringLiteral("Filter by key word string"));
    w->setMode(qv::MmPartner);
    QCOMPARE(w->modeLabel()->text(), QStringLiteral("Filter Partner"));
    QCOMPARE(w->limitBox()->toolTip(), QStringLiteral("Limit view to chosen mail partner"));
    QCOMPARE(w->lookupButton()->toolTip(), QStringLiteral("Look up mail partner"));
    QCOMPARE(w->previousItemButton()->toolTip(), QStringLiteral("Previous Mail Partner"));
    QCOMPARE(w->filterButton()->toolTip(), QStringLiteral("Filter Mail Partner"));
    w->setMode(qv::MmSubject);
    QVERIFY(!w->nextItemButton()->isEnabled());
    QStringList copy;
    for (QAction* a : w->copyMenu()->actions())
      if (!a->isSeparator()) copy << a->text();
    QCOMPARE(copy, (QStringList{"Copy Mail to Clipboard", "Copy Mail to SaveMsg.Txt", "Append Mail to SaveMsg.Txt",
                                "Copy Partner Mail to SaveMsg.Txt", "Append Partner Mail to SaveMsg.Txt",
                                "Print Mail", "Print Partner Mail"}));
  }

  void partnerViewHoldsBothDirectionsAndStopsAtTheLastPartner() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openMailBrowser();
    QVERIFY(w->showMessage(700));
    w->setMode(qv::MmPartner);
    QCOMPARE(w->state().partner.id, 21u);
    w->setLimit(true);
    std::vector<uint32_t> ids = rowIds(w);
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (std::vector<uint32_t>{700, 701, 703}));
    QCOMPARE(w->entry()->text(), QStringLiteral("Fay Brown"));
    // Partners by name: Brown, Carter, Doe. Next twice reaches Doe; once more changes nothing.
    w->nextItem();
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{702}));
    w->nextItem();
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{704}));
    qv::BrowseState last = w->state();
    w->nextItem();
    QCOMPARE(w->state(), last);
    QCOMPARE(w->selected(), 704u);
    // Unticking the limit keeps the mail and shows every partner.
    w->limitBox()->click();
    QCOMPARE(w->selected(), 704u);
    QCOMPARE(w->list()->page()->rowCount(), 5);
  }

  void statusMarksOfPartnerAndMailbox() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openMailBrowser();
    QVERIFY(w->showMessage(703));
    QVERIFY(w->markStatus(qv::LevelMessage, 1));
    QVERIFY(w->markStatus(qv::LevelPartner, 2));
    QCOMPARE(rowColour(w, 703), colourItem(qv::ItemColourKeep));  // the mail is kept
    QCOMPARE(rowColour(w, 700), colourItem(qv::ItemColourDelete));
    QCOMPARE(rowColour(w, 701), colourItem(qv::ItemColourDelete));
    QVERIFY(!rowColour(w, 702).isValid());
    QVERIFY(!w->markStatus(qv::LevelThread, 2));  // mail has no threads
    QVERIFY(w->markStatus(qv::LevelDatabase, 2));
    QCOMPARE(rowColour(w, 702), colourItem(qv::ItemColourDelete));
    QStringList items;
    for (QAction* a : w->contextMenu()->actions().first()->menu()->actions())
      if (!a->isSeparator()) items << a->text();
    QCOMPARE(items.size(), 9);
    QVERIFY(items.contains(QStringLiteral("Delete MailBox")) && items.contains(QStringLiteral("Keep Partner")));
  }

  void readingPaneAndDateLocator() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    auto* w = openMailBrowser();
    QVERIFY(w->showMessage(702));
    QCOMPARE(w->pane()->reader()->toPlainText(), QStringLiteral("Subject: Meeting\n\nAt noon.\n"));
    QVERIFY(!w->pane()->dateField()->text().isEmpty());
    QVERIFY(!w->pane()->numberField()->text().isEmpty());  // the time
    QVERIFY(!w->pane()->replyField()->isVisibleTo(w));
    // The date entry follows the selection; a date picked there finds its mail.
    w->setMode(qv::MmDate);
    QCOMPARE(w->dateEntry()->date(), QDate(2001, 5, 2));
    w->dateEntry()->setDate(QDate(2001, 5, 1));
    w->entryDone();
    QCOMPARE(w->selected(), 700u);
    // Selecting a mail publishes it in the mail context slot.
    QCOMPARE(qv::readBrowseContext(qv::KindMailDb).selected, w->selected());
  }

  // A mail without a date shows no date: not in the date entry, the list's
  // columns or the reading pane (day 0 is no date, not 28 December 1800).
  void aMailWithoutADateShowsNoDate() {
    TestInstallation inst;
    inst.open();
    sampleMailbox();
    QVERIFY(addMail(705, qv::Mem.PersonID, 22, false, 0, 0, "Undated", "When?\r\n"));
    auto* w = openMailBrowser();
    w->setMode(qv::MmDate);
    QVERIFY(w->showMessage(705));
    QCOMPARE(w->dateEntry()->text().trimmed(), QString());
    QVERIFY(!w->dateEntry()->text().contains(QStringLiteral("1800")));
    qvm::BrowsePage* page = w->list()->page();
    for (int c = 0; c < 2; ++c)  // date and time
      QCOMPARE(page->data(page->index(page->rowOf(705), c), Qt::DisplayRole).toString(), QString());
    QCOMPARE(w->pane()->dateField()->text(), QString());
    // Leaving the blank entry as it is finds nothing; the next dated mail shows its date again.
    w->entryDone();
    QCOMPARE(w->selected(), 705u);
    QVERIFY(w->showMessage(702));
    QCOMPARE(w->dateEntry()->date(), QDate(2001, 5, 2));
    QCOMPARE(w->dateEntry()->text(), QStringLiteral("2001-05-02"));
  }

  void openingAMailDatabaseOpensTheMailBrowser() {
    TestInstallation inst;
    inst.open();
    uint32_t id = sampleMailbox();
    QVERIFY(qv::ActivateDatabase(id));
    qvm::MainFrame frame(1);
    frame.show();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMail")) != 0; }));
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")), 0);
    QVERIFY(waitFor([&] { return frame.menuAction(qvm::ProcCopyToClipboard)->isEnabled(); }));
    frame.requestExit();
    settle();
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseMail")), 0);
  }
};

QTEST_MAIN(BrowseMailTest)
#include "browse_mail_test.moc"
