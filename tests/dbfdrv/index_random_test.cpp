// Generated sequences of adds, key-field changes, deletions, packs and
// rebuilds over C, N, D and L keys, ascending and descending, unique and not,
// with and without FOR filters, in a compound file, a compact and two plain
// single files. After every step a full walk of every tag equals a simple
// sorted list kept beside it, and holds exactly the keys of the records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "index/compound_index.h"
#include "index/index_key.h"
#include "index/index_rebuild.h"
#include "memory_record.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;
using dbftest::MemoryRecord;

namespace {

struct TagPlan {
  const char* name;
  char type;
  const char* expression;
  const char* filter;
  bool unique, descending;
  enum { Compound, CompactIdx, PlainIdx } where;
};

const TagPlan kPlans[] = {
    {"T_NAME", 'C', "NAME", "", false, false, TagPlan::Compound},
    {"T_AMT", 'N', "AMOUNT", "", false, true, TagPlan::Compound},
    {"T_BORN", 'D', "BORN", "", true, false, TagPlan::Compound},
    {"T_FLAG", 'L', "FLAG", "AMOUNT>0", false, false, TagPlan::Compound},
    {"T_ND", 'C', "UPPER(NAME)+DTOS(BORN)", ".NOT.DELETED()", false, true, TagPlan::Compound},
    {"AMTU", 'N', "AMOUNT", "FLAG", true, false, TagPlan::CompactIdx},
    {"NAMEP", 'C', "NAME", "", false, false, TagPlan::PlainIdx},
    {"BORNP", 'D', "BORN", "AMOUNT<50", false, false, TagPlan::PlainIdx},
};

struct Index {
  const TagPlan* plan;
  KeyDefinition def;
  std::unique_ptr<SingleIndex> single;
  IndexTree* tree = nullptr;
  IndexTree tag;
  std::vector<IndexEntry> model;  // what the tree must hold, in its order
};

class RandomTable {
 public:
  RandomTable(const std::string& dir, uint32_t seed, std::size_t maxRecords)
      : dir_(dir), rng_(seed), maxRecords_(maxRecords) {}

  void open() {
    IndexOpenOptions o;
    ASSERT_EQ(cdx_.create(dir_ + "/T.CDX", o), StatusOk);
    MemoryRecord sample = randomRecord(1);
    for (const TagPlan& p : kPlans) {
      auto ix = std::make_unique<Index>();
      ix->plan = &p;
      ASSERT_EQ(defineKey(p.type, p.expression, p.filter, 0, sample, ix->def), StatusOk) << p.name;
      TreeHeader h;
      h.keyLength = ix->def.length;
      h.options = static_cast<uint8_t>((p.unique ? IndexUnique : 0) | (*p.filter ? IndexHasFor : 0));
      h.descending = p.descending;
      h.keyExpression = p.expression;
      h.forExpression = p.filter;
      if (p.where == TagPlan::Compound) {
        ASSERT_EQ(cdx_.createTag(p.name, h, ix->def.type, ix->tag), StatusOk);
        ix->tree = &ix->tag;
      } else {
        ix->single = std::make_unique<SingleIndex>();
        ASSERT_EQ(ix->single->create(dir_ + "/" + p.name + ".IDX", h, p.where == TagPlan::CompactIdx, ix->def.type, o),
                  StatusOk);
        ix->tree = &ix->single->tree();
      }
      indexes_.push_back(std::move(ix));
    }
  }

  void step(int n) {
    int op = std::uniform_int_distribution<int>(0, 99)(rng_);
    if (op < 45 && records_.size() < maxRecords_) add();
    else if (op < 75 && !records_.empty()) change();
    else if (op < 92 && !records_.empty()) remove();
    else if (op < 96) pack();
    else rebuild();
    checkAll(n);
  }

  std::size_t records() const { return records_.size(); }

