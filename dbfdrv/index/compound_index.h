// Compound index files (.CDX): a tag directory, itself a compact tree whose
// keys are the tag names and whose numbers are the offsets of the tags'
// headers, and one tree per tag.
#pragma once

#include <string>
#include <vector>

#include "index/index_tree.h"

namespace dbf {

constexpr int kMaxTagName = 10;
constexpr int kTagDirectoryKeyLength = kMaxTagName;

struct TagEntry {
  std::string name;       // upper case, without the padding blanks
  uint32_t headerOffset;  // where the tag's 1024-byte header starts
};

// Whether a tag name is acceptable: 1 to 10 letters, digits or underscores.
bool validTagName(const std::string& name);

class CompoundIndex {
 public:
  int create(const std::string& path, const IndexOpenOptions& options);
  int open(const std::string& path, const IndexOpenOptions& options);
  int close() { return file_.close(); }
  int flush() { return file_.flush(); }
  IndexFile& file() { return file_; }

  // The tags in the directory's (name) order.
  int tags(std::vector<TagEntry>& out);
  // Opens a tag by name; -250 when the directory has none of that name.
  int openTag(const std::string& name, KeyType keyType, IndexTree& out);
  // Creates a tag (a tag of the same name is removed first), its header at
  // the end of the file and an empty root.
  int createTag(const std::string& name, const TreeHeader& header, KeyType keyType, IndexTree& out);
  // Removes a tag from the directory; its pages go onto the free list.
  int removeTag(const std::string& name);

 private:
  int findTag(const std::string& name, uint32_t& headerOffset, bool& found);

  IndexFile file_;
  IndexTree directory_;
};

// Single index files (.IDX), plain or compact: one tree, its header at 0.
class SingleIndex {
 public:
  // Creates the file with the header and an empty root page.
  int create(const std::string& path, const TreeHeader& header, bool compact, KeyType keyType,
             const IndexOpenOptions& options);
  // Opens the file; its options byte tells plain from compact.
  int open(const std::string& path, KeyType keyType, const IndexOpenOptions& options);
  int close() { return file_.close(); }
  int flush() { return file_.flush(); }
  IndexFile& file() { return file_; }
  IndexTree& tree() { return tree_; }

 private:
  IndexFile file_;
  IndexTree tree_;
};

// The name a single index is built under before it replaces the old file:
// the name with the extension ".$$$".
std::string temporaryIndexName(const std::string& path);

}  // namespace dbf
