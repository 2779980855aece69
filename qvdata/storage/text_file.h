// Shared plumbing of the line and flat-file drivers: an OS file opened by
// path with the usual open failures told apart.
#pragma once

#include <cstdio>
#include <string>

#include "storage/file.h"

namespace qv {

class PlainFile {
 public:
  ~PlainFile() { close(); }
  // Opens an existing file (write: read-write). Sets the storage error.
  bool open(const std::string& name, bool write);
  // Creates or truncates the file with owner-only permissions.
  bool create(const std::string& name);
  void close();
  bool isOpen() const { return f_ != nullptr; }
  std::FILE* handle() { return f_; }
  int64_t size();
  bool truncate();

 private:
  std::FILE* f_ = nullptr;
  std::string name_;
  char* buf_ = nullptr;
};

// Sets the storage error for an errno value from opening `name`.
void setErrnoError(int err, const std::string& name);

}  // namespace qv
