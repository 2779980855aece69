// What a professional search shows as it ends: the browser's counter gives
// the number of messages found and the frame's status bar says it, and the
// reading pane brings the first hit of a long message into view.
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "browse/message_pane.h"
#include "browse_data.h"
#include "events.h"
#include "frame/window_host.h"
#include "search/build_search.h"
#include "search/search_word_entry.h"
#include "support/gui_fixture.h"

using namespace qvtest;

class SearchHitsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void theHitCountShowsAsTheSearchEnds() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    addWord(7, "APPLES", {500, 504});
    QMainWindow frame;
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    frame.resize(1000, 760);
    frame.show();
    qvm::setWindowArea(area);
    auto* w = openBrowser(qv::KindForumDb, 760);
    QVERIFY(w);
    QVERIFY(!w->counter()->isVisibleTo(w));  // the number view counts nothing
    qvm::postEvent(w, qvm::EvProSearch);
    settle();
    qvm::BuildSearch* dlg = w->findChild<qvm::BuildSearch*>();
    QVERIFY(dlg);
    qvm::PickedWords picked;
    picked.words.push_back({"APPLES", 7, 2, false});
    dlg->addWords(picked);
    dlg->runSearch();
    settle();
    QCOMPARE(w->state().mode, int(qv::FmResult));
    QVERIFY(w->counter()->isVisibleTo(w));
    QCOMPARE(w->counter()->text(), QStringLiteral("[2]"));
    QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("Professional Search: 2 messages found"));
    // Back in the number view the counter goes.
    w->setMode(qv::FmNumber);
    QVERIFY(!w->counter()->isVisibleTo(w));
    qvm::setWindowArea(nullptr);
  }

  void theReadingPaneScrollsToTheFirstHit() {
    TestInstallation inst;
    inst.open();
    sampleForum();
    std::string body;
    for (int i = 0; i < 200; ++i) body += "Nothing to see on line " + std::to_string(i) + ".\r\n";
    body += "At last some apples.\r\n";
    addMessage(600, 1002, 10, 12, 110, body);
    auto* w = openBrowser(qv::KindForumDb, 760);
    QVERIFY(w);
    w->takeSearchHits({600}, {{"APPLES"}, {}});
    settle();
    QCOMPARE(w->selected(), 600u);
    QCOMPARE(w->pane()->hits().size(), size_t(1));
    QPlainTextEdit* reader = w->pane()->reader();
    QVERIFY(reader->verticalScrollBar()->value() > 0);
    QVERIFY(reader->viewport()->rect().contains(reader->cursorRect().center()));
    QVERIFY(!reader->textCursor().hasSelection());
    // The next-hit button still steps onto the first hit.
    QVERIFY(w->pane()->nextHit());
    QCOMPARE(reader->textCursor().selectedText(), QStringLiteral("apples"));
    QVERIFY(!w->pane()->nextHitButton()->isEnabled());
  }
};

QTEST_MAIN(SearchHitsTest)
#include "search_hits_test.moc"
