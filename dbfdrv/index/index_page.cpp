// Decoding and encoding of the 512-byte index pages.
#include "index/index_page.h"

#include <algorithm>
#include <cstring>

#include "table/engine_status.h"

namespace dbf {
namespace {

uint32_t getLe(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
void putLe(uint8_t* p, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t getBe(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }
void putBe(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24); p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8); p[3] = static_cast<uint8_t>(v);
}

int bitsFor(uint64_t v) {
  int b = 0;
  while (v) { ++b; v >>= 1; }
  return b;
}

int entrySize(const TreeShape& s, bool leaf) {
  if (s.format == IndexFormat::Plain) return s.keyLength + 4;
  return leaf ? 0 : s.keyLength + 8;
}

// The trailing pad bytes and shared leading bytes of each key of a leaf.
struct Packed {
  int duplicate, trailing;
};

std::vector<Packed> packKeys(const IndexNode& node, const TreeShape& shape) {
  std::vector<Packed> out(node.entries.size());
  const std::string* prev = nullptr;
  for (std::size_t i = 0; i < node.entries.size(); ++i) {
    const std::string& k = node.entries[i].key;
    int n = shape.keyLength;
    int trail = 0;
    while (trail < n && k[n - 1 - trail] == shape.pad) ++trail;
    int dup = 0;
    if (prev)
      while (dup < n - trail && (*prev)[dup] == k[dup]) ++dup;
    out[i] = {dup, trail};
    prev = &k;
  }
  return out;
}

uint32_t maxRecord(const IndexNode& node) {
  uint32_t m = 0;
  for (const auto& e : node.entries) m = std::max(m, e.record);
  return m;
}

}  // namespace

LeafPacking leafPacking(int keyLength, uint32_t maxRec, int minRecordBits) {
  LeafPacking p;
  p.duplicateBits = p.trailingBits = bitsFor(static_cast<uint64_t>(keyLength));
  int counts = p.duplicateBits + p.trailingBits;
  int need = std::max(bitsFor(maxRec), minRecordBits);
  p.bytesPerEntry = (counts + need + 7) / 8;
  p.recordBits = std::min(kMaxRecordBits, p.bytesPerEntry * 8 - counts);
  return p;
}

int maxKeysPerPage(const TreeShape& shape, bool leaf) {
  int size = entrySize(shape, leaf);
  return size ? (kIndexPageSize - kPageHeaderSize) / size : 0;
}

int compactLeafFreeBytes(const IndexNode& node, const TreeShape& shape) {
  LeafPacking p = leafPacking(shape.keyLength, maxRecord(node), node.recordBits);
  int used = static_cast<int>(node.entries.size()) * p.bytesPerEntry;
  for (const Packed& k : packKeys(node, shape)) used += shape.keyLength - k.duplicate - k.trailing;
  return kCompactLeafSpace - used;
}

bool nodeFits(const IndexNode& node, const TreeShape& shape) {
  if (shape.format == IndexFormat::Compact && node.leaf()) return compactLeafFreeBytes(node, shape) >= 0;
  return static_cast<int>(node.entries.size()) <= maxKeysPerPage(shape, node.leaf());
}

int decodeNode(const uint8_t* page, uint32_t offset, const TreeShape& shape, IndexNode& out) {
  out = IndexNode();
  out.offset = offset;
  // Only the root and leaf bits count: another writer sets 4 as well in its
  // leaves (attribute 7 for a root leaf).
  out.attribute = static_cast<uint16_t>(getLe(page, 2) & (PageRoot | PageLeaf));
  int count = static_cast<int>(getLe(page + 2, 2));
  out.left = getLe(page + 4, 4);
  out.right = getLe(page + 8, 4);
  const int n = shape.keyLength;
  if (shape.format == IndexFormat::Compact && out.leaf()) {
    LeafPacking p;
    p.recordBits = page[20];
    p.duplicateBits = page[21];
    p.trailingBits = page[22];
    p.bytesPerEntry = page[23];
    if (p.bytesPerEntry < 1 || p.bytesPerEntry > 8 ||
        p.recordBits + p.duplicateBits + p.trailingBits > p.bytesPerEntry * 8 || p.recordBits > 32 ||
        p.duplicateBits > 16 || p.trailingBits > 16)
      return ErrFileCorrupted;
    if (count * p.bytesPerEntry > kCompactLeafSpace) return ErrBadMaximumNumberOfKeysPerPage;
    out.recordBits = p.recordBits;
    const uint64_t recMask = (uint64_t{1} << p.recordBits) - 1;
    const uint64_t dupMask = (uint64_t{1} << p.duplicateBits) - 1;
    const uint64_t trailMask = (uint64_t{1} << p.trailingBits) - 1;
    int keyEnd = kIndexPageSize;
    const int entriesEnd = kCompactLeafHeaderSize + count * p.bytesPerEntry;
    std::string prev(n, shape.pad);
    out.entries.resize(count);
    for (int i = 0; i < count; ++i) {
      const uint8_t* e = page + kCompactLeafHeaderSize + i * p.bytesPerEntry;
      uint64_t v = 0;
      for (int b = p.bytesPerEntry - 1; b >= 0; --b) v = (v << 8) | e[b];
      uint32_t rec = static_cast<uint32_t>(v & recMask);
      int dup = static_cast<int>((v >> p.recordBits) & dupMask);
      int trail = static_cast<int>((v >> (p.recordBits + p.duplicateBits)) & trailMask);
      if (dup + trail > n || (i == 0 && dup > 0)) return ErrFileCorrupted;
      int len = n - dup - trail;
      keyEnd -= len;
      if (keyEnd < entriesEnd) return ErrFileCorrupted;
      std::string key = prev.substr(0, dup);
      key.append(reinterpret_cast<const char*>(page) + keyEnd, len);
      key.append(trail, shape.pad);
      out.entries[i].key = key;
      out.entries[i].record = rec;
      prev = std::move(key);
    }
    return StatusOk;
  }
  int size = entrySize(shape, out.leaf());
  if (count > maxKeysPerPage(shape, out.leaf())) return ErrBadMaximumNumberOfKeysPerPage;
  out.entries.resize(count);
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = page + kPageHeaderSize + i * size;
    IndexEntry& entry = out.entries[i];
    entry.key.assign(reinterpret_cast<const char*>(e), n);
    if (shape.format == IndexFormat::Plain) {
      (out.leaf() ? entry.record : entry.child) = getBe(e + n);
    } else {
      entry.record = getBe(e + n);
      entry.child = getBe(e + n + 4);
    }
  }
  return StatusOk;
}