 private:
  MemoryRecord randomRecord(uint32_t number) {
    static const char* kNames[] = {"ADAMS", "adams", "BAKER", "BAKERS", "CLARK", "", "DAVIS", "EVANS", "EVANSON"};
    MemoryRecord r;
    r.number = number;
    std::uniform_int_distribution<int> pick(0, 8), money(-9999, 9999), day(0, 400), coin(0, 2);
    std::string name = kNames[pick(rng_)];
    name.resize(8, ' ');
    char amount[16];
    std::snprintf(amount, sizeof amount, "%8.2f", money(rng_) / 100.0);
    int d = day(rng_);
    char born[16];
    if (d == 0) std::snprintf(born, sizeof born, "        ");
    else std::snprintf(born, sizeof born, "%04d%02d%02d", 1899 + d % 130, 1 + d % 12, 1 + d % 28);
    const char flags[] = {'T', 'F', ' '};
    r.set("NAME", 'C', name).set("AMOUNT", 'N', amount, 2).set("BORN", 'D', born).set("FLAG", 'L', std::string(1, flags[coin(rng_)]));
    return r;
  }

  bool keyOf(Index& ix, const MemoryRecord& r, std::string& key) {
    bool in = false;
    EXPECT_EQ(buildKey(ix.def, r, key, in), StatusOk);
    key = ix.tree->normalize(key);
    return in;
  }
  // The key of a record as the checks see it, kept until the record changes.
  struct CachedKey {
    bool valid = false, in = false;
    std::string key;
  };
  bool cachedKeyOf(std::size_t ixNumber, const MemoryRecord& r, std::string& key) {
    auto& cache = cache_[ixNumber];
    if (cache.size() < records_.size()) cache.resize(records_.size());
    CachedKey& c = cache[r.number - 1];
    if (!c.valid) {
      c.in = keyOf(*indexes_[ixNumber], r, c.key);
      c.valid = true;
    }
    key = c.key;
    return c.in;
  }
  void forget(uint32_t number) {
    for (auto& cache : cache_)
      if (number - 1 < cache.size()) cache[number - 1].valid = false;
  }

  // The simple list: after all equal keys; a unique list keeps the first.
  void modelInsert(Index& ix, const std::string& key, uint32_t record) {
    auto& m = ix.model;
    auto it = std::upper_bound(m.begin(), m.end(), key, [&](const std::string& k, const IndexEntry& e) {
      return ix.tree->compare(k, e.key) < 0;
    });
    if (ix.plan->unique && it != m.begin() && ix.tree->compare(std::prev(it)->key, key) == 0) return;
    m.insert(it, IndexEntry{key, record, 0});
  }
  void modelRemove(Index& ix, const std::string& key, uint32_t record) {
    auto& m = ix.model;
    for (auto it = m.begin(); it != m.end(); ++it)
      if (it->key == key && it->record == record) {
        m.erase(it);
        return;
      }
  }

  void insertKeys(const MemoryRecord& r) {
    for (auto& ix : indexes_) {
      std::string key;
      if (!keyOf(*ix, r, key)) continue;
      int st = ix->tree->insert(key, r.number);
      ASSERT_TRUE(st == StatusOk || (st == CondKeyExists && ix->plan->unique)) << st;
      modelInsert(*ix, key, r.number);
    }
  }
  void removeKeys(const MemoryRecord& r) {
    for (auto& ix : indexes_) {
      std::string key;
      if (!keyOf(*ix, r, key)) continue;
      ASSERT_EQ(ix->tree->remove(key, r.number), StatusOk);
      modelRemove(*ix, key, r.number);
    }
  }

  void add() {
    MemoryRecord r = randomRecord(static_cast<uint32_t>(records_.size() + 1));
    records_.push_back(r);
    forget(r.number);
    insertKeys(r);
  }
  MemoryRecord& anyRecord() {
    return records_[std::uniform_int_distribution<std::size_t>(0, records_.size() - 1)(rng_)];
  }
  void change() {
    MemoryRecord& r = anyRecord();
    MemoryRecord fresh = randomRecord(r.number);
    fresh.isDeleted = r.isDeleted;
    // One or more key fields change; the others stay.
    for (const char* field : {"NAME", "AMOUNT", "BORN", "FLAG"})
      if (std::uniform_int_distribution<int>(0, 1)(rng_)) fresh.fields[field] = r.fields[field];
    removeKeys(r);
    r = fresh;
    forget(r.number);
    insertKeys(r);
  }
  // Marking a record deleted keeps its entries, except where the filter
  // mentions DELETED().
  void remove() {
    MemoryRecord& r = anyRecord();
    if (r.isDeleted) return;
    for (auto& ix : indexes_) {
      if (!ix->def.filter.mentionsDeleted()) continue;
      std::string key;
      if (keyOf(*ix, r, key)) {
        ASSERT_EQ(ix->tree->remove(key, r.number), StatusOk);
        modelRemove(*ix, key, r.number);
      }
    }
    r.isDeleted = true;
    forget(r.number);
  }
  void pack() {
    std::vector<MemoryRecord> kept;
    for (MemoryRecord& r : records_)
      if (!r.isDeleted) {
        r.number = static_cast<uint32_t>(kept.size() + 1);
        kept.push_back(r);
      }
    records_ = kept;
    for (auto& cache : cache_) cache.clear();
    rebuild();
  }
  // Built again from all records in record order; a unique key keeps the
  // first record of each value.
  void rebuild() {
    struct Source : RecordSource {
      std::vector<MemoryRecord>* rows;
      uint32_t count() const override { return static_cast<uint32_t>(rows->size()); }
      int read(uint32_t n, const RecordAccess*& out) override {
        out = &(*rows)[n - 1];
        return StatusOk;
      }
    } source;
    source.rows = &records_;
    for (auto& ix : indexes_) {
      ix->model.clear();
      for (const MemoryRecord& r : records_) {
        std::string key;
        if (keyOf(*ix, r, key)) modelInsert(*ix, key, r.number);
      }
      ASSERT_EQ(rebuildTree(*ix->tree, ix->def, source, dir_, kMinSortRunBytes), StatusOk);
    }
  }

