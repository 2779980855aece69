// Rebuilding indexes from all records: sorted runs on disk merged in order,
// filters and unique keys, and a single index file replaced whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "index/index_rebuild.h"
#include "memory_record.h"
#include "memory_records.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;
using dbftest::MemoryRecord;

namespace {

using Records = dbftest::MemoryRecords;

Records sample(int n, uint32_t seed) {
  Records r;
  std::mt19937 rng(seed);
  for (int i = 1; i <= n; ++i) {
    MemoryRecord m;
    m.number = static_cast<uint32_t>(i);
    char name[16];
    std::snprintf(name, sizeof name, "N%04d", static_cast<int>(rng() % 700));
    char amount[16];
    std::snprintf(amount, sizeof amount, "%8.2f", static_cast<int>(rng() % 20000 - 10000) / 100.0);
    m.set("NAME", 'C', std::string(name) + "   ").set("AMOUNT", 'N', amount, 2);
    r.rows.push_back(m);
  }
  return r;
}

std::vector<IndexEntry> expected(IndexTree& tree, const KeyDefinition& def, Records& records) {
  std::vector<IndexEntry> out;
  for (const MemoryRecord& r : records.rows) {
    std::string key;
    bool in = false;
    EXPECT_EQ(buildKey(def, r, key, in), StatusOk);
    if (in) out.push_back(IndexEntry{tree.normalize(key), r.number, 0});
  }
  std::stable_sort(out.begin(), out.end(), [&](const IndexEntry& a, const IndexEntry& b) { return tree.compare(a.key, b.key) < 0; });
  if (tree.header().unique())
    out.erase(std::unique(out.begin(), out.end(), [&](const IndexEntry& a, const IndexEntry& b) { return a.key == b.key; }),
              out.end());
  return out;
}

void expectWalk(IndexTree& tree, const std::vector<IndexEntry>& want) {
  bool found = false;
  std::size_t i = 0;
  ASSERT_EQ(tree.first(found), StatusOk);
  while (found) {
    ASSERT_LT(i, want.size());
    ASSERT_EQ(tree.key(), want[i].key) << i;
    ASSERT_EQ(tree.record(), want[i].record) << i;
    ++i;
    ASSERT_EQ(tree.next(found), StatusOk);
  }
  EXPECT_EQ(i, want.size());
  std::string detail;
  EXPECT_EQ(tree.verify(detail), StatusOk) << detail;
}

TEST(IndexRebuild, ManyRunsMergeIntoTheStableOrder) {
  qvtest::TempDir dir;
  Records records = sample(6000, 7);
  CompoundIndex cdx;
  ASSERT_EQ(cdx.create(dir.file("R.CDX"), {}), StatusOk);
  struct Plan { const char* tag; char type; const char* expr; const char* filter; uint8_t options; bool descending; };
  for (const Plan& p : {Plan{"NAME", 'C', "NAME", "", 0, false}, Plan{"AMT", 'N', "AMOUNT", "AMOUNT>0", 0, true},
                        Plan{"UNAME", 'C', "NAME", "", IndexUnique, false}}) {
    KeyDefinition def;
    ASSERT_EQ(defineKey(p.type, p.expr, p.filter, 0, records.rows[0], def), StatusOk);
    TreeHeader h;
    h.keyLength = def.length;
    h.options = p.options;
    h.descending = p.descending;
    h.keyExpression = p.expr;
    IndexTree tag;
    ASSERT_EQ(cdx.createTag(p.tag, h, def.type, tag), StatusOk);
    // Twice: the second build reuses the pages the first one freed.
    for (int round = 0; round < 2; ++round) {
      ASSERT_EQ(rebuildTree(tag, def, records, dir.path(), kMinSortRunBytes), StatusOk);
      expectWalk(tag, expected(tag, def, records));
    }
  }
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().rfind("STKS", 0), std::string::npos) << e.path();
}

TEST(IndexRebuild, ASingleIndexIsReplacedByTheOneBuiltUnderItsTemporaryName) {
  qvtest::TempDir dir;
  Records records = sample(3000, 8);
  KeyDefinition def;
  ASSERT_EQ(defineKey('C', "NAME", "", 0, records.rows[0], def), StatusOk);
  TreeHeader h;
  h.keyLength = def.length;
  h.keyExpression = "NAME";
  for (bool compact : {false, true}) {
    std::string path = dir.file(compact ? "C.IDX" : "P.IDX");
    SingleIndex idx;
    ASSERT_EQ(idx.create(path, h, compact, def.type, {}), StatusOk);
    ASSERT_EQ(idx.tree().insert("STALE", 99999), StatusOk);
    ASSERT_EQ(rebuildSingleIndex(idx, path, def, records, {}, dir.path()), StatusOk);
    expectWalk(idx.tree(), expected(idx.tree(), def, records));
    EXPECT_FALSE(std::filesystem::exists(temporaryIndexName(path)));
  }
  EXPECT_EQ(temporaryIndexName("/a/b/NAME.IDX"), "/a/b/NAME.$$$");
  EXPECT_EQ(temporaryIndexName("/a.b/NAME"), "/a.b/NAME.$$$");
}

}  // namespace
