// An index tree's header, and searching and walking its entries.
#include <cstring>

#include "index/index_tree.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// Deeper trees than this are damaged files (a loop of child pages).
constexpr int kMaxTreeDepth = 32;
// Longest key a page can hold two of (compact interior entries).
constexpr int kMaxReadableKey = (kIndexPageSize - kPageHeaderSize) / 2 - 8;

std::string cString(const uint8_t* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void put16(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); }

}  // namespace

int IndexTree::readHeader(IndexFile* file, uint32_t at, TreeHeader& h) {
  bool plain = file->kind() == IndexKind::PlainIdx;
  std::vector<uint8_t> b(plain ? kPlainHeaderSize : kCompactHeaderSize);
  if (int st = file->readBytes(at, b.data(), b.size()); st) return st;
  h = TreeHeader();
  h.root = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  h.keyLength = le16(&b[12]);
  h.options = b[14];
  // Longer keys than the driver creates are read (other writers make keys
  // of up to 240 bytes); the limit is what a page can hold.
  if (h.keyLength < 1 || h.keyLength > kMaxReadableKey) return ErrInvalidKeyLength;
  if (plain) {
    h.keyExpression = cString(&b[kPlainKeyExpression], kPlainExpressionSpace);
    h.forExpression = cString(&b[kPlainForExpression], kPlainExpressionSpace);
    return StatusOk;
  }
  h.descending = le16(&b[kCompactDescending]) != 0;
  const std::size_t poolSpace = kCompactHeaderSize - kCompactPool;
  h.keyExpression = cString(&b[kCompactPool], poolSpace);
  std::size_t keyPool = le16(&b[kCompactKeyPoolLength]);
  // The FOR expression follows the key expression's pool; a pool length
  // shorter than the text (some writers leave it 0) is taken from the text.
  if (keyPool < h.keyExpression.size() + 1) keyPool = h.keyExpression.size() + 1;
  if (le16(&b[kCompactForPoolLength]) > 1 && keyPool < poolSpace)
    h.forExpression = cString(&b[kCompactPool + keyPool], poolSpace - keyPool);
  return StatusOk;
}

int IndexTree::writeHeader(IndexFile* file, uint32_t at, const TreeHeader& h) {
  bool plain = file->kind() == IndexKind::PlainIdx;
  std::vector<uint8_t> b(plain ? kPlainHeaderSize : kCompactHeaderSize, 0);
  if (int st = file->readBytes(at, b.data(), 12); st) return st;  // keep the file's free list and end words
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(h.root >> (8 * i));
  put16(&b[12], static_cast<uint16_t>(h.keyLength));
  b[14] = h.options;
  if (plain) {
    if (h.keyExpression.size() >= kPlainExpressionSpace || h.forExpression.size() >= kPlainExpressionSpace)
      return ErrBadUserSpecifiedKeyExpression;
    std::memcpy(&b[kPlainKeyExpression], h.keyExpression.data(), h.keyExpression.size());
    std::memcpy(&b[kPlainForExpression], h.forExpression.data(), h.forExpression.size());
  } else {
    if (h.keyExpression.size() + h.forExpression.size() + 2 > kCompactHeaderSize - kCompactPool)
      return ErrBadUserSpecifiedKeyExpression;
    put16(&b[kCompactDescending], h.descending ? 1 : 0);
    put16(&b[kCompactForPoolLength], static_cast<uint16_t>(h.forExpression.size() + 1));
    put16(&b[kCompactKeyPoolLength], static_cast<uint16_t>(h.keyExpression.size() + 1));
    std::memcpy(&b[kCompactPool], h.keyExpression.data(), h.keyExpression.size());
    std::memcpy(&b[kCompactPool + h.keyExpression.size() + 1], h.forExpression.data(), h.forExpression.size());
  }
  if (at == 0) {
    // The words at 4 and 8 of the first header belong to the whole file.
    if (int st = file->writeBytes(12, &b[12], b.size() - 12); st) return st;
    return file->writeWord(kHeaderRoot, h.root);
  }
  for (int i = 0; i < 4; ++i) b[4 + i] = 0xFF;                                   // no free list of its own
  for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<uint8_t>(file->fileEnd() >> (8 * i));
  return file->writeBytes(at, b.data(), b.size());
}

