// Index trees: unique keys, deep trees of plain and compact pages, the free
// page list, read-only files and the change lock, compound tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "index/compound_index.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;

namespace {

TreeHeader header(int keyLength, uint8_t options = 0, bool descending = false) {
  TreeHeader h;
  h.keyLength = keyLength;
  h.options = options;
  h.descending = descending;
  h.keyExpression = "NAME";
  return h;
}

std::vector<std::pair<std::string, uint32_t>> walk(IndexTree& t) {
  std::vector<std::pair<std::string, uint32_t>> out;
  bool found = false;
  EXPECT_EQ(t.first(found), StatusOk);
  while (found) {
    out.emplace_back(t.key(), t.record());
    EXPECT_EQ(t.next(found), StatusOk);
  }
  return out;
}

std::string keyOf(int i) {
  char k[16];
  std::snprintf(k, sizeof k, "K%07d", i);
  return k;
}

TEST(IndexTree, UniqueIndexKeepsOneEntryOfAKey) {
  qvtest::TempDir dir;
  SingleIndex idx;
  ASSERT_EQ(idx.create(dir.file("U.IDX"), header(8, IndexUnique), true, KeyType::Character, {}), StatusOk);
  EXPECT_EQ(idx.tree().insert("SMITH", 1), StatusOk);
  EXPECT_EQ(idx.tree().insert("SMITH", 1), CondKeyExists);
  EXPECT_EQ(idx.tree().insert("SMITH", 2), CondKeyExists);
  auto w = walk(idx.tree());
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].first, "SMITH   ");
  EXPECT_EQ(w[0].second, 1u);
  // Removing an entry that is not there changes nothing.
  EXPECT_EQ(idx.tree().remove("SMITH", 2), StatusOk);
  EXPECT_EQ(walk(idx.tree()).size(), 1u);
}

TEST(IndexTree, EqualKeysStayInTheOrderOfInsertion) {
  qvtest::TempDir dir;
  SingleIndex idx;
  ASSERT_EQ(idx.create(dir.file("D.IDX"), header(4), false, KeyType::Character, {}), StatusOk);
  for (uint32_t r : {5u, 3u, 9u, 1u}) ASSERT_EQ(idx.tree().insert("AA", r), StatusOk);
  ASSERT_EQ(idx.tree().insert("AB", 2), StatusOk);
  ASSERT_EQ(idx.tree().insert("A", 7), StatusOk);
  auto w = walk(idx.tree());
  std::vector<uint32_t> order;
  for (auto& e : w) order.push_back(e.second);
  EXPECT_EQ(order, (std::vector<uint32_t>{7, 5, 3, 9, 1, 2}));
  bool found = false;
  ASSERT_EQ(idx.tree().find("AA", FindMode::Exact, 9, found), StatusOk);
  EXPECT_TRUE(found);
  ASSERT_EQ(idx.tree().next(found), StatusOk);
  EXPECT_EQ(idx.tree().record(), 1u);
  ASSERT_EQ(idx.tree().find("AA", FindMode::AfterEqual, 0, found), StatusOk);
  EXPECT_EQ(idx.tree().record(), 2u);
  ASSERT_EQ(idx.tree().previous(found), StatusOk);
  EXPECT_EQ(idx.tree().record(), 1u);
  ASSERT_EQ(idx.tree().find("AA", FindMode::Exact, 4, found), StatusOk);
  EXPECT_FALSE(found);
  ASSERT_EQ(idx.tree().find("ZZ", FindMode::FirstNotBelow, 0, found), StatusOk);
  EXPECT_FALSE(found);
  ASSERT_EQ(idx.tree().last(found), StatusOk);
  EXPECT_EQ(idx.tree().record(), 2u);
}

