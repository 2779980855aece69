// Building an index tree from sorted entries, releasing its pages, and
// checking its structure.
#include <algorithm>

#include "index/index_tree.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// Fills pages of one level left to right, writing each when the next starts.
class LevelWriter {
 public:
  LevelWriter(IndexFile* file, const TreeShape& shape, bool leaf) : file_(file), shape_(shape), leaf_(leaf) {}

  int add(const IndexEntry& e) {
    if (!started_) {
      if (int st = start(kNoPage); st) return st;
    }
    cur_.entries.push_back(e);
    if (fits()) return StatusOk;
    cur_.entries.pop_back();
    IndexNode full = std::move(cur_);
    uint32_t nextOffset = 0;
    if (int st = file_->allocatePage(nextOffset); st) return st;
    full.right = nextOffset;
    if (int st = write(full); st) return st;
    cur_ = IndexNode();
    cur_.offset = nextOffset;
    cur_.left = full.offset;
    cur_.attribute = leaf_ ? PageLeaf : PageInterior;
    used_ = 0;
    maxRecord_ = 0;
    cur_.entries.push_back(e);
    fits();
    return StatusOk;
  }

  // Writes the last page; the page becomes the root when it is the only one.
  int finish() {
    if (!started_)
      if (int st = start(kNoPage); st) return st;
    if (pages_.size() == 0) cur_.attribute |= PageRoot;
    return write(cur_);
  }
  const std::vector<IndexEntry>& pages() const { return pages_; }

 private:
  int start(uint32_t left) {
    started_ = true;
    cur_ = IndexNode();
    cur_.attribute = leaf_ ? PageLeaf : PageInterior;
    cur_.left = left;
    return file_->allocatePage(cur_.offset);
  }
  // Whether the page with its newest entry still fits, counted as it grows.
  bool fits() {
    if (!(leaf_ && shape_.format == IndexFormat::Compact))
      return static_cast<int>(cur_.entries.size()) <= maxKeysPerPage(shape_, leaf_);
    const std::string& k = cur_.entries.back().key;
    const int n = shape_.keyLength;
    int trail = 0;
    while (trail < n && k[n - 1 - trail] == shape_.pad) ++trail;
    int dup = 0;
    if (cur_.entries.size() > 1) {
      const std::string& p = cur_.entries[cur_.entries.size() - 2].key;
      while (dup < n - trail && p[dup] == k[dup]) ++dup;
    }
    uint32_t maxRec = std::max(maxRecord_, cur_.entries.back().record);
    int bytes = leafPacking(n, maxRec, 0).bytesPerEntry;
    int used = used_ + n - dup - trail;
    if (used + static_cast<int>(cur_.entries.size()) * bytes > kCompactLeafSpace) return false;
    used_ = used;
    maxRecord_ = maxRec;
    return true;
  }
  int write(IndexNode& node) {
    const IndexEntry& last = node.entries.empty() ? IndexEntry() : node.entries.back();
    pages_.push_back(IndexEntry{last.key, last.record, node.offset});
    return file_->putNode(node, shape_);
  }

  IndexFile* file_;
  TreeShape shape_;
  bool leaf_;
  bool started_ = false;
  IndexNode cur_;
  int used_ = 0;
  uint32_t maxRecord_ = 0;
  std::vector<IndexEntry> pages_;
};

}  // namespace

int IndexTree::build(const std::vector<IndexEntry>& sorted) {
  std::size_t i = 0;
  return build([&](IndexEntry& e, bool& more) {
    more = i < sorted.size();
    if (more) e = sorted[i++];
    return StatusOk;
  });
}

int IndexTree::build(const std::function<int(IndexEntry& entry, bool& more)>& next) {
  if (int st = file_->beginChange(); st) return st;
  int st = releaseIfWhole();
  clearCurrent();
  if (st == StatusOk) {
    LevelWriter leaves(file_, shape_, true);
    for (;;) {
      IndexEntry e;
      bool more = false;
      if ((st = next(e, more)) || !more) break;
      e.key = normalize(e.key);
      if ((st = leaves.add(e))) break;
    }
    if (st == StatusOk) st = leaves.finish();
    std::vector<IndexEntry> level = leaves.pages();
    while (st == StatusOk && level.size() > 1) {
      LevelWriter upper(file_, shape_, false);
      for (const IndexEntry& e : level)
        if ((st = upper.add(e))) break;
      if (st == StatusOk) st = upper.finish();
      level = upper.pages();
    }
    if (st == StatusOk) st = setRoot(level.front().child);
  }
  file_->endChange();
  return st;
}

