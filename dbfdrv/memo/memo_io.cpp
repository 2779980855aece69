#include "memo/memo_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dbf::memoio {

long long readAt(int fd, void* buf, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, static_cast<char*>(buf) + done, n - done, off_t(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += size_t(got);
  }
  return static_cast<long long>(done);
}

bool writeAt(int fd, const void* buf, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t put = ::pwrite(fd, static_cast<const char*>(buf) + done, n - done, off_t(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(put);
  }
  return true;
}

long long fileSize(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

}  // namespace dbf::memoio
