#include "storage/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

void setErrnoError(int err, const std::string& name) {
  switch (err) {
    case ENOENT: {
      std::string dir = name.substr(0, name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/'));
      struct stat st;
      if (!dir.empty() && ::stat(dir.c_str(), &st) != 0)
        setError(ErrPathNotFound, name);
      else
        setError(ErrFileNotFound, name);
      break;
    }
    case ENOTDIR: setError(ErrPathNotFound, name); break;
    case EACCES:
    case EPERM:
    case EROFS: setError(ErrAccessDenied, name); break;
    case ENAMETOOLONG:
    case EISDIR:
    case EINVAL: setError(ErrInvalidFileName, name); break;
    case ENOSPC: setError(ErrDiskFull, name); break;
    default: setError(ErrOther, name, std::strerror(err)); break;
  }
}

namespace {
// Opens `name` without waiting: only a regular file is taken, since reading
// a FIFO or a device could wait for ever (or never end). The descriptor is
// blocking again when returned; -1 with the storage error set otherwise.
int openRegular(const std::string& name, int flags, mode_t mode = 0) {
  int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) {
    setErrnoError(errno, name);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    const char* kind = S_ISDIR(st.st_mode)                         ? "a directory, "
                       : S_ISFIFO(st.st_mode)                      ? "a FIFO, "
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device, "
                       : S_ISSOCK(st.st_mode)                      ? "a socket, "
                                                                   : "";
    setError(ErrInvalidFileName, name, std::string(kind) + "not a regular file");
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}
}  // namespace

bool PlainFile::open(const std::string& name, bool write) {
  close();
  if (name.empty()) {
    setError(ErrInvalidFileName, name);
    return false;
  }
  int fd = openRegular(name, write ? O_RDWR : O_RDONLY);
  if (fd < 0) return false;
  f_ = ::fdopen(fd, write ? "r+b" : "rb");
  if (!f_) {
    setErrnoError(errno, name);
    ::close(fd);
    return false;
  }
  name_ = name;
  buf_ = new char[1 << 16];
  std::setvbuf(f_, buf_, _IOFBF, 1 << 16);
  clearError();
  return true;
}

bool PlainFile::create(const std::string& name) {
  close();
  if (name.empty()) {
    setError(ErrInvalidFileName, name);
    return false;
  }
  // Never through a link; a file that was there becomes private too.
  int fd = openRegular(name, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (::ftruncate(fd, 0) != 0) {
    setErrnoError(errno, name);
    ::close(fd);
    return false;
  }
  ::fchmod(fd, 0600);
  ::close(fd);
  return open(name, true);
}

void PlainFile::close() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  delete[] buf_;
  buf_ = nullptr;
}

int64_t PlainFile::size() {
  if (!f_) return 0;
  std::fflush(f_);
  struct stat st;
  if (::fstat(fileno(f_), &st) != 0) return 0;
  return st.st_size;
}

bool PlainFile::truncate() {
  if (!f_) return false;
  std::fflush(f_);
  if (::ftruncate(fileno(f_), 0) != 0) {
    setErrnoError(errno, name_);
    return false;
  }
  std::rewind(f_);
  return true;
}

}  // namespace qv
