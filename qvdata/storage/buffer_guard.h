// Saving and restoring record buffers around reads that would overwrite them.
//
// Every declared file has one record buffer for the whole process; a
// procedure that reads other records while a caller keeps one in a buffer
// saves that buffer first and puts it back afterwards. A BufferGuard does
// both: it saves the buffers of its files when made and restores them when
// it goes, also when the procedure returns early.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "storage/file.h"

namespace qv {

class BufferGuard {
 public:
  explicit BufferGuard(std::initializer_list<File*> files) {
    for (File* f : files) saved_.push_back({f, saveRecord(f->decl())});
  }
  explicit BufferGuard(const std::vector<File*>& files) {
    for (File* f : files) saved_.push_back({f, saveRecord(f->decl())});
  }
  ~BufferGuard() {
    for (auto& [f, image] : saved_) restoreRecord(f->decl(), image);
  }
  BufferGuard(const BufferGuard&) = delete;
  BufferGuard& operator=(const BufferGuard&) = delete;

 private:
  std::vector<std::pair<File*, RecordImage>> saved_;
};

}  // namespace qv