int IndexTree::create(IndexFile* file, uint32_t at, const TreeHeader& header) {
  TreeHeader h = header;
  uint32_t root = 0;
  if (int st = file->allocatePage(root); st) return st;
  h.root = root;
  if (int st = writeHeader(file, at, h); st) return st;
  IndexTree t;
  t.file_ = file;
  t.headerOffset_ = at;
  t.header_ = h;
  t.shape_ = TreeShape{file->kind() == IndexKind::PlainIdx ? IndexFormat::Plain : IndexFormat::Compact, h.keyLength, ' '};
  IndexNode node;
  node.offset = root;
  return file->putNode(node, t.shape_);
}

int IndexTree::attach(IndexFile* file, uint32_t at, KeyType keyType) {
  file_ = file;
  headerOffset_ = at;
  clearCurrent();
  if (int st = readHeader(file, at, header_); st) return st;
  shape_.format = file->kind() == IndexKind::PlainIdx ? IndexFormat::Plain : IndexFormat::Compact;
  shape_.keyLength = header_.keyLength;
  shape_.pad = keyPadByte(keyType);
  if (header_.root % kIndexPageSize || header_.root == 0 || header_.root >= file->fileEnd()) return ErrInvalidRootPage;
  return StatusOk;
}

std::string IndexTree::normalize(const std::string& key) const {
  std::string k = key.substr(0, static_cast<std::size_t>(shape_.keyLength));
  k.resize(static_cast<std::size_t>(shape_.keyLength), shape_.pad);
  return k;
}

int IndexTree::reloadRoot() {
  if (!file_ || !file_->isOpen()) return ErrIndexPageWasNotLoaded;
  if (!file_->shared()) return StatusOk;
  if (int st = file_->refresh(); st) return st;
  uint32_t root = 0;
  if (int st = file_->readWord(headerOffset_ + kHeaderRoot, root); st) return st;
  if (root % kIndexPageSize || root == 0 || root >= file_->fileEnd()) return ErrInvalidRootPage;
  header_.root = root;
  return StatusOk;
}

void IndexTree::setCurrent(const IndexNode& leaf) {
  const IndexEntry& e = leaf.entries[static_cast<std::size_t>(path_.back().index)];
  key_ = e.key;
  record_ = e.record;
}

void IndexTree::clearCurrent() {
  path_.clear();
  leaf_ = IndexNode();
  key_.clear();
  record_ = 0;
}

int IndexTree::descend(const std::string& key, bool afterEqual, std::vector<Step>& path, IndexNode& leaf) {
  path.clear();
  uint32_t offset = header_.root;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    IndexNode node;
    if (int st = file_->getNode(offset, shape_, node); st) return st;
    int n = static_cast<int>(node.entries.size());
    int i = 0;
    while (i < n) {
      int c = compare(node.entries[i].key, key);
      if (afterEqual ? c > 0 : c >= 0) break;
      ++i;
    }
    if (node.leaf() || n == 0) {
      path.push_back({offset, i});
      leaf = std::move(node);
      return StatusOk;
    }
    if (i == n) i = n - 1;
    path.push_back({offset, i});
    offset = node.entries[i].child;
  }
  return ErrFileCorrupted;
}

// Goes down from the last step of path to the first (or last) leaf below it.
int IndexTree::edge(bool toLast, std::vector<Step>& path, IndexNode& leaf) {
  uint32_t offset = path.empty() ? header_.root : kNoPage;
  if (!path.empty()) {
    IndexNode node;
    if (int st = file_->getNode(path.back().offset, shape_, node); st) return st;
    offset = node.entries[static_cast<std::size_t>(path.back().index)].child;
  }
  for (int depth = static_cast<int>(path.size()); depth < kMaxTreeDepth; ++depth) {
    IndexNode node;
    if (int st = file_->getNode(offset, shape_, node); st) return st;
    int n = static_cast<int>(node.entries.size());
    if (node.leaf() || n == 0) {
      path.push_back({offset, toLast ? n - 1 : 0});
      leaf = std::move(node);
      return StatusOk;
    }
    int i = toLast ? n - 1 : 0;
    path.push_back({offset, i});
    offset = node.entries[static_cast<std::size_t>(i)].child;
  }
  return ErrFileCorrupted;
}

