#include "services/file_scope.h"

#include <utility>

namespace qv {

FileScope::FileScope(std::initializer_list<int> files, OpAction mode) : FileScope(std::vector<int>(files), mode) {}

FileScope::FileScope(std::vector<int> files, OpAction mode) : files_(std::move(files)) { OP_CLOSE(mode, files_); }

FileScope::~FileScope() { release(); }

FileScope::FileScope(FileScope&& other) noexcept : files_(std::move(other.files_)) { other.files_.clear(); }

FileScope& FileScope::operator=(FileScope&& other) noexcept {
  if (this != &other) {
    release();
    files_ = std::move(other.files_);
    other.files_.clear();
  }
  return *this;
}

void FileScope::release() {
  if (files_.empty()) return;
  std::vector<int> files = std::move(files_);
  files_.clear();
  OP_CLOSE(OpRelease, files);
}

std::shared_ptr<FileScope> shareFiles(std::vector<int> files, OpAction mode) {
  return std::make_shared<FileScope>(std::move(files), mode);
}

}  // namespace qv
