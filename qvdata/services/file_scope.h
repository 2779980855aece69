// Files used for a scope: the declared files a procedure needs, opened when
// the holder is made and released when it goes, on every path (a return, a
// failure, an exception). Hand-paired OP_CLOSE(OpShared ...) and
// OP_CLOSE(OpRelease ...) calls belong nowhere a scope can hold the files.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "services/file_service.h"

namespace qv {

class FileScope {
 public:
  // Opens `files` (by FileNumber) in the order given with `mode` (OpShared
  // or OpExclusive); a condition the program cannot live with halts as
  // OP_CLOSE does.
  explicit FileScope(std::initializer_list<int> files, OpAction mode = OpShared);
  explicit FileScope(std::vector<int> files, OpAction mode = OpShared);
  ~FileScope();

  FileScope(FileScope&& other) noexcept;
  FileScope& operator=(FileScope&& other) noexcept;
  FileScope(const FileScope&) = delete;
  FileScope& operator=(const FileScope&) = delete;

  // Releases the files now instead of when the holder goes.
  void release();
  const std::vector<int>& files() const { return files_; }

 private:
  std::vector<int> files_;
};

// A holder that several owners share (a browser's view and its rows): the
// files are released when the last copy goes.
std::shared_ptr<FileScope> shareFiles(std::vector<int> files, OpAction mode = OpShared);

}  // namespace qv
