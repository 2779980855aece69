// Reads, writes, page cache, free list and locks of an index file.
#include "index/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "table/engine_status.h"

namespace dbf {
namespace {

int openStatus(int err) {
  switch (err) {
    case ENOENT: return ErrFileNotFound;
    case ENOTDIR: return ErrPathNotFound;
    case EACCES: case EPERM: case EROFS: return ErrAccessToFileDenied;
    case EMFILE: case ENFILE: return ErrNoHandlesAvailable;
    default: return ErrCouldNotOpenTheFile;
  }
}

bool setLock(int fd, uint64_t offset, short type) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

}  // namespace

IndexFile::~IndexFile() { close(); }

int IndexFile::create(const std::string& path, IndexKind kind, int headerBytes, const IndexOpenOptions& options) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return openStatus(errno);
  std::vector<uint8_t> zero(static_cast<std::size_t>(headerBytes), 0);
  if (::pwrite(fd, zero.data(), zero.size(), 0) != static_cast<ssize_t>(zero.size())) {
    ::close(fd);
    return ErrFileWriteFailure;
  }
  fd_ = fd;
  path_ = path;
  kind_ = kind;
  options_ = options;
  options_.readOnly = false;
  cache_.assign(options.cachePages ? options.cachePages
                                   : (options.writeThrough || options.shared ? kWriteThroughCachePages : kCachePages),
                Slot());
  freeHead_ = kNoPage;
  fileEnd_ = static_cast<uint32_t>(headerBytes);
  if (int st = writeWord(kHeaderFreeList, freeHead_); st) return st;
  return writeWord(kHeaderFileEnd, fileEnd_);
}

