// Insertion into and deletion from an index tree: page splits upwards to a
// new root, empty pages onto the free list, and the interior keys kept equal
// to the last key below them.
#include "index/index_tree.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// Releases the file's change lock when an insertion or deletion ends, on
// every path out of it.
class ChangeScope {
 public:
  explicit ChangeScope(IndexFile* f) : f_(f) {}
  ~ChangeScope() {
    if (began_) f_->endChange();
  }
  int begin() {
    int st = f_->beginChange();
    began_ = st == StatusOk;
    return st;
  }

 private:
  IndexFile* f_;
  bool began_ = false;
};

}  // namespace

int IndexTree::setRoot(uint32_t offset) {
  header_.root = offset;
  return file_->writeWord(headerOffset_ + kHeaderRoot, offset);
}

int IndexTree::insert(const std::string& rawKey, uint32_t record) {
  ChangeScope scope(file_);
  if (int st = scope.begin(); st) return st;
  clearCurrent();
  if (file_->shared()) {
    uint32_t root = 0;
    if (int st = file_->readWord(headerOffset_ + kHeaderRoot, root); st) return st;
    if (root % kIndexPageSize || root == 0 || root >= file_->fileEnd()) return ErrInvalidRootPage;
    header_.root = root;
  }
  std::string key = normalize(rawKey);
  std::vector<Step> path;
  IndexNode leaf;
  if (header_.unique()) {
    bool found = false;
    if (int st = descend(key, false, path, leaf); st) return st;
    if (int st = settle(path, leaf, true, found); st) return st;
    if (found && compare(leaf.entries[static_cast<std::size_t>(path.back().index)].key, key) == 0)
      return CondKeyExists;
  }
  if (int st = descend(key, true, path, leaf); st) return st;
  leaf.entries.insert(leaf.entries.begin() + path.back().index, IndexEntry{key, record, 0});
  int st = store(path, static_cast<int>(path.size()) - 1, leaf);
  return st;
}

// Writes a changed node: split when it no longer fits, else stored and its
// last key carried up.
int IndexTree::store(std::vector<Step>& path, int level, IndexNode& node) {
  if (!nodeFits(node, shape_)) return split(path, level, node);
  if (int st = file_->putNode(node, shape_); st) return st;
  return propagateLast(path, level, node);
}

int IndexTree::propagateLast(std::vector<Step>& path, int level, const IndexNode& node) {
  if (node.entries.empty()) return StatusOk;
  const IndexEntry carried = node.entries.back();
  for (int up = level - 1; up >= 0; --up) {
    IndexNode parent;
    if (int st = file_->getNode(path[up].offset, shape_, parent); st) return st;
    IndexEntry& e = parent.entries[static_cast<std::size_t>(path[up].index)];
    if (e.key == carried.key && e.record == carried.record) return StatusOk;
    e.key = carried.key;
    e.record = carried.record;
    if (int st = file_->putNode(parent, shape_); st) return st;
    if (path[up].index + 1 != static_cast<int>(parent.entries.size())) return StatusOk;
  }
  return StatusOk;
}

