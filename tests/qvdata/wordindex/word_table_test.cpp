// The indexing run's word table: words found by their bytes whatever their
// hash, entries numbered in the order of their first adding and kept
// through the growth of the table.
#include <gtest/gtest.h>

#include <string>

#include "wordindex/word_table.h"

using namespace qv::indexing;

namespace {

TEST(WordTableTest, FindsEveryWordAddedThroughGrowthAndKeepsTheirNumbers) {
  WordTable t;
  EXPECT_EQ(t.find("ALPHA", WordTable::hashOf("ALPHA")), WordTable::kNone) << "an empty table";
  const int kWords = 20000;  // past several growths
  for (int i = 0; i < kWords; ++i) {
    std::string w = "W" + std::to_string(i * 7919);
    WordEntry e;
    e.id = i + 1;
    ASSERT_EQ(t.find(w, WordTable::hashOf(w)), WordTable::kNone) << w;
    ASSERT_EQ(t.add(w, WordTable::hashOf(w), e), uint32_t(i));
  }
  ASSERT_EQ(t.size(), uint32_t(kWords));
  for (int i = 0; i < kWords; ++i) {
    std::string w = "W" + std::to_string(i * 7919);
    uint32_t n = t.find(w, WordTable::hashOf(w));
    ASSERT_EQ(n, uint32_t(i)) << w;
    EXPECT_EQ(t.word(n), w);
    EXPECT_EQ(t.entry(n).id, i + 1);
  }
  EXPECT_EQ(t.find("W1", WordTable::hashOf("W1")), WordTable::kNone);
  t.clear();
  EXPECT_EQ(t.size(), 0u);
  EXPECT_EQ(t.find("W0", WordTable::hashOf("W0")), WordTable::kNone);
}

TEST(WordTableTest, WordsOfOneHashAreToldApartByTheirBytes) {
  WordTable t;
  // Every word given the same hash: the look-up compares the words.
  const WordTable::Hash same = 42;
  for (const char* w : {"A", "AB", "ABC", "B", "BA"}) t.add(w, same, WordEntry{});
  EXPECT_EQ(t.find("AB", same), 1u);
  EXPECT_EQ(t.find("BA", same), 4u);
  EXPECT_EQ(t.find("ABCD", same), WordTable::kNone);
  EXPECT_EQ(t.find("", same), WordTable::kNone);
  t.entry(2).count = 9;
  EXPECT_EQ(t.entry(t.find("ABC", same)).count, 9);
}

}  // namespace