int IndexTree::stepLeaf(bool forward, std::vector<Step>& path, IndexNode& leaf, bool& moved) {
  moved = false;
  path.pop_back();
  while (!path.empty()) {
    IndexNode node;
    if (int st = file_->getNode(path.back().offset, shape_, node); st) return st;
    int next = path.back().index + (forward ? 1 : -1);
    if (next >= 0 && next < static_cast<int>(node.entries.size())) {
      path.back().index = next;
      moved = true;
      return edge(!forward, path, leaf);
    }
    path.pop_back();
  }
  return StatusOk;
}

// Moves the cursor off the ends of leaves onto the neighbouring entry.
int IndexTree::settle(std::vector<Step>& path, IndexNode& leaf, bool forward, bool& found) {
  found = false;
  // Passing more empty leaves than the file has pages means pages reached twice.
  uint64_t budget = pageBudget();
  while (!path.empty()) {
    if (budget-- == 0) return ErrFileCorrupted;
    int i = path.back().index;
    if (i >= 0 && i < static_cast<int>(leaf.entries.size())) {
      found = true;
      return StatusOk;
    }
    bool moved = false;
    if (int st = stepLeaf(forward, path, leaf, moved); st) return st;
    if (!moved) break;
  }
  path.clear();
  return StatusOk;
}

int IndexTree::first(bool& found) {
  found = false;
  if (int st = reloadRoot(); st) return st;
  path_.clear();
  if (int st = edge(false, path_, leaf_); st) return st;
  if (int st = settle(path_, leaf_, true, found); st) return st;
  if (found) setCurrent(leaf_); else clearCurrent();
  return StatusOk;
}

int IndexTree::last(bool& found) {
  found = false;
  if (int st = reloadRoot(); st) return st;
  path_.clear();
  if (int st = edge(true, path_, leaf_); st) return st;
  if (int st = settle(path_, leaf_, false, found); st) return st;
  if (found) setCurrent(leaf_); else clearCurrent();
  return StatusOk;
}

int IndexTree::next(bool& found) {
  found = false;
  if (path_.empty()) return StatusOk;
  ++path_.back().index;
  if (int st = settle(path_, leaf_, true, found); st) return st;
  if (found) setCurrent(leaf_); else clearCurrent();
  return StatusOk;
}

int IndexTree::previous(bool& found) {
  found = false;
  if (path_.empty()) return StatusOk;
  --path_.back().index;
  if (int st = settle(path_, leaf_, false, found); st) return st;
  if (found) setCurrent(leaf_); else clearCurrent();
  return StatusOk;
}

int IndexTree::find(const std::string& rawKey, FindMode mode, uint32_t record, bool& found) {
  found = false;
  if (int st = reloadRoot(); st) return st;
  std::string key = normalize(rawKey);
  if (int st = descend(key, mode == FindMode::AfterEqual, path_, leaf_); st) return st;
  if (int st = settle(path_, leaf_, true, found); st) return st;
  if (found && mode == FindMode::Exact) {
    while (found && compare(leaf_.entries[static_cast<std::size_t>(path_.back().index)].key, key) == 0 &&
           leaf_.entries[static_cast<std::size_t>(path_.back().index)].record != record) {
      ++path_.back().index;
      if (int st = settle(path_, leaf_, true, found); st) return st;
    }
    if (found) {
      const IndexEntry& e = leaf_.entries[static_cast<std::size_t>(path_.back().index)];
      found = compare(e.key, key) == 0 && e.record == record;
    }
  } else if (found && mode == FindMode::FirstEqual) {
    found = compare(leaf_.entries[static_cast<std::size_t>(path_.back().index)].key, key) == 0;
  }
  // Not found, the cursor stands where the key would be.
  if (!path_.empty()) setCurrent(leaf_); else clearCurrent();
  return StatusOk;
}

int IndexTree::count(uint64_t& out) {
  out = 0;
  bool found = false;
  if (int st = first(found); st) return st;
  while (found) {
    // Count a whole leaf at once, then move to the next one.
    out += leaf_.entries.size() - static_cast<std::size_t>(path_.back().index);
    path_.back().index = static_cast<int>(leaf_.entries.size());
    if (int st = settle(path_, leaf_, true, found); st) return st;
  }
  clearCurrent();
  return StatusOk;
}

}  // namespace dbf
