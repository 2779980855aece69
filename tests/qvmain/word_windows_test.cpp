// The windows around the word index: a word marked in the word list is still
// marked when the window opens again and the next run moves it to the stop
// list; browsing by count after an interrupted run makes the count order
// again; the stop list adds, refuses a duplicate, changes and deletes; the
// settings wizard saves what changed, asks before a change of the word
// characters and refuses to save nothing; the frame starts each window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "browse_data.h"
#include "database/index_control.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "frame/main_frame.h"
#include "frame/procedure_table.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/errors.h"
#include "support/gui_fixture.h"
#include "window_registry/window_registry.h"
#include "wordindex/index_fixup.h"
#include "wordindex/index_run.h"
#include "wordindex/word_index_wizard.h"
#include "wordindex/stop_list.h"
#include "wordindex/stop_list_window.h"
#include "wordindex/update_stop_list.h"
#include "wordindex/word_list_window.h"
#include "wordindex/word_marks.h"
#include "wordindex/word_table_page.h"

using namespace qvtest;

namespace {

// A forum of four messages in the thread "Garden", indexed: CARROTS and
// GARDEN in all four, PARSNIPS in two, GALORE and TURNIPS in one; made current.
uint32_t indexedForum() {
  uint32_t id = makeBrowseDatabase(qv::KindForumDb, "Veg Forum");
  addSection(100, 1, "General");
  addPerson(10, "Ann", "Lee", 4, 0);
  addPerson(11, "Bob", "Ray", 0, 4);
  addThread(1000, 100, "Garden", 4);
  addMessage(500, 1000, 10, 11, 100, "Carrots and parsnips.\r\n");
  addMessage(501, 1000, 10, 11, 101, "Carrots and parsnips galore.\r\n");
  addMessage(502, 1000, 10, 11, 102, "Carrots and turnips.\r\n");
  addMessage(503, 1000, 10, 11, 103, "Carrots.\r\n");
  qv::ActivateDatabase(id);
  qv::findDatabase(id);
  qv::IndexState state{qv::FOR.LASTMSGID, qv::FOR.RECSLASTTIME, qv::FOR.WORDLISTINDEXNEEDSUPDATE};
  qv::INDEXFILE1(1, 4, id, state);
  return id;
}

bool inWordList(const std::string& word) { return qv::wordIdOf(word) != 0; }

int purgeRecords() {
  qv::OP_CLOSE(qv::OpShared, {qv::FilePurgeList});
  int n = int(qv::PurgeList.records());
  qv::OP_CLOSE(qv::OpRelease, {qv::FilePurgeList});
  return n;
}

// The text of a column of every row the word list holds now.
QStringList column(qvm::BrowseWordList* w, int col) {
  QStringList out;
  for (int r = 0; r < w->model()->rowCount(); ++r) out << w->model()->rowAt(r)->texts.value(col);
  return out;
}

// Runs the indexing window with the run it recommends.
void indexAsRecommended() {
  QPointer<qvm::IndexControl> w = new qvm::IndexControl;
  w->show();
  w->startButton()->click();
  waitFor([&] { return w.isNull(); });
}

}  // namespace

class WordWindowsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aMarkedWordStaysMarkedAndTheNextRunStopListsIt() {
    TestInstallation inst;
    inst.open();
    indexedForum();
    QVERIFY(inWordList("PARSNIPS"));
    {
      QPointer<qvm::BrowseWordList> w = new qvm::BrowseWordList;
      QCOMPARE(w->windowTitle(), QStringLiteral(" Word List [Veg Forum]"));
      QCOMPARE(column(w, 0), QStringList({"CARROTS", "GALORE", "GARDEN", "PARSNIPS", "TURNIPS"}));
      w->showWord(QStringLiteral("parsnips"));
      QCOMPARE(w->currentWord(), QStringLiteral("PARSNIPS"));
      w->markButton()->click();
      QCOMPARE(w->model()->rowAt(w->view()->currentIndex().row())->status, 2);
      QCOMPARE(column(w, 2).count(QStringLiteral("remove")), 1);
      // Marked and unmarked again: no mark.
      w->showWord(QStringLiteral("GALORE"));
      w->toggleMark();
      w->toggleMark();
      w->close();
      QVERIFY(waitFor([&] { return w.isNull(); }));
    }
    QCOMPARE(purgeRecords(), 1);
    QVERIFY(qv::loadWordMarks() == qv::WordMarks({qv::wordIdOf("PARSNIPS")}));
    {
      auto* w = new qvm::BrowseWordList;
      w->setAttribute(Qt::WA_DeleteOnClose, false);
      w->showWord(QStringLiteral("PARSNIPS"));
      QCOMPARE(w->model()->rowAt(w->view()->currentIndex().row())->texts.value(2), QStringLiteral("remove"));
      QCOMPARE(w->marks().size(), size_t(1));
      delete w;  // unchanged marks are left as they are
    }
    QCOMPARE(purgeRecords(), 1);

