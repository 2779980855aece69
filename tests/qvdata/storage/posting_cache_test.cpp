// The page cache of the posting file in a transaction: a commit whose edits
// touch every word of a file larger than the cache writes them without
// spilling a dirty page before the commit, and the file holds them after.
#include <gtest/gtest.h>

#include <vector>

#include "storage/file.h"
#include "storage/posting_driver.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace {

struct PairRec {
  uint32_t SYSID = 0;
  uint32_t WORDID = 0;
};
PairRec PAIR;

FileDecl& decl() {
  static FileDecl d = [] {
    registerPostingDriver();
    FileDecl out{0, "MasIdx", "MAS", kPostingDriverName};
    DeclBuilder<PairRec> b(out, PAIR);
    b.field("SYSID", &PairRec::SYSID).field("WORDID", &PairRec::WORDID);
    b.key("by_SysID", {{"SYSID"}, {"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
        .key("by_WordId", {{"WORDID"}, {"SYSID"}}, KeyDup | KeyExcludeEmpty);
    return out;
  }();
  return d;
}

constexpr uint32_t kWords = 60000;  // lists of a file of several MB, above SQLite's default cache of 2 MB
constexpr uint32_t kMessages = 4;

TEST(PostingCacheTest, ACommitTouchingEveryWordSpillsNoPageBeforeTheCommit) {
  TempDir dir;
  File f(decl());
  f.setName(dir.file("POS.ADF"));
  ASSERT_TRUE(f.create()) << ErrorText();
  ASSERT_TRUE(f.open()) << ErrorText();
  // Each message holds every word: each commit adds a segment to every list.
  for (uint32_t m = 1; m <= kMessages; ++m) {
    ASSERT_TRUE(beginTransaction({&f}, 5)) << ErrorText();
    for (uint32_t w = 1; w <= kWords; ++w) {
      PAIR.SYSID = m;
      PAIR.WORDID = w * 3;
      ASSERT_TRUE(f.add()) << ErrorText();
    }
    ASSERT_TRUE(commitTransaction()) << ErrorText();
  }
  EXPECT_EQ(postingCacheSpills(f), 0);
  EXPECT_EQ(f.records(), int64_t(kWords) * kMessages);
  std::vector<uint32_t> messages;
  ASSERT_TRUE(wordMessages(f, 3 * kWords, messages));
  EXPECT_EQ(messages, (std::vector<uint32_t>{1, 2, 3, 4}));
  f.close();
}

}  // namespace
