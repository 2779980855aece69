// Index pages of 512 bytes, decoded into entries and encoded back: plain
// pages (key and a big-endian number), compact interior pages (key, record
// number and child) and compact leaves (packed entries with shared leading
// and dropped trailing bytes, key bytes stored from the end of the page).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbf {

constexpr int kIndexPageSize = 512;
constexpr int kPageHeaderSize = 12;       // attribute, key count, left, right
constexpr int kCompactLeafHeaderSize = 24;
constexpr int kCompactLeafSpace = kIndexPageSize - kCompactLeafHeaderSize;  // 488
constexpr uint32_t kNoPage = 0xFFFFFFFFu;
constexpr int kMaxRecordBits = 31;

enum PageAttribute : uint16_t { PageInterior = 0, PageRoot = 1, PageLeaf = 2 };

enum class IndexFormat { Plain, Compact };

struct TreeShape {
  IndexFormat format = IndexFormat::Compact;
  int keyLength = 10;
  char pad = ' ';  // the byte a compact leaf drops from the end of keys
};

struct IndexEntry {
  std::string key;
  uint32_t record = 0;  // record number (leaves; compact interior entries too)
  uint32_t child = 0;   // child page offset (interior pages)
};

struct IndexNode {
  uint32_t offset = 0;
  uint16_t attribute = PageRoot | PageLeaf;
  uint32_t left = kNoPage;
  uint32_t right = kNoPage;
  std::vector<IndexEntry> entries;
  int recordBits = 0;  // compact leaf: the record-number width in use, never narrowed
  bool leaf() const { return attribute & PageLeaf; }
  bool root() const { return attribute & PageRoot; }
};

// The bit widths of a compact leaf's entries.
struct LeafPacking {
  int recordBits = 0, duplicateBits = 0, trailingBits = 0, bytesPerEntry = 0;
};
// Widths for a page whose highest record number is maxRecord: duplicate and
// trailing counts get the bits the key length needs, the entry the fewest
// whole bytes holding them and the record number, the record number the rest
// (at most 31 bits, and never fewer than minRecordBits).
LeafPacking leafPacking(int keyLength, uint32_t maxRecord, int minRecordBits);

// The most keys a plain page or a compact interior page holds.
int maxKeysPerPage(const TreeShape& shape, bool leaf);

// Decodes a page; 0, or -226 for a key count the page cannot hold, -206 for
// other damage.
int decodeNode(const uint8_t* page, uint32_t offset, const TreeShape& shape, IndexNode& out);
// Encodes a node; false when its entries do not fit one page.
bool encodeNode(IndexNode& node, const TreeShape& shape, uint8_t* page);
// Whether the node's entries fit one page.
bool nodeFits(const IndexNode& node, const TreeShape& shape);
// The free bytes a compact leaf holding these entries keeps (negative: overfull).
int compactLeafFreeBytes(const IndexNode& node, const TreeShape& shape);

}  // namespace dbf