int IndexTree::split(std::vector<Step>& path, int level, IndexNode& node) {
  const int n = static_cast<int>(node.entries.size());
  int leftCount = n / 2;
  IndexNode right;
  right.attribute = static_cast<uint16_t>(node.attribute & PageLeaf);
  right.recordBits = node.recordBits;
  right.entries.assign(node.entries.begin() + leftCount, node.entries.end());
  node.entries.resize(static_cast<std::size_t>(leftCount));
  // Halves by count nearly always fit; a compact leaf of very unequal keys
  // moves entries until both do.
  while (!nodeFits(right, shape_) && right.entries.size() > 1) {
    node.entries.push_back(right.entries.front());
    right.entries.erase(right.entries.begin());
  }
  while (!nodeFits(node, shape_) && node.entries.size() > 1) {
    right.entries.insert(right.entries.begin(), node.entries.back());
    node.entries.pop_back();
  }
  if (int st = file_->allocatePage(right.offset); st) return st;
  right.left = node.offset;
  right.right = node.right;
  if (node.right != kNoPage) {
    IndexNode after;
    if (int st = file_->getNode(node.right, shape_, after); st) return st;
    after.left = right.offset;
    if (int st = file_->putNode(after, shape_); st) return st;
  }
  node.right = right.offset;
  bool wasRoot = node.root();
  node.attribute = static_cast<uint16_t>(node.attribute & PageLeaf);
  if (int st = file_->putNode(node, shape_); st) return st;
  if (int st = file_->putNode(right, shape_); st) return st;
  const IndexEntry& l = node.entries.back();
  const IndexEntry& r = right.entries.back();
  if (wasRoot) {
    IndexNode root;
    root.attribute = PageRoot;
    if (int st = file_->allocatePage(root.offset); st) return st;
    root.entries.push_back(IndexEntry{l.key, l.record, node.offset});
    root.entries.push_back(IndexEntry{r.key, r.record, right.offset});
    if (int st = file_->putNode(root, shape_); st) return st;
    return setRoot(root.offset);
  }
  IndexNode parent;
  Step& at = path[static_cast<std::size_t>(level - 1)];
  if (int st = file_->getNode(at.offset, shape_, parent); st) return st;
  IndexEntry& old = parent.entries[static_cast<std::size_t>(at.index)];
  old = IndexEntry{r.key, r.record, right.offset};
  parent.entries.insert(parent.entries.begin() + at.index, IndexEntry{l.key, l.record, node.offset});
  ++at.index;  // the step now names the right half, whose last key the parent carries
  return store(path, level - 1, parent);
}

int IndexTree::remove(const std::string& rawKey, uint32_t record) {
  ChangeScope scope(file_);
  if (int st = scope.begin(); st) return st;
  clearCurrent();
  if (file_->shared()) {
    uint32_t root = 0;
    if (int st = file_->readWord(headerOffset_ + kHeaderRoot, root); st) return st;
    if (root % kIndexPageSize || root == 0 || root >= file_->fileEnd()) return ErrInvalidRootPage;
    header_.root = root;
  }
  std::string key = normalize(rawKey);
  std::vector<Step> path;
  IndexNode leaf;
  bool found = false;
  if (int st = descend(key, false, path, leaf); st) return st;
  if (int st = settle(path, leaf, true, found); st) return st;
  while (found) {
    const IndexEntry& e = leaf.entries[static_cast<std::size_t>(path.back().index)];
    if (compare(e.key, key) != 0) return StatusOk;
    if (e.record == record) break;
    ++path.back().index;
    if (int st = settle(path, leaf, true, found); st) return st;
  }
  if (!found) return StatusOk;
  leaf.entries.erase(leaf.entries.begin() + path.back().index);
  if (leaf.entries.empty() && !leaf.root()) return removeNode(path, static_cast<int>(path.size()) - 1, leaf);
  return store(path, static_cast<int>(path.size()) - 1, leaf);
}

// An empty page leaves the tree: unlinked from its siblings, put on the free
// list and its entry removed from the parent, repeated upwards.
int IndexTree::removeNode(std::vector<Step>& path, int level, IndexNode& node) {
  if (node.left != kNoPage) {
    IndexNode before;
    if (int st = file_->getNode(node.left, shape_, before); st) return st;
    before.right = node.right;
    if (int st = file_->putNode(before, shape_); st) return st;
  }
  if (node.right != kNoPage) {
    IndexNode after;
    if (int st = file_->getNode(node.right, shape_, after); st) return st;
    after.left = node.left;
    if (int st = file_->putNode(after, shape_); st) return st;
  }
  if (int st = file_->releasePage(node.offset); st) return st;
  IndexNode parent;
  const Step& at = path[static_cast<std::size_t>(level - 1)];
  if (int st = file_->getNode(at.offset, shape_, parent); st) return st;
  parent.entries.erase(parent.entries.begin() + at.index);
  if (parent.entries.empty()) {
    if (!parent.root()) return removeNode(path, level - 1, parent);
    parent.attribute = PageRoot | PageLeaf;  // the tree is empty again
    parent.left = parent.right = kNoPage;
    return file_->putNode(parent, shape_);
  }
  if (int st = file_->putNode(parent, shape_); st) return st;
  // Removing the last child changes the parent's last key.
  if (at.index == static_cast<int>(parent.entries.size())) {
    path[static_cast<std::size_t>(level - 1)].index = at.index - 1;
    return propagateLast(path, level - 1, parent);
  }
  return StatusOk;
}

}  // namespace dbf
