// The values the windows ask of the library: the open database, the word
// index's and the search result's state, the topic handed to the topic
// form, and the person the name form changes.
#include <gtest/gtest.h>

#include "browse_fixture.h"
#include "persons/person_edit.h"
#include "persons/person_list.h"
#include "services/active_database.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/search_result.h"
#include "services/topic_form.h"
#include "services/window_files.h"

using namespace qv;

namespace {

using WindowValuesTest = qvtest::BrowseTest;

TEST_F(WindowValuesTest, TheOpenDatabaseIsTheOneLastSelected) {
  const uint32_t forum = makeDatabase(KindNewsDb, "Group Test");
  EXPECT_TRUE(hasActiveDatabase());
  EXPECT_EQ(activeKind(), KindNewsDb);
  EXPECT_EQ(activeDescription().substr(0, 10), "Group Test");
  EXPECT_EQ(activeDatabaseId(), forum);
  const uint32_t mail = makeDatabase(KindMailDb, "Owen Test");
  EXPECT_EQ(activeKind(), KindMailDb);
  EXPECT_EQ(activeDatabaseId(), mail);
  EXPECT_EQ(activeDatabaseDir(), joinPath({Mem.FileDir, Mem.Dirnamn}));
  Mem.Dirnamn.clear();
  EXPECT_FALSE(hasActiveDatabase());
}

TEST_F(WindowValuesTest, TheSearchResultIsCountedWithItsFileHeldOnlyForTheCall) {
  makeDatabase(KindForumDb, "Empty Test");
  EXPECT_EQ(searchResultCount(), 0);
  sampleForum();
  EXPECT_EQ(searchResultCount(), 3);
  EXPECT_EQ(useCount(FileSearch), 0);
}

TEST_F(WindowValuesTest, TheTopicFormGetsTheTopicAsGivenAndANewOneBlank) {
  putTopicForForm(Topic{77, "Project Alpha", 4, true, false, 1234});
  Topic t = topicOfForm();
  EXPECT_EQ(t.id, 77u);
  EXPECT_EQ(t.text, "Project Alpha");
  EXPECT_EQ(t.count, 4u);
  EXPECT_TRUE(t.matchCase);
  EXPECT_FALSE(t.matchWord);
  EXPECT_EQ(t.date, 1234);
  putTopicForForm(Topic{});
  t = topicOfForm();
  EXPECT_EQ(t.id, 0u);
  EXPECT_EQ(t.text, "");
  EXPECT_FALSE(t.matchCase);
}

TEST_F(WindowValuesTest, TheThreadTreeHoldsItsFilesThroughAScope) {
  sampleForum();
  {
    FileScope files(threadTreeFiles());
    EXPECT_EQ(useCount(FileThreads), 1);
    EXPECT_EQ(useCount(FilePerson), 1);
    EXPECT_EQ(useCount(FileMsgNmbr), 1);
  }
  EXPECT_EQ(useCount(FileThreads), 0);
}

TEST_F(WindowValuesTest, TheNameFormShowsThePersonAndRenamesIt) {
  sampleForum();
  PersonEdit edit;
  EXPECT_FALSE(edit.open(4242));
  ASSERT_TRUE(edit.open(11));
  PersonFields f = edit.fields();
  EXPECT_EQ(f.last, "Ray");
  EXPECT_EQ(f.first, "Bob");
  EXPECT_EQ(f.personString, "Bob Ray 11");
  ASSERT_EQ(edit.rename("Rayburn", "Robert"), RenameResult::Done) << prompts.transcript();
  PersonRow row;
  ASSERT_TRUE(readPersonRow(11, row));
  EXPECT_EQ(row.lastName, "Rayburn");
  EXPECT_EQ(row.firstName, "Robert");
}

TEST_F(WindowValuesTest, ANameChangedMeanwhileIsShownAndNotOverwritten) {
  sampleForum();
  PersonEdit first, second;
  ASSERT_TRUE(first.open(10));
  ASSERT_TRUE(second.open(10));
  ASSERT_EQ(second.rename("Leeds", "Anne"), RenameResult::Done) << prompts.transcript();
  EXPECT_EQ(first.rename("Lee-Smith", "Ann"), RenameResult::ChangedMeanwhile);
  EXPECT_EQ(first.fields().last, "Leeds");  // the stored record, to be changed again
  PersonRow row;
  ASSERT_TRUE(readPersonRow(10, row));
  EXPECT_EQ(row.lastName, "Leeds");
}

}  // namespace