bool encodeNode(IndexNode& node, const TreeShape& shape, uint8_t* page) {
  if (!nodeFits(node, shape)) return false;
  std::memset(page, 0, kIndexPageSize);
  putLe(page, node.attribute, 2);
  putLe(page + 2, static_cast<uint32_t>(node.entries.size()), 2);
  putLe(page + 4, node.left, 4);
  putLe(page + 8, node.right, 4);
  const int n = shape.keyLength;
  if (shape.format == IndexFormat::Compact && node.leaf()) {
    LeafPacking p = leafPacking(n, maxRecord(node), node.recordBits);
    node.recordBits = p.recordBits;
    std::vector<Packed> packed = packKeys(node, shape);
    int keyEnd = kIndexPageSize;
    for (std::size_t i = 0; i < node.entries.size(); ++i) {
      const Packed& k = packed[i];
      uint64_t v = node.entries[i].record | (uint64_t(k.duplicate) << p.recordBits) |
                   (uint64_t(k.trailing) << (p.recordBits + p.duplicateBits));
      uint8_t* e = page + kCompactLeafHeaderSize + i * p.bytesPerEntry;
      for (int b = 0; b < p.bytesPerEntry; ++b) e[b] = static_cast<uint8_t>(v >> (8 * b));
      int len = n - k.duplicate - k.trailing;
      keyEnd -= len;
      std::memcpy(page + keyEnd, node.entries[i].key.data() + k.duplicate, len);
    }
    putLe(page + 12, static_cast<uint32_t>(keyEnd - kCompactLeafHeaderSize -
                                           static_cast<int>(node.entries.size()) * p.bytesPerEntry), 2);
    putLe(page + 14, (uint32_t{1} << p.recordBits) - 1, 4);
    page[18] = static_cast<uint8_t>((1u << p.duplicateBits) - 1);
    page[19] = static_cast<uint8_t>((1u << p.trailingBits) - 1);
    page[20] = static_cast<uint8_t>(p.recordBits);
    page[21] = static_cast<uint8_t>(p.duplicateBits);
    page[22] = static_cast<uint8_t>(p.trailingBits);
    page[23] = static_cast<uint8_t>(p.bytesPerEntry);
    return true;
  }
  int size = entrySize(shape, node.leaf());
  for (std::size_t i = 0; i < node.entries.size(); ++i) {
    uint8_t* e = page + kPageHeaderSize + i * size;
    const IndexEntry& entry = node.entries[i];
    std::memcpy(e, entry.key.data(), n);
    if (shape.format == IndexFormat::Plain) {
      putBe(e + n, node.leaf() ? entry.record : entry.child);
    } else {
      putBe(e + n, entry.record);
      putBe(e + n + 4, entry.child);
    }
  }
  return true;
}

}  // namespace dbf