  void checkAll(int n) {
    cache_.resize(indexes_.size());
    for (std::size_t ixNumber = 0; ixNumber < indexes_.size(); ++ixNumber) {
      auto& ix = indexes_[ixNumber];
      std::vector<IndexEntry> walked;
      bool found = false;
      ASSERT_EQ(ix->tree->first(found), StatusOk);
      while (found) {
        walked.push_back(IndexEntry{ix->tree->key(), ix->tree->record(), 0});
        ASSERT_EQ(ix->tree->next(found), StatusOk);
      }
      ASSERT_EQ(walked.size(), ix->model.size()) << ix->plan->name << " after step " << n;
      for (std::size_t i = 0; i < walked.size(); ++i) {
        ASSERT_EQ(walked[i].key, ix->model[i].key) << ix->plan->name << " entry " << i << " after step " << n;
        ASSERT_EQ(walked[i].record, ix->model[i].record) << ix->plan->name << " entry " << i << " after step " << n;
      }
      // Every entry is the key of the record it names; and, but in a unique
      // index (which keeps one record of each key), every record the filter
      // admits has one.
      std::size_t admitted = 0;
      for (const MemoryRecord& r : records_) {
        std::string key;
        if (cachedKeyOf(ixNumber, r, key) && !(ix->def.filter.mentionsDeleted() && r.isDeleted)) ++admitted;
      }
      for (const IndexEntry& e : walked) {
        ASSERT_GE(e.record, 1u);
        ASSERT_LE(e.record, records_.size());
        std::string key;
        ASSERT_TRUE(cachedKeyOf(ixNumber, records_[e.record - 1], key)) << ix->plan->name << " after step " << n;
        ASSERT_EQ(key, e.key) << ix->plan->name << " record " << e.record << " after step " << n;
      }
      if (!ix->plan->unique) {
        ASSERT_EQ(walked.size(), admitted) << ix->plan->name << " after step " << n;
      }
      if (n % 97 == 0) {
        std::string detail;
        ASSERT_EQ(ix->tree->verify(detail), StatusOk) << ix->plan->name << ": " << detail << " after step " << n;
      }
    }
  }

  std::string dir_;
  std::mt19937 rng_;
  std::size_t maxRecords_;
  CompoundIndex cdx_;
  std::vector<std::unique_ptr<Index>> indexes_;
  std::vector<MemoryRecord> records_;
  std::vector<std::vector<CachedKey>> cache_;
};

void runSequence(uint32_t seed, int steps, std::size_t maxRecords) {
  qvtest::TempDir dir;
  RandomTable t(dir.path(), seed, maxRecords);
  t.open();
  if (::testing::Test::HasFatalFailure()) return;
  for (int i = 1; i <= steps; ++i) {
    t.step(i);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(IndexRandomOperations, ShortSequencesOfEveryChange) {
  runSequence(1, 3000, 700);
  runSequence(2, 3000, 60);
}

// 100,000 operations: run by ctest under the label "long".
TEST(IndexRandomOperations, DISABLED_LongSequence) { runSequence(21, 100000, 600); }

}  // namespace
