// The search windows: the typed-word checks of SINGLE_UI with their
// messages, the pick list of SINGLE_ONEFLD, the lists of BUILDSEARCH with
// their refusals, a search returning its hits to the caller (also after a
// pause), and the standard search window driving the browser by events.
#include <QCheckBox>
#include <QPointer>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

#include "browse/browse_state.h"
#include "browse/browse_window.h"
#include "browse/hit_scan.h"
#include "browse/message_pane.h"
#include "dictionary/dictionary.h"
#include "events.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "search/build_search.h"
#include "search/single_onefld.h"
#include "search/search_word_entry.h"
#include "search/text_find_window.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"

using namespace qvtest;

namespace {

bool add(int file) {
  qv::OP_CLOSE(qv::OpShared, {file});
  bool ok = qv::declaredFile(file).add();
  qv::OP_CLOSE(qv::OpRelease, {file});
  return ok;
}

void thread(uint32_t id, const std::string& heading) {
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = id;
  qv::THR.SECSYSID = 100;
  qv::THR.ALPHA = heading.substr(0, 10);
  qv::THR.BETA = heading.substr(10);
  QVERIFY(add(7));
}

void message(uint32_t number, uint32_t threadId, const std::string& alpha, const std::string& text) {
  qv::MSG = qv::MsgNmbrRec();
  qv::MSG.MSGNUMBER = number;
  qv::MSG.SECSYSID = 100;
  qv::MSG.THREADNUMBER = threadId;
  qv::MSG.THREADALPHA = alpha;
  qv::MSG.DATE = int32_t(number);
  QVERIFY(add(3));
  qv::TXT = qv::MsgTextRec();
  qv::TXT.MSGNUMBER = number;
  qv::TXT.MsgText = text;
  QVERIFY(add(4));
}

void word(int32_t id, const std::string& w, std::vector<uint32_t> messages) {
  qv::WOR = qv::WordListRec();
  qv::WOR.WORDID = id;
  qv::WOR.THEWORD = w;
  qv::WOR.WORDCOUNT = int32_t(messages.size());
  QVERIFY(add(28));
  for (uint32_t m : messages) {
    qv::MAS = qv::MasIdxRec();
    qv::MAS.SYSID = m;
    qv::MAS.WORDID = uint32_t(id);
    QVERIFY(add(29));
  }
}

// A forum database of four messages in two threads with their word index.
void forum() {
  uint32_t id = qv::AddForumDatabase("Search Forum", 1, 0);
  QVERIFY(id != 0);
  QVERIFY(qv::selectDatabase(id));
  thread(1000, "Printer trouble");
  thread(1001, "Holiday plans");
  message(500, 1000, "Printer tr", "My printer jams.\r\nHello World");
  message(501, 1000, "Printer tr", "Did you look in the printers catalog?");
  message(502, 1001, "Holiday pl", "The printer is fine.");
  message(503, 1001, "Holiday pl", "Robert and Rupert went out.");
  word(1, "PRINTER", {500, 502});
  word(2, "PRINTERS", {501});
  word(3, "CATALOG", {501});
  word(4, "ROBERT", {503});
  word(5, "RUPERT", {503});
  word(6, "JAMS", {500});
  word(7, "HELLO", {500});
  word(8, "WORLD", {500});
  word(9, "FINE", {502});
}

// Stands in for the browser: registers under its thread name and keeps the
// private events it receives.
class FakeBrowser : public QWidget {
 public:
  explicit FakeBrowser(const QString& name) { qvm::TmCreate(this, name, qvm::kNotToolsGroup); }
  bool event(QEvent* e) override {
    if (const qvm::QvEvent* p = qvm::privateEvent(e)) {
      if (p->number() != qvm::EvActivate) events << p->number();
      return true;
    }
    return QWidget::event(e);
  }
  QList<int> events;
};

QStringList words(QTreeWidget* t) {
  QStringList out;
  for (int i = 0; i < t->topLevelItemCount(); ++i) out << t->topLevelItem(i)->text(0);
  return out;
}

QStringList pickedWords(const qvm::PickedWords& p) {
  QStringList out;
  for (const qv::SearchWord& w : p.words) out << QString::fromStdString(w.word);
  return out;
}

// Types a request into a new input window and presses Find.
qvm::SingleUi* typed(const QString& text, qvm::TypedMatch m = qvm::TypedMatch::Exact) {
  auto* ui = new qvm::SingleUi;
  ui->show();
  ui->matchButton(m)->setChecked(true);
  ui->input()->setText(text);
  ui->findButton()->click();
  return ui;
}

std::vector<uint32_t> ids(std::initializer_list<uint32_t> l) { return std::vector<uint32_t>(l); }

}  // namespace

class SearchWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void typedRequestsAreRefusedWithTheirMessages() {
    TestInstallation inst;
    inst.open();
    forum();
    struct Case {
      QString text;
      qvm::TypedMatch match;
      std::string caption;
      std::string message;
    };
    const Case cases[] = {
        {QStringLiteral("   "), qvm::TypedMatch::Exact, "Blank Search",
         "No searchwords!\r\nPlease type a what you want to find or press cancel."},
        {QStringLiteral("print* jams"), qvm::TypedMatch::Phrase, "Search Problem",
         "Wildcards can not be used in\r\nphrases, soundex or approximate searches."},
        {QStringLiteral("rob?rt"), qvm::TypedMatch::Soundex, "Search Problem", ""},
        {QStringLiteral("print*"), qvm::TypedMatch::Approximate, "Search Problem", ""},
        {QStringLiteral("the and"), qvm::TypedMatch::Exact, "No valid searchwords",
         "All of the words are on the stoplist (non-indexed).\r\nPlease type valid words or cancel!"},
        {QStringLiteral("r2d2"), qvm::TypedMatch::Soundex, "Only Letters Please",
         "Soundex Search Requests May Only Contain Letters and Must be a Single Word."},
        {QStringLiteral("robert rupert"), qvm::TypedMatch::Soundex, "Only Letters Please", ""},
        {QStringLiteral("r"), qvm::TypedMatch::Soundex, "Too Few Letters",
         "To use Soundex you must type at least 2 letters."},
        {QStringLiteral("x"), qvm::TypedMatch::Approximate, "Too Few Letters",
         "To use Approximate Matching you must type at least 2 letters."},
        {QStringLiteral("hello xyzzy"), qvm::TypedMatch::Phrase, "No matches",
         "One of the words in the phrase was not found in any document.\r\nWord:XYZZY"},
    };
    for (const Case& c : cases) {
      inst.prompts.reset();
      bool picked = false;
      auto* ui = new qvm::SingleUi;
      ui->onPicked = [&](const qvm::PickedWords&) { picked = true; };
      ui->show();
      ui->matchButton(c.match)->setChecked(true);
      ui->input()->setText(c.text);
      ui->findButton()->click();
      QVERIFY2(ui->isVisible(), qPrintable(c.text));  // refused: the window stays for another try
      QVERIFY(!picked);
      QVERIFY2(inst.prompts.count(c.caption) >= 1, qPrintable(c.text + QStringLiteral(": ") + inst.prompts.transcript()));
      if (!c.message.empty()) QCOMPARE(inst.prompts.requests.back().text, c.message);
      ui->close();
    }
  }

  void stopWordsAreDroppedAndFoundWordsTaken() {
    TestInstallation inst;
    inst.open();
    forum();
    qvm::PickedWords got;
    auto* ui = new qvm::SingleUi;
    ui->onPicked = [&](const qvm::PickedWords& p) { got = p; };
    ui->show();
    ui->orButton()->setChecked(true);
    ui->input()->setText(QStringLiteral("the Printer"));
    ui->findButton()->click();
    QCOMPARE(inst.prompts.count("Non-Indexed Word"), 1);
    QCOMPARE(inst.prompts.requests.front().text,
             std::string("The word: THE is a Non-Indexed Word.\r\nIt has been removed from the search."));
    QCOMPARE(pickedWords(got), QStringList{QStringLiteral("PRINTER")});
    QCOMPARE(got.words[0].count, 2);
    QVERIFY(!got.toAnd);
    QVERIFY(got.phrase.empty());
    settle();
    QVERIFY(!findWindow(QStringLiteral(" Search Words")));

    // A word the index does not hold is told and nothing is taken.
    inst.prompts.reset();
    ui = typed(QStringLiteral("xyzzy"));
    QCOMPARE(inst.prompts.count("No matches"), 1);
    QVERIFY(ui->isVisible());
    ui->close();

    // A phrase goes to the AND list with its words in order.
    ui = typed(QStringLiteral("hello world"), qvm::TypedMatch::Phrase);
    QCOMPARE(pickedWords(ui->picked()), (QStringList{QStringLiteral("HELLO"), QStringLiteral("WORLD")}));
    QVERIFY(ui->picked().toAnd);
    QCOMPARE(ui->picked().phrase, (std::vector<std::string>{"HELLO", "WORLD"}));
  }

  void wildcardAndSoundexOfferTheirCandidatesForChoice() {
    TestInstallation inst;
    inst.open();
    forum();
    QPointer<qvm::SingleUi> ui = typed(QStringLiteral("print*"));
    auto* pick = ui->findChild<qvm::SingleOneFld*>();
    QVERIFY(pick);
    QCOMPARE(words(pick->list()), (QStringList{QStringLiteral("PRINTER"), QStringLiteral("PRINTERS")}));
    QCOMPARE(pick->list()->topLevelItem(0)->text(1), QStringLiteral("2"));
    pick->list()->topLevelItem(1)->setSelected(true);
    pick->list()->topLevelItem(0)->setSelected(false);
    pick->pickButton()->click();
    QCOMPARE(pickedWords(ui->picked()), QStringList{QStringLiteral("PRINTERS")});
    settle();
    QVERIFY(!ui);  // taken: the window closed

    ui = typed(QStringLiteral("Robert"), qvm::TypedMatch::Soundex);
    pick = ui->findChild<qvm::SingleOneFld*>();
    QVERIFY(pick);
    QCOMPARE(words(pick->list()), (QStringList{QStringLiteral("ROBERT"), QStringLiteral("RUPERT")}));
    pick->list()->selectAll();
    pick->pickButton()->click();
    QCOMPARE(pickedWords(ui->picked()), (QStringList{QStringLiteral("ROBERT"), QStringLiteral("RUPERT")}));

    // Approximate: one letter wrong.
    ui = typed(QStringLiteral("katalox"), qvm::TypedMatch::Approximate);
    QVERIFY(!ui->findChild<qvm::SingleOneFld*>());  // two letters differ
    QCOMPARE(inst.prompts.count("No matches"), 1);
    ui->tolerance()->setValue(2);
    ui->findButton()->click();
    pick = ui->findChild<qvm::SingleOneFld*>();
    QVERIFY(pick);
    QCOMPARE(words(pick->list()), QStringList{QStringLiteral("CATALOG")});
    // Cancelling the pick list takes nothing: the input window stays.
    pick->reject();
    settle();
    QVERIFY(ui->isVisible());
    QVERIFY(ui->picked().words.empty());
    ui->close();
  }

  void theListsRefuseActionsWithoutASelection() {
    TestInstallation inst;
    inst.open();
    forum();
    auto* w = new qvm::BuildSearch(1);
    w->show();
    w->deleteButton()->click();
    QCOMPARE(inst.prompts.requests.back().caption, std::string("Pick One First"));
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("Please Pick an Entry in one of the Lists Above to Delete and Try Again."));
    w->notButton()->click();
    QCOMPARE(inst.prompts.requests.back().caption, std::string("Nothing Selected"));
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("Please Click on a Search Word in one of the Lists Above to NOT and Try Again."));
    w->searchButton()->click();
    QCOMPARE(inst.prompts.requests.back().caption, std::string("No Search Words"));
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("Please use the Insert Button to Locate words of Interest!\r\nThen Try Again."));

    // Insert opens the input window; its words land in the chosen list.
    w->insertButton()->click();
    auto* ui = w->findChild<qvm::SingleUi*>();
    QVERIFY(ui);
    ui->input()->setText(QStringLiteral("printer jams"));
    ui->findButton()->click();
    QCOMPARE(words(w->andList()), (QStringList{QStringLiteral("PRINTER"), QStringLiteral("JAMS")}));
    QCOMPARE(w->andList()->topLevelItem(0)->text(1), QStringLiteral("2"));
    // The same word twice stands once.
    qvm::PickedWords again;
    again.words = {{"PRINTER", 1, 2, false}};
    w->addWords(again);
    QCOMPARE(w->andList()->topLevelItemCount(), 2);

    // NOT marks the selected word; a selection in one list clears the other's.
    w->andList()->setCurrentItem(w->andList()->topLevelItem(1));
    w->notButton()->click();
    QCOMPARE(w->andList()->topLevelItem(1)->text(2), QStringLiteral("NOT"));
    QVERIFY(w->search().andList[1].negated);
    w->deleteButton()->click();  // JAMS is still selected
    QCOMPARE(words(w->andList()), QStringList{QStringLiteral("PRINTER")});
    w->close();
  }

  void aSearchReturnsItsHitsToTheCaller() {
    TestInstallation inst;
    inst.open();
    forum();
    std::vector<uint32_t> got = {999};
    bool called = false;
    QWidget parent;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    auto* w = parent.findChild<qvm::BuildSearch*>();
    QVERIFY(w);
    QCOMPARE(w->windowModality(), Qt::WindowModal);
    qvm::PickedWords p;
    p.words = {{"PRINTER", 1, 2, false}, {"JAMS", 6, 1, true}};
    w->addWords(p);
    w->andList()->setCurrentItem(w->andList()->topLevelItem(1));
    w->notButton()->click();
    QCOMPARE(w->andList()->topLevelItem(1)->text(2), QString());  // NOT again takes the mark off
    w->notButton()->click();
    w->searchButton()->click();
    QVERIFY2(called, qPrintable(inst.prompts.transcript()));
    QCOMPARE(got, ids({502}));  // PRINTER but not JAMS

    // Cancelled: nothing comes back.
    called = false;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    settle();
    w = parent.findChild<qvm::BuildSearch*>();
    QVERIFY(w);
    QCOMPARE(w->closeButton()->text(), QStringLiteral("Cancel"));
    w->closeButton()->click();
    QVERIFY(called);
    QVERIFY(got.empty());

    // A phrase that no text holds is told, and the window stays.
    called = false;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    settle();
    w = parent.findChild<qvm::BuildSearch*>();
    qvm::PickedWords phrase;
    phrase.words = {{"WORLD", 8, 1, false}, {"HELLO", 7, 1, false}};
    phrase.phrase = {"WORLD", "HELLO"};
    w->addWords(phrase);
    inst.prompts.script(qv::BtnRetry);
    w->searchButton()->click();
    QCOMPARE(inst.prompts.requests.back().text, std::string("No documents contain the phrase. Sorry!"));
    QVERIFY(!called);
    // The words in the right order find the message.
    w->search().phrase = {"HELLO", "WORLD"};
    w->searchButton()->click();
    QVERIFY(called);
    QCOMPARE(got, ids({500}));
  }

  void aPausedSearchGoesOnOrGivesWhatItFound() {
    TestInstallation inst;
    inst.open();
    forum();
    qv::WSVarsSet(qv::ItemSearchPause, 1);  // ask after every index entry
    std::vector<uint32_t> got;
    bool called = false;
    QWidget parent;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    auto* w = parent.findChild<qvm::BuildSearch*>();
    qvm::PickedWords p;
    p.words = {{"PRINTER", 1, 2, false}};
    w->addWords(p);
    inst.prompts.script(qv::BtnNo);
    w->searchButton()->click();
    QCOMPARE(inst.prompts.count("Search More?"), 1);
    QVERIFY(!called);  // the window stays so that the search can go on
    QCOMPARE(w->results().size(), size_t(1));
    QCOMPARE(w->closeButton()->text(), QStringLiteral("Close"));
    QVERIFY(w->statusLabel()->text().contains(QStringLiteral("1 messages found")));
    w->searchButton()->click();  // goes on from where it stopped
    QVERIFY(called);
    QCOMPARE(got, ids({502, 500}));

    // Declining and closing returns the hits found so far.
    called = false;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    settle();
    w = parent.findChild<qvm::BuildSearch*>();
    w->addWords(p);
    inst.prompts.script(qv::BtnNo);
    w->searchButton()->click();
    w->closeButton()->click();
    QVERIFY(called);
    QCOMPARE(got.size(), size_t(1));
    // Changing the lists forgets the hits.
    called = false;
    qvm::buildSearch(&parent, 1, [&](std::vector<uint32_t> found) {
      got = std::move(found);
      called = true;
    });
    settle();
    w = parent.findChild<qvm::BuildSearch*>();
    w->addWords(p);
    inst.prompts.script(qv::BtnNo);
    w->searchButton()->click();
    w->andList()->setCurrentItem(w->andList()->topLevelItem(0));
    w->deleteButton()->click();
    QVERIFY(w->results().empty());
    QCOMPARE(w->closeButton()->text(), QStringLiteral("Cancel"));
    w->close();
    QVERIFY(called);
    QVERIFY(got.empty());
  }

  void theFindWindowDrivesTheBrowserByEvents() {
    TestInstallation inst;
    inst.open();
    forum();
    qv::findSettings() = qv::FindSettings();
    FakeBrowser browser(QStringLiteral("BrowseMsgNmbr"));
    qv::BrowseState s;
    s.kind = qv::KindForumDb;
    s.mode = qv::FmNumber;
    qv::writeBrowseContext(s);
    QVERIFY(qvm::startProcedure(QStringLiteral("FindText")));
    auto* w = qobject_cast<qvm::TextFindWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("FindText"))));
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral(" Standard Search"));
    QCOMPARE(qvm::TmMembers(qvm::kFindGroup), QStringList{QStringLiteral("FindText")});
    QCOMPARE(w->scopeButton(1)->text(), QStringLiteral(" Msgtext/Thread subject"));
    QCOMPARE(w->startButton(2)->toolTip(), QStringLiteral("Start search with oldest message"));
    QVERIFY(!w->optionsPanel()->isVisible());
    w->optionsButton()->click();
    QVERIFY(w->optionsPanel()->isVisible());

    // Over 20 characters: the first 20 are searched.
    w->findField()->setText(QStringLiteral("The printer is fine. And more"));
    QCOMPARE(w->findField()->text().size(), 20);
    w->nextButton()->click();
    QVERIFY(!w->nextButton()->isEnabled());  // searching
    QVERIFY(waitFor([&] { return w->nextButton()->isEnabled(); }));
    QCOMPARE(qv::findSettings().findString, std::string("The printer is fine."));
    settle();
    QCOMPARE(browser.events, (QList<int>{qvm::EvFindStart, qvm::EvFindTextHit}));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 502u);

    // The subject is a hit of its own; the next search goes on from the last hit.
    browser.events.clear();
    w->findField()->setText(QStringLiteral("holiday"));
    qv::writeBrowseContext(s);
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return browser.events.size() == 2; }));
    QCOMPARE(browser.events.back(), int(qvm::EvFindSubjectHit));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 503u);
    browser.events.clear();
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return browser.events.size() == 2; }));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 502u);

    // Past the last message: the end is told, with the time when asked for.
    browser.events.clear();
    inst.prompts.reset();
    qv::KonfigSet(qv::ItemImportCompletion, 1);
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return browser.events.size() == 2; }));
    QCOMPARE(browser.events, (QList<int>{qvm::EvFindStart, qvm::EvFindEnd}));
    QCOMPARE(inst.prompts.requests.size(), size_t(2));
    QCOMPARE(inst.prompts.requests[0].caption, std::string(" Standard Search  "));
    QVERIFY(inst.prompts.requests[0].text.rfind("The time for completion was: ", 0) == 0);
    QCOMPARE(inst.prompts.requests[1].caption, std::string(" End of File!"));
    QCOMPARE(inst.prompts.requests[1].text, std::string("No more messages in this direction!"));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 502u);  // the browser stays where it was

    // Closing tells the browser twice and leaves the group.
    browser.events.clear();
    w->close();
    settle();
    QCOMPARE(browser.events, (QList<int>{qvm::EvFindEnd, qvm::EvFindClosed}));
    QVERIFY(!qvm::TmQuery(qvm::kFindGroup));
  }

  void aViewChangedDuringTheSearchIsSearchedAfresh() {
    TestInstallation inst;
    inst.open();
    forum();
    // Forty messages of the second thread without the string, then one of the first thread with it.
    for (uint32_t n = 600; n < 640; ++n) message(n, 1001, "Holiday pl", "Nothing to see.");
    message(590, 1000, "Printer tr", "A needle in the haystack.");
    message(580, 1001, "Holiday pl", "Another needle.");
    qv::findSettings() = qv::FindSettings();
    FakeBrowser browser(QStringLiteral("BrowseMsgNmbr"));
    qv::BrowseState numbers;
    numbers.kind = qv::KindForumDb;
    numbers.mode = qv::FmNumber;
    numbers.selected = 639;
    qv::writeBrowseContext(numbers);
    qvm::openTextFind(qv::KindForumDb);
    auto* w = qobject_cast<qvm::TextFindWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("FindText"))));
    QVERIFY(w);
    w->setTimeSlice(0);  // a few messages a tick, so that the view can change meanwhile
    w->findField()->setText(QStringLiteral("needle"));
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return w->engine().examined() > 0; }));
    QVERIFY(w->searching());
    // The user limits the browser to the second thread meanwhile.
    qv::BrowseState holiday = numbers;
    holiday.mode = qv::FmThread;
    holiday.threadNumber = 1001;
    holiday.threadAlpha = "Holiday pl";
    holiday.limitThread = true;
    holiday.selected = 600;
    qv::writeBrowseContext(holiday);
    QVERIFY(waitFor([&] { return !w->searching(); }));
    settle();
    // Not 590, which lies outside the thread: the thread was searched forward from 600, where
    // nothing holds the string.
    QCOMPARE(browser.events.back(), int(qvm::EvFindEnd));
    qv::BrowseState ctx = qv::readBrowseContext(qv::KindForumDb);
    QCOMPARE(ctx.mode, int(qv::FmThread));
    QCOMPARE(ctx.selected, 600u);
    w->startButton(2)->setChecked(true);  // backward in the thread: 580 holds it
    browser.events.clear();
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return !browser.events.isEmpty() && browser.events.back() != qvm::EvFindStart; }));
    QCOMPARE(browser.events.back(), int(qvm::EvFindTextHit));
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).selected, 580u);
    QCOMPARE(qv::readBrowseContext(qv::KindForumDb).mode, int(qv::FmThread));
    w->close();
  }

  void theBrowserShowsWhatTheFindFinds() {
    TestInstallation inst;
    inst.open();
    forum();
    qv::findSettings() = qv::FindSettings();
    qvm::openBrowseMsgNmbr();
    auto* browser = qobject_cast<qvm::BrowseWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("BrowseMsgNmbr"))));
    QVERIFY(browser);
    settle();
    QVERIFY(browser->showMessage(503));
    qvm::postEvent(browser, qvm::EvStandardSearch);  // the browser's Standard Search
    settle();
    auto* w = qobject_cast<qvm::TextFindWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("FindText"))));
    QVERIFY(w);
    w->findField()->setText(QStringLiteral("printer"));
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return browser->selected() == 502; }));  // the text of the next message down
    QVERIFY(waitFor([&] { return !browser->pane()->hits().empty(); }));
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return browser->selected() == 501; }));  // its thread's subject
    // The user moves on in the browser: the next search starts there.
    QVERIFY(browser->showMessage(503));
    w->startButton(2)->setChecked(true);  // towards newer messages
    w->nextButton()->click();
    QVERIFY(waitFor([&] { return w->nextButton()->isEnabled(); }));
    settle();
    QCOMPARE(inst.prompts.requests.back().text, std::string("No more messages in this direction!"));
    QCOMPARE(browser->selected(), 503u);
    // Closing the browser closes the find first.
    browser->close();
    settle();
    QVERIFY(!qvm::TmQuery(qvm::kFindGroup));
  }

  void theFindWindowNeedsAStringAndABrowser() {
    TestInstallation inst;
    inst.open();
    forum();
    qvm::openTextFind(qv::KindForumDb);
    auto* w = qobject_cast<qvm::TextFindWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("FindText"))));
    QVERIFY(w);
    w->findField()->setText(QStringLiteral("printer"));
    w->nextButton()->click();  // no browser runs
    QVERIFY(!w->searching());
    FakeBrowser browser(QStringLiteral("BrowseMsgNmbr"));
    w->findField()->setText(QStringLiteral("   "));
    w->nextButton()->click();
    QVERIFY(!w->searching());
    settle();
    QVERIFY(browser.events.isEmpty());
    // A second start only activates the running window.
    qvm::openTextFind(qv::KindForumDb);
    QCOMPARE(qvm::TmMembers(qvm::kFindGroup).size(), 1);
    // Its place is kept under its window number, as the frame's position that
    // reopening moves it back to.
    w->move(123, 77);
    QPoint placed = w->pos();
    w->close();
    settle();
    qv::WindowRect kept;
    QVERIFY(qv::WindowPos2(3, qvm::SlotTextFind - qv::kWindowSlots, kept));
    QCOMPARE(QPoint(kept.x, kept.y), placed);
    // Opened again, it stands where it was left, not a frame's width off.
    qvm::openTextFind(qv::KindForumDb);
    auto* again = qvm::TmWindow(qvm::TmGetId(QStringLiteral("FindText")));
    QVERIFY(again);
    QCOMPARE(again->pos(), placed);
  }

  void everyHelpButtonHasItsPage() {
    TestInstallation inst;
    inst.open();
    forum();
    QList<QWidget*> windows = {new qvm::BuildSearch(1), new qvm::SingleUi, new qvm::TextFindWindow(1)};
    for (QWidget* w : windows) {
      bool found = false;
      for (QPushButton* b : w->findChildren<QPushButton*>()) {
        QString topic = b->property("helpTopic").toString();
        if (topic.isEmpty()) continue;
        found = true;
        QVERIFY2(!qvm::helpPage(topic).isEmpty(), qPrintable(topic));
      }
      QVERIFY2(found, qPrintable(w->windowTitle()));
      w->close();
      delete w;
    }
  }

  void theMailFindSpeaksOfMail() {
    TestInstallation inst;
    inst.open();
    qv::MailboxSpec mailbox;
    mailbox.owner = "Owen Owner";
    mailbox.address = "owen@example.com";
    uint32_t box = qv::AddMailbox(mailbox, false, 0);
    QVERIFY(qv::selectDatabase(box));
    FakeBrowser browser(QStringLiteral("BrowseMail"));
    QVERIFY(qvm::startProcedure(QStringLiteral("MailFind")));
    auto* w = qobject_cast<qvm::TextFindWindow*>(qvm::TmWindow(qvm::TmGetId(QStringLiteral("MailFind"))));
    QVERIFY(w);
    QCOMPARE(w->browserName(), QStringLiteral("BrowseMail"));
    QCOMPARE(w->scopeButton(1)->text(), QStringLiteral(" Mail text/Mail subject"));
    QCOMPARE(w->scopeButton(2)->text(), QStringLiteral(" Mail subject only"));
    QCOMPARE(w->startButton(1)->text(), QStringLiteral(" Newest mail"));
    QCOMPARE(w->startButton(1)->toolTip(), QStringLiteral("Start search with newest mail message"));
    QCOMPARE(w->caseBox()->toolTip(), QStringLiteral("Text with matching character case only"));
    w->close();
    settle();
    QCOMPARE(browser.events, (QList<int>{qvm::EvFindEnd, qvm::EvFindClosed}));
  }
};

QTEST_MAIN(SearchWindowsTest)
#include "search_windows_test.moc"