int IndexFile::open(const std::string& path, IndexKind kind, const IndexOpenOptions& options) {
  close();
  int fd = ::open(path.c_str(), (options.readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) return openStatus(errno);
  fd_ = fd;
  path_ = path;
  kind_ = kind;
  options_ = options;
  int pages = options.cachePages ? options.cachePages
                                 : (options.writeThrough || options.shared ? kWriteThroughCachePages : kCachePages);
  if (pages < kWriteThroughCachePages) {
    close();
    return ErrNoMemory;
  }
  cache_.assign(pages, Slot());
  if (int st = readHeaderWords(); st) {
    close();
    return st;
  }
  return StatusOk;
}

uint64_t IndexFile::size() const {
  struct stat st;
  return fd_ >= 0 && fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

int IndexFile::readHeaderWords() {
  if (int st = readWord(kHeaderFreeList, freeHead_); st) return st;
  // Files of other writers keep 0 for an empty list: offset 0 is a header,
  // never a free page.
  if (freeHead_ == 0 || freeHead_ % kIndexPageSize) freeHead_ = kNoPage;
  // Pages are taken at the end of the file as it is: the word at 8 is kept
  // for the file's end, but other writers keep a version number there.
  uint64_t actual = size();
  uint32_t end = static_cast<uint32_t>((actual + kIndexPageSize - 1) / kIndexPageSize * kIndexPageSize);
  fileEnd_ = end;
  return StatusOk;
}

int IndexFile::flush() {
  if (fd_ < 0) return StatusOk;
  for (Slot& s : cache_)
    if (s.dirty)
      if (int st = writeSlot(s); st) return st;
  if (!options_.readOnly && ::fdatasync(fd_) != 0) return ErrFlushToDiskFailure;
  return StatusOk;
}

int IndexFile::close() {
  if (fd_ < 0) return StatusOk;
  int st = options_.readOnly ? StatusOk : flush();
  if (locked_) setLock(fd_, kind_ == IndexKind::PlainIdx ? kPlainLockOffset : kCompactLockOffset, F_UNLCK);
  locked_ = false;
  changeDepth_ = 0;
  if (::close(fd_) != 0 && st == StatusOk) st = ErrFileCloseFailure;
  fd_ = -1;
  cache_.clear();
  return st;
}

int IndexFile::readBytes(uint64_t offset, void* data, std::size_t size) {
  ssize_t got = ::pread(fd_, data, size, static_cast<off_t>(offset));
  if (got < 0) return ErrFileReadFailure;
  if (static_cast<std::size_t>(got) < size) std::memset(static_cast<char*>(data) + got, 0, size - got);
  return StatusOk;
}

int IndexFile::writeBytes(uint64_t offset, const void* data, std::size_t size) {
  if (options_.readOnly) return ErrFileOpenForReadingOnly;
  if (::pwrite(fd_, data, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size)) return ErrFileWriteFailure;
  return StatusOk;
}

int IndexFile::readWord(uint64_t offset, uint32_t& value) {
  uint8_t b[4];
  if (int st = readBytes(offset, b, 4); st) return st;
  value = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  return StatusOk;
}

int IndexFile::writeWord(uint64_t offset, uint32_t value) {
  uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                  static_cast<uint8_t>(value >> 24)};
  return writeBytes(offset, b, 4);
}

IndexFile::Slot* IndexFile::findSlot(uint32_t offset) {
  for (Slot& s : cache_)
    if (s.offset == offset) return &s;
  return nullptr;
}

int IndexFile::writeSlot(Slot& slot) {
  if (int st = writeBytes(slot.offset, slot.bytes.data(), kIndexPageSize); st) return st;
  slot.dirty = false;
  return StatusOk;
}

int IndexFile::takeSlot(Slot*& out) {
  Slot* victim = &cache_[0];
  for (Slot& s : cache_) {
    if (s.offset == kNoPage) { victim = &s; break; }
    if (s.used < victim->used) victim = &s;
  }
  if (victim->dirty)
    if (int st = writeSlot(*victim); st) return st;
  victim->offset = kNoPage;
  out = victim;
  return StatusOk;
}

void IndexFile::dropCache() {
  for (Slot& s : cache_) s = Slot();
}

int IndexFile::getNode(uint32_t offset, const TreeShape& shape, IndexNode& out) {
  if (fd_ < 0) return ErrIndexPageWasNotLoaded;
  if (offset == kNoPage || offset % kIndexPageSize || offset == 0 || offset >= fileEnd_) return ErrInvalidRootPage;
  Slot* s = findSlot(offset);
  if (!s) {
    if (int st = takeSlot(s); st) return st;
    if (int st = readBytes(offset, s->bytes.data(), kIndexPageSize); st) return st;
    s->offset = offset;
  }
  s->used = ++clock_;
  return decodeNode(s->bytes.data(), offset, shape, out);
}

int IndexFile::putNode(IndexNode& node, const TreeShape& shape) {
  if (options_.readOnly) return ErrFileOpenForReadingOnly;
  Slot* s = findSlot(node.offset);
  if (!s)
    if (int st = takeSlot(s); st) return st;
  if (!encodeNode(node, shape, s->bytes.data())) {
    s->offset = kNoPage;
    return ErrBadMaximumNumberOfKeysPerPage;
  }
  s->offset = node.offset;
  s->used = ++clock_;
  s->dirty = true;
  if (options_.writeThrough || options_.shared) return writeSlot(*s);
  return StatusOk;
}

int IndexFile::appendSpace(uint32_t bytes, uint32_t& offset) {
  offset = fileEnd_;
  fileEnd_ += bytes;
  std::vector<uint8_t> zero(bytes, 0);
  if (int st = writeBytes(offset, zero.data(), zero.size()); st) return st;
  return writeWord(kHeaderFileEnd, fileEnd_);
}

int IndexFile::allocatePage(uint32_t& offset) {
  if (freeHead_ != kNoPage) {
    offset = freeHead_;
    uint32_t next = kNoPage;
    if (int st = readWord(offset, next); st) return st;
    if (next == 0 || next % kIndexPageSize || next >= fileEnd_) next = kNoPage;
    freeHead_ = next;
    return writeWord(kHeaderFreeList, freeHead_);
  }
  return appendSpace(kIndexPageSize, offset);
}

int IndexFile::releasePage(uint32_t offset) {
  if (Slot* s = findSlot(offset)) *s = Slot();
  uint8_t page[kIndexPageSize] = {};
  for (int i = 0; i < 4; ++i) page[i] = static_cast<uint8_t>(freeHead_ >> (8 * i));
  if (int st = writeBytes(offset, page, kIndexPageSize); st) return st;
  freeHead_ = offset;
  return writeWord(kHeaderFreeList, freeHead_);
}

int IndexFile::beginChange() {
  if (fd_ < 0) return ErrIndexPageWasNotLoaded;
  if (options_.readOnly) return ErrFileOpenForReadingOnly;
  if (changeDepth_++ > 0 || !options_.shared) return StatusOk;
  if (!setLock(fd_, kind_ == IndexKind::PlainIdx ? kPlainLockOffset : kCompactLockOffset, F_WRLCK)) {
    changeDepth_ = 0;
    return ErrFileMustBeLockedFirst;
  }
  locked_ = true;
  dropCache();
  if (int st = readHeaderWords(); st) {
    endChange();
    return st;
  }
  return StatusOk;
}

int IndexFile::refresh() {
  if (fd_ < 0 || !options_.shared || changeDepth_ > 0) return StatusOk;
  dropCache();
  return readHeaderWords();
}

void IndexFile::endChange() {
  if (changeDepth_ == 0 || --changeDepth_ > 0) return;
  if (locked_) {
    setLock(fd_, kind_ == IndexKind::PlainIdx ? kPlainLockOffset : kCompactLockOffset, F_UNLCK);
    locked_ = false;
  }
}

}  // namespace dbf