// Thousands of keys in random order make trees three and more levels deep;
// removing them all in another order leaves an empty tree, and the pages
// freed serve the next insertions without the file growing.
void deepTree(bool compact, bool descending) {
  qvtest::TempDir dir;
  SingleIndex idx;
  ASSERT_EQ(idx.create(dir.file("X.IDX"), header(8, 0, descending), compact, KeyType::Character, {}), StatusOk);
  std::vector<int> keys(6000);
  for (int i = 0; i < 6000; ++i) keys[i] = i;
  std::mt19937 rng(compact ? 3 : 4);
  std::shuffle(keys.begin(), keys.end(), rng);
  for (int k : keys) ASSERT_EQ(idx.tree().insert(keyOf(k), static_cast<uint32_t>(k + 1)), StatusOk);
  std::string detail;
  ASSERT_EQ(idx.tree().verify(detail), StatusOk) << detail;
  auto w = walk(idx.tree());
  ASSERT_EQ(w.size(), 6000u);
  for (int i = 0; i < 6000; ++i) EXPECT_EQ(w[i].second, static_cast<uint32_t>((descending ? 5999 - i : i) + 1));
  uint64_t size = idx.file().fileEnd();
  std::shuffle(keys.begin(), keys.end(), rng);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(idx.tree().remove(keyOf(keys[i]), static_cast<uint32_t>(keys[i] + 1)), StatusOk);
    if (i % 1000 == 0) {
      ASSERT_EQ(idx.tree().verify(detail), StatusOk) << detail;
    }
  }
  EXPECT_TRUE(walk(idx.tree()).empty());
  EXPECT_NE(idx.file().freeListHead(), kNoPage);
  for (int k : keys) ASSERT_EQ(idx.tree().insert(keyOf(k), static_cast<uint32_t>(k + 1)), StatusOk);
  // Every freed page was taken again before the file grew (another order of
  // insertion fills pages differently, so it may grow a little).
  EXPECT_EQ(idx.file().freeListHead(), kNoPage);
  EXPECT_LT(idx.file().fileEnd(), size + size / 4);
  ASSERT_EQ(idx.tree().verify(detail), StatusOk) << detail;
  ASSERT_EQ(idx.close(), StatusOk);
  // Read back from the file.
  SingleIndex again;
  ASSERT_EQ(again.open(dir.file("X.IDX"), KeyType::Character, {}), StatusOk);
  EXPECT_EQ(walk(again.tree()).size(), 6000u);
  EXPECT_EQ(again.tree().header().descending, descending);
}

TEST(IndexTree, DeepPlainTree) { deepTree(false, false); }
TEST(IndexTree, DeepCompactTree) { deepTree(true, false); }
TEST(IndexTree, DeepCompactDescendingTree) { deepTree(true, true); }

TEST(IndexTree, AnEmptiedLeafGoesOntoTheFreeListAndTheNextSplitTakesIt) {
  qvtest::TempDir dir;
  SingleIndex idx;
  ASSERT_EQ(idx.create(dir.file("F.IDX"), header(8), false, KeyType::Character, {}), StatusOk);
  // A plain page of 8-byte keys holds 41; 42 keys make two leaves.
  for (int i = 0; i < 42; ++i) ASSERT_EQ(idx.tree().insert(keyOf(i), static_cast<uint32_t>(i + 1)), StatusOk);
  uint32_t end = idx.file().fileEnd();
  EXPECT_EQ(idx.file().freeListHead(), kNoPage);
  // The left leaf holds the first 21 keys.
  for (int i = 0; i < 21; ++i) ASSERT_EQ(idx.tree().remove(keyOf(i), static_cast<uint32_t>(i + 1)), StatusOk);
  uint32_t freed = idx.file().freeListHead();
  EXPECT_NE(freed, kNoPage);
  for (int i = 100; i < 160; ++i) ASSERT_EQ(idx.tree().insert(keyOf(i), static_cast<uint32_t>(i + 1)), StatusOk);
  EXPECT_EQ(idx.file().freeListHead(), kNoPage);
  EXPECT_GE(idx.file().fileEnd(), end);
  std::string detail;
  EXPECT_EQ(idx.tree().verify(detail), StatusOk) << detail;
  EXPECT_EQ(walk(idx.tree()).size(), 21u + 60u);
}

TEST(IndexTree, ReadOnlyAndLockedFilesRefuseChanges) {
  qvtest::TempDir dir;
  {
    SingleIndex idx;
    ASSERT_EQ(idx.create(dir.file("L.IDX"), header(8), true, KeyType::Character, {}), StatusOk);
    ASSERT_EQ(idx.tree().insert("A", 1), StatusOk);
  }
  IndexOpenOptions ro;
  ro.readOnly = true;
  SingleIndex reader;
  ASSERT_EQ(reader.open(dir.file("L.IDX"), KeyType::Character, ro), StatusOk);
  EXPECT_EQ(reader.tree().insert("B", 2), ErrFileOpenForReadingOnly);
  EXPECT_EQ(reader.tree().remove("A", 1), ErrFileOpenForReadingOnly);

  IndexOpenOptions shared;
  shared.shared = true;
  SingleIndex one, two;
  ASSERT_EQ(one.open(dir.file("L.IDX"), KeyType::Character, shared), StatusOk);
  ASSERT_EQ(two.open(dir.file("L.IDX"), KeyType::Character, shared), StatusOk);
  ASSERT_EQ(one.file().beginChange(), StatusOk);
  EXPECT_EQ(two.tree().insert("B", 2), ErrFileMustBeLockedFirst);
  one.file().endChange();
  // Once released, the other sees the first one's changes.
  ASSERT_EQ(two.tree().insert("B", 2), StatusOk);
  ASSERT_EQ(one.tree().insert("C", 3), StatusOk);
  EXPECT_EQ(walk(two.tree()).size(), 3u);
  EXPECT_EQ(walk(one.tree()).size(), 3u);
}