    // The pending mark makes a partial run the recommendation; the run
    // moves the word to the stop list and out of the index.
    {
      qvm::IndexControl probe;
      QCOMPARE(probe.advice(), int(qv::AdvisePartial));
    }
    indexAsRecommended();
    QVERIFY(!inWordList("PARSNIPS"));
    QVERIFY(inWordList("TURNIPS"));
    QVERIFY(qv::isStopWord("PARSNIPS"));
    QCOMPARE(purgeRecords(), 0);
    auto* w = new qvm::BrowseWordList;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w->marks().empty());
    delete w;
  }

  void browsingByCountAfterAnInterruptedRunMakesTheCountOrderAgain() {
    TestInstallation inst;
    inst.open();
    uint32_t forum = indexedForum();
    // A run that was killed after a flush: the database's record says the
    // count order is stale, and a change of the word list dropped it.
    qv::findDatabase(forum);
    QVERIFY(qv::storeIndexState(forum, {qv::FOR.LASTMSGID, qv::FOR.RECSLASTTIME, 1}));
    QCOMPARE(qv::Mem.WordListIndexNeedsUpdate, 1);
    qv::OP_CLOSE(qv::OpExclusive, {qv::FileWordList});
    qv::WOR = qv::WordListRec();
    qv::WOR.THEWORD = "TURNIPS";
    QVERIFY(qv::WordList.get(qv::WOR_by_theWord));
    QVERIFY(qv::WordList.put());
    qv::OP_CLOSE(qv::OpRelease, {qv::FileWordList});

    auto* w = new qvm::BrowseWordList;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(qv::Mem.WordListIndexNeedsUpdate, 0);
    QVERIFY(qv::findDatabase(forum));
    QCOMPARE(int(qv::FOR.WORDLISTINDEXNEEDSUPDATE), 0);
    // The order is there again: building it now finds it built.
    qv::OP_CLOSE(qv::OpExclusive, {qv::FileWordList});
    QVERIFY(!qv::WordList.buildKey(qv::WOR_by_WordCount));
    QCOMPARE(qv::ErrorCode(), int(qv::ErrKeyBuilt));
    qv::OP_CLOSE(qv::OpRelease, {qv::FileWordList});

    w->orderBox()->setCurrentIndex(1);
    QCOMPARE(w->orderBox()->currentText(), QStringLiteral("Sort by number of related messages"));
    QCOMPARE(column(w, 1), QStringList({"1", "1", "2", "4", "4"}));
    QCOMPARE(column(w, 0).at(2), QStringLiteral("PARSNIPS"));
    w->orderBox()->setCurrentIndex(0);
    QCOMPARE(column(w, 0).first(), QStringLiteral("CARROTS"));
    delete w;
  }

  void theStopListAddsRefusesADuplicateChangesAndDeletes() {
    TestInstallation inst;
    inst.open();
    auto* list = new qvm::BrowseStopList;
    list->setAttribute(Qt::WA_DeleteOnClose, false);
    int before = list->list()->topLevelItemCount();
    QCOMPARE(list->windowTitle(), QStringLiteral(" Ignore List [%1]").arg(before));

    auto* add = new qvm::UpdateStopList(qvm::StopInsert, QString());
    add->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(add->windowTitle(), QStringLiteral(" Add New Non Index Word"));
    add->show();
    QTest::keyClicks(add->wordEdit(), QStringLiteral("rhubarb"));
    QCOMPARE(add->wordEdit()->text(), QStringLiteral("RHUBARB"));
    add->accept();
    QCOMPARE(add->result(), int(QDialog::Accepted));
    QVERIFY(qv::isStopWord("RHUBARB"));
    delete add;
    list->reload(QStringLiteral("RHUBARB"));
    QCOMPARE(list->list()->topLevelItemCount(), before + 1);
    QCOMPARE(list->currentWord(), QStringLiteral("RHUBARB"));

    // The same word again is refused, and the form stays open.
    add = new qvm::UpdateStopList(qvm::StopInsert, QString());
    add->setAttribute(Qt::WA_DeleteOnClose, false);
    add->show();
    add->wordEdit()->setText(QStringLiteral("Rhubarb"));
    add->accept();
    QCOMPARE(inst.prompts.count("Duplicate Word"), 1);
    QCOMPARE(inst.prompts.requests.back().text, std::string("The word RHUBARB is a non index word already."));
    QVERIFY(add->isVisible());
    QCOMPARE(add->result(), int(QDialog::Rejected));
    delete add;

    auto* change = new qvm::UpdateStopList(qvm::StopChange, list->currentWord());
    change->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(change->windowTitle(), QStringLiteral(" Update Non Index Word"));
    change->wordEdit()->setText(QStringLiteral("celery"));
    change->accept();
    QCOMPARE(change->savedWord(), QStringLiteral("CELERY"));
    QVERIFY(qv::isStopWord("CELERY"));
    QVERIFY(!qv::isStopWord("RHUBARB"));
    delete change;
    list->reload(QStringLiteral("CELERY"));

    auto* del = new qvm::UpdateStopList(qvm::StopDelete, list->currentWord());
    del->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(del->windowTitle(), QStringLiteral(" Delete Non Index Word"));
    QVERIFY(del->wordEdit()->isReadOnly());
    inst.prompts.reset();
    inst.prompts.script(qv::BtnNo);
    del->accept();
    QCOMPARE(inst.prompts.requests.back().text, std::string("Confirm deletion of Non Index Word"));
    QVERIFY(qv::isStopWord("CELERY"));  // not confirmed: kept
    inst.prompts.script(qv::BtnYes);
    del->accept();
    QVERIFY(!qv::isStopWord("CELERY"));
    delete del;
    list->reload();
    QCOMPARE(list->list()->topLevelItemCount(), before);
    delete list;
  }

  void theWizardSavesWhatChangedAndAsksBeforeAChangeOfTheWordCharacters() {
    TestInstallation inst;
    inst.open();
    auto* wz = new qvm::SearchWz;
    wz->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(wz->readable());
    QCOMPARE(wz->windowTitle(), QStringLiteral(" Word Index SetUp Wizard"));
    QVERIFY(!wz->backButton()->isEnabled());
    for (int p = 1; p < qvm::SearchWz::PageCount; ++p) wz->nextButton()->click();
    QCOMPARE(wz->page(), int(qvm::SearchWz::PagePause));
    QVERIFY(!wz->nextButton()->isEnabled());

    QVERIFY(!wz->save());
    QCOMPARE(inst.prompts.count("No Changes"), 1);
    QCOMPARE(inst.prompts.requests.back().text, std::string("Nothing has changed!\r\nNo save needed."));

    // Switches only: saved without asking.
    QVERIFY(wz->numbersBox()->isChecked());
    wz->numbersBox()->setChecked(false);
    wz->frequentBox(2)->setChecked(false);
    wz->pauseBox()->setValue(5000);
    inst.prompts.reset();
    QVERIFY(wz->save());
    QCOMPARE(inst.prompts.requests.size(), size_t(0));
    delete wz;
    QVERIFY(qv::WSVars(qv::KLoad));
    QCOMPARE(qv::WSVarsGet(qv::ItemIndexNumbers), int64_t(0));
    QCOMPARE(qv::WSVarsGet(qv::ItemFrequentMail), int64_t(0));
    QCOMPARE(qv::WSVarsGet(qv::ItemFrequentForum), int64_t(1));
    QCOMPARE(qv::WSVarsGet(qv::ItemSearchPause), int64_t(5000));

    // The characters: "-" (45) may stand inside a word. Declined first.
    const int dash = 45;
    QVERIFY(qv::InWordHash[dash] != 0);
    wz = new qvm::SearchWz;
    wz->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(!wz->numbersBox()->isChecked());
    wz->tablePage()->toggle(dash, qvm::WordTablePage::ColumnInside);
    QCOMPARE(wz->tablePage()->table()->item(dash, qvm::WordTablePage::ColumnInside)->text(), QStringLiteral("yes"));
    inst.prompts.script(qv::BtnNo);
    QVERIFY(!wz->save());
    QCOMPARE(inst.prompts.count("Save and Reindex"), 1);
    QVERIFY(inst.prompts.requests.back().text.find("Are you SURE you want to save and REINDEX?\r\nIt may take hours!") == 0);
    QVERIFY(qv::WSVars(qv::KLoad));
    QVERIFY(qv::InWordHash[dash] != 0);
    inst.prompts.script(qv::BtnYes);
    QVERIFY(wz->save());
    delete wz;
    QVERIFY(qv::WSVars(qv::KLoad));
    QCOMPARE(int(qv::InWordHash[dash]), 0);
  }

  void aNamedSetBecomesTheCurrentWordDefinitionAfterAsking() {
    TestInstallation inst;
    inst.open();
    indexedForum();
    const int dash = 45;
    auto* wz = new qvm::SearchWz;
    wz->setAttribute(Qt::WA_DeleteOnClose, false);
    wz->setPage(qvm::SearchWz::PageSets);
    // The characters with "-" inside words, kept as a set; the current ones unchanged.
    wz->tablePage()->toggle(dash, qvm::WordTablePage::ColumnInside);
    wz->setNameEdit()->setText(QStringLiteral("Hyphenated"));
    QVERIFY(wz->storeSet());
    QCOMPARE(wz->setList()->count(), 1);
    wz->tablePage()->toggle(dash, qvm::WordTablePage::ColumnInside);
    QVERIFY(!wz->save());  // nothing changed
    delete wz;

    wz = new qvm::SearchWz;
    wz->setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(wz->setList()->count(), 1);
    wz->setList()->setCurrentRow(0);
    inst.prompts.reset();
    inst.prompts.script(qv::BtnNo);
    QVERIFY(!wz->useSet());
    QCOMPARE(inst.prompts.count("Save Word Definition"), 1);
    QCOMPARE(inst.prompts.requests.back().text,
             std::string("This will save the set: \r\nHyphenated\r\nas your current word definition.\r\nIs that "
                         "what you want to do?"));
    inst.prompts.script(qv::BtnYes);
    inst.prompts.script(qv::BtnYes);
    QVERIFY(wz->useSet());
    QCOMPARE(inst.prompts.count("Save and Reindex"), 1);
    delete wz;
    QVERIFY(qv::WSVars(qv::KLoad));
    QCOMPARE(int(qv::InWordHash[dash]), 0);
  }

  void theFrameStartsEachWindow() {
    TestInstallation inst;
    inst.open();
    indexedForum();
    qvm::MainFrame frame(1);
    frame.show();
    settle();
    const std::pair<int, const char*> items[] = {{qvm::ProcIndexedWords, "WordList"},
                                                 {qvm::ProcNonIndexedWords, "StopList"},
                                                 {qvm::ProcSearchWizard, "SearchWz"}};
    for (auto [number, thread] : items) {
      QVERIFY2(frame.menuAction(number) && frame.menuAction(number)->isEnabled(), thread);
      frame.choose(number);
      QVERIFY2(waitFor([thread] { return qvm::TmGetId(QString::fromLatin1(thread)) != 0; }), thread);
      QWidget* w = qvm::TmWindow(qvm::TmGetId(QString::fromLatin1(thread)));
      w->close();
      QVERIFY2(waitFor([thread] { return qvm::TmGetId(QString::fromLatin1(thread)) == 0; }), thread);
      settle();
    }
  }
};

QTEST_MAIN(WordWindowsTest)
#include "word_windows_test.moc"
