// Whole-table work: pack, empty and copy.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "table/table_internal.h"

namespace dbf {

namespace {

// Records are copied this many bytes at a time when packing.
constexpr size_t kPackChunk = 16384;

std::string directoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Reopens the table file at its path into the same handle.
int reopen(Table& t) {
  int flags = (t.mode & OpenReadWrite) ? O_RDWR : O_RDONLY;
  int fd = ::open(t.info.path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return fileStatus(errno);
  ::close(t.fd);
  t.fd = fd;
  t.locks.clear();
  std::string path = t.info.path;
  bool shared = t.info.shared;
  int s = loadHeader(t, t.info.dialect);
  t.info.path = path;
  t.info.readOnly = !(t.mode & OpenReadWrite);
  t.info.shared = shared;
  return s;
}

}  // namespace

int tablePack(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (t->info.readOnly) return ErrFileOpenForReadingOnly;
  // records the header counts but the file lacks would be packed as records
  if (t->info.countBeyondFile) return ErrFileCorrupted;
  if (int s = tableLockFile(handle); s < 0) return s;
  if (int s = flushTable(*t); s < 0) return s;
  const std::string dir = directoryOf(t->info.path);
  std::string temp;
  for (int n = 0;; ++n) {
    temp = dir + std::to_string(n) + ".DBF";
    if (!exists(temp)) break;
  }
  int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) return fileStatus(errno);
  const uint32_t rl = t->info.recordLength;
  const uint32_t perChunk = uint32_t(std::max<size_t>(1, kPackChunk / rl));
  std::string header = t->header;
  std::string chunk;
  uint32_t kept = 0;
  int s = StatusOk;
  int64_t outAt = int64_t(header.size());
  for (uint32_t first = 1; s == StatusOk && first <= t->info.records; first += perChunk) {
    uint32_t count = std::min(perChunk, t->info.records - first + 1);
    chunk.resize(size_t(count) * rl);
    s = readAt(t->fd, recordOffset(t->info, first), chunk.data(), chunk.size());
    if (s < 0) break;
    std::string live;
    for (uint32_t i = 0; i < count; ++i)
      if (uint8_t(chunk[size_t(i) * rl]) != kDeletedFlag) live.append(chunk, size_t(i) * rl, rl);
    s = writeAt(out, outAt, live.data(), live.size());
    outAt += int64_t(live.size());
    kept += uint32_t(live.size() / rl);
  }
  if (s == StatusOk) {
    char eof = char(kEndOfFile);
    s = writeAt(out, outAt, &eof, 1);
  }
  if (s == StatusOk) {
    for (int i = 0; i < 4; ++i) header[size_t(4 + i)] = char(uint8_t(kept >> (8 * i)));
    s = writeAt(out, 0, header.data(), header.size());
  }
  if (s == StatusOk && ::fsync(out) != 0) s = ErrFlushToDiskFailure;
  ::close(out);
  if (s != StatusOk) {
    ::unlink(temp.c_str());
    return s;
  }
  tableUnlockAll(handle);
  const std::string bak = withExtension(t->info.path, ".BAK");
  ::unlink(bak.c_str());
  if (int r = renameFile(t->info.path, bak); r < 0) {
    ::unlink(temp.c_str());
    return r;
  }
  if (int r = renameFile(temp, t->info.path); r < 0) {
    renameFile(bak, t->info.path);
    return r;
  }
  if (int r = reopen(*t); r < 0) return r;
  // the packed table carries today's date
  return writeHeader(*t);
}

int tableEmpty(int handle) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (t->info.readOnly) return ErrFileOpenForReadingOnly;
  if (t->info.countBeyondFile) return ErrFileCorrupted;
  if (int s = tableLockFile(handle); s < 0) return s;
  t->pending.clear();
  t->info.records = 0;
  if (::ftruncate(t->fd, int64_t(t->info.headerLength)) != 0) return ErrFileWriteFailure;
  char eof = char(kEndOfFile);
  if (int s = writeAt(t->fd, t->info.headerLength, &eof, 1); s < 0) return s;
  if (int s = writeHeader(*t); s < 0) return s;
  tableUnlockAll(handle);
  if (::fsync(t->fd) != 0) return ErrFlushToDiskFailure;
  return StatusOk;
}

int tableCopy(int handle, const std::string& toPath) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (!t->info.readOnly)
    if (int s = flushTable(*t); s < 0) return s;
  return copyFile(t->info.path, toPath);
}

}  // namespace dbf
