#include "browse/browse_files.h"

#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
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

std::vector<int> rowFiles(int kind) {
  if (kind == KindMailDb) return {FileMail, FileMsgText, FilePerson};
  return {FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads};
}

}  // namespace qv
