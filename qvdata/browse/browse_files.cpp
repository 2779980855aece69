// The files a browser's rows are read from, and the holder the browser
// windows keep them open with.
#include "browse/browse_files.h"

#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_scope.h"

namespace qv {

std::shared_ptr<void> useFiles(const std::vector<int>& files) { return shareFiles(files); }

std::vector<int> rowFiles(int kind) {
  if (kind == KindMailDb) return {FileMail, FileMsgText, FilePerson};
  return {FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads};
}

}  // namespace qv
