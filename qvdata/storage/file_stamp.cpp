#include "storage/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

namespace qv {

namespace {
// The SQLite header's file change counter: 4 bytes, big-endian, at offset 24.
constexpr off_t kChangeCounterOffset = 24;
}  // namespace

std::string storedFileStamp(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st {};
  unsigned char counter[4] = {0, 0, 0, 0};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && st.st_size >= kChangeCounterOffset + 4)
    ok = ::pread(fd, counter, sizeof counter, kChangeCounterOffset) == ssize_t(sizeof counter);
  ::close(fd);
  if (!ok) return {};
  uint32_t changes = uint32_t(counter[0]) << 24 | uint32_t(counter[1]) << 16 | uint32_t(counter[2]) << 8 | counter[3];
  return path + '|' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + '|' + std::to_string(st.st_size) +
         '|' + std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) + '|' +
         std::to_string(changes);
}

}  // namespace qv
