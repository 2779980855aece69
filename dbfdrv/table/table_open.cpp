// Open tables by handle: opening, closing, the record count and file helpers.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "table/table_internal.h"

namespace dbf {

namespace {

// The most tables open at once in the process.
constexpr int kMaxHandles = 250;

std::vector<std::unique_ptr<Table>>& tables() {
  static std::vector<std::unique_ptr<Table>> t(kMaxHandles);
  return t;
}

}  // namespace

std::mutex& tableMutex() {
  static std::mutex m;
  return m;
}

Table* tableOf(int handle) {
  if (handle < 1 || handle > kMaxHandles) return nullptr;
  return tables()[size_t(handle - 1)].get();
}

int fileStatus(int err) {
  switch (err) {
    case ENOENT: return ErrFileNotFound;
    case ENOTDIR: return ErrPathNotFound;
    case EMFILE: case ENFILE: return ErrNoHandlesAvailable;
    case EACCES: case EPERM: case EROFS: case ETXTBSY: return ErrAccessToFileDenied;
    case EEXIST: return ErrAccessToFileDenied;
    case ENAMETOOLONG: return ErrInvalidFilename;
    case ENOMEM: return ErrNoMemory;
    default: return ErrCouldNotOpenTheFile;
  }
}

int pathStatus(const std::string& path, int err) {
  if (err == ENOENT) {
    // a name in a directory that does not exist is a missing path, not a missing file
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
      struct stat st {};
      if (::stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ErrPathNotFound;
    }
  }
  return fileStatus(err);
}

int readAt(int fd, int64_t offset, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::pread(fd, p, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ErrFileReadFailure;
    p += n;
    size -= size_t(n);
    offset += n;
  }
  return StatusOk;
}

int writeAt(int fd, int64_t offset, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(fd, p, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ErrFileWriteFailure;
    p += n;
    size -= size_t(n);
    offset += n;
  }
  return StatusOk;
}

int loadHeader(Table& t, int dialect) {
  struct stat st {};
  if (::fstat(t.fd, &st) != 0) return ErrFileReadFailure;
  // the fixed part first, then the whole header its length names
  std::string image(32, '\0');
  if (st.st_size < 32) return ErrFileHeaderLengthError;
  if (int s = readAt(t.fd, 0, image.data(), image.size()); s < 0) return s;
  size_t want = uint8_t(image[0]) == 0x02 ? 521 : (uint8_t(image[8]) | uint8_t(image[9]) << 8);
  if (want > image.size()) {
    if (int64_t(want) > st.st_size) return ErrFileHeaderLengthError;
    image.resize(want);
    if (int s = readAt(t.fd, 0, image.data(), image.size()); s < 0) return s;
  }
  bool forWriting = t.mode & OpenReadWrite;
  int s = parseHeader(image, st.st_size, dialect, forWriting, t.info);
  if (s < 0) return s;
  t.header = std::move(image);
  return StatusOk;
}

int writeHeader(Table& t) {
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  t.header[1] = char(uint8_t(tm.tm_year));  // years since 1900
  t.header[2] = char(uint8_t(tm.tm_mon + 1));
  t.header[3] = char(uint8_t(tm.tm_mday));
  uint32_t n = t.info.records;
  for (int i = 0; i < 4; ++i) t.header[size_t(4 + i)] = char(uint8_t(n >> (8 * i)));
  t.info.year = 1900 + tm.tm_year;
  t.info.month = tm.tm_mon + 1;
  t.info.day = tm.tm_mday;
  t.headerDirty = false;
  return writeAt(t.fd, 0, t.header.data(), 32);
}

int flushTable(Table& t) {
  for (auto& [recno, rec] : t.pending)
    if (int s = writeAt(t.fd, recordOffset(t.info, recno), rec.data(), rec.size()); s < 0) return s;
  if (!t.pending.empty()) {
    uint32_t last = t.pending.rbegin()->first;
    if (last == t.info.records) {
      char eof = char(kEndOfFile);
      if (int s = writeAt(t.fd, recordOffset(t.info, last + 1), &eof, 1); s < 0) return s;
    }
  }
  t.pending.clear();
  if (t.headerDirty)
    if (int s = writeHeader(t); s < 0) return s;
  return StatusOk;
}

int tableOpen(const std::string& path, int dialect, unsigned mode, int& handle) {
  handle = 0;
  if (path.empty()) return ErrInvalidFilename;
  auto t = std::make_unique<Table>();
  t->mode = mode;
  int flags = (mode & OpenReadWrite) ? O_RDWR : O_RDONLY;
  t->fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (t->fd < 0) return pathStatus(path, errno);
  struct stat st {};
  if (::fstat(t->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(t->fd);
    return ErrCouldNotOpenTheFile;
  }
  if (int s = loadHeader(*t, dialect); s < 0) {
    ::close(t->fd);
    return s;
  }
  t->info.path = path;
  t->info.readOnly = !(mode & OpenReadWrite);
  t->info.shared = mode & OpenShared;
  std::lock_guard<std::mutex> lock(tableMutex());
  auto& all = tables();
  for (size_t i = 0; i < all.size(); ++i) {
    if (!all[i]) {
      int cond = t->info.sizeCondition;
      all[i] = std::move(t);
      handle = int(i + 1);
      return cond;
    }
  }
  ::close(t->fd);
  return ErrNoHandlesAvailable;
}

int tableClose(int handle) {
  std::unique_ptr<Table> t;
  {
    std::lock_guard<std::mutex> lock(tableMutex());
    Table* p = tableOf(handle);
    if (!p) return ErrInvalidHandleNumber;
    t = std::move(tables()[size_t(handle - 1)]);
  }
  int s = StatusOk;
  if (!t->info.readOnly) s = flushTable(*t);
  // closing the descriptor releases every range lock it holds
  if (::close(t->fd) != 0 && s == StatusOk) s = ErrFileCloseFailure;
  return s;
}

const TableInfo* tableInfo(int handle) {
  Table* t = tableOf(handle);
  return t ? &t->info : nullptr;
}

int tableRecords(int handle, uint32_t& count) {
  Table* t = tableOf(handle);
  if (!t) return ErrInvalidHandleNumber;
  if (t->info.shared) {
    unsigned char n[4];
    if (int s = readAt(t->fd, 4, n, 4); s < 0) return s;
    t->info.records = uint32_t(n[0]) | uint32_t(n[1]) << 8 | uint32_t(n[2]) << 16 | uint32_t(n[3]) << 24;
    // a count the file does not hold is taken as at the open: read, the
    // records the file holds; written, nothing more
    struct stat st {};
    if (::fstat(t->fd, &st) != 0) return ErrFileReadFailure;
    int64_t held = int64_t(st.st_size) - int64_t(t->info.headerLength);
    if (int64_t(t->info.records) * t->info.recordLength > held) {
      if (t->info.readOnly) {
        t->info.widenings |= WidenFileSize;
        t->info.records = held > 0 ? uint32_t(held / t->info.recordLength) : 0;
      } else {
        t->info.countBeyondFile = true;
      }
    }
  }
  count = t->info.records;
  return StatusOk;
}

std::string withExtension(const std::string& path, const std::string& ext) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
  return path.substr(0, dot) + ext;
}

bool hasExtension(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

int renameFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return pathStatus(to, errno);
  return StatusOk;
}

int renameNew(const std::string& from, const std::string& to) {
  // refused, as a copy is, when the target exists
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return StatusOk;
  if (errno != EINVAL && errno != ENOSYS) return pathStatus(to, errno);
  // a file system without the no-replace rename: link, then unlink
  if (::link(from.c_str(), to.c_str()) != 0) return pathStatus(to, errno);
  if (::unlink(from.c_str()) != 0) {
    int s = pathStatus(from, errno);
    ::unlink(to.c_str());
    return s;
  }
  return StatusOk;
}

int removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return pathStatus(path, errno);
  return StatusOk;
}

int copyFile(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return pathStatus(from, errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    int s = pathStatus(to, errno);
    ::close(in);
    return s;
  }
  std::vector<char> buf(1 << 16);
  int s = StatusOk;
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      s = ErrFileReadFailure;
      break;
    }
    if (n == 0) break;
    if (::write(out, buf.data(), size_t(n)) != n) {
      s = ErrFileWriteFailure;
      break;
    }
  }
  if (::fsync(out) != 0 && s == StatusOk) s = ErrFlushToDiskFailure;
  ::close(in);
  ::close(out);
  if (s != StatusOk) ::unlink(to.c_str());
  return s;
}

}  // namespace dbf
