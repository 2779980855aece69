// The index that Netscape News and Gravity keep beside an article store,
// read through the second block file (RawFile2) where it exists.
//
// The index of a store "GROUP.SNM" is "GROUP.IDX" in the same directory (the
// store's extension replaced; ".IDX" added to a name without one). It is a
// sequence of entries of 714 bytes, in the order of the articles:
//   offset   0: 4 bytes, little-endian: the file offset in the store where the
//               article's first header line stands
//            4: Message-ID (60 bytes)
//           64: subject (50)
//          114: from (100)
//          214: references (400)
//          614: newsgroups (100)
// Texts are padded with blanks or NUL bytes. An entry belongs to the article
// whose starting line is the first at or after the entry's offset; entries
// out of order are passed over.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "import/parsers/block_reader.h"
#include "import/parsers/news_article.h"

namespace qv::news {

inline constexpr size_t kIndexEntrySize = 714;

// The path of the index beside a store; empty when there is none.
std::string storeIndexPath(const std::string& storePath);

class StoreIndex {
 public:
  StoreIndex() = default;
  ~StoreIndex() { close(); }
  StoreIndex(const StoreIndex&) = delete;
  StoreIndex& operator=(const StoreIndex&) = delete;

  // Opens the index beside the store, when there is one.
  void open(const std::string& storePath);
  void close();
  // The entry of the article whose starting line stands at `start` in the
  // store, the article before it at `previous` (-1 for the first); nullptr
  // when the index has none.
  const IndexEntry* entryFor(int64_t previous, int64_t start);

 private:
  bool loadAhead();

  std::unique_ptr<BlockReader> reader_;
  bool aheadLoaded_ = false;
  int64_t aheadOffset_ = -1;
  IndexEntry ahead_;
  IndexEntry current_;
};

}  // namespace qv::news