int IndexTree::collectPages(uint32_t offset, int depth, uint64_t& budget, std::vector<uint32_t>& pages) {
  if (depth > 32 || budget-- == 0) return ErrFileCorrupted;
  IndexNode node;
  if (int st = file_->getNode(offset, shape_, node); st) return st;
  pages.push_back(offset);
  if (!node.leaf())
    for (const IndexEntry& e : node.entries)
      if (int st = collectPages(e.child, depth + 1, budget, pages); st) return st;
  return StatusOk;
}

int IndexTree::releaseAll() {
  // Collected first: a damaged tree reaching a page twice must not put it
  // twice on the free list.
  std::vector<uint32_t> pages;
  uint64_t budget = pageBudget();
  if (int st = collectPages(header_.root, 0, budget, pages); st) return st;
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  for (uint32_t p : pages)
    if (int st = file_->releasePage(p); st) return st;
  header_.root = kNoPage;
  return StatusOk;
}

int IndexTree::releaseIfWhole() {
  // Only a tree that reads whole gives its pages back. A damaged one is not
  // walked further: its pages stay unused (they may be another tree's), and
  // the build that follows does not fail on the damage it repairs.
  std::string detail;
  std::vector<uint32_t> pages;
  uint64_t budget = pageBudget();
  bool whole = verify(detail) == StatusOk && collectPages(header_.root, 0, budget, pages) == StatusOk;
  clearCurrent();
  header_.root = kNoPage;
  if (!whole) return StatusOk;
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  for (uint32_t p : pages)
    if (int st = file_->releasePage(p); st) return st;
  return StatusOk;
}

int IndexTree::verifyNode(uint32_t offset, int depth, uint64_t& budget, std::string& last, uint32_t& lastRecord,
                          std::string& detail) {
  if (depth > 32 || budget-- == 0) {
    detail = "the tree is deeper than any index can be";
    return ErrFileCorrupted;
  }
  IndexNode node;
  if (int st = file_->getNode(offset, shape_, node); st) {
    detail = "page " + std::to_string(offset) + " cannot be read";
    return st;
  }
  if (node.leaf()) {
    for (const IndexEntry& e : node.entries) {
      if (!last.empty() && compare(last, e.key) > 0) {
        detail = "keys out of order in page " + std::to_string(offset);
        return ErrFileCorrupted;
      }
      last = e.key;
      lastRecord = e.record;
    }
    return StatusOk;
  }
  if (node.entries.empty() && !node.root()) {
    detail = "empty interior page " + std::to_string(offset);
    return ErrFileCorrupted;
  }
  for (const IndexEntry& e : node.entries) {
    if (int st = verifyNode(e.child, depth + 1, budget, last, lastRecord, detail); st) return st;
    bool recordKept = shape_.format == IndexFormat::Compact;
    if (e.key != last || (recordKept && e.record != lastRecord)) {
      detail = "page " + std::to_string(offset) + " names a key that is not the last below it";
      return ErrFileCorrupted;
    }
  }
  return StatusOk;
}

int IndexTree::verify(std::string& detail) {
  if (int st = reloadRoot(); st) return st;
  std::string last;
  uint32_t lastRecord = 0;
  uint64_t budget = pageBudget();
  if (int st = verifyNode(header_.root, 0, budget, last, lastRecord, detail); st) return st;
  // The leaves' sibling chain runs through every leaf in key order.
  std::vector<Step> path;
  IndexNode leaf;
  if (int st = edge(false, path, leaf); st) return st;
  uint32_t expectLeft = kNoPage;
  for (;;) {
    if (leaf.left != expectLeft) {
      detail = "page " + std::to_string(leaf.offset) + " has a wrong left sibling";
      return ErrFileCorrupted;
    }
    expectLeft = leaf.offset;
    uint32_t right = leaf.right;
    bool moved = false;
    if (int st = stepLeaf(true, path, leaf, moved); st) return st;
    if (!moved) {
      if (right != kNoPage) {
        detail = "the last leaf has a right sibling";
        return ErrFileCorrupted;
      }
      return StatusOk;
    }
    if (right != leaf.offset) {
      detail = "page " + std::to_string(expectLeft) + " has a wrong right sibling";
      return ErrFileCorrupted;
    }
  }
}

}  // namespace dbf
