#include "originals/originals_export.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "originals/mbox_writer.h"
#include "originals/safe_save.h"
#include "services/output_files.h"

namespace qv {

OriginalsOutput::~OriginalsOutput() {
  std::string ignored;
  close(ignored);
}

bool OriginalsOutput::openMailbox(const std::string& path, bool replace, std::string& error) {
  std::string ignored;
  close(ignored);
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (replace ? O_TRUNC : O_APPEND);
  fd_ = ::open(path.c_str(), flags, 0600);
  if (fd_ < 0) {
    error = "The file " + path + " cannot be created.\r\n" + std::strerror(errno);
    return false;
  }
  ::fchmod(fd_, 0600);
  path_ = path;
  return true;
}

void OriginalsOutput::useDirectory(const std::string& dir) { dir_ = dir; }

bool OriginalsOutput::write(uint32_t id, std::string_view raw, std::string& error) {
  if (!dir_.empty()) return !saveNewFile(dir_, std::to_string(id) + ".eml", raw, error).empty();
  if (writeAll(fd_, mboxEntry(raw))) return true;
  error = "The file " + path_ + " cannot be written.\r\n" + std::strerror(errno);
  return false;
}

bool OriginalsOutput::close(std::string& error) {
  if (fd_ < 0) return true;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  if (!ok) error = "The file " + path_ + " cannot be written.\r\n" + std::strerror(errno);
  return ok;
}

}  // namespace qv
