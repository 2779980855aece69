// The posting driver's table of kept-back edits: every edit found by its
// number through additions and erasures, and the numbers in order, with
// their neighbours, whatever order they were added in.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "storage/posting_edits.h"

using namespace qv;

namespace {

// The table beside a std::set of the same numbers, checked against it.
void expectSameAs(PostingEdits& t, const std::set<uint32_t>& model) {
  std::vector<uint32_t> ordered(model.begin(), model.end());
  ASSERT_EQ(t.ordered(), ordered);
  for (uint32_t id : model) {
    ASSERT_TRUE(t.contains(id)) << id;
    ASSERT_EQ(t.find(id)->added.size(), 1u);
    EXPECT_EQ(t.find(id)->added[0], id);
  }
}

TEST(PostingEditsTest, EditsAreFoundAndOrderedThroughAdditionsAndErasures) {
  PostingEdits t;
  std::set<uint32_t> model;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    uint32_t id = 1 + rng() % 20000;
    bool made = false;
    PostingEdit& e = t.at(id, made);
    EXPECT_EQ(made, model.insert(id).second) << id;
    if (made) e.added.push_back(id);
    if (i % 7 == 0) {
      uint32_t gone = 1 + rng() % 20000;
      t.erase(gone);
      model.erase(gone);
    }
    if (i % 500 == 0) {
      // The neighbours of a number, between sorts and with numbers not yet sorted in.
      for (uint32_t probe : {0u, id, id + 1, 20001u}) {
        uint32_t got = 0;
        auto a = model.upper_bound(probe);
        EXPECT_EQ(t.after(probe, got), a != model.end()) << probe;
        if (a != model.end()) {
          EXPECT_EQ(got, *a);
        }
        auto b = model.lower_bound(probe);
        EXPECT_EQ(t.before(probe, got), b != model.begin()) << probe;
        if (b != model.begin()) {
          EXPECT_EQ(got, *std::prev(b));
        }
      }
    }
  }
  expectSameAs(t, model);
  EXPECT_FALSE(t.contains(0));
  t.clear();
  EXPECT_TRUE(t.empty());
  EXPECT_TRUE(t.ordered().empty());
  uint32_t got = 0;
  EXPECT_FALSE(t.after(0, got));
}

TEST(PostingEditsTest, NumbersAddedInIncreasingOrderNeedNoSort) {
  PostingEdits t;
  std::set<uint32_t> model;
  for (uint32_t id = 10; id < 3000; id += 3) {
    bool made = false;
    t.at(id, made).added.push_back(id);
    model.insert(id);
    uint32_t got = 0;
    ASSERT_TRUE(t.before(id + 1, got));
    EXPECT_EQ(got, id);
  }
  expectSameAs(t, model);
  t.erase(10);
  t.erase(2998);
  model.erase(10);
  model.erase(2998);
  expectSameAs(t, model);
}

}  // namespace
