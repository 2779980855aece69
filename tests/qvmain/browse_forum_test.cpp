// The forum and newsgroup browser: pages of the reading pane, previous and
// next items, the professional search within a selection, the bookmark,
// status colours, paging to the end, the events of the thread tree and the
// find, closing and reopening, and the frame opening the browser.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include "browse/browse_list.h"
#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "browse/hit_scan.h"
#include "browse/message_pane.h"
#include "browse/reading_pane.h"
#include "browse/status_marks.h"
#include "browse_data.h"
#include "events.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "lookup/lookup_list.h"
#include "search/build_search.h"
#include "search/search_word_entry.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/messages.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

qvm::BrowseWindow* openForumBrowser() { return openBrowser(qv::KindForumDb, 760); }

// The look-up list the browser opened (nullptr when none is up).
qvm::LookupList* openPicker(qvm::BrowseWindow* w) {
  settle();
  for (qvm::LookupList* l : w->findChildren<qvm::LookupList*>())
    if (l->isVisible()) return l;
  return nullptr;
}

}  // namespace

class BrowseForumTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aMessageShowsItsTimeBesideItsDate() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    // The time a capture gave message 500; message 501 has none.
    const int32_t time = qv::timeFromHMS(2, 35, 8);
    qv::OP_CLOSE(qv::OpShared, {qv::FileExtras});
    QVERIFY(qv::keepMessageTime(500, time, qv::ReportQuiet));
    qv::OP_CLOSE(qv::OpRelease, {qv::FileExtras});
    auto* w = openForumBrowser();
    QVERIFY(w);
    const int dateFormat = int(qv::KonfigGet(qv::ItemDateFormat));
    QVERIFY(w->showMessage(500));
    QCOMPARE(w->pane()->dateField()->text(),
             QString::fromStdString(qv::formatDate(100, dateFormat) + " " +
                                    qv::formatTime(time, int(qv::KonfigGet(qv::ItemTimeFormat)))));
    QVERIFY(w->showMessage(501));
    QCOMPARE(w->pane()->dateField()->text(), QString::fromStdString(qv::formatDate(102, dateFormat)));
  }

  void titleColumnsAndViewsOfTheKind() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Forum database: Browse Forum Messages [6]"));
    QCOMPARE(w->list()->page()->columnCount(), 4);
    QCOMPARE(w->modeLabel()->text(), QStringLiteral(" Find MsgNo "));
    QCOMPARE(w->entry()->toolTip(), QStringLiteral("Enter message number to look up"));
    // The number view lists the newest number first; the result view is not offered without a result.
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{505, 504, 503, 502, 501, 500}));
    QCOMPARE(w->modeSelector()->count(), 8);
    w->setMode(qv::FmSender);
    QCOMPARE(w->modeLabel()->text(), QStringLiteral(" Filter Sender "));
    QCOMPARE(w->limitBox()->toolTip(), QStringLiteral("Limit view to chosen sender"));
    QCOMPARE(w->lookupButton()->toolTip(), QStringLiteral("Look up sender"));
    QCOMPARE(w->nextItemButton()->toolTip(), QStringLiteral("Next Sender"));
    w->setMode(qv::FmSection);
    QCOMPARE(w->previousItemButton()->toolTip(), QStringLiteral("Previous Thread within Section"));
    QVERIFY(w->limitBox()->isChecked() && !w->limitBox()->isEnabled());
    // The message-number locator positions at the nearest number.
    w->setMode(qv::FmNumber);
    w->entry()->setText(QStringLiteral("503"));
    w->entryDone();
    QCOMPARE(w->selected(), 503u);
  }

  void newsgroupBrowserHasNoSectionColumn() {
    TestInstallation inst;
    inst.open();
    sampleForum(3, "comp.lang.misc");
    auto* w = openForumBrowser();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Newsgroup database: comp.lang.misc Messages [6]"));
    QCOMPARE(w->list()->page()->columnCount(), 3);
  }

  void lookUpsChooseTheLimitAndCancellingDropsIt() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(500));
    w->setMode(qv::FmThread);
    QCOMPARE(w->entry()->text(), QStringLiteral("Pears and apples"));
    // Typed text that differs from the chosen thread opens the thread list there.
    w->entry()->setText(QStringLiteral("Cher"));
    w->entryDone();
    qvm::LookupList* picker = openPicker(w);
    QVERIFY(picker);
    QCOMPARE(picker->currentId(), 1002u);
    picker->accept();
    settle();
    QCOMPARE(w->state().threadNumber, 1002u);
    QVERIFY(w->state().limitThread);
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{503}));
    QCOMPARE(w->entry()->text(), QStringLiteral("Cherries"));
    QCOMPARE(w->counter()->text(), QStringLiteral("[1]"));
    // Cancelling clears the entry and the limit.
    w->lookUp();
    picker = openPicker(w);
    QVERIFY(picker);
    picker->reject();
    settle();
    QCOMPARE(w->state().threadNumber, 0u);
    QVERIFY(!w->state().limitThread);
    QVERIFY(w->entry()->text().isEmpty());
    QCOMPARE(rowIds(w).size(), size_t(6));

    // The section view always has a section: cancelling falls back to the first.
    w->setMode(qv::FmSection);
    w->entry()->setText(QStringLiteral("04"));
    w->entryDone();
    picker = openPicker(w);
    QVERIFY(picker);
    picker->accept();
    settle();
    QCOMPARE(w->state().sectionId, 200u);
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{503}));
    w->lookUp();
    picker = openPicker(w);
    QVERIFY(picker);
    picker->reject();
    settle();
    QCOMPARE(w->state().sectionId, 100u);
    QVERIFY(w->limitBox()->isChecked());
    QCOMPARE(rowIds(w).size(), size_t(5));
  }

  void keyWordViewListsAndMarksTheChosenWord() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    addWord(7, "APPLES", {500, 504});
    auto* w = openForumBrowser();
    w->setMode(qv::FmWord);
    QVERIFY(rowIds(w).empty());  // no word chosen yet
    w->entry()->setText(QStringLiteral("app"));
    w->entryDone();
    qvm::LookupList* picker = openPicker(w);
    QVERIFY(picker);
    QCOMPARE(picker->currentId(), 7u);
    picker->accept();
    settle();
    QCOMPARE(w->entry()->text(), QStringLiteral("APPLES"));
    std::vector<uint32_t> ids = rowIds(w);
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (std::vector<uint32_t>{500, 504}));
    QVERIFY(w->showMessage(500));
    QCOMPARE(w->pane()->hits().size(), size_t(3));  // the subject's and the text's two
  }

  void longMessagesArePaged() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    std::string shown500;
    QVERIFY(qv::readShownText(1, 500, shown500));
    size_t prefix = shown500.size() - std::string("I like apples.\r\nRed apples most.\r\n").size();
    std::string body(24000 - prefix, 'x');
    for (size_t i = 80; i < body.size(); i += 81) body[i] = ' ';
    addMessage(600, 1000, 10, 11, 110, body);
    addMessage(601, 1000, 10, 11, 110, body + "y");
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(600));
    QCOMPARE(w->pane()->shown().size(), size_t(24000));
    QCOMPARE(w->pane()->pageCount(), size_t(1));
    QVERIFY(!w->pane()->nextPageButton()->isEnabled());
    QVERIFY(!w->pane()->previousPageButton()->isEnabled());

    QVERIFY(w->showMessage(601));
    QCOMPARE(w->pane()->pageCount(), size_t(2));
    QVERIFY(w->pane()->nextPageButton()->isEnabled());
    QVERIFY(!w->pane()->previousPageButton()->isEnabled());
    QVERIFY(w->pane()->reader()->toPlainText().endsWith(QStringLiteral(" ..........<MORE>>")));
    w->pane()->nextPageButton()->click();
    QCOMPARE(w->pane()->currentPage(), size_t(1));
    QVERIFY(w->pane()->reader()->toPlainText().startsWith(QStringLiteral("<CONTINUED>> \n")));
    QVERIFY(w->pane()->previousPageButton()->isEnabled());
    QVERIFY(!w->pane()->nextPageButton()->isEnabled());
  }

  void nextSenderAtTheLastSenderChangesNothing() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(502));
    w->setMode(qv::FmSender);
    QCOMPARE(w->state().sender.id, 12u);  // the selected message's sender
    w->setLimit(true);
    // Walk to the last sender that has messages, then once more.
    for (int i = 0; i < 10; ++i) w->nextItem();
    qv::BrowseState before = w->state();
    std::vector<uint32_t> rows = rowIds(w);
    QVERIFY(before.limitSender);
    w->nextItem();
    QCOMPARE(w->state(), before);
    QCOMPARE(rowIds(w), rows);
    // Previous goes back to a sender with messages, limited to that sender.
    w->previousItem();
    QVERIFY(w->state().sender.id != before.sender.id);
    for (uint32_t id : rowIds(w)) {
      qv::BrowseRow r;
      QVERIFY(qv::readBrowseRow(1, id, r));
      QCOMPARE(r.senderId, w->state().sender.id);
    }
  }

  void professionalSearchKeepsTheHitsOfTheChosenThread() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    // Without a word index the search is refused with its message.
    w->professionalSearch();
    QCOMPARE(inst.prompts.count(" Database not indexed!"), 1);
    QCOMPARE(QString::fromStdString(inst.prompts.requests.back().text),
             QStringLiteral("You cannot use the Professional search if the database is not indexed. Please run "
                            "Build Word Index from the Indexing menu."));

    QVERIFY(w->showMessage(500));
    w->setMode(qv::FmThread);
    w->setLimit(true);
    QCOMPARE(w->state().threadNumber, 1000u);
    QCOMPARE(rowIds(w).size(), size_t(3));
    QCOMPARE(w->searchScope(), QStringLiteral("Searching within the thread \"Pears and apples\" (3 messages)"));
    w->takeSearchHits({505, 504, 503, 502, 500}, {{"APPLES"}, {}});
    QCOMPARE(w->state().mode, int(qv::FmResult));
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{504, 500}));
    QVERIFY(w->resultViewOffered());
    QCOMPARE(w->modeSelector()->count(), 9);
    // The searched word is marked in the shown text, subject and text.
    QCOMPARE(w->selected(), 504u);
    QCOMPARE(w->pane()->hits().size(), size_t(2));
    QVERIFY(w->pane()->nextHitButton()->isEnabled());
    QVERIFY(!w->pane()->previousHitButton()->isEnabled());
    QVERIFY(w->pane()->nextHit());
    QCOMPARE(w->pane()->reader()->textCursor().selectedText(), QStringLiteral("apples"));
    QVERIFY(w->pane()->nextHit());
    QCOMPARE(w->pane()->reader()->textCursor().selectedText(), QStringLiteral("Apples"));
    QVERIFY(!w->pane()->nextHitButton()->isEnabled());
    QVERIFY(w->pane()->previousHitButton()->isEnabled());
    QVERIFY(w->pane()->previousHit());
    QCOMPARE(w->pane()->reader()->textCursor().selectedText(), QStringLiteral("apples"));

    // In the result view a search with nothing inside it falls back to the number view.
    w->takeSearchHits({502}, {{"BANANAS"}, {}});
    QCOMPARE(inst.prompts.count(" Search failed!"), 1);
    QCOMPARE(w->state().mode, int(qv::FmNumber));
    QVERIFY(!w->resultViewOffered());
    QCOMPARE(w->modeSelector()->count(), 8);
  }

  void professionalSearchWindowHandsItsHitsToTheResultView() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    addWord(7, "APPLES", {500, 504});
    addWord(8, "PEARS", {501});
    auto* w = openForumBrowser();
    qvm::postEvent(w, qvm::EvProSearch);
    settle();
    qvm::BuildSearch* dlg = w->findChild<qvm::BuildSearch*>();
    QVERIFY(dlg);
    // The number view: the whole database is searched, and the window says so.
    QCOMPARE(dlg->scopeLabel()->text(), QStringLiteral("Searching all messages of the database"));
    QPointer<qvm::BuildSearch> first(dlg);
    qvm::PickedWords picked;
    picked.words.push_back({"APPLES", 7, 2, false});
    dlg->addWords(picked);
    dlg->runSearch();
    settle();
    QCOMPARE(w->state().mode, int(qv::FmResult));
    QCOMPARE(rowIds(w), (std::vector<uint32_t>{504, 500}));
    QCOMPARE(w->modeSelector()->currentText(), QStringLiteral("Show search result set"));
    // The searched word is marked; the result view's label is blank.
    QCOMPARE(w->pane()->hits().size(), size_t(2));
    QCOMPARE(w->modeLabel()->text(), QStringLiteral(" "));
    QVERIFY2(inst.prompts.requests.empty(), qPrintable(inst.prompts.transcript()));
    // A search started from the result view searches within the result: the window names it.
    QVERIFY(first.isNull() || !first->isVisible());  // it closed with its hits
    qvm::postEvent(w, qvm::EvProSearch);
    settle();
    qvm::BuildSearch* again = nullptr;
    for (qvm::BuildSearch* d : w->findChildren<qvm::BuildSearch*>())
      if (d != first.data()) again = d;
    QVERIFY(again);
    QVERIFY(again->scopeLabel()->isVisibleTo(again));
    QCOMPARE(again->scopeLabel()->text(), QStringLiteral("Searching within the current search result (2 messages)"));
    again->reject();
    settle();
    QCOMPARE(w->state().mode, int(qv::FmResult));  // cancelled: the browser stays as it was
    // Reopened, the browser shows the result again with its words marked.
    QPointer<qvm::BrowseWindow> gone(w);
    w->close();
    QVERIFY(waitFor([&] { return gone.isNull(); }));
    w = openForumBrowser();
    QCOMPARE(w->state().mode, int(qv::FmResult));
    QVERIFY(w->resultViewOffered());
    QCOMPARE(w->pane()->hits().size(), size_t(2));
  }

  void bookmarkReturnsToTheSameMessageAndView() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(502));
    QCOMPARE(w->bookmarkButton()->toolTip(), QStringLiteral("Set BookMark"));
    w->toggleBookmark();
    QCOMPARE(w->bookmarkButton()->toolTip(), QStringLiteral("Reset to BookMark"));
    qv::BrowseState saved = w->state();
    w->setMode(qv::FmSender);
    w->setLimit(true);
    w->nextItem();
    w->setMode(qv::FmThread);
    w->setLimit(true);
    QVERIFY(w->showMessage(w->list()->page()->idAt(0)));
    w->toggleBookmark();
    QCOMPARE(w->state().mode, int(qv::FmNumber));
    QCOMPARE(w->selected(), 502u);
    QCOMPARE(w->list()->currentId(), 502u);
    QCOMPARE(w->state(), saved);
    QVERIFY(!w->hasBookmark());
    QCOMPARE(w->bookmarkButton()->toolTip(), QStringLiteral("Set BookMark"));
  }

  void statusMarksColourTheRowsAPurgeWouldDelete() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QColor keep = colourItem(qv::ItemColourKeep), del = colourItem(qv::ItemColourDelete);
    QVERIFY(w->showMessage(500));
    QVERIFY(w->markStatus(qv::LevelThread, 2));
    QCOMPARE(rowColour(w, 500), del);
    QCOMPARE(rowColour(w, 501), del);
    QCOMPARE(rowColour(w, 504), keep);  // kept itself: the thread's delete mark spares it
    QVERIFY(!rowColour(w, 502).isValid());
    QVERIFY(w->showMessage(502));
    QVERIFY(w->markStatus(qv::LevelMessage, 1));
    QCOMPARE(rowColour(w, 502), keep);
    QVERIFY(w->markStatus(qv::LevelDatabase, 2));
    QCOMPARE(rowColour(w, 503), del);
    QCOMPARE(rowColour(w, 502), keep);
    QVERIFY(w->markStatus(qv::LevelDatabase, 0));
    QVERIFY(!rowColour(w, 503).isValid());
    // The status items are in the list's context menu.
    QStringList items;
    for (QAction* a : w->contextMenu()->actions().first()->menu()->actions()) items << a->text();
    QVERIFY(items.contains(QStringLiteral("Delete Thread")) && items.contains(QStringLiteral("Keep Section")));
  }

  void pagingReachesTheEndOfALargeView() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    for (uint32_t n = 506; n <= 655; ++n) addMessage(n, 1002, 12, 10, int32_t(n));
    auto* w = openForumBrowser();
    qvm::BrowseList* list = w->list();
    int page = list->page()->pageRows();
    QVERIFY(page > 3 && page < 60);
    QCOMPARE(list->page()->rowCount(), page);  // only the rows on screen are read
    QCOMPARE(w->selected(), 655u);
    QCOMPARE(list->scrollBar()->value(), 0);
    QTest::keyClick(list->table(), Qt::Key_End);
    QCOMPARE(w->selected(), 500u);
    QVERIFY(list->page()->atEnd());
    QCOMPARE(list->page()->idAt(list->page()->rowCount() - 1), 500u);
    QCOMPARE(list->scrollBar()->value(), list->scrollBar()->maximum());
    QTest::keyClick(list->table(), Qt::Key_Home);
    QCOMPARE(w->selected(), 655u);
    // Down past the last row moves the page by one row.
    for (int i = 0; i < page; ++i) QTest::keyClick(list->table(), Qt::Key_Down);
    QCOMPARE(w->selected(), 655u - uint32_t(page));
    QCOMPARE(list->page()->idAt(0), 654u);
    QVERIFY(list->scrollBar()->value() > 0 && list->scrollBar()->value() < list->scrollBar()->maximum());
    // Page Down to the end and Page Up to the start.
    for (int i = 0; i < 200 && !list->page()->atEnd(); ++i) QTest::keyClick(list->table(), Qt::Key_PageDown);
    QTest::keyClick(list->table(), Qt::Key_PageDown);
    QCOMPARE(w->selected(), 500u);
    for (int i = 0; i < 200 && !list->page()->atStart(); ++i) QTest::keyClick(list->table(), Qt::Key_PageUp);
    QTest::keyClick(list->table(), Qt::Key_PageUp);
    QCOMPARE(w->selected(), 655u);
    // The wheel and the bar's arrows move the page and leave the selection where it is.
    uint32_t selected = w->selected();
    QWheelEvent wheel(QPointF(10, 10), list->table()->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->table()->viewport(), &wheel);
    QCOMPARE(list->page()->idAt(0), 652u);
    QCOMPARE(w->selected(), selected);
    list->scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(list->page()->idAt(0), 651u);
    QCOMPARE(w->selected(), selected);
    // The scroll bar's thumb let go halfway places the page about halfway through the numbers.
    list->scrollBar()->setSliderPosition(500);
    Q_EMIT list->scrollBar()->sliderReleased();
    uint32_t top = list->page()->idAt(0);
    QVERIFY2(top > 560 && top < 595, qPrintable(QString::number(top)));
  }

  void threadTreeAndFindEventsShowTheContextMessage() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    qv::BrowseState ctx = w->state();
    ctx.selected = 503;
    qv::writeBrowseContext(ctx);
    qvm::postEvent(w, qvm::EvShowContextMessage);
    settle();
    QCOMPARE(w->selected(), 503u);

    // The tree's jump out of the sender view: the view becomes the bookmark.
    QVERIFY(w->showMessage(505));
    w->setMode(qv::FmSender);
    w->setLimit(true);
    qv::BrowseState sender = w->state();
    ctx = sender;
    ctx.mode = qv::FmThread;
    ctx.selected = 501;
    qv::writeBrowseContext(ctx);
    qvm::postEvent(w, qvm::EvJumpFromTree);
    settle();
    QCOMPARE(w->state().mode, int(qv::FmThread));
    QCOMPARE(w->selected(), 501u);
    QCOMPARE(w->state().threadNumber, 1000u);
    QVERIFY(w->hasBookmark());
    w->toggleBookmark();
    QCOMPARE(w->state(), sender);

    // A find hit in the text: the find string is marked until the find closes.
    w->setMode(qv::FmNumber);
    qv::findSettings() = {"apples", false, false};
    ctx = w->state();
    ctx.selected = 500;
    qv::writeBrowseContext(ctx);
    qvm::postEvent(w, qvm::EvFindTextHit);
    settle();
    QCOMPARE(w->selected(), 500u);
    QCOMPARE(w->pane()->hits().size(), size_t(3));  // the subject's and the text's two
    for (int i = 0; i < 3; ++i) QVERIFY(w->pane()->nextHit());
    QVERIFY(!w->pane()->nextHitButton()->isEnabled());
    QVERIFY(w->pane()->previousHitButton()->isEnabled());
    qvm::postEvent(w, qvm::EvFindClosed);
    settle();
    QVERIFY(w->pane()->hits().empty());
    // Selecting a message publishes it in the context slot.
    QVERIFY(w->showMessage(502));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 502u);
  }

  void frameCommandsActOnTheSelectedMessage() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(501));
    qvm::postEvent(w, 1332);  // Copy to Clip-board
    settle();
    QString clip = QGuiApplication::clipboard()->text();
    QVERIFY2(clip.contains(QStringLiteral("501")) && clip.contains(QStringLiteral("Pears are better.")), qPrintable(clip));
    // Show Thread Tree and Standard Search open their windows, which read the selection from the context.
    qvm::postEvent(w, qvm::EvThreadTree);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("ThreadTree")) != 0; }));
    qvm::postEvent(w, qvm::EvStandardSearch);
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("FindText")) != 0; }));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 501u);
    // Closing the browser closes them first.
    QPointer<qvm::BrowseWindow> gone(w);
    w->close();
    QVERIFY(waitFor([&] { return gone.isNull(); }));
    QCOMPARE(qvm::TmGetId(QStringLiteral("ThreadTree")), 0);
    QCOMPARE(qvm::TmGetId(QStringLiteral("FindText")), 0);
  }

  void deleteConfirmationAsksFirst() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    inst.prompts.script(qv::BtnNo);
    qvm::postEvent(w, qvm::EvDeleteDatabase);
    settle();
    QCOMPARE(inst.prompts.count(" Database marked for deletion!"), 1);
    QCOMPARE(QString::fromStdString(inst.prompts.requests.back().text),
             QStringLiteral("Do you really want to delete all messages in this database? If you do, the entire "
                            "database directory will be removed."));
    QVERIFY(qv::Mem.ForumNumber != 0);
  }

  void closingKeepsTheViewAndReopeningReturnsToIt() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    auto* w = openForumBrowser();
    QVERIFY(w->showMessage(501));
    w->setMode(qv::FmThread);
    QPointer<qvm::BrowseWindow> gone(w);
    w->close();
    QVERIFY(waitFor([&] { return gone.isNull(); }));
    QCOMPARE(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")), 0);
    QCOMPARE(qv::storedBrowseMode(qv::KindForumDb), int(qv::FmThread));
    w = openForumBrowser();
    QCOMPARE(w->state().mode, int(qv::FmThread));
    QCOMPARE(w->selected(), 501u);
  }

  void openingADatabaseOpensItsBrowser() {
    TestInstallation inst;
    inst.open();
    uint32_t id = sampleForum();
    QVERIFY(qv::ActivateDatabase(id));
    qvm::MainFrame frame(1);
    frame.show();
    QVERIFY(waitFor([] { return qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")) != 0; }));
    QVERIFY(waitFor([&] { return frame.menuAction(qvm::ProcStandardSearch)->isEnabled(); }));
    QVERIFY(frame.menuAction(qvm::ProcProSearch)->isEnabled());
    QVERIFY(frame.menuAction(qvm::ProcBrowseMessages)->isEnabled());
    // Browse Messages again brings the running browser to the front.
    frame.choose(qvm::ProcBrowseMessages);
    settle();
    QCOMPARE(frame.area()->subWindowList().size(), 1);
    // Closing the browser disables the commands posted to it.
    qvm::TmWindow(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr")))->parentWidget()->close();
    QVERIFY(waitFor([&] { return !frame.menuAction(qvm::ProcStandardSearch)->isEnabled(); }));
    frame.requestExit();
    settle();
  }
};

QTEST_MAIN(BrowseForumTest)
#include "browse_forum_test.moc"
