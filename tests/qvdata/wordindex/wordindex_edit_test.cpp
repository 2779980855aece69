// Editing around the word index: the stop list refuses a word it has in any
// letter case, changes and deletes words; the marks for removal are replaced
// as a whole and go with the file when none is left, and are refused while
// a run holds the index; the settings wizard's settings are written whole,
// and a named set is read and stored without touching the tables in use.
#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "wordindex/stop_list.h"
#include "wordindex/stop_list_edit.h"
#include "wordindex/word_marks.h"
#include "wordindex/word_settings.h"
#include "wordindex/word_tables.h"

using namespace qv;

namespace {

class WordIndexEdit : public qvtest::InstallationTest {};

TEST_F(WordIndexEdit, TheStopListRefusesAWordItHasInAnyLetterCase) {
  EXPECT_EQ(insertStopWord("  rhubarb "), StopEdit::Done);
  EXPECT_TRUE(isStopWord("RHUBARB"));
  EXPECT_EQ(insertStopWord("RhuBarb"), StopEdit::Duplicate);
  // Letters beyond ASCII fold too.
  EXPECT_EQ(insertStopWord("été"), StopEdit::Done);
  EXPECT_EQ(insertStopWord("ÉTÉ"), StopEdit::Duplicate);
  EXPECT_EQ(insertStopWord("   "), StopEdit::Empty);
  EXPECT_EQ(insertStopWord(std::string(41, 'A')), StopEdit::TooLong);
  EXPECT_EQ(stopEditText(StopEdit::Duplicate, "RHUBARB"), "The word RHUBARB is a non index word already.");

  EXPECT_EQ(changeStopWord("rhubarb", "ÉTÉ"), StopEdit::Duplicate);
  EXPECT_TRUE(isStopWord("RHUBARB"));
  EXPECT_EQ(changeStopWord("parsley", "sage"), StopEdit::NotFound);
  EXPECT_EQ(changeStopWord("rhubarb", "Celery"), StopEdit::Done);
  EXPECT_FALSE(isStopWord("RHUBARB"));
  std::vector<std::string> words = stopWords();
  EXPECT_NE(std::find(words.begin(), words.end(), "CELERY"), words.end());
  EXPECT_TRUE(std::is_sorted(words.begin(), words.end()));
  EXPECT_EQ(deleteStopWord("celery"), StopEdit::Done);
  EXPECT_EQ(deleteStopWord("celery"), StopEdit::NotFound);
  EXPECT_FALSE(isStopWord("CELERY"));
}

TEST_F(WordIndexEdit, MarksAreReplacedWholeAndGoWithTheFileWhenNoneIsLeft) {
  selectDatabase(7, KindForumDb);
  EXPECT_TRUE(loadWordMarks().empty());
  ASSERT_TRUE(saveWordMarks({3, 5, 9}));
  EXPECT_EQ(loadWordMarks(), WordMarks({3, 5, 9}));
  ASSERT_TRUE(saveWordMarks({5}));
  EXPECT_EQ(loadWordMarks(), WordMarks({5}));
  OP_CLOSE(OpShared, {FilePurgeList});
  PurgeList.setFileOrder();
  ASSERT_TRUE(PurgeList.next());
  EXPECT_EQ(PUR.SYSID, 0);
  OP_CLOSE(OpRelease, {FilePurgeList});

  // A run holds the index: the marks stay as they are.
  IndexingInProgress = 1;
  EXPECT_FALSE(saveWordMarks({1}));
  IndexingInProgress = 0;
  EXPECT_EQ(loadWordMarks(), WordMarks({5}));

  ASSERT_TRUE(saveWordMarks({}));
  EXPECT_FALSE(std::filesystem::exists(filePath(FilePurgeList)));
}

TEST_F(WordIndexEdit, SettingsAreWrittenWholeAndSetsLeaveTheTablesInUseAlone) {
  selectDatabase(7, KindForumDb);
  WordSettings s;
  ASSERT_TRUE(readWordSettings(s));
  WordSettings changed = s;
  EXPECT_FALSE(switchesDiffer(s, changed) || tablesDiffer(s, changed));
  changed.newsFooters = 1;
  changed.searchPause = 2500;
  EXPECT_TRUE(switchesDiffer(s, changed));
  EXPECT_FALSE(tablesDiffer(s, changed));
  changed.end['.'] = 0;
  EXPECT_TRUE(tablesDiffer(s, changed));
  // Any non-zero entry means "no": 1 and 2 are alike.
  WordSettings same = s;
  same.start['-'] = uint8_t(same.start['-'] == 1 ? 2 : 1);
  EXPECT_FALSE(tablesDiffer(s, same));

  ASSERT_TRUE(writeWordSet("Dotted", changed));
  EXPECT_NE(EndWordHash['.'], 0) << "storing a set changed the tables in use";
  ASSERT_TRUE(writeWordSettings(changed));
  WordSettings back;
  ASSERT_TRUE(readWordSettings(back));
  EXPECT_EQ(back.newsFooters, 1);
  EXPECT_EQ(back.searchPause, 2500);
  EXPECT_EQ(back.end['.'], 0);

  WordSettings fromSet = s;
  ASSERT_TRUE(readWordSet("Dotted", fromSet));
  EXPECT_EQ(fromSet.end['.'], 0);
  ASSERT_TRUE(writeWordSettings(s));
  WordSettings probe = s;
  ASSERT_TRUE(readWordSet("Dotted", probe));
  EXPECT_NE(EndWordHash['.'], 0) << "reading a set changed the tables in use";
  EXPECT_FALSE(readWordSet("Missing", probe));
  EXPECT_EQ(wordSetNames(), std::vector<std::string>({"Dotted"}));
}

}  // namespace
