// The files a browser's rows are read from.
#include "browse/browse_files.h"

#include "dictionary/file_numbers.h"
#include "services/db_kind.h"

namespace qv {

std::vector<int> rowFiles(int kind) {
  if (kind == KindMailDb) return {FileMail, FileMsgText, FilePerson};
  return {FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads};
}

}  // namespace qv
