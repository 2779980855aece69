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

bool PlainFile::open(const std::string& name, bool write) {
  close();
  if (name.empty()) {
    setError(ErrInvalidFileName, name);
    return false;
  }
  struct stat st;
  if (::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    setError(ErrInvalidFileName, name);
    return false;
  }
  f_ = std::fopen(name.c_str(), write ? "r+b" : "rb");
  if (!f_) {
    setErrnoError(errno, name);
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
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    setErrnoError(errno, name);
    return false;
  }
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
