// Fuzzes opening and walking index files: one input is a whole compound or
// single index file. Every tag is opened, walked forwards and backwards,
// counted and checked, and searched for its first key. Besides crashes and
// sanitizer reports, the promises checked are: a walk answers keys of the
// tree's length, a forward walk and a backward walk meet the same number of
// entries, and a tree that passes its check walks in key order.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "index/compound_index.h"
#include "table/engine_status.h"

#define check(ok)                                                            \
  do {                                                                       \
    if (!(ok)) {                                                             \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

namespace {

// Damaged trees may reach pages many times over; walks stop after this many
// entries.
constexpr int kMaxWalk = 20000;

std::string inputPath() {
  static std::string path = [] {
    char name[] = "/tmp/fuzz_dbf_index_XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

void walkTree(dbf::IndexTree& tree) {
  using namespace dbf;
  std::string detail;
  bool sound = tree.verify(detail) == StatusOk;
  bool found = false;
  int forwards = 0, backwards = 0;
  std::string previous;
  int st = tree.first(found);
  while (st == StatusOk && found && forwards < kMaxWalk) {
    check(static_cast<int>(tree.key().size()) == tree.header().keyLength);
    if (sound && forwards > 0) check(tree.compare(previous, tree.key()) <= 0);
    previous = tree.key();
    ++forwards;
    st = tree.next(found);
  }
  bool forwardComplete = st == StatusOk && !found;
  st = tree.last(found);
  while (st == StatusOk && found && backwards < kMaxWalk) {
    ++backwards;
    st = tree.previous(found);
  }
  bool backwardComplete = st == StatusOk && !found;
  if (sound && forwardComplete && backwardComplete) check(forwards == backwards);
  uint64_t count = 0;
  if (sound && tree.count(count) == StatusOk && forwardComplete) check(count == static_cast<uint64_t>(forwards));
  if (tree.first(found) == StatusOk && found) {
    std::string key = tree.key();
    uint32_t record = tree.record();
    bool again = false;
    if (sound && tree.find(key, FindMode::Exact, record, again) == StatusOk) check(again);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dbf;
  const std::string path = inputPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  IndexOpenOptions readOnly;
  readOnly.readOnly = true;
  {
    CompoundIndex cdx;
    std::vector<TagEntry> tags;
    if (cdx.open(path, readOnly) == StatusOk && cdx.tags(tags) == StatusOk)
      for (const TagEntry& t : tags)
        for (KeyType type : {KeyType::Character, KeyType::Numeric}) {
          IndexTree tag;
          if (cdx.openTag(t.name, type, tag) == StatusOk) walkTree(tag);
        }
  }
  {
    SingleIndex idx;
    if (idx.open(path, KeyType::Character, readOnly) == StatusOk) walkTree(idx.tree());
  }
  return 0;
}