TEST(IndexTree, CompoundTagsByNameAndTheirHeaders) {
  qvtest::TempDir dir;
  CompoundIndex cdx;
  ASSERT_EQ(cdx.create(dir.file("T.CDX"), {}), StatusOk);
  IndexTree a, b;
  TreeHeader h = header(10, IndexHasFor);
  h.forExpression = ".NOT.DELETED()";
  ASSERT_EQ(cdx.createTag("name", h, KeyType::Character, a), StatusOk);
  ASSERT_EQ(cdx.createTag("AMOUNT", header(8, IndexUnique, true), KeyType::Numeric, b), StatusOk);
  EXPECT_EQ(cdx.createTag("TOOLONGNAME", header(8), KeyType::Numeric, b), ErrInvalidTagName);
  EXPECT_EQ(cdx.createTag("", header(8), KeyType::Numeric, b), ErrInvalidTagName);
  EXPECT_EQ(cdx.openTag("NOSUCH", KeyType::Character, b), ErrInvalidTagName);
  ASSERT_EQ(a.insert("SMITH", 1), StatusOk);
  ASSERT_EQ(cdx.close(), StatusOk);

  CompoundIndex again;
  ASSERT_EQ(again.open(dir.file("T.CDX"), {}), StatusOk);
  std::vector<TagEntry> tags;
  ASSERT_EQ(again.tags(tags), StatusOk);
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0].name, "AMOUNT");
  EXPECT_EQ(tags[1].name, "NAME");
  IndexTree name;
  ASSERT_EQ(again.openTag("Name", KeyType::Character, name), StatusOk);
  EXPECT_EQ(name.header().forExpression, ".NOT.DELETED()");
  EXPECT_EQ(name.header().options & (IndexHasFor | IndexCompact | IndexCompound), IndexHasFor | IndexCompact | IndexCompound);
  EXPECT_EQ(walk(name).size(), 1u);
  IndexTree amount;
  ASSERT_EQ(again.openTag("AMOUNT", KeyType::Numeric, amount), StatusOk);
  EXPECT_TRUE(amount.header().descending);
  EXPECT_TRUE(amount.header().unique());
  // A tag created again under its name starts empty; the old pages are reused.
  uint32_t end = again.file().fileEnd();
  ASSERT_EQ(again.createTag("NAME", header(10), KeyType::Character, name), StatusOk);
  EXPECT_TRUE(walk(name).empty());
  EXPECT_EQ(again.file().fileEnd(), end + kCompactHeaderSize);
  ASSERT_EQ(again.tags(tags), StatusOk);
  EXPECT_EQ(tags.size(), 2u);
  ASSERT_EQ(again.removeTag("AMOUNT"), StatusOk);
  ASSERT_EQ(again.tags(tags), StatusOk);
  EXPECT_EQ(tags.size(), 1u);
}

TEST(IndexTree, DamagedHeadersAreRefused) {
  qvtest::TempDir dir;
  std::string bytes(1024, '\0');
  bytes[12] = 0;  // key length 0
  qvtest::writeFile(dir.file("BAD.IDX"), bytes);
  SingleIndex idx;
  EXPECT_EQ(idx.open(dir.file("BAD.IDX"), KeyType::Character, {}), ErrInvalidKeyLength);
  bytes[12] = 8;
  bytes[0] = 0x10;  // a root that is not on a page boundary
  qvtest::writeFile(dir.file("BAD.IDX"), bytes);
  EXPECT_EQ(idx.open(dir.file("BAD.IDX"), KeyType::Character, {}), ErrInvalidRootPage);
  EXPECT_EQ(idx.open(dir.file("NONE.IDX"), KeyType::Character, {}), ErrFileNotFound);
}

}  // namespace
