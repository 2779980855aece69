// Changing the active database as the windows do: choosing one as the
// database selection does (its self-description follows its list entry),
// forgetting and deleting it; and what the windows read of it then.
#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/active_database.h"
#include "services/database_choice.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

class DatabaseChoiceTest : public qvtest::InstallationTest {
 protected:
  // The description DbRef of directory F<dir> holds; empty when it has none.
  std::string selfDescription(uint32_t dirNumber) {
    std::string saved = Mem.Dirnamn;
    Mem.Dirnamn = "F" + std::to_string(dirNumber);
    std::string out;
    {
      FileScope files({FileDbRef});
      DbRef.setFileOrder();
      if (DbRef.next()) out = REF.DESCRIPTION.str();
    }
    Mem.Dirnamn = saved;
    return out;
  }
};

}  // namespace

TEST_F(DatabaseChoiceTest, NoneIsActiveUntilOneIsActivated) {
  EXPECT_EQ(activeDatabaseId(), 0u);
  EXPECT_EQ(activeKind(), KindNoDb);
  EXPECT_FALSE(hasActiveDatabase());
  uint32_t news = AddForumDatabase("comp.lang.c", KindNewsDb);
  ASSERT_TRUE(ActivateDatabase(news));
  EXPECT_EQ(activeDatabaseId(), news);
  EXPECT_EQ(activeDescription(), "comp.lang.c");
  EXPECT_EQ(activeKind(), KindNewsDb);
  EXPECT_TRUE(hasActiveDatabase());
  EXPECT_TRUE(isActiveDirectory(1));
  EXPECT_FALSE(isActiveDirectory(11)) << "F11 is not F1";
}

TEST_F(DatabaseChoiceTest, ChoosingBringsTheSelfDescriptionUpToDate) {
  uint32_t a = AddForumDatabase("Alpha");
  uint32_t b = AddForumDatabase("Beta");
  ASSERT_TRUE(a && b);
  // A self-description left behind by an older name (a list entry changed
  // by hand, or one written before a rename that could not reach it).
  {
    std::string saved = Mem.Dirnamn;
    Mem.Dirnamn = "F2";
    FileScope files({FileDbRef});
    DbRef.setFileOrder();
    ASSERT_TRUE(DbRef.next());
    REF.DESCRIPTION = "Old Beta";
    ASSERT_TRUE(DbRef.put());
    Mem.Dirnamn = saved;
  }
  ASSERT_EQ(selfDescription(2), "Old Beta");
  ASSERT_TRUE(chooseDatabase(b));
  EXPECT_EQ(activeDatabaseId(), b);
  EXPECT_EQ(selfDescription(2), "Beta");
  EXPECT_EQ(KonfigGet(ItemLastDatabase), int64_t(b));

  fs::remove_all(fs::path(Mem.FileDir) / "F1");
  EXPECT_FALSE(chooseDatabase(a)) << "a database without its directory cannot be chosen";
  EXPECT_EQ(activeDatabaseId(), b);
  EXPECT_FALSE(chooseDatabase(0));
}

TEST_F(DatabaseChoiceTest, ForgettingAndDeletingLeaveNoneActive) {
  uint32_t a = AddForumDatabase("Alpha");
  uint32_t b = AddForumDatabase("Beta");
  ASSERT_TRUE(ActivateDatabase(a));
  forgetActiveDatabase();
  EXPECT_EQ(activeDatabaseId(), 0u);
  EXPECT_TRUE(findDatabase(a)) << "forgetting deletes nothing";

  ASSERT_TRUE(ActivateDatabase(b));
  std::string betaDir = Mem.FileDir + "/F2";
  ASSERT_TRUE(fs::exists(betaDir));
  deleteActiveDatabase();
  EXPECT_EQ(activeDatabaseId(), 0u);
  EXPECT_FALSE(fs::exists(betaDir));
  EXPECT_FALSE(findDatabase(b));
  EXPECT_TRUE(findDatabase(a));

  deleteActiveDatabase();  // none active: nothing to delete
  EXPECT_TRUE(findDatabase(a));
}
