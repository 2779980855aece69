#include "browse/browse_files.h"

#include "services/file_service.h"

namespace qv {

namespace {
struct FileUse {
  std::vector<int> files;
  explicit FileUse(const std::vector<int>& f) : files(f) { OP_CLOSE(OpShared, files); }
  ~FileUse() { OP_CLOSE(OpRelease, files); }
};
}  // namespace

std::shared_ptr<void> useFiles(const std::vector<int>& files) { return std::make_shared<FileUse>(files); }

std::vector<int> rowFiles(int kind) { return kind == 2 ? std::vector<int>{13, 4, 5} : std::vector<int>{3, 4, 5, 6, 7}; }

}  // namespace qv
