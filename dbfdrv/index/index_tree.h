// One B-tree of an index file (a single index, a tag of a compound file, or
// a compound file's tag directory): its header, a cursor, and the search,
// insertion, deletion and walking of its entries.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "index/index_file.h"
#include "index/key_encoding.h"

namespace dbf {

enum IndexOption : uint8_t {
  IndexUnique = 0x01,
  IndexHasFor = 0x08,
  IndexCompact = 0x20,
  IndexCompound = 0x40,
};
// The options byte of a compound file's tag directory.
constexpr uint8_t kTagDirectoryOptions = IndexUnique | 0x80 | IndexCompact | IndexCompound;

// An insertion into a unique index whose key is present already: no change.
constexpr int CondKeyExists = 211;

struct TreeHeader {
  uint32_t root = kNoPage;
  int keyLength = 0;
  uint8_t options = 0;
  bool descending = false;
  std::string keyExpression;
  std::string forExpression;
  bool unique() const { return options & IndexUnique; }
};

// Where find positions the cursor.
enum class FindMode {
  FirstNotBelow,  // the first entry whose key is not below the search key
  FirstEqual,     // the first entry equal to it (none: not found)
  Exact,          // the entry of the key and record number
  AfterEqual,     // the first entry above all equal keys
};

// Size of the headers and where the expressions sit.
constexpr int kPlainHeaderSize = 512;
constexpr int kCompactHeaderSize = 1024;
constexpr int kPlainKeyExpression = 16;
constexpr int kPlainForExpression = 236;
constexpr int kPlainExpressionSpace = 220;
constexpr int kCompactDescending = 502;
constexpr int kCompactForPoolLength = 506;
constexpr int kCompactKeyPoolLength = 510;
constexpr int kCompactPool = 512;

class IndexTree {
 public:
  // Reads the tree's header at headerOffset of an open file. keyType decides
  // the byte dropped from the end of keys in compact leaves.
  int attach(IndexFile* file, uint32_t headerOffset, KeyType keyType);
  // Writes a new header and an empty root leaf.
  static int create(IndexFile* file, uint32_t headerOffset, const TreeHeader& header);
  static int writeHeader(IndexFile* file, uint32_t headerOffset, const TreeHeader& header);
  static int readHeader(IndexFile* file, uint32_t headerOffset, TreeHeader& header);

  const TreeHeader& header() const { return header_; }
  const TreeShape& shape() const { return shape_; }
  IndexFile* file() const { return file_; }
  uint32_t headerOffset() const { return headerOffset_; }

  // Cursor moves; found is false at either end (no current entry then).
  int first(bool& found);
  int last(bool& found);
  int next(bool& found);
  int previous(bool& found);
  int find(const std::string& key, FindMode mode, uint32_t record, bool& found);
  const std::string& key() const { return key_; }
  uint32_t record() const { return record_; }
  bool positioned() const { return !path_.empty(); }

  // Adds (key, record) after all equal keys; in a unique tree an equal key
  // present already leaves it unchanged and answers CondKeyExists.
  int insert(const std::string& key, uint32_t record);
  // Removes the entry (key, record); a missing entry is no error.
  int remove(const std::string& key, uint32_t record);
  int count(uint64_t& out);
  // Replaces the tree by one built from entries sorted in tree order, given
  // one by one by next (more false after the last). The old tree is never
  // needed: a damaged one is left behind (releaseIfWhole).
  int build(const std::function<int(IndexEntry& entry, bool& more)>& next);
  int build(const std::vector<IndexEntry>& sorted);
  // Puts every page of the tree on the free list.
  int releaseAll();
  // The same for a tree that reads whole (verify); a damaged tree's pages
  // are left unused and the tree is forgotten all the same. Fails only when
  // the free list cannot be written.
  int releaseIfWhole();
  // Checks the tree: keys in order, interior keys equal to their child's
  // last key, sibling links; answers the first fault in detail.
  int verify(std::string& detail);

  int compare(const std::string& a, const std::string& b) const {
    int c = compareKeyBytes(a, b);
    return header_.descending ? -c : c;
  }
  // The key blank- or zero-padded (by key type) to the tree's key length.
  std::string normalize(const std::string& key) const;

 private:
  struct Step {
    uint32_t offset;
    int index;
  };
  int reloadRoot();
  int descend(const std::string& key, bool afterEqual, std::vector<Step>& path, IndexNode& leaf);
  int edge(bool toLast, std::vector<Step>& path, IndexNode& leaf);
  int stepLeaf(bool forward, std::vector<Step>& path, IndexNode& leaf, bool& moved);
  int settle(std::vector<Step>& path, IndexNode& leaf, bool forward, bool& found);
  int store(std::vector<Step>& path, int level, IndexNode& node);
  int propagateLast(std::vector<Step>& path, int level, const IndexNode& node);
  int split(std::vector<Step>& path, int level, IndexNode& node);
  int removeNode(std::vector<Step>& path, int level, IndexNode& node);
  int setRoot(uint32_t offset);
  int collectPages(uint32_t offset, int depth, uint64_t& budget, std::vector<uint32_t>& pages);
  int verifyNode(uint32_t offset, int depth, uint64_t& budget, std::string& last, uint32_t& lastRecord,
                 std::string& detail);
  // Pages a whole tree can have: more visits mean a damaged file whose
  // pages are reached twice.
  uint64_t pageBudget() const { return file_->fileEnd() / kIndexPageSize + 1; }
  void setCurrent(const IndexNode& leaf);
  void clearCurrent();

  IndexFile* file_ = nullptr;
  uint32_t headerOffset_ = 0;
  TreeHeader header_;
  TreeShape shape_;
  std::vector<Step> path_;
  IndexNode leaf_;
  std::string key_;
  uint32_t record_ = 0;
};

}  // namespace dbf
