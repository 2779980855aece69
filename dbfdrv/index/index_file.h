// One open index file: its reads and writes, a cache of its pages, the free
// page list and end of file kept in its first header, and its lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "index/index_page.h"

namespace dbf {

// Index kinds, and the byte locked while an insertion or deletion runs in a
// shared file.
enum class IndexKind { PlainIdx, CompactIdx, Compound };
constexpr uint64_t kCompactLockOffset = 0x7FFFFFFE;
constexpr uint64_t kPlainLockOffset = 0x40000000;

// Pages kept in memory per open file (fewer when every change is written at once).
constexpr int kCachePages = 10;
constexpr int kWriteThroughCachePages = 4;

// Layout of the first header words, shared by every kind.
constexpr int kHeaderRoot = 0;
constexpr int kHeaderFreeList = 4;
constexpr int kHeaderFileEnd = 8;

struct IndexOpenOptions {
  bool readOnly = false;
  bool shared = false;        // other processes may change it: locks, changes written at once
  bool writeThrough = false;  // every change written at once
  int cachePages = 0;         // 0: the default for the mode
};

class IndexFile {
 public:
  IndexFile() = default;
  ~IndexFile();
  IndexFile(const IndexFile&) = delete;
  IndexFile& operator=(const IndexFile&) = delete;

  // Creates (replacing) an empty file of headerBytes zero bytes, or opens one.
  int create(const std::string& path, IndexKind kind, int headerBytes, const IndexOpenOptions& options);
  int open(const std::string& path, IndexKind kind, const IndexOpenOptions& options);
  int flush();
  int close();
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  IndexKind kind() const { return kind_; }
  bool readOnly() const { return options_.readOnly; }
  uint64_t size() const;

  int readBytes(uint64_t offset, void* data, std::size_t size);
  int writeBytes(uint64_t offset, const void* data, std::size_t size);
  int readWord(uint64_t offset, uint32_t& value);
  int writeWord(uint64_t offset, uint32_t value);

  // Pages through the cache.
  int getNode(uint32_t offset, const TreeShape& shape, IndexNode& out);
  int putNode(IndexNode& node, const TreeShape& shape);
  // A page from the free list, else a new one at the end of the file.
  int allocatePage(uint32_t& offset);
  // Puts a page on the free list: its first word takes the old list head.
  int releasePage(uint32_t offset);
  // Takes count bytes (whole pages) at the end of the file.
  int appendSpace(uint32_t bytes, uint32_t& offset);
  uint32_t freeListHead() const { return freeHead_; }
  uint32_t fileEnd() const { return fileEnd_; }

  // Held while an insertion or deletion runs: refused on a read-only file
  // (-236), and in a shared file that cannot be locked (-242); after the lock
  // the header is read again and the cache dropped.
  int beginChange();
  void endChange();
  // In a shared file, forgets cached pages and reads the header again
  // (other processes may have changed them); otherwise nothing.
  int refresh();
  bool shared() const { return options_.shared; }

 private:
  struct Slot {
    uint32_t offset = kNoPage;
    bool dirty = false;
    uint64_t used = 0;
    std::array<uint8_t, kIndexPageSize> bytes{};
  };
  int readHeaderWords();
  int writeSlot(Slot& slot);
  Slot* findSlot(uint32_t offset);
  int takeSlot(Slot*& out);
  void dropCache();

  std::string path_;
  int fd_ = -1;
  IndexKind kind_ = IndexKind::Compound;
  IndexOpenOptions options_;
  std::vector<Slot> cache_;
  uint64_t clock_ = 0;
  uint32_t freeHead_ = kNoPage;
  uint32_t fileEnd_ = 0;
  int changeDepth_ = 0;
  bool locked_ = false;
};

}  // namespace dbf
